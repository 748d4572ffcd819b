// Binary model files, the normal table, quantization, writing and the load/save commands.
#include <cmath>

#include "fixtures.h"
#include "voxa/gfx3d.h"

namespace {

using BinaryModelTest = ModelDirTest;

TEST(GrowArrayTest, GrowsByStepAfterFirstCapacityAndReserveAddsOne) {
    GrowArray<int32_t> a;
    a.Append(1);
    EXPECT_EQ(a.Capacity(), 512);
    for (int i = 1; i < 513; ++i) a.Append(i);
    EXPECT_EQ(a.Capacity(), 640);
    EXPECT_EQ(a[512], 512);
    a.Clear();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(a.Capacity(), 640);
    a.Free();
    EXPECT_EQ(a.Capacity(), 0);
    EXPECT_TRUE(a.Reserve(1000));
    EXPECT_EQ(a.Capacity(), 1001);
    EXPECT_FALSE(a.Reserve(-1));
    EXPECT_FALSE(a.Reserve(int64_t(1) << 40)); // refused, not attempted
}

TEST(NormalTableTest, HoldsTheUnitVectorsAndQuantizesEachToItself) {
    EXPECT_FLOAT_EQ(NormalTable[0], -0.525731f);
    EXPECT_FLOAT_EQ(NormalTable[2], 0.850651f);
    EXPECT_FLOAT_EQ(NormalTable[161 * 3 + 0], -0.688191f);
    EXPECT_FLOAT_EQ(NormalTable[161 * 3 + 2], -0.425325f);
    for (int i = 0; i < kNormalCount; ++i) {
        const float* t = NormalTable + 3 * i;
        EXPECT_NEAR(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1.0, 1e-5) << i;
        EXPECT_EQ(QuantizeNormal(t), i);
        const float longer[3] = {t[0] * 5, t[1] * 5, t[2] * 5};
        EXPECT_EQ(QuantizeNormal(longer), i);
    }
    const float zero[3] = {0, 0, 0};
    EXPECT_EQ(QuantizeNormal(zero), 0);
    const float up[3] = {0, 1, 0};
    const float* u = NormalTable + 3 * QuantizeNormal(up);
    EXPECT_GT(u[1], 0.99f);
}

TEST_F(BinaryModelTest, LoadsEveryFieldOfVersion102) {
    MeshObject m;
    ASSERT_EQ(m.ReadModel(Write("a.ddd", SampleBinary().str()).c_str()), 1);
    ASSERT_EQ(m.frames.Count(), 2);
    ASSERT_EQ(m.colourTable.Count(), 2);
    EXPECT_EQ(m.colourTable[0], 0xFFFFFFFEu);
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
    EXPECT_EQ(f1.items[2].tangent, 0);
    EXPECT_EQ(Log(), "");
}

TEST_F(BinaryModelTest, OtherVersionsAreReadErrors) {
    MeshObject m;
    ExpectReadError(m, Write("v1.ddd", SampleBinary(1.0).str()));
    ExpectReadError(m, Write("v103.ddd", SampleBinary(1.03).str()));
}

TEST_F(BinaryModelTest, EveryTruncationIsAReadErrorWithAnEmptyModel) {
    const std::string full = SampleBinary().str();
    MeshObject m;
    for (size_t n = 0; n < full.size(); ++n) ExpectReadError(m, Write("cut.ddd", full.substr(0, n)));
    EXPECT_EQ(m.ReadModel(Write("whole.ddd", full).c_str()), 1);
}

TEST_F(BinaryModelTest, CountsTheFileCannotHoldAreRefusedBeforeReserving) {
    MeshObject m;
    auto header = [](int32_t frames, int32_t colours, int32_t tex) {
        Bytes b;
        b.U32(0x00C6B317u).F64(1.02).I32(frames).I32(colours).I32(tex);
        return b;
    };
    ExpectReadError(m, Write("c.ddd", header(0, 0x7FFFFFFF, 0).U32(0).str()));
    ExpectReadError(m, Write("t.ddd", header(0, 0, 0x7FFFFFFF).str()));
    ExpectReadError(m, Write("f.ddd", header(0x7FFFFFFF, 0, 0).str()));
    ExpectReadError(m, Write("n.ddd", header(0, -1, 0).str()));
    Bytes items = header(1, 1, 0);
    items.U32(0xFFu).I32(0x7FFFFFFF).F32(0).F32(0).F32(0).F32(1).F32(1).F32(1).Item(0, 0, 0, 0, 0);
    ExpectReadError(m, Write("i.ddd", items.str()));
    Bytes negative = header(1, 1, 0);
    negative.U32(0xFFu).I32(-5).F32(0).F32(0).F32(0).F32(1).F32(1).F32(1);
    ExpectReadError(m, Write("ni.ddd", negative.str()));
}

TEST_F(BinaryModelTest, ColourAndNormalIndicesBeyondTheirTablesAreReadErrors) {
    auto model = [](uint8_t normal, uint8_t colour) {
        Bytes b;
        b.U32(0x00C6B317u).F64(1.02).I32(1).I32(2).I32(0).U32(0xFFFFFFFEu).U32(0xFFu);
        b.I32(2).F32(0).F32(0).F32(0).F32(1).F32(1).F32(1).Item(0, 0, 0, 0, 0).Item(1, 1, 1, normal, colour);
        return b.str();
    };
    MeshObject m;
    EXPECT_EQ(m.ReadModel(Write("ok.ddd", model(161, 1)).c_str()), 1);
    ExpectReadError(m, Write("colour.ddd", model(0, 2)));
    ExpectReadError(m, Write("normal.ddd", model(162, 1)));
}

TEST_F(BinaryModelTest, FramesMustShareFrameZerosLayout) {
    auto model = [](int secondCount, uint8_t secondColour) {
        Bytes b;
        b.U32(0x00C6B317u).F64(1.02).I32(2).I32(2).I32(0).U32(0xFFFFFFFEu).U32(0xFFu);
        b.I32(2).F32(0).F32(0).F32(0).F32(1).F32(1).F32(1).Item(0, 0, 0, 0, 0).Item(1, 1, 1, 0, 1);
        b.I32(secondCount).F32(0).F32(0).F32(0).F32(1).F32(1).F32(1);
        for (int i = 0; i < secondCount; ++i) b.Item(0, 0, 0, 0, i == 0 ? 0 : secondColour);
        return b.str();
    };
    MeshObject m;
    EXPECT_EQ(m.ReadModel(Write("same.ddd", model(2, 1)).c_str()), 1);
    ExpectReadError(m, Write("count.ddd", model(3, 1)));
    ExpectReadError(m, Write("marker.ddd", model(2, 0)));
}

TEST_F(BinaryModelTest, NoFramesLoadsButLoadObjectReportsNothingToDraw) {
    Bytes b;
    b.U32(0x00C6B317u).F64(1.02).I32(0).I32(1).I32(0).U32(0xFFu);
    MeshObject m;
    EXPECT_EQ(m.ReadModel(Write("empty.ddd", b.str()).c_str()), 1);
    EXPECT_EQ(m.colourTable.Count(), 1);
    DynString name(Path("empty.ddd").c_str());
    EXPECT_FALSE(LoadObject(name, 3));
    EXPECT_EQ(gRenderer3D.objects[3].colourTable.Count(), 1); // the data stays in the slot
    EXPECT_EQ(Log(), "");
}

TEST_F(BinaryModelTest, WritingALoadedModelGivesTheSameBytes) {
    const std::string original = SampleBinary().str();
    MeshObject m;
    ASSERT_EQ(m.ReadModel(Write("in.ddd", original).c_str()), 1);
    ASSERT_EQ(m.WriteModel(Path("out.ddd").c_str()), 1);
    EXPECT_EQ(Slurp(Path("out.ddd")), original);
}

TEST_F(BinaryModelTest, WriteToAPlaceThatCannotBeCreatedFails) {
    MeshObject m;
    EXPECT_EQ(m.WriteModel(Path("no/such/dir/x.ddd").c_str()), 0);
    EXPECT_EQ(m.WriteModel(""), 0);
}

TEST(QuantizeTest, FlatAxisGetsScaleOneAndPositionsRoundTripWithinAStep) {
    MeshObject m;
    ModelFrame* f = m.frames.Append(ModelFrame());
    f->records.Append(MarkerRecord(kStripMarker));
    f->records.Append(MakeRecord(3.5f, -2.0f, 0.0f, 0.1f, 0.2f, 0xFF0000u));
    f->records.Append(MakeRecord(3.5f, 8.2f, 4.0f, 0.3f, 0.4f, 0xFF0000u));
    f->records.Append(MakeRecord(3.5f, 1.0f, 2.0f, 0.5f, 0.6f, 0x00FF00u));
    ASSERT_TRUE(m.QuantizeFrames());
    EXPECT_EQ(f->records.Count(), 0);
    EXPECT_FLOAT_EQ(f->scale[0], 1.0f);
    EXPECT_FLOAT_EQ(f->offset[0], -3.5f);
    EXPECT_FLOAT_EQ(f->scale[1], 10.2f / 255.0f);
    ASSERT_EQ(f->items.Count(), 4);
    EXPECT_EQ(f->items[1].qy, 0);
    EXPECT_GE(f->items[2].qy, 254); // the maximum truncates to 254 or 255
    EXPECT_GE(f->items[2].qz, 254);
    for (int i = 1; i < 4; ++i) {
        VertexRecord r;
        m.DecodeItem(*f, i, r);
        EXPECT_FLOAT_EQ(r.position[0], 3.5f);
    }
    VertexRecord r;
    m.DecodeItem(*f, 3, r);
    EXPECT_NEAR(r.position[1], 1.0f, f->scale[1]);
    EXPECT_NEAR(r.position[2], 2.0f, f->scale[2]);
    // Colours in order of first use, the marker first; texture lists own one pair per item.
    ASSERT_EQ(m.colourTable.Count(), 3);
    EXPECT_EQ(m.colourTable[0], kStripMarker);
    EXPECT_EQ(m.colourTable[2], 0x00FF00u);
    EXPECT_EQ(f->items[3].colour, 2);
    ASSERT_EQ(m.texU.Count(), 4);
    EXPECT_FLOAT_EQ(m.texV[3], 0.6f);
    EXPECT_EQ(m.normalsValid, 0u);
}

TEST(QuantizeTest, MoreThan256ColourEntriesAreRefused) {
    for (uint32_t colours : {255u, 256u}) {
        MeshObject m;
        ModelFrame* f = m.frames.Append(ModelFrame());
        f->records.Append(MarkerRecord(kStripMarker));
        for (uint32_t c = 0; c < colours; ++c) f->records.Append(MakeRecord(float(c), 0, 0, 0, 0, c));
        // 255 colours and the marker fill the 256 entries the 8-bit index can address.
        EXPECT_EQ(m.QuantizeFrames(), colours == 255u) << colours;
    }
}

using ObjectFileTest = ModelDirTest;

TEST_F(ObjectFileTest, LoadObjectResolvesBuildsAndKeepsTheSlotWhenNotFound) {
    DynString name(Path("A.DDD").c_str());
    Write("a.ddd", SampleBinary().str());
    ASSERT_TRUE(LoadObject(name, 7.9));
    EXPECT_STREQ(name.CStr(), Path("A.DDD").c_str()); // a plain file resolves to its own name
    MeshObjectX& slot = gRenderer3D.objects[7];
    EXPECT_EQ(slot.frames.Count(), 2);
    EXPECT_EQ(slot.frames[0].triangles.Count(), 6);
    EXPECT_EQ(slot.workVertices.Count(), 6);
    EXPECT_GT(slot.frames[1].radius, 0.0f);
    DynString missing(Path("missing.ddd").c_str());
    EXPECT_FALSE(LoadObject(missing, 7));
    EXPECT_EQ(slot.frames.Count(), 2);
}

TEST_F(ObjectFileTest, ReadErrorClearsTheSlotAndLogsTwoLines) {
    DynString good(Write("good.ddd", SampleBinary().str()).c_str());
    ASSERT_TRUE(LoadObject(good, 8));
    DynString bad(Write("bad.ddd", SampleBinary(1.5).str()).c_str());
    EXPECT_FALSE(LoadObject(bad, 8));
    EXPECT_EQ(gRenderer3D.objects[8].frames.Count(), 0);
    EXPECT_EQ(gRenderer3D.objects[8].workVertices.Count(), 0);
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

TEST_F(ObjectFileTest, SaveObjectWritesTheSlotAndReportsFailure) {
    DynString name(Write("good.ddd", SampleBinary().str()).c_str());
    ASSERT_TRUE(LoadObject(name, 9));
    EXPECT_TRUE(SaveObject(DynString(Path("saved.ddd").c_str()), 9));
    EXPECT_EQ(Slurp(Path("saved.ddd")), SampleBinary().str());
    EXPECT_FALSE(SaveObject(DynString(Path("nowhere/saved.ddd").c_str()), 9));
}

} // namespace
