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

TEST_F(TextModelTest, SquareInTwoFramesGivesFiveItemsAFrame) {
    MeshObject m;
    ASSERT_EQ(m.ReadModel(Write("square.ddd", kSquare).c_str()), 1);
    ASSERT_EQ(m.frames.Count(), 2);
    EXPECT_EQ(m.normalsValid, 0u);
    ASSERT_EQ(m.colourTable.Count(), 2);
    EXPECT_EQ(m.colourTable[0], kFanMarker);
    EXPECT_EQ(m.colourTable[1], 0xFFu);
    ASSERT_EQ(m.texU.Count(), 5);
    EXPECT_FLOAT_EQ(m.texU[3], 1.0f);
    EXPECT_FLOAT_EQ(m.texV[3], 1.0f);
    EXPECT_FLOAT_EQ(m.texV[4], 1.0f);
    EXPECT_FLOAT_EQ(m.texU[4], 0.0f);
    for (const ModelFrame& f : m.frames) {
        ASSERT_EQ(f.items.Count(), 5);
        EXPECT_EQ(f.items[0].colour, 0);
        EXPECT_EQ(f.items[1].colour, 1);
        EXPECT_EQ(f.records.Count(), 0);
    }
    VertexRecord r;
    m.DecodeItem(m.frames[1], 3, r);
    // Positions come back within one quantization step (the top of a range may truncate to 254).
    EXPECT_NEAR(r.position[0], 1.0f, 1.0f / 255);
    EXPECT_NEAR(r.position[1], 3.0f, 1.0f / 255);
    EXPECT_FLOAT_EQ(r.position[2], 0.0f);
    EXPECT_FLOAT_EQ(r.colour[0], 1.0f);
    EXPECT_FLOAT_EQ(r.colour[1], 0.0f);
}

TEST_F(TextModelTest, FirstWordMustBeDDDAExactlyAndVersionAtMostOne) {
    MeshObject m;
    EXPECT_EQ(m.ReadModel(Write("v1.ddd", "DDDA 1 0 0 0").c_str()), 1);
    EXPECT_EQ(m.ReadModel(Write("v0.ddd", "DDDA").c_str()), 1); // missing tokens read as 0
    ExpectReadError(m, Write("v15.ddd", "DDDA 1.5 0 0 0"));
    ExpectReadError(m, Write("ddda2.ddd", "DDDA2 1 0 0 0"));
    ExpectReadError(m, Write("lower.ddd", "dddA 1 0 0 0"));
    ExpectReadError(m, Write("empty.ddd", ""));
    ExpectReadError(m, Write("short.ddd", "DD"));
}

TEST_F(TextModelTest, CommentEndsATokenAndRunsToTheEndOfItsLine) {
    const std::string text =
        "# a model\r\nDDDA#header\n1.0\t3 0 0 1 0 0 1\n"
        "1 12#note 99 99\n0 0 3 0 0 1 1 2 2\n1 3 0 0 0 1 0 0 0 1 0\n";
    MeshObject m;
    ASSERT_EQ(m.ReadModel(Write("comment.ddd", text).c_str()), 1);
    ASSERT_EQ(m.colourTable.Count(), 2);
    EXPECT_EQ(m.colourTable[1], 12u); // r = 12, the rest of that line is a comment
    EXPECT_EQ(m.frames[0].items.Count(), 4);
}

TEST_F(TextModelTest, LongCommentsAreSkippedWhole) {
    const std::string text = "DDDA 1 #" + std::string(2000, '9') + " 5 5 5\n0 0 0";
    MeshObject m;
    ASSERT_EQ(m.ReadModel(Write("long.ddd", text).c_str()), 1);
    EXPECT_EQ(m.frames.Count(), 0);
}

TEST_F(TextModelTest, VerticesNeedTexturePairs) {
    MeshObject m;
    ExpectReadError(m, Write("more.ddd", "DDDA 1 1 0 0 0 1 2 0 0 0 1 1 1"));
    ExpectReadError(m, Write("none.ddd", "DDDA 1 0 0 1 1 0 0 0"));
    EXPECT_EQ(m.ReadModel(Write("zero.ddd", "DDDA 1 0 0 1 0").c_str()), 1);
    ASSERT_EQ(m.frames.Count(), 1);
    EXPECT_EQ(m.frames[0].items.Count(), 0);
}

TEST_F(TextModelTest, IndicesOutsideTheirListsAreReadErrors) {
    const char* head = "DDDA 1 3 0 0 1 0 0 1\n1 0 0 0 3 ";
    const char* tail = "\n1 3 0 0 0 1 0 0 0 1 0\n";
    MeshObject m;
    EXPECT_EQ(m.ReadModel(Write("ok.ddd", std::string(head) + "0 0 1 1 2 2" + tail).c_str()), 1);
    ExpectReadError(m, Write("vertex.ddd", std::string(head) + "0 0 1 1 3 2" + tail));
    ExpectReadError(m, Write("negvertex.ddd", std::string(head) + "0 0 -1 1 2 2" + tail));
    ExpectReadError(m, Write("tex.ddd", std::string(head) + "0 0 1 3 2 2" + tail));
    ExpectReadError(m, Write("negtex.ddd", std::string(head) + "0 0 1 -1 2 2" + tail));
    // A vertex index valid in frame 0 but not in a smaller later frame.
    ExpectReadError(m, Write("frame.ddd", std::string(head) + "0 0 1 1 2 2\n2 3 0 0 0 1 0 0 0 1 0 2 0 0 0 1 0 0"));
}

TEST_F(TextModelTest, TokensLongerThanTheBufferAreReadErrors) {
    MeshObject m;
    const std::string fits(1023, '0');
    EXPECT_EQ(m.ReadModel(Write("fits.ddd", "DDDA " + fits + " 0 0 0").c_str()), 1);
    ExpectReadError(m, Write("long.ddd", "DDDA " + fits + "0 0 0 0"));
    ExpectReadError(m, Write("longlast.ddd", "DDDA 1 0 0 " + fits + "0"));
    // Separators before a token do not count against the buffer.
    EXPECT_EQ(m.ReadModel(Write("blank.ddd", "DDDA" + std::string(5000, ' ') + "1 0 0 0").c_str()), 1);
}

TEST_F(TextModelTest, CountsTheFileCannotHoldAreReadErrors) {
    MeshObject m;
    ExpectReadError(m, Write("tex.ddd", "DDDA 1 2000000000 0 0"));
    ExpectReadError(m, Write("faces.ddd", "DDDA 1 0 1e9"));
    ExpectReadError(m, Write("k.ddd", "DDDA 1 1 0 0 1 0 0 0 1e9 0 0"));
    ExpectReadError(m, Write("frames.ddd", "DDDA 1 0 0 3e9"));
    ExpectReadError(m, Write("inf.ddd", "DDDA 1 0 0 inf"));
    // Negative and not-a-number counts are empty lists.
    EXPECT_EQ(m.ReadModel(Write("neg.ddd", "DDDA 1 -5 nan -1").c_str()), 1);
}

TEST_F(TextModelTest, FramesTimesFacesBeyondTheFileSizeAreReadErrors) {
    // One face of 20000 references to vertex 0, and 3000 one-vertex frames: 60 million items
    // from a file of about 100 kB.
    std::string text = "DDDA 1 1 0 0 1 0 0 0 20000";
    for (int i = 0; i < 20000; ++i) text += " 0 0";
    text += "\n3000";
    for (int i = 0; i < 3000; ++i) text += " 1 0 0 0";
    MeshObject m;
    ExpectReadError(m, Write("bomb.ddd", text));
}

TEST_F(TextModelTest, MoreColoursThanTheIndexCanAddressAreRefused) {
    auto model = [](int faces) {
        std::string text = "DDDA 1 1 0 0 " + std::to_string(faces);
        for (int f = 0; f < faces; ++f) text += "\n" + std::to_string(f) + " 0 0 1 0 0";
        return text + "\n1 1 0 0 0\n";
    };
    MeshObject m;
    EXPECT_EQ(m.ReadModel(Write("255.ddd", model(255)).c_str()), 1);
    EXPECT_EQ(m.colourTable.Count(), 256);
    ExpectReadError(m, Write("256.ddd", model(256)));
}

TEST_F(TextModelTest, SavedTextModelLoadsBackTheSame) {
    MeshObject text;
    ASSERT_EQ(text.ReadModel(Write("square.ddd", kSquare).c_str()), 1);
    ASSERT_EQ(text.WriteModel(Path("square.bin").c_str()), 1);
    MeshObject binary;
    ASSERT_EQ(binary.ReadModel(Path("square.bin").c_str()), 1);
    EXPECT_EQ(binary.normalsValid, 1u);
    ASSERT_EQ(binary.frames.Count(), text.frames.Count());
    for (int f = 0; f < text.frames.Count(); ++f) {
        const ModelFrame& a = text.frames[f];
        const ModelFrame& b = binary.frames[f];
        ASSERT_EQ(a.items.Count(), b.items.Count());
        EXPECT_EQ(0, std::memcmp(a.items.Data(), b.items.Data(), sizeof(ModelItem) * size_t(a.items.Count())));
        EXPECT_EQ(0, std::memcmp(a.offset, b.offset, sizeof a.offset));
        EXPECT_EQ(0, std::memcmp(a.scale, b.scale, sizeof a.scale));
    }
    ASSERT_EQ(binary.colourTable.Count(), text.colourTable.Count());
    for (int i = 0; i < text.colourTable.Count(); ++i) EXPECT_EQ(binary.colourTable[i], text.colourTable[i]);
    ASSERT_EQ(binary.texU.Count(), text.texU.Count());
    for (int i = 0; i < text.texU.Count(); ++i) {
        EXPECT_EQ(binary.texU[i], text.texU[i]);
        EXPECT_EQ(binary.texV[i], text.texV[i]);
    }
}

TEST_F(TextModelTest, ModelsReadFromAnOpenFile) {
    std::string bytes = kSquare;
    FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
    ASSERT_NE(f, nullptr);
    MeshObject m;
    EXPECT_EQ(m.ReadModelFile(f, "memory"), 1);
    std::fclose(f);
    EXPECT_EQ(m.frames.Count(), 2);
    std::string broken = "DDDA 2";
    f = fmemopen(broken.data(), broken.size(), "rb");
    EXPECT_EQ(m.ReadModelFile(f, "memory"), 0);
    std::fclose(f);
    EXPECT_EQ(Log(), "# read error\r\nmemory\r\n");
}

} // namespace

namespace {

// Damaged copies of valid files of both encodings: each either loads (and then builds its
// drawing data, normals and edges without fault) or fails with an empty model.
TEST_F(TextModelTest, RandomlyDamagedFilesLoadOrFailCleanly) {
    std::mt19937 rng(2024);
    const std::string originals[2] = {kSquare, SampleBinary().str()};
    int loaded = 0, failed = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = originals[round % 2];
        std::uniform_int_distribution<size_t> at(0, bytes.size() - 1);
        int edits = 1 + round % 4;
        for (int e = 0; e < edits; ++e) {
            size_t i = at(rng);
            switch (rng() % 3) {
            case 0: bytes[i] = char(rng()); break;
            case 1: bytes[i] = "0123456789 #-.e\n"[rng() % 16]; break;
            default: bytes.erase(i, 1 + rng() % 3); break;
            }
            if (bytes.empty()) bytes = "x";
            at = std::uniform_int_distribution<size_t>(0, bytes.size() - 1);
        }
        FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
        ASSERT_NE(f, nullptr);
        MeshObjectX m;
        uint8_t ok = m.ReadModelFile(f, "damaged");
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
