// The host's transport as last reported: tempo, positions, time signature, running flags.
#pragma once

namespace plug {

struct ITimeInfo {
  double mTempo = 120.0;      // beats per minute
  double mSamplePos = -1.0;   // -1: unknown
  double mPPQPos = -1.0;      // quarter notes since the song start; -1: unknown
  double mLastBar = -1.0;     // quarter-note position of the current bar's start; -1: unknown
  double mCycleStart = -1.0;  // loop start in quarter notes; -1: unknown
  double mCycleEnd = -1.0;    // loop end in quarter notes; -1: unknown
  int mNumerator = 4;
  int mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};

}  // namespace plug
