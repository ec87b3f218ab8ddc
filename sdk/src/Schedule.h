// Schedule.h: where a run-loop timer or source is scheduled: one loop, in one or more modes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tovrasdk {

class RunLoop;

// One loop at a time, as on macOS; modes by their text.
struct Schedule {
  RunLoop* loop = nullptr;
  std::vector<std::string> modes;
  std::uint64_t sequence = 0;  // when it was first scheduled: ties fire in this order

  bool Listed(std::string_view mode) const noexcept;
  // Runs when the loop runs in mode: listed there, or listed in the common modes and mode is
  // common.
  bool ActiveIn(std::string_view mode) const noexcept;
};

}  // namespace tovrasdk
