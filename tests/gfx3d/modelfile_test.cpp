// Model files of both encodings: binary fields, the normal table, quantization, writing and the
// load/save commands; the text encoding's tokens and comments, header rules, faces as fans and
// frames; and the damaged and hostile files that must end in a read error.
#include <cmath>
#include <random>
#include <string>
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
    EXPECT_EQ(ReadFile(Path("out.ddd")), original);
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

TEST(QuantizeTest, FlatAxisGetsScaleOneAndTheRangeSpansTheBytes) {
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
    EXPECT_EQ(ReadFile(Path("saved.ddd")), SampleBinary().str());
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
    EXPECT_EQ(ReadFile(Path("out.ddd")), "");
    EXPECT_TRUE(LoadObject(name, -0.5)); // truncates toward zero: slot 0
    EXPECT_TRUE(LoadObject(name, 4095.5));
    EXPECT_EQ(gRenderer3D.objects[4095].frames.Count(), 2);
}

using TextModelTest = ModelDirTest;

// One square face (K = 4) in red, four texture pairs and two frames; the second frame is the
// first moved up by 2.
const char* kSquare =
    "DDDA 1.0\n"
    "4  0 0  1 0  1 1  0 1   # texture pairs\n"
    "1\n"
    "255 0 0 4  0 0  1 1  2 2  3 3\n"
    "2\n"
    "4  0 0 0  1 0 0  1 1 0  0 1 0\n"
    "4  0 2 0  1 2 0  1 3 0  0 3 0\n";

TEST_F(TextModelTest, SquareInTwoFramesGivesFiveItemsAFrameAndSavesAsBinary) {
    MeshObject m;
    ASSERT_EQ(Reads(m, kSquare), 1);
    ASSERT_EQ(m.frames.Count(), 2);
    ASSERT_EQ(m.colourTable.Count(), 2);
    EXPECT_EQ(m.colourTable[0], kFanMarker);
    ASSERT_EQ(m.texU.Count(), 5);
    EXPECT_FLOAT_EQ(m.texV[3], 1.0f);
    EXPECT_FLOAT_EQ(m.texU[4], 0.0f);
    EXPECT_EQ(m.frames[1].items.Count(), 5);
    EXPECT_EQ(m.frames[1].items[1].colour, 1);
    VertexRecord r;
    m.DecodeItem(m.frames[1], 3, r);
    // Positions come back within one quantization step (the top of a range may truncate to 254).
    EXPECT_NEAR(r.position[0], 1.0f, 1.0f / 255);
    EXPECT_NEAR(r.position[1], 3.0f, 1.0f / 255);
    EXPECT_FLOAT_EQ(r.colour[0], 1.0f);
    EXPECT_FLOAT_EQ(r.colour[1], 0.0f);
    // Saved as binary and read back, it writes the same bytes again.
    ASSERT_EQ(m.WriteModel(Path("a.bin").c_str()), 1);
    MeshObject binary;
    ASSERT_EQ(binary.ReadModel(Path("a.bin").c_str()), 1);
    ASSERT_EQ(binary.WriteModel(Path("b.bin").c_str()), 1);
    EXPECT_EQ(ReadFile(Path("b.bin")), ReadFile(Path("a.bin")));
}

TEST_F(TextModelTest, CommentEndsATokenAndRunsToTheEndOfItsLine) {
    const std::string text =
        "# a model\r\nDDDA#header\n1.0\t3 0 0 1 0 0 1\n"
        "1 12#note 99 99\n0 0 3 0 0 1 1 2 2\n1 3 0 0 0 1 0 0 0 1 0\n";
    MeshObject m;
    ASSERT_EQ(Reads(m, text), 1);
    ASSERT_EQ(m.colourTable.Count(), 2);
    EXPECT_EQ(m.colourTable[1], 12u); // r = 12, the rest of that line is a comment
    EXPECT_EQ(m.frames[0].items.Count(), 4);
    ASSERT_EQ(Reads(m, "DDDA 1 #" + std::string(2000, '9') + " 5 5 5\n0 0 0"), 1);
    EXPECT_EQ(m.frames.Count(), 0);
}

// n faces of one vertex each, in colours 0 .. n - 1: n + 1 colour entries with the marker.
std::string Colours(int faces) {
    std::string text = "DDDA 1 1 0 0 " + std::to_string(faces);
    for (int f = 0; f < faces; ++f) text += "\n" + std::to_string(f) + " 0 0 1 0 0";
    return text + "\n1 1 0 0 0\n";
}

TEST_F(TextModelTest, HeaderTokensIndicesAndCountsAreChecked) {
    const std::string fits(1023, '0');
    const std::string head = "DDDA 1 3 0 0 1 0 0 1\n1 0 0 0 3 ", tail = "\n1 3 0 0 0 1 0 0 0 1 0\n";
    // One face of 20000 references to vertex 0, and 3000 one-vertex frames: 60 million items
    // from a file of about 100 kB.
    std::string bomb = "DDDA 1 1 0 0 1 0 0 0 20000";
    for (int i = 0; i < 20000; ++i) bomb += " 0 0";
    bomb += "\n3000";
    for (int i = 0; i < 3000; ++i) bomb += " 1 0 0 0";
    const struct {
        const char* what;
        std::string text;
        bool loads;
    } cases[] = {
        {"version 1", "DDDA 1 0 0 0", true},
        {"missing tokens read as 0", "DDDA", true},
        {"version 1.5", "DDDA 1.5 0 0 0", false},
        {"first word DDDA2", "DDDA2 1 0 0 0", false},
        {"first word in lower case", "dddA 1 0 0 0", false},
        {"empty", "", false},
        {"more vertices than texture pairs", "DDDA 1 1 0 0 0 1 2 0 0 0 1 1 1", false},
        {"vertices without texture pairs", "DDDA 1 0 0 1 1 0 0 0", false},
        {"no vertices, no pairs", "DDDA 1 0 0 1 0", true},
        {"indices inside their lists", head + "0 0 1 1 2 2" + tail, true},
        {"last coordinates missing", head + "0 0 1 1 2 2\n1 3 0 0 0 1 0 0 0 1", true},
        {"vertex index beyond", head + "0 0 1 1 3 2" + tail, false},
        {"negative vertex index", head + "0 0 -1 1 2 2" + tail, false},
        {"texture index beyond", head + "0 0 1 3 2 2" + tail, false},
        {"negative texture index", head + "0 0 1 -1 2 2" + tail, false},
        {"vertex index beyond a later frame", head + "0 0 1 1 2 2\n2 3 0 0 0 1 0 0 0 1 0 2 0 0 0 1 0 0", false},
        {"token of 1023 characters", "DDDA " + fits + " 0 0 0", true},
        {"token of 1024 characters", "DDDA " + fits + "0 0 0 0", false},
        {"last token of 1024 characters", "DDDA 1 0 0 " + fits + "0", false},
        {"long run of separators", "DDDA" + std::string(5000, ' ') + "1 0 0 0", true},
        {"texture pairs beyond the file: an empty model", "DDDA 1 2000000000 0 0", true},
        {"faces beyond the file: an empty model", "DDDA 1 0 1e9", true},
        {"face size beyond the file: an empty model", "DDDA 1 1 0 0 1 0 0 0 1e9 0 0", true},
        {"frames beyond the file", "DDDA 1 0 0 3e9", false},
        {"infinite frames", "DDDA 1 0 0 inf", false},
        {"negative and not-a-number counts are empty", "DDDA 1 -5 nan -1", true},
        {"frames times faces beyond the file", bomb, false},
        {"255 colours and the marker", Colours(255), true},
        {"256 colours and the marker", Colours(256), false},
    };
    MeshObject m;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.loads) EXPECT_EQ(Reads(m, c.text), 1);
        else ExpectReadError(m, c.text);
    }
}

// Damaged copies of valid files of both encodings: each either loads (and then builds its
// drawing data, normals and edges without fault) or fails with an empty model.
TEST_F(TextModelTest, RandomlyDamagedFilesLoadOrFailCleanly) {
    std::mt19937 rng(2024);
    const std::string originals[2] = {kSquare, SampleBinary().str()};
    int loaded = 0, failed = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = originals[round % 2];
        for (int e = 0; e <= round % 4; ++e) {
            const size_t i = rng() % bytes.size();
            switch (rng() % 3) {
            case 0: bytes[i] = char(rng()); break;
            case 1: bytes[i] = "0123456789 #-.e\n"[rng() % 16]; break;
            default: bytes.erase(i, 1 + rng() % 3); break;
            }
            if (bytes.empty()) bytes = "x";
        }
        FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
        ASSERT_NE(f, nullptr);
        MeshObjectX m;
        const bool ok = m.ReadModelFile(f, "damaged");
        std::fclose(f);
        if (ok) {
            ++loaded;
            m.BuildDrawData();
            m.ComputeBounds();
            m.ComputeNormals(true, round % 2 == 0, true);
            m.BuildEdges();
        } else {
            ++failed;
            EXPECT_EQ(m.frames.Count(), 0);
        }
    }
    EXPECT_GT(loaded, 100);
    EXPECT_GT(failed, 100);
}

} // namespace
