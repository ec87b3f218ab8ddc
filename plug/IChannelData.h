// One plug-in channel of one direction: connection, buffer slot, host buffer, scratch, label.
#pragma once

#include <string>
#include <vector>

namespace plug {

struct IChannelData {
  bool mConnected = false;
  // The entry of the direction's pointer array that ProcessBlock reads for this channel.
  double** mData = nullptr;
  // Outputs: the host's single-precision buffer that the result is narrowed into.
  float* mIncomingData = nullptr;
  // Block-size long; resized only when the block size changes, never while rendering.
  std::vector<double> mScratchBuf;
  std::string mLabel;
};

}  // namespace plug
