// One legal channel configuration: the input buses and the output buses.
#pragma once

#include <vector>

#include "plug/ERoute.h"
#include "plug/IBusInfo.h"

namespace plug {

// Built once while the processor is constructed, read-only afterwards.
class IOConfig {
 public:
  // Threads: main, during construction.
  void AddBusInfo(ERoute direction, int nChans);
  void AddToTotal(ERoute direction, int nChans) { mTotalNChans[direction] += nChans; }

  // --- Reads. Threads: any.
  // Null when idx is outside the buses of that direction.
  const IBusInfo* GetBusInfo(ERoute direction, int idx) const;
  // 0 when idx is outside the buses of that direction.
  int NChansOnBusSAFE(ERoute direction, int idx) const;
  int NBuses(ERoute direction) const { return static_cast<int>(mBusInfo[direction].size()); }
  // Sum of every count written for that direction, zero counts (no bus) included.
  int GetTotalNChannels(ERoute direction) const { return mTotalNChans[direction]; }
  // True when some bus of that direction takes any channel count.
  bool ContainsWildcard(ERoute direction) const;

 private:
  std::vector<IBusInfo> mBusInfo[2];
  int mTotalNChans[2] = {0, 0};
};

}  // namespace plug
