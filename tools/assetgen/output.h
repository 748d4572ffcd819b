// Writing the generated files: bitmaps, models and raw bytes. Every writer throws
// std::runtime_error when the file cannot be written, so a failed build step is never silent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

namespace assetgen {

class Mesh;

void SaveBmp(const std::string& path, const Image& image);           // 24-bit BMP
void SaveModel(const std::string& path, const Mesh& mesh);           // binary .ddd model
void SaveBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace assetgen
