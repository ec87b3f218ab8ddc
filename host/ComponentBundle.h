// ComponentBundle.h: a component bundle found through its Info.plist, with its binary loaded.
#pragma once

#include "host/InfoPlist.h"

#include <AudioToolbox/AudioComponent.h>

#include <memory>
#include <string>

namespace host {

class ComponentBundle {
 public:
  // Reads <bundlePath>/Contents/Info.plist, loads Contents/MacOS/<CFBundleExecutable> and makes the
  // bundle known to CFBundleGetBundleWithIdentifier. Null, with a text naming the file and the
  // fault, when the plist is missing or malformed or the binary is missing or cannot be loaded.
  static std::shared_ptr<ComponentBundle> Load(const std::string& bundlePath, std::string& error);

  ~ComponentBundle();
  ComponentBundle(const ComponentBundle&) = delete;
  ComponentBundle& operator=(const ComponentBundle&) = delete;

  const InfoPlist& Info() const { return mInfo; }
  const std::string& Path() const { return mPath; }

  // The first entry whose codes match; a zero field in wanted matches any code, as in Apple's
  // component search. Null when none matches.
  const ComponentEntry* Find(const AudioComponentDescription& wanted) const;

  // The entry's exported factory; null, with a text naming the symbol, when the binary lacks it.
  AudioComponentFactoryFunction Factory(const ComponentEntry& entry, std::string& error) const;

  // Any other symbol the binary exports (a view entry, say); null when it has none.
  void* Symbol(const char* name) const;

 private:
  ComponentBundle() = default;

  std::string mPath;
  InfoPlist mInfo;
  void* mHandle = nullptr;
};

}  // namespace host
