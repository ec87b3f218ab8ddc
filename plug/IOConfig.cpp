// IOConfig: bus lists of one channel configuration.
#include "plug/IOConfig.h"

namespace plug {

void IOConfig::AddBusInfo(ERoute direction, int nChans) {
  mBusInfo[direction].push_back(IBusInfo{direction, nChans});
}

const IBusInfo* IOConfig::GetBusInfo(ERoute direction, int idx) const {
  if (idx < 0 || idx >= NBuses(direction)) return nullptr;
  return &mBusInfo[direction][static_cast<std::size_t>(idx)];
}

int IOConfig::NChansOnBusSAFE(ERoute direction, int idx) const {
  const IBusInfo* bus = GetBusInfo(direction, idx);
  return bus != nullptr ? bus->mNChans : 0;
}

bool IOConfig::ContainsWildcard(ERoute direction) const {
  for (const IBusInfo& bus : mBusInfo[direction]) {
    if (bus.mNChans < 0) return true;
  }
  return false;
}

}  // namespace plug
