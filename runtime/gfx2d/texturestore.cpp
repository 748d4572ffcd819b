// The texture store: loading bitmaps into GL textures (plain and mipmapped), releasing them,
// binding them for drawing and reading back their alpha channel; LoadSprite, LoadBumpTexture
// and the texture variant.
//
// Decoding happens in memory (bmp.cpp); the GL side of uploads, binding and read-back is in
// gldraw.cpp.
#include <sys/stat.h>

#include <cstdio>

#include "base/openfile.h"
#include "files/lookup.h"
#include "gfx2d/bmp.h"
#include "gfx2d/gldraw.h"
#include "gfx2d/local.h"
#include "gfx2d/picture.h"
#include "gfx2d/renderer.h"
#include "window/state.h"
#include "window/window.h"

// ---- Reading and uploading

int UploadBmpRegion(const PictureFile& file, const BmpLoadOptions& options,
                    uint32_t* plainName, uint32_t* mipmappedName) {
    TextureImage image;
    if (!DecodePictureRegion(file, options, MaxTextureSize(), image)) return 0;
    *plainName = UploadPlainTexture(image.rgba.data(), image.width, image.height, options.nearest, false);
    if (mipmappedName != nullptr) *mipmappedName = UploadMipmappedTexture(image);
    return 1;
}

int ReadBmpTexture(const char* path, const BmpLoadOptions& options, uint32_t* plainName,
                   uint32_t* mipmappedName) {
    if (!Window().ready) return 0;
    PictureFile file;
    if (!ReadPictureFile(path, file)) return 0;
    return UploadBmpRegion(file, options, plainName, mipmappedName);
}

void ReadBmpSize(const char* path, int& width, int& height) {
    width = height = 0;
    FILE* f = OpenNoWait(path, "rb"); // regular files only: a FIFO would block the read
    if (f == nullptr) return;
    uint8_t head[54];
    size_t got = std::fread(head, 1, sizeof head, f);
    struct stat st;
    bool sized = fstat(fileno(f), &st) == 0 && st.st_size >= 0;
    if (SniffPicture(head, got) != PictureFormat::bmp) {
        PictureFileSize(f, width, height);
        std::fclose(f);
        return;
    }
    std::fclose(f);
    BmpHeader header;
    if (!sized || !ParseBmpHeader(head, got, uint64_t(st.st_size), header)) return;
    width = header.width;
    height = header.height;
}

// ---- The store

int TextureStore::LoadTexture(int id, const char* path, uint32_t colourKey, bool normalMap) {
    if (!IdInRange(id, kTextureIds)) return 0;
    Release(id);
    int w = 0, h = 0;
    ReadBmpSize(path, w, h);
    if (w == 0 || h == 0) return 0;
    TextureEntry& e = entries_[id];
    const bool isFont = id >= kFontTextureBase;
    BmpLoadOptions options;
    options.colourKey = colourKey;
    options.normalMap = isFont ? false : normalMap;
    options.nearest = isFont;
    ReadBmpTexture(path, options, &e.plainName, isFont ? nullptr : &e.mipmappedName);
    e.textureWidth = TextureSizeFor(w);
    e.textureHeight = TextureSizeFor(h);
    e.imageWidth = w;
    e.imageHeight = h;
    return 1;
}

void TextureStore::Release(int id) {
    if (!IdInRange(id, kTextureIds)) return;
    TextureEntry& e = entries_[id];
    if (Window().ready) {
        DeleteTextureName(e.plainName);
        DeleteTextureName(e.mipmappedName);
    }
    e.plainName = 0;
    e.mipmappedName = 0;
    e.textureWidth = -1;
    e.textureHeight = -1;
    e.alphaMask.reset();
}

void TextureStore::ReleaseAll() {
    for (int id = 0; id < kTextureIds; ++id) Release(id);
}

void TextureStore::Bind(int id, int secondId, int mipmapped) {
    binding = TextureBinding{id, secondId, mipmapped};
    auto nameOf = [&](int i) -> uint32_t {
        if (!IdInRange(i, kTextureIds)) return 0;
        return mipmapped ? entries_[i].mipmappedName : entries_[i].plainName;
    };
    BindTextureUnits(id >= 0, nameOf(id), secondId >= 0, nameOf(secondId));
}

const AlphaMask* TextureStore::GetAlphaMask(int id) {
    if (!IdInRange(id, kTextureIds)) return nullptr;
    TextureEntry& e = entries_[id];
    if (e.alphaMask) return e.alphaMask.get();
    if (e.plainName == 0 || !Window().ready) return nullptr;
    // The mask is sized by the texture GL really holds, which may be smaller than the size
    // recorded from a bitmap's header (a picture beyond GL's size limit is cut).
    int w = 0, h = 0;
    HeldTextureSize(e.plainName, w, h);
    auto mask = std::make_unique<AlphaMask>();
    if (w > 0 && h > 0) {
        mask->width = w;
        mask->height = h;
        mask->alpha.resize(size_t(w) * size_t(h));
        ReadTextureAlpha(mask->alpha.data());
    }
    e.alphaMask = std::move(mask);
    Bind(binding.id, binding.secondId, binding.mipmapped);
    return e.alphaMask.get();
}

// ---- Commands

namespace {
double LoadStoreTexture(const DynString& file, double id, bool normalMap) {
    int slot = 0;
    if (!IdFrom(id, kTextureIds, slot)) return 0;
    DynString path;
    if (!ResolveFile(file.CStr(), path)) return 0;
    return gRenderer2D.textures.LoadTexture(slot, path.CStr(), kSpriteColourKey, normalMap);
}
} // namespace

double LoadSprite(const DynString& file, double id) { return LoadStoreTexture(file, id, false); }

double LoadBumpTexture(const DynString& file, double id) { return LoadStoreTexture(file, id, true); }

void SetTextureVariant(double n) { gRenderer2D.textureVariant = TruncToInt(n); }

int32_t TextureVariant() { return gRenderer2D.textureVariant; }

void BindTextures(int id, int secondId, int mipmapped) { gRenderer2D.textures.Bind(id, secondId, mipmapped); }
