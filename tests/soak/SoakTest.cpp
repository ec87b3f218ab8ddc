// SoakTest.cpp: every thread of a host at once, for minutes: a render thread at real-time pace, a
// host thread automating, and the main thread with idle ticks, state, presets and the editor.
//
// The plug-in is made through its component factory and driven only through the Audio Unit API,
// as a DAW drives it:
//   render thread  AudioUnitRender at the pace of the audio, block sizes varying from 1 to 1024
//                  frames; every output sample must be finite and within the clamp (0.9999 at
//                  +12 dB of trim), and no Render may allocate
//   host thread    AudioUnitSetParameter of all four parameters and AudioUnitScheduleParameters
//                  (immediate events at buffer offsets), values from a fixed set per parameter
//   main thread    the run loop (the 20 ms idle timer, real time), class-info states saved and
//                  restored, user presets saved, loaded, applied and deleted, the editor opened,
//                  drawn offscreen and closed, the meter property read
// State checks: while the host thread pauses, a restored state reads back exactly as written;
// while it runs, every state read back holds only values that were written (a torn or damaged
// state would not). Leaks are LeakSanitizer's business in the sanitizer builds.
//
// It runs TOVRASAT_SOAK_SECONDS seconds (default 2, so every test run has it; ./run.sh soak runs
// it for minutes).
#include <AudioToolbox/AudioUnit.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/TovraSat.h"
#include "core/TovraSatProperties.h"
#include "gfx/platform/OffscreenTarget.h"
#include "plug/au/IPluginAUFactory.h"
#include "state/TovraPresets.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/Environment.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRate = 48000.0;
constexpr UInt32 kMaxFrames = 1024;
// The engine clamps at 0.9999 and the trim adds at most +12 dB; bypass fades to the input, which
// stays below 0.9.
const float kOutputBound = static_cast<float>(0.9999 * std::pow(10.0, 12.0 / 20.0)) + 1e-4f;

// The values the host thread and the main thread write, per parameter.
const std::array<std::vector<double>, 4> kValues = {{
    {0.0, 24.0, 60.0, 100.0},  // Gain (24 and the other defaults among them)
    {-24.0, -6.0, 0.0, 12.0},  // Output Trim
    {0.0, 1.0},                // 48V
    {0.0, 1.0},                // Bypass
}};
const float kZooms[] = {1.0f, 1.25f, 1.5f, 1.75f};

double SoakSeconds() {
  const char* text = std::getenv("TOVRASAT_SOAK_SECONDS");
  const double seconds = text != nullptr ? std::atof(text) : 2.0;
  return seconds > 0.0 ? seconds : 2.0;
}

// A small deterministic generator per thread: the run is the same each time up to scheduling.
struct Lcg {
  std::uint64_t state;
  std::uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
  }
  std::size_t Below(std::size_t n) { return Next() % n; }
};

// The plug-in as its component factory makes it, opened with the block as its instance.
class Component {
 public:
  Component() {
    mInterface = plug::IPluginAUFactory<TovraSat>::Factory(nullptr);
    if (mInterface != nullptr &&
        mInterface->Open(mInterface, reinterpret_cast<AudioComponentInstance>(mInterface)) ==
            noErr) {
      mPlugin = static_cast<TovraSat*>(plug::IPluginAU::FromSelf(mInterface));
    }
  }
  ~Component() {
    if (mInterface != nullptr) mInterface->Close(mInterface);
  }
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  TovraSat* Plugin() const { return mPlugin; }
  AudioUnit Unit() const { return reinterpret_cast<AudioUnit>(mInterface); }

 private:
  AudioComponentPlugInInterface* mInterface = nullptr;
  TovraSat* mPlugin = nullptr;
};

AudioStreamBasicDescription FloatFormat() {
  AudioStreamBasicDescription f{};
  f.mSampleRate = kRate;
  f.mFormatID = kAudioFormatLinearPCM;
  f.mFormatFlags =
      kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
  f.mBytesPerPacket = 4;
  f.mFramesPerPacket = 1;
  f.mBytesPerFrame = 4;
  f.mChannelsPerFrame = 2;
  f.mBitsPerChannel = 32;
  return f;
}

// The input: two detuned sines below 0.9, continuous across blocks.
struct InputSignal {
  double phase = 0.0;
  static OSStatus Render(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                         UInt32 frames, AudioBufferList* data) noexcept {
    auto* self = static_cast<InputSignal*>(refCon);
    for (UInt32 c = 0; c < data->mNumberBuffers; ++c) {
      auto* out = static_cast<float*>(data->mBuffers[c].mData);
      if (out == nullptr) continue;
      for (UInt32 i = 0; i < frames; ++i) {
        const double t = self->phase + i;
        out[i] = static_cast<float>(0.6 * std::sin(0.031 * t + c) + 0.25 * std::sin(0.0071 * t));
      }
    }
    self->phase += frames;
    return noErr;
  }
};

// The values a state chunk holds.
struct StateValues {
  double params[4] = {};
  float zoom = 0.0f;
  std::string name;
  bool valid = false;
};

StateValues ReadState(CFPropertyListRef state) {
  StateValues v;
  if (state == nullptr || CFGetTypeID(state) != CFDictionaryGetTypeID()) return v;
  auto data = static_cast<CFDataRef>(
      CFDictionaryGetValue(static_cast<CFDictionaryRef>(state), CFSTR("data")));
  if (data == nullptr || CFDataGetLength(data) < 40) return v;
  const UInt8* p = CFDataGetBytePtr(data);
  std::memcpy(v.params, p, 32);
  std::memcpy(&v.zoom, p + 32, 4);
  std::int32_t length = 0;
  std::memcpy(&length, p + 36, 4);
  if (length < 0 || 40 + length != CFDataGetLength(data)) return v;
  v.name.assign(reinterpret_cast<const char*>(p + 40), static_cast<std::size_t>(length));
  v.valid = true;
  return v;
}

CFPropertyListRef SaveState(AudioUnit unit) {
  CFPropertyListRef state = nullptr;
  UInt32 size = sizeof state;
  if (AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state,
                           &size) != noErr)
    return nullptr;
  return state;
}

OSStatus RestoreState(AudioUnit unit, CFPropertyListRef state) {
  return AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state,
                              sizeof state);
}

// A class-info state with the given values, made by editing one the plug-in wrote.
CFPropertyListRef MakeState(CFPropertyListRef base, const double (&params)[4], float zoom,
                            const std::string& name) {
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(base));
  std::vector<UInt8> bytes(40 + name.size());
  std::memcpy(bytes.data(), params, 32);
  std::memcpy(bytes.data() + 32, &zoom, 4);
  const auto length = static_cast<std::int32_t>(name.size());
  std::memcpy(bytes.data() + 36, &length, 4);
  std::memcpy(bytes.data() + 40, name.data(), name.size());
  CFDataRef data = CFDataCreate(nullptr, bytes.data(), static_cast<CFIndex>(bytes.size()));
  CFDictionarySetValue(dict, CFSTR("data"), data);
  CFRelease(data);
  return dict;
}

bool IsWritten(std::size_t param, double value) {
  const std::vector<double>& values = kValues[param];
  return std::find(values.begin(), values.end(), value) != values.end();
}

TEST(Soak, AllThreadsAtOnce) {
  const double seconds = SoakSeconds();
  const testsupport::PrivateDataHome home;
  ASSERT_FALSE(home.Path().empty());

  Component component;
  TovraSat* plugin = component.Plugin();
  ASSERT_NE(plugin, nullptr);
  const AudioUnit unit = component.Unit();
  const AudioStreamBasicDescription format = FloatFormat();
  ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                                 &format, sizeof format),
            noErr);
  ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0,
                                 &format, sizeof format),
            noErr);
  ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice,
                                 kAudioUnitScope_Global, 0, &kMaxFrames, sizeof kMaxFrames),
            noErr);
  InputSignal input;
  const AURenderCallbackStruct callback{&InputSignal::Render, &input};
  ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input,
                                 0, &callback, sizeof callback),
            noErr);
  ASSERT_EQ(AudioUnitInitialize(unit), noErr);

  // The counter must see allocations at all, or the render check below could not fail.
  {
    testsupport::ScopedAllocationCount probe;
    ::operator delete(::operator new(8));
    ASSERT_EQ(probe.Count(), 1);
  }

  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  std::atomic<bool> stop{false};
  // The main thread asks the host thread to hold still (1) and waits until it does (2); it lets
  // it go with 0.
  std::atomic<int> hostHold{0};
  static_assert(std::atomic<int>::is_always_lock_free);

  std::atomic<long> renderFaults{0}, renderAllocations{0}, blocks{0};
  std::thread render([&] {
    Lcg random{1};
    std::vector<float> left(kMaxFrames), right(kMaxFrames);
    struct {
      UInt32 n = 2;
      AudioBuffer buffers[2];
    } list;
    Float64 sampleTime = 0.0;
    auto due = Clock::now();
    while (!stop.load(std::memory_order_acquire)) {
      const auto frames = static_cast<UInt32>(1 + random.Below(kMaxFrames));
      list.n = 2;
      list.buffers[0] = {1, frames * 4, left.data()};
      list.buffers[1] = {1, frames * 4, right.data()};
      AudioTimeStamp stamp{};
      stamp.mFlags = kAudioTimeStampSampleTimeValid;
      stamp.mSampleTime = sampleTime;
      AudioUnitRenderActionFlags flags = 0;
      OSStatus status = noErr;
      {
        testsupport::ScopedAllocationCount count;
        status = AudioUnitRender(unit, &flags, &stamp, 0, frames,
                                 reinterpret_cast<AudioBufferList*>(&list));
        renderAllocations.fetch_add(count.Count(), std::memory_order_relaxed);
      }
      if (status != noErr) renderFaults.fetch_add(1, std::memory_order_relaxed);
      for (UInt32 i = 0; i < frames; ++i) {
        for (const float* channel : {left.data(), right.data()}) {
          if (!std::isfinite(channel[i]) || std::fabs(channel[i]) > kOutputBound)
            renderFaults.fetch_add(1, std::memory_order_relaxed);
        }
      }
      sampleTime += frames;
      blocks.fetch_add(1, std::memory_order_relaxed);
      // Real-time pace: the next block is due when this one would have played.
      due += std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(frames / kRate));
      std::this_thread::sleep_until(due);
    }
  });

  std::atomic<long> hostFaults{0}, hostCalls{0};
  std::thread host([&] {
    Lcg random{2};
    while (!stop.load(std::memory_order_acquire)) {
      if (hostHold.load(std::memory_order_acquire) == 1) {
        hostHold.store(2, std::memory_order_release);
        // Held until the main thread changes 2 to anything (it may already ask again with 1).
        while (hostHold.load(std::memory_order_acquire) == 2 &&
               !stop.load(std::memory_order_acquire))
          std::this_thread::yield();
        continue;
      }
      for (AudioUnitParameterID id = 0; id < 4; ++id) {
        const auto value =
            static_cast<AudioUnitParameterValue>(kValues[id][random.Below(kValues[id].size())]);
        if (AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, value,
                                  static_cast<UInt32>(random.Below(kMaxFrames))) != noErr)
          hostFaults.fetch_add(1, std::memory_order_relaxed);
      }
      AudioUnitParameterEvent events[3] = {};
      for (AudioUnitParameterEvent& e : events) {
        e.scope = kAudioUnitScope_Global;
        e.parameter = static_cast<AudioUnitParameterID>(random.Below(4));
        e.eventType = kParameterEvent_Immediate;
        e.eventValues.immediate.bufferOffset = static_cast<UInt32>(random.Below(kMaxFrames));
        e.eventValues.immediate.value = static_cast<AudioUnitParameterValue>(
            kValues[e.parameter][random.Below(kValues[e.parameter].size())]);
      }
      if (AudioUnitScheduleParameters(unit, events, 3) != noErr)
        hostFaults.fetch_add(1, std::memory_order_relaxed);
      hostCalls.fetch_add(1, std::memory_order_relaxed);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });

  // The main thread. A failed check stops the others, so that they are always joined.
  Lcg random{3};
  std::set<float> zoomsWritten = {1.0f};
  std::set<std::string> namesWritten = {"Default"};
  CFPropertyListRef base = SaveState(unit);
  ASSERT_NE(base, nullptr);
  long iterations = 0, exactChecks = 0, editorOpenings = 0, presetRounds = 0;
  bool ok = true;
  std::string failure;
  const auto fail = [&](const std::string& what) {
    if (ok) failure = what;
    ok = false;
  };
  plug::gfx::OffscreenTarget* view = nullptr;
  while (ok && Clock::now() < deadline) {
    ++iterations;
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.005, false);  // idle ticks, when due

    tovrasat::MeterReading meter;
    UInt32 size = sizeof meter;
    if (AudioUnitGetProperty(unit, tovrasat::kMeterReadingProperty, kAudioUnitScope_Global, 0,
                             &meter, &size) != noErr ||
        !(meter.meterDb >= -120.0f && meter.meterDb <= 12.1f) ||
        !(meter.clipLed >= 0.0f && meter.clipLed <= 1.0f))
      fail("meter reading out of range");

    switch (random.Below(5)) {
      case 0: {  // a state restored while the host thread holds still reads back exactly
        hostHold.store(1, std::memory_order_release);
        while (hostHold.load(std::memory_order_acquire) != 2) std::this_thread::yield();
        double params[4];
        for (std::size_t p = 0; p < 4; ++p) params[p] = kValues[p][random.Below(kValues[p].size())];
        const float zoom = kZooms[random.Below(4)];
        const std::string name = "State " + std::to_string(random.Below(5));
        zoomsWritten.insert(zoom);
        namesWritten.insert(name);
        CFPropertyListRef state = MakeState(base, params, zoom, name);
        if (RestoreState(unit, state) != noErr) fail("restoring a state failed");
        CFPropertyListRef back = SaveState(unit);
        const StateValues read = ReadState(back);
        if (!read.valid || !std::equal(params, params + 4, read.params) || read.zoom != zoom ||
            read.name != name)
          fail("a state read back differs from the one written");
        if (back != nullptr) CFRelease(back);
        CFRelease(state);
        hostHold.store(0, std::memory_order_release);
        ++exactChecks;
        break;
      }
      case 1: {  // while automation runs: a state read back holds only written values
        CFPropertyListRef state = SaveState(unit);
        const StateValues read = ReadState(state);
        bool written = read.valid && zoomsWritten.count(read.zoom) == 1;
        for (std::size_t p = 0; p < 4 && written; ++p) written = IsWritten(p, read.params[p]);
        if (!written) fail("a state read back holds a value nobody wrote");
        if (RestoreState(unit, state) != noErr) fail("restoring a saved state failed");
        if (state != nullptr) CFRelease(state);
        break;
      }
      case 2: {  // user presets: save, load, apply, delete
        const std::string name = "Soak " + std::to_string(random.Below(3));
        const tovrapresets::Values values{kValues[0][random.Below(4)], kValues[1][random.Below(4)],
                                          random.Below(2) == 1};
        if (!tovrapresets::Save(name, values)) fail("saving a preset failed");
        tovrapresets::Values loaded;
        if (!tovrapresets::Load(name, loaded) || loaded.gain != values.gain ||
            loaded.trim != values.trim || loaded.phat != values.phat)
          fail("a preset loaded back differs from the one saved");
        plugin->ApplyPreset(name, loaded);
        namesWritten.insert(name);
        if (random.Below(2) == 0 && !tovrapresets::Remove(name)) fail("deleting a preset failed");
        ++presetRounds;
        break;
      }
      case 3:  // the editor: open and draw, or close
        if (view == nullptr) {
          view =
              static_cast<plug::gfx::OffscreenTarget*>(plug::IPluginAU::CreateView(unit, nullptr));
          if (view == nullptr) fail("the editor did not open");
          ++editorOpenings;
        } else {
          plugin->CloseWindow();
          view = nullptr;
        }
        break;
      default:
        if (view != nullptr) view->Render();
        break;
    }
  }
  stop.store(true, std::memory_order_release);
  hostHold.store(0, std::memory_order_release);
  render.join();
  host.join();
  if (view != nullptr) plugin->CloseWindow();
  CFRelease(base);

  EXPECT_TRUE(ok) << failure;
  EXPECT_EQ(renderFaults.load(), 0) << "renders that failed or gave samples beyond the clamp";
  EXPECT_EQ(renderAllocations.load(), 0) << "allocations inside AudioUnitRender";
  EXPECT_EQ(hostFaults.load(), 0);
  EXPECT_GT(blocks.load(), 0);
  EXPECT_GT(hostCalls.load(), 0);
  EXPECT_GT(iterations, 0);
  std::printf(
      "soak: %.0f s, %ld blocks rendered, %ld host automation rounds, %ld main-thread "
      "rounds (%ld exact state checks, %ld preset rounds, %ld editor openings)\n",
      seconds, blocks.load(), hostCalls.load(), iterations, exactChecks, presetRounds,
      editorOpenings);
}

}  // namespace
