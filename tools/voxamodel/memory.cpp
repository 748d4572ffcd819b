// voxamodel's allocation functions. A damaged source can make the importer ask for memory by a
// count it never checked against the file (a PLY header claiming two billion vertices makes
// one request of 24 GB). Here every single request above kMaxAllocation fails with
// std::bad_alloc, which the importer reports as a file it cannot read; main() also caps the
// whole address space. The functions pair malloc with free in every form, so a sanitizer build
// sees matching allocations.
#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t kMaxAllocation = std::size_t(2) << 30;

void* Allocate(std::size_t n) noexcept { return n <= kMaxAllocation ? std::malloc(n != 0 ? n : 1) : nullptr; }

void* AllocateOrThrow(std::size_t n) {
    void* p = Allocate(n);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

} // namespace

void* operator new(std::size_t n) { return AllocateOrThrow(n); }
void* operator new[](std::size_t n) { return AllocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
