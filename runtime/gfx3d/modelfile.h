// Internal to the model readers: the outcome of parsing a model file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

class MeshObject;

enum class ReadStatus { ok, readError, mallocError };

// Parses the text encoding (first word "DDDA") into model; model is empty on entry.
ReadStatus ReadTextModel(MeshObject& model, const uint8_t* bytes, size_t size);
