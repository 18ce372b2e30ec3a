#include "engine/eval/RandomGenerator.h"

#include <atomic>
#include <chrono>

namespace qv {

void RandomGenerator::SeedFromClock() noexcept {
  // Two generators seeded in the same clock tick still differ: a process-wide counter is mixed
  // in (atomic, the only state shared between engines).
  static std::atomic<uint64_t> counter{0};
  uint64_t ticks = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
  uint64_t wall = uint64_t(std::chrono::system_clock::now().time_since_epoch().count());
  state_ = ticks ^ (wall << 1) ^ (counter.fetch_add(1, std::memory_order_relaxed) * 0xD1B54A32D192ED03ull);
}

}  // namespace qv
