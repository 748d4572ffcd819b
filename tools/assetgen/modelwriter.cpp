// Writing models with the runtime's own model data and writer: the mesh's triangles become one
// frame of separate triangles, which the runtime quantizes and writes in its binary encoding.
#include <stdexcept>

#include "gfx3d/model.h"
#include "mesh.h"
#include "output.h"

namespace assetgen {

void SaveModel(const std::string& path, const Mesh& mesh) {
    MeshObject model;
    ModelFrame* frame = model.frames.Append(ModelFrame{});
    if (!frame || !frame->records.Append(MarkerRecord(kTrianglesMarker)))
        throw std::runtime_error("out of memory building " + path);
    for (const Vertex& v : mesh.Vertices()) {
        // White: the object's texture shows as it is.
        VertexRecord r = MakeRecord(static_cast<float>(v.pos.x), static_cast<float>(v.pos.y),
                                    static_cast<float>(v.pos.z), static_cast<float>(v.u), static_cast<float>(v.v),
                                    0xFFFFFFu);
        r.normal[0] = static_cast<float>(v.normal.x);
        r.normal[1] = static_cast<float>(v.normal.y);
        r.normal[2] = static_cast<float>(v.normal.z);
        if (!frame->records.Append(r)) throw std::runtime_error("out of memory building " + path);
    }
    if (!model.QuantizeFrames()) throw std::runtime_error("cannot quantize " + path);
    if (model.WriteModel(path.c_str()) != 1) throw std::runtime_error("cannot write " + path);
}

}  // namespace assetgen
