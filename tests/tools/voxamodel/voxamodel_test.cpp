// The model tool, run as users run it: cubes from OBJ+MTL, glTF and the other common formats load
// with LoadObject with their triangles, bounds and texture, vertex colours with them; animations (node, morph target, bone) become the asked
// frames; damaged and hostile sources are refused with status 1 and nothing written; info
// describes .ddd and source files; textures become power-of-two bitmaps with the key colour.
#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <functional>

#include "tools/tool_files.h"
#include "fixtures.h"
#include "gfx2d/picture.h"
#include "gfx2d/renderer.h"
#include "gfx3d/objectstore.h"
#include "support/bin_dir.h"
#include "support/picture_files.h"
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
        const std::string log = dir / "tool.log";
        const int status = std::system((voxatest::BinDir() + "/voxamodel " + args + " > " + log + " 2>&1").c_str());
        output = ReadFile(log);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // LoadObject into slot 1; the slot's model.
    MeshObjectX& Load(const std::string& path) {
        DynString file(path.c_str());
        EXPECT_TRUE(LoadObject(file, 1)) << path;
        return gRenderer3D.objects[1];
    }
    static Bounds FrameBounds(const MeshObjectX& m, int frame) {
        Bounds b;
        for (const VertexRecord& r : m.frames[frame].triangles) {
            for (int a = 0; a < 3; ++a) {
                b.lo[a] = std::min(b.lo[a], r.position[a]);
                b.hi[a] = std::max(b.hi[a], r.position[a]);
            }
        }
        return b;
    }
    // Frame 0 spans lo..hi on every axis, to within one quantization step.
    static void ExpectCube(const MeshObjectX& m, float lo, float hi, const std::string& what) {
        const Bounds b = FrameBounds(m, 0);
        const float step = (hi - lo) / 255;
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(b.lo[a], lo, step) << what << " axis " << a;
            EXPECT_NEAR(b.hi[a], hi, step) << what << " axis " << a;
        }
    }
    void ExpectNothingWritten(const std::string& out) {
        EXPECT_FALSE(Exists(out));
        EXPECT_FALSE(Exists(out + ".part"));
        EXPECT_FALSE(Exists(TexturePathFor(out)));
        EXPECT_FALSE(Exists(TexturePathFor(out) + ".part"));
    }
    static std::string TexturePathFor(const std::string& out) { return voxamodel::TexturePathFor(out); }

    ScratchDir dir;
    std::string output;
};

TEST_F(VoxamodelTest, TexturedCubesFromObjAndGltfLoadWithTheirTrianglesBoundsAndTexture) {
    voxatest::WriteBytesTo(dir / "cube.png", fixtures::QuadrantPng());
    const struct {
        const char* name;
        std::string source;
        std::string flags;
    } cases[] = {
        {"obj", fixtures::CubeObj(dir.Path(), {}, "cube.png"), ""},
        {"gltf, embedded picture", fixtures::CubeGltf(dir.Path(), {}, true), ""},
        {"gltf, text encoding", fixtures::CubeGltf(dir.Path(), {}, false), " --text"},
    };
    for (const auto& c : cases) {
        const std::string out = dir / "out.ddd";
        ASSERT_EQ(Run("import " + c.source + " " + out + c.flags), 0) << c.name << ": " << output;
        EXPECT_NE(output.find("12 triangles, 1 frame"), std::string::npos) << output;
        MeshObjectX& m = Load(out);
        ASSERT_EQ(m.frames.Count(), 1) << c.name;
        EXPECT_EQ(m.frames[0].triangles.Count(), 36) << c.name;
        EXPECT_EQ(m.frames[0].items.Count(), c.flags.empty() ? 37 : 12 * 4) << c.name;  // text: a fan marker per face
        ExpectCube(m, -1, 1, c.name);
        // The texture beside it: the picture's 64 x 64 pixels, top-left red, bottom-right yellow.
        PictureFile texture;
        ASSERT_TRUE(ReadPictureFile((dir / "out.bmp").c_str(), texture)) << c.name;
        ASSERT_TRUE(texture.bmp);
        BmpLoadOptions whole;
        TextureImage image;
        ASSERT_TRUE(DecodePictureRegion(texture, whole, 4096, image));
        EXPECT_EQ(image.width, 64);
        const uint8_t* bottomRight = &image.rgba[(0 * 64 + 63) * 4];
        const uint8_t* topLeft = &image.rgba[(63 * 64 + 0) * 4];
        EXPECT_EQ(std::vector<uint8_t>(topLeft, topLeft + 4), (std::vector<uint8_t>{255, 0, 0, 255})) << c.name;
        EXPECT_EQ(std::vector<uint8_t>(bottomRight, bottomRight + 4), (std::vector<uint8_t>{255, 255, 0, 255})) << c.name;
    }

    // Scaled and centred: a cube around (5, 0, 0) becomes one of side 4 around the origin.
    fixtures::Cube offCentre;
    offCentre.at[0] = 5;
    ASSERT_EQ(Run("import " + fixtures::CubeObj(dir.Path(), offCentre, "cube.png") + " " + dir / "big.ddd" +
                  " --center --scale 2"),
              0)
        << output;
    ExpectCube(Load(dir / "big.ddd"), -2, 2, "scaled");
}

TEST_F(VoxamodelTest, TheOtherCommonFormatsAndVertexColoursConvert) {
    // The OBJ cube written again by the import library's own exporters: COLLADA, FBX (its ASCII
    // form: the library cannot read back the binary FBX it writes), 3DS, GLB, binary PLY (whose
    // texture comment it keeps) and STL (which has no texture).
    voxatest::WriteBytesTo(dir / "cube.png", fixtures::QuadrantPng());
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(fixtures::CubeObj(dir.Path(), {}, "cube.png"), 0);
    ASSERT_NE(scene, nullptr);
    const struct {
        const char* format;
        const char* extension;
        bool texture;
    } formats[] = {{"collada", "dae", true}, {"fbxa", "fbx", true}, {"3ds", "3ds", true},
                   {"glb2", "glb", true},    {"plyb", "ply", true},  {"stlb", "stl", false}};
    Assimp::Exporter exporter;
    for (const auto& f : formats) {
        const std::string source = dir / (std::string("cube.") + f.extension), out = dir / (std::string(f.extension) + ".ddd");
        ASSERT_EQ(exporter.Export(scene, f.format, source), AI_SUCCESS) << f.format;
        ASSERT_EQ(Run("import " + source + " " + out), 0) << f.format << ": " << output;
        MeshObjectX& m = Load(out);
        EXPECT_EQ(m.frames[0].triangles.Count(), 36) << f.format;
        ExpectCube(m, -1, 1, f.format);
        EXPECT_EQ(Exists(TexturePathFor(out)), f.texture) << f.format;
    }

    // Per-vertex colours (a PLY of two triangles) become the items' colours.
    WriteFile(dir / "colours.ply", "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
                                   "property float z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
                                   "element face 2\nproperty list uchar int vertex_indices\nend_header\n"
                                   "0 0 0 255 0 0\n1 0 0 0 255 0\n1 1 0 0 0 255\n0 1 0 255 255 255\n3 0 1 2\n3 0 2 3\n");
    ASSERT_EQ(Run("import " + dir / "colours.ply " + dir / "colours.ddd"), 0) << output;
    MeshObjectX& m = Load(dir / "colours.ddd");
    EXPECT_EQ(m.hasColours, 1u);
    std::vector<uint32_t> colours(m.colourTable.begin(), m.colourTable.end());
    EXPECT_EQ(colours, (std::vector<uint32_t>{kTrianglesMarker, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}));
}

TEST_F(VoxamodelTest, AnimationsBecomeTheAskedFramesAndStaticModelsOneFrame) {
    // Over one second: the node moves x 0 -> 4, the morph target lifts y by 2, the bone by 3.
    const struct {
        fixtures::Motion motion;
        int axis;
        float end;
    } cases[] = {{fixtures::Motion::node, 0, 4}, {fixtures::Motion::morph, 1, 2}, {fixtures::Motion::bone, 1, 3}};
    for (const auto& c : cases) {
        const std::string source = fixtures::AnimatedGltf(dir.Path(), c.motion);
        ASSERT_EQ(Run("import " + source + " " + dir / "moving.ddd --frames 3 --fps 2"), 0) << output;
        MeshObjectX& m = Load(dir / "moving.ddd");
        ASSERT_EQ(m.frames.Count(), 3) << int(c.motion);
        for (int f = 0; f < 3; ++f) {
            const Bounds b = FrameBounds(m, f);
            EXPECT_NEAR(b.Centre(c.axis), c.end * f / 2, 0.02) << int(c.motion) << " frame " << f;
            EXPECT_NEAR(b.hi[c.axis] - b.lo[c.axis], 1, 0.02) << int(c.motion) << " frame " << f;
            EXPECT_NEAR(b.Centre(2), 0, 0.01);
        }
    }
    // The whole animation by default: 0 to 1 s at 4 fps is five frames; past the end the last
    // pose holds.
    const std::string source = fixtures::AnimatedGltf(dir.Path(), fixtures::Motion::node);
    ASSERT_EQ(Run("import " + source + " " + dir / "all.ddd --fps 4"), 0) << output;
    EXPECT_EQ(Load(dir / "all.ddd").frames.Count(), 5);
    ASSERT_EQ(Run("import " + source + " " + dir / "long.ddd --frames 4 --fps 1"), 0) << output;
    MeshObjectX& held = Load(dir / "long.ddd");
    ASSERT_EQ(held.frames.Count(), 4);
    EXPECT_NEAR(FrameBounds(held, 3).Centre(0), 4, 0.02);

    ASSERT_EQ(Run("import " + fixtures::CubeGltf(dir.Path(), {}, true) + " " + dir / "still.ddd --frames 5"), 0);
    EXPECT_NE(output.find("no animation: one frame"), std::string::npos) << output;
    EXPECT_EQ(Load(dir / "still.ddd").frames.Count(), 1);
}

// Writes a damaged or hostile source into dir and gives its path.
using Maker = std::function<std::string(const ScratchDir&)>;

std::string Cut(const std::string& path, double keep) {
    std::string text = ReadFile(path);
    WriteFile(path, text.substr(0, size_t(text.size() * keep)));
    return path;
}

std::string BinaryStl(const ScratchDir& dir, uint32_t claimed, uint32_t present) {
    std::string stl(80, ' ');
    for (int i = 0; i < 4; ++i) stl += char(claimed >> (8 * i));
    for (uint32_t t = 0; t < present; ++t) {
        const float v[12] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
        stl.append(reinterpret_cast<const char*>(v), sizeof v);
        stl += std::string(2, '\0');
    }
    WriteFile(dir / "mesh.stl", stl);
    return dir / "mesh.stl";
}

TEST_F(VoxamodelTest, DamagedAndHostileSourcesAreRefusedWithNothingWritten) {
    const struct {
        const char* name;
        Maker make;
        const char* message;  // part of what the tool says
    } cases[] = {
        {"missing file", [](const ScratchDir& d) { return d / "none.obj"; }, "no such file"},
        {"a directory", [](const ScratchDir& d) { return d.Path(); }, "is a directory"},
        {"unsupported format", [](const ScratchDir& d) { WriteFile(d / "x.xyz", std::string(500, '\x7f')); return d / "x.xyz"; }, "cannot read"},
        {"cut gltf", [](const ScratchDir& d) { return Cut(fixtures::CubeGltf(d.Path(), {}, true), 0.5); }, "cannot read"},
        {"cut binary stl", [](const ScratchDir& d) { return BinaryStl(d, 12, 3); }, "cannot read"},
        {"stl claiming 4 billion triangles", [](const ScratchDir& d) { return BinaryStl(d, 0xFFFFFFFFu, 1); }, "cannot read"},
        {"ply claiming 2 billion vertices",
         [](const ScratchDir& d) {
             WriteFile(d / "m.ply", "ply\nformat binary_little_endian 1.0\nelement vertex 2000000000\nproperty float x\n"
                                    "property float y\nproperty float z\nelement face 1\nproperty list uchar int vertex_indices\n"
                                    "end_header\n" + std::string(40, '\0'));
             return d / "m.ply";
         },
         "cannot read"},
        {"gltf accessor beyond its buffer",
         [](const ScratchDir& d) {
             const std::string path = fixtures::CubeGltf(d.Path(), {}, true);
             std::string json = ReadFile(path);
             json.replace(json.find("\"count\":24"), 10, "\"count\":1000000000");
             WriteFile(path, json);
             return path;
         },
         "cannot read"},
        {"obj face index beyond its vertices",
         [](const ScratchDir& d) { WriteFile(d / "f.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 999999\n"); return d / "f.obj"; },
         "cannot"},
        {"missing texture", [](const ScratchDir& d) { return fixtures::CubeObj(d.Path(), {}, "gone.png"); }, "gone.png was not found"},
        {"texture that is no picture",
         [](const ScratchDir& d) { WriteFile(d / "words.png", "just words"); return fixtures::CubeObj(d.Path(), {}, "words.png"); },
         "no picture voxamodel reads"},
        {"only points and lines",
         [](const ScratchDir& d) { WriteFile(d / "l.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\np 1\nl 1 2\n"); return d / "l.obj"; },
         "cannot"},
        {"300 colours",
         [](const ScratchDir& d) {
             std::string ply = "ply\nformat ascii 1.0\nelement vertex 300\nproperty float x\nproperty float y\nproperty float z\n"
                               "property uchar red\nproperty uchar green\nproperty uchar blue\nelement face 100\n"
                               "property list uchar int vertex_indices\nend_header\n";
             for (int i = 0; i < 300; ++i)
                 ply += std::to_string(i % 3) + " " + std::to_string(i / 3 + (i % 3 == 2)) + " 0 " + std::to_string(i % 256) + " " +
                        std::to_string(i / 256) + " 7\n";
             for (int t = 0; t < 100; ++t) ply += "3 " + std::to_string(3 * t) + " " + std::to_string(3 * t + 1) + " " + std::to_string(3 * t + 2) + "\n";
             WriteFile(d / "c.ply", ply);
             return d / "c.ply";
         },
         "300 different colours"},
    };
    for (const auto& c : cases) {
        ScratchDir d;
        const std::string source = c.make(d), out = dir / "out.ddd";
        EXPECT_EQ(Run("import " + source + " " + out), 1) << c.name << ": " << output;
        EXPECT_NE(output.find("voxamodel: "), std::string::npos) << c.name << ": " << output;
        EXPECT_NE(output.find(c.message), std::string::npos) << c.name << ": " << output;
        ExpectNothingWritten(out);
        // A model already there is kept.
        WriteFile(out, "old model");
        EXPECT_EQ(Run("import " + source + " " + out), 1) << c.name;
        EXPECT_EQ(ReadFile(out), "old model") << c.name;
        std::remove(out.c_str());
    }
    // Refused options and commands: status 2 with the usage.
    const std::string cube = fixtures::CubeGltf(dir.Path(), {}, true);
    const std::string usage[] = {"", "import " + cube, "import " + cube + " o.ddd --scale 0", "import " + cube + " o.ddd --frames 0",
                                   "import " + cube + " o.ddd --fps nan", "import " + cube + " o.ddd --frames 2.5", "convert a b"};
    for (const std::string& bad : usage) {
        EXPECT_EQ(Run(bad), 2) << bad;
        EXPECT_NE(output.find("usage: voxamodel"), std::string::npos) << bad;
    }
}

TEST_F(VoxamodelTest, InfoDescribesDddAndSourceFiles) {
    const std::string source = fixtures::AnimatedGltf(dir.Path(), fixtures::Motion::node);
    ASSERT_EQ(Run("info " + source), 0) << output;
    EXPECT_NE(output.find("12 triangles over 24 vertices; as .ddd: 26 frames of 37 items"), std::string::npos) << output;
    EXPECT_NE(output.find("animation \"move\", 1 s, sampled at 25 fps into 26 frames"), std::string::npos) << output;
    EXPECT_NE(output.find("frame 0: bounds (-0.5, -0.5, -0.5) to (0.5, 0.5, 0.5)"), std::string::npos) << output;
    EXPECT_NE(output.find("... 18 frames more"), std::string::npos) << output;

    ASSERT_EQ(Run("import " + source + " " + dir / "m.ddd --frames 2 --fps 1 --text"), 0) << output;
    ASSERT_EQ(Run("info " + dir / "m.ddd"), 0) << output;
    EXPECT_NE(output.find("text encoding, 2 frames, 48 items and 12 triangles a frame, 2 colour-table entries"),
              std::string::npos)
        << output;
    // The top of each axis comes out one quantization step low.
    EXPECT_NE(output.find("frame 1: bounds (3.5, -0.5, -0.5) to (4.49608, 0.496078, 0.496078)"), std::string::npos)
        << output;

    WriteFile(dir / "bad.ddd", std::string("\x17\xB3\xC6\x00", 4) + "damaged");
    EXPECT_EQ(Run("info " + dir / "bad.ddd"), 1);
    EXPECT_NE(output.find("damaged .ddd file"), std::string::npos) << output;
}

TEST(VoxamodelTexture, BitmapsArePowerOfTwoWithTheKeyWhereAlphaIsBelowOneHalf) {
    // 4 x 4 rows of alpha 0, 100, 200, 255; the last row starts with an opaque pixel of the key colour.
    voxamodel::Texture t;
    t.width = t.height = 4;
    for (int i = 0; i < 16; ++i) {
        const uint8_t alpha[4] = {0, 100, 200, 255};
        t.rgba.insert(t.rgba.end(), {255, 0, uint8_t(i == 12 ? 128 : 40), alpha[i / 4]});
    }
    int w = 0, h = 0;
    const std::vector<uint8_t> bgr = voxamodel::TextureBmpPixels(t, w, h);
    ASSERT_EQ(bgr.size(), 4u * 4 * 3);
    auto at = [&](int x, int yFromTop) {
        const uint8_t* p = &bgr[(size_t(3 - yFromTop) * 4 + x) * 3];
        return std::vector<int>{p[2], p[1], p[0]};
    };
    const std::vector<int> key = {255, 0, 128};
    EXPECT_EQ(at(1, 0), key);
    EXPECT_EQ(at(1, 1), key);
    EXPECT_EQ(at(1, 2), (std::vector<int>{255, 0, 40}));
    EXPECT_EQ(at(0, 3), (std::vector<int>{255, 0, 127}));  // opaque in the source: stays opaque

    // Sides become the nearest powers of two; an opaque grey stays grey.
    const struct {
        int w, h, bw, bh;
    } sizes[] = {{3, 5, 4, 4}, {100, 60, 128, 64}, {1, 7000, 2, 4096}};
    for (const auto& size : sizes) {
        voxamodel::Texture grey;
        grey.width = size.w, grey.height = size.h;
        for (int i = 0; i < size.w * size.h; ++i) grey.rgba.insert(grey.rgba.end(), {90, 90, 90, 255});
        const std::vector<uint8_t> pixels = voxamodel::TextureBmpPixels(grey, w, h);
        EXPECT_EQ(w, size.bw);
        EXPECT_EQ(h, size.bh);
        EXPECT_EQ(pixels[pixels.size() / 2], 90) << size.w << " x " << size.h;
    }
}

} // namespace
