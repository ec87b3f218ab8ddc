// RealTimeTest.cpp: HostedUnit::Render allocates nothing (global operator new is counted across
// the process, the loaded fixture included).
#include "host/HostedUnit.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <vector>

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
  const std::size_t probe = testsupport::AllocationCount();
  ::operator delete(::operator new(8));  // a direct call: compilers may elide new-expressions
  ASSERT_EQ(testsupport::AllocationCount(), probe + 1);

  const std::size_t before = testsupport::AllocationCount();
  for (UInt32 frames : {512u, 1u, 64u, 511u, 512u}) {
    ASSERT_EQ(unit->Render(inputs, outputs, frames), noErr);
    ASSERT_EQ(unit->Render(nullptr, outputs, frames), noErr);
  }
  EXPECT_EQ(testsupport::AllocationCount(), before);
  EXPECT_EQ(outL[0], 0.0f);  // the last render had no input
}

}  // namespace
