// CFRef.h: owns one CoreFoundation reference and releases it, so host code cannot leak or
// double-release.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <utility>

namespace host {

// Holds a reference the owner must release (Create/Copy rule); Retain() adopts a Get-rule one.
template <typename T>
class CFRef {
 public:
  CFRef() noexcept = default;
  explicit CFRef(T ref) noexcept : mRef(ref) {}
  CFRef(const CFRef& other) noexcept : mRef(other.mRef) { CFRetain(mRef); }
  CFRef(CFRef&& other) noexcept : mRef(std::exchange(other.mRef, nullptr)) {}
  CFRef& operator=(CFRef other) noexcept {
    std::swap(mRef, other.mRef);
    return *this;
  }
  ~CFRef() { CFRelease(mRef); }

  static CFRef Retain(T ref) noexcept {
    CFRetain(ref);
    return CFRef(ref);
  }

  T Get() const noexcept { return mRef; }
  explicit operator bool() const noexcept { return mRef != nullptr; }
  // Hands the reference to the caller, who must release it.
  T Release() noexcept { return std::exchange(mRef, nullptr); }

 private:
  T mRef = nullptr;
};

}  // namespace host
