// The replaced global operator new and delete of the real-time tests: malloc with a count.
#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> gAllocations{0};
static_assert(std::atomic<std::size_t>::is_always_lock_free);
thread_local bool tCounting = false;
thread_local long tAllocations = 0;

void Count() noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (tCounting) ++tAllocations;
}

void* Allocate(std::size_t size) noexcept {
  Count();
  return std::malloc(size == 0 ? 1 : size);
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
  Count();
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t rounded = ((size == 0 ? 1 : size) + align - 1) / align * align;
  return std::aligned_alloc(align, rounded);
}

void* OrThrow(void* p) {
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

namespace testsupport {

std::size_t AllocationCount() noexcept {
  return gAllocations.load(std::memory_order_relaxed);
}

ScopedAllocationCount::ScopedAllocationCount() noexcept
    : mStart(tAllocations), mWasCounting(tCounting) {
  tCounting = true;
}

ScopedAllocationCount::~ScopedAllocationCount() {
  tCounting = mWasCounting;
}

long ScopedAllocationCount::Count() const noexcept {
  return tAllocations - mStart;
}

}  // namespace testsupport

// GCC cannot see that operator new here is malloc, and warns when free meets its results.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  return OrThrow(Allocate(size));
}
void* operator new[](std::size_t size) {
  return OrThrow(Allocate(size));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
  return OrThrow(AllocateAligned(size, a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return OrThrow(AllocateAligned(size, a));
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
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
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
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
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
