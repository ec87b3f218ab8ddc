// IPluginAPIBase: parameter routes, the rings to and from the editor, the idle tick, host look-up.
#include "plug/api/IPluginAPIBase.h"

#include <cctype>
#include <cstring>

namespace plug {

namespace {

struct HostKey {
  const char* key;
  int host;
};

// Searched in this order, so a name holding two keys gets the first one's number ("wavelab
// elements" must come before "wavelab").
constexpr HostKey kHostKeys[] = {
    {"reaper", 1},         {"protools", 2},
    {"cubase", 3},         {"nuendo", 4},
    {"cakewalk", 5},       {"vegas", 6},
    {"fruity", 7},         {"samplitude", 8},
    {"live", 9},           {"tracktion", 10},
    {"ntracks", 11},       {"melodyne", 12},
    {"vstmanlib", 13},     {"aulab", 14},
    {"forte", 15},         {"chainer", 16},
    {"audition", 17},      {"orion", 18},
    {"bias", 19},          {"sawstudio", 20},
    {"logic", 21},         {"garageband", 22},
    {"digital", 23},       {"audiomulch", 25},
    {"presonus", 26},      {"vst3plugintesthost", 27},
    {"ardour", 28},        {"renoise", 29},
    {"openmpt", 30},       {"wavelab elements", 32},
    {"wavelab", 31},       {"twistedwave", 33},
    {"bitwig studio", 34}, {"reason", 36},
    {"gwvst", 37},         {"waveform", 38},
    {"audacity", 39},      {"acoustica", 40},
    {"plugindoctor", 41},  {"izotope rx", 42},
    {"savihost", 43},      {"blue cat's vst host", 44},
    {"mixbus", 45},        {"standalone", 24},
    {"www", 35},
};

constexpr std::size_t kMaxHostNameLength = 255;

bool CopySysEx(const ISysEx& msg, SysExData& data) {
  if (msg.mSize < 0 || msg.mSize > SysExData::kMaxBytes) return false;
  if (msg.mSize > 0 && msg.mData == nullptr) return false;
  data.mOffset = msg.mOffset;
  data.mSize = msg.mSize;
  if (msg.mSize > 0) std::memcpy(data.mData, msg.mData, static_cast<std::size_t>(msg.mSize));
  return true;
}

}  // namespace

IPluginAPIBase::IPluginAPIBase(const Config& config, EAPI api) : IPluginBase(config, api) {}

IPluginAPIBase::~IPluginAPIBase() {
  DestroyTimer();
}

// ------------------------------------------------------------------------ parameter routes

void IPluginAPIBase::SetParameterValue(int paramIdx, double normalizedValue) {
  IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(paramIdx, normalizedValue);
  OnParamChange(paramIdx, kUI, -1);
}

void IPluginAPIBase::SendParameterValueFromUI(int paramIdx, double normalizedValue) {
  IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  SetParameterValue(paramIdx, normalizedValue);
  param->SetNormalized(normalizedValue);
  OnParamChangeUI(paramIdx, kUI);
}

void IPluginAPIBase::BeginInformHostOfParamChangeFromUI(int paramIdx) {
  BeginInformHostOfParamChange(paramIdx);
}

void IPluginAPIBase::EndInformHostOfParamChangeFromUI(int paramIdx) {
  EndInformHostOfParamChange(paramIdx);
}

void IPluginAPIBase::DirtyParametersFromUI() {
  for (int i = 0; i < NParams(); ++i) InformHostOfParamChange(i, GetParam(i)->GetNormalized());
}

bool IPluginAPIBase::SendParameterValueFromAPI(int paramIdx, double value,
                                               bool normalized) noexcept {
  const IParam* param = GetParam(paramIdx);
  if (param == nullptr) return false;
  if (normalized) value = param->FromNormalized(value);
  return mParamChangeFromProcessor.Push(ParamTuple{paramIdx, value});
}

// --------------------------------------------------------------------------- MIDI and SysEx

void IPluginAPIBase::SendMidiMsgFromUI(const IMidiMsg& msg) {
  mMidiMsgsFromEditor.Push(msg);
}

void IPluginAPIBase::SendSysexMsgFromUI(const ISysEx& msg) {
  SysExData data;
  if (CopySysEx(msg, data)) mSysExDataFromEditor.Push(data);
}

bool IPluginAPIBase::PopMidiMsgFromEditor(IMidiMsg& msg) noexcept {
  return mMidiMsgsFromEditor.Pop(msg);
}

bool IPluginAPIBase::PopSysExFromEditor(SysExData& msg) noexcept {
  return mSysExDataFromEditor.Pop(msg);
}

bool IPluginAPIBase::PushMidiMsgToEditor(const IMidiMsg& msg) noexcept {
  return mMidiMsgsFromProcessor.Push(msg);
}

bool IPluginAPIBase::PushSysExToEditor(const ISysEx& msg) noexcept {
  SysExData data;
  return CopySysEx(msg, data) && mSysExDataFromProcessor.Push(data);
}

// ------------------------------------------------------------------------------------ idle

void IPluginAPIBase::CreateTimer() {
  mTimer = Timer::Create([this](Timer& timer) { OnTimer(timer); }, kIdleTimerMs);
}

void IPluginAPIBase::DestroyTimer() {
  mTimer.reset();
}

void IPluginAPIBase::OnTimer(Timer&) {
  ParamTuple change;
  while (mParamChangeFromProcessor.Pop(change)) {
    SendParameterValueFromDelegate(change.idx, change.value, false);
  }
  IMidiMsg msg;
  while (mMidiMsgsFromProcessor.Pop(msg)) SendMidiMsgFromDelegate(msg);
  SysExData sysex;
  while (mSysExDataFromProcessor.Pop(sysex)) {
    SendSysexMsgFromDelegate(ISysEx{sysex.mOffset, sysex.mData, sysex.mSize});
  }
  OnIdle();
}

void IPluginAPIBase::OnIdle() {}

// ------------------------------------------------------------------------------------ host

int IPluginAPIBase::LookUpHost(const char* name) {
  if (name == nullptr) return 0;
  std::string lower(name, strnlen(name, kMaxHostNameLength));
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const HostKey& entry : kHostKeys) {
    if (lower.find(entry.key) != std::string::npos) return entry.host;
  }
  return 0;
}

void IPluginAPIBase::SetHost(const char* name, int version) {
  mRawHostName = name != nullptr ? name : "";
  mHost = LookUpHost(name);
  mHostVersion = version;
  HostSpecificInit();
  OnHostIdentified();
}

int IPluginAPIBase::GetHostVersion(bool decimal) const {
  return decimal ? VersionToDecimal(mHostVersion) : mHostVersion;
}

void IPluginAPIBase::GetHostVersionStr(std::string& str) const {
  VersionToStr(mHostVersion, str);
}

void IPluginAPIBase::OnHostIdentified() {}

void IPluginAPIBase::HostSpecificInit() {}

}  // namespace plug
