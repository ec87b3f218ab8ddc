// Counts heap allocations made by this thread while a ScopedAllocationCount is alive.
#pragma once

namespace plugtest {

// The test binary replaces the global operator new; this scope switches counting on for the
// calling thread only, so that other threads (and gtest itself, outside the scope) do not count.
class ScopedAllocationCount {
 public:
  ScopedAllocationCount();
  ~ScopedAllocationCount();
  ScopedAllocationCount(const ScopedAllocationCount&) = delete;
  ScopedAllocationCount& operator=(const ScopedAllocationCount&) = delete;

  // Allocations made by this thread since the scope began.
  long Count() const;

 private:
  long mStart;
  bool mWasCounting;
};

}  // namespace plugtest
