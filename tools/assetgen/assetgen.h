// The catalogue of generated files and the one call that writes them all.
#pragma once

#include <string>
#include <vector>

namespace assetgen {

// Every file the generator writes, in the order it writes them: the game's fonts, bitmaps,
// sounds and models by the names the game loads them by, and "voxa1.mp3".
const std::vector<std::string>& AssetNames();

// Writes every file of AssetNames() into `directory` (which must exist). Each file is written
// under a temporary name and renamed into place, so a reader never sees half a file.
// Throws std::runtime_error on the first failure.
void GenerateAll(const std::string& directory);

// Writes one file of the catalogue by its name into `directory`.
void GenerateOne(const std::string& directory, const std::string& name);

}  // namespace assetgen
