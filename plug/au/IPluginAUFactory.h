// IPluginAUFactory: the component factory and the legacy component entry for one plug-in class.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>

#include "plug/au/IPluginAU.h"

namespace plug {

// Apple deprecates the Component Manager selectors that Entry answers; the entry is for the hosts
// that still call it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

// Plug is a class derived from IPluginAU, constructible from an InstanceInfo, with a static
// ViewFactoryClassName(). The plug-in's module exports two C functions that forward here:
//
//   Factory  the AudioComponentFactoryFunction named in the bundle's Info.plist. Allocates one
//            block: the plug-in interface (Open, Close, Lookup, reserved null), the construct and
//            destruct functions, and room for the plug-in object. Open constructs the object in
//            place, stores the instance, drops never-initialised factory presets and starts the
//            idle timer; Close destroys the object and frees the block.
//   Entry    the older Component Manager entry. Open (-1) creates the object on the heap and, as
//            there is no Component Manager here to keep it, writes its address through
//            componentStorage when that is not null; every later call passes that address back
//            as componentStorage. Close (-2) destroys it, CanDo (-3) answers for selectors 1 to
//            17, Version (-4) gives the plug-in version, Audio Unit selectors are dispatched as by
//            Lookup, anything else is badComponentSelector.
//
// No exception leaves either: a failed construction is an error result.
template <class Plug>
class IPluginAUFactory {
  static_assert(std::is_base_of_v<IPluginAU, Plug>, "the plug-in class must be an IPluginAU");

 public:
  // Threads: main.
  static AudioComponentPlugInInterface* Factory(const AudioComponentDescription*) {
    auto* block = new (std::nothrow) Block;
    if (block == nullptr) return nullptr;
    block->header.mInterface.Open = &Open;
    block->header.mInterface.Close = &Close;
    block->header.mInterface.Lookup = &IPluginAU::Lookup;
    block->header.mInterface.reserved = nullptr;
    block->header.mConstruct = &Construct;
    block->header.mDestruct = &Destruct;
    block->header.mPlug = nullptr;
    return &block->header.mInterface;
  }

  // Threads: that of the selector's method.
  static ComponentResult Entry(ComponentParameters* params, Handle componentStorage) {
    if (params == nullptr) return paramErr;
    auto* plug = reinterpret_cast<Plug*>(componentStorage);
    switch (params->what) {
      case kComponentOpenSelect: {
        if (params->paramSize < static_cast<int>(sizeof(long))) return paramErr;
        Plug* created = Create();
        if (created == nullptr) return memFullErr;
        created->SetComponentInstance(reinterpret_cast<AudioComponentInstance>(params->params[0]));
        created->CreateTimer();
        if (componentStorage != nullptr) *componentStorage = reinterpret_cast<char*>(created);
        return noErr;
      }
      case kComponentCloseSelect:
        delete plug;
        return noErr;
      case kComponentCanDoSelect:
        if (params->paramSize < static_cast<int>(sizeof(long))) return paramErr;
        return IPluginAU::CanDoSelector(static_cast<SInt16>(params->params[0])) ? 1 : 0;
      case kComponentVersionSelect:
        return plug != nullptr ? plug->GetPluginVersion(false) : badComponentInstance;
      default:
        if (plug == nullptr) return badComponentInstance;
        return plug->DispatchLegacy(params);
    }
  }

 private:
  struct Block {
    AUInstanceHeader header;  // first: the instance pointer is the block's address
    alignas(Plug) unsigned char storage[sizeof(Plug)];
  };
  static_assert(offsetof(Block, header) == 0);

  static InstanceInfo Info() {
    InstanceInfo info;
    info.mCocoaViewFactoryClassName = Plug::ViewFactoryClassName();
    return info;
  }

  static Plug* Create() {
    try {
      auto* plug = new Plug(Info());
      plug->PruneUninitializedPresets();
      return plug;
    } catch (...) {
      return nullptr;
    }
  }

  static void Construct(void* storage, AudioComponentInstance instance) {
    auto* plug = new (storage) Plug(Info());
    plug->SetComponentInstance(instance);
    plug->PruneUninitializedPresets();
  }

  static void Destruct(void* storage) { static_cast<Plug*>(storage)->~Plug(); }

  static OSStatus Open(void* self, AudioComponentInstance instance) {
    auto* block = static_cast<Block*>(self);
    if (block == nullptr) return badComponentInstance;
    try {
      block->header.mConstruct(block->storage, instance);
    } catch (...) {
      return memFullErr;
    }
    Plug* plug = std::launder(reinterpret_cast<Plug*>(block->storage));
    block->header.mPlug = plug;
    plug->CreateTimer();  // the whole object exists now, so its idle tick may reach OnIdle
    return noErr;
  }

  static OSStatus Close(void* self) {
    auto* block = static_cast<Block*>(self);
    if (block == nullptr) return badComponentInstance;
    if (block->header.mPlug != nullptr) {
      block->header.mPlug = nullptr;
      block->header.mDestruct(block->storage);
    }
    delete block;
    return noErr;
  }
};
#pragma GCC diagnostic pop

}  // namespace plug
