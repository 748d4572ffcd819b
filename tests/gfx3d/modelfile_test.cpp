// Binary model files, the normal table, quantization, writing and the load/save commands.
#include <cmath>
#include <utility>
#include <vector>

#include "fixtures.h"
#include "voxa/gfx3d.h"

namespace {

TEST(GrowArrayTest, GrowsByStepAndRefusesHostileReserves) {
    GrowArray<int32_t> a;
    for (int i = 0; i < 513; ++i) a.Append(i);
    EXPECT_EQ(a.Capacity(), 640);
    EXPECT_EQ(a[512], 512);
    a.Free();
    EXPECT_TRUE(a.Reserve(1000));
    EXPECT_EQ(a.Capacity(), 1001);
    EXPECT_FALSE(a.Reserve(-1));
    EXPECT_FALSE(a.Reserve(int64_t(1) << 40)); // refused, not attempted
}

TEST(NormalTableTest, HoldsTheUnitVectorsAndQuantizesEachToItself) {
    EXPECT_FLOAT_EQ(NormalTable[0], -0.525731f);
    EXPECT_FLOAT_EQ(NormalTable[161 * 3 + 0], -0.688191f);
    for (int i = 0; i < kNormalCount; ++i) {
        const float* t = NormalTable + 3 * i;
        EXPECT_NEAR(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1.0, 1e-5) << i;
        const float longer[3] = {t[0] * 5, t[1] * 5, t[2] * 5};
        EXPECT_EQ(QuantizeNormal(longer), i);
    }
    const float zero[3] = {0, 0, 0};
    EXPECT_EQ(QuantizeNormal(zero), 0);
}

using BinaryModelTest = ModelDirTest;

// Colours {strip marker, red}, no texture pairs; each frame is a marker item, then one vertex
// item per (normal, colour) pair.
std::string Model(const std::vector<std::vector<std::pair<uint8_t, uint8_t>>>& frames) {
    Bytes b = Header(int32_t(frames.size()), 2, 0);
    b.U32(kStripMarker).U32(0xFFu);
    for (const auto& f : frames) {
        b.Frame(int32_t(f.size()) + 1).Item(0, 0, 0, 0, 0);
        for (const auto& [normal, colour] : f) b.Item(1, 1, 1, normal, colour);
    }
    return b.str();
}

TEST_F(BinaryModelTest, LoadsEveryFieldOfVersion102AndWritesTheSameBytes) {
    const std::string original = SampleBinary().str();
    MeshObject m;
    ASSERT_EQ(Reads(m, original), 1);
    ASSERT_EQ(m.frames.Count(), 2);
    EXPECT_EQ(m.colourTable[1], 0xFFu);
    ASSERT_EQ(m.texU.Count(), 5);
    EXPECT_FLOAT_EQ(m.texU[4], 1.0f);
    EXPECT_FLOAT_EQ(m.texV[1], 0.75f);
    EXPECT_EQ(m.normalsValid, 1u);
    const ModelFrame& f1 = m.frames[1];
    EXPECT_FLOAT_EQ(f1.scale[0], 2.0f);
    ASSERT_EQ(f1.items.Count(), 5);
    EXPECT_EQ(f1.items[2].qx, 10);
    EXPECT_EQ(f1.items[2].normal, 7);
    EXPECT_EQ(f1.items[2].colour, 1);
    EXPECT_EQ(Log(), "");
    ASSERT_EQ(m.WriteModel(Path("out.ddd").c_str()), 1);
    EXPECT_EQ(Slurp(Path("out.ddd")), original);
    EXPECT_EQ(m.WriteModel(Path("no/such/dir/x.ddd").c_str()), 0);
    EXPECT_EQ(m.WriteModel(""), 0);
    // The largest indices that still name an entry, and a second frame of the first's layout.
    EXPECT_EQ(Reads(m, Model({{{161, 1}}})), 1);
    EXPECT_EQ(Reads(m, Model({{{0, 1}}, {{0, 1}}})), 1);
}

TEST_F(BinaryModelTest, DamagedAndHostileFilesAreReadErrorsWithAnEmptyModel) {
    Bytes items = Header(1, 1, 0), negative = Header(1, 1, 0);
    items.U32(0xFFu).Frame(0x7FFFFFFF).Item(0, 0, 0, 0, 0);
    negative.U32(0xFFu).Frame(-5);
    const std::pair<const char*, std::string> cases[] = {
        {"version 1.0", SampleBinary(1.0).str()},
        {"version 1.03", SampleBinary(1.03).str()},
        {"colours beyond the file", Header(0, 0x7FFFFFFF, 0).U32(0).str()},
        {"texture pairs beyond the file", Header(0, 0, 0x7FFFFFFF).str()},
        {"frames beyond the file", Header(0x7FFFFFFF, 0, 0).str()},
        {"negative colours", Header(0, -1, 0).str()},
        {"items beyond the file", items.str()},
        {"negative items", negative.str()},
        {"colour index beyond the table", Model({{{0, 2}}})},
        {"normal index beyond the table", Model({{{162, 1}}})},
        {"second frame longer", Model({{{0, 1}}, {{0, 1}, {0, 1}}})},
        {"second frame's marker elsewhere", Model({{{0, 1}}, {{0, 0}}})},
    };
    MeshObject m;
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        ExpectReadError(m, bytes);
    }
    const std::string full = SampleBinary().str();
    for (size_t n = 0; n < full.size(); ++n) ExpectReadError(m, full.substr(0, n));
}

TEST_F(BinaryModelTest, NoFramesLoadsButLoadObjectReportsNothingToDraw) {
    MeshObject m;
    EXPECT_EQ(Reads(m, Header(0, 1, 0).U32(0xFFu).str()), 1);
    DynString name(Path("ok.ddd").c_str());
    EXPECT_FALSE(LoadObject(name, 3));
    EXPECT_EQ(gRenderer3D.objects[3].colourTable.Count(), 1); // the data stays in the slot
    EXPECT_EQ(Log(), "");
}

TEST(QuantizeTest, FlatAxisGetsScaleOneAndPositionsRoundTripWithinAStep) {
    MeshObject m;
    ModelFrame* f = m.frames.Append(ModelFrame());
    f->records.Append(MarkerRecord(kStripMarker));
    f->records.Append(MakeRecord(3.5f, -2.0f, 0.0f, 0.1f, 0.2f, 0xFF0000u));
    f->records.Append(MakeRecord(3.5f, 8.2f, 4.0f, 0.3f, 0.4f, 0xFF0000u));
    f->records.Append(MakeRecord(3.5f, 1.0f, 2.0f, 0.5f, 0.6f, 0x00FF00u));
    ASSERT_TRUE(m.QuantizeFrames());
    EXPECT_FLOAT_EQ(f->scale[0], 1.0f);
    EXPECT_FLOAT_EQ(f->scale[1], 10.2f / 255.0f);
    ASSERT_EQ(f->items.Count(), 4);
    EXPECT_EQ(f->items[1].qy, 0);
    EXPECT_GE(f->items[2].qy, 254); // the maximum truncates to 254 or 255
    VertexRecord r;
    m.DecodeItem(*f, 3, r);
    EXPECT_FLOAT_EQ(r.position[0], 3.5f);
    EXPECT_NEAR(r.position[1], 1.0f, f->scale[1]);
    EXPECT_NEAR(r.position[2], 2.0f, f->scale[2]);
    // Colours in order of first use, the marker first; texture lists own one pair per item.
    ASSERT_EQ(m.colourTable.Count(), 3);
    EXPECT_EQ(m.colourTable[2], 0x00FF00u);
    EXPECT_EQ(f->items[3].colour, 2);
    ASSERT_EQ(m.texU.Count(), 4);
    EXPECT_FLOAT_EQ(m.texV[3], 0.6f);
}

using ObjectFileTest = ModelDirTest;

TEST_F(ObjectFileTest, LoadAndSaveObjectUseTheSlotAndKeepItWhenNotFound) {
    DynString name(Path("A.DDD").c_str());
    Write("a.ddd", SampleBinary().str());
    ASSERT_TRUE(LoadObject(name, 7.9));
    EXPECT_STREQ(name.CStr(), Path("A.DDD").c_str()); // a plain file resolves to its own name
    MeshObjectX& slot = gRenderer3D.objects[7];
    EXPECT_EQ(slot.frames[0].triangles.Count(), 6);
    EXPECT_GT(slot.frames[1].radius, 0.0f);
    DynString missing(Path("missing.ddd").c_str());
    EXPECT_FALSE(LoadObject(missing, 7));
    EXPECT_EQ(slot.frames.Count(), 2);
    EXPECT_TRUE(SaveObject(DynString(Path("saved.ddd").c_str()), 7));
    EXPECT_EQ(Slurp(Path("saved.ddd")), SampleBinary().str());
    EXPECT_FALSE(SaveObject(DynString(Path("nowhere/saved.ddd").c_str()), 7));
    // A read error clears the slot and logs two lines.
    DynString bad(Write("bad.ddd", SampleBinary(1.5).str()).c_str());
    EXPECT_FALSE(LoadObject(bad, 7));
    EXPECT_EQ(slot.frames.Count(), 0);
    EXPECT_EQ(slot.workVertices.Count(), 0);
    EXPECT_EQ(Log(), "# read error\r\n" + Path("bad.ddd") + "\r\n");
}

TEST_F(ObjectFileTest, SlotIdsOutsideTheTableAreRefused) {
    DynString name(Write("good.ddd", SampleBinary().str()).c_str());
    for (double id : {-1.0, 4096.0, 1e300, -1e300, std::nan("")}) {
        EXPECT_FALSE(LoadObject(name, id)) << id;
        EXPECT_FALSE(SaveObject(DynString(Path("out.ddd").c_str()), id)) << id;
    }
    EXPECT_EQ(Slurp(Path("out.ddd")), "");
    EXPECT_TRUE(LoadObject(name, -0.5)); // truncates toward zero: slot 0
    EXPECT_TRUE(LoadObject(name, 4095.5));
    EXPECT_EQ(gRenderer3D.objects[4095].frames.Count(), 2);
}

} // namespace
