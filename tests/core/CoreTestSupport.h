// CoreTestSupport.h: a TovraSat made as its component factory makes it, and test signals.
#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include "core/TovraSat.h"
#include "plug/au/IPluginAUFactory.h"

namespace coretest {

// Opened through the factory, so that the object has a real component instance and host
// notifications reach the AU event system. Closed (and destroyed) with the holder.
class OpenedPlugin {
 public:
  OpenedPlugin() {
    mInterface = plug::IPluginAUFactory<TovraSat>::Factory(nullptr);
    if (mInterface != nullptr &&
        mInterface->Open(mInterface, reinterpret_cast<AudioComponentInstance>(mInterface)) ==
            noErr) {
      mPlugin = static_cast<TovraSat*>(plug::IPluginAU::FromSelf(mInterface));
    }
  }
  ~OpenedPlugin() {
    if (mInterface != nullptr) mInterface->Close(mInterface);
  }
  OpenedPlugin(const OpenedPlugin&) = delete;
  OpenedPlugin& operator=(const OpenedPlugin&) = delete;

  TovraSat* operator->() const { return mPlugin; }
  TovraSat& operator*() const { return *mPlugin; }
  TovraSat* get() const { return mPlugin; }
  AudioUnit Unit() const { return reinterpret_cast<AudioUnit>(mInterface); }

 private:
  AudioComponentPlugInInterface* mInterface = nullptr;
  TovraSat* mPlugin = nullptr;
};

// A plug-in constructed directly, as a test of the object alone.
inline std::unique_ptr<TovraSat> MakePlugin() {
  plug::InstanceInfo info;
  info.mCocoaViewFactoryClassName = TovraSat::ViewFactoryClassName();
  return std::make_unique<TovraSat>(info);
}

// Connects nIn input and nOut output channels and prepares the chain for the rate.
inline void Prepare(TovraSat& plugin, int nIn, int nOut, double rate = 48000.0) {
  plugin.SetChannelConnections(plug::kInput, 0, 2, false);
  plugin.SetChannelConnections(plug::kOutput, 0, 2, false);
  plugin.SetChannelConnections(plug::kInput, 0, nIn, true);
  plugin.SetChannelConnections(plug::kOutput, 0, nOut, true);
  plugin.SetSampleRate(rate);
  plugin.OnReset();
}

// Two different, loud channels (the engine saturates them), fixed for every run.
inline std::vector<double> TestSignal(int frames, int channel) {
  std::vector<double> x(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i);
    x[static_cast<std::size_t>(i)] =
        0.9 * std::sin(0.031 * t * (channel + 1)) + 0.05 * std::sin(0.7 * t + channel);
  }
  return x;
}

}  // namespace coretest
