// The catalogue of generated files.
#include "assetgen.h"

#include <cstdio>
#include <functional>
#include <map>
#include <stdexcept>

#include "audio.h"
#include "fonts.h"
#include "mesh.h"
#include "models.h"
#include "output.h"
#include "textures.h"

namespace assetgen {

namespace {

using Writer = std::function<void(const std::string& path)>;

Writer Bitmap(Image (*make)()) {
    return [make](const std::string& path) { SaveBmp(path, make()); };
}

Writer Model(Mesh (*make)()) {
    return [make](const std::string& path) { SaveModel(path, make()); };
}

Writer Font(FontStyle style) {
    return [style](const std::string& path) { SaveBmp(path, RenderFont(DefaultFontPath(), style)); };
}

Writer Sound(const std::string& name) {
    return [name](const std::string& path) { SaveBytes(path, EncodeWav(MakeSound(name))); };
}

// The fonts' sizes follow the game's layouts: large 32 x 32 cells for the title, the headings
// and "Game Over"; 16 x 16 for menu rows, the controls page (its longest line, 33 characters
// from x = 10, ends at 538) and the HUD; 10 x 16 for the subtitle fragments and the credit line.
const Rgb kOutline{22, 14, 6};
const FontStyle kLargeFont{32, 32, 2, 1.3, {255, 244, 170}, {250, 150, 30}, kOutline};
const FontStyle kSmallFont{10, 16, 1, 1.0, {225, 240, 255}, {150, 200, 250}, kOutline};
const FontStyle kMidFont{16, 16, 1, 1.25, {255, 255, 255}, {190, 214, 255}, kOutline};

const std::vector<std::pair<std::string, Writer>>& Catalogue() {
    static const std::vector<std::pair<std::string, Writer>> catalogue = [] {
        std::vector<std::pair<std::string, Writer>> c = {
            {"font.bmp", Font(kLargeFont)},
            {"font_small.bmp", Font(kSmallFont)},
            {"font_mid.bmp", Font(kMidFont)},
            {"highlight.bmp", Bitmap(MakeHighlight)},
        };
        for (const std::string& name : SoundNames()) c.emplace_back(name, Sound(name));
        const std::pair<std::string, Writer> rest[] = {
            {"table.ddd", Model(MakeTableModel)},
            {"table.bmp", Bitmap(MakeTableTexture)},
            {"sphere.ddd", Model(MakeSphereModel)},
            {"sphere.bmp", Bitmap(MakePlayerBallTexture)},
            {"sphere_1.bmp", Bitmap(MakeStrikerTexture)},
            {"sphere_2.bmp", Bitmap(MakeTargetBallTexture)},
            {"zeiger.ddd", Model(MakePointerModel)},
            {"zeiger.bmp", Bitmap(MakePointerTexture)},
            {"back.ddd", Model(MakeBackWallModel)},
            {"back.bmp", Bitmap(MakeBackWallTexture)},
            {"back_bump.bmp", Bitmap(MakeBackWallHeightMap)},
            {"rand.ddd", Model(MakeRimModel)},
            {"rand.bmp", Bitmap(MakeRimTexture)},
            {"tube3.ddd", Model(MakeTubeModel)},
            {"tube.bmp", Bitmap(MakeTubeTexture)},
            {"peak.ddd", Model(MakeSpikeModel)},
            {"peak.bmp", Bitmap(MakeSpikeTexture)},
            {"stab.ddd", Model(MakeRodModel)},
            {"stab.bmp", Bitmap(MakeRodTexture)},
            {"sauger.ddd", Model(MakeSuckerModel)},
            {"start.bmp", Bitmap(MakeStartScreen)},
            {"day.bmp", Bitmap(MakeDayIcon)},
            {"maus.bmp", Bitmap(MakeMouseCursor)},
            {"test.bmp", Bitmap(MakeTestPattern)},
            {"pfeil_rechts.bmp", [](const std::string& path) { SaveBmp(path, MakeArrow(true)); }},
            {"pfeil_links.bmp", [](const std::string& path) { SaveBmp(path, MakeArrow(false)); }},
            {"voxa1.mp3", [](const std::string& path) { SaveBytes(path, EncodeMp3(MakeMusic())); }},
        };
        c.insert(c.end(), std::begin(rest), std::end(rest));
        return c;
    }();
    return catalogue;
}

void WriteInPlace(const std::string& directory, const std::string& name, const Writer& write) {
    const std::string path = directory + "/" + name;
    const std::string temporary = path + ".part";
    try {
        write(temporary);
    } catch (...) {
        std::remove(temporary.c_str());
        throw;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot rename " + temporary + " to " + path);
    }
}

}  // namespace

const std::vector<std::string>& AssetNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const auto& entry : Catalogue()) n.push_back(entry.first);
        return n;
    }();
    return names;
}

void GenerateAll(const std::string& directory) {
    for (const auto& [name, write] : Catalogue()) WriteInPlace(directory, name, write);
}

void GenerateOne(const std::string& directory, const std::string& name) {
    for (const auto& [entryName, write] : Catalogue())
        if (entryName == name) return WriteInPlace(directory, name, write);
    throw std::runtime_error("no asset named " + name);
}

}  // namespace assetgen
