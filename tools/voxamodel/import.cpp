// Reading a source model and sampling its pose into frames of triangles.
//
// Every mesh is placed by the nodes that use it; a node's place is its parent's times its own
// transform, which an animation channel replaces at the sampled time (positions and scales
// interpolated linearly, rotations spherically). A skinned vertex is the weighted sum of its
// bones' transforms (bone node times offset) applied to it; morph targets are blended before.
// Nothing of the source is trusted: the importer validates its scene, and every count and index
// that sizes or addresses an array here is checked again, and the node tree is walked without
// recursion and with a limit.
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "local.h"

namespace voxamodel {

namespace {

constexpr unsigned kPostProcess = aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_JoinIdenticalVertices |
                                  aiProcess_GenSmoothNormals | aiProcess_LimitBoneWeights |
                                  aiProcess_ValidateDataStructure;
constexpr size_t kMaxNodes = size_t(1) << 20;
constexpr int64_t kMaxSourceBytes = int64_t(1) << 30;
constexpr double kDefaultTicksPerSecond = 25;

struct Instance {
    const aiMesh* mesh;
    const aiNode* node;
    uint32_t first;  // index of its first vertex in the model
};

// The nodes in tree order, parents before children, each with its parent's index.
struct NodeList {
    std::vector<const aiNode*> nodes;
    std::vector<int64_t> parent;
};

bool ListNodes(const aiScene& scene, NodeList& list, std::string& error) {
    std::vector<std::pair<const aiNode*, int64_t>> stack = {{scene.mRootNode, -1}};
    std::unordered_set<const aiNode*> seen;
    while (!stack.empty()) {
        auto [node, parent] = stack.back();
        stack.pop_back();
        if (node == nullptr) continue;
        if (list.nodes.size() >= kMaxNodes || !seen.insert(node).second) {
            error = "its node tree is too large or not a tree";
            return false;
        }
        list.nodes.push_back(node);
        list.parent.push_back(parent);
        const int64_t self = int64_t(list.nodes.size()) - 1;
        if (node->mNumChildren > 0 && node->mChildren == nullptr) continue;
        for (unsigned i = node->mNumChildren; i-- > 0;) stack.push_back({node->mChildren[i], self});
    }
    return true;
}

// The index of the key at or before t and the fraction of the way to the next one.
template <typename Key>
unsigned KeyAt(const Key* keys, unsigned count, double t, double& fraction) {
    fraction = 0;
    if (count <= 1 || t <= keys[0].mTime) return 0;
    if (t >= keys[count - 1].mTime) return count - 1;
    const Key* next = std::upper_bound(keys, keys + count, t, [](double time, const Key& k) { return time < k.mTime; });
    const unsigned i = unsigned(std::clamp<ptrdiff_t>(next - keys, 1, count - 1)) - 1;
    const double span = keys[i + 1].mTime - keys[i].mTime;
    if (span > 0) fraction = std::clamp((t - keys[i].mTime) / span, 0.0, 1.0);
    return i;
}

aiVector3D VectorAt(const aiVectorKey* keys, unsigned count, double t, aiVector3D rest) {
    if (count == 0 || keys == nullptr) return rest;
    double f;
    const unsigned i = KeyAt(keys, count, t, f);
    if (f == 0) return keys[i].mValue;
    return keys[i].mValue + (keys[i + 1].mValue - keys[i].mValue) * ai_real(f);
}

aiQuaternion RotationAt(const aiQuatKey* keys, unsigned count, double t, aiQuaternion rest) {
    if (count == 0 || keys == nullptr) return rest;
    double f;
    const unsigned i = KeyAt(keys, count, t, f);
    if (f == 0) return keys[i].mValue;
    aiQuaternion out;
    aiQuaternion::Interpolate(out, keys[i].mValue, keys[i + 1].mValue, ai_real(f));
    return out.Normalize();
}

aiMatrix4x4 LocalAt(const aiNode& node, const aiNodeAnim* channel, double t) {
    if (channel == nullptr) return node.mTransformation;
    aiVector3D scaling, position;
    aiQuaternion rotation;
    node.mTransformation.Decompose(scaling, rotation, position);
    return aiMatrix4x4(VectorAt(channel->mScalingKeys, channel->mNumScalingKeys, t, scaling),
                       RotationAt(channel->mRotationKeys, channel->mNumRotationKeys, t, rotation),
                       VectorAt(channel->mPositionKeys, channel->mNumPositionKeys, t, position));
}

// The animation sampled, with its channels found by the names of the nodes and meshes.
struct Animation {
    const aiAnimation* source = nullptr;
    double ticksPerSecond = kDefaultTicksPerSecond;
    std::unordered_map<std::string, const aiNodeAnim*> nodes;
    std::unordered_map<std::string, const aiMeshMorphAnim*> morphs;
    std::unordered_map<std::string, const aiMeshAnim*> meshes;
};

Animation FindAnimation(const aiScene& scene) {
    Animation a;
    if (scene.mNumAnimations == 0 || scene.mAnimations == nullptr || scene.mAnimations[0] == nullptr) return a;
    const aiAnimation& anim = *scene.mAnimations[0];
    a.source = &anim;
    if (anim.mTicksPerSecond > 0 && std::isfinite(anim.mTicksPerSecond)) a.ticksPerSecond = anim.mTicksPerSecond;
    for (unsigned i = 0; anim.mChannels && i < anim.mNumChannels; ++i)
        if (anim.mChannels[i]) a.nodes.emplace(anim.mChannels[i]->mNodeName.C_Str(), anim.mChannels[i]);
    for (unsigned i = 0; anim.mMorphMeshChannels && i < anim.mNumMorphMeshChannels; ++i)
        if (anim.mMorphMeshChannels[i]) a.morphs.emplace(anim.mMorphMeshChannels[i]->mName.C_Str(), anim.mMorphMeshChannels[i]);
    for (unsigned i = 0; anim.mMeshChannels && i < anim.mNumMeshChannels; ++i)
        if (anim.mMeshChannels[i]) a.meshes.emplace(anim.mMeshChannels[i]->mName.C_Str(), anim.mMeshChannels[i]);
    return a;
}

double DurationSeconds(const Animation& a) {
    const double ticks = a.source != nullptr && std::isfinite(a.source->mDuration) ? a.source->mDuration : 0;
    return std::max(ticks, 0.0) / a.ticksPerSecond;
}

// The channel named first, else second; null when neither has one.
template <typename Map>
auto Lookup(const Map& map, const std::string& first, const std::string& second = "") -> typename Map::mapped_type {
    auto it = map.find(first);
    if (it == map.end() && !second.empty()) it = map.find(second);
    return it == map.end() ? nullptr : it->second;
}

// Weights of a mesh's morph targets at time t: from a morph or mesh channel of the animation
// (named after the mesh's node or the mesh), else the targets' own weights.
std::vector<float> MorphWeights(const aiMesh& mesh, const aiNode& node, const Animation& anim, double t) {
    std::vector<float> w(mesh.mNumAnimMeshes, 0.0f);
    for (unsigned k = 0; k < mesh.mNumAnimMeshes; ++k) w[k] = mesh.mAnimMeshes[k] ? mesh.mAnimMeshes[k]->mWeight : 0;
    const std::string nodeName = node.mName.C_Str(), meshName = mesh.mName.C_Str();
    auto add = [&](unsigned index, double weight) {
        if (index < w.size()) w[index] += float(weight);
    };
    if (const aiMeshMorphAnim* morph = Lookup(anim.morphs, nodeName, meshName); morph && morph->mKeys && morph->mNumKeys) {
        std::fill(w.begin(), w.end(), 0.0f);
        double f;
        const unsigned i = KeyAt(morph->mKeys, morph->mNumKeys, t, f);
        for (unsigned side = 0; side < 2; ++side) {
            const aiMeshMorphKey& key = morph->mKeys[std::min(i + side, morph->mNumKeys - 1)];
            const double share = side == 0 ? 1 - f : f;
            for (unsigned j = 0; key.mValues && key.mWeights && j < key.mNumValuesAndWeights; ++j)
                add(key.mValues[j], key.mWeights[j] * share);
        }
    } else if (const aiMeshAnim* keyed = Lookup(anim.meshes, meshName, nodeName); keyed && keyed->mKeys && keyed->mNumKeys) {
        // Whole-mesh key frames: each key shows one target alone.
        std::fill(w.begin(), w.end(), 0.0f);
        double f;
        const unsigned i = KeyAt(keyed->mKeys, keyed->mNumKeys, t, f);
        add(keyed->mKeys[i].mValue, 1 - f);
        if (f > 0) add(keyed->mKeys[i + 1].mValue, f);
    }
    return w;
}

aiMatrix3x3 NormalMatrix(const aiMatrix4x4& m) {
    aiMatrix3x3 n(m);
    return n.Inverse().Transpose();
}

Vec3 ToVec(const aiVector3D& v) { return Vec3{float(v.x), float(v.y), float(v.z)}; }

class Sampler {
public:
    Sampler(const NodeList& nodes, const std::vector<Instance>& instances, const Animation& anim)
        : nodes_(nodes), instances_(instances), anim_(anim) {
        for (const aiNode* node : nodes.nodes) byName_.emplace(node->mName.C_Str(), node);
    }

    // Positions and normals of every vertex at time t (in ticks).
    void Frame(double t, std::vector<Vec3>& positions, std::vector<Vec3>& normals) {
        global_.clear();
        std::vector<aiMatrix4x4> place(nodes_.nodes.size());
        for (size_t i = 0; i < nodes_.nodes.size(); ++i) {
            const aiNode& node = *nodes_.nodes[i];
            const aiNodeAnim* channel = Lookup(anim_.nodes, node.mName.C_Str());
            const aiMatrix4x4 local = LocalAt(node, channel, t);
            place[i] = nodes_.parent[i] < 0 ? local : place[size_t(nodes_.parent[i])] * local;
            global_.emplace(&node, place[i]);
        }
        for (const Instance& in : instances_) PlaceMesh(in, t, positions, normals);
    }

private:
    // A named node's place; a bone whose node is missing stays where the mesh is.
    const aiMatrix4x4* Global(const aiString& name) const {
        auto node = byName_.find(name.C_Str());
        if (node == byName_.end()) return nullptr;
        auto place = global_.find(node->second);
        return place == global_.end() ? nullptr : &place->second;
    }

    void PlaceMesh(const Instance& in, double t, std::vector<Vec3>& positions, std::vector<Vec3>& normals) {
        const aiMesh& mesh = *in.mesh;
        const unsigned n = mesh.mNumVertices;
        base_.assign(mesh.mVertices, mesh.mVertices + n);
        baseNormals_.assign(n, aiVector3D(0, 0, 0));
        if (mesh.mNormals) baseNormals_.assign(mesh.mNormals, mesh.mNormals + n);
        if (mesh.mNumAnimMeshes > 0 && mesh.mAnimMeshes) {
            const std::vector<float> w = MorphWeights(mesh, *in.node, anim_, t);
            for (unsigned k = 0; k < mesh.mNumAnimMeshes; ++k) {
                const aiAnimMesh* target = mesh.mAnimMeshes[k];
                if (w[k] == 0 || target == nullptr || target->mNumVertices != n) continue;
                for (unsigned i = 0; i < n; ++i) {
                    if (target->mVertices) base_[i] += (target->mVertices[i] - mesh.mVertices[i]) * w[k];
                    if (target->mNormals && mesh.mNormals) baseNormals_[i] += (target->mNormals[i] - mesh.mNormals[i]) * w[k];
                }
            }
        }
        const aiMatrix4x4& nodePlace = global_.at(in.node);
        sumPositions_.assign(n, aiVector3D(0, 0, 0));
        sumNormals_.assign(n, aiVector3D(0, 0, 0));
        weights_.assign(n, 0.0f);
        for (unsigned b = 0; mesh.mBones && b < mesh.mNumBones; ++b) {
            const aiBone* bone = mesh.mBones[b];
            if (bone == nullptr || bone->mWeights == nullptr) continue;
            const aiMatrix4x4* boneNode = Global(bone->mName);
            const aiMatrix4x4 m = (boneNode ? *boneNode : nodePlace) * bone->mOffsetMatrix;
            const aiMatrix3x3 nm = NormalMatrix(m);
            for (unsigned k = 0; k < bone->mNumWeights; ++k) {
                const aiVertexWeight& vw = bone->mWeights[k];
                if (vw.mVertexId >= n || !(vw.mWeight > 0)) continue;
                sumPositions_[vw.mVertexId] += (m * base_[vw.mVertexId]) * vw.mWeight;
                sumNormals_[vw.mVertexId] += (nm * baseNormals_[vw.mVertexId]) * vw.mWeight;
                weights_[vw.mVertexId] += vw.mWeight;
            }
        }
        const aiMatrix3x3 nodeNormals = NormalMatrix(nodePlace);
        for (unsigned i = 0; i < n; ++i) {
            aiVector3D p, normal;
            if (weights_[i] > 0) {
                p = sumPositions_[i] / weights_[i];
                normal = sumNormals_[i];
            } else {
                p = nodePlace * base_[i];
                normal = nodeNormals * baseNormals_[i];
            }
            positions[in.first + i] = ToVec(p);
            normals[in.first + i] = ToVec(normal.NormalizeSafe());
        }
    }

    const NodeList& nodes_;
    const std::vector<Instance>& instances_;
    const Animation& anim_;
    std::unordered_map<std::string, const aiNode*> byName_;
    std::unordered_map<const aiNode*, aiMatrix4x4> global_;
    std::vector<aiVector3D> base_, baseNormals_, sumPositions_, sumNormals_;
    std::vector<float> weights_;
};

uint32_t PackColour(float r, float g, float b) {
    auto byte = [](float c) { return uint32_t(std::lround(std::clamp(std::isfinite(c) ? c : 0.0f, 0.0f, 1.0f) * 255)); };
    return byte(r) | byte(g) << 8 | byte(b) << 16;
}

// The meshes with triangles in the order the node tree places them.
bool PlaceMeshes(const aiScene& scene, const NodeList& nodes, std::vector<Instance>& instances, std::string& error) {
    uint64_t vertices = 0;
    for (const aiNode* node : nodes.nodes) {
        for (unsigned k = 0; node->mMeshes && k < node->mNumMeshes; ++k) {
            if (node->mMeshes[k] >= scene.mNumMeshes || scene.mMeshes[node->mMeshes[k]] == nullptr) continue;
            const aiMesh* mesh = scene.mMeshes[node->mMeshes[k]];
            if ((mesh->mPrimitiveTypes & aiPrimitiveType_TRIANGLE) == 0 || mesh->mVertices == nullptr) continue;
            if (vertices + mesh->mNumVertices > uint64_t(INT32_MAX)) {
                error = "it has more vertices than a model can hold";
                return false;
            }
            instances.push_back({mesh, node, uint32_t(vertices)});
            vertices += mesh->mNumVertices;
        }
    }
    return true;
}

const aiMaterial* MaterialOf(const aiScene& scene, const aiMesh& mesh) {
    return mesh.mMaterialIndex < scene.mNumMaterials && scene.mMaterials ? scene.mMaterials[mesh.mMaterialIndex] : nullptr;
}

// The vertices' texture coordinates and colours, and the triangles.
bool CollectVertices(const aiScene& scene, const std::vector<Instance>& instances, bool textured, SampledModel& model,
                     std::string& error) {
    const size_t vertices = instances.empty() ? 0 : instances.back().first + instances.back().mesh->mNumVertices;
    model.u.reserve(vertices), model.v.reserve(vertices), model.colour.reserve(vertices);
    for (const Instance& in : instances) {
        const aiMesh& mesh = *in.mesh;
        const aiMaterial* material = MaterialOf(scene, mesh);
        // Vertex colours where the mesh has them; else white under a texture (it shows as it is)
        // and the material's diffuse colour without one.
        uint32_t plain = 0xFFFFFFu;
        aiColor4D diffuse;
        if (!textured && material && material->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse) == AI_SUCCESS)
            plain = PackColour(diffuse.r, diffuse.g, diffuse.b);
        for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
            const aiVector3D uv = mesh.mTextureCoords[0] ? mesh.mTextureCoords[0][i] : aiVector3D(0, 0, 0);
            model.u.push_back(std::isfinite(uv.x) ? float(uv.x) : 0.0f);
            model.v.push_back(std::isfinite(uv.y) ? float(uv.y) : 0.0f);
            const aiColor4D* c = mesh.mColors[0];
            model.colour.push_back(c ? PackColour(c[i].r, c[i].g, c[i].b) : plain);
        }
        for (unsigned f = 0; mesh.mFaces && f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3 || face.mIndices == nullptr) continue;
            if (face.mIndices[0] >= mesh.mNumVertices || face.mIndices[1] >= mesh.mNumVertices ||
                face.mIndices[2] >= mesh.mNumVertices)
                continue;
            for (int c = 0; c < 3; ++c) model.triangles.push_back(in.first + face.mIndices[c]);
        }
    }
    if (model.triangles.empty()) {
        error = "it holds no triangles (points and lines are not converted)";
        return false;
    }
    return true;
}

bool CheckLimits(const SampledModel& model, int64_t frames, std::string& error) {
    std::unordered_set<uint32_t> colours(model.colour.begin(), model.colour.end());
    if (colours.size() > size_t(kMaxColours)) {
        error = "it has " + std::to_string(colours.size()) + " different colours; a .ddd model holds at most " +
                std::to_string(kMaxColours);
        return false;
    }
    const int64_t items = 1 + int64_t(model.triangles.size());
    if (items * frames > kMaxItemsAllFrames) {
        error = "it makes " + std::to_string(model.triangles.size() / 3) + " triangles in " + std::to_string(frames) +
                " frames, " + std::to_string(items * frames) + " items in all; the limit is " +
                std::to_string(kMaxItemsAllFrames) + " (fewer frames with --frames or --fps)";
        return false;
    }
    return true;
}

// Moves the centre of the bounding box of all frames to the origin when asked, then scales.
bool Place(SampledModel& model, const ImportOptions& options, std::string& error) {
    Vec3 lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
    for (const auto& frame : model.positions) {
        for (const Vec3& p : frame) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
                error = "it has coordinates that are not finite numbers";
                return false;
            }
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
    }
    const Vec3 c = options.center ? Vec3{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2} : Vec3{};
    const float s = float(options.scale);
    for (auto& frame : model.positions) {
        for (Vec3& p : frame) {
            p = {(p.x - c.x) * s, (p.y - c.y) * s, (p.z - c.z) * s};
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
                error = "the scale makes coordinates beyond the range of numbers";
                return false;
            }
        }
    }
    return true;
}

bool Sample(const aiScene& scene, const std::string& path, const ImportOptions& options, SampledModel& model,
            std::string& error) {
    NodeList nodes;
    std::vector<Instance> instances;
    if (!ListNodes(scene, nodes, error) || !PlaceMeshes(scene, nodes, instances, error)) return false;
    std::vector<const aiMaterial*> materials;
    for (const Instance& in : instances) materials.push_back(MaterialOf(scene, *in.mesh));
    if (!FirstTexture(scene, materials, path, model.texture, model.notes, error)) return false;
    if (!CollectVertices(scene, instances, model.texture.width > 0, model, error)) return false;

    const Animation anim = FindAnimation(scene);
    int64_t frames = 1;
    if (anim.source != nullptr) {
        const double duration = DurationSeconds(anim);
        frames = options.frames > 0 ? options.frames : int64_t(std::floor(duration * options.fps + 1e-6)) + 1;
        if (frames > kMaxFrames) {
            char text[160];
            std::snprintf(text, sizeof text, "its animation of %g s makes %lld frames at %g fps; at most %d (use --frames)",
                          duration, static_cast<long long>(frames), options.fps, kMaxFrames);
            error = text;
            return false;
        }
        char text[256];
        std::snprintf(text, sizeof text, "\"%.100s\", %g s, sampled at %g fps into %lld frames",
                      anim.source->mName.C_Str(), duration, options.fps, static_cast<long long>(frames));
        model.animation = text;
        if (scene.mNumAnimations > 1)
            model.notes.push_back("the source has " + std::to_string(scene.mNumAnimations) +
                                  " animations; only the first is sampled");
    } else if (options.frames > 1) {
        model.notes.push_back("the source has no animation: one frame is written");
    }
    if (!CheckLimits(model, frames, error)) return false;

    Sampler sampler(nodes, instances, anim);
    const size_t vertices = model.u.size();
    model.positions.assign(size_t(frames), std::vector<Vec3>(vertices));
    model.normals.assign(size_t(frames), std::vector<Vec3>(vertices));
    const double end = anim.source ? std::max(0.0, anim.source->mDuration) : 0;
    for (int64_t f = 0; f < frames; ++f) {
        // Frames past the animation's end hold its last pose.
        const double t = std::min(double(f) / options.fps * anim.ticksPerSecond, end);
        sampler.Frame(t, model.positions[size_t(f)], model.normals[size_t(f)]);
    }
    return Place(model, options, error);
}

} // namespace

bool ImportModel(const std::string& path, const ImportOptions& options, SampledModel& model, std::string& error) {
    model = SampledModel{};
    if (!(options.scale > 0 && options.scale < 1e30 && options.fps > 0 && options.fps < 1e6) || options.frames < 0 ||
        options.frames > kMaxFrames) {
        error = "bad options: the scale and the frame rate must be positive numbers, the frames 0 to " +
                std::to_string(kMaxFrames);
        return false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        error = "cannot read " + path + ": no such file";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + " is " + (S_ISDIR(st.st_mode) ? "a directory" : "not a regular file") + ", not a model";
        return false;
    }
    if (st.st_size > kMaxSourceBytes) {
        error = path + " is larger than 1 GiB";
        return false;
    }
    Assimp::Importer importer;
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    // Normals made for a source without them stay sharp across edges of more than 80 degrees.
    importer.SetPropertyFloat(AI_CONFIG_PP_GSN_MAX_SMOOTHING_ANGLE, 80.0f);
    const aiScene* scene = nullptr;
    try {
        scene = importer.ReadFile(path, kPostProcess);
    } catch (const std::bad_alloc&) {
        error = "cannot read " + path + ": it asks for more memory than a model may take";
        return false;
    } catch (const std::exception& e) {
        error = "cannot read " + path + ": " + e.what();
        return false;
    }
    if (scene == nullptr) {
        const std::string why = importer.GetErrorString();
        error = "cannot read " + path + ": " +
                (why.find("bad_alloc") != std::string::npos ? "it asks for more memory than a model may take" : why);
        return false;
    }
    if ((scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) != 0 || scene->mRootNode == nullptr || scene->mNumMeshes == 0) {
        error = "cannot convert " + path + ": it holds no complete model";
        return false;
    }
    try {
        if (Sample(*scene, path, options, model, error)) return true;
    } catch (const std::bad_alloc&) {
        error = "there is not enough memory";
    }
    error = "cannot convert " + path + ": " + error;
    return false;
}

} // namespace voxamodel
