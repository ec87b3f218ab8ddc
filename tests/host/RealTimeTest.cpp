// RealTimeTest.cpp: HostedUnit::Render allocates nothing (global operator new is counted in this
// binary).
#include "host/HostedUnit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace {
std::atomic<long> gAllocations{0};
static_assert(std::atomic<long>::is_always_lock_free);
}  // namespace

// GCC cannot see that this file's operator new is malloc, and warns when free meets its results.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Replaced for the whole process, so allocations inside the loaded fixture count as well.
void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  operator delete(p);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace {

TEST(HostRealTime, RenderAllocatesNothing) {
  std::string error;
  auto bundle = host::ComponentBundle::Load(GAIN_FIXTURE_BUNDLE, error);
  ASSERT_TRUE(bundle) << error;
  auto unit = host::HostedUnit::Open(bundle, {kAudioUnitType_Effect, 0, 0, 0, 0}, error);
  ASSERT_TRUE(unit) << error;
  ASSERT_EQ(unit->Configure({44100.0, 512, 2, 2}), noErr);
  ASSERT_EQ(unit->Initialize(), noErr);
  std::vector<float> in(512, 0.5f), outL(512), outR(512);
  const float* inputs[2] = {in.data(), in.data()};
  float* outputs[2] = {outL.data(), outR.data()};

  // The counter must see allocations at all, or the test below could not fail.
  const long probe = gAllocations.load();
  ::operator delete(::operator new(8));  // a direct call: compilers may elide new-expressions
  ASSERT_EQ(gAllocations.load(), probe + 1);

  const long before = gAllocations.load();
  for (UInt32 frames : {512u, 1u, 64u, 511u, 512u}) {
    ASSERT_EQ(unit->Render(inputs, outputs, frames), noErr);
    ASSERT_EQ(unit->Render(nullptr, outputs, frames), noErr);
  }
  EXPECT_EQ(gAllocations.load(), before);
  EXPECT_EQ(outL[0], 0.0f);  // the last render had no input
}

}  // namespace
