// Counts the pthread mutex and rwlock acquisitions of test binaries that link it (std::mutex,
// std::shared_mutex and the C library's users all go through them).
#pragma once

namespace testsupport {

// False where the lock entry points are not replaced (under ThreadSanitizer, whose own
// replacements they must stay): nothing is counted there.
bool LocksAreCounted() noexcept;

// Counts only the calling thread's lock calls (taken or tried) while alive.
class ScopedLockCount {
 public:
  ScopedLockCount() noexcept;
  ~ScopedLockCount();
  ScopedLockCount(const ScopedLockCount&) = delete;
  ScopedLockCount& operator=(const ScopedLockCount&) = delete;

  // Lock calls made by this thread since the scope began.
  long Count() const noexcept;

 private:
  long mStart;
  bool mWasCounting;
};

}  // namespace testsupport
