// WrapperTest.cpp: the Audio Unit wrapper driven directly with small plug-ins of other shapes
// (parameter kinds, groups, channel configurations) than TovraSat's, through its component methods.
#include <AudioToolbox/AudioUnitProperties.h>
#include <TovraSdk/HostBundle.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "plug/au/IPluginAU.h"

namespace {

using plug::IParam;

plug::Config ProbeConfig(const char* channels, int nParams, int plugType) {
  plug::Config config;
  config.nParams = nParams;
  config.channelIOStr = channels;
  config.pluginName = "Probe";
  config.uniqueID = 0x50726F62;  // 'Prob'
  config.mfrID = 0x54657374;     // 'Test'
  config.plugType = plugType;
  return config;
}

class ProbePlug final : public plug::IPluginAU {
 public:
  ProbePlug(const char* channels, int nParams, int plugType = 0)
      : plug::IPluginAU(ProbeConfig(channels, nParams, plugType), plug::InstanceInfo{}) {}
  using plug::IPluginAU::SetTailSize;
  // Output channel c carries c + 1 plus input channel 0 (0 when absent).
  void ProcessBlock(double** inputs, double** outputs, int nFrames) noexcept override {
    ++mBlocks;
    for (int c = 0; c < MaxNChannels(plug::kOutput); ++c) {
      if (outputs[c] == nullptr) continue;
      for (int i = 0; i < nFrames; ++i)
        outputs[c][i] = c + 1 + (inputs[0] != nullptr ? inputs[0][i] : 0.0);
    }
  }
  int mBlocks = 0;
};

// One Render on an output bus into two host channels of kFrames, at a valid sample time.
template <UInt32 kFrames>
OSStatus RenderStereo(plug::IPluginAU& plug, float (&out)[2][kFrames], UInt32 bus = 0,
                      Float64 sampleTime = 0.0) {
  struct {
    UInt32 n = 2;
    AudioBuffer buffers[2];
  } list{2, {{1, sizeof out[0], out[0]}, {1, sizeof out[1], out[1]}}};
  AudioTimeStamp stamp{};
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  stamp.mSampleTime = sampleTime;
  return plug.Render(nullptr, &stamp, bus, kFrames, reinterpret_cast<AudioBufferList*>(&list));
}

std::string Utf8(CFStringRef s) {
  if (s == nullptr) return "<null>";
  char buf[256];
  return CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8) ? std::string(buf)
                                                                       : std::string("<bad>");
}

TEST(AuWrapper, ParameterIDNameCutsWholeCharacters) {
  ProbePlug plug("2-2", 1);
  plug.GetParam(0)->InitDouble("Größe Ω", 0.0, 0.0, 1.0, 0.01);
  struct Case {
    SInt32 desired;
    const char* name;
  };
  for (const Case& c : {Case{2, "Gr"}, Case{3, "Grö"}, Case{0, ""}, Case{4, "Grö\xC3\x9F"},
                        Case{kAudioUnitParameterName_Full, "Größe Ω"}, Case{40, "Größe Ω"}}) {
    SCOPED_TRACE(c.desired);
    AudioUnitParameterIDName request{0, c.desired, nullptr};
    UInt32 size = sizeof request;
    ASSERT_EQ(plug.GetProperty(kAudioUnitProperty_ParameterIDName, kAudioUnitScope_Global, 0,
                               &request, &size),
              noErr);
    EXPECT_EQ(Utf8(request.outName), c.name);
    if (request.outName != nullptr) CFRelease(request.outName);
  }
}

constexpr AudioUnitParameterOptions kBase =
    kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
    kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_IsHighResolution |
    kAudioUnitParameterFlag_CFNameRelease;

TEST(AuWrapper, ParameterInfoOfEveryKind) {
  ProbePlug plug("2-2", 7);
  plug.GetParam(0)->InitGain("Level", -6.0, -60.0, 6.0, 0.1, 0, "Out");
  plug.GetParam(1)->InitFrequency("Cutoff", 1000.0, 20.0, 20000.0, 1.0, 0, "Filter");
  plug.GetParam(2)->InitDouble("Drive", 0.5, 0.0, 1.0, 0.01, "", IParam::kFlagCannotAutomate, "Out",
                               IParam::ShapePowCurve(3.0));
  plug.GetParam(3)->InitInt("Steps", 3, 1, 8, "", IParam::kFlagMeta);
  plug.GetParam(4)->InitEnum("Mode", 1, {"A", "B", "C"});
  plug.GetParam(5)->InitDouble("Amount", 0.25, 0.0, 1.0, 0.01, "", 0, "", IParam::ShapeLinear{},
                               IParam::kUnitCustom);
  plug.GetParam(6)->InitDouble("Decay", 10.0, 1.0, 1000.0, 1.0, "ms", 0, "", IParam::ShapeExp{},
                               IParam::kUnitMilliseconds);
  struct Expected {
    AudioUnitParameterUnit unit;
    AudioUnitParameterOptions flags;
    UInt32 clump;
    float min, max, def;
  };
  const Expected table[] = {
      {kAudioUnitParameterUnit_Decibels, kBase | kAudioUnitParameterFlag_HasClump, 1, -60.0f, 6.0f,
       -6.0f},
      {kAudioUnitParameterUnit_Hertz,
       kBase | kAudioUnitParameterFlag_HasClump | kAudioUnitParameterFlag_DisplayLogarithmic, 2,
       20.0f, 20000.0f, 1000.0f},
      {kAudioUnitParameterUnit_Generic,
       kBase | kAudioUnitParameterFlag_HasClump | kAudioUnitParameterFlag_NonRealTime |
           kAudioUnitParameterFlag_DisplayCubeRoot,  // exponent 3: display type 6
       1, 0.0f, 1.0f, 0.5f},
      {kAudioUnitParameterUnit_Indexed, kBase | kAudioUnitParameterFlag_IsElementMeta, 0, 1.0f,
       8.0f, 3.0f},
      {kAudioUnitParameterUnit_Indexed, kBase | kAudioUnitParameterFlag_ValuesHaveStrings, 0, 0.0f,
       2.0f, 1.0f},
      {kAudioUnitParameterUnit_Generic, kBase, 0, 0.0f, 1.0f, 0.25f},
      {kAudioUnitParameterUnit_Milliseconds, kBase | kAudioUnitParameterFlag_DisplayLogarithmic, 0,
       1.0f, 1000.0f, 10.0f},
  };
  for (UInt32 i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    AudioUnitParameterInfo info{};
    UInt32 size = sizeof info;
    ASSERT_EQ(
        plug.GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, i, &info, &size),
        noErr);
    EXPECT_EQ(info.unit, table[i].unit);
    EXPECT_EQ(info.flags, table[i].flags);
    EXPECT_EQ(info.clumpID, table[i].clump);
    EXPECT_EQ(info.minValue, table[i].min);
    EXPECT_EQ(info.maxValue, table[i].max);
    EXPECT_EQ(info.defaultValue, table[i].def);
    EXPECT_EQ(info.unitName, nullptr);
    CFRelease(info.cfNameString);
  }
  // Clump IDs name the groups in the order they were first reported.
  for (const auto& [id, name] : {std::pair<UInt32, const char*>{1, "Out"}, {2, "Filter"}}) {
    AudioUnitParameterIDName request{id, kAudioUnitParameterName_Full, nullptr};
    UInt32 size = sizeof request;
    ASSERT_EQ(plug.GetProperty(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0,
                               &request, &size),
              noErr);
    EXPECT_EQ(Utf8(request.outName), name);
    CFRelease(request.outName);
  }
  CFArrayRef strings = nullptr;
  UInt32 size = sizeof strings;
  ASSERT_EQ(plug.GetProperty(kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, 4,
                             &strings, &size),
            noErr);
  ASSERT_EQ(CFArrayGetCount(strings), 3);
  EXPECT_EQ(Utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, 2))), "C");
  CFRelease(strings);
}

TEST(AuWrapper, TailTime) {
  ProbePlug plug("2-2", 0);
  const Float64 rate = 44100.0;
  ASSERT_EQ(plug.SetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate,
                             sizeof rate),
            noErr);
  for (const auto& [tail, seconds] : {std::pair<int, Float64>{4410, 0.1},
                                      {0, 0.0},
                                      {INT_MAX, std::numeric_limits<Float64>::infinity()}}) {
    plug.SetTailSize(tail);
    Float64 value = -1.0;
    UInt32 size = sizeof value;
    ASSERT_EQ(
        plug.GetProperty(kAudioUnitProperty_TailTime, kAudioUnitScope_Global, 0, &value, &size),
        noErr);
    EXPECT_EQ(value, seconds) << tail;
  }
}

TEST(AuWrapper, ChannelConfigurationsAndLayoutTags) {
  ProbePlug plug("1-1 2-2 4-4 6-8 *-2", 0);
  std::vector<AUChannelInfo> channels(5);
  UInt32 size = static_cast<UInt32>(channels.size() * sizeof(AUChannelInfo));
  ASSERT_EQ(plug.GetProperty(kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0,
                             channels.data(), &size),
            noErr);
  const SInt16 expected[5][2] = {{1, 1}, {2, 2}, {4, 4}, {6, 8}, {-1, 2}};
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(channels[static_cast<std::size_t>(c)].inChannels, expected[c][0]) << c;
    EXPECT_EQ(channels[static_cast<std::size_t>(c)].outChannels, expected[c][1]) << c;
  }
  const auto tag = [](UInt32 layout, UInt32 n) { return (layout << 16) | n; };
  struct Case {
    AudioUnitScope scope;
    std::vector<AudioChannelLayoutTag> tags;
  };
  for (const Case& c : {Case{kAudioUnitScope_Output,
                             {tag(100, 1), tag(101, 2), tag(108, 4), tag(107, 4), tag(190, 4),
                              tag(128, 8), tag(126, 8)}},
                        Case{kAudioUnitScope_Input,
                             {tag(100, 1), tag(101, 2), tag(108, 4), tag(107, 4), tag(190, 4),
                              tag(121, 6), tag(139, 6), tag(147, 0)}}}) {
    SCOPED_TRACE(c.scope);
    UInt32 bytes = 0;
    Boolean writable = true;
    ASSERT_EQ(plug.GetPropertyInfo(kAudioUnitProperty_SupportedChannelLayoutTags, c.scope, 0,
                                   &bytes, &writable),
              noErr);
    std::vector<AudioChannelLayoutTag> tags(bytes / sizeof(AudioChannelLayoutTag));
    ASSERT_EQ(plug.GetProperty(kAudioUnitProperty_SupportedChannelLayoutTags, c.scope, 0,
                               tags.data(), &bytes),
              noErr);
    EXPECT_EQ(tags, c.tags);
  }
  struct CountCase {
    int n;
    std::vector<UInt32> layouts;
  };
  for (const CountCase& c :
       {CountCase{3, {113}}, CountCase{5, {118}}, CountCase{7, {125, 140}}, CountCase{9, {190}},
        CountCase{10, {196}}, CountCase{11, {147}}, CountCase{12, {192}}, CountCase{15, {147}},
        CountCase{16, {190}}, CountCase{17, {147}}}) {
    AudioChannelLayoutTag tags[3] = {};
    ASSERT_EQ(plug::IPluginAU::LayoutTagsForChannelCount(c.n, tags),
              static_cast<int>(c.layouts.size()))
        << c.n;
    for (std::size_t i = 0; i < c.layouts.size(); ++i)
      EXPECT_EQ(tags[i], tag(c.layouts[i], static_cast<UInt32>(c.n))) << c.n;
  }
}

OSStatus HalfInput(void* pulls, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                   UInt32 frames, AudioBufferList* list) {
  ++*static_cast<int*>(pulls);
  for (UInt32 b = 0; b < list->mNumberBuffers; ++b) {
    auto* data = static_cast<float*>(list->mBuffers[b].mData);
    for (UInt32 i = 0; i < frames; ++i) data[i] = 0.5f;
  }
  return noErr;
}

// Two stereo output buses: the block runs once the last of the connected run of buses from 0 is
// rendered, and the inputs are pulled once per time stamp.
TEST(AuWrapper, TwoOutputBuses) {
  ProbePlug plug("2-2 2-2.2", 0);
  int pulls = 0;
  const AURenderCallbackStruct input{&HalfInput, &pulls};
  ASSERT_EQ(plug.SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input,
                             sizeof input),
            noErr);
  AudioStreamBasicDescription format{};
  UInt32 size = sizeof format;
  ASSERT_EQ(
      plug.GetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format, &size),
      noErr);
  format.mChannelsPerFrame = 2;
  ASSERT_EQ(plug.SetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format,
                             sizeof format),
            noErr);
  ASSERT_EQ(plug.SetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 1, &format,
                             sizeof format),
            noErr);
  ASSERT_EQ(plug.Initialize(), noErr);

  constexpr UInt32 kFrames = 8;
  float bus0[2][kFrames] = {};
  float bus1[2][kFrames] = {};

  // Bus 1 not yet connected: bus 0 ends the run and processes.
  ASSERT_EQ(RenderStereo(plug, bus0, 0), noErr);
  EXPECT_EQ(plug.mBlocks, 1);
  EXPECT_EQ(pulls, 1);
  EXPECT_EQ(bus0[0][3], 1.5f);
  EXPECT_EQ(bus0[1][3], 2.5f);
  // Same time stamp on bus 1: no second pull, and now bus 1 ends the run.
  ASSERT_EQ(RenderStereo(plug, bus1, 1), noErr);
  EXPECT_EQ(pulls, 1);
  EXPECT_EQ(plug.mBlocks, 2);
  EXPECT_EQ(bus1[0][3], 3.5f);
  EXPECT_EQ(bus1[1][3], 4.5f);
  // Next time stamp: bus 0 is no longer the last connected bus, so it pulls but does not process.
  ASSERT_EQ(RenderStereo(plug, bus0, 0, kFrames), noErr);
  EXPECT_EQ(pulls, 2);
  EXPECT_EQ(plug.mBlocks, 2);
  ASSERT_EQ(RenderStereo(plug, bus1, 1, kFrames), noErr);
  EXPECT_EQ(pulls, 2);
  EXPECT_EQ(plug.mBlocks, 3);
}

// An upstream unit as the host's component layer sees it: the plug-in interface first, answering
// the stream format, optionally a fast render function, and Render.
struct FakeSource {
  AudioComponentPlugInInterface iface;
  bool fast = false;
  UInt32 channels = 2;
  int slowCalls = 0;
  int fastCalls = 0;
  UInt32 lastBus = 99;

  static OSStatus Fill(FakeSource* self, UInt32 bus, UInt32 frames, AudioBufferList* list,
                       float value) {
    self->lastBus = bus;
    for (UInt32 b = 0; b < list->mNumberBuffers; ++b) {
      auto* data = static_cast<float*>(list->mBuffers[b].mData);
      for (UInt32 i = 0; i < frames; ++i) data[i] = value;
    }
    return noErr;
  }
  static OSStatus SlowRender(void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                             UInt32 bus, UInt32 frames, AudioBufferList* list) {
    ++static_cast<FakeSource*>(self)->slowCalls;
    return Fill(static_cast<FakeSource*>(self), bus, frames, list, 0.25f);
  }
  static OSStatus FastRender(void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                             UInt32 bus, UInt32 frames, AudioBufferList* list) {
    ++static_cast<FakeSource*>(self)->fastCalls;
    return Fill(static_cast<FakeSource*>(self), bus, frames, list, 0.75f);
  }
  static OSStatus GetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement, void* data, UInt32* size) {
    auto* source = static_cast<FakeSource*>(self);
    if (id == kAudioUnitProperty_StreamFormat && scope == kAudioUnitScope_Output) {
      AudioStreamBasicDescription format{};
      format.mSampleRate = 48000.0;
      format.mFormatID = kAudioFormatLinearPCM;
      format.mFormatFlags = 41;
      format.mBytesPerPacket = format.mBytesPerFrame = 4;
      format.mFramesPerPacket = 1;
      format.mBitsPerChannel = 32;
      format.mChannelsPerFrame = source->channels;
      std::memcpy(data, &format, sizeof format);
      *size = sizeof format;
      return noErr;
    }
    if (id == kAudioUnitProperty_FastDispatch && source->fast) {
      const AudioUnitRenderProc proc = &FastRender;
      std::memcpy(data, &proc, sizeof proc);
      *size = sizeof proc;
      return noErr;
    }
    return kAudioUnitErr_InvalidProperty;
  }
  static AudioComponentMethod Lookup(SInt16 selector) {
    if (selector == kAudioUnitGetPropertySelect)
      return reinterpret_cast<AudioComponentMethod>(&GetProperty);
    if (selector == kAudioUnitRenderSelect)
      return reinterpret_cast<AudioComponentMethod>(&SlowRender);
    return nullptr;
  }
  FakeSource() : iface{nullptr, nullptr, &Lookup, nullptr} {}
  AudioUnit Unit() { return reinterpret_cast<AudioUnit>(this); }
};

TEST(AuWrapper, ConnectionsToUpstreamUnits) {
  struct Case {
    const char* what;
    bool fast;
    UInt32 channels;
    OSStatus status;
    int inputType;
    float in;  // what the block sees on input 0
  };
  for (const Case& c : {Case{"fast", true, 2, noErr, plug::IPluginAU::kDirectFastProc, 0.75f},
                        Case{"slow", false, 2, noErr, plug::IPluginAU::kDirectNoFastProc, 0.25f},
                        Case{"three channels", true, 3, kAudioUnitErr_InvalidProperty,
                             plug::IPluginAU::kNotConnected, 0.0f}}) {
    SCOPED_TRACE(c.what);
    FakeSource source;
    source.fast = c.fast;
    source.channels = c.channels;
    ProbePlug plug("1-1 2-2", 0);
    const AudioUnitConnection connection{source.Unit(), 1, 0};
    EXPECT_EQ(plug.SetProperty(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0,
                               &connection, sizeof connection),
              c.status);
    EXPECT_EQ(plug.GetInputType(0), c.inputType);
    ASSERT_EQ(plug.Initialize(), noErr);

    float out[2][4] = {};
    ASSERT_EQ(RenderStereo(plug, out), noErr);
    EXPECT_EQ(out[0][2], 1.0f + c.in);
    EXPECT_EQ(out[1][2], 2.0f + c.in);
    EXPECT_EQ(source.fastCalls, c.inputType == plug::IPluginAU::kDirectFastProc ? 1 : 0);
    EXPECT_EQ(source.slowCalls, c.inputType == plug::IPluginAU::kDirectNoFastProc ? 1 : 0);
    if (c.status == noErr) {
      EXPECT_EQ(source.lastBus, 1u);  // the source's output bus
    }
  }
}

// The host is identified once: from the application's bundle at the first Initialize, or earlier
// through kAudioUnitProperty_AUHostIdentifier.
TEST(AuWrapper, HostIdentification) {
  struct Case {
    const char* identifier;
    const char* version;
    const char* name;
    int packed;
  };
  for (const Case& c :
       {Case{"com.example.daw", "12.3.45", "com.example.daw", 12 << 16 | 3 << 8 | 45},
        Case{"com.example.daw", "7.1", "com.example.daw", 7 << 16 | 1 << 8},
        Case{"com.example.daw", nullptr, "com.example.daw", 0}, Case{nullptr, "3.2.1", "", 0}}) {
    SCOPED_TRACE(c.version != nullptr ? c.version : "no version");
    TovraSdkSetMainBundle(c.identifier, c.version, nullptr);
    ProbePlug plug("2-2", 0);
    ASSERT_EQ(plug.Initialize(), noErr);
    EXPECT_STREQ(plug.GetRawHostName(), c.name);
    EXPECT_EQ(plug.GetHostVersion(false), c.packed);
    EXPECT_GE(plug.GetHost(), 0);
  }
  TovraSdkSetMainBundle("com.example.daw", "9.9.9", nullptr);
  ProbePlug plug("2-2", 0);
  const AUHostIdentifier identifier{CFSTR("Some Host"), {0, 0, 0x25, 4}};
  ASSERT_EQ(plug.SetProperty(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0,
                             &identifier, sizeof identifier),
            noErr);
  ASSERT_EQ(plug.Initialize(), noErr);  // already identified: the bundle is not read
  EXPECT_STREQ(plug.GetRawHostName(), "Some Host");
  EXPECT_EQ(plug.GetHostVersion(false), 4 << 16 | 2 << 8 | 5);
  const AUHostIdentifier later{CFSTR("Other"), {0, 0, 0x11, 1}};
  ASSERT_EQ(plug.SetProperty(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, &later,
                             sizeof later),
            noErr);
  EXPECT_STREQ(plug.GetRawHostName(), "Some Host");
  TovraSdkSetMainBundle(nullptr, nullptr, nullptr);
}

struct Heard {
  plug::IPluginAU* plug = nullptr;
  std::vector<std::pair<AudioUnitPropertyID, Float64>> calls;  // ID and the latency then read
};

void Listener(void* userData, AudioUnit, AudioUnitPropertyID id, AudioUnitScope scope,
              AudioUnitElement element) {
  auto* heard = static_cast<Heard*>(userData);
  EXPECT_EQ(scope, kAudioUnitScope_Global);
  EXPECT_EQ(element, 0u);
  Float64 latency = -1.0;
  UInt32 size = sizeof latency;
  heard->plug->GetProperty(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &latency, &size);
  heard->calls.emplace_back(id, latency);
}

TEST(AuWrapper, PropertyListeners) {
  ProbePlug plug("2-2", 0);
  const Float64 rate = 1000.0;
  ASSERT_EQ(plug.SetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate,
                             sizeof rate),
            noErr);
  Heard a{&plug, {}};
  Heard b{&plug, {}};
  for (AudioUnitPropertyID id :
       {kAudioUnitProperty_Latency, kAudioUnitProperty_ParameterList,
        kAudioUnitProperty_ParameterInfo, kAudioUnitProperty_PresentPreset}) {
    ASSERT_EQ(plug.AddPropertyListener(id, &Listener, &a), noErr);
  }
  ASSERT_EQ(plug.AddPropertyListener(kAudioUnitProperty_Latency, &Listener, &b), noErr);

  // Listeners hear the latency change before it is stored.
  plug.SetLatency(250);
  ASSERT_EQ(a.calls.size(), 1u);
  EXPECT_EQ(a.calls[0], (std::pair<AudioUnitPropertyID, Float64>{kAudioUnitProperty_Latency, 0.0}));
  ASSERT_EQ(b.calls.size(), 1u);
  plug.InformHostOfParameterDetailsChange();
  plug.InformHostOfPresetChange();
  ASSERT_EQ(a.calls.size(), 4u);
  EXPECT_EQ(a.calls[1].first, kAudioUnitProperty_ParameterList);
  EXPECT_EQ(a.calls[2].first, kAudioUnitProperty_ParameterInfo);
  EXPECT_EQ(a.calls[3].first, kAudioUnitProperty_PresentPreset);

  // Removal with user data takes only that listener; without, every one of that function.
  ASSERT_EQ(plug.RemovePropertyListener(kAudioUnitProperty_Latency, &Listener, &b, true), noErr);
  plug.SetLatency(0);
  EXPECT_EQ(a.calls.size(), 5u);
  EXPECT_EQ(a.calls[4].second, 0.25);
  EXPECT_EQ(b.calls.size(), 1u);
  ASSERT_EQ(plug.AddPropertyListener(kAudioUnitProperty_Latency, &Listener, &b), noErr);
  ASSERT_EQ(plug.RemovePropertyListener(kAudioUnitProperty_Latency, &Listener, nullptr, false),
            noErr);
  plug.SetLatency(10);
  EXPECT_EQ(a.calls.size(), 5u);
  EXPECT_EQ(b.calls.size(), 1u);
}

OSStatus Silence(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                 AudioBufferList*) {
  return noErr;
}

// A mono output beside an input the connection made stereo fits no configuration.
TEST(AuWrapper, InitializeRefusesAnIllegalChannelCount) {
  ProbePlug plug("1-1 2-2", 0);
  AudioStreamBasicDescription format{};
  UInt32 size = sizeof format;
  ASSERT_EQ(
      plug.GetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, &size),
      noErr);
  format.mChannelsPerFrame = 1;
  ASSERT_EQ(plug.SetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format,
                             sizeof format),
            noErr);
  EXPECT_EQ(plug.Initialize(), noErr);  // input unset: any count matches
  plug.Uninitialize();
  const AURenderCallbackStruct input{&Silence, nullptr};
  ASSERT_EQ(plug.SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input,
                             sizeof input),
            noErr);
  EXPECT_EQ(plug.GetHostChannels(plug::kInput, 0), 2);
  EXPECT_EQ(plug.Initialize(), badComponentInstance);
  EXPECT_FALSE(plug.IsActive());
}

// What depends on the kind of plug-in: instruments count one instrument, a MIDI effect renders no
// audio (no input pulled, no block), and no editor means no Cocoa view.
TEST(AuWrapper, KindsOfPlugIn) {
  struct Case {
    const char* what;
    int plugType;
    OSStatus instrumentCount;
    int pulls;
    int blocks;
  };
  for (const Case& c :
       {Case{"effect", 0, kAudioUnitErr_InvalidProperty, 1, 1}, Case{"instrument", 1, noErr, 1, 1},
        Case{"MIDI effect", 2, kAudioUnitErr_InvalidProperty, 0, 0}}) {
    SCOPED_TRACE(c.what);
    ProbePlug plug("2-2", 0, c.plugType);
    UInt32 count = 0;
    UInt32 size = sizeof count;
    EXPECT_EQ(plug.GetProperty(kMusicDeviceProperty_InstrumentCount, kAudioUnitScope_Global, 0,
                               &count, &size),
              c.instrumentCount);
    if (c.instrumentCount == noErr) {
      EXPECT_EQ(count, 1u);
    }
    AudioUnitCocoaViewInfo view{};
    size = sizeof view;
    EXPECT_EQ(plug.GetProperty(kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &view, &size),
              kAudioUnitErr_InvalidProperty);

    int pulls = 0;
    const AURenderCallbackStruct input{&HalfInput, &pulls};
    ASSERT_EQ(plug.SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                               &input, sizeof input),
              noErr);
    ASSERT_EQ(plug.Initialize(), noErr);
    float out[2][4] = {};
    ASSERT_EQ(RenderStereo(plug, out), noErr);
    EXPECT_EQ(pulls, c.pulls);
    EXPECT_EQ(plug.mBlocks, c.blocks);
  }
}

}  // namespace
