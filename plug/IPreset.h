// One factory preset: a name and the state chunk it restores.
#pragma once

#include "state/IByteChunk.h"

namespace plug {

struct IPreset {
  static constexpr int kMaxNameLength = 255;

  bool mInitialized = false;
  char mName[kMaxNameLength + 1] = "empty";
  IByteChunk mChunk;
};

}  // namespace plug
