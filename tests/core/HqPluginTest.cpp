// TovraSat HQ as an object: its codes and latency, the latency its audio really has, and the
// state chunk moving between it and TovraSat unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/TovraSat.h"
#include "core/TovraSatHQ.h"
#include "plug/FourCC.h"
#include "tests/core/CoreTestSupport.h"

namespace {

std::unique_ptr<TovraSat> MakeHq() {
  plug::InstanceInfo info;
  info.mCocoaViewFactoryClassName = TovraSat::ViewFactoryClassName();
  return std::make_unique<TovraSatHQ>(info);
}

// An impulse at Gain 0 (the dry path through the filters) peaks exactly where the reported
// latency says, at every rate, and hardly anything comes out sooner; the latency is the same
// number of frames at each and at most 1 ms at 44.1 kHz.
TEST(TovraSatHq, ImpulsePeaksAtTheReportedLatency) {
  for (const double rate : {44100.0, 48000.0, 96000.0}) {
    auto hq = MakeHq();
    ASSERT_TRUE(hq->IsHq());
    hq->GetParam(TovraSat::kGain)->Set(0.0);
    coretest::Prepare(*hq, 2, 2, rate);
    const int latency = hq->GetLatency();
    EXPECT_EQ(latency, 44) << rate;
    EXPECT_LE(latency / rate, 0.001) << rate;
    std::vector<double> l(300, 0.0), r(300, 0.0), outL(300), outR(300);
    l[10] = 0.5;
    r[10] = -0.5;
    double* ins[2] = {l.data(), r.data()};
    double* outs[2] = {outL.data(), outR.data()};
    hq->ProcessBlock(ins, outs, 300);
    int peakAt = 0;
    for (int i = 0; i < 300; ++i) {
      if (std::fabs(outL[static_cast<std::size_t>(i)]) >
          std::fabs(outL[static_cast<std::size_t>(peakAt)]))
        peakAt = i;
    }
    EXPECT_EQ(peakAt, 10 + latency) << rate;
    // The first filter stage is not linear phase: its response leads in over two frames and rings
    // after the peak.
    const auto at = [&outL](int i) { return outL[static_cast<std::size_t>(i)]; };
    EXPECT_GT(at(peakAt), 0.3);
    for (int i = 0; i < peakAt - 2; ++i) EXPECT_LT(std::fabs(at(i)), 0.1 * at(peakAt)) << i;
    EXPECT_EQ(outR[static_cast<std::size_t>(peakAt)], -at(peakAt));
  }
  auto standard = coretest::MakePlugin();
  coretest::Prepare(*standard, 2, 2, 44100.0);
  EXPECT_EQ(standard->GetLatency(), 0);
  EXPECT_FALSE(standard->IsHq());
}

TEST(TovraSatHq, CodesAndNameAreItsOwn) {
  const plug::Config hq = TovraSat::MakeConfig(TovraSat::EVariant::kHq);
  const plug::Config standard = TovraSat::MakeConfig();
  EXPECT_EQ(hq.uniqueID, plug::MakeFourCC("TSHq"));
  EXPECT_EQ(standard.uniqueID, plug::MakeFourCC("TSat"));
  EXPECT_EQ(hq.pluginName, "TovraSat HQ");
  EXPECT_EQ(standard.pluginName, "TovraSat");
  EXPECT_EQ(hq.mfrID, standard.mfrID);
  EXPECT_EQ(standard.latency, 0);
}

// A state saved by either plug-in restores in the other to the same values, zoom and preset
// name, and is written back byte for byte.
TEST(TovraSatHq, StateChunkMovesBetweenTheTwoUnchanged) {
  auto standard = coretest::MakePlugin();
  auto hq = MakeHq();
  for (const bool fromHq : {false, true}) {
    TovraSat& from = fromHq ? *hq : *standard;
    TovraSat& to = fromHq ? *standard : *hq;
    from.GetParam(TovraSat::kGain)->Set(fromHq ? 71.0 : 37.0);
    from.GetParam(TovraSat::kOutputTrim)->Set(-3.5);
    from.GetParam(TovraSat::k48V)->Set(0.0);
    from.mEditorScale = 1.5f;
    from.mPresetName = fromHq ? "Loud" : "Warm";
    plug::IByteChunk chunk;
    ASSERT_TRUE(from.SerializeState(chunk));
    EXPECT_EQ(to.UnserializeState(chunk, 0), chunk.Size());
    plug::IByteChunk back;
    ASSERT_TRUE(to.SerializeState(back));
    ASSERT_EQ(back.Size(), chunk.Size());
    EXPECT_EQ(std::vector<unsigned char>(back.GetData(), back.GetData() + back.Size()),
              std::vector<unsigned char>(chunk.GetData(), chunk.GetData() + chunk.Size()));
    EXPECT_EQ(to.mPresetName, fromHq ? "Loud" : "Warm");
  }
}

}  // namespace
