// Shared helpers of the model tests: a private directory with its own error log, and a writer
// of binary model files field by field (so tests can damage any field).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "base/errors.h"
#include "gfx3d/objectstore.h"
#include "support/scratch_files.h"
#include "voxa/testing.h"

class ModelDirTest : public ::testing::Test {
public:
    void SetUp() override { SetErrorLogPathForTesting(log_.c_str()); }

    std::string Path(const std::string& name) const { return dir_ / name; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        WriteFile(Path(name), bytes);
        return Path(name);
    }
    std::string Log() const { return ReadFile(log_); }
    // Reads bytes into model and expects the read error with its two log lines and an empty model.
    void ExpectReadError(MeshObject& model, const std::string& bytes) {
        const std::string path = Write("bad.ddd", bytes);
        std::remove(log_.c_str());
        EXPECT_EQ(model.ReadModel(path.c_str()), 0);
        EXPECT_EQ(Log(), "# read error\r\n" + path + "\r\n");
        EXPECT_EQ(model.frames.Count() + model.colourTable.Count() + model.texU.Count() + model.frames.Capacity(), 0);
    }
    bool Reads(MeshObject& model, const std::string& bytes) { return model.ReadModel(Write("ok.ddd", bytes).c_str()); }

    ScratchDir dir_;
    std::string log_ = dir_ / "ErrorLog.txt";
};

// Little-endian fields of a binary model file.
class Bytes {
public:
    Bytes& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) s_.push_back(char(v >> (8 * i)));
        return *this;
    }
    Bytes& I32(int32_t v) { return U32(uint32_t(v)); }
    Bytes& F32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        return U32(u);
    }
    Bytes& F64(double v) {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        return U32(uint32_t(u)).U32(uint32_t(u >> 32));
    }
    Bytes& Item(uint8_t x, uint8_t y, uint8_t z, uint8_t normal, uint8_t colour) {
        for (uint8_t v : {x, y, z, normal, colour}) s_.push_back(char(v));
        return *this;
    }
    // A frame's item count, offset (0, 0, 0) and scale (sx, 1, 1).
    Bytes& Frame(int32_t items, float sx = 1) { return I32(items).F32(0).F32(0).F32(0).F32(sx).F32(1).F32(1); }
    const std::string& str() const { return s_; }

private:
    std::string s_;
};

inline Bytes Header(int32_t frames, int32_t colours, int32_t tex, double version = 1.02) {
    Bytes b;
    b.U32(0x00C6B317u).F64(version).I32(frames).I32(colours).I32(tex);
    return b;
}

// A valid binary model: two colours (a strip marker and red), a strip of four vertices in two
// frames, texture pairs for the five items.
inline Bytes SampleBinary(double version = 1.02) {
    Bytes b = Header(2, 2, 5, version);
    b.U32(kStripMarker).U32(0x0000FFu);
    for (int i = 0; i < 5; ++i) b.F32(0.25f * float(i)).F32(1.0f - 0.25f * float(i));
    for (int f = 0; f < 2; ++f) {
        b.Frame(5, 1.0f + float(f));
        b.Item(0, 0, 0, 0, 0).Item(0, 0, 0, 7, 1).Item(10, 0, 0, 7, 1).Item(0, 10, 0, 7, 1).Item(10, 10, 0, 7, 1);
    }
    return b;
}
