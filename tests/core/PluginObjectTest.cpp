// PluginObjectTest.cpp: configuration, the four parameters and their texts, reset, the editor
// callbacks and the idle redraw, user presets applied and snapshotted with their host gestures.
#include <gtest/gtest.h>

#include <AudioToolbox/AudioUnitUtilities.h>

#include <cmath>
#include <string>
#include <vector>

#include "gfx/IControl.h"
#include "gfx/IGfx.h"
#include "plug/FourCC.h"
#include "tests/core/CoreTestSupport.h"

namespace {

using plug::IParam;

TEST(TovraSatObject, ConfigurationRecord) {
  const plug::Config c = TovraSat::MakeConfig();
  EXPECT_EQ(c.nParams, 4);
  EXPECT_EQ(c.nPresets, 1);
  EXPECT_EQ(c.channelIOStr, "1-1 2-2");
  EXPECT_EQ(c.vendorVersion, 65536);
  EXPECT_EQ(c.uniqueID, plug::MakeFourCC("TSat"));
  EXPECT_EQ(c.mfrID, plug::MakeFourCC("Mrvk"));
  EXPECT_TRUE(c.plugHasUI);
  EXPECT_EQ(c.plugWidth, 222);
  EXPECT_EQ(c.plugHeight, 666);
  EXPECT_FALSE(c.plugHostResize);
}

TEST(TovraSatObject, Parameters) {
  struct Expected {
    const char* name;
    IParam::EParamType type;
    double min, max, def, step;
    const char* label;
    int nTexts;
  };
  const Expected table[] = {
      {"Gain", IParam::kTypeDouble, 0.0, 100.0, 24.0, 1.0, "%", 0},
      {"Output Trim", IParam::kTypeDouble, -24.0, 12.0, 0.0, 0.1, "dB", 0},
      {"48V", IParam::kTypeBool, 0.0, 1.0, 1.0, 1.0, "", 4},
      {"Bypass", IParam::kTypeBool, 0.0, 1.0, 0.0, 1.0, "", 2},
  };
  auto plugin = coretest::MakePlugin();
  ASSERT_EQ(plugin->NParams(), 4);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const IParam* p = plugin->GetParam(i);
    const Expected& e = table[i];
    EXPECT_STREQ(p->GetName(), e.name);
    EXPECT_EQ(p->Type(), e.type);
    EXPECT_EQ(p->GetMin(), e.min);
    EXPECT_EQ(p->GetMax(), e.max);
    EXPECT_EQ(p->GetDefault(), e.def);
    EXPECT_EQ(p->Value(), e.def);
    EXPECT_DOUBLE_EQ(p->GetStep(), e.step);
    EXPECT_EQ(p->Unit(), IParam::kUnitCustom);
    EXPECT_STREQ(p->GetGroup(), "");
    EXPECT_EQ(p->NDisplayTexts(), e.nTexts);
    if (e.type == IParam::kTypeDouble) {
      EXPECT_STREQ(p->GetLabel(), e.label);
    }
  }
}

TEST(TovraSatObject, SwitchTextsShownAndTyped) {
  auto plugin = coretest::MakePlugin();
  std::string text;
  plugin->GetParam(TovraSat::k48V)->GetDisplay(0.0, false, text);
  EXPECT_EQ(text, "off");
  plugin->GetParam(TovraSat::kBypass)->GetDisplay(1.0, false, text);
  EXPECT_EQ(text, "on");
  // "On" is the fourth text of 48V, but no text of Bypass.
  EXPECT_EQ(plugin->GetParam(TovraSat::k48V)->StringToValue("On"), 1.0);
  EXPECT_EQ(plugin->GetParam(TovraSat::kBypass)->StringToValue("On"), 0.0);
}

struct Event {
  AudioUnitEventType type;
  AudioUnitParameterID id;
};

void Collect(void* userData, void*, const AudioUnitEvent* event, UInt64, AudioUnitParameterValue) {
  static_cast<std::vector<Event>*>(userData)->push_back(
      {event->mEventType, event->mArgument.mParameter.mParameterID});
}

TEST(TovraSatObject, ApplyPresetSetsThreeValuesEachInItsOwnGesture) {
  coretest::OpenedPlugin plugin;
  ASSERT_NE(plugin.get(), nullptr);
  plugin->GetParam(TovraSat::kBypass)->Set(1.0);

  std::vector<Event> events;
  AUEventListenerRef listener = nullptr;
  ASSERT_EQ(AUEventListenerCreate(Collect, &events, nullptr, nullptr, 0.0f, 0.0f, &listener),
            noErr);
  for (AudioUnitParameterID id = 0; id < 4; ++id) {
    for (AudioUnitEventType type :
         {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
          kAudioUnitEvent_EndParameterChangeGesture}) {
      AudioUnitEvent e{};
      e.mEventType = type;
      e.mArgument.mParameter = {plugin.Unit(), id, kAudioUnitScope_Global, 0};
      ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &e), noErr);
    }
  }

  plugin->ApplyPreset("X", tovrapresets::Values{50.0, -6.0, false});
  AUListenerDispose(listener);

  EXPECT_EQ(plugin->GetParam(TovraSat::kGain)->Value(), 50.0);
  EXPECT_EQ(plugin->GetParam(TovraSat::kOutputTrim)->Value(), -6.0);
  EXPECT_EQ(plugin->GetParam(TovraSat::k48V)->Value(), 0.0);
  EXPECT_EQ(plugin->GetParam(TovraSat::kBypass)->Value(), 1.0);
  EXPECT_EQ(plugin->mPresetName, "X");
  ASSERT_EQ(events.size(), 9u);
  for (AudioUnitParameterID id = 0; id < 3; ++id) {
    EXPECT_EQ(events[3 * id].type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(events[3 * id + 1].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(events[3 * id + 2].type, kAudioUnitEvent_EndParameterChangeGesture);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(events[3 * id + static_cast<unsigned>(k)].id, id);
  }

  const tovrapresets::Values snapshot = plugin->SnapshotPreset();
  EXPECT_EQ(snapshot.gain, 50.0);
  EXPECT_EQ(snapshot.trim, -6.0);
  EXPECT_FALSE(snapshot.phat);
}

TEST(TovraSatObject, ApplyPresetKeepsValuesInRange) {
  auto plugin = coretest::MakePlugin();
  plugin->ApplyPreset("Wild", tovrapresets::Values{250.0, -80.0, true});
  EXPECT_EQ(plugin->GetParam(TovraSat::kGain)->Value(), 100.0);
  EXPECT_EQ(plugin->GetParam(TovraSat::kOutputTrim)->Value(), -24.0);
  EXPECT_EQ(plugin->GetParam(TovraSat::k48V)->Value(), 1.0);
}

// OnReset hands the current parameters and the processor's rate to the chain and snaps it.
TEST(TovraSatObject, ResetPreparesTheChainWithTheCurrentParameters) {
  auto plugin = coretest::MakePlugin();
  plugin->GetParam(TovraSat::kGain)->Set(63.0);
  plugin->GetParam(TovraSat::kOutputTrim)->Set(-6.0);
  plugin->GetParam(TovraSat::k48V)->Set(0.0);
  plugin->GetParam(TovraSat::kBypass)->Set(1.0);
  plugin->SetLatency(17);
  plugin->SetSampleRate(96000.0);
  plugin->OnReset();
  const tovrasat::Crusher& c = plugin->mCrusher;
  EXPECT_EQ(c.sampleRate, 96000.0);
  EXPECT_EQ(c.engine.sampleRate, 96000.0);
  EXPECT_EQ(c.gain, static_cast<float>(63.0 * 0.01));
  EXPECT_EQ(c.engine.mixSm.current, static_cast<double>(static_cast<float>(63.0 * 0.01)));
  EXPECT_EQ(c.engine.mixSm.step, 0.0);
  EXPECT_EQ(c.engine.phantom, 0.0);
  EXPECT_EQ(c.bypassMix, 1.0);
  EXPECT_DOUBLE_EQ(c.trimGain, std::pow(10.0, -6.0 * 0.05));
  EXPECT_EQ(c.engine.fastCount, 0);  // the change came before prepare, which clears it
  EXPECT_EQ(plugin->GetLatency(), 0);
}

// Opening makes a 222 x 666 context at the stored zoom, with tooltips on, and lays the editor out;
// a later layout of the populated context adds nothing and only stretches the first control (the
// plate) over the new bounds.
TEST(TovraSatObject, EditorCallbacksMakeAndRefitTheContext) {
  using plug::gfx::IRECT;
  auto plugin = coretest::MakePlugin();
  plugin->mEditorScale = 1.5f;
  ASSERT_NE(plugin->OpenWindow(nullptr), nullptr);
  plug::gfx::IGfx* g = plugin->GetUI();
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Width(), 222);
  EXPECT_EQ(g->Height(), 666);
  EXPECT_EQ(g->GetDrawScale(), 1.5f);
  EXPECT_TRUE(g->TooltipsEnabled());
  const int built = g->NControls();
  ASSERT_GT(built, 1);
  ASSERT_NE(g->GetControlWithTag(TovraSat::kMeterCtrlTag), nullptr);

  plug::gfx::IControl* plate = g->GetControl(0);
  plug::gfx::IControl* other = g->GetControl(1);
  const IRECT otherRect = other->GetRECT();
  g->Resize(300, 900, 1.0f, false);
  plate->SetMouseIsOver(true);
  plugin->LayoutUI(g);
  EXPECT_EQ(g->NControls(), built);
  const IRECT full(0.0f, 0.0f, 300.0f, 900.0f);
  EXPECT_EQ(plate->GetRECT(), full);
  EXPECT_EQ(plate->GetTargetRECT(), full);
  EXPECT_FALSE(plate->GetMouseIsOver());
  EXPECT_EQ(other->GetRECT(), otherRect);
  plugin->CloseWindow();
}

// The idle tick redraws the control tagged as the meter without running its action.
TEST(TovraSatObject, IdleMarksTheOpenMeterDirtyWithoutItsAction) {
  auto plugin = coretest::MakePlugin();
  plugin->OnIdle();  // no editor: nothing to redraw, no crash
  ASSERT_NE(plugin->OpenWindow(nullptr), nullptr);
  plug::gfx::IGfx* g = plugin->GetUI();
  plug::gfx::IControl* meter = g->GetControlWithTag(TovraSat::kMeterCtrlTag);
  ASSERT_NE(meter, nullptr);
  int actions = 0;
  meter->SetActionFunction([&actions](plug::gfx::IControl*) { ++actions; });
  g->SetAllControlsClean();
  plugin->OnIdle();
  EXPECT_TRUE(meter->IsDirty());
  EXPECT_FALSE(g->GetControl(0)->IsDirty());
  EXPECT_EQ(actions, 0);
  plugin->CloseWindow();
}

}  // namespace
