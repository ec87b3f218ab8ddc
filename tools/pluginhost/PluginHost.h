// PluginHost.h: the tovrasat command's side of the host library: find the bundle, open TovraSat,
// set it up, render.
#pragma once

#include "core/TovraSatProperties.h"
#include "host/ComponentBundle.h"
#include "host/HostedUnit.h"
#include "tools/audiofile/AudioFile.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tools {

// TovraSat's parameter IDs as a host sees them.
enum EParam : AudioUnitParameterID {
  kParamGain = 0,
  kParamTrim = 1,
  kParam48V = 2,
  kParamBypass = 3
};

// What the command asks of a render; unset fields keep the plug-in's own values.
struct RenderSettings {
  std::optional<double> gain;  // percent
  std::optional<double> trimDb;
  std::optional<bool> phantom;  // the 48V switch
  std::optional<bool> bypass;
  UInt32 block = 512;  // frames per render call
};

// What the idle timer showed while a render ran, read through the plug-in's meter property
// (tovrasat::kMeterReadingProperty, core/TovraSatProperties.h) after each 20 ms idle tick.
// meterAvailable is false when the unit does not answer the property, or when it answered but no
// tick ever reached the plug-in although it produced sound (its idle timer runs on a run loop this
// process cannot pump): the figures are then unknown, not zero.
struct RenderReport {
  bool meterAvailable = false;
  float maxMeterDb = -120.0f;  // the meter's highest reading, dBFS
  int lampTicks = 0;           // idle ticks after which the overload lamp was fully lit
  int idleTicks = 0;           // idle ticks run during the render
};

// Threads: main only (the command is single-threaded; the unit renders on the caller's thread).
class PluginHost {
 public:
  using Progress = std::function<void(size_t framesDone, size_t framesTotal)>;

  static constexpr OSType kType = 0x61756678;          // 'aufx'
  static constexpr OSType kSubtype = 0x54536174;       // 'TSat'
  static constexpr OSType kSubtypeHq = 0x54534871;     // 'TSHq'
  static constexpr OSType kManufacturer = 0x4D72766B;  // 'Mrvk'

  // The bundle to load: explicitPath when given, else $TOVRASAT_COMPONENT when set, else
  // BundleFor this process's executable.
  static std::string LocateBundle(const std::string& explicitPath);
  // The bundle beside an executable: TovraSat.component in the folder above the executable's
  // (where the build puts both) when there, else InstalledBundle relative to its folder.
  static std::string BundleFor(const std::filesystem::path& executable);
  // The installed bundle's path relative to the installed command's folder
  // ("../lib/tovrasat/TovraSat.component").
  static const char* InstalledBundle();

  // Loads the bundle through its Info.plist. Null with a one-line text on failure.
  static std::shared_ptr<host::ComponentBundle> LoadBundle(const std::string& path,
                                                           std::string& error);

  // Opens TovraSat from the bundle, or, in a bundle without it, the bundle's first effect (so the
  // command can be pointed at test components); hq: TovraSat HQ, which the bundle must hold.
  // Null with a one-line text on failure.
  static std::unique_ptr<PluginHost> Open(std::shared_ptr<host::ComponentBundle> bundle,
                                          std::string& error, bool hq = false);

  host::HostedUnit& Unit() { return *mUnit; }
  const host::HostedUnit& Unit() const { return *mUnit; }
  bool IsTovraSat() const;

  // Stream formats for channels in and out at the rate, the block size as the maximum, then
  // Initialize. False with a text when the unit refuses.
  bool Prepare(double sampleRate, int channels, UInt32 block, std::string& error);

  // Sets the settings' parameters through the AU parameter API (the unit must have them).
  bool Apply(const RenderSettings& settings, std::string& error);

  // Resets the unit, so the chain starts settled on the values already set, and renders the whole
  // input in blocks of the prepared size, pumping the idle timer at the pace of the audio. The
  // output has the input's rate, channel count and length, and lines up with it: the latency the
  // unit reports is taken back as a file render takes it (LatencyCompensation). Start, Process
  // and Finish in one call.
  bool Render(const AudioFile& in, AudioFile& out, const Progress& progress, RenderReport& report,
              std::string& error);

  // A render in pieces, for audio that streams through: Start (resets the unit and begins the
  // report), Process any number of times, Finish (completes the report). Every Process but the
  // last must hold a whole number of blocks, so the unit sees the block boundaries of one long
  // call and the output does not depend on how the audio was cut.
  bool Start(RenderReport& report, std::string& error);
  bool Process(const float* const* inputs, float* const* outputs, size_t frames,
               std::string& error);
  void Finish();
  UInt32 Block() const { return mBlock; }
  // The delay the prepared unit reports (kAudioUnitProperty_Latency), in frames at rate, rounded;
  // 0 when it does not answer. False with a text when the figure is not a delay a render can take
  // back (negative, not a number, or over kMaxLatencySeconds).
  bool LatencyFrames(double rate, size_t& frames, std::string& error) const;
  static constexpr double kMaxLatencySeconds = 10.0;
  // Whether the idle timer is pumped while rendering (the default). Off, the render makes no
  // system call for it and the report's figures are unknown (meterAvailable false): for a render
  // whose report nobody reads.
  void SetIdleTicks(bool on) { mIdleTicks = on; }

  // The meter property; nullopt for a unit that is not TovraSat or does not answer it.
  std::optional<tovrasat::MeterReading> ReadMeter() const;

 private:
  PluginHost() = default;

  std::unique_ptr<host::HostedUnit> mUnit;
  host::HostedUnit::Pump mAdvance;  // the host's offline pump: moves the main run loop's clock
  UInt32 mBlock = 512;
  // The running render's report and what Finish needs to complete it.
  RenderReport* mReport = nullptr;
  bool mIdleTicks = true;
  bool mAnswered = false;  // the unit answered the meter property at every tick
  bool mMoved = false;     // the meter left rest
  float mOutPeak = 0.0f;
};

}  // namespace tools
