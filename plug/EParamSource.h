// Where a parameter change came from, handed to the change hooks.
#pragma once

namespace plug {

enum EParamSource : int {
  kReset = 0,         // OnParamReset after construction or a reset
  kHost = 1,          // the host set the value (automation, generic editor)
  kPresetRecall = 2,  // a state chunk or preset was restored
  kUI = 3,            // the plug-in's own editor
  kDelegate = 4,      // a value pushed to the editor from outside it
  kNumParamSources
};

}  // namespace plug
