// The steps of voxamodel that see the importer's scene, shared by its files.
#pragma once

#include <assimp/scene.h>

#include <string>

#include "voxamodel.h"

namespace voxamodel {

// The diffuse (or base colour) texture of the first of the materials (in the order the meshes
// are placed) that has one; texture.width stays 0 when none has. The texture is embedded in the
// scene or a file named relative to the model's directory. notes gets the meshes drawn with a
// texture not theirs (a .ddd model has one).
bool FirstTexture(const aiScene& scene, const std::vector<const aiMaterial*>& materials, const std::string& modelPath,
                  Texture& texture, std::vector<std::string>& notes, std::string& error);

// The material's diffuse or base colour texture path, or empty.
std::string DiffuseTexturePath(const aiMaterial& material);

} // namespace voxamodel
