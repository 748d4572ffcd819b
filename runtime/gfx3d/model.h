// Model data of one object slot: animation frames of quantized vertices, one colour table and
// one texture-coordinate list, plus the decoded vertex (VertexRecord) that every vertex array of
// the 3D engine is made of. Reading and writing the .ddd encodings lives in modelfile.cpp and
// modeltext.cpp, quantization in modeldata.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "gfx3d/growarray.h"

// Colour-table values from this one up are primitive markers, never colours.
constexpr uint32_t kMarkerFloor = 0xFFFFFFFCu;
constexpr uint32_t kTrianglesMarker = 0xFFFFFFFFu; // separate triangles follow
constexpr uint32_t kStripMarker = 0xFFFFFFFEu;     // a triangle strip follows
constexpr uint32_t kFanMarker = 0xFFFFFFFDu;       // a triangle fan follows
constexpr int32_t kMaxColours = 256;               // the 8-bit colour index addresses no more

inline bool IsMarker(uint32_t value) { return value >= kMarkerFloor; }

// 162 unit vectors x, y, z; a quantized normal, tangent or binormal is an index into it.
constexpr int kNormalCount = 162;
extern const float NormalTable[kNormalCount * 3];

// Index of the table entry closest to v (normalised first when it is not near zero).
uint8_t QuantizeNormal(const float v[3]);

// One decoded vertex: 22 words, the layout every vertex array handed to OpenGL uses (stride 88).
struct VertexRecord {
    float position[3];   // words 0-2
    float normal[3];     // words 3-5
    float tex[2];        // words 6-7: u, v
    float light[3];      // words 8-10: bump mode's tangent-space light vector, 0..1
    float tangent[3];    // words 11-13
    float binormal[3];   // words 14-16; toon mode uses 14-15 as the ramp coordinate
    uint32_t value;      // word 17: colour-table value (packed colour or marker code)
    uint32_t colourIndex;// word 18: colour-table index, low 8 bits
    float colour[3];     // words 19-21: r, g, b in 0..1
};
static_assert(sizeof(VertexRecord) == 88, "VertexRecord is 22 words");
static_assert(offsetof(VertexRecord, normal) == 3 * 4 && offsetof(VertexRecord, tex) == 6 * 4 &&
                  offsetof(VertexRecord, light) == 8 * 4 && offsetof(VertexRecord, tangent) == 11 * 4 &&
                  offsetof(VertexRecord, binormal) == 14 * 4 && offsetof(VertexRecord, value) == 17 * 4 &&
                  offsetof(VertexRecord, colourIndex) == 18 * 4 && offsetof(VertexRecord, colour) == 19 * 4,
              "VertexRecord word positions are fixed");

// A marker record: all words 0 but the marker code and white.
VertexRecord MarkerRecord(uint32_t marker);
// A vertex record from position, texture coordinate and packed colour (white for marker codes).
VertexRecord MakeRecord(float x, float y, float z, float u, float v, uint32_t value);

// One quantized vertex or primitive marker; the first five fields are what files store.
struct ModelItem {
    uint8_t qx, qy, qz; // quantized position: coordinate = (q - offset) * scale
    uint8_t normal;     // NormalTable index
    uint8_t colour;     // colourTable index
    uint8_t tangent;    // NormalTable index, 0 until computed
    uint8_t binormal;   // NormalTable index, 0 until computed
};

struct ModelFrame {
    GrowArray<VertexRecord> records;   // decoded vertices before quantization (text and procedural)
    GrowArray<VertexRecord> triangles; // three records per triangle, from the items
    GrowArray<ModelItem> items;        // quantized vertices and markers in drawing order
    float offset[3] = {0, 0, 0};       // dequantization offset per axis
    float scale[3] = {1, 1, 1};        // dequantization scale per axis
    float radius = 0;                  // bounding sphere
    float centre[3] = {0, 0, 0};
};

class MeshObject {
public:
    MeshObject() = default;
    MeshObject(const MeshObject&) = delete;
    MeshObject& operator=(const MeshObject&) = delete;
    virtual ~MeshObject() = default;

    virtual void BuildDrawData() {} // drawing data from the items; the object store's slots build it

    uint8_t ReadModel(const char* path);            // 1 loaded, 0 failed (read errors are logged)
    uint8_t ReadModelFile(FILE* file, const char* path); // the same from an open file (path names it in the log)
    int WriteModel(const char* path);               // binary encoding; 1 written, 0 not
    bool WriteModelFile(FILE* file) const;          // the same into an open file
    bool QuantizeFrames();                          // records become items; false when the colours need more than 256 entries
    void ClearModel(bool release);                  // empties every list; release also frees the memory

    // The item's colour-table value; a colour index beyond the table reads as a separate-triangles marker.
    uint32_t ItemValue(const ModelItem& item) const {
        return item.colour < colourTable.Count() ? colourTable[item.colour] : kTrianglesMarker;
    }
    // Decodes item i of frame f into a record: position, normal, tangent, binormal, colour, u and -v.
    void DecodeItem(const ModelFrame& frame, int32_t i, VertexRecord& out) const;

    GrowArray<ModelFrame> frames;         // frame 0 first; every frame has the same items' layout
    GrowArray<VertexRecord> workVertices; // the per-draw vertex array
    GrowArray<float> texU;                // u of item i of every frame
    GrowArray<float> texV;                // v of item i, as stored (drawing uses -v)
    GrowArray<uint32_t> colourTable;      // packed colours and marker codes
    uint32_t normalsValid = 0;            // 1 when the items' normal indices are meaningful

private:
    bool QuantizeFrame(ModelFrame& frame, bool firstFrame);
    friend class TextModelReader;
};
