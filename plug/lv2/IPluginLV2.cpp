// IPluginLV2: ports, run with its meter ticks and notifications, state, and the UI's idle tick.
#include "plug/lv2/IPluginLV2.h"

#include <CoreFoundation/CFRunLoop.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "lv2/atom/util.h"
#include "lv2/buf-size/buf-size.h"
#include "lv2/options/options.h"
#include "plug/EParamSource.h"
#include "plug/au/IPluginAU.h"
#include "plug/lv2/Lv2Turtle.h"

namespace plug {
namespace {

// The meter ticks at the Audio Unit's idle rate, in frames of audio instead of wall time.
constexpr double kMeterTicksPerSecond = 1000.0 / IPluginAU::kIdleTimerMs;

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
  if (binding.factory == nullptr || binding.uri == nullptr || !(sampleRate > 0.0) ||
      !std::isfinite(sampleRate)) {
    return nullptr;
  }
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
  // The Audio Unit entry started the plug-in's idle timer on the main run loop: in an LV2 host
  // it only runs while our UI holds it, and run ticks the meter ports.
  plug->DestroyTimer();
  if (!plug->LegalIO(self->mPorts.nInputs, self->mPorts.nOutputs)) return nullptr;

  self->mMap = static_cast<LV2_URID_Map*>(const_cast<void*>(FindFeature(features, LV2_URID__map)));
  if (self->mMap != nullptr) {
    self->mStateKey = self->mMap->map(self->mMap->handle, self->mStateKeyUri.c_str());
    self->mChunkType = self->mMap->map(self->mMap->handle, LV2_ATOM__Chunk);
    self->mSequenceType = self->mMap->map(self->mMap->handle, LV2_ATOM__Sequence);
    self->mObjectType = self->mMap->map(self->mMap->handle, LV2_ATOM__Object);
    self->mStateChangedType = self->mMap->map(self->mMap->handle, LV2_STATE__StateChanged);
  }
  plug->SetSampleRate(sampleRate);
  self->mSampleRate = sampleRate;
  self->mNextTickFrame = self->TickEnd(1);
  self->mEditorStateSeen = self->EditorState();
  const int maxBlock = MaxBlockFromOptions(features, self->mMap);
  if (maxBlock > 0) plug->SetBlockSize(std::min(maxBlock, kLargestMaxBlock));
  plug->SetChannelConnections(kInput, 0, self->mPorts.nInputs, true);
  plug->SetChannelConnections(kOutput, 0, self->mPorts.nOutputs, true);
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
  mStateKeyUri =
      Lv2Turtle::StateKeyUri(binding.stateUri != nullptr ? binding.stateUri : binding.uri);
}

IPluginLV2::~IPluginLV2() {
  mIdleTick.reset();
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
  } else if (p == mPorts.Notify()) {
    mNotifyOut = static_cast<LV2_Atom_Sequence*>(data);
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
  // The meter starts again at rest; readings from before the reset are dropped with one tick.
  mFramesDone = 0;
  mTicksDone = 0;
  mNextTickFrame = TickEnd(1);
  TickMeter();
  mRunMeterDb = kMeterFloorDb;
  mRunLamp = 0.0f;
  mMeterDb.store(mRunMeterDb, std::memory_order_relaxed);
  mLamp.store(mRunLamp, std::memory_order_relaxed);
}

void IPluginLV2::Deactivate() {
  mPlug->OnActivate(false);
}

void IPluginLV2::Run(uint32_t frames) noexcept {
  TakeControlInputs(false);
  const int block = std::max(mPlug->GetBlockSize(), 1);
  uint32_t done = 0;
  while (done < frames) {
    // Slices also end where a meter tick does, so each tick reads exactly its own frames.
    const uint64_t toTick = mNextTickFrame - mFramesDone;
    const int n = static_cast<int>(std::min<uint64_t>(
        std::min<uint32_t>(frames - done, static_cast<uint32_t>(block)), toTick));
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
    mFramesDone += static_cast<uint64_t>(n);
    if (mFramesDone == mNextTickFrame) {
      TickMeter();
      ++mTicksDone;
      mNextTickFrame = TickEnd(mTicksDone + 1);
    }
  }
  if (mLatencyOut != nullptr) *mLatencyOut = static_cast<float>(mPlug->GetLatency());
  if (mMeterOut != nullptr) *mMeterOut = mRunMeterDb;
  if (mLampOut != nullptr) *mLampOut = mRunLamp;
  mMeterDb.store(mRunMeterDb, std::memory_order_relaxed);
  mLamp.store(mRunLamp, std::memory_order_relaxed);
  WriteNotifications();
}

uint64_t IPluginLV2::TickEnd(uint64_t tick) const noexcept {
  const auto end = static_cast<uint64_t>(
      std::llround(static_cast<double>(tick) * mSampleRate / kMeterTicksPerSecond));
  return std::max(end, tick);  // at least a frame per tick, whatever the rate
}

void IPluginLV2::TickMeter() noexcept {
  if (mBinding.tickMeter != nullptr) mBinding.tickMeter(*mPlug, mRunMeterDb, mRunLamp);
}

void IPluginLV2::WriteNotifications() noexcept {
  if (mNotifyOut == nullptr) return;
  // The host set the atom's size to the space it gave us; an empty sequence needs its body.
  const uint32_t capacity = mNotifyOut->atom.size;
  if (capacity < sizeof(LV2_Atom_Sequence_Body) || mSequenceType == 0) return;
  mNotifyOut->atom.type = mSequenceType;
  lv2_atom_sequence_clear(mNotifyOut);
  const uint32_t changes = mStateChanges.load(std::memory_order_relaxed);
  if (changes == mStateChangesSent) return;
  struct {
    LV2_Atom_Event event;
    LV2_Atom_Object_Body object;
  } notice{};
  notice.event.time.frames = 0;
  notice.event.body.type = mObjectType;
  notice.event.body.size = sizeof(LV2_Atom_Object_Body);
  notice.object.id = 0;
  notice.object.otype = mStateChangedType;
  // Too little space: the notice waits for a run with more.
  if (lv2_atom_sequence_append_event(mNotifyOut, capacity, &notice.event) != nullptr) {
    mStateChangesSent = changes;
  }
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
  // The host made this change itself: nothing to announce.
  mEditorStateSeen = EditorState();
  return LV2_STATE_SUCCESS;
}

std::vector<unsigned char> IPluginLV2::EditorState() const {
  IByteChunk chunk;
  if (!mPlug->SerializeState(chunk)) return {};
  const auto params = static_cast<int>(kParamBytes) * mPorts.nParams;
  if (chunk.Size() <= params) return {};
  return {chunk.GetData() + params, chunk.GetData() + chunk.Size()};
}

void IPluginLV2::NoteStateChanges() {
  std::vector<unsigned char> now = EditorState();
  if (now == mEditorStateSeen) return;
  mEditorStateSeen = std::move(now);
  mStateChanges.fetch_add(1, std::memory_order_relaxed);
}

void IPluginLV2::ClaimIdle() {
  if (mIdleTick != nullptr) return;
  mIdleTick = Timer::Create(
      CFRunLoopGetMain(), [this](Timer& timer) { mPlug->OnTimer(timer); }, IPluginAU::kIdleTimerMs);
  if (mIdleTick == nullptr) return;
  // Host changes queued while no editor was open would reach the new editor after its current
  // values (and the newest of them may have been dropped from a full queue): one tick without
  // an editor delivers them to nobody. The meter starts where the ports are.
  mPlug->OnTimer(*mIdleTick);
  if (mBinding.startEditorMeter != nullptr) {
    mBinding.startEditorMeter(*mPlug, MeterDb(), Lamp());
  }
}

void IPluginLV2::ReleaseIdle() {
  mIdleTick.reset();
}

}  // namespace plug
