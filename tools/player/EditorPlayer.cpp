// EditorPlayer.cpp: the editor window, the audio thread that plays through the plug-in, OUT.
#include "tools/player/EditorPlayer.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include <CoreFoundation/CoreFoundation.h>
#include <TovraSdk/RunLoopClock.h>

#include "tools/audiofile/AudioFile.h"
#include "tools/pluginhost/PluginHost.h"

// Xlib's macros come after every other header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tools {

namespace {

constexpr UInt32 kBlock = 512;
using CreateViewFn = void* (*)(AudioUnit, void*);

// The plug-in module's view entry, found from its factory's address.
CreateViewFn FindCreateView(const host::ComponentBundle& bundle,
                            const host::ComponentEntry& entry) {
  std::string error;
  const AudioComponentFactoryFunction factory = bundle.Factory(entry, error);
  Dl_info info{};
  if (!factory || !dladdr(reinterpret_cast<void*>(factory), &info) || !info.dli_fname)
    return nullptr;
  void* module = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (!module) return nullptr;
  auto fn = reinterpret_cast<CreateViewFn>(dlsym(module, "TovraSat_CreateView"));
  dlclose(module);  // the bundle keeps its own reference
  return fn;
}

// The sound libraries under PortAudio report every device they probe and fail to find on stderr;
// the command says in one line of its own what came of it instead.
class QuietStderr {
 public:
  QuietStderr() : mSaved(dup(STDERR_FILENO)) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, STDERR_FILENO);
      close(null);
    }
  }
  ~QuietStderr() {
    if (mSaved >= 0) {
      dup2(mSaved, STDERR_FILENO);
      close(mSaved);
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int mSaved;
};

// Plays blocks of the looped input through the unit: on the sound device, whose blocking writes
// set the pace, or without one against the clock. Records what it played when asked.
class Player {
 public:
  Player(host::HostedUnit& unit, const AudioFile& in, bool record)
      : mUnit(unit), mIn(in), mRecord(record) {}

  void Start(bool useDevice) {
    mThread = std::thread([this, useDevice] { Run(useDevice); });
  }
  void Stop() {
    mStop.store(true, std::memory_order_relaxed);
    if (mThread.joinable()) mThread.join();
  }
  const std::vector<std::vector<float>>& Played() const { return mPlayed; }
  bool UsedDevice() const { return mUsedDevice; }

 private:
  void Run(bool useDevice) {
    const std::size_t nch = std::size_t(mIn.NChannels());
    const int channels = mIn.NChannels();
    PaStream* stream = nullptr;
    if (useDevice) {
      QuietStderr quiet;
      if (Pa_Initialize() == paNoError) {
        if (Pa_OpenDefaultStream(&stream, 0, channels, paFloat32, mIn.sampleRate, kBlock, nullptr,
                                 nullptr) != paNoError ||
            Pa_StartStream(stream) != paNoError) {
          if (stream) Pa_CloseStream(stream);
          stream = nullptr;
          Pa_Terminate();
        }
      }
    }
    if (useDevice && !stream)
      std::fprintf(stderr, "tovrasat: no sound output could be opened; playing silently\n");
    mUsedDevice = stream != nullptr;
    if (mRecord) mPlayed.assign(nch, {});

    std::vector<std::vector<float>> inBuf(nch, std::vector<float>(kBlock));
    std::vector<std::vector<float>> outBuf(nch, std::vector<float>(kBlock));
    std::vector<const float*> ins(nch);
    std::vector<float*> outs(nch);
    std::vector<float> interleaved(nch * kBlock);
    const std::size_t total = mIn.Frames();
    std::size_t pos = 0;
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t played = 0;
    while (!mStop.load(std::memory_order_relaxed)) {
      for (std::size_t c = 0; c < nch; ++c) {
        for (UInt32 i = 0; i < kBlock; ++i)
          inBuf[c][i] = total ? mIn.channels[c][(pos + i) % total] : 0.f;
        ins[c] = inBuf[c].data();
        outs[c] = outBuf[c].data();
      }
      pos = total ? (pos + kBlock) % total : 0;
      mUnit.Render(ins.data(), outs.data(), kBlock);
      if (mRecord)
        for (std::size_t c = 0; c < nch; ++c)
          mPlayed[c].insert(mPlayed[c].end(), outBuf[c].begin(), outBuf[c].end());
      played += kBlock;
      if (stream) {
        for (UInt32 i = 0; i < kBlock; ++i)
          for (std::size_t c = 0; c < nch; ++c) interleaved[i * nch + c] = outBuf[c][i];
        Pa_WriteStream(stream, interleaved.data(), kBlock);
      } else {
        std::this_thread::sleep_until(
            start + std::chrono::duration<double>(double(played) / mIn.sampleRate));
      }
    }
    if (stream) {
      Pa_StopStream(stream);
      Pa_CloseStream(stream);
      Pa_Terminate();
    }
  }

  host::HostedUnit& mUnit;
  const AudioFile& mIn;
  bool mRecord;
  bool mUsedDevice = false;
  std::atomic<bool> mStop{false};
  std::thread mThread;
  std::vector<std::vector<float>> mPlayed;
};

// The editor's zoom lives in the plug-in's state, not in a parameter: it is set the way a host
// restores a project, through the class-info dictionary, whose state chunk holds it as a float
// after the four parameter doubles. A zoom restored while the editor is closed is the one it opens
// at.
bool SetEditorScale(host::HostedUnit& unit, float scale, std::string& error) {
  constexpr CFIndex kScaleOffset = 32;
  OSStatus status = noErr;
  host::CFRef<CFPropertyListRef> info = unit.SaveClassInfo(&status);
  const auto dict = static_cast<CFDictionaryRef>(info.Get());
  const CFStringRef key = CFSTR("data");
  const auto data = dict ? static_cast<CFDataRef>(CFDictionaryGetValue(dict, key))
                         : static_cast<CFDataRef>(nullptr);
  if (!data || CFDataGetLength(data) < kScaleOffset + CFIndex(sizeof(float))) {
    error = "the plug-in's state holds no editor size";
    return false;
  }
  host::CFRef<CFMutableDataRef> chunk(CFDataCreateMutableCopy(nullptr, 0, data));
  std::memcpy(CFDataGetMutableBytePtr(chunk.Get()) + kScaleOffset, &scale, sizeof(float));
  host::CFRef<CFMutableDictionaryRef> changed(CFDictionaryCreateMutableCopy(nullptr, 0, dict));
  CFDictionarySetValue(changed.Get(), key, chunk.Get());
  if (unit.RestoreClassInfo(changed.Get()) != noErr) {
    error = "the plug-in refused the editor size";
    return false;
  }
  return true;
}

// Ctrl+C in the terminal ends the session as closing the window does (OUT is still written).
volatile std::sig_atomic_t gInterrupted = 0;
void OnInterrupt(int) {
  gInterrupted = 1;
}

// Sets error to text (kept when text is the error itself) and says the session failed.
bool Failed(std::string& error, const std::string& text) {
  if (&text != &error) error = text;
  return false;
}

const char* ParamName(AudioUnitParameterID id) {
  switch (id) {
    case kParamGain:
      return "Gain";
    case kParamTrim:
      return "Output Trim";
    case kParam48V:
      return "48V";
    case kParamBypass:
      return "Bypass";
    default:
      return "Parameter";
  }
}

}  // namespace

void* OpenEditorView(const host::ComponentBundle& bundle, host::HostedUnit& unit,
                     unsigned long parent) {
  const CreateViewFn createView = FindCreateView(bundle, unit.Entry());
  return createView ? createView(unit.Unit(), reinterpret_cast<void*>(parent)) : nullptr;
}

bool PlayInEditor(const EditorOptions& options, std::string& error) {
  Display* display = XOpenDisplay(nullptr);
  if (!display)
    return Failed(error,
                  "no display to open the editor on (DISPLAY is not set or cannot be reached)");

  AudioFile in;
  if (!options.in.empty()) {
    if (!AudioFile::Read(options.in, in, error)) {
      XCloseDisplay(display);
      return false;
    }
  } else {
    in.sampleRate = 48000.0;
    in.channels.assign(2, {});
  }
  auto bundle = PluginHost::LoadBundle(PluginHost::LocateBundle(options.component), error);
  std::unique_ptr<PluginHost> plugin = bundle ? PluginHost::Open(bundle, error) : nullptr;
  if (!plugin || !plugin->Prepare(in.sampleRate, in.NChannels(), kBlock, error) ||
      plugin->Unit().Reset() != noErr) {
    XCloseDisplay(display);
    return Failed(error, error.empty() ? "the plug-in could not be prepared" : error);
  }
  // The editor and the idle timer run on the wall clock here, not at the pace of an offline render.
  TovraSdkRunLoopUseSystemClock();
  host::HostedUnit& unit = plugin->Unit();
  if (options.scale > 0.0 && !SetEditorScale(unit, static_cast<float>(options.scale), error)) {
    XCloseDisplay(display);
    return false;
  }
  unit.ListenToParameters([&unit](const AudioUnitEvent& event, AudioUnitParameterValue value) {
    if (event.mEventType != kAudioUnitEvent_ParameterValueChange) return;
    const AudioUnitParameterID id = event.mArgument.mParameter.mParameterID;
    const auto text = unit.ParameterStringFromValue(id, value);
    std::printf("%s = %s\n", ParamName(id), text ? text->c_str() : std::to_string(value).c_str());
    std::fflush(stdout);
  });

  void* view = OpenEditorView(*bundle, unit, DefaultRootWindow(display));
  if (!view) {
    XCloseDisplay(display);
    return Failed(error, "the plug-in opened no editor window");
  }
  const Window window = reinterpret_cast<Window>(view);
  const std::string title =
      "TovraSat" + (options.in.empty()
                        ? std::string()
                        : " - " + std::filesystem::path(options.in).filename().string());
  XStoreName(display, window, title.c_str());
  XSelectInput(display, window, StructureNotifyMask);
  XFlush(display);

  Player player(unit, in, !options.out.empty());
  player.Start(!options.noAudio && !options.in.empty());

  // The main run loop drives the editor and the idle timer until the window is gone.
  gInterrupted = 0;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  bool open = true;
  while (open && !gInterrupted) {
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.02, true);
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == DestroyNotify && event.xdestroywindow.window == window) open = false;
    }
  }
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  player.Stop();
  XCloseDisplay(display);

  if (!options.out.empty()) {
    AudioFile out;
    out.sampleRate = in.sampleRate;
    out.channels = player.Played();
    if (!out.Write(options.out, ESampleFormat::kFloat32, error)) return false;
  }
  return true;
}

}  // namespace tools
