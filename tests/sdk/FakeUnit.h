// FakeUnit.h: a minimal Audio Unit plug-in interface for the sdk tests; records the calls it gets.
#pragma once

#include <AudioToolbox/AudioUnit.h>

#include <string>
#include <vector>

namespace sdktest {

// The interface record comes first, so the instance pointer is the unit, as with a real factory.
struct FakeUnit {
  AudioComponentPlugInInterface plugIn;
  std::vector<std::string> calls;
  AudioUnitParameterValue parameters[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  bool answerEverything = true;

  FakeUnit();
  AudioUnit Unit() { return reinterpret_cast<AudioUnit>(&plugIn); }
};

}  // namespace sdktest
