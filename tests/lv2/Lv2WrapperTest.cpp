// Lv2WrapperTest: TovraSat through its LV2 descriptor in-process: ports, run, state, idle, UI
// refusals, and run allocating nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "lv2/instance-access/instance-access.h"
#include "lv2/ui/ui.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tests/support/AllocationCounter.h"

namespace {

using lv2test::Instance;
using lv2test::StateStore;

constexpr int kGain = TovraSat::kGain;
constexpr int kTrim = TovraSat::kOutputTrim;
constexpr int k48V = TovraSat::k48V;
constexpr int kBypass = TovraSat::kBypass;

void FillSine(Instance& inst, int frames, float amplitude) {
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < frames; ++i) {
      inst.In(c)[static_cast<std::size_t>(i)] =
          amplitude * static_cast<float>(std::sin(0.05 * i + c));
    }
  }
}

TEST(Lv2Ports, LayoutIsParametersThenAudioThenReports) {
  Instance inst;
  ASSERT_TRUE(inst.Ok());
  const plug::Lv2PortLayout& p = inst.Wrapper().Ports();
  EXPECT_EQ(p.nParams, 4);
  EXPECT_EQ(p.AudioIn(0), 4);
  EXPECT_EQ(p.AudioOut(1), 7);
  EXPECT_EQ(p.Latency(), 8);
  EXPECT_EQ(p.Meter(), 9);
  EXPECT_EQ(p.Lamp(), 10);
  EXPECT_EQ(p.Notify(), 11);
  EXPECT_EQ(p.NPorts(), 12);
}

TEST(Lv2Ports, ControlInputsReachThePluginAsHostChanges) {
  Instance inst;
  ASSERT_TRUE(inst.Ok());
  inst.Activate();  // without an editor nobody drains the editor queue: it can be counted
  const int afterActivate = inst.Plug().NParamChangesQueued();
  EXPECT_EQ(afterActivate, 4);  // every connected control is taken at activation

  inst.Control(kGain) = 60.0f;
  inst.Run(64);
  EXPECT_EQ(inst.Plug().GetParam(kGain)->Value(), 60.0);
  EXPECT_EQ(inst.Plug().NParamChangesQueued(), afterActivate + 1);

  inst.Run(64);  // unmoved ports are not sent again
  EXPECT_EQ(inst.Plug().NParamChangesQueued(), afterActivate + 1);

  // Values are the parameter's: out of range clamped, switches rounded; NaN is ignored.
  inst.Control(kGain) = 150.0f;
  inst.Control(k48V) = 0.4f;
  inst.Control(kTrim) = std::nanf("");
  inst.Run(64);
  EXPECT_EQ(inst.Plug().GetParam(kGain)->Value(), 100.0);
  EXPECT_EQ(inst.Plug().GetParam(k48V)->Value(), 0.0);
  EXPECT_EQ(inst.Plug().GetParam(kTrim)->Value(), 0.0);
}

TEST(Lv2Ports, ReportsLatencyAndARestingMeter) {
  Instance inst;
  ASSERT_TRUE(inst.Ok());
  inst.Activate();
  inst.Run(32);
  EXPECT_EQ(inst.latency, 0.0f);
  EXPECT_EQ(inst.meter, -120.0f);
  EXPECT_EQ(inst.lamp, 0.0f);
}

TEST(Lv2Run, InPlaceBuffersGiveTheSameOutputAsSeparateOnes) {
  Instance separate;
  Instance inPlace;
  ASSERT_TRUE(separate.Ok() && inPlace.Ok());
  for (Instance* inst : {&separate, &inPlace}) {
    inst->Control(kGain) = 80.0f;
    inst->Control(kTrim) = 3.0f;
    inst->Activate();
    FillSine(*inst, Instance::kMaxFrames, 0.9f);
  }
  const plug::Lv2PortLayout& p = inPlace.Wrapper().Ports();
  inPlace.Connect(p.AudioOut(0), inPlace.In(0).data());
  inPlace.Connect(p.AudioOut(1), inPlace.In(1).data());
  separate.Run(Instance::kMaxFrames);
  inPlace.Run(Instance::kMaxFrames);
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(separate.Out(c), inPlace.In(c)) << "channel " << c;
  }
  EXPECT_NE(separate.Out(0), separate.In(0));  // the plug-in did process
}

TEST(Lv2Run, LongRunsAreSlicedByTheHostsMaximumBlock) {
  // Frames beyond the plug-in's block size are processed in further slices, not dropped.
  Instance inst(48000.0, true, 256);
  ASSERT_TRUE(inst.Ok());
  EXPECT_EQ(inst.Plug().GetBlockSize(), 256);
  inst.Activate();
  FillSine(inst, Instance::kMaxFrames, 0.5f);
  for (int c = 0; c < 2; ++c) std::fill(inst.Out(c).begin(), inst.Out(c).end(), 9.0f);
  inst.Run(Instance::kMaxFrames);
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < Instance::kMaxFrames; ++i) {
      ASSERT_LT(std::fabs(inst.Out(c)[static_cast<std::size_t>(i)]), 1.0f) << i;
    }
  }
}

TEST(Lv2Run, AllocatesNothingAndTakesParameterChanges) {
  Instance inst;
  ASSERT_TRUE(inst.Ok());
  inst.Activate();
  FillSine(inst, Instance::kMaxFrames, 0.7f);
  inst.Run(512);

  {
    testsupport::ScopedAllocationCount probe;
    ::operator delete(::operator new(8));
    ASSERT_EQ(probe.Count(), 1);  // the counter sees allocations
  }
  testsupport::ScopedAllocationCount count;
  for (uint32_t frames : {512u, 1u, 64u, 1024u, 300u}) {
    inst.Control(kGain) = static_cast<float>(frames % 100);
    inst.Control(kBypass) = frames % 2 == 0 ? 1.0f : 0.0f;
    inst.Run(frames);
  }
  EXPECT_EQ(count.Count(), 0);
}

TEST(Lv2State, RoundTripBringsBackParametersScaleAndPresetName) {
  StateStore store;
  {
    Instance source;
    ASSERT_TRUE(source.Ok());
    source.Control(kGain) = 60.0f;
    source.Control(kTrim) = -3.5f;
    source.Control(k48V) = 0.0f;
    source.Activate();
    source.Run(16);
    source.Plug().mEditorScale = 1.5f;
    source.Plug().mPresetName = "Warm";
    ASSERT_EQ(source.Save(store), LV2_STATE_SUCCESS);

    ASSERT_EQ(store.properties.size(), 1u);
    const lv2test::StoredProperty& saved = store.properties[0];
    plug::IByteChunk expected;
    source.Plug().SerializeState(expected);
    EXPECT_EQ(saved.value,
              std::vector<unsigned char>(expected.GetData(), expected.GetData() + expected.Size()));
    EXPECT_EQ(saved.type, Instance::Urids().Map(LV2_ATOM__Chunk));
    EXPECT_EQ(saved.key, Instance::Urids().Map(source.Wrapper().StateKeyUri()));
    EXPECT_EQ(saved.flags, static_cast<uint32_t>(LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE));
  }
  Instance target;
  ASSERT_TRUE(target.Ok());
  target.Activate();
  ASSERT_EQ(target.Restore(store), LV2_STATE_SUCCESS);
  EXPECT_EQ(target.Plug().GetParam(kGain)->Value(), 60.0);
  EXPECT_EQ(target.Plug().GetParam(kTrim)->Value(), -3.5);
  EXPECT_EQ(target.Plug().GetParam(k48V)->Value(), 0.0);
  EXPECT_EQ(target.Plug().mEditorScale, 1.5f);
  EXPECT_EQ(target.Plug().mPresetName, "Warm");

  // The ports did not move, so the next run keeps what was restored.
  target.Run(16);
  EXPECT_EQ(target.Plug().GetParam(kGain)->Value(), 60.0);
  target.Control(kGain) = 30.0f;
  target.Run(16);
  EXPECT_EQ(target.Plug().GetParam(kGain)->Value(), 30.0);
}

TEST(Lv2State, ForeignOrDamagedStateIsRefusedAndChangesNothing) {
  Instance inst;
  ASSERT_TRUE(inst.Ok());
  const LV2_URID key = Instance::Urids().Map(inst.Wrapper().StateKeyUri());
  const LV2_URID chunk = Instance::Urids().Map(LV2_ATOM__Chunk);
  const std::vector<unsigned char> bytes(40, 0x40);  // a parameter block and more

  struct Case {
    const char* what;
    std::vector<lv2test::StoredProperty> properties;
    LV2_State_Status expected;
  };
  const Case cases[] = {
      {"nothing stored", {}, LV2_STATE_ERR_NO_PROPERTY},
      {"another plug-in's key", {{key + 1000, bytes, chunk, 0}}, LV2_STATE_ERR_NO_PROPERTY},
      {"not a chunk",
       {{key, bytes, Instance::Urids().Map(LV2_ATOM__String), 0}},
       LV2_STATE_ERR_BAD_TYPE},
      {"shorter than the parameters",
       {{key, std::vector<unsigned char>(20, 0x40), chunk, 0}},
       LV2_STATE_ERR_UNKNOWN},
      {"empty chunk", {{key, {}, chunk, 0}}, LV2_STATE_ERR_UNKNOWN},
  };
  for (const Case& c : cases) {
    StateStore store;
    store.properties = c.properties;
    EXPECT_EQ(inst.Restore(store), c.expected) << c.what;
    EXPECT_EQ(inst.Plug().GetParam(kGain)->Value(), 24.0) << c.what;
    EXPECT_EQ(inst.Plug().GetParam(kTrim)->Value(), 0.0) << c.what;
    EXPECT_EQ(inst.Plug().mPresetName, "Default") << c.what;
  }
}

TEST(Lv2State, WithoutAUridMapStateIsUnavailableButAudioWorks) {
  Instance inst(44100.0, false);
  ASSERT_TRUE(inst.Ok());
  StateStore store;
  EXPECT_EQ(inst.Save(store), LV2_STATE_ERR_NO_FEATURE);
  EXPECT_EQ(inst.Restore(store), LV2_STATE_ERR_NO_FEATURE);
  EXPECT_TRUE(store.properties.empty());
  inst.Activate();
  FillSine(inst, 64, 0.5f);
  inst.Run(64);
  EXPECT_NE(inst.Out(0)[10], 0.0f);
}

// The host learns of what only the state chunk holds (the editor's size, the preset name) from
// a state:StateChanged notice on the notification port, once per change, in the run after the
// UI's idle saw it; never for what it did itself (ports, restoring a state).
TEST(Lv2Notify, EditorOnlyChangesAreAnnouncedOnceAndHostChangesNever) {
  Instance inst;
  ASSERT_TRUE(inst.Ok());
  inst.Activate();
  inst.Run(64);
  EXPECT_EQ(inst.StateChangedNotices(), 0);  // an empty sequence at first

  StateStore warm;
  {
    Instance other;
    ASSERT_TRUE(other.Ok());
    other.Plug().mEditorScale = 1.75f;
    other.Plug().mPresetName = "From The Host";
    ASSERT_EQ(other.Save(warm), LV2_STATE_SUCCESS);
  }
  struct Step {
    const char* what;
    std::function<void(Instance&)> change;
    int notices;
  };
  const Step steps[] = {
      {"nothing", [](Instance&) {}, 0},
      {"the editor's size", [](Instance& i) { i.Plug().mEditorScale = 1.5f; }, 1},
      {"the same size again", [](Instance& i) { i.Plug().mEditorScale = 1.5f; }, 0},
      {"a preset chosen in the editor",
       [](Instance& i) {
         i.Plug().ApplyPreset("Warm", tovrapresets::Values{60.0, -2.0, false});
       },
       1},
      {"the preset's name alone", [](Instance& i) { i.Plug().mPresetName = "Warm 2"; }, 1},
      {"a control port",
       [](Instance& i) {
         i.Control(kGain) = 33.0f;
         i.Run(16);
       },
       0},
      {"a state the host restored",
       [&warm](Instance& i) { ASSERT_EQ(i.Restore(warm), LV2_STATE_SUCCESS); }, 0},
  };
  for (const Step& step : steps) {
    step.change(inst);
    inst.Wrapper().NoteStateChanges();  // the UI's idle
    inst.Run(64);
    EXPECT_EQ(inst.StateChangedNotices(), step.notices) << step.what;
    for (int i = 0; i < 5; ++i) {
      inst.Run(64);
      EXPECT_EQ(inst.StateChangedNotices(), 0) << step.what << ": not on every run";
    }
  }
}

TEST(Lv2Notify, ANoticeWithoutRoomWaitsForARunWithRoom) {
  Instance inst;
  ASSERT_TRUE(inst.Ok());
  inst.Activate();
  inst.Plug().mEditorScale = 1.25f;
  inst.Wrapper().NoteStateChanges();
  inst.notifyCapacity = sizeof(LV2_Atom_Sequence_Body) + 8;  // an empty sequence and no more
  inst.Run(64);
  EXPECT_EQ(inst.StateChangedNotices(), 0);
  inst.notifyCapacity = 256;
  inst.Run(64);
  EXPECT_EQ(inst.StateChangedNotices(), 1);
  // A port the host left unconnected is not written; the plug-in still runs.
  inst.Connect(inst.Wrapper().Ports().Notify(), nullptr);
  inst.Plug().mEditorScale = 1.0f;
  inst.Wrapper().NoteStateChanges();
  FillSine(inst, 64, 0.5f);
  inst.Run(64);
  EXPECT_NE(inst.Out(0)[10], 0.0f);
}

TEST(Lv2Instantiate, RefusesAnImpossibleSampleRate) {
  const LV2_Descriptor* d = tovrasat::Lv2Descriptor();
  const LV2_Feature* none[] = {nullptr};
  for (double rate : {0.0, -48000.0, std::nan(""), HUGE_VAL}) {
    EXPECT_EQ(d->instantiate(d, rate, "", none), nullptr) << rate;
  }
  EXPECT_EQ(tovrasat::Lv2Descriptor()->extension_data("http://example.org/nothing"), nullptr);
}

TEST(Lv2Ui, RefusesToOpenWithoutInstanceAccessOrParent) {
  Instance inst;
  ASSERT_TRUE(inst.Ok());
  const LV2UI_Descriptor* ui = tovrasat::Lv2UiDescriptor();
  auto write = [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {};
  const LV2_Feature access{LV2_INSTANCE_ACCESS_URI, inst.Handle()};
  const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(0x1234)};
  const LV2_Feature* withoutAccess[] = {&parent, nullptr};
  const LV2_Feature* withoutParent[] = {&access, nullptr};
  for (const LV2_Feature* const* features : {withoutAccess, withoutParent}) {
    LV2UI_Widget widget = nullptr;
    EXPECT_EQ(ui->instantiate(ui, tovrasat::kLv2PluginUri, "", write, nullptr, &widget, features),
              nullptr);
    EXPECT_EQ(widget, nullptr);
  }
  EXPECT_EQ(inst.Plug().GetUI(), nullptr);
  EXPECT_NE(ui->extension_data(LV2_UI__idleInterface), nullptr);
}

}  // namespace
