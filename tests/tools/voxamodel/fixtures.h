// Source models for the model tool's tests, written at test time as text: a textured cube as
// OBJ+MTL and as glTF (buffers and embedded pictures as base64 data URIs), and animated glTF
// cubes moved by a node, a morph target or a bone.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/picture_files.h"
#include "support/scratch_files.h"

namespace fixtures {

// 64 x 64: red, green in the top half; blue, yellow in the bottom half (as the image is seen).
inline std::vector<unsigned char> QuadrantPng() {
    voxatest::Pixels p(64, 64);
    const voxatest::Rgba colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) p(x, y) = colours[(y / 32) * 2 + x / 32];
    return voxatest::PngBytes(p, false);
}

inline std::string Base64(const std::vector<unsigned char>& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t v = uint32_t(bytes[i]) << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                           (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        for (int k = 0; k < 4; ++k) out += k <= int(bytes.size() - i) ? digits[(v >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

// A cube of half-side h about (x, 0, 0): per face four corners (outward normal n, the image's
// u and v along the axes u and v, u x v = n, so the corners run counter-clockwise seen from
// outside and show the whole image upright; the top face's image top toward -z) and two triangles.
struct CubeMesh {
    std::vector<float> positions, normals, uv;  // uv with v from the image's bottom
    std::vector<uint16_t> indices;
};
inline CubeMesh MakeCube(double h, double x = 0) {
    const int faces[6][3][3] = {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                                {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                                {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}};
    CubeMesh m;
    for (const auto& f : faces) {
        const uint16_t first = uint16_t(m.positions.size() / 3);
        for (const auto& [cu, cv] : {std::pair{-1, -1}, std::pair{1, -1}, std::pair{1, 1}, std::pair{-1, 1}}) {
            for (int a = 0; a < 3; ++a) {
                m.positions.push_back(float((a ? 0 : x) + h * (f[0][a] + cu * f[1][a] + cv * f[2][a])));
                m.normals.push_back(float(f[0][a]));
            }
            m.uv.insert(m.uv.end(), {float(cu + 1) / 2, float(cv + 1) / 2});
        }
        for (int i : {0, 1, 2, 0, 2, 3}) m.indices.push_back(uint16_t(first + i));
    }
    return m;
}

// The model's path: cube.obj with cube.mtl naming the texture.
inline std::string CubeObj(const std::string& dir, const std::string& textureName, double x = 0) {
    const CubeMesh m = MakeCube(1, x);
    std::string obj = "mtllib cube.mtl\n";
    for (size_t i = 0; i < m.positions.size(); i += 3) {
        char lines[128];
        std::snprintf(lines, sizeof lines, "v %g %g %g\nvn %g %g %g\nvt %g %g\n", m.positions[i], m.positions[i + 1],
                      m.positions[i + 2], m.normals[i], m.normals[i + 1], m.normals[i + 2], m.uv[i / 3 * 2], m.uv[i / 3 * 2 + 1]);
        obj += lines;
    }
    obj += "usemtl skin\n";
    for (int f = 0; f < 6; ++f) {  // one quad per face
        obj += "f";
        for (int k = 1; k <= 4; ++k) obj += " " + std::to_string(f * 4 + k) + "/" + std::to_string(f * 4 + k) + "/" + std::to_string(f * 4 + k);
        obj += "\n";
    }
    WriteFile(dir + "/cube.obj", obj);
    WriteFile(dir + "/cube.mtl", "newmtl skin\nKd 1 1 1\nmap_Kd " + textureName + "\n");
    return dir + "/cube.obj";
}

// A glTF file of the cube (half-side h) with one node and, when given, one animation channel.
// Views and accessors are added to one buffer; Add gives the accessor's index.
class Gltf {
public:
    explicit Gltf(double h) : mesh_(MakeCube(h)) {
        std::vector<float> uv = mesh_.uv;  // glTF's v runs from the image's top
        for (size_t i = 1; i < uv.size(); i += 2) uv[i] = 1 - uv[i];
        std::string lo = ",\"min\":[", hi = ",\"max\":[";
        for (int a = 0; a < 3; ++a) lo += std::to_string(-h) + (a < 2 ? "," : "]"), hi += std::to_string(h) + (a < 2 ? "," : "]");
        attributes_ = "\"POSITION\":" + Floats(mesh_.positions, "VEC3", 3, lo + hi) + ",\"NORMAL\":" +
                      Floats(mesh_.normals, "VEC3", 3) + ",\"TEXCOORD_0\":" + Floats(uv, "VEC2", 2);
        indices_ = Add(mesh_.indices.data(), mesh_.indices.size() * 2, 5123, mesh_.indices.size(), "SCALAR");
    }
    std::string Add(const void* data, size_t bytes, int type, size_t count, const char* kind, const std::string& extra = "") {
        views_ += std::string(views_.empty() ? "" : ",") + "{\"buffer\":0,\"byteOffset\":" + std::to_string(data_.size()) +
                  ",\"byteLength\":" + std::to_string(bytes) + "}";
        data_.insert(data_.end(), static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + bytes);
        data_.resize((data_.size() + 3) / 4 * 4);
        accessors_ += std::string(accessors_.empty() ? "" : ",") + "{\"bufferView\":" + std::to_string(count_) +
                      ",\"componentType\":" + std::to_string(type) + ",\"count\":" + std::to_string(count) +
                      ",\"type\":\"" + kind + "\"" + extra + "}";
        return std::to_string(count_++);
    }
    std::string Floats(const std::vector<float>& v, const char* kind, size_t per, const std::string& extra = "") {
        return Add(v.data(), v.size() * 4, 5126, v.size() / per, kind, extra);
    }
    // The file's text; node is the first node's JSON tail after its mesh, the rest as named.
    std::string Json(const std::string& node, const std::string& moreNodes, const std::string& moreAttributes,
                     const std::string& primitive, const std::string& top) const {
        return "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0" + std::string(moreNodes.empty() ? "" : ",1") +
               "]}],\"nodes\":[{\"name\":\"cube\",\"mesh\":0" + node + "}" + moreNodes + "],\"meshes\":[{\"primitives\":[{" +
               "\"attributes\":{" + attributes_ + moreAttributes + "},\"indices\":" + indices_ + primitive + "]}]" + top +
               ",\"buffers\":[{\"byteLength\":" + std::to_string(data_.size()) +
               ",\"uri\":\"data:application/octet-stream;base64," + Base64(data_) + "\"}],\"bufferViews\":[" + views_ +
               "],\"accessors\":[" + accessors_ + "]}";
    }
    const CubeMesh& Mesh() const { return mesh_; }

private:
    CubeMesh mesh_;
    std::vector<unsigned char> data_;
    std::string views_, accessors_, attributes_, indices_;
    int count_ = 0;
};

// The textured cube of half-side 1, its picture embedded or in cube.png beside it.
inline std::string CubeGltf(const std::string& dir, bool embeddedTexture) {
    std::string image = "data:image/png;base64," + Base64(QuadrantPng());
    if (!embeddedTexture) voxatest::WriteBytesTo(dir + "/cube.png", QuadrantPng()), image = "cube.png";
    WriteFile(dir + "/cube.gltf", Gltf(1).Json("", "", "", ",\"material\":0}",
                                               ",\"materials\":[{\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}],"
                                               "\"textures\":[{\"source\":0}],\"images\":[{\"uri\":\"" + image + "\"}]"));
    return dir + "/cube.gltf";
}

// A cube of half-side 0.5 animated over one second (linear keys at 0 s and 1 s): the node moves
// from x 0 to x 4, or a morph target lifts it by 2 in y, or a bone lifts it by 3 in y.
enum class Motion { node, morph, bone };
inline std::string AnimatedGltf(const std::string& dir, Motion motion) {
    Gltf g(0.5);
    const size_t vertices = g.Mesh().positions.size() / 3;
    const std::string times = g.Floats({0, 1}, "SCALAR", 1, ",\"min\":[0],\"max\":[1]");
    std::string node, moreNodes, moreAttributes, primitive = "}", top, out, target = "{\"node\":0,\"path\":\"translation\"}";
    if (motion == Motion::node) {
        out = g.Floats({0, 0, 0, 4, 0, 0}, "VEC3", 3);
    } else if (motion == Motion::morph) {
        std::vector<float> lift(vertices * 3, 0.0f);
        for (size_t i = 1; i < lift.size(); i += 3) lift[i] = 2;
        primitive = ",\"targets\":[{\"POSITION\":" + g.Floats(lift, "VEC3", 3, ",\"min\":[0,2,0],\"max\":[0,2,0]") + "}]}],\"weights\":[0";
        out = g.Floats({0, 1}, "SCALAR", 1);
        target = "{\"node\":0,\"path\":\"weights\"}";
    } else {
        const std::vector<uint8_t> joints(vertices * 4, 0);
        std::vector<float> weights(vertices * 4, 0.0f);
        for (size_t i = 0; i < weights.size(); i += 4) weights[i] = 1;
        moreAttributes = ",\"JOINTS_0\":" + g.Add(joints.data(), joints.size(), 5121, vertices, "VEC4") +
                         ",\"WEIGHTS_0\":" + g.Floats(weights, "VEC4", 4);
        top = ",\"skins\":[{\"joints\":[1],\"inverseBindMatrices\":" +
              g.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "MAT4", 16) + "}]";
        out = g.Floats({0, 0, 0, 0, 3, 0}, "VEC3", 3);
        node = ",\"skin\":0";
        moreNodes = ",{\"name\":\"bone\"}";
        target = "{\"node\":1,\"path\":\"translation\"}";
    }
    top += ",\"animations\":[{\"name\":\"move\",\"samplers\":[{\"input\":" + times + ",\"output\":" + out +
           "}],\"channels\":[{\"sampler\":0,\"target\":" + target + "}]}]";
    WriteFile(dir + "/moving.gltf", g.Json(node, moreNodes, moreAttributes, primitive, top));
    return dir + "/moving.gltf";
}

}  // namespace fixtures
