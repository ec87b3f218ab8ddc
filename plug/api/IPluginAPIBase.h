// The glue between host wrapper, processing and editor: parameter routes, queues, idle timer, host.
#pragma once

#include <memory>
#include <string>

#include "plug/Config.h"
#include "plug/EAPI.h"
#include "plug/IMidiMsg.h"
#include "plug/ISysEx.h"
#include "plug/SpscQueue.h"
#include "plug/SysExData.h"
#include "plug/Timer.h"
#include "plug/api/IPluginBase.h"

namespace plug {

// Parameter changes travel three ways:
//   host -> plug-in   the wrapper Sets the value, calls SendParameterValueFromAPI (which queues it
//                     for the editor) and OnParamChange; the editor sees it at the next tick;
//   editor -> host    Begin...FromUI, SendParameterValueFromUI per value, End...FromUI;
//   restore           values are written directly, then OnParamReset and a push to the editor.
// Everything that reaches the editor from the host crosses threads through a single-producer/
// single-consumer ring drained on the main thread by OnTimer; nothing here takes a lock.
class IPluginAPIBase : public IPluginBase {
 public:
  static constexpr int kParamQueueSlots = 513;
  static constexpr int kMidiQueueSlots = 33;
  static constexpr int kSysExQueueSlots = 5;
  static constexpr int kIdleTimerMs = 20;

  // One queued host change: parameter index and real value.
  struct ParamTuple {
    int idx = 0;
    double value = 0.0;
  };

  // Threads: main.
  IPluginAPIBase(const Config& config, EAPI api);
  ~IPluginAPIBase() override;

  // --- Host-facing operations; the host wrapper implements them.

  // Gesture start / value / gesture end for parameter idx. Threads: main.
  virtual void BeginInformHostOfParamChange(int paramIdx) = 0;
  virtual void InformHostOfParamChange(int paramIdx, double normalizedValue) = 0;
  virtual void EndInformHostOfParamChange(int paramIdx) = 0;
  // The current factory preset changed. Threads: main.
  virtual void InformHostOfPresetChange() = 0;

  // --- Parameter routes.

  // The parameter's SetNormalized, InformHostOfParamChange, OnParamChange(idx, kUI, -1).
  // Ignored for an unknown idx. Threads: main.
  void SetParameterValue(int paramIdx, double normalizedValue);
  // SetParameterValue, then SetNormalized again and OnParamChangeUI(idx, kUI). Threads: main.
  void SendParameterValueFromUI(int paramIdx, double normalizedValue) override;
  // Forward to the host's gesture start / end. Threads: main.
  void BeginInformHostOfParamChangeFromUI(int paramIdx) override;
  void EndInformHostOfParamChangeFromUI(int paramIdx) override;
  // InformHostOfParamChange for every parameter, in index order. Threads: main.
  void DirtyParametersFromUI() override;
  // Queues a host change for the editor: value (converted from normalised when asked) is pushed
  // on the parameter ring; dropped when the ring is full or idx is unknown. Returns whether it
  // was queued. The one producer of that ring. Threads: render or the host's parameter thread.
  bool SendParameterValueFromAPI(int paramIdx, double value, bool normalized) noexcept;

  // --- MIDI and SysEx between editor and processor.

  // Queue editor MIDI / SysEx for the processor (dropped when full; SysEx longer than 512 bytes
  // is dropped). Threads: main.
  void SendMidiMsgFromUI(const IMidiMsg& msg) override;
  void SendSysexMsgFromUI(const ISysEx& msg) override;
  // The processor takes what the editor queued. Threads: render.
  bool PopMidiMsgFromEditor(IMidiMsg& msg) noexcept;
  bool PopSysExFromEditor(SysExData& msg) noexcept;
  // The processor queues MIDI / SysEx for the editor; false when the ring is full or the SysEx
  // is longer than 512 bytes. Threads: render.
  bool PushMidiMsgToEditor(const IMidiMsg& msg) noexcept;
  bool PushSysExToEditor(const ISysEx& msg) noexcept;

  // --- Idle.

  // Starts the 20 ms idle timer on the main run loop (replacing a running one); the host wrapper
  // calls it once the plug-in is constructed. Threads: main.
  void CreateTimer();
  // Threads: main.
  void DestroyTimer();
  bool HasTimer() const { return mTimer != nullptr; }
  // Delivers queued host changes to the editor (SendParameterValueFromDelegate, not normalised),
  // then processor MIDI and SysEx, then calls OnIdle. The one consumer of those rings.
  // Threads: main.
  void OnTimer(Timer& timer);
  // Default: nothing. Threads: main.
  virtual void OnIdle();

  // --- Host identification. Threads: main.

  // Stores the raw name, finds the host number from the lower-case name, stores it and the
  // version, then calls HostSpecificInit and OnHostIdentified.
  void SetHost(const char* name, int version);
  // The host number for a name: the first key of the host table found in its lower-case form
  // (at most 255 characters); 0 when none is. Threads: any.
  static int LookUpHost(const char* name);
  // -1 until identified, 0 unknown. Threads: any.
  int GetHost() const { return mHost; }
  const char* GetRawHostName() const { return mRawHostName.c_str(); }
  // Packed, or major * 10000 + minor * 100 + patch. Threads: any.
  int GetHostVersion(bool decimal) const;
  void GetHostVersionStr(std::string& str) const;
  // Default: nothing.
  virtual void OnHostIdentified();
  virtual void HostSpecificInit();

  // --- Queue state, for the wrapper and tests. Threads: any (a snapshot).
  int NParamChangesQueued() const { return mParamChangeFromProcessor.ElementsAvailable(); }
  const SpscQueue<ParamTuple>& GetParamChangeQueue() const { return mParamChangeFromProcessor; }
  const SpscQueue<IMidiMsg>& GetMidiQueueToEditor() const { return mMidiMsgsFromProcessor; }
  const SpscQueue<SysExData>& GetSysExQueueToEditor() const { return mSysExDataFromProcessor; }

 private:
  static_assert(sizeof(ParamTuple) == 16);

  int mHost = -1;
  int mHostVersion = 0;
  std::string mRawHostName;
  SpscQueue<ParamTuple> mParamChangeFromProcessor{kParamQueueSlots};
  SpscQueue<IMidiMsg> mMidiMsgsFromEditor{kMidiQueueSlots};
  SpscQueue<IMidiMsg> mMidiMsgsFromProcessor{kMidiQueueSlots};
  SpscQueue<SysExData> mSysExDataFromEditor{kSysExQueueSlots};
  SpscQueue<SysExData> mSysExDataFromProcessor{kSysExQueueSlots};
  std::unique_ptr<Timer> mTimer;
};

}  // namespace plug
