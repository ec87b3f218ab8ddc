// AllocationCounter.h: counts calls of the global operator new, which this test binary replaces.
#pragma once

#include <cstddef>

namespace autest {

// Calls of every form of the global operator new since the program started, in this binary and in
// every module it loads that does not bring its own operator new (the plug-in module does not).
std::size_t AllocationCount() noexcept;

}  // namespace autest
