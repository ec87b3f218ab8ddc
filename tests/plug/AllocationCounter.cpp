// Replacement global operator new/delete that count allocations per thread when asked to.
#include "tests/plug/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {

thread_local bool tCounting = false;
thread_local long tAllocations = 0;

void* Allocate(std::size_t size) {
  if (tCounting) ++tAllocations;
  if (size == 0) size = 1;
  if (void* p = std::malloc(size)) return p;
  throw std::bad_alloc();
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  if (tCounting) ++tAllocations;
  const auto align = static_cast<std::size_t>(alignment);
  std::size_t rounded = (size + align - 1) / align * align;
  if (rounded == 0) rounded = align;
  if (void* p = std::aligned_alloc(align, rounded)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(std::size_t size, std::align_val_t a) {
  return AllocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return AllocateAligned(size, a);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}

namespace plugtest {

ScopedAllocationCount::ScopedAllocationCount() : mStart(tAllocations), mWasCounting(tCounting) {
  tCounting = true;
}

ScopedAllocationCount::~ScopedAllocationCount() {
  tCounting = mWasCounting;
}

long ScopedAllocationCount::Count() const {
  return tAllocations - mStart;
}

}  // namespace plugtest
