// Counts calls of the global operator new, which every test binary linking this replaces.
#pragma once

#include <cstddef>

namespace testsupport {

// Calls of every form of the global operator new since the program started, from any thread, in
// this binary and in every module it loads that does not bring its own operator new (a plug-in
// module does not).
std::size_t AllocationCount() noexcept;

// Counts only the calling thread's allocations while alive, so that other threads (and gtest
// outside the scope) do not count.
class ScopedAllocationCount {
 public:
  ScopedAllocationCount() noexcept;
  ~ScopedAllocationCount();
  ScopedAllocationCount(const ScopedAllocationCount&) = delete;
  ScopedAllocationCount& operator=(const ScopedAllocationCount&) = delete;

  // Allocations made by this thread since the scope began.
  long Count() const noexcept;

 private:
  long mStart;
  bool mWasCounting;
};

}  // namespace testsupport
