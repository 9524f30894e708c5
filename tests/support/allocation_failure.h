// Running out of memory on purpose: this header replaces the program's
// operator new so that a test can make one chosen allocation of its own
// thread throw std::bad_alloc, and see that the code under test gives back
// what it took. Other threads (the link's I/O) are never touched. Include it
// in exactly one source of a test program.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace testsupport {

namespace allocation_failure_detail {
inline thread_local std::size_t countdown = 0;
inline thread_local bool fired = false;
}  // namespace allocation_failure_detail

// Makes the `nth` allocation from now on this thread (1: the next one)
// throw; 0 disarms.
inline void FailAllocation(std::size_t nth) {
  allocation_failure_detail::countdown = nth;
  allocation_failure_detail::fired = false;
}

// True once the armed allocation has failed; disarms in any case.
inline bool AllocationFailed() {
  allocation_failure_detail::countdown = 0;
  return allocation_failure_detail::fired;
}

}  // namespace testsupport

void* operator new(std::size_t size) {
  namespace d = testsupport::allocation_failure_detail;
  if (d::countdown != 0 && --d::countdown == 0) {
    d::fired = true;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
// Every plain form goes through the one above, so that a runtime with its own
// forms (a sanitizer's) never frees a block it did not allocate.
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }

// The blocks come from malloc above, which the compiler cannot see.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
