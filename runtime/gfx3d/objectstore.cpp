// The object store: the one Zovovezi3D, its slots' lifetime (load, save, clear; render.cpp deletes
// their GL objects) and the commands that build an object from program code, one triangle strip
// after another.
#include <cmath>

#include "basics/arguments.h"
#include "files/lookup.h"
#include "gfx3d/objectstore.h"
#include "voxa/gfx3d.h"
#include "window/state.h"

Zovovezi3D gRenderer3D;

Zovovezi3D::~Zovovezi3D() {
    for (int i = kSlotCount - 1; i >= 0; --i) objects[i].ClearSlot(true);
}

MeshObjectX* Zovovezi3D::Slot(double id) {
    int32_t index = 0;
    return IdFrom(id, kSlotCount, index) ? &objects[index] : nullptr;
}

void MeshObjectX::ClearSlot(bool release) {
    ClearModel(release);
    ReleaseGpu();
    hasColours = 0;
    if (release) {
        edges.Free();
        facing.Free();
    } else {
        edges.Clear();
        facing.Clear();
    }
}

bool LoadObject(DynString& file, double id) {
    MeshObjectX* slot = gRenderer3D.Slot(id);
    if (slot == nullptr) return false;
    DynString name(file);
    if (!ResolveFile(name.CStr(), file)) return false;
    // A load replaces an object being built in this slot; later vertices must not mix into it.
    if (slot == gRenderer3D.Slot(gRenderer3D.buildingObject)) gRenderer3D.buildingObject = -1;
    slot->ClearSlot(true);
    if (!slot->ReadModel(file.CStr())) return false;
    if (slot->frames.Empty() || slot->frames[0].items.Empty()) return false;
    slot->BuildDrawData();
    slot->ComputeBounds();
    return true;
}

bool SaveObject(const DynString& file, double id) {
    MeshObjectX* slot = gRenderer3D.Slot(id);
    return slot != nullptr && slot->WriteModel(file.CStr()) == 1;
}

// The frame the procedural commands append to; null when nothing is being built (or the slot
// was emptied meanwhile, e.g. by a load).
static ModelFrame* BuildingFrame() {
    if (gRenderer3D.buildingObject < 0) return nullptr;
    MeshObjectX& slot = gRenderer3D.objects[gRenderer3D.buildingObject];
    return slot.frames.Empty() ? nullptr : &slot.frames[0];
}

// A colour argument as the packed value it stands for (truncated, wrapped to 32 bits).
static uint32_t PackedColour(double colour) {
    if (std::isnan(colour)) return 0;
    if (colour >= 9.0e18) return UINT32_MAX;
    if (colour <= -9.0e18) return 0;
    return uint32_t(int64_t(colour));
}

void StartObject(double id) {
    MeshObjectX* slot = gRenderer3D.Slot(id);
    gRenderer3D.buildingObject = -1;
    if (slot == nullptr) return;
    slot->ClearSlot(false);
    gRenderer3D.buildingObject = int32_t(slot - gRenderer3D.objects);
    ModelFrame* frame = slot->frames.Append(ModelFrame());
    if (frame != nullptr) frame->records.Append(MarkerRecord(kStripMarker));
}

void AddObjectVertex(double x, double y, double z, double u, double v, double colour) {
    if (ModelFrame* frame = BuildingFrame())
        frame->records.Append(MakeRecord(float(x), float(y), float(z), float(u), float(v), PackedColour(colour)));
}

void NewObjectStrip() {
    if (ModelFrame* frame = BuildingFrame()) frame->records.Append(MarkerRecord(kStripMarker));
}

void EndObject() {
    ModelFrame* frame = BuildingFrame();
    if (frame == nullptr) {
        gRenderer3D.buildingObject = -1;
        return;
    }
    MeshObjectX& slot = gRenderer3D.objects[gRenderer3D.buildingObject];
    gRenderer3D.buildingObject = -1;
    // More than 256 colour-table entries cannot be indexed: refused like a too-short object.
    if (frame->records.Count() <= 2 || !FinishModel(slot, gRenderer3D.normalSmoothing == 2))
        slot.ClearSlot(false);
}

bool FinishModel(MeshObjectX& model, bool smoothByPosition) {
    if (!model.QuantizeFrames()) {
        for (ModelFrame& frame : model.frames) frame.items.Clear();
        return false;
    }
    if (gRenderer3D.normalSmoothing == 1 || gRenderer3D.normalSmoothing == 2)
        model.ComputeNormals(true, smoothByPosition, false);
    model.BuildDrawData();
    model.ComputeBounds();
    return true;
}
