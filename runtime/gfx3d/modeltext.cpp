// The text .ddd encoding: the word "DDDA", a version, texture pairs, faces (polygons drawn as
// triangle fans) and frames of vertex positions. Tokens are separated by blanks and line ends;
// '#' starts a comment to the end of its line and also ends a token ("12#note" is 12).
//
// The file is outside data. Each count is checked against the bytes left (every element needs at
// least its tokens and their separators) before anything is reserved, every vertex and texture
// index against its list, and the items that frames times faces would make against the file's
// size, so a small file cannot ask for a huge model. Tokens missing at the end of the file read
// as 0: pairs or faces that run past it leave an empty model, and a frame's vertices past it
// are at the origin.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "gfx3d/model.h"
#include "gfx3d/modelfile.h"
#include "voxa/basics.h"

namespace {

constexpr size_t kTokenBuffer = 1024;          // a token and its terminator
constexpr int64_t kItemsPerByte = 2;           // real models make far fewer items per file byte
constexpr int64_t kItemsSlack = 4096;          // lets tiny test files through

struct Pair {
    float u, v;
};
struct Position {
    float x, y, z;
};
struct Face {
    uint32_t colour = 0;                // packed r + g*256 + b*65536, low 8 bits of each
    GrowArray<int32_t> vertexIndices;   // into each frame's vertex list
    GrowArray<int32_t> texIndices;      // into the pair list
};

// Truncates toward zero; NaN reads as 0, values beyond the range saturate.
int64_t Truncate(float v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.0e18f) return INT64_MAX;
    if (v <= -9.0e18f) return INT64_MIN;
    return int64_t(v);
}

bool IsSeparator(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

} // namespace

class TextModelReader {
public:
    TextModelReader(const uint8_t* bytes, size_t size) : start_(bytes), p_(bytes), end_(bytes + size) {}

    ReadStatus Read(MeshObject& model) {
        ReadStatus status = Parse();
        if (status != ReadStatus::ok) return status;
        return Build(model);
    }

private:
    // The next token into token_; false at the end of the file (the token then reads as 0) or
    // when a token does not fit the buffer (tooLong_ is set).
    bool NextToken() {
        size_t n = 0;
        token_[0] = '\0';
        while (p_ < end_) {
            uint8_t c = *p_++;
            if (c == '#') {
                while (p_ < end_ && *p_++ != '\n') {}
                if (n > 0) break;
            } else if (IsSeparator(c)) {
                if (n > 0) break;
            } else {
                if (n + 1 >= kTokenBuffer) {
                    tooLong_ = true;
                    return false;
                }
                token_[n++] = char(c);
            }
        }
        token_[n] = '\0';
        return n > 0;
    }

    // strtod in the C locale: a model reads the same whatever locale the program selected.
    float Number() { return NextToken() ? float(ToNumber(token_)) : 0.0f; }
    int64_t Integer() { return Truncate(Number()); }
    // A count of elements of at least `tokens` tokens each; -1 when the rest of the file cannot
    // hold that many (each token takes a character and, except the last, a separator): the file
    // then ends inside the list, and every token after it reads as 0.
    int64_t Count(int64_t tokens) {
        int64_t count = Integer();
        if (count <= 0) return 0;
        int64_t left = int64_t(end_ - p_);
        return count > (left + 1) / (2 * tokens) ? -1 : count;
    }

    ReadStatus Parse() {
        if (!NextToken() || std::strcmp(token_, "DDDA") != 0) return ReadStatus::readError;
        if (Number() > 1.0f) return ReadStatus::readError;
        // A file that ends inside its pairs or faces reads no frame count but 0: it holds an
        // empty model, read without reserving the lists it only announces.
        int64_t texCount = Count(2);
        if (tooLong_) return ReadStatus::readError;
        if (texCount < 0) return ReadStatus::ok;
        if (!pairs_.Reserve(texCount)) return ReadStatus::mallocError;
        for (int64_t i = 0; i < texCount; ++i) {
            Pair pair;
            pair.u = Number();
            pair.v = Number();
            pairs_.Append(pair);
        }
        ReadStatus status = ParseFaces();
        if (status != ReadStatus::ok || endsInFaces_) return status;
        return ParseFrames(texCount);
    }

    ReadStatus ParseFaces() {
        int64_t faceCount = Count(4);
        if (tooLong_) return ReadStatus::readError;
        endsInFaces_ = faceCount < 0;
        if (endsInFaces_) return ReadStatus::ok;
        if (!faces_.Reserve(faceCount)) return ReadStatus::mallocError;
        for (int64_t f = 0; f < faceCount; ++f) {
            Face face;
            for (int c = 0; c < 3; ++c) face.colour |= uint32_t(Integer() & 255) << (8 * c);
            int64_t k = Count(2);
            if (tooLong_) return ReadStatus::readError;
            endsInFaces_ = k < 0;
            if (endsInFaces_) return ReadStatus::ok;
            if (!face.vertexIndices.Reserve(k) || !face.texIndices.Reserve(k)) return ReadStatus::mallocError;
            for (int64_t i = 0; i < k; ++i) {
                int64_t vertex = Integer(), tex = Integer();
                // Texture indices matter only when the file has pairs.
                if (vertex < 0 || vertex > INT32_MAX || (pairs_.Count() > 0 && (tex < 0 || tex >= pairs_.Count())))
                    return ReadStatus::readError;
                face.vertexIndices.Append(int32_t(vertex));
                face.texIndices.Append(int32_t(tex < 0 || tex > INT32_MAX ? 0 : tex));
            }
            faceItems_ += 1 + k;
            faces_.Append(std::move(face));
        }
        return tooLong_ ? ReadStatus::readError : ReadStatus::ok;
    }

    ReadStatus ParseFrames(int64_t texCount) {
        int64_t frameCount = Count(1);
        if (frameCount < 0 || tooLong_) return ReadStatus::readError;
        if (frameCount > 0 && faceItems_ > (int64_t(end_ - start_) * kItemsPerByte + kItemsSlack) / frameCount)
            return ReadStatus::readError;
        if (!frames_.Reserve(frameCount)) return ReadStatus::mallocError;
        for (int64_t f = 0; f < frameCount; ++f) {
            GrowArray<Position> vertices;
            // Coordinates missing at the end of the file read as 0, so the vertex count is
            // bounded by texCount (which the file's bytes bound), not by the bytes left.
            int64_t m = std::max<int64_t>(Integer(), 0);
            if (m > texCount || tooLong_) return ReadStatus::readError;
            if (!vertices.Reserve(m)) return ReadStatus::mallocError;
            for (int64_t i = 0; i < m; ++i) {
                Position p;
                p.x = Number();
                p.y = Number();
                p.z = Number();
                vertices.Append(p);
            }
            frames_.Append(std::move(vertices));
        }
        return tooLong_ ? ReadStatus::readError : ReadStatus::ok;
    }

    // Records of every frame, quantized frame by frame (the same result as quantizing them all
    // at the end, with one frame's records in memory at a time).
    ReadStatus Build(MeshObject& model) {
        model.texU.Clear();
        model.texV.Clear();
        if (!model.frames.Reserve(frames_.Count())) return ReadStatus::mallocError;
        for (const GrowArray<Position>& vertices : frames_) {
            ModelFrame frame;
            if (!frame.records.Reserve(faceItems_)) return ReadStatus::mallocError;
            for (const Face& face : faces_) {
                frame.records.Append(MarkerRecord(kFanMarker));
                for (int32_t i = 0; i < face.vertexIndices.Count(); ++i) {
                    int32_t vertex = face.vertexIndices[i];
                    if (vertex >= vertices.Count()) return ReadStatus::readError;
                    const Position& p = vertices[vertex];
                    Pair t = pairs_.Empty() ? Pair{0, 0} : pairs_[face.texIndices[i]];
                    frame.records.Append(MakeRecord(p.x, p.y, p.z, t.u, t.v, face.colour));
                }
            }
            // More than 256 distinct colours cannot be indexed: refused, not drawn wrongly.
            if (!model.QuantizeFrame(frame, model.frames.Empty())) return ReadStatus::readError;
            frame.records.Free();
            if (model.frames.Append(std::move(frame)) == nullptr) return ReadStatus::mallocError;
        }
        model.normalsValid = 0;
        return ReadStatus::ok;
    }

    const uint8_t* start_;
    const uint8_t* p_;
    const uint8_t* end_;
    char token_[kTokenBuffer];
    bool tooLong_ = false;
    bool endsInFaces_ = false;          // the file ends inside the faces: no frame follows
    int64_t faceItems_ = 0;             // records per frame: a marker and K vertices per face
    GrowArray<Face> faces_;
    GrowArray<Pair> pairs_;
    GrowArray<GrowArray<Position>> frames_;
};

ReadStatus ReadTextModel(MeshObject& model, const uint8_t* bytes, size_t size) {
    TextModelReader reader(bytes, size);
    return reader.Read(model);
}
