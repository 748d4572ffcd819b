// Source models for the model tool's tests, written at test time as text: a textured cube as
// OBJ+MTL and as glTF, and animated glTF models moved by a node, a morph target or a bone.
#pragma once

#include <string>
#include <vector>

namespace fixtures {

// 64 x 64: red, green in the top half; blue, yellow in the bottom half (as the image is seen).
std::vector<unsigned char> QuadrantPng();

// A cube with corners at (+-h, +-h, +-h) plus `at`, every face wound counter-clockwise seen from
// outside and showing the whole texture upright (the top face's image top toward -z, the bottom
// face's toward +z). Files are written into dir; the result is the model's path.
struct Cube {
    double h = 1;
    double at[3] = {0, 0, 0};
};
std::string CubeObj(const std::string& dir, const Cube& cube, const std::string& textureName);
std::string CubeGltf(const std::string& dir, const Cube& cube, bool embeddedTexture);

enum class Motion { node, morph, bone };
// A cube of half-size 0.5 animated over one second (linear keys at 0 s and 1 s): the node moves
// from x 0 to x 4, or a morph target lifts it by 2 in y, or a bone lifts it by 3 in y.
std::string AnimatedGltf(const std::string& dir, Motion motion);

std::string Base64(const std::vector<unsigned char>& bytes);
void WriteText(const std::string& path, const std::string& text);

} // namespace fixtures
