// The replaced pthread lock entry points of the real-time tests: a count, then the C library's
// own implementation.
#include "tests/support/LockCounter.h"

#include <dlfcn.h>
#include <pthread.h>

#if defined(__SANITIZE_THREAD__)
#define TOVRASAT_TEST_LOCKS_COUNTED 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TOVRASAT_TEST_LOCKS_COUNTED 0
#endif
#endif
#ifndef TOVRASAT_TEST_LOCKS_COUNTED
#define TOVRASAT_TEST_LOCKS_COUNTED 1
#endif

namespace {

thread_local bool tCounting = false;
thread_local long tLocks = 0;

[[maybe_unused]] void Count() noexcept {
  if (tCounting) ++tLocks;
}

}  // namespace

namespace testsupport {

bool LocksAreCounted() noexcept {
  return TOVRASAT_TEST_LOCKS_COUNTED != 0;
}

ScopedLockCount::ScopedLockCount() noexcept : mStart(tLocks), mWasCounting(tCounting) {
  tCounting = true;
}

ScopedLockCount::~ScopedLockCount() {
  tCounting = mWasCounting;
}

long ScopedLockCount::Count() const noexcept {
  return tLocks - mStart;
}

}  // namespace testsupport

#if TOVRASAT_TEST_LOCKS_COUNTED
namespace {

// The C library's own entry points, found once behind ours (the loader's lookups do not go through
// these public names, so finding them cannot recurse).
template <typename Fn>
Fn Next(Fn& cached, const char* name) noexcept {
  if (cached == nullptr) cached = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
  return cached;
}

using MutexFn = int (*)(pthread_mutex_t*);
using RwlockFn = int (*)(pthread_rwlock_t*);
MutexFn gMutexLock = nullptr;
MutexFn gMutexTrylock = nullptr;
RwlockFn gRdlock = nullptr;
RwlockFn gWrlock = nullptr;
RwlockFn gTryrdlock = nullptr;
RwlockFn gTrywrlock = nullptr;

// Before main, while there is one thread, so that the cached pointers are not raced for.
[[gnu::constructor]] void FindTheLibraryLocks() {
  Next(gMutexLock, "pthread_mutex_lock");
  Next(gMutexTrylock, "pthread_mutex_trylock");
  Next(gRdlock, "pthread_rwlock_rdlock");
  Next(gWrlock, "pthread_rwlock_wrlock");
  Next(gTryrdlock, "pthread_rwlock_tryrdlock");
  Next(gTrywrlock, "pthread_rwlock_trywrlock");
}

}  // namespace

extern "C" {
int pthread_mutex_lock(pthread_mutex_t* mutex) noexcept {
  Count();
  return Next(gMutexLock, "pthread_mutex_lock")(mutex);
}
int pthread_mutex_trylock(pthread_mutex_t* mutex) noexcept {
  Count();
  return Next(gMutexTrylock, "pthread_mutex_trylock")(mutex);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* lock) noexcept {
  Count();
  return Next(gRdlock, "pthread_rwlock_rdlock")(lock);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* lock) noexcept {
  Count();
  return Next(gWrlock, "pthread_rwlock_wrlock")(lock);
}
int pthread_rwlock_tryrdlock(pthread_rwlock_t* lock) noexcept {
  Count();
  return Next(gTryrdlock, "pthread_rwlock_tryrdlock")(lock);
}
int pthread_rwlock_trywrlock(pthread_rwlock_t* lock) noexcept {
  Count();
  return Next(gTrywrlock, "pthread_rwlock_trywrlock")(lock);
}
}  // extern "C"
#endif
