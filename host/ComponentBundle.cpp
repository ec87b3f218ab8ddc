// ComponentBundle.cpp: Info.plist reading, dlopen and factory look-up.
#include "host/ComponentBundle.h"

#include <TovraSdk/HostBundle.h>

#include <dlfcn.h>

#include <filesystem>

namespace host {

std::shared_ptr<ComponentBundle> ComponentBundle::Load(const std::string& bundlePath,
                                                       std::string& error) {
  std::shared_ptr<ComponentBundle> bundle(new ComponentBundle);
  if (!InfoPlist::Read(bundlePath, bundle->mInfo, error)) return nullptr;
  const std::string binary = bundlePath + "/Contents/MacOS/" + bundle->mInfo.executable;
  if (!std::filesystem::is_regular_file(binary)) {
    error = "missing binary: " + binary;
    return nullptr;
  }
  // RTLD_NODELETE: constant strings and code of the module may outlive the handle (a host keeps
  // class-info dictionaries after closing an instance), as bundles on macOS are never unloaded.
  bundle->mHandle = ::dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (bundle->mHandle == nullptr) {
    const char* why = ::dlerror();
    error = "cannot load " + binary + ": " + (why != nullptr ? why : "unknown error");
    return nullptr;
  }
  bundle->mPath = bundlePath;
  if (!bundle->mInfo.identifier.empty())
    TovraSdkRegisterBundle(bundle->mInfo.identifier.c_str(), bundlePath.c_str(),
                           bundle->mInfo.version.c_str());
  return bundle;
}

ComponentBundle::~ComponentBundle() {
  if (mHandle != nullptr) ::dlclose(mHandle);
}

const ComponentEntry* ComponentBundle::Find(const AudioComponentDescription& wanted) const {
  auto matches = [](OSType want, OSType have) { return want == 0 || want == have; };
  for (const ComponentEntry& c : mInfo.components) {
    if (matches(wanted.componentType, c.description.componentType) &&
        matches(wanted.componentSubType, c.description.componentSubType) &&
        matches(wanted.componentManufacturer, c.description.componentManufacturer))
      return &c;
  }
  return nullptr;
}

void* ComponentBundle::Symbol(const char* name) const {
  return mHandle != nullptr && name != nullptr ? ::dlsym(mHandle, name) : nullptr;
}

AudioComponentFactoryFunction ComponentBundle::Factory(const ComponentEntry& entry,
                                                       std::string& error) const {
  ::dlerror();
  void* symbol = ::dlsym(mHandle, entry.factoryFunction.c_str());
  if (symbol == nullptr) {
    error = "missing symbol " + entry.factoryFunction + " in " + mPath + "/Contents/MacOS/" +
            mInfo.executable;
    return nullptr;
  }
  return reinterpret_cast<AudioComponentFactoryFunction>(symbol);
}

}  // namespace host
