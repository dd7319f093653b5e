#include "platform/oa_alloc.h"

#include <atomic>
#include <cstdlib>

namespace platform {
namespace {
std::atomic<long> allowed{-1};  // negative: no failure injected
}

void* oa_allocate(size_t bytes) {
  long left = allowed.load();
  while (left >= 0) {
    if (left == 0) return nullptr;
    if (allowed.compare_exchange_weak(left, left - 1)) break;
  }
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void oa_release(void* block) { std::free(block); }

void oa_fail_allocations_after(long successes) { allowed.store(successes < 0 ? -1 : successes); }

}  // namespace platform
