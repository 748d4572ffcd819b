// Writing a sampled model: the binary .ddd encoding through the runtime's own quantizer and
// writer, or the text encoding; the texture as a 24-bit BMP. Every file is written under a
// temporary name and renamed once all are complete.
#include <unistd.h>

#include <cstdio>

#include "gfx2d/bmp.h"
#include "gfx3d/model.h"
#include "voxamodel.h"

namespace voxamodel {

namespace {

// The runtime draws -v of the stored coordinate, which counts from the image's top row.
float StoredV(float v) { return 1.0f - v; }

// One frame quantized alone: every frame lists the same colours in the same order, so each
// frame's colour table is frame 0's and only one frame's decoded records are held at a time.
bool WriteBinary(const SampledModel& m, FILE* file, std::string& error) {
    MeshObject out;
    for (size_t f = 0; f < m.positions.size(); ++f) {
        MeshObject one;
        ModelFrame* frame = one.frames.Append(ModelFrame{});
        if (frame == nullptr || !frame->records.Reserve(int64_t(m.triangles.size()) + 1) ||
            !frame->records.Append(MarkerRecord(kTrianglesMarker))) {
            error = "there is not enough memory";
            return false;
        }
        for (uint32_t vertex : m.triangles) {
            const Vec3& p = m.positions[f][vertex];
            const Vec3& n = m.normals[f][vertex];
            VertexRecord r = MakeRecord(p.x, p.y, p.z, m.u[vertex], StoredV(m.v[vertex]), m.colour[vertex]);
            r.normal[0] = n.x, r.normal[1] = n.y, r.normal[2] = n.z;
            frame->records.Append(r);
        }
        if (!one.QuantizeFrames()) {
            error = "its colours do not fit a .ddd colour table";
            return false;
        }
        if (f == 0) {
            out.texU = std::move(one.texU);
            out.texV = std::move(one.texV);
            out.colourTable = std::move(one.colourTable);
        }
        if (out.frames.Append(std::move(one.frames[0])) == nullptr) {
            error = "there is not enough memory";
            return false;
        }
    }
    return out.WriteModelFile(file);
}

// Vertex i owns texture pair i; a face takes the colour of its first vertex (the text encoding
// colours faces, not vertices) and has no normals, which the runtime computes when it needs them.
bool WriteText(const SampledModel& m, FILE* f) {
    const size_t vertices = m.u.size(), faces = m.triangles.size() / 3;
    std::fprintf(f, "DDDA 1.0\n# %zu texture pairs (u v), %zu faces (r g b 3, then vertex and pair indices), "
                    "%zu frames of %zu positions\n%zu\n", vertices, faces, m.positions.size(), vertices, vertices);
    for (size_t i = 0; i < vertices; ++i) std::fprintf(f, "%.9g %.9g\n", m.u[i], StoredV(m.v[i]));
    std::fprintf(f, "%zu\n", faces);
    for (size_t t = 0; t < faces; ++t) {
        const uint32_t* v = &m.triangles[t * 3];
        const uint32_t c = m.colour[v[0]];
        std::fprintf(f, "%u %u %u 3 %u %u %u %u %u %u\n", c & 255, (c >> 8) & 255, (c >> 16) & 255, v[0], v[0], v[1],
                     v[1], v[2], v[2]);
    }
    std::fprintf(f, "%zu\n", m.positions.size());
    for (const auto& frame : m.positions) {
        std::fprintf(f, "%zu\n", frame.size());
        for (const Vec3& p : frame) std::fprintf(f, "%.9g %.9g %.9g\n", p.x, p.y, p.z);
    }
    return std::ferror(f) == 0;
}

bool WriteModel(const SampledModel& m, const std::string& path, bool text, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        error = "cannot create " + path;
        return false;
    }
    bool ok = text ? WriteText(m, f) : WriteBinary(m, f, error);
    if (std::fclose(f) != 0) ok = false;
    if (!ok && error.empty()) error = "cannot write " + path;
    return ok;
}

} // namespace

bool WriteModelFiles(const SampledModel& model, const std::string& outPath, bool text,
                     std::vector<std::string>& written, std::string& error) {
    const std::string texturePath = TexturePathFor(outPath);
    if (model.texture.width > 0 && texturePath == outPath) {
        error = outPath + " would be overwritten by its texture; name the model .ddd";
        return false;
    }
    const std::string partModel = outPath + ".part", partTexture = texturePath + ".part";
    bool ok = true;
    if (model.texture.width > 0) {
        int w = 0, h = 0;
        const std::vector<uint8_t> pixels = TextureBmpPixels(model.texture, w, h);
        ok = WriteBmp24(partTexture.c_str(), pixels.data(), w, h, w, false) == 1;
        if (!ok) error = "cannot write " + partTexture;
    }
    ok = ok && WriteModel(model, partModel, text, error);
    if (ok && model.texture.width > 0) {
        ok = std::rename(partTexture.c_str(), texturePath.c_str()) == 0;
        if (ok) written.push_back(texturePath);
    }
    if (ok) {
        ok = std::rename(partModel.c_str(), outPath.c_str()) == 0;
        if (ok) written.insert(written.begin(), outPath);
    }
    if (!ok) {
        if (error.empty()) error = "cannot write " + outPath;
        std::remove(partModel.c_str());
        std::remove(partTexture.c_str());
        for (const std::string& w : written) std::remove(w.c_str());
        written.clear();
    }
    return ok;
}

} // namespace voxamodel
