// IPluginAU's parameter properties: the parameter list and info, value strings, names, clumps and
// the conversions between values and text.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "plug/au/AUValues.h"
#include "plug/au/IPluginAUProperties.h"

namespace plug {

using namespace auvalues;

namespace {

AudioUnitParameterUnit AUUnit(IParam::EParamUnit unit) {
  switch (unit) {
    case IParam::kUnitPercentage:
      return kAudioUnitParameterUnit_Percent;
    case IParam::kUnitSeconds:
      return kAudioUnitParameterUnit_Seconds;
    case IParam::kUnitMilliseconds:
      return kAudioUnitParameterUnit_Milliseconds;
    case IParam::kUnitSamples:
      return kAudioUnitParameterUnit_SampleFrames;
    case IParam::kUnitDB:
      return kAudioUnitParameterUnit_Decibels;
    case IParam::kUnitLinearGain:
      return kAudioUnitParameterUnit_LinearGain;
    case IParam::kUnitPan:
      return kAudioUnitParameterUnit_Pan;
    case IParam::kUnitPhase:
      return kAudioUnitParameterUnit_Phase;
    case IParam::kUnitDegrees:
      return kAudioUnitParameterUnit_Degrees;
    case IParam::kUnitMeters:
      return kAudioUnitParameterUnit_Meters;
    case IParam::kUnitRate:
      return kAudioUnitParameterUnit_Rate;
    case IParam::kUnitRatio:
      return kAudioUnitParameterUnit_Ratio;
    case IParam::kUnitFrequency:
      return kAudioUnitParameterUnit_Hertz;
    case IParam::kUnitOctaves:
      return kAudioUnitParameterUnit_Octaves;
    case IParam::kUnitCents:
      return kAudioUnitParameterUnit_Cents;
    case IParam::kUnitAbsCents:
      return kAudioUnitParameterUnit_AbsoluteCents;
    case IParam::kUnitSemitones:
      return kAudioUnitParameterUnit_RelativeSemiTones;
    case IParam::kUnitMIDINote:
      return kAudioUnitParameterUnit_MIDINoteNumber;
    case IParam::kUnitMIDICC:
      return kAudioUnitParameterUnit_MIDIController;
    case IParam::kUnitBPM:
      return kAudioUnitParameterUnit_BPM;
    case IParam::kUnitBeats:
      return kAudioUnitParameterUnit_Beats;
    case IParam::kUnitCustom:
      return kAudioUnitParameterUnit_CustomUnit;
  }
  return kAudioUnitParameterUnit_Generic;
}

AudioUnitParameterOptions DisplayFlag(IParam::EDisplayType type) {
  switch (type) {
    case IParam::kDisplayLinear:
      return 0;
    case IParam::kDisplayLog:
      return kAudioUnitParameterFlag_DisplayLogarithmic;
    case IParam::kDisplayExp:
      return kAudioUnitParameterFlag_DisplayExponential;
    case IParam::kDisplaySquared:
      return kAudioUnitParameterFlag_DisplaySquared;
    case IParam::kDisplaySquareRoot:
      return kAudioUnitParameterFlag_DisplaySquareRoot;
    case IParam::kDisplayCubed:
      return kAudioUnitParameterFlag_DisplayCubed;
    case IParam::kDisplayCubeRoot:
      return kAudioUnitParameterFlag_DisplayCubeRoot;
  }
  return 0;
}

}  // namespace

int IPluginAU::ClumpIDForGroup(const char* group) {
  auto it = std::find(mParamGroups.begin(), mParamGroups.end(), group);
  if (it == mParamGroups.end()) {
    mParamGroups.emplace_back(group);
    it = mParamGroups.end() - 1;
  }
  return static_cast<int>(it - mParamGroups.begin()) + 1;
}

void IPluginAU::FillParameterInfo(int paramIdx, AudioUnitParameterInfo& info) {
  const IParam* param = GetParam(paramIdx);
  info = AudioUnitParameterInfo{};
  std::snprintf(info.name, sizeof info.name, "%s", param->GetName());
  info.cfNameString = MakeCFString(param->GetName());
  info.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
               kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_IsHighResolution |
               kAudioUnitParameterFlag_CFNameRelease;
  if (!param->GetCanAutomate()) info.flags |= kAudioUnitParameterFlag_NonRealTime;
  if (param->GetMeta()) info.flags |= kAudioUnitParameterFlag_IsElementMeta;
  if (param->NDisplayTexts() > 0) info.flags |= kAudioUnitParameterFlag_ValuesHaveStrings;
  info.flags |= DisplayFlag(param->GetDisplayType());

  switch (param->Type()) {
    case IParam::kTypeBool:
      info.unit = kAudioUnitParameterUnit_Boolean;
      break;
    case IParam::kTypeInt:
    case IParam::kTypeEnum:
      info.unit = kAudioUnitParameterUnit_Indexed;
      break;
    default: {
      info.unit = AUUnit(param->Unit());
      if (info.unit == kAudioUnitParameterUnit_CustomUnit) {
        const char* label = param->GetLabel();
        if (label[0] != '\0') {
          info.unitName = MakeCFString(label);
        } else {
          info.unit = kAudioUnitParameterUnit_Generic;
        }
      }
    }
  }
  info.minValue = static_cast<AudioUnitParameterValue>(param->GetMin());
  info.maxValue = static_cast<AudioUnitParameterValue>(param->GetMax());
  info.defaultValue = static_cast<AudioUnitParameterValue>(param->GetDefault());
  const char* group = param->GetGroup();
  if (group[0] != '\0') {
    info.flags |= kAudioUnitParameterFlag_HasClump;
    info.clumpID = static_cast<UInt32>(ClumpIDForGroup(group));
  }
}

// ------------------------------------------------------------------------- the properties

// Other scopes have no parameters: an empty list.
OSStatus IPluginAU::Properties::CheckParameterList(IPluginAU& plug, AudioUnitScope scope,
                                                   AudioUnitElement, UInt32& size) {
  size = scope == kAudioUnitScope_Global ? static_cast<UInt32>(sizeof(AudioUnitParameterID)) *
                                               static_cast<UInt32>(plug.NParams())
                                         : 0;
  return noErr;
}

OSStatus IPluginAU::Properties::GetParameterList(IPluginAU& plug, AudioUnitScope scope,
                                                 AudioUnitElement, void* data) {
  if (scope != kAudioUnitScope_Global) return noErr;
  for (int i = 0; i < plug.NParams(); ++i) {
    const auto pid = static_cast<AudioUnitParameterID>(i);
    std::memcpy(static_cast<UInt8*>(data) + sizeof pid * static_cast<std::size_t>(i), &pid,
                sizeof pid);
  }
  return noErr;
}

OSStatus IPluginAU::Properties::CheckParameter(IPluginAU& plug, AudioUnitScope,
                                               AudioUnitElement element, UInt32&) {
  return element < static_cast<UInt32>(plug.NParams()) ? OSStatus{noErr}
                                                       : OSStatus{kAudioUnitErr_InvalidElement};
}

OSStatus IPluginAU::Properties::GetParameterInfo(IPluginAU& plug, AudioUnitScope,
                                                 AudioUnitElement element, void* data) {
  AudioUnitParameterInfo info;
  plug.FillParameterInfo(static_cast<int>(element), info);
  Write(data, info);
  return noErr;
}

// Only a parameter with display texts has value strings.
OSStatus IPluginAU::Properties::CheckValueStrings(IPluginAU& plug, AudioUnitScope scope,
                                                  AudioUnitElement element, UInt32& size) {
  const OSStatus status = CheckParameter(plug, scope, element, size);
  if (status != noErr) return status;
  return plug.GetParam(static_cast<int>(element))->NDisplayTexts() > 0
             ? OSStatus{noErr}
             : OSStatus{kAudioUnitErr_InvalidProperty};
}

// String i is the text for the value i, empty when no display text has that value.
OSStatus IPluginAU::Properties::GetValueStrings(IPluginAU& plug, AudioUnitScope,
                                                AudioUnitElement element, void* data) {
  const IParam* param = plug.GetParam(static_cast<int>(element));
  const int n = param->NDisplayTexts();
  CFMutableArrayRef strings = CFArrayCreateMutable(nullptr, n, &kCFTypeArrayCallBacks);
  for (int i = 0; i < n; ++i) {
    CFStringRef text = MakeCFString(param->GetDisplayText(static_cast<double>(i)));
    CFArrayAppendValue(strings, text);
    CFRelease(text);
  }
  Write<CFArrayRef>(data, strings);
  return noErr;
}

OSStatus IPluginAU::Properties::GetStringFromValue(IPluginAU& plug, AudioUnitScope,
                                                   AudioUnitElement, void* data) {
  auto request = Read<AudioUnitParameterStringFromValue>(data);
  const IParam* param =
      plug.GetParam(static_cast<int>(std::min<UInt32>(request.inParamID, INT_MAX)));
  if (param == nullptr) return kAudioUnitErr_InvalidParameter;
  const double value =
      request.inValue != nullptr ? static_cast<double>(*request.inValue) : param->Value();
  param->GetDisplay(value, false, plug.mParamValueString, true);
  request.outString = MakeCFString(plug.mParamValueString.c_str());
  Write(data, request);
  return noErr;
}

OSStatus IPluginAU::Properties::GetIDName(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                          void* data) {
  auto request = Read<AudioUnitParameterIDName>(data);
  const IParam* param = plug.GetParam(static_cast<int>(std::min<UInt32>(request.inID, INT_MAX)));
  if (param == nullptr) return kAudioUnitErr_InvalidParameter;
  std::string name = param->GetName();
  if (request.inDesiredLength != kAudioUnitParameterName_Full) {
    // The length counts characters: a cut inside a multi-byte character would leave text that is
    // no UTF-8 at all, and the host would get no name.
    const auto length =
        static_cast<std::size_t>(std::clamp<SInt32>(request.inDesiredLength, 0, 31));
    std::size_t chars = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
      const bool starts = (static_cast<unsigned char>(name[i]) & 0xC0) != 0x80;
      if (starts && chars++ == length) {
        name.resize(i);
        break;
      }
    }
  }
  request.outName = MakeCFString(name.c_str());
  Write(data, request);
  return noErr;
}

OSStatus IPluginAU::Properties::GetClumpName(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                             void* data) {
  auto request = Read<AudioUnitParameterIDName>(data);
  if (request.inID == kAudioUnitClumpID_System) return kAudioUnitErr_PropertyNotInUse;
  if (request.inID > plug.mParamGroups.size()) return kAudioUnitErr_InvalidPropertyValue;
  request.outName = MakeCFString(plug.mParamGroups[request.inID - 1].c_str());
  Write(data, request);
  return noErr;
}

OSStatus IPluginAU::Properties::GetValueFromString(IPluginAU& plug, AudioUnitScope,
                                                   AudioUnitElement, void* data) {
  auto request = Read<AudioUnitParameterValueFromString>(data);
  const IParam* param =
      plug.GetParam(static_cast<int>(std::min<UInt32>(request.inParamID, INT_MAX)));
  if (param == nullptr) return kAudioUnitErr_InvalidParameter;
  if (request.inString == nullptr) return kAudioUnitErr_InvalidPropertyValue;
  request.outValue =
      static_cast<AudioUnitParameterValue>(param->StringToValue(ToUtf8(request.inString).c_str()));
  Write(data, request);
  return noErr;
}

}  // namespace plug
