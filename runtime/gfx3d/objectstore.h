// The 3D renderer's object store: 4096 slots, each a MeshObjectX (model data plus what drawing
// needs), and the data built from a slot's model: triangle lists, bounding spheres, normals and
// tangents, edge adjacency for shadow volumes. Building that data needs no GL; only ReleaseGpu
// touches GL objects, and only names a draw created.
#pragma once

#include <cstdint>

#include "gfx3d/model.h"

// Edge e of triangle t joins its vertices e and (e + 1) mod 3.
struct EdgeLink {
    int32_t neighbour = -1;  // triangle across this edge, -1 when none
    uint32_t silhouette = 0; // 1 when the edge is on the shadow silhouette
};

class MeshObjectX : public MeshObject {
public:
    void BuildDrawData() override;  // triangles of every frame, workVertices and hasColours
    void ComputeBounds();           // bounding sphere of every frame
    void ComputeNormals(bool recompute, bool smoothByPosition, bool tangents);
    void BuildEdges();              // edge adjacency of frame 0; kept until the model changes
    void ReleaseGpu();              // deletes the slot's GL buffers and ramp texture
    void ClearSlot(bool release);   // ClearModel, ReleaseGpu and the edge and facing lists

    uint32_t staticBuffer = 0;  // GL buffer holding frame 0's triangles; 0 = none
    uint32_t streamBuffer = 0;  // GL buffer for the per-draw vertex array; 0 = none
    int64_t streamBytes = 0;    // bytes allocated for streamBuffer, so a larger upload reallocates
    uint32_t hasColours = 0;    // 1 when the colour table holds a colour other than white
    uint32_t rampTexture = 0;   // GL texture of the toon ramp; 0 = none
    float rampStep = 0;         // 1 / number of ramp rows
    GrowArray<EdgeLink> edges;  // three per triangle of frame 0
    GrowArray<uint8_t> facing;  // per triangle: faces the shadow light
};

// Finishes a model whose frames hold records (MakeRecord, MarkerRecord): items, normals (smoothed
// across faces at one position, or per item), triangles and bounds, as EndObject does. For tools
// that build multi-frame or triangle-list models and save them with WriteModel. False (and the
// model left without items) when the colours need more than 256 colour-table entries.
bool FinishModel(MeshObjectX& model, bool smoothByPosition);

// Vertex ids of frame 0's triangle records: the first item whose decoded position lies within
// 1e-5 on every axis, else -1. Near-linear (a grid of cells at least as wide as the tolerance).
void WeldVertices(const MeshObject& model, GrowArray<int32_t>& ids);
// Neighbour links from the vertex ids of triangleCount triangles: for every edge shared by
// several triangles, the first of them links to the last and every later one to the first.
void LinkEdges(const int32_t* ids, int32_t triangleCount, EdgeLink* links);
// The same two steps by comparing every pair, as reference for tests and benchmarks.
void WeldVerticesQuadratic(const MeshObject& model, GrowArray<int32_t>& ids);
void LinkEdgesQuadratic(const int32_t* ids, int32_t triangleCount, EdgeLink* links);

// The special lighting modes SetSpotLight selects with a negative light id (-1 bump, -3 shadow,
// any other toon); none until the first such call.
enum class LightingMode : uint8_t {
    none = 0,
    bump = 1,    // per-vertex light vector into the DOT3 texture combiner
    toon = 2,    // colour ramp texture and an outline
    shadow = 3,  // a draw adds the object's shadow volume to the stencil buffer
};

namespace scene3d {

// Column-major 4 x 4 matrices, as OpenGL stores them.
struct Mat4 {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

// What the 3D commands keep of the GL state they set, for the draws and queries that follow.
struct SceneState {
    int8_t cullModeCopy = 0;   // the cull mode last given to SetCullMode (restored by DrawSprite3D)
    Mat4 projection;           // the projection last set by Enter3DMode or Enter2DMode
    Mat4 modelview;            // the modelview left by the last mode change or camera
    int32_t viewport[4] = {0, 0, 0, 0}; // GL viewport: x, y from the bottom, width, height
};

} // namespace scene3d

struct TransformLevel {
    int32_t rotationCount = 0;         // rotations in use, 0..16
    float rotations[16][4] = {};       // angle in degrees, axis x, y, z
    float scale[3] = {1, 1, 1};
    float translation[3] = {0, 0, 0};
};

// The 3D renderer, which is the state of the gfx3d folder. Everything starts empty or at the
// values below before the program's entry; the commands change it (LoadObject and ClearObject a
// slot, EndObject ends the object being built, the camera, light and transform commands their
// fields) and nothing resets it as a whole: the destructor clears every slot at process exit.
class Zovovezi3D {
public:
    static constexpr int kSlotCount = 4096;

    Zovovezi3D() = default;
    virtual ~Zovovezi3D();  // every slot, last to first: cleared, GL objects released
    Zovovezi3D(const Zovovezi3D&) = delete;
    Zovovezi3D& operator=(const Zovovezi3D&) = delete;

    // The slot of a command's id (truncated toward zero); null outside 0..4095 or for NaN.
    MeshObjectX* Slot(double id);

    MeshObjectX objects[kSlotCount];   // the object slots, ids 0..4095
    uint8_t shadowPassActive = 0;      // a shadow pass is open
    int8_t cullMode = 0;               // -1, 0, 1
    TransformLevel levels[16];         // transform stack
    int32_t currentLevel = 0;          // top level in use, 0..15
    float cameraMatrix[16] = {};       // modelview read back after the camera was set
    float textureOffset[2] = {0, 0};   // du, dv added to texture coordinates while drawing
    uint8_t enabledLights = 0;         // bit i set while GL light i is on
    uint8_t lightingModeOn = 0;        // a special lighting mode is active
    LightingMode lightingMode = LightingMode::none; // used while lightingModeOn
    float modeLight[6] = {};           // the lighting mode's light: position, colour r, g, b
    float cameraUp[3] = {0, 1, 0};     // up vector for the next camera
    float eye[3] = {0, 0, 0};          // camera position
    float target[3] = {0, 0, 0};       // camera target
    float cullConeTan = 0;             // tangent of the visibility cone's half-angle
    float nearPlane = 0, farPlane = 0; // projection planes
    int32_t normalSmoothing = 2;       // 2: EndObject smooths normals by position
    int32_t buildingObject = -1;       // slot the procedural commands write to; -1 when none
    scene3d::SceneState scene;         // projection, modelview, viewport and cull mode last set
    bool shadowShortcuts = true;       // the shadow volumes' shortcuts; a test may turn them off
};

extern Zovovezi3D gRenderer3D;    // the one 3D renderer, from static initialisation to exit
