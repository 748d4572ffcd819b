// GrowArray<T>: the growable list every part of the model data is made of. It grows by a fixed
// step (128 elements) rather than geometrically, starting at 512, so a model loaded with
// Reserve calls allocates each list exactly once. Allocation failures are reported by a null
// result from Append and false from Reserve; nothing throws.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

template <typename T>
class GrowArray {
public:
    GrowArray() = default;
    GrowArray(const GrowArray&) = delete;
    GrowArray& operator=(const GrowArray&) = delete;
    GrowArray(GrowArray&& other) noexcept { Take(other); }
    GrowArray& operator=(GrowArray&& other) noexcept {
        if (this != &other) {
            Free();
            Take(other);
        }
        return *this;
    }
    ~GrowArray() { Free(); }

    int32_t Count() const { return count; }
    int32_t Capacity() const { return capacity; }
    bool Empty() const { return count == 0; }
    T* Data() { return data; }
    const T* Data() const { return data; }
    T& operator[](int32_t i) { return data[i]; }
    const T& operator[](int32_t i) const { return data[i]; }
    T* begin() { return data; }
    T* end() { return data + count; }
    const T* begin() const { return data; }
    const T* end() const { return data + count; }
    T& Last() { return data[count - 1]; }

    // Appends a copy (or the moved value); null when the memory could not be had.
    T* Append(const T& value) {
        if (count == capacity && !Grow(capacity == 0 ? firstCapacity : int64_t(capacity) + growthStep)) return nullptr;
        return new (data + count++) T(value);
    }
    T* Append(T&& value) {
        if (count == capacity && !Grow(capacity == 0 ? firstCapacity : int64_t(capacity) + growthStep)) return nullptr;
        return new (data + count++) T(std::move(value));
    }

    // Capacity becomes at least n + 1; false when n is negative or the memory could not be had.
    bool Reserve(int64_t n) {
        if (n < 0) return false;
        return n + 1 <= capacity || Grow(n + 1);
    }

    // Count 0; the memory is kept for the next use.
    void Clear() {
        for (int32_t i = 0; i < count; ++i) data[i].~T();
        count = 0;
    }

    // Count and capacity 0; the memory is released.
    void Free() {
        Clear();
        std::free(data);
        data = nullptr;
        capacity = 0;
    }

    // Count n (not above the capacity); elements past the old count are value-initialised.
    bool Resize(int32_t n) {
        if (n < 0 || (n >= capacity && !Reserve(n))) return false;
        while (count > n) data[--count].~T();
        while (count < n) new (data + count++) T();
        return true;
    }

    static constexpr int32_t growthStep = 128;
    static constexpr int32_t firstCapacity = 512;

private:
    bool Grow(int64_t newCapacity) {
        if (newCapacity > INT32_MAX || uint64_t(newCapacity) > SIZE_MAX / sizeof(T)) return false;
        size_t bytes = size_t(newCapacity) * sizeof(T);
        T* fresh;
        if constexpr (std::is_trivially_copyable_v<T>) {
            fresh = static_cast<T*>(std::realloc(data, bytes));
            if (fresh == nullptr) return false;
        } else {
            fresh = static_cast<T*>(std::malloc(bytes));
            if (fresh == nullptr) return false;
            for (int32_t i = 0; i < count; ++i) {
                new (fresh + i) T(std::move(data[i]));
                data[i].~T();
            }
            std::free(data);
        }
        data = fresh;
        capacity = int32_t(newCapacity);
        return true;
    }

    void Take(GrowArray& other) {
        data = other.data;
        count = other.count;
        capacity = other.capacity;
        other.data = nullptr;
        other.count = other.capacity = 0;
    }

    T* data = nullptr;     // elements [0, count) are constructed
    int32_t count = 0;     // elements in use
    int32_t capacity = 0;  // elements allocated
};
