// The text encoding: tokens and comments, the header rules, faces as fans, frames, and the
// damaged and hostile files that must end in a read error.
#include <random>
#include <string>

#include "fixtures.h"
#include "voxa/gfx3d.h"

namespace {

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
    EXPECT_EQ(Slurp(Path("b.bin")), Slurp(Path("a.bin")));
    // From an open file, too.
    std::string bytes = kSquare, broken = "DDDA 2";
    for (std::string* s : {&bytes, &broken}) {
        FILE* f = fmemopen(s->data(), s->size(), "rb");
        EXPECT_EQ(m.ReadModelFile(f, "memory"), s == &bytes);
        std::fclose(f);
    }
    EXPECT_EQ(Log(), "# read error\r\nmemory\r\n");
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
        {"short", "DD", false},
        {"more vertices than texture pairs", "DDDA 1 1 0 0 0 1 2 0 0 0 1 1 1", false},
        {"vertices without texture pairs", "DDDA 1 0 0 1 1 0 0 0", false},
        {"no vertices, no pairs", "DDDA 1 0 0 1 0", true},
        {"indices inside their lists", head + "0 0 1 1 2 2" + tail, true},
        {"vertex index beyond", head + "0 0 1 1 3 2" + tail, false},
        {"negative vertex index", head + "0 0 -1 1 2 2" + tail, false},
        {"texture index beyond", head + "0 0 1 3 2 2" + tail, false},
        {"negative texture index", head + "0 0 1 -1 2 2" + tail, false},
        {"vertex index beyond a later frame", head + "0 0 1 1 2 2\n2 3 0 0 0 1 0 0 0 1 0 2 0 0 0 1 0 0", false},
        {"token of 1023 characters", "DDDA " + fits + " 0 0 0", true},
        {"token of 1024 characters", "DDDA " + fits + "0 0 0 0", false},
        {"last token of 1024 characters", "DDDA 1 0 0 " + fits + "0", false},
        {"long run of separators", "DDDA" + std::string(5000, ' ') + "1 0 0 0", true},
        {"texture pairs beyond the file", "DDDA 1 2000000000 0 0", false},
        {"faces beyond the file", "DDDA 1 0 1e9", false},
        {"face size beyond the file", "DDDA 1 1 0 0 1 0 0 0 1e9 0 0", false},
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
