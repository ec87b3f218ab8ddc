// TovraSat: configuration, parameters, reset, idle metering, block processing, state and presets.
#include "core/TovraSat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/TovraSatProperties.h"
#include "gfx/IControl.h"
#include "gfx/IGfx.h"
#include "gfx/platform/MakeGfx.h"
#include "plug/FourCC.h"
#include "state/TovraStateChunk.h"
#include "ui/Build.h"

namespace {

constexpr float kMeterFloorDb = -120.0f;
constexpr float kMeterFallDbPerTick = 3.0f;
constexpr float kClipLedFadePerTick = 0.15f;
// A peak at or below this shows as the floor (it is -120 dBFS).
constexpr float kSilentPeak = 1e-6f;

namespace statechunk = tovrasat::statechunk;
static_assert(TovraSat::kNumParams == statechunk::kNumParams,
              "the state chunk holds every parameter, in index order");

}  // namespace

plug::Config TovraSat::MakeConfig(EVariant variant) {
  const bool hq = variant == EVariant::kHq;
  plug::Config config;
  config.nParams = kNumParams;
  config.nPresets = 1;
  config.channelIOStr = "1-1 2-2";
  config.pluginName = hq ? "TovraSat HQ" : "TovraSat";
  config.productName = "TovraSat";
  config.mfrName = "Morvika";
  config.vendorVersion = 0x00010000;  // 1.0.0
  config.uniqueID = plug::MakeFourCC(hq ? "TSHq" : "TSat");
  config.mfrID = plug::MakeFourCC("Mrvk");
  config.latency = hq ? tovrasat::OversampledCrusher::kLatency : 0;
  config.plugDoesMidiIn = false;
  config.plugDoesMidiOut = false;
  config.plugDoesMPE = false;
  config.plugDoesChunks = false;
  config.plugType = 0;
  config.plugHasUI = true;
  config.plugWidth = kEditorWidth;
  config.plugHeight = kEditorHeight;
  config.plugMinWidth = 74;
  config.plugMaxWidth = 666;
  config.plugMinHeight = 222;
  config.plugMaxHeight = 1998;
  config.plugHostResize = false;
  config.bundleID = "com.morvika.audiounit.TovraSat";
  config.appGroupID = "group.com.morvika.shared";
  return config;
}

TovraSat::TovraSat(const plug::InstanceInfo& info, EVariant variant)
    : plug::IPluginAU(MakeConfig(variant), info), mVariant(variant) {
  using plug::IParam;
  const auto& names = statechunk::kParamNames;
  GetParam(kGain)->InitDouble(names[kGain], 24.0, 0.0, 100.0, 1.0, "%", 0, "",
                              IParam::ShapeLinear{}, IParam::kUnitCustom);
  GetParam(kOutputTrim)
      ->InitDouble(names[kOutputTrim], 0.0, -24.0, 12.0, 0.1, "dB", 0, "", IParam::ShapeLinear{},
                   IParam::kUnitCustom);
  GetParam(k48V)->InitBool(names[k48V], true, "", 0, "", "off", "on");
  GetParam(kBypass)->InitBool(names[kBypass], false, "", 0, "", "off", "on");
  // Typed text is matched against all four; the first two stay the ones shown.
  GetParam(k48V)->SetDisplayText(0.0, "Off");
  GetParam(k48V)->SetDisplayText(1.0, "On");

  MakeDefaultPreset("Default", 1);

  mMakeGraphicsFunc = [this]() -> plug::gfx::IGfx* {
    return plug::gfx::MakeGfx(*this, kEditorWidth, kEditorHeight, kEditorFps, mEditorScale);
  };
  mLayoutFunc = [this](plug::gfx::IGfx* graphics) {
    if (graphics->NControls() > 0) {
      // Only resized: the background plate follows the context's new bounds.
      plug::gfx::IControl* background = graphics->GetControl(0);
      background->SetTargetAndDrawRECTs(plug::gfx::IRECT(0.0f, 0.0f,
                                                         static_cast<float>(graphics->Width()),
                                                         static_cast<float>(graphics->Height())));
      background->SetMouseIsOver(false);
      background->OnResize();
      return;
    }
    graphics->EnableTooltips(true);
    TovraUI::Build(graphics, this);
  };
}

TovraSat::~TovraSat() = default;

void TovraSat::HandParamsToChain() noexcept {
  const auto gain = static_cast<float>(GetParam(kGain)->Value() * 0.01);
  const auto trim = static_cast<float>(GetParam(kOutputTrim)->Value());
  const bool phantom = GetParam(k48V)->Value() >= 0.5;
  const bool bypass = GetParam(kBypass)->Value() >= 0.5;
  if (IsHq()) {
    mHqChain.setParams(gain, trim, phantom, bypass);
  } else {
    mCrusher.setParams(gain, trim, phantom, bypass);
  }
}

void TovraSat::OnReset() {
  HandParamsToChain();
  if (IsHq()) {
    mHqChain.prepare(GetSampleRate());
    SetLatency(mHqChain.latency());
  } else {
    mCrusher.prepare(GetSampleRate());
    SetLatency(0);
  }
}

void TovraSat::AdvanceMeter(float peak, bool clipped, float& meterDb, float& clipLed) noexcept {
  const float level = peak > kSilentPeak ? 20.0f * std::log10(peak) : kMeterFloorDb;
  meterDb = std::max(level, meterDb - kMeterFallDbPerTick);
  clipLed = clipped ? 1.0f : std::max(clipLed - kClipLedFadePerTick, 0.0f);
}

void TovraSat::OnIdle() {
  const float peak = mCrusher.peak.exchange(0.0f, std::memory_order_relaxed);
  const bool clipped = mCrusher.clip.exchange(false, std::memory_order_relaxed);
  AdvanceMeter(peak, clipped, mMeterDb, mClipLed);
  if (plug::gfx::IGfx* ui = GetUI()) {
    if (plug::gfx::IControl* meter = ui->GetControlWithTag(kMeterCtrlTag)) {
      meter->SetDirty(false, plug::gfx::IControl::kNoValIdx);
    }
  }
}

void TovraSat::OnRestoreState() {
  IPluginAU::OnRestoreState();
  if (plug::gfx::IGfx* ui = GetUI()) {
    // The name is no parameter, so nothing else tells the bar that it changed.
    if (plug::gfx::IControl* bar = ui->GetControlWithTag(kPresetBarCtrlTag)) {
      bar->SetDirty(false, plug::gfx::IControl::kNoValIdx);
    }
  }
}

void TovraSat::ProcessBlock(double** inputs, double** outputs, int nFrames) noexcept {
  HandParamsToChain();
  const int nIn = NInChansConnected();
  const int nOut = NOutChansConnected();
  if (nFrames < 1) return;

  float inL[kChunkFrames];
  float inR[kChunkFrames];
  float outL[kChunkFrames];
  float outR[kChunkFrames];
  const float* const chainIn[2] = {inL, inR};
  float* const chainOut[2] = {outL, outR};
  const double* srcL = nIn >= 1 && inputs != nullptr ? inputs[0] : nullptr;
  const double* srcR = nIn >= 2 && inputs != nullptr ? inputs[1] : srcL;
  double* dstL = nOut >= 1 && outputs != nullptr ? outputs[0] : nullptr;
  double* dstR = nOut >= 2 && outputs != nullptr ? outputs[1] : nullptr;

  // Stereo out (from a stereo or mono input): the crusher takes the doubles itself, which spares
  // the copies where its chain is settled and gives the same samples as the chunks below.
  if (!IsHq() && srcL != nullptr && srcR != nullptr && dstL != nullptr && dstR != nullptr) {
    const double* const ins[2] = {srcL, srcR};
    double* const outs[2] = {dstL, dstR};
    mCrusher.process(ins, outs, nFrames);
    return;
  }

  // The conversions are plain loops without a test per sample, so the compiler vectorises them.
  const auto narrow = [](const double* src, float* dst, int m) {
    if (src == nullptr) {
      std::fill(dst, dst + m, 0.0f);
      return;
    }
    for (int i = 0; i < m; ++i) dst[i] = static_cast<float>(src[i]);
  };
  for (int offset = 0; offset < nFrames; offset += kChunkFrames) {
    const int m = std::min(kChunkFrames, nFrames - offset);
    narrow(srcL != nullptr ? srcL + offset : nullptr, inL, m);
    narrow(srcR != nullptr ? srcR + offset : nullptr, inR, m);
    if (IsHq()) {
      mHqChain.process(chainIn, chainOut, m);
    } else {
      mCrusher.process(chainIn, chainOut, m);
    }
    if (dstL != nullptr) {
      for (int i = 0; i < m; ++i) dstL[offset + i] = static_cast<double>(outL[i]);
    }
    if (dstR != nullptr) {
      for (int i = 0; i < m; ++i) dstR[offset + i] = static_cast<double>(outR[i]);
    }
  }
}

bool TovraSat::SerializeState(plug::IByteChunk& chunk) const {
  const bool ok = SerializeParams(chunk);
  statechunk::PutEditorState(chunk, mEditorScale, mPresetName);
  return ok;
}

int TovraSat::UnserializeState(const plug::IByteChunk& chunk, int startPos) {
  const int pos = UnserializeParams(chunk, startPos);
  if (pos < 0) return pos;
  statechunk::EditorState editor;
  const int result = statechunk::GetEditorState(chunk, pos, editor);
  if (result == pos) return pos;
  mEditorScale = editor.scale;
  if (editor.hasName) mPresetName = editor.presetName;
  if (plug::gfx::IGfx* ui = GetUI()) {
    ui->Resize(kEditorWidth, kEditorHeight, editor.scale, true);
  } else {
    SetSavedScale(editor.scale);  // or the next opening would return to the zoom it was closed at
  }
  return result;
}

tovrapresets::Values TovraSat::SnapshotPreset() const {
  tovrapresets::Values values;
  values.gain = GetParam(kGain)->Value();
  values.trim = GetParam(kOutputTrim)->Value();
  values.phat = GetParam(k48V)->Value() >= 0.5;
  return values;
}

void TovraSat::ApplyPreset(const std::string& name, const tovrapresets::Values& values) {
  const double preset[3] = {values.gain, values.trim, values.phat ? 1.0 : 0.0};
  for (int i = 0; i < 3; ++i) {
    plug::IParam* param = GetParam(i);
    param->Set(preset[i]);
    BeginInformHostOfParamChange(i);
    SendParameterValueFromUI(i, std::clamp(param->GetNormalized(), 0.0, 1.0));
    EndInformHostOfParamChange(i);
  }
  mPresetName = name;
  for (int i = 0; i < NParams(); ++i) {
    SendParameterValueFromDelegate(i, std::clamp(GetParam(i)->GetNormalized(), 0.0, 1.0), true);
  }
}

OSStatus TovraSat::GetPlugInProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32& size, Boolean& writable,
                                     void* data) {
  if (id != tovrasat::kMeterReadingProperty) {
    return IPluginAU::GetPlugInProperty(id, scope, element, size, writable, data);
  }
  if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
  if (element != 0) return kAudioUnitErr_InvalidElement;
  size = sizeof(tovrasat::MeterReading);
  writable = false;
  if (data != nullptr) {
    const tovrasat::MeterReading reading{mMeterDb, mClipLed};
    std::memcpy(data, &reading, sizeof reading);
  }
  return noErr;
}
