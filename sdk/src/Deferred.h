// Deferred.h: releases and call-backs held back until the run loops' lock is released.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <functional>
#include <vector>

namespace tovrasdk {

// Work that must wait until the lock is released: releasing CF objects (their destruction takes
// the lock) and calling the clients' release call-backs (client code may call the run-loop API).
class Deferred {
 public:
  Deferred() = default;
  ~Deferred() { Run(); }
  Deferred(const Deferred&) = delete;
  Deferred& operator=(const Deferred&) = delete;
  void Release(CFTypeRef cf) { mReleases.push_back(cf); }
  void Call(std::function<void()> fn) { mCalls.push_back(std::move(fn)); }
  void Run();

 private:
  std::vector<CFTypeRef> mReleases;
  std::vector<std::function<void()>> mCalls;
};

}  // namespace tovrasdk
