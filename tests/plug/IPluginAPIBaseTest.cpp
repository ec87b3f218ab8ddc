// IPluginAPIBase and IEditorDelegate: parameter routes, queues, idle tick, host, versions, sizing.
#include "plug/api/IPluginAPIBase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <TovraSdk/RunLoopClock.h>

#include "tests/plug/TestPlugin.h"

namespace {

using plug::kDelegate;
using plug::kUI;
using plugtest::Event;
using plugtest::TestPlugin;

class APIBase : public ::testing::Test {
 protected:
  void SetUp() override {
    p.InitTovraParams();
    timer = plug::Timer::Create([](plug::Timer&) {}, 20);
  }

  TestPlugin p;
  std::unique_ptr<plug::Timer> timer;  // OnTimer wants a timer; nobody pumps the main loop here
};

// --------------------------------------------------------------------------- parameter routes

TEST_F(APIBase, SixHundredHostChangesBetweenTwoTicks) {
  for (int i = 0; i < 600; ++i) {
    const int idx = i % 2;  // Gain and Output Trim
    const double value = idx == 0 ? (i % 100) : -24.0 + (i % 36);
    p.GetParam(idx)->Set(value);  // what the wrapper does first
    p.SendParameterValueFromAPI(idx, value, false);
    p.OnParamChange(idx, plug::kHost, 0);
  }
  EXPECT_EQ(p.NParamChangesQueued(), 512);
  p.TakeEvents();
  p.OnTimer(*timer);

  std::vector<Event> events = p.TakeEvents();
  int delivered = 0;
  for (const Event& e : events) {
    if (e.kind != Event::kFromDelegate) continue;
    const int i = delivered++;
    const int idx = i % 2;
    ASSERT_EQ(e.idx, idx);
    ASSERT_EQ(e.value, idx == 0 ? (i % 100) : -24.0 + (i % 36));  // the first 512, in order
    ASSERT_EQ(e.extra, 0);                                        // real values
  }
  EXPECT_EQ(delivered, 512);
  EXPECT_EQ(events.back().kind, Event::kIdle);
  // Every value was applied, also the ones the editor never heard of.
  EXPECT_EQ(p.GetParam(0)->Value(), 598 % 100);
  EXPECT_EQ(p.GetParam(1)->Value(), -24.0 + (599 % 36));

  p.OnTimer(*timer);
  EXPECT_EQ(p.TakeEvents(), std::vector<Event>{Event(Event::kIdle)});
}

TEST_F(APIBase, FromAPIConvertsNormalisedValuesAndRejectsUnknownParameters) {
  EXPECT_TRUE(p.SendParameterValueFromAPI(0, 0.5, true));
  EXPECT_FALSE(p.SendParameterValueFromAPI(4, 0.5, true));
  EXPECT_FALSE(p.SendParameterValueFromAPI(-1, 0.5, false));
  p.TakeEvents();
  p.OnTimer(*timer);
  const std::vector<Event> expected = {Event(Event::kFromDelegate, 0, 50.0, 0),
                                       Event(Event::kParamChangeUI, 0, 0.0, kDelegate),
                                       Event(Event::kIdle)};
  EXPECT_EQ(p.TakeEvents(), expected);
}

TEST_F(APIBase, EditorChangeSetsValueTellsHostAndNotifies) {
  p.SendParameterValueFromUI(1, 0.75);
  EXPECT_DOUBLE_EQ(p.GetParam(1)->Value(), 3.0);
  const std::vector<Event> expected = {Event(Event::kInformHost, 1, 0.75),
                                       Event(Event::kParamChange, 1),
                                       Event(Event::kParamChangeUI, 1, 0.0, kUI)};
  EXPECT_EQ(p.TakeEvents(), expected);

  p.SendParameterValueFromUI(9, 0.5);  // unknown: nothing happens
  p.SetParameterValue(-1, 0.5);
  EXPECT_TRUE(p.TakeEvents().empty());
}

TEST_F(APIBase, GesturesAndDirtyParametersReachTheHost) {
  p.BeginInformHostOfParamChangeFromUI(2);
  p.EndInformHostOfParamChangeFromUI(2);
  p.DirtyParametersFromUI();
  const std::vector<Event> expected = {
      Event(Event::kBeginGesture, 2),     Event(Event::kEndGesture, 2),
      Event(Event::kInformHost, 0, 0.24), Event(Event::kInformHost, 1, 24.0 / 36.0),
      Event(Event::kInformHost, 2, 1.0),  Event(Event::kInformHost, 3, 0.0)};
  const std::vector<Event> got = p.TakeEvents();
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].kind, expected[i].kind) << i;
    EXPECT_EQ(got[i].idx, expected[i].idx) << i;
    EXPECT_DOUBLE_EQ(got[i].value, expected[i].value) << i;
  }
}

TEST_F(APIBase, ParamResetAndUIOpenVisitEveryParameterInOrder) {
  p.OnParamReset(plug::kReset);
  std::vector<Event> expected;
  for (int i = 0; i < 4; ++i) {
    expected.emplace_back(Event::kParamChange, i);
    expected.emplace_back(Event::kParamChangeUI, i, 0.0, plug::kReset);
  }
  EXPECT_EQ(p.TakeEvents(), expected);

  p.OnUIOpen();
  expected.clear();
  const double normalized[4] = {0.24, 24.0 / 36.0, 1.0, 0.0};
  for (int i = 0; i < 4; ++i) {
    expected.emplace_back(Event::kFromDelegate, i, normalized[i], 1);
    expected.emplace_back(Event::kParamChangeUI, i, 0.0, kDelegate);
  }
  EXPECT_EQ(p.TakeEvents(), expected);
}

TEST_F(APIBase, TimerTickDeliversParamsThenMidiThenSysExThenIdle) {
  const std::uint8_t bytes[3] = {0xF0, 0x01, 0xF7};
  ASSERT_TRUE(p.PushSysExToEditor({0, bytes, 3}));
  ASSERT_TRUE(p.PushMidiMsgToEditor({0, 0x90, 64, 1}));
  ASSERT_TRUE(p.SendParameterValueFromAPI(3, 1.0, false));
  p.TakeEvents();
  p.OnTimer(*timer);
  const std::vector<Event> expected = {
      Event(Event::kFromDelegate, 3, 1.0, 0), Event(Event::kParamChangeUI, 3, 0.0, kDelegate),
      Event(Event::kMidiFromDelegate, -1, 0.0, 0x90), Event(Event::kSysExFromDelegate, -1, 0.0, 3),
      Event(Event::kIdle)};
  EXPECT_EQ(p.TakeEvents(), expected);
}

TEST_F(APIBase, RingsHoldOneLessThanTheirSlotsAndDropWhenFull) {
  EXPECT_EQ(p.GetParamChangeQueue().StorageBytes(), 8208u);
  EXPECT_EQ(p.GetMidiQueueToEditor().StorageBytes(), 264u);
  EXPECT_EQ(p.GetSysExQueueToEditor().StorageBytes(), 2600u);

  int midiPushed = 0;
  for (int i = 0; i < 40; ++i) midiPushed += p.PushMidiMsgToEditor({i, 0x90, 1, 1}) ? 1 : 0;
  EXPECT_EQ(midiPushed, 32);

  const std::uint8_t big[600] = {};
  EXPECT_FALSE(p.PushSysExToEditor({0, big, 513}));  // longer than a record holds
  EXPECT_FALSE(p.PushSysExToEditor({0, nullptr, 4}));
  int sysexPushed = 0;
  for (int i = 0; i < 10; ++i) sysexPushed += p.PushSysExToEditor({i, big, 512}) ? 1 : 0;
  EXPECT_EQ(sysexPushed, 4);

  // From the editor to the processor, in order.
  for (int i = 0; i < 40; ++i) p.SendMidiMsgFromUI({i, 0xB0, 7, 1});
  p.SendSysexMsgFromUI({5, big, 2});
  plug::IMidiMsg msg;
  int popped = 0;
  while (p.PopMidiMsgFromEditor(msg)) {
    ASSERT_EQ(msg.mOffset, popped);
    ++popped;
  }
  EXPECT_EQ(popped, 32);
  plug::SysExData sysex;
  ASSERT_TRUE(p.PopSysExFromEditor(sysex));
  EXPECT_EQ(sysex.mOffset, 5);
  EXPECT_EQ(sysex.mSize, 2);
  EXPECT_FALSE(p.PopSysExFromEditor(sysex));
}

// --------------------------------------------------------------------------- idle timer

TEST(APIBaseTimer, IdleTimerTicksEvery20msOnTheMainRunLoop) {
  TovraSdkRunLoopUseManualClock(1.0);
  TestPlugin p;
  p.CreateTimer();
  ASSERT_TRUE(p.HasTimer());
  EXPECT_EQ(TovraSdkRunLoopAdvanceBy(0.1),
            6);  // due at creation, then 20, 40, 60, 80, 100 ms later
  EXPECT_EQ(p.TakeEvents().size(), 6u);
  p.DestroyTimer();
  EXPECT_EQ(TovraSdkRunLoopAdvanceBy(0.1), 0);
  EXPECT_TRUE(p.TakeEvents().empty());
  TovraSdkRunLoopUseSystemClock();
}

// ------------------------------------------------------------------------------------- host

TEST(APIBaseHost, SetHostFindsTheFirstKeyInTableOrder) {
  const struct {
    const char* name;
    int host;
  } cases[] = {
      {"Logic Pro X", 21},    {"LOGIC", 21},
      {"lOgIc", 21},          {"WaveLab Elements 11.2", 32},  // before "wavelab"
      {"WaveLab 11", 31},     {"Cubase Live Edition", 3},     // both keys: the first one tested
      {"Ableton Live 11", 9}, {"Bitwig Studio", 34},
      {"Standalone", 24},     {"REAPER64", 1},
      {"Unheard-of Host", 0}, {"", 0},
      {nullptr, 0},
  };
  for (const auto& c : cases) {
    TestPlugin p;
    EXPECT_EQ(p.GetHost(), -1);
    p.SetHost(c.name, 0x00050203);
    EXPECT_EQ(p.GetHost(), c.host) << (c.name ? c.name : "(null)");
    EXPECT_STREQ(p.GetRawHostName(), c.name ? c.name : "");
    const std::vector<Event> expected = {Event(Event::kHostSpecificInit),
                                         Event(Event::kHostIdentified)};
    EXPECT_EQ(p.TakeEvents(), expected);
  }
  // Only the first 255 characters are searched.
  EXPECT_EQ(plug::IPluginAPIBase::LookUpHost((std::string(255, 'x') + "logic").c_str()), 0);
  EXPECT_EQ(plug::IPluginAPIBase::LookUpHost((std::string(250, 'x') + "logic").c_str()), 21);
}

TEST(APIBaseHost, VersionsAsPackedDecimalAndText) {
  const struct {
    int packed, decimal;
    const char* text;
  } cases[] = {{0x10000, 10000, "v1.0.0"},
               {0x010203, 10203, "v1.2.3"},
               {0x0A0B0C, 101112, "v10.11.12"},
               {0, 0, "v0.0.0"}};
  for (const auto& c : cases) {
    plug::Config config = plugtest::TovraConfig();
    config.vendorVersion = c.packed;
    TestPlugin p(config);
    p.SetHost("Logic", c.packed);
    std::string s;
    EXPECT_EQ(p.GetPluginVersion(false), c.packed);
    EXPECT_EQ(p.GetPluginVersion(true), c.decimal);
    p.GetPluginVersionStr(s);
    EXPECT_EQ(s, c.text);
    EXPECT_EQ(p.GetHostVersion(true), c.decimal);
    p.GetHostVersionStr(s);
    EXPECT_EQ(s, c.text);
  }
}

TEST(APIBaseHost, APINames) {
  const char* names[] = {"VST2", "VST3", "AU", "AUv3", "AAX", "APP", "WAM", "WEB", "CLAP"};
  for (int i = 0; i < 9; ++i) {
    EXPECT_STREQ(plug::IPluginBase::GetAPIStr(static_cast<plug::EAPI>(i)), names[i]);
  }
  EXPECT_STREQ(plug::IPluginBase::GetAPIStr(static_cast<plug::EAPI>(9)), "");
  EXPECT_STREQ(plug::IPluginBase::GetAPIStr(static_cast<plug::EAPI>(-1)), "");
  TestPlugin p;
  EXPECT_STREQ(p.GetAPIStr(), "AU");
}

TEST(APIBaseHost, IdentityComesFromTheConfiguration) {
  plug::Config config = plugtest::TovraConfig();
  config.mfrName = std::string(200, 'm');
  TestPlugin p(config);
  EXPECT_STREQ(p.GetPluginName(), "TovraSat");
  EXPECT_EQ(std::string(p.GetMfrName()).size(), 128u);
  EXPECT_EQ(p.GetUniqueID(), 0x54536174u);  // 'TSat'
  EXPECT_EQ(p.GetMfrID(), 0x4D72766Bu);     // 'Mrvk'
  EXPECT_TRUE(p.HasUI());
  EXPECT_EQ(p.NParams(), 4);
  EXPECT_EQ(p.GetParam(4), nullptr);
  EXPECT_EQ(p.GetParam(-1), nullptr);
}

// ----------------------------------------------------------------------------- editor size

TEST(EditorSize, ConstrainEditorResizeClampsIntoTheLimits) {
  const struct {
    int w, h;
    bool inside;
    int expectedW, expectedH;
  } cases[] = {
      {222, 666, true, 222, 666},  {74, 222, true, 74, 222},      {666, 1998, true, 666, 1998},
      {700, 666, false, 666, 666},  // only the width moves
      {50, 100, false, 74, 222},   {300, 3000, false, 300, 1998}, {-5, 666, false, 74, 666},
  };
  TestPlugin p;
  for (const auto& c : cases) {
    int w = c.w, h = c.h;
    EXPECT_EQ(p.ConstrainEditorResize(w, h), c.inside) << c.w << "x" << c.h;
    EXPECT_EQ(w, c.expectedW) << c.w << "x" << c.h;
    EXPECT_EQ(h, c.expectedH) << c.w << "x" << c.h;
  }
}

TEST(EditorSize, LimitsAreSortedAndResizeRequestsAnswered) {
  plug::Config config = plugtest::TovraConfig();
  config.plugMinWidth = 666;  // given the wrong way round
  config.plugMaxWidth = 74;
  TestPlugin p(config);
  EXPECT_EQ(p.GetMinWidth(), 74);
  EXPECT_EQ(p.GetMaxWidth(), 666);
  EXPECT_EQ(p.GetEditorWidth(), 222);
  EXPECT_EQ(p.GetEditorHeight(), 666);
  EXPECT_TRUE(p.EditorResizeFromUI(300, 900, false));
  EXPECT_FALSE(p.EditorResizeFromUI(300, 900, true));  // the host window is not resized
  EXPECT_EQ(p.OpenWindow(nullptr), nullptr);           // no graphics toolkit in this layer
}

}  // namespace
