// voxamodel's work: reading a model in any format the Open Asset Import Library reads, sampling
// its pose (animated or not) into frames of triangles, and writing a .ddd model with its first
// texture beside it; and describing .ddd and source files. Every function reports failure by its
// result and a message in error; none ends the process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace voxamodel {

struct ImportOptions {
    double scale = 1;     // every coordinate is multiplied by it (after centring)
    bool center = false;  // move the centre of the bounding box of all frames to the origin
    int frames = 0;       // frames to sample from an animation; 0: the whole first animation
    double fps = 25;      // sampling rate of an animation, frames per second
    bool text = false;    // write the text encoding instead of the binary one
};

// Limits of what is converted. The colour table holds 256 entries (8-bit indices), one of them
// taken by the triangle marker. LoadObject decodes every frame into 88-byte vertices, so the
// items of all frames together are kept to what a program can hold (about 740 MB at the limit).
constexpr int kMaxColours = 255;
constexpr int64_t kMaxItemsAllFrames = int64_t(1) << 23;
constexpr int kMaxFrames = 10000;
constexpr int kMaxTextureSide = 4096;

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

// A texture decoded to RGBA, rows from the top.
struct Texture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    std::string source;  // where it came from, for messages
};

// A model sampled from a source. Vertices are the vertices of every mesh placed in the scene (a
// mesh used by two nodes counts twice); triangles index them; each frame holds every vertex's
// position and normal.
struct SampledModel {
    std::vector<float> u, v;              // per vertex; v counts from the image's bottom, as sources do
    std::vector<uint32_t> colour;         // per vertex: R + G*256 + B*65536
    std::vector<uint32_t> triangles;      // three vertex indices per triangle
    std::vector<std::vector<Vec3>> positions, normals; // [frame][vertex]
    Texture texture;                      // width 0 when the model has none
    std::string animation;                // the sampled animation's description; empty when static
    std::vector<std::string> notes;       // what was left out, for the user
};

// Reads the source and samples it. Fails on a file that cannot be read, an unsupported format,
// a damaged file, a model without triangles, a missing or unreadable texture, or a model beyond
// the limits above.
bool ImportModel(const std::string& path, const ImportOptions& options, SampledModel& model, std::string& error);

// The texture's file name beside a model: the model's name with its extension replaced by .bmp.
std::string TexturePathFor(const std::string& modelPath);

// The texture as the pixels of a 24-bit BMP (blue, green, red; rows from the bottom) whose sides
// are the powers of two nearest its own (2..kMaxTextureSide), resampled with alpha weighting;
// pixels of alpha below one half become RGB(255, 0, 128), the runtime's transparent colour.
std::vector<uint8_t> TextureBmpPixels(const Texture& texture, int& width, int& height);

// Writes the model (and its texture, as a 24-bit BMP of power-of-two sides whose pixels of alpha
// below one half are the transparent key colour) through temporary files renamed at the end; on
// failure nothing is left behind. written lists the files made.
bool WriteModelFiles(const SampledModel& model, const std::string& outPath, bool text,
                     std::vector<std::string>& written, std::string& error);

// What a .ddd or source file holds, as lines of text for the user.
bool DescribeFile(const std::string& path, std::string& report, std::string& error);

} // namespace voxamodel
