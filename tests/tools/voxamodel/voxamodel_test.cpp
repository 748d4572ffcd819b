// The model tool, run as users run it: cubes from OBJ+MTL, glTF and the other common formats load
// with LoadObject with their triangles, bounds, texture and vertex colours; animations (node,
// morph target, bone) become the asked frames; damaged and hostile sources are refused with
// status 1 and nothing written; info describes .ddd and source files; textures become
// power-of-two bitmaps with the key colour.
#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <functional>

#include "fixtures.h"
#include "gfx2d/picture.h"
#include "gfx2d/renderer.h"
#include "gfx3d/objectstore.h"
#include "support/bin_dir.h"
#include "voxa/gfx3d.h"
#include "voxamodel.h"

namespace {

struct Bounds {
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    float Centre(int axis) const { return (lo[axis] + hi[axis]) / 2; }
};

class VoxamodelTest : public ::testing::Test {
protected:
    // Runs the tool; its standard output and error land in output.
    int Run(const std::string& args) {
        output.clear();
        return RunCommand(voxatest::BinDir() + "/voxamodel " + args + " 2>&1", &output);
    }
    MeshObjectX& Load(const std::string& path) {
        DynString file(path.c_str());
        EXPECT_TRUE(LoadObject(file, 1)) << path;
        return gRenderer3D.objects[1];
    }
    static Bounds FrameBounds(const MeshObjectX& m, int frame) {
        Bounds b;
        for (const VertexRecord& r : m.frames[frame].triangles)
            for (int a = 0; a < 3; ++a) b.lo[a] = std::min(b.lo[a], r.position[a]), b.hi[a] = std::max(b.hi[a], r.position[a]);
        return b;
    }

    ScratchDir dir;
    std::string output;
};

TEST_F(VoxamodelTest, CubesOfEveryCommonFormatLoadWithTheirTrianglesBoundsAndTexture) {
    voxatest::WriteBytesTo(dir / "cube.png", fixtures::QuadrantPng());
    const std::string obj = fixtures::CubeObj(dir.Path(), "cube.png");
    std::filesystem::create_directory(dir / "far");
    voxatest::WriteBytesTo(dir / "far/cube.png", fixtures::QuadrantPng());
    const struct {
        std::string source, flags;
        int items;  // -1: not checked
        float half;
        bool texture;
    } cases[] = {
        {obj, "", 37, 1, true},
        {fixtures::CubeGltf(dir.Path(), true), "", 37, 1, true},  // embedded picture
        {fixtures::CubeGltf(dir.Path(), false), " --text", 12 * 4, 1, true},  // text: a fan marker per face
        // Scaled and centred: a cube around (5, 0, 0) becomes one of side 4 around the origin.
        {fixtures::CubeObj(dir / "far", "cube.png", 5), " --center --scale 2", -1, 2, true},
        // The OBJ cube written again by the import library's exporters (FBX in its ASCII form: the
        // library cannot read back its binary FBX); PLY keeps the texture in a comment, STL has none.
        {"collada:dae", "", -1, 1, true}, {"fbxa:fbx", "", -1, 1, true}, {"3ds:3ds", "", -1, 1, true},
        {"glb2:glb", "", -1, 1, true},    {"plyb:ply", "", -1, 1, true}, {"stlb:stl", "", -1, 1, false}};
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(obj, 0);
    ASSERT_NE(scene, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source + c.flags);
        std::string source = c.source;
        if (source.find(':') != std::string::npos) {
            source = dir / ("cube." + c.source.substr(c.source.find(':') + 1));
            ASSERT_EQ(Assimp::Exporter().Export(scene, c.source.substr(0, c.source.find(':')), source), AI_SUCCESS);
        }
        const std::string out = dir / "out.ddd";
        std::remove(voxamodel::TexturePathFor(out).c_str());
        ASSERT_EQ(Run("import " + source + " " + out + c.flags), 0) << output;
        EXPECT_NE(output.find("12 triangles, 1 frame"), std::string::npos) << output;
        const MeshObjectX& m = Load(out);
        ASSERT_EQ(m.frames.Count(), 1);
        EXPECT_EQ(m.frames[0].triangles.Count(), 36);
        EXPECT_TRUE(c.items < 0 || m.frames[0].items.Count() == c.items) << m.frames[0].items.Count();
        const Bounds b = FrameBounds(m, 0);  // to within one quantization step
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(b.lo[a], -c.half, c.half * 2 / 255) << "axis " << a;
            EXPECT_NEAR(b.hi[a], c.half, c.half * 2 / 255) << "axis " << a;
        }
        // The texture beside it, the picture's 64 x 64 pixels (which way up: the texture test below).
        PictureFile texture;
        ASSERT_EQ(ReadPictureFile(voxamodel::TexturePathFor(out).c_str(), texture), c.texture);
        if (!c.texture) continue;
        BmpLoadOptions whole;
        TextureImage image;
        ASSERT_TRUE(texture.bmp && DecodePictureRegion(texture, whole, 4096, image) && image.width == 64);
    }

    // Per-vertex colours (a PLY of two triangles) become the items' colours.
    WriteFile(dir / "colours.ply", "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
                                   "property float z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
                                   "element face 2\nproperty list uchar int vertex_indices\nend_header\n"
                                   "0 0 0 255 0 0\n1 0 0 0 255 0\n1 1 0 0 0 255\n0 1 0 255 255 255\n3 0 1 2\n3 0 2 3\n");
    ASSERT_EQ(Run("import " + dir / "colours.ply " + dir / "colours.ddd"), 0) << output;
    const MeshObjectX& m = Load(dir / "colours.ddd");
    EXPECT_EQ(m.hasColours, 1u);
    EXPECT_EQ(std::vector<uint32_t>(m.colourTable.begin(), m.colourTable.end()),
              (std::vector<uint32_t>{kTrianglesMarker, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}));
}

TEST_F(VoxamodelTest, AnimationsBecomeTheAskedFramesAndStaticModelsOneFrame) {
    // Over one second: the node moves x 0 -> 4, the morph target lifts y by 2, the bone by 3. Every
    // vertex moves with the cube, so the in-between poses (vertex by vertex) lie between the frames.
    const struct {
        fixtures::Motion motion;
        int axis;
        float end;
    } cases[] = {{fixtures::Motion::node, 0, 4}, {fixtures::Motion::morph, 1, 2}, {fixtures::Motion::bone, 1, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.motion));
        ASSERT_EQ(Run("import " + fixtures::AnimatedGltf(dir.Path(), c.motion) + " " + dir / "moving.ddd --frames 3 --fps 2"), 0) << output;
        MeshObjectX& m = Load(dir / "moving.ddd");
        ASSERT_EQ(m.frames.Count(), 3);
        const Bounds first = FrameBounds(m, 0);
        for (int a = 0; a < 3; ++a) EXPECT_TRUE(std::abs(first.lo[a] + 0.5) < 0.01 && std::abs(first.hi[a] - 0.5) < 0.01);
        for (int f = 1; f < 3; ++f)
            for (int32_t i = 0; i < m.frames[0].triangles.Count(); ++i)
                for (int a = 0; a < 3; ++a) {
                    const float moved = m.frames[f].triangles[i].position[a] - m.frames[0].triangles[i].position[a];
                    ASSERT_NEAR(moved, a == c.axis ? c.end * f / 2 : 0, 0.02) << "frame " << f << ", vertex " << i;
                }
    }
    // The whole animation by default: 0 to 1 s at 4 fps is five frames; past the end the last
    // pose holds; without animation one frame.
    const std::string source = fixtures::AnimatedGltf(dir.Path(), fixtures::Motion::node);
    ASSERT_EQ(Run("import " + source + " " + dir / "all.ddd --fps 4"), 0) << output;
    EXPECT_EQ(Load(dir / "all.ddd").frames.Count(), 5);
    ASSERT_EQ(Run("import " + source + " " + dir / "long.ddd --frames 4 --fps 1"), 0) << output;
    MeshObjectX& held = Load(dir / "long.ddd");
    ASSERT_EQ(held.frames.Count(), 4);
    EXPECT_NEAR(FrameBounds(held, 3).Centre(0), 4, 0.02);
    ASSERT_EQ(Run("import " + fixtures::CubeGltf(dir.Path(), true) + " " + dir / "still.ddd --frames 5"), 0);
    EXPECT_NE(output.find("no animation: one frame"), std::string::npos) << output;
    EXPECT_EQ(Load(dir / "still.ddd").frames.Count(), 1);
}

// A binary STL claiming some triangles and holding others (the importer refuses any size that does
// not match the count, so one claim far beyond the file stands for every cut one).
std::string BinaryStl(uint32_t claimed, uint32_t present) {
    std::string stl(80, ' ');
    for (int i = 0; i < 4; ++i) stl += char(claimed >> (8 * i));
    const float v[12] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
    for (uint32_t t = 0; t < present; ++t) stl += std::string(reinterpret_cast<const char*>(v), sizeof v) + std::string(2, '\0');
    return stl;
}
using MakeSource = std::function<std::string(const ScratchDir&)>;  // writes a source, gives its path
MakeSource Written(const std::string& name, const std::string& content) {
    return [=](const ScratchDir& d) { return WriteFile(d / name, content), d / name; };
}
MakeSource EditedGltf(const std::function<std::string(std::string)>& edit) {
    return [=](const ScratchDir& d) { return Written("cube.gltf", edit(ReadFile(fixtures::CubeGltf(d.Path(), true))))(d); };
}

TEST_F(VoxamodelTest, DamagedAndHostileSourcesAreRefusedWithNothingWritten) {
    std::string ply300 = "ply\nformat ascii 1.0\nelement vertex 300\nproperty float x\nproperty float y\nproperty float z\n"
                         "property uchar red\nproperty uchar green\nproperty uchar blue\nelement face 100\n"
                         "property list uchar int vertex_indices\nend_header\n";
    for (int i = 0; i < 300; ++i)
        ply300 += std::to_string(i % 3) + " " + std::to_string(i / 3 + (i % 3 == 2)) + " 0 " + std::to_string(i % 256) + " " +
                  std::to_string(i / 256) + " 7\n";
    for (int t = 0; t < 100; ++t) ply300 += "3 " + std::to_string(3 * t) + " " + std::to_string(3 * t + 1) + " " + std::to_string(3 * t + 2) + "\n";
    const struct {
        const char* name;
        MakeSource make;
        const char* message;  // part of what the tool says
    } cases[] = {
        {"missing file", [](const ScratchDir& d) { return d / "none.obj"; }, "no such file"},
        {"a directory", [](const ScratchDir& d) { return d.Path(); }, "is a directory"},
        {"unsupported format", Written("x.xyz", std::string(500, '\x7f')), "cannot read"},
        {"cut gltf", EditedGltf([](std::string s) { return s.substr(0, s.size() / 2); }), "cannot read"},
        {"stl claiming 4 billion triangles", Written("m.stl", BinaryStl(0xFFFFFFFFu, 1)), "cannot read"},
        {"ply claiming 2 billion vertices",
         Written("m.ply", "ply\nformat binary_little_endian 1.0\nelement vertex 2000000000\nproperty float x\nproperty float y\n"
                          "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n" + std::string(40, '\0')),
         "cannot read"},
        {"gltf accessor beyond its buffer",
         EditedGltf([](std::string s) { return s.replace(s.find("\"count\":24"), 10, "\"count\":1000000000"); }), "cannot read"},
        {"obj face index beyond its vertices", Written("f.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 999999\n"), "cannot"},
        {"missing texture", [](const ScratchDir& d) { return fixtures::CubeObj(d.Path(), "gone.png"); }, "gone.png was not found"},
        {"texture that is no picture", [](const ScratchDir& d) { return WriteFile(d / "w.png", "just words"), fixtures::CubeObj(d.Path(), "w.png"); }, "no picture voxamodel reads"},
        {"only points and lines", Written("l.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\np 1\nl 1 2\n"), "cannot"},
        {"300 colours", Written("c.ply", ply300), "300 different colours"},
    };
    const std::string out = dir / "out.ddd", texture = voxamodel::TexturePathFor(out);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir d;
        WriteFile(out, "old model");  // a model already there is kept
        EXPECT_EQ(Run("import " + c.make(d) + " " + out), 1) << output;
        EXPECT_NE(output.find(std::string("voxamodel: ")), std::string::npos) << output;
        EXPECT_NE(output.find(c.message), std::string::npos) << output;
        EXPECT_EQ(ReadFile(out), "old model");
        for (const std::string& file : {out + ".part", texture, texture + ".part"}) EXPECT_FALSE(Exists(file)) << file;
    }
    // A write that fails at its end (the model's name is a folder's) leaves nothing behind.
    std::remove(out.c_str());
    std::filesystem::create_directory(out);
    voxatest::WriteBytesTo(dir / "cube.png", fixtures::QuadrantPng());
    EXPECT_EQ(Run("import " + fixtures::CubeObj(dir.Path(), "cube.png") + " " + out), 1) << output;
    for (const std::string& file : {out + ".part", texture, texture + ".part"}) EXPECT_FALSE(Exists(file)) << file;
    // Refused options and commands: status 2 with the usage.
    const std::string cube = "import " + fixtures::CubeGltf(dir.Path(), true);
    for (const std::string& bad : {std::string(), cube, cube + " o.ddd --scale 0", cube + " o.ddd --frames 0",
                                   cube + " o.ddd --fps nan", cube + " o.ddd --frames 2.5", std::string("convert a b")}) {
        EXPECT_EQ(Run(bad), 2) << bad;
        EXPECT_NE(output.find("usage: voxamodel"), std::string::npos) << bad;
    }
}

TEST_F(VoxamodelTest, InfoDescribesDddAndSourceFiles) {
    const std::string source = fixtures::AnimatedGltf(dir.Path(), fixtures::Motion::node);
    ASSERT_EQ(Run("import " + source + " " + dir / "m.ddd --frames 2 --fps 1 --text"), 0) << output;
    WriteFile(dir / "bad.ddd", std::string("\x17\xB3\xC6\x00", 4) + "damaged");
    const struct {
        std::string file;
        int status;
        std::vector<std::string> says;
    } cases[] = {
        {source, 0, {"12 triangles over 24 vertices; as .ddd: 26 frames of 37 items",
                     "animation \"move\", 1 s, sampled at 25 fps into 26 frames",
                     "frame 0: bounds (-0.5, -0.5, -0.5) to (0.5, 0.5, 0.5)", "... 18 frames more"}},
        // The top of each axis comes out one quantization step low.
        {dir / "m.ddd", 0, {"text encoding, 2 frames, 48 items and 12 triangles a frame, 2 colour-table entries",
                            "frame 1: bounds (3.5, -0.5, -0.5) to (4.49608, 0.496078, 0.496078)"}},
        {dir / "bad.ddd", 1, {"damaged .ddd file"}}};
    for (const auto& c : cases) {
        EXPECT_EQ(Run("info " + c.file), c.status) << output;
        for (const std::string& line : c.says) EXPECT_NE(output.find(line), std::string::npos) << line << " in " << output;
    }
}

TEST(VoxamodelTexture, BitmapsArePowerOfTwoWithTheKeyWhereAlphaIsBelowOneHalf) {
    // 4 x 4 rows of alpha 0, 100, 200, 255; the last row starts with an opaque pixel of the key colour.
    voxamodel::Texture t;
    t.width = t.height = 4;
    const uint8_t alpha[4] = {0, 100, 200, 255};
    for (int i = 0; i < 16; ++i) t.rgba.insert(t.rgba.end(), {255, 0, uint8_t(i == 12 ? 128 : 40), alpha[i / 4]});
    int w = 0, h = 0;
    const std::vector<uint8_t> bgr = voxamodel::TextureBmpPixels(t, w, h);
    ASSERT_EQ(bgr.size(), 4u * 4 * 3);
    const auto blueAt = [&](int x, int yFromTop) { return bgr[(size_t(3 - yFromTop) * 4 + x) * 3]; };
    EXPECT_EQ(std::vector<uint8_t>(&bgr[36], &bgr[39]), (std::vector<uint8_t>{128, 0, 255}));  // the key, top row
    EXPECT_EQ(blueAt(1, 1), 128);                                                             // alpha 100: the key
    EXPECT_EQ(blueAt(1, 2), 40);
    EXPECT_EQ(blueAt(0, 3), 127);  // opaque in the source: stays opaque
    // Sides become the nearest powers of two; an opaque grey stays grey.
    const struct {
        int w, h, bw, bh;
    } sizes[] = {{3, 5, 4, 4}, {100, 60, 128, 64}, {1, 7000, 2, 4096}};
    for (const auto& size : sizes) {
        voxamodel::Texture grey;
        grey.width = size.w, grey.height = size.h;
        grey.rgba.assign(size_t(size.w) * size.h * 4, 90);
        for (size_t i = 3; i < grey.rgba.size(); i += 4) grey.rgba[i] = 255;
        const std::vector<uint8_t> pixels = voxamodel::TextureBmpPixels(grey, w, h);
        EXPECT_EQ(std::vector<int>({w, h, pixels[pixels.size() / 2]}), std::vector<int>({size.bw, size.bh, 90})) << size.w;
    }
}

}  // namespace
