// Replacement of the global operator new and delete that counts calls and live bytes. Each block
// carries a header of 16 bytes (the alignment malloc guarantees) holding its requested size, so
// that delete can subtract it. Over-aligned forms (std::align_val_t) are left to the library:
// nothing the benchmark measures uses them. The counters are atomic because the evaluation over
// columns allocates on its worker threads too.
#include "bench/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<uint64_t> allocations{0};
std::atomic<int64_t> liveBytes{0};
constexpr std::size_t kHeader = 16;

void* Allocate(std::size_t size) noexcept {
  void* block = std::malloc(size + kHeader);
  if (!block) return nullptr;
  allocations.fetch_add(1, std::memory_order_relaxed);
  liveBytes.fetch_add(int64_t(size), std::memory_order_relaxed);
  *static_cast<std::size_t*>(block) = size;
  return static_cast<char*>(block) + kHeader;
}

void Release(void* p) noexcept {
  if (!p) return;
  void* block = static_cast<char*>(p) - kHeader;
  liveBytes.fetch_sub(int64_t(*static_cast<std::size_t*>(block)), std::memory_order_relaxed);
  std::free(block);
}

void* AllocateOrThrow(std::size_t size) {
  void* p = Allocate(size);
  if (!p) throw std::bad_alloc();
  return p;
}
}  // namespace

namespace heap {
uint64_t Allocations() noexcept { return allocations.load(std::memory_order_relaxed); }
int64_t LiveBytes() noexcept { return liveBytes.load(std::memory_order_relaxed); }
}  // namespace heap

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
