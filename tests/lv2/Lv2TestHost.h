// Lv2TestHost: a minimal in-process LV2 host for the wrapper tests: URID map, ports, state store.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/TovraSat.h"
#include "core/lv2/TovraSatLv2.h"
#include "lv2/atom/atom.h"
#include "lv2/atom/util.h"
#include "lv2/buf-size/buf-size.h"
#include "lv2/options/options.h"
#include "lv2/state/state.h"
#include "lv2/urid/urid.h"
#include "plug/lv2/IPluginLV2.h"

namespace lv2test {

class UridMap {
 public:
  LV2_URID Map(const char* uri) {
    auto [it, added] = mIds.emplace(uri, static_cast<LV2_URID>(mIds.size() + 1));
    return it->second;
  }
  LV2_URID_Map* Feature() { return &mMap; }

 private:
  static LV2_URID MapFn(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<UridMap*>(handle)->Map(uri);
  }
  std::map<std::string, LV2_URID> mIds;
  LV2_URID_Map mMap{this, MapFn};
};

// One saved property, as a host's state store keeps it.
struct StoredProperty {
  uint32_t key = 0;
  std::vector<unsigned char> value;
  uint32_t type = 0;
  uint32_t flags = 0;
};

class StateStore {
 public:
  std::vector<StoredProperty> properties;

  static LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value,
                                size_t size, uint32_t type, uint32_t flags) {
    auto* self = static_cast<StateStore*>(handle);
    const auto* bytes = static_cast<const unsigned char*>(value);
    self->properties.push_back({key, {bytes, bytes + size}, type, flags});
    return LV2_STATE_SUCCESS;
  }
  static const void* Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                              uint32_t* flags) {
    auto* self = static_cast<StateStore*>(handle);
    for (const StoredProperty& p : self->properties) {
      if (p.key != key) continue;
      *size = p.value.size();
      *type = p.type;
      *flags = p.flags;
      static const unsigned char kEmpty = 0;  // a stored empty value is still there
      return p.value.empty() ? &kEmpty : p.value.data();
    }
    return nullptr;
  }
};

// One instance of TovraSat through its LV2 descriptor, with every port connected.
class Instance {
 public:
  static constexpr int kMaxFrames = 1024;

  explicit Instance(double rate = 48000.0, bool withMap = true, int maxBlock = 0) {
    mMaxBlock = maxBlock;
    mOptions[0] = LV2_Options_Option{LV2_OPTIONS_INSTANCE,
                                     0,
                                     mUrids.Map(LV2_BUF_SIZE__maxBlockLength),
                                     sizeof(int32_t),
                                     mUrids.Map(LV2_ATOM__Int),
                                     &mMaxBlock};
    mOptions[1] = LV2_Options_Option{LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    mMapFeature = {LV2_URID__map, mUrids.Feature()};
    mOptionsFeature = {LV2_OPTIONS__options, mOptions};
    int n = 0;
    if (withMap) mFeatures[n++] = &mMapFeature;
    if (maxBlock > 0) mFeatures[n++] = &mOptionsFeature;
    mFeatures[n] = nullptr;
    mDescriptor = tovrasat::Lv2Descriptor();
    mHandle = mDescriptor->instantiate(mDescriptor, rate, "", mFeatures);
    if (mHandle == nullptr) return;
    const plug::Lv2PortLayout& ports = Wrapper().Ports();
    mControls.assign(static_cast<std::size_t>(ports.nParams), 0.0f);
    for (int i = 0; i < ports.nParams; ++i) {
      mControls[static_cast<std::size_t>(i)] =
          static_cast<float>(Wrapper().Plug().GetParam(i)->GetDefault());
      Connect(i, &mControls[static_cast<std::size_t>(i)]);
    }
    for (int c = 0; c < 2; ++c) {
      mIn[c].assign(kMaxFrames, 0.0f);
      mOut[c].assign(kMaxFrames, 0.0f);
      Connect(ports.AudioIn(c), mIn[c].data());
      Connect(ports.AudioOut(c), mOut[c].data());
    }
    Connect(ports.Latency(), &latency);
    Connect(ports.Meter(), &meter);
    Connect(ports.Lamp(), &lamp);
    Connect(ports.Notify(), mNotify);
  }
  ~Instance() {
    if (mHandle != nullptr) mDescriptor->cleanup(mHandle);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool Ok() const { return mHandle != nullptr; }
  LV2_Handle Handle() const { return mHandle; }
  plug::IPluginLV2& Wrapper() { return *static_cast<plug::IPluginLV2*>(mHandle); }
  TovraSat& Plug() { return static_cast<TovraSat&>(Wrapper().Plug()); }
  // One map for the process, as a host has: state saved by one instance restores in another.
  static UridMap& Urids() {
    static UridMap map;
    return map;
  }

  void Connect(int port, void* data) {
    mDescriptor->connect_port(mHandle, static_cast<uint32_t>(port), data);
  }
  float& Control(int idx) { return mControls[static_cast<std::size_t>(idx)]; }
  std::vector<float>& In(int c) { return mIn[c]; }
  std::vector<float>& Out(int c) { return mOut[c]; }
  void Activate() { mDescriptor->activate(mHandle); }
  // As a host does for an atom output: before each run the sequence's size is the space given.
  void Run(uint32_t frames) {
    auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(mNotify);
    notify->atom.type = 0;
    notify->atom.size = notifyCapacity;
    mDescriptor->run(mHandle, frames);
  }
  // The state:StateChanged notices in what the last run wrote to the notification port; -1 when
  // it is not a sequence.
  int StateChangedNotices() {
    const auto* notify = reinterpret_cast<const LV2_Atom_Sequence*>(mNotify);
    if (notify->atom.type != mSequence) return -1;
    int n = 0;
    LV2_ATOM_SEQUENCE_FOREACH(notify, event) {
      const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
      if (event->body.type == mObject && object->body.otype == mStateChanged) {
        ++n;
      }
    }
    return n;
  }

  const LV2_State_Interface* State() const {
    return static_cast<const LV2_State_Interface*>(
        mDescriptor->extension_data(LV2_STATE__interface));
  }
  LV2_State_Status Save(StateStore& store) {
    return State()->save(mHandle, StateStore::Store, &store, LV2_STATE_IS_POD, nullptr);
  }
  LV2_State_Status Restore(StateStore& store) {
    return State()->restore(mHandle, StateStore::Retrieve, &store, 0, nullptr);
  }

  float latency = -1.0f;
  float meter = 0.0f;
  float lamp = -1.0f;
  uint32_t notifyCapacity = 256;  // bytes for the sequence's body

 private:
  UridMap& mUrids = Urids();
  int32_t mMaxBlock = 0;
  LV2_Options_Option mOptions[2]{};
  LV2_Feature mMapFeature{};
  LV2_Feature mOptionsFeature{};
  const LV2_Feature* mFeatures[3]{};
  const LV2_Descriptor* mDescriptor = nullptr;
  LV2_Handle mHandle = nullptr;
  std::vector<float> mControls;
  std::vector<float> mIn[2];
  std::vector<float> mOut[2];
  // Mapped once: a look-up may allocate, and counting is done inside allocation probes.
  LV2_URID mSequence = mUrids.Map(LV2_ATOM__Sequence);
  LV2_URID mObject = mUrids.Map(LV2_ATOM__Object);
  LV2_URID mStateChanged = mUrids.Map(LV2_STATE__StateChanged);
  // Atom buffers are 64-bit aligned, as hosts give them (events hold 64-bit times).
  alignas(LV2_Atom_Event) unsigned char mNotify[sizeof(LV2_Atom) + 256]{};
};

}  // namespace lv2test
