#pragma once
// The one allocator behind BSTRs and SAFEARRAYs. Tests can make it fail after
// a given number of allocations to drive the E_OUTOFMEMORY paths.
#include <cstddef>

namespace platform {

void* oa_allocate(size_t bytes);  // nullptr when out of memory (or when failing on purpose)
void oa_release(void* block);

// From now on, allow `successes` more allocations, then fail every one;
// a negative count turns the failures off again.
void oa_fail_allocations_after(long successes);

}  // namespace platform
