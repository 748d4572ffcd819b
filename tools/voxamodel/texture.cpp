// The model's texture: found through the first material that has one, read from the scene's
// embedded data or from a file beside the model, decoded by the runtime's own picture readers
// (BMP, PNG, JPEG, TGA), and made into the bitmap the runtime's loaders read: power-of-two sides
// (a texture coordinate of 1 must reach the image's edge, and the runtime pads other sizes with
// transparent texels), the transparent key colour where alpha is below one half.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "files/lookup.h"
#include "gfx2d/picture.h"
#include "gfx2d/renderer.h"
#include "local.h"

namespace voxamodel {

namespace {

constexpr int kMaxSourceSide = 8192;

bool FromRgba(int w, int h, Texture& t, std::string& error) {
    if (w < 1 || h < 1 || w > kMaxSourceSide || h > kMaxSourceSide) {
        error = "its texture " + t.source + " is " + std::to_string(w) + " x " + std::to_string(h) +
                " pixels; at most " + std::to_string(kMaxSourceSide) + " on a side";
        return false;
    }
    t.width = w;
    t.height = h;
    t.rgba.assign(size_t(w) * size_t(h) * 4, 0);
    return true;
}

// A picture in any format the runtime reads.
bool FromPicture(const PictureFile& picture, Texture& t, std::string& error) {
    if (!picture.bmp) {
        if (!FromRgba(picture.decoded.width, picture.decoded.height, t, error)) return false;
        t.rgba = picture.decoded.rgba;
        return true;
    }
    BmpHeader header;
    BmpLoadOptions whole;
    whole.colourKey = 0;
    whole.applyKey = false;
    TextureImage image;
    if (!ParseBmpHeader(picture.bytes.data(), picture.bytes.size(), picture.bytes.size(), header) ||
        !FromRgba(header.width, header.height, t, error) ||
        !DecodeBmp(picture.bytes.data(), picture.bytes.size(), whole, kMaxSourceSide, image)) {
        if (error.empty()) error = "its texture " + t.source + " is a damaged BMP file";
        return false;
    }
    // The texture image holds the rows from the bottom.
    for (int y = 0; y < t.height; ++y)
        std::memcpy(&t.rgba[size_t(y) * t.width * 4], &image.rgba[size_t(t.height - 1 - y) * image.width * 4],
                    size_t(t.width) * 4);
    return true;
}

std::string Unreadable(const Texture& t) {
    return "its texture " + t.source + " is no picture voxamodel reads (BMP, PNG, JPEG or TGA)";
}

bool FromEmbedded(const aiTexture& tex, Texture& t, std::string& error) {
    if (tex.pcData == nullptr) {
        error = "its embedded texture " + t.source + " holds no data";
        return false;
    }
    if (tex.mHeight == 0) {  // a compressed picture file of mWidth bytes
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(tex.pcData);
        PictureFile picture;
        if (PictureFromBytes(std::vector<uint8_t>(bytes, bytes + tex.mWidth), picture)) return FromPicture(picture, t, error);
        error = Unreadable(t);
        return false;
    }
    if (!FromRgba(int(std::min(tex.mWidth, 1u << 30)), int(std::min(tex.mHeight, 1u << 30)), t, error)) return false;
    for (size_t i = 0; i < size_t(t.width) * size_t(t.height); ++i) {
        const aiTexel& c = tex.pcData[i];
        t.rgba[i * 4] = c.r, t.rgba[i * 4 + 1] = c.g, t.rgba[i * 4 + 2] = c.b, t.rgba[i * 4 + 3] = c.a;
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The texture file named by a material: relative to the model's directory, as an absolute path,
// or (for a path from the machine it was made on) by its last component beside the model.
bool FromFile(const std::string& modelPath, std::string name, Texture& t, std::string& error) {
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.compare(0, 7, "file://") == 0) name.erase(0, 7);
    const std::string dir = DirectoryOf(modelPath);
    const size_t slash = name.rfind('/');
    std::vector<std::string> candidates = {name[0] == '/' ? name : dir + "/" + name};
    if (slash != std::string::npos) candidates.push_back(dir + "/" + name.substr(slash + 1));
    for (const std::string& candidate : candidates) {
        struct stat st;
        if (stat(DirectoryOf(candidate).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        FILE* f = OpenFileNoCase(candidate.c_str(), "rb");
        if (f == nullptr) continue;
        std::fclose(f);
        t.source = candidate;
        PictureFile picture;
        if (ReadPictureFile(candidate.c_str(), picture)) return FromPicture(picture, t, error);
        error = Unreadable(t);
        return false;
    }
    error = "its texture " + name + " was not found (looked for " + candidates[0] + ")";
    return false;
}

// Resamples one axis of premultiplied RGBA floats: linear between texel centres when growing,
// the average of the covered texels when shrinking.
std::vector<float> ResampleAxis(const std::vector<float>& in, int n, int lines, int out, bool alongRows) {
    std::vector<float> result(size_t(out) * size_t(lines) * 4, 0.0f);
    const double ratio = double(n) / out;
    for (int line = 0; line < lines; ++line) {
        auto src = [&](int i) -> const float* {
            const size_t index = alongRows ? size_t(line) * n + size_t(i) : size_t(i) * lines + size_t(line);
            return &in[index * 4];
        };
        for (int o = 0; o < out; ++o) {
            const size_t index = alongRows ? size_t(line) * out + size_t(o) : size_t(o) * lines + size_t(line);
            float* dst = &result[index * 4];
            if (ratio <= 1) {
                const double x = std::clamp((o + 0.5) * ratio - 0.5, 0.0, double(n - 1));
                const int i = std::min(int(x), n - 2 < 0 ? 0 : n - 2);
                const float f = n > 1 ? float(x - i) : 0.0f;
                for (int c = 0; c < 4; ++c) dst[c] = src(i)[c] * (1 - f) + (n > 1 ? src(i + 1)[c] * f : 0);
                continue;
            }
            const double a = o * ratio, b = (o + 1) * ratio;
            for (int i = int(a); i < int(std::ceil(b)) && i < n; ++i) {
                const float cover = float(std::min(b, i + 1.0) - std::max(a, double(i)));
                for (int c = 0; c < 4; ++c) dst[c] += src(i)[c] * cover;
            }
            for (int c = 0; c < 4; ++c) dst[c] = float(dst[c] / ratio);
        }
    }
    return result;
}

// The power of two nearest to n (on a linear scale, ties up), within 2..kMaxTextureSide.
int PowerOfTwoNear(int n) {
    int p = 1;
    while (p < n) p *= 2;
    if (p > n && p - n > n - p / 2) p /= 2;
    return std::clamp(p, 2, kMaxTextureSide);
}

} // namespace

std::string DiffuseTexturePath(const aiMaterial& material) {
    aiString path;
    if (material.GetTexture(aiTextureType_DIFFUSE, 0, &path) == AI_SUCCESS && path.length > 0) return path.C_Str();
    if (material.GetTexture(aiTextureType_BASE_COLOR, 0, &path) == AI_SUCCESS && path.length > 0) return path.C_Str();
    return "";
}

bool FirstTexture(const aiScene& scene, const std::vector<const aiMaterial*>& materials, const std::string& modelPath,
                  Texture& texture, std::vector<std::string>& notes, std::string& error) {
    std::vector<std::string> paths;
    std::string chosen;
    for (const aiMaterial* material : materials) {
        paths.push_back(material ? DiffuseTexturePath(*material) : "");
        if (chosen.empty()) chosen = paths.back();
    }
    const size_t others = size_t(std::count_if(paths.begin(), paths.end(), [&](const std::string& p) { return p != chosen; }));
    if (others > 0)
        notes.push_back(std::to_string(others) + " of " + std::to_string(materials.size()) +
                        " meshes have another texture or none; a .ddd model is drawn with one: " + chosen);
    if (chosen.empty()) return true;
    texture.source = chosen;
    // Embedded: "*index", or a name the scene's embedded textures carry.
    const aiTexture* embedded = nullptr;
    bool complete = scene.mTextures != nullptr || scene.mNumTextures == 0;
    for (unsigned i = 0; complete && i < scene.mNumTextures; ++i) complete = scene.mTextures[i] != nullptr;
    if (chosen[0] == '*') {
        char* end = nullptr;
        const unsigned long index = std::strtoul(chosen.c_str() + 1, &end, 10);
        if (complete && *end == '\0' && index < scene.mNumTextures) embedded = scene.mTextures[index];
        if (embedded == nullptr) {
            error = "its embedded texture " + chosen + " is missing";
            return false;
        }
    } else if (complete) {
        embedded = scene.GetEmbeddedTexture(chosen.c_str());
    }
    return embedded ? FromEmbedded(*embedded, texture, error) : FromFile(modelPath, chosen, texture, error);
}

std::string TexturePathFor(const std::string& modelPath) {
    const size_t slash = modelPath.rfind('/');
    const size_t dot = modelPath.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? modelPath.substr(0, dot) : modelPath) + ".bmp";
}

std::vector<uint8_t> TextureBmpPixels(const Texture& t, int& width, int& height) {
    width = PowerOfTwoNear(t.width);
    height = PowerOfTwoNear(t.height);
    std::vector<float> texels(t.rgba.size());
    for (size_t i = 0; i < t.rgba.size(); i += 4) {
        const float a = t.rgba[i + 3] / 255.0f;
        for (int c = 0; c < 3; ++c) texels[i + c] = t.rgba[i + c] * a;
        texels[i + 3] = a;
    }
    if (width != t.width) texels = ResampleAxis(texels, t.width, t.height, width, true);
    if (height != t.height) texels = ResampleAxis(texels, t.height, width, height, false);
    // 24-bit BMP pixels: blue, green, red, rows from the bottom.
    std::vector<uint8_t> bgr(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float* s = &texels[(size_t(y) * width + x) * 4];
            uint8_t* d = &bgr[(size_t(height - 1 - y) * width + x) * 3];
            if (s[3] < 0.5f) {
                d[0] = 128, d[1] = 0, d[2] = 255;  // RGB(255, 0, 128): transparent in the runtime
                continue;
            }
            for (int c = 0; c < 3; ++c) d[2 - c] = uint8_t(std::lround(std::clamp(s[c] / s[3], 0.0f, 255.0f)));
            if (d[2] == 255 && d[1] == 0 && d[0] == 128) d[0] = 127;  // an opaque pixel of the key colour stays opaque
        }
    }
    return bgr;
}

} // namespace voxamodel
