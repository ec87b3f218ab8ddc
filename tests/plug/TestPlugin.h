// A plug-in double for the framework tests: records what the framework tells host and editor.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plug/Config.h"
#include "plug/FourCC.h"
#include "plug/IPluginProcessor.h"
#include "plug/api/IPluginAPIBase.h"

namespace plugtest {

// The configuration the real plug-in uses: 4 parameters, 1 preset, "1-1 2-2", version 1.0.0.
inline plug::Config TovraConfig() {
  plug::Config c;
  c.nParams = 4;
  c.nPresets = 1;
  c.channelIOStr = "1-1 2-2";
  c.pluginName = "TovraSat";
  c.productName = "TovraSat";
  c.mfrName = "Morvika";
  c.vendorVersion = 0x10000;
  c.uniqueID = plug::MakeFourCC("TSat");
  c.mfrID = plug::MakeFourCC("Mrvk");
  c.plugHasUI = true;
  c.plugWidth = 222;
  c.plugHeight = 666;
  c.plugMinWidth = 74;
  c.plugMaxWidth = 666;
  c.plugMinHeight = 222;
  c.plugMaxHeight = 1998;
  return c;
}

// What the plug-in records, in call order.
struct Event {
  enum Kind {
    kBeginGesture,
    kInformHost,
    kEndGesture,
    kPresetChange,
    kParamChange,
    kParamChangeUI,
    kFromDelegate,
    kMidiFromDelegate,
    kSysExFromDelegate,
    kIdle,
    kHostSpecificInit,
    kHostIdentified
  };
  Event(Kind k, int i = -1, double v = 0.0, int e = 0) : kind(k), idx(i), value(v), extra(e) {}

  Kind kind;
  int idx;
  double value;
  int extra;  // the source, the normalised flag or a message size

  bool operator==(const Event&) const = default;
};

class TestPlugin : public plug::IPluginAPIBase, public plug::IPluginProcessor {
 public:
  explicit TestPlugin(const plug::Config& config = TovraConfig())
      : IPluginAPIBase(config, plug::kAPIAU), IPluginProcessor(config) {}

  // The four parameters of the real plug-in.
  void InitTovraParams() {
    GetParam(0)->InitDouble("Gain", 24.0, 0.0, 100.0, 1.0, "%");
    GetParam(1)->InitDouble("Output Trim", 0.0, -24.0, 12.0, 0.1, "dB");
    GetParam(2)->InitBool("48V", true);
    GetParam(3)->InitBool("Bypass", false);
    GetParam(2)->SetDisplayText(0.0, "Off");
    GetParam(2)->SetDisplayText(1.0, "On");
  }

  // Host side.
  void BeginInformHostOfParamChange(int idx) override { Record({Event::kBeginGesture, idx}); }
  void InformHostOfParamChange(int idx, double normalized) override {
    Record({Event::kInformHost, idx, normalized});
  }
  void EndInformHostOfParamChange(int idx) override { Record({Event::kEndGesture, idx}); }
  void InformHostOfPresetChange() override { Record({Event::kPresetChange}); }
  bool SendMidiMsg(const plug::IMidiMsg& msg) noexcept override {
    if (mMidiSent < kMaxSent) mMidiOut[mMidiSent] = msg;
    ++mMidiSent;
    return mMidiSendResult;
  }
  bool SendSysEx(const plug::ISysEx&) noexcept override {
    ++mSysExSent;
    return true;
  }

  // Plug-in and editor side.
  using IPluginAPIBase::OnParamChange;  // keep the three-argument form visible
  void OnParamChange(int idx) override { Record({Event::kParamChange, idx}); }
  void OnParamChangeUI(int idx, plug::EParamSource source) override {
    Record({Event::kParamChangeUI, idx, 0.0, static_cast<int>(source)});
  }
  void SendParameterValueFromDelegate(int idx, double value, bool normalized) override {
    if (mOnFromDelegate) {
      mOnFromDelegate(idx, value, normalized);  // the threaded test checks here, records nothing
      return;
    }
    Record({Event::kFromDelegate, idx, value, normalized ? 1 : 0});
    IPluginAPIBase::SendParameterValueFromDelegate(idx, value, normalized);
  }
  void SendMidiMsgFromDelegate(const plug::IMidiMsg& msg) override {
    Record({Event::kMidiFromDelegate, -1, 0.0, msg.mStatus});
  }
  void SendSysexMsgFromDelegate(const plug::ISysEx& msg) override {
    Record({Event::kSysExFromDelegate, -1, 0.0, msg.mSize});
  }
  void OnIdle() override { Record({Event::kIdle}); }
  void HostSpecificInit() override { Record({Event::kHostSpecificInit}); }
  void OnHostIdentified() override { Record({Event::kHostIdentified}); }

  // Render side: remembers what ProcessBlock was handed, then does the default copy.
  void ProcessBlock(double** inputs, double** outputs, int nFrames) noexcept override {
    mLastInputs = inputs;
    mLastOutputs = outputs;
    mLastFrames = nFrames;
    for (int i = 0; i < 2; ++i) {
      mSeenOut[i] = (outputs != nullptr && i < MaxNChannels(plug::kOutput)) ? outputs[i] : nullptr;
      mSeenIn[i] = (inputs != nullptr && i < MaxNChannels(plug::kInput)) ? inputs[i] : nullptr;
    }
    IPluginProcessor::ProcessBlock(inputs, outputs, nFrames);
  }

  std::vector<Event> TakeEvents() {
    std::vector<Event> events;
    events.swap(mEvents);
    return events;
  }

  static constexpr int kMaxSent = 64;
  std::vector<Event> mEvents;
  std::function<void(int, double, bool)> mOnFromDelegate;
  plug::IMidiMsg mMidiOut[kMaxSent];
  int mMidiSent = 0;
  bool mMidiSendResult = true;
  int mSysExSent = 0;
  double** mLastInputs = nullptr;
  double** mLastOutputs = nullptr;
  int mLastFrames = -1;
  double* mSeenIn[2] = {nullptr, nullptr};
  double* mSeenOut[2] = {nullptr, nullptr};

 private:
  void Record(const Event& e) { mEvents.push_back(e); }
};

}  // namespace plugtest
