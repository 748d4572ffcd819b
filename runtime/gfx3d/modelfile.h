// Internal to the model readers and tools: parsing a model file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

class MeshObject;

enum class ReadStatus { ok, readError, mallocError };

// True when the bytes start with the binary encoding's magic.
bool IsBinaryModel(const uint8_t* bytes, size_t size);
// Parses either encoding (binary by its magic, else text) into model, which is empty on entry;
// nothing is logged. Used by ReadModelFile and by tools that report on model files.
ReadStatus ReadModelBytes(MeshObject& model, const uint8_t* bytes, size_t size);
// Parses the text encoding (first word "DDDA") into model; model is empty on entry.
ReadStatus ReadTextModel(MeshObject& model, const uint8_t* bytes, size_t size);
