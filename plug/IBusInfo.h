// One bus of a channel configuration: its direction and channel count.
#pragma once

#include "plug/ERoute.h"

namespace plug {

struct IBusInfo {
  // A bus of this many channels takes any number of channels ("*" in the configuration text).
  static constexpr int kAnyChannelCount = -64;

  ERoute mDirection = kInput;
  int mNChans = 0;
};

}  // namespace plug
