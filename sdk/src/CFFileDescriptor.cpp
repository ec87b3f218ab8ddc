// CFFileDescriptor.cpp: descriptors with one-shot read and write call-backs, and their run-loop
// source.
#include "sdk/src/RunLoop.h"

#include <atomic>
#include <new>

using namespace tovrasdk;

namespace {

bool IsDescriptor(CFFileDescriptorRef f) {
  return IsType(f, kTypeFileDescriptor);
}

// A reference to an object whose count may be falling to zero on another thread: none then.
bool TryRetain(CFTypeRef cf) {
  std::atomic_ref<long> count(const_cast<__CFRuntimeBase*>(BaseOf(cf))->_retainCount);
  long n = count.load(std::memory_order_relaxed);
  while (n > 0) {
    if (count.compare_exchange_weak(n, n + 1, std::memory_order_relaxed)) return true;
  }
  return false;
}

}  // namespace

namespace tovrasdk {

void DestroyFileDescriptor(CFTypeRef cf) noexcept {
  auto* f = const_cast<__CFFileDescriptor*>(static_cast<const __CFFileDescriptor*>(cf));
  {
    Deferred later;
    std::lock_guard<std::mutex> lock(RunLoop::Mutex());
    RunLoop::InvalidateDescriptorLocked(f, later);
  }
  delete f;
}

}  // namespace tovrasdk

extern "C" {

CFTypeID CFFileDescriptorGetTypeID(void) {
  return kTypeFileDescriptor;
}

CFFileDescriptorRef CFFileDescriptorCreate(CFAllocatorRef, CFFileDescriptorNativeDescriptor fd,
                                           Boolean closeOnInvalidate,
                                           CFFileDescriptorCallBack callout,
                                           const CFFileDescriptorContext* context) {
  if (fd < 0 || callout == nullptr) return nullptr;
  auto* f = new (std::nothrow) __CFFileDescriptor{MortalBase(kTypeFileDescriptor),
                                                  fd,
                                                  closeOnInvalidate != 0,
                                                  callout,
                                                  CFFileDescriptorContext{},
                                                  0,
                                                  true,
                                                  0,
                                                  false,
                                                  nullptr};
  if (f == nullptr) return nullptr;
  if (context != nullptr) {
    f->context = *context;
    if (f->context.retain != nullptr && f->context.info != nullptr)
      f->context.info = f->context.retain(f->context.info);
  }
  return f;
}

CFFileDescriptorNativeDescriptor CFFileDescriptorGetNativeDescriptor(CFFileDescriptorRef f) {
  if (!IsDescriptor(f)) return -1;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  return f->fd;
}

void CFFileDescriptorGetContext(CFFileDescriptorRef f, CFFileDescriptorContext* context) {
  if (!IsDescriptor(f) || context == nullptr) return;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  *context = f->context;
}

void CFFileDescriptorEnableCallBacks(CFFileDescriptorRef f, CFOptionFlags callBackTypes) {
  if (!IsDescriptor(f)) return;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  RunLoop::EnableCallBacksLocked(f, callBackTypes);
}

void CFFileDescriptorDisableCallBacks(CFFileDescriptorRef f, CFOptionFlags callBackTypes) {
  if (!IsDescriptor(f)) return;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  f->enabled &= ~callBackTypes;
}

void CFFileDescriptorInvalidate(CFFileDescriptorRef f) {
  if (!IsDescriptor(f)) return;
  Deferred later;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  RunLoop::InvalidateDescriptorLocked(f, later);
}

Boolean CFFileDescriptorIsValid(CFFileDescriptorRef f) {
  if (!IsDescriptor(f)) return false;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  return f->valid;
}

CFRunLoopSourceRef CFFileDescriptorCreateRunLoopSource(CFAllocatorRef, CFFileDescriptorRef f,
                                                       CFIndex order) {
  if (!IsDescriptor(f)) return nullptr;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  if (!f->valid) return nullptr;
  if (f->source != nullptr && f->source->valid && TryRetain(f->source)) return f->source;
  auto* s = new (std::nothrow)
      __CFRunLoopSource{MortalBase(kTypeRunLoopSource), f, order, true, Schedule{}};
  if (s == nullptr) return nullptr;
  CFRetain(f);
  f->source = s;
  return s;
}

}  // extern "C"
