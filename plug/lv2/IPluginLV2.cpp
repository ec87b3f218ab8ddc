// IPluginLV2: ports, run, state and the idle hand-over between the instance's thread and the UI.
#include "plug/lv2/IPluginLV2.h"

#include <CoreFoundation/CFRunLoop.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "lv2/atom/atom.h"
#include "lv2/buf-size/buf-size.h"
#include "lv2/options/options.h"
#include "plug/EParamSource.h"
#include "plug/au/IPluginAU.h"
#include "plug/lv2/Lv2Turtle.h"

namespace plug {
namespace {

IPluginLV2* Self(LV2_Handle handle) {
  return static_cast<IPluginLV2*>(handle);
}

const void* FindFeature(const LV2_Feature* const* features, const char* uri) {
  if (features == nullptr) return nullptr;
  for (const LV2_Feature* const* f = features; *f != nullptr; ++f) {
    if ((*f)->URI != nullptr && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
  }
  return nullptr;
}

// The host's largest block, from the options feature; 0 when it does not say.
int MaxBlockFromOptions(const LV2_Feature* const* features, LV2_URID_Map* map) {
  const auto* options =
      static_cast<const LV2_Options_Option*>(FindFeature(features, LV2_OPTIONS__options));
  if (options == nullptr || map == nullptr) return 0;
  const LV2_URID maxBlock = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID atomInt = map->map(map->handle, LV2_ATOM__Int);
  for (const LV2_Options_Option* o = options; o->key != 0; ++o) {
    if (o->key == maxBlock && o->type == atomInt && o->size == sizeof(int32_t) &&
        o->value != nullptr) {
      return *static_cast<const int32_t*>(o->value);
    }
  }
  return 0;
}

LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double rate, const char*,
                       const LV2_Feature* const* features) {
  // The descriptor is the first member of the record that carries the binding.
  const auto* record = reinterpret_cast<const Lv2PluginDescriptor*>(descriptor);
  return IPluginLV2::Create(record->binding, rate, features).release();
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
  Self(handle)->ConnectPort(port, data);
}

void Activate(LV2_Handle handle) {
  Self(handle)->Activate();
}

void Run(LV2_Handle handle, uint32_t frames) {
  Self(handle)->Run(frames);
}

void Deactivate(LV2_Handle handle) {
  Self(handle)->Deactivate();
}

void Cleanup(LV2_Handle handle) {
  delete Self(handle);
}

LV2_State_Status Save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                      uint32_t, const LV2_Feature* const*) {
  return Self(handle)->SaveState(store, state);
}

LV2_State_Status Restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle state, uint32_t, const LV2_Feature* const*) {
  return Self(handle)->RestoreState(retrieve, state);
}

const void* ExtensionData(const char* uri) {
  static const LV2_State_Interface kState{Save, Restore};
  if (uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0) return &kState;
  return nullptr;
}

}  // namespace

Lv2PluginDescriptor IPluginLV2::MakeDescriptor(const Lv2Binding& binding) {
  Lv2PluginDescriptor record{};
  record.descriptor =
      LV2_Descriptor{binding.uri, Instantiate,      plug::ConnectPort, plug::Activate,
                     plug::Run,   plug::Deactivate, Cleanup,           ExtensionData};
  record.binding = binding;
  return record;
}

std::unique_ptr<IPluginLV2> IPluginLV2::Create(const Lv2Binding& binding, double sampleRate,
                                               const LV2_Feature* const* features) {
  if (binding.factory == nullptr || binding.uri == nullptr || !(sampleRate > 0.0)) return nullptr;
  AudioComponentPlugInInterface* instance = binding.factory(nullptr);
  if (instance == nullptr) return nullptr;
  // As an Audio Unit host does: the instance handed to Open is the interface itself, which is
  // what the plug-in's parameter events name.
  if (instance->Open(instance, reinterpret_cast<AudioComponentInstance>(instance)) != noErr) {
    return nullptr;  // a failed Open leaves nothing that Close could safely destroy
  }
  IPluginAU* plug = IPluginAU::FromSelf(instance);
  std::unique_ptr<IPluginLV2> self;
  try {
    self.reset(new IPluginLV2(binding, instance, plug));
  } catch (...) {
    instance->Close(instance);
    return nullptr;
  }
  // The Audio Unit entry started the plug-in's idle timer on the main run loop, which nobody
  // pumps in an LV2 host without our UI: this instance ticks it itself.
  plug->DestroyTimer();
  if (!plug->LegalIO(self->mPorts.nInputs, self->mPorts.nOutputs)) return nullptr;

  self->mMap = static_cast<LV2_URID_Map*>(const_cast<void*>(FindFeature(features, LV2_URID__map)));
  if (self->mMap != nullptr) {
    self->mStateKey = self->mMap->map(self->mMap->handle, self->mStateKeyUri.c_str());
    self->mChunkType = self->mMap->map(self->mMap->handle, LV2_ATOM__Chunk);
  }
  plug->SetSampleRate(sampleRate);
  const int maxBlock = MaxBlockFromOptions(features, self->mMap);
  if (maxBlock > 0) plug->SetBlockSize(std::min(maxBlock, kLargestMaxBlock));
  plug->SetChannelConnections(kInput, 0, self->mPorts.nInputs, true);
  plug->SetChannelConnections(kOutput, 0, self->mPorts.nOutputs, true);
  self->StartIdleThread();
  return self;
}

IPluginLV2::IPluginLV2(const Lv2Binding& binding, AudioComponentPlugInInterface* instance,
                       IPluginAU* plug)
    : mBinding(binding), mInstance(instance), mPlug(plug) {
  mPorts.nParams = plug->NParams();
  mPorts.nInputs = plug->MaxNChannels(kInput);
  mPorts.nOutputs = plug->MaxNChannels(kOutput);
  mControlIn.assign(static_cast<std::size_t>(mPorts.nParams), nullptr);
  mLastControl.assign(static_cast<std::size_t>(mPorts.nParams),
                      std::numeric_limits<double>::quiet_NaN());
  mAudioIn.assign(static_cast<std::size_t>(mPorts.nInputs), nullptr);
  mAudioOut.assign(static_cast<std::size_t>(mPorts.nOutputs), nullptr);
  mInSlice.assign(mAudioIn.size(), nullptr);
  mOutSlice.assign(mAudioOut.size(), nullptr);
  mStateKeyUri = Lv2Turtle::StateKeyUri(binding.uri);
}

IPluginLV2::~IPluginLV2() {
  StopIdleThread();
  mInstance->Close(mInstance);
}

void IPluginLV2::ConnectPort(uint32_t port, void* data) noexcept {
  const int p = static_cast<int>(port);
  if (p < 0 || p >= mPorts.NPorts()) return;
  if (p < mPorts.nParams) {
    mControlIn[static_cast<std::size_t>(p)] = static_cast<const float*>(data);
  } else if (p < mPorts.AudioOut(0)) {
    mAudioIn[static_cast<std::size_t>(p - mPorts.AudioIn(0))] = static_cast<const float*>(data);
  } else if (p < mPorts.Latency()) {
    mAudioOut[static_cast<std::size_t>(p - mPorts.AudioOut(0))] = static_cast<float*>(data);
  } else if (p == mPorts.Latency()) {
    mLatencyOut = static_cast<float*>(data);
  } else if (p == mPorts.Meter()) {
    mMeterOut = static_cast<float*>(data);
  } else if (p == mPorts.Lamp()) {
    mLampOut = static_cast<float*>(data);
  }
}

void IPluginLV2::TakeControlInputs(bool all) noexcept {
  for (int i = 0; i < mPorts.nParams; ++i) {
    const float* port = mControlIn[static_cast<std::size_t>(i)];
    if (port == nullptr) continue;
    const double value = *port;
    double& last = mLastControl[static_cast<std::size_t>(i)];
    if (!all && value == last) continue;
    last = value;
    if (std::isnan(value)) continue;
    mPlug->GetParam(i)->Set(value);
    mPlug->SendParameterValueFromAPI(i, mPlug->GetParam(i)->Value(), false);
    mPlug->OnParamChange(i, kHost, 0);
  }
}

void IPluginLV2::Activate() {
  // The settings are made before the reset, so the first block starts settled (no ramp).
  TakeControlInputs(true);
  mPlug->OnActivate(true);
  mPlug->OnReset();
}

void IPluginLV2::Deactivate() {
  mPlug->OnActivate(false);
}

void IPluginLV2::Run(uint32_t frames) noexcept {
  TakeControlInputs(false);
  const int block = std::max(mPlug->GetBlockSize(), 1);
  uint32_t done = 0;
  while (done < frames) {
    const int n = static_cast<int>(std::min<uint32_t>(frames - done, static_cast<uint32_t>(block)));
    for (std::size_t c = 0; c < mAudioIn.size(); ++c) {
      // AttachBuffers only reads inputs; the plug-in's interface is not const-correct.
      mInSlice[c] = mAudioIn[c] != nullptr ? const_cast<float*>(mAudioIn[c]) + done : nullptr;
    }
    for (std::size_t c = 0; c < mAudioOut.size(); ++c) {
      mOutSlice[c] = mAudioOut[c] != nullptr ? mAudioOut[c] + done : nullptr;
    }
    mPlug->AttachBuffers(kInput, 0, mPorts.nInputs, mInSlice.data(), n);
    mPlug->AttachBuffers(kOutput, 0, mPorts.nOutputs, mOutSlice.data(), n);
    mPlug->ProcessBuffers(0.0f, n);
    done += static_cast<uint32_t>(n);
  }
  if (mLatencyOut != nullptr) *mLatencyOut = static_cast<float>(mPlug->GetLatency());
  if (mMeterOut != nullptr) *mMeterOut = MeterDb();
  if (mLampOut != nullptr) *mLampOut = Lamp();
}

LV2_State_Status IPluginLV2::SaveState(LV2_State_Store_Function store, LV2_State_Handle handle) {
  if (mMap == nullptr) return LV2_STATE_ERR_NO_FEATURE;
  IByteChunk chunk;
  if (!mPlug->SerializeState(chunk)) return LV2_STATE_ERR_UNKNOWN;
  return store(handle, mStateKey, chunk.GetData(), static_cast<size_t>(chunk.Size()), mChunkType,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status IPluginLV2::RestoreState(LV2_State_Retrieve_Function retrieve,
                                          LV2_State_Handle handle) {
  if (mMap == nullptr) return LV2_STATE_ERR_NO_FEATURE;
  size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  const void* data = retrieve(handle, mStateKey, &size, &type, &flags);
  if (data == nullptr) return LV2_STATE_ERR_NO_PROPERTY;
  if (type != mChunkType) return LV2_STATE_ERR_BAD_TYPE;
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) return LV2_STATE_ERR_UNKNOWN;
  // A chunk that cannot hold every parameter is damaged: refused before anything is applied (the
  // Audio Unit applies the parameters that fit and reports success; a session would reopen
  // half-restored without a word).
  if (size < kParamBytes * static_cast<size_t>(mPorts.nParams)) return LV2_STATE_ERR_UNKNOWN;
  IByteChunk chunk;
  chunk.PutBytes(data, static_cast<int>(size));
  // Otherwise judged as the Audio Unit judges its class-info data.
  if (mPlug->UnserializeState(chunk, 0) == 0) return LV2_STATE_ERR_UNKNOWN;
  mPlug->OnRestoreState();
  return LV2_STATE_SUCCESS;
}

void IPluginLV2::Tick(Timer& timer) {
  mPlug->OnTimer(timer);
  if (mBinding.readMeter == nullptr) return;
  float meterDb = kMeterFloorDb;
  float lamp = 0.0f;
  mBinding.readMeter(*mPlug, meterDb, lamp);
  mMeterDb.store(meterDb, std::memory_order_relaxed);
  mLamp.store(lamp, std::memory_order_relaxed);
}

void IPluginLV2::StartIdleThread() {
  mIdleStop.store(false, std::memory_order_relaxed);
  mIdleThread = std::thread([this] {
    // The tick lives on this thread's own run loop, so it never meets the main loop's timers.
    std::unique_ptr<Timer> timer = Timer::Create(
        CFRunLoopGetCurrent(), [this](Timer& t) { Tick(t); }, IPluginAU::kIdleTimerMs);
    while (!mIdleStop.load(std::memory_order_acquire)) {
      CFRunLoopRunInMode(kCFRunLoopDefaultMode, IPluginAU::kIdleTimerMs / 1000.0, true);
    }
  });
}

void IPluginLV2::StopIdleThread() {
  if (!mIdleThread.joinable()) return;
  mIdleStop.store(true, std::memory_order_release);
  mIdleThread.join();
}

void IPluginLV2::ClaimIdle() {
  if (mIdleClaimed) return;
  StopIdleThread();
  mIdleClaimed = true;
}

void IPluginLV2::ReleaseIdle() {
  if (!mIdleClaimed) return;
  mIdleClaimed = false;
  StartIdleThread();
}

}  // namespace plug
