// Source models for the model tool's tests, written as text: OBJ and MTL lines, glTF JSON with
// its buffers (and embedded images) as base64 data URIs.
#include "fixtures.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "support/picture_files.h"

namespace fixtures {

namespace {

struct Face {
    double n[3], u[3], v[3];  // outward normal, and the axes the image's u and v run along
};
// u x v = n for every face, so the corners (-1,-1) (1,-1) (1,1) (-1,1) in (u, v) run
// counter-clockwise seen from outside.
const Face kFaces[6] = {
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},  {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
};
const int kCorner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};

struct CubeMesh {
    std::vector<float> positions, normals, uv;  // uv with v from the image's bottom
    std::vector<uint16_t> indices;
};

CubeMesh MakeCube(const Cube& c) {
    CubeMesh m;
    for (const Face& f : kFaces) {
        const uint16_t first = uint16_t(m.positions.size() / 3);
        for (const auto& k : kCorner) {
            for (int a = 0; a < 3; ++a) {
                m.positions.push_back(float(c.at[a] + c.h * (f.n[a] + k[0] * f.u[a] + k[1] * f.v[a])));
                m.normals.push_back(float(f.n[a]));
            }
            m.uv.push_back(float((k[0] + 1) / 2));
            m.uv.push_back(float((k[1] + 1) / 2));
        }
        for (int i : {0, 1, 2, 0, 2, 3}) m.indices.push_back(uint16_t(first + i));
    }
    return m;
}

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

// A glTF buffer and the JSON of its views and accessors.
class Buffer {
public:
    int Add(const void* data, size_t bytes, int componentType, size_t count, const char* type, const std::string& extra = "") {
        const size_t offset = data_.size();
        data_.insert(data_.end(), static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + bytes);
        while (data_.size() % 4) data_.push_back(0);
        const int index = int(views_.size());
        views_.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) + ",\"byteLength\":" +
                         std::to_string(bytes) + "}");
        accessors_.push_back("{\"bufferView\":" + std::to_string(index) + ",\"componentType\":" +
                             std::to_string(componentType) + ",\"count\":" + std::to_string(count) + ",\"type\":\"" +
                             type + "\"" + extra + "}");
        return index;
    }
    int Floats(const std::vector<float>& v, const char* type, size_t per, const std::string& extra = "") {
        return Add(v.data(), v.size() * 4, 5126, v.size() / per, type, extra);
    }
    std::string Json() const {
        std::string s = "\"buffers\":[{\"byteLength\":" + std::to_string(data_.size()) +
                        ",\"uri\":\"data:application/octet-stream;base64," + Base64(data_) + "\"}],";
        s += "\"bufferViews\":[" + Join(views_) + "],\"accessors\":[" + Join(accessors_) + "]";
        return s;
    }
    static std::string Join(const std::vector<std::string>& parts) {
        std::string s;
        for (size_t i = 0; i < parts.size(); ++i) s += (i ? "," : "") + parts[i];
        return s;
    }

private:
    std::vector<unsigned char> data_;
    std::vector<std::string> views_, accessors_;
};

std::string MinMax(const std::vector<float>& p) {
    double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
    for (size_t i = 0; i < p.size(); ++i) lo[i % 3] = std::min(lo[i % 3], double(p[i])), hi[i % 3] = std::max(hi[i % 3], double(p[i]));
    return ",\"min\":[" + Num(lo[0]) + "," + Num(lo[1]) + "," + Num(lo[2]) + "],\"max\":[" + Num(hi[0]) + "," +
           Num(hi[1]) + "," + Num(hi[2]) + "]";
}

// The cube's accessors: position, normal, texture coordinate (glTF's v runs from the top), indices.
struct CubeAccessors {
    int position, normal, uv, indices;
};
CubeAccessors AddCube(Buffer& b, const CubeMesh& m) {
    std::vector<float> uv = m.uv;
    for (size_t i = 1; i < uv.size(); i += 2) uv[i] = 1 - uv[i];
    CubeAccessors a;
    a.position = b.Floats(m.positions, "VEC3", 3, MinMax(m.positions));
    a.normal = b.Floats(m.normals, "VEC3", 3);
    a.uv = b.Floats(uv, "VEC2", 2);
    a.indices = b.Add(m.indices.data(), m.indices.size() * 2, 5123, m.indices.size(), "SCALAR");
    return a;
}

std::string Primitive(const CubeAccessors& a, const std::string& moreAttributes, const std::string& more) {
    return "{\"attributes\":{\"POSITION\":" + std::to_string(a.position) + ",\"NORMAL\":" + std::to_string(a.normal) +
           ",\"TEXCOORD_0\":" + std::to_string(a.uv) + moreAttributes + "},\"indices\":" + std::to_string(a.indices) +
           more + "}";
}

} // namespace

std::vector<unsigned char> QuadrantPng() {
    voxatest::Pixels p(64, 64);
    const voxatest::Rgba colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) p(x, y) = colours[(y / 32) * 2 + x / 32];
    return voxatest::PngBytes(p, false);
}

std::string Base64(const std::vector<unsigned char>& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = uint32_t(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= uint32_t(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= bytes[i + 2];
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[v & 63] : '=';
    }
    return out;
}

void WriteText(const std::string& path, const std::string& text) {
    voxatest::WriteBytesTo(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string CubeObj(const std::string& dir, const Cube& cube, const std::string& textureName) {
    const CubeMesh m = MakeCube(cube);
    std::string obj = "# a textured cube\nmtllib cube.mtl\n";
    for (size_t i = 0; i < m.positions.size(); i += 3)
        obj += "v " + Num(m.positions[i]) + " " + Num(m.positions[i + 1]) + " " + Num(m.positions[i + 2]) + "\n";
    for (size_t i = 0; i < m.uv.size(); i += 2) obj += "vt " + Num(m.uv[i]) + " " + Num(m.uv[i + 1]) + "\n";
    for (size_t i = 0; i < m.normals.size(); i += 3)
        obj += "vn " + Num(m.normals[i]) + " " + Num(m.normals[i + 1]) + " " + Num(m.normals[i + 2]) + "\n";
    obj += "usemtl skin\n";
    for (int f = 0; f < 6; ++f) {  // one quad per face
        obj += "f";
        for (int k = 1; k <= 4; ++k) {
            const std::string i = std::to_string(f * 4 + k);
            obj += " " + i + "/" + i + "/" + i;
        }
        obj += "\n";
    }
    WriteText(dir + "/cube.obj", obj);
    WriteText(dir + "/cube.mtl", "newmtl skin\nKd 1 1 1\nmap_Kd " + textureName + "\n");
    return dir + "/cube.obj";
}

std::string CubeGltf(const std::string& dir, const Cube& cube, bool embeddedTexture) {
    Buffer b;
    const CubeAccessors a = AddCube(b, MakeCube(cube));
    std::string image = "cube.png";
    if (embeddedTexture) {
        image = "data:image/png;base64," + Base64(QuadrantPng());
    } else {
        voxatest::WriteBytesTo(dir + "/cube.png", QuadrantPng());
    }
    const std::string json =
        "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
        "\"nodes\":[{\"name\":\"cube\",\"mesh\":0}],"
        "\"meshes\":[{\"primitives\":[" + Primitive(a, "", ",\"material\":0") + "]}],"
        "\"materials\":[{\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}],"
        "\"textures\":[{\"source\":0}],\"images\":[{\"uri\":\"" + image + "\"}]," + b.Json() + "}";
    WriteText(dir + "/cube.gltf", json);
    return dir + "/cube.gltf";
}

std::string AnimatedGltf(const std::string& dir, Motion motion) {
    Buffer b;
    Cube cube;
    cube.h = 0.5;
    const CubeMesh m = MakeCube(cube);
    const CubeAccessors a = AddCube(b, m);
    const int times = b.Floats({0, 1}, "SCALAR", 1, ",\"min\":[0],\"max\":[1]");
    std::string nodes, skins, moreAttributes, morePrimitive, meshExtra, target;
    int out = 0;
    switch (motion) {
    case Motion::node: {
        out = b.Floats({0, 0, 0, 4, 0, 0}, "VEC3", 3);
        nodes = "{\"name\":\"mover\",\"mesh\":0}";
        target = "{\"node\":0,\"path\":\"translation\"}";
        break;
    }
    case Motion::morph: {
        std::vector<float> lift(m.positions.size(), 0.0f);
        for (size_t i = 1; i < lift.size(); i += 3) lift[i] = 2;
        const int lifted = b.Floats(lift, "VEC3", 3, ",\"min\":[0,2,0],\"max\":[0,2,0]");
        out = b.Floats({0, 1}, "SCALAR", 1);
        nodes = "{\"name\":\"body\",\"mesh\":0}";
        morePrimitive = ",\"targets\":[{\"POSITION\":" + std::to_string(lifted) + "}]";
        meshExtra = ",\"weights\":[0]";
        target = "{\"node\":0,\"path\":\"weights\"}";
        break;
    }
    case Motion::bone: {
        const std::vector<uint8_t> joints(m.positions.size() / 3 * 4, 0);
        std::vector<float> weights(m.positions.size() / 3 * 4, 0.0f);
        for (size_t i = 0; i < weights.size(); i += 4) weights[i] = 1;
        const int j = b.Add(joints.data(), joints.size(), 5121, joints.size() / 4, "VEC4");
        const int w = b.Floats(weights, "VEC4", 4);
        const int ibm = b.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "MAT4", 16);
        out = b.Floats({0, 0, 0, 0, 3, 0}, "VEC3", 3);
        nodes = "{\"name\":\"body\",\"mesh\":0,\"skin\":0},{\"name\":\"bone\"}";
        skins = ",\"skins\":[{\"joints\":[1],\"inverseBindMatrices\":" + std::to_string(ibm) + "}]";
        moreAttributes = ",\"JOINTS_0\":" + std::to_string(j) + ",\"WEIGHTS_0\":" + std::to_string(w);
        target = "{\"node\":1,\"path\":\"translation\"}";
        break;
    }
    }
    const std::string sampler = "{\"input\":" + std::to_string(times) + ",\"output\":" + std::to_string(out) + "}";
    const std::string channel = "{\"sampler\":0,\"target\":" + target + "}";
    const std::string roots = motion == Motion::bone ? "[0,1]" : "[0]";
    const std::string json = "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":" + roots + "}],"
                             "\"nodes\":[" + nodes + "]" + skins + ","
                             "\"meshes\":[{\"primitives\":[" + Primitive(a, moreAttributes, morePrimitive) + "]" +
                             meshExtra + "}],"
                             "\"animations\":[{\"name\":\"move\",\"samplers\":[" + sampler + "],\"channels\":[" + channel +
                             "]}]," + b.Json() + "}";
    const std::string path = dir + "/moving.gltf";
    WriteText(path, json);
    return path;
}

} // namespace fixtures
