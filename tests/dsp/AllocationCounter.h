// Counts calls of the global operator new in the test binary, which replaces it.
#pragma once

#include <cstddef>

namespace dsptest {

// Number of global operator new calls (every form) since the program started.
std::size_t allocationCount() noexcept;

}  // namespace dsptest
