// The plug-in's editor in a real X11 window, opened through the host's view entry as a DAW
// opens it, and used with real X input: what the host sees of each gesture, the size menu, the
// preset bar, tooltips, closing, and the window's pixels against the offscreen editor's.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <TovraSdk/RunLoopClock.h>

#include "gfx/platform/OffscreenTarget.h"
#include "gfx/platform/RGBAImage.h"
#include "tests/support/Environment.h"
#include "tests/support/PlatePixels.h"
#include "tests/support/XSession.h"
#include "tests/support/XvfbEnvironment.h"
#include "tools/player/EditorPlayer.h"
#include "tools/pluginhost/PluginHost.h"

namespace {

namespace fs = std::filesystem;
using testsupport::PlatePoint;
using testsupport::XSession;

// One event the host heard: 'b' begin gesture, 'v' value, 'e' end gesture.
struct HostEvent {
  char kind;
  AudioUnitParameterID id;
  float value;
};

class EditorWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::XvfbRunning());
    ASSERT_NE(xs.Get(), nullptr);
    ASSERT_FALSE(presets.Path().empty());

    std::string error;
    bundle = tools::PluginHost::LoadBundle(TOVRASAT_REAL_COMPONENT, error);
    ASSERT_TRUE(bundle) << error;
    plugin = tools::PluginHost::Open(bundle, error);
    ASSERT_TRUE(plugin) << error;
    ASSERT_TRUE(plugin->Prepare(48000.0, 2, 512, error)) << error;
    // As in a DAW, the main run loop follows the wall clock (the tool's host starts offline).
    TovraSdkRunLoopUseSystemClock();
    plugin->Unit().ListenToParameters([this](const AudioUnitEvent& e, AudioUnitParameterValue v) {
      const char kind = e.mEventType == kAudioUnitEvent_BeginParameterChangeGesture ? 'b'
                        : e.mEventType == kAudioUnitEvent_EndParameterChangeGesture ? 'e'
                                                                                    : 'v';
      heard.push_back({kind, e.mArgument.mParameter.mParameterID, v});
    });
    window = Open();
    ASSERT_NE(window, 0u);
  }
  void TearDown() override {
    plugin.reset();  // closing the unit destroys the plug-in and its editor
    bundle.reset();
  }

  /** Opens the editor as a top-level window at (kLeft, kTop) and waits for its first frame. */
  Window Open() {
    void* view = tools::OpenEditorView(*bundle, plugin->Unit(), xs.Root());
    const auto w = reinterpret_cast<Window>(view);
    if (!w) return 0;
    XMoveWindow(xs.Get(), w, kLeft, kTop);
    XSync(xs.Get(), False);
    return xs.WaitForFrames(w, 1) ? w : 0;
  }

  float Param(AudioUnitParameterID id) const { return *plugin->Unit().GetParameter(id); }
  std::string Win() const { return std::to_string(window); }
  void Xdo(const std::string& args) { ASSERT_TRUE(XSession::Xdo(args)) << args; }
  void MoveTo(double plateX, double plateY) {
    Xdo("mousemove --window " + Win() + " " + PlatePoint(plateX, plateY));
  }
  /** Waits for n popup windows and gives the last one. */
  XSession::Geometry WaitForPopups(std::size_t n) {
    std::vector<XSession::Geometry> popups;
    EXPECT_TRUE(XSession::PumpUntil([&] {
      popups = xs.Popups();
      return popups.size() == n;
    })) << "waiting for "
        << n << " popup windows";
    return popups.empty() ? XSession::Geometry{} : popups.back();
  }
  /** Clicks item row of a menu level (22 pixels a row, 9 a separator, 3 of margin). */
  void ClickMenuRow(const XSession::Geometry& menu, int rowsAbove, int separatorsAbove) {
    const int y = menu.y + 3 + 22 * rowsAbove + 9 * separatorsAbove + 11;
    Xdo("mousemove " + std::to_string(menu.x + 30) + " " + std::to_string(y) + " click 1");
  }

  static constexpr int kLeft = 100, kTop = 100;

  XSession xs;
  testsupport::PrivateDataHome presets;  // the preset bar's folder
  std::shared_ptr<host::ComponentBundle> bundle;
  std::unique_ptr<tools::PluginHost> plugin;
  std::vector<HostEvent> heard;
  Window window = 0;
};

TEST_F(EditorWindow, ClickOn48VTogglesItAsTheHostSeesIt) {
  ASSERT_FLOAT_EQ(Param(tools::kParam48V), 1.f);
  MoveTo(337, 575);  // the middle of the 48V switch
  Xdo("click 1");
  ASSERT_TRUE(XSession::PumpUntil([&] { return Param(tools::kParam48V) == 0.f; }));
  ASSERT_TRUE(XSession::PumpUntil([&] { return !heard.empty() && heard.back().kind == 'e'; }));
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(heard[0].kind, 'b');
  EXPECT_EQ(heard[1].kind, 'v');
  EXPECT_EQ(heard[1].value, 0.f);
  for (const HostEvent& e : heard) EXPECT_EQ(e.id, tools::kParam48V);
}

TEST_F(EditorWindow, GainKnobFollowsDragDoubleClickAndWheel) {
  // 100 pixels up over the knob's 330-unit target at gearing 4.
  const double expected = 24.0 + 100.0 * 100.0 / (330.0 * testsupport::kPixelsPerPlateUnit) / 4.0;
  MoveTo(332, 1366);
  Xdo("mousedown 1 mousemove_relative -- 0 -100 mouseup 1");
  ASSERT_TRUE(XSession::PumpUntil([&] { return !heard.empty() && heard.back().kind == 'e'; }));
  EXPECT_NEAR(Param(tools::kParamGain), expected, 1e-3);

  MoveTo(332, 1366);
  Xdo("click --repeat 2 --delay 60 1");
  ASSERT_TRUE(XSession::PumpUntil([&] { return Param(tools::kParamGain) == 24.f; }))
      << "a double-click returns it to its default";

  Xdo("click 4");
  ASSERT_TRUE(XSession::PumpUntil([&] { return Param(tools::kParamGain) > 24.5f; }));
  EXPECT_NEAR(Param(tools::kParamGain), 25.0, 1e-4) << "one wheel step is 1 % of the range";
  Xdo("click 5 click 5");
  ASSERT_TRUE(XSession::PumpUntil([&] { return Param(tools::kParamGain) < 23.5f; }));
  EXPECT_NEAR(Param(tools::kParamGain), 23.0, 1e-4);
}

TEST_F(EditorWindow, SizeMenu150MakesTheWindow333By999) {
  MoveTo(530, 123);
  Xdo("click 1");
  const XSession::Geometry menu = WaitForPopups(1);
  ClickMenuRow(menu, 2, 0);  // 100%, 125%, 150%
  ASSERT_TRUE(XSession::PumpUntil([&] {
    const XSession::Geometry g = xs.WindowGeometry(window);
    return g.w == 333 && g.h == 999;
  }));
  WaitForPopups(0);
}

TEST_F(EditorWindow, PresetBarSavesThroughTheTypedNameAndDeletesThroughTheSubmenu) {
  const fs::path file = presets.PresetDir() / "Vox bright.tovrapreset";
  MoveTo(333, 1836);
  Xdo("click 1");
  ClickMenuRow(WaitForPopups(1), 1, 1);  // Default, separator, Save as new preset...
  ASSERT_TRUE(XSession::PumpUntil([&] { return xs.Popups().empty(); }));
  Xdo("type --delay 20 ' Vox bright '");
  Xdo("key Return");
  ASSERT_TRUE(XSession::PumpUntil([&] { return fs::exists(file); }));

  MoveTo(333, 1836);
  Xdo("click 1");
  // Default, Vox bright, separator, Save as new preset..., Overwrite "Vox bright", Delete.
  const XSession::Geometry menu = WaitForPopups(1);
  Xdo("mousemove " + std::to_string(menu.x + 30) + " " +
      std::to_string(menu.y + 3 + 22 * 4 + 9 + 11));
  const XSession::Geometry sub = WaitForPopups(2);
  EXPECT_GE(sub.x, menu.x + menu.w - 4) << "the submenu opens to the right";
  Xdo("mousemove " + std::to_string(sub.x + 20) + " " +
      std::to_string(menu.y + 3 + 22 * 4 + 9 + 11));
  ClickMenuRow(sub, 0, 0);
  ASSERT_TRUE(XSession::PumpUntil([&] { return !fs::exists(file); }));
}

TEST_F(EditorWindow, TooltipAppearsAfterARest) {
  MoveTo(332, 1366);
  WaitForPopups(1);
  Xdo("click 5");  // a press (the wheel) hides it
  WaitForPopups(0);
}

TEST_F(EditorWindow, ScreenshotEqualsTheOffscreenEditorInTheSameState) {
  plugin->Unit().SetParameter(tools::kParamGain, 70.f);
  plugin->Unit().SetParameter(tools::kParamBypass, 1.f);
  // A second unit with the same values, its editor offscreen.
  std::string error;
  auto other = tools::PluginHost::Open(bundle, error);
  ASSERT_TRUE(other) << error;
  ASSERT_TRUE(other->Prepare(48000.0, 2, 512, error)) << error;
  other->Unit().SetParameter(tools::kParamGain, 70.f);
  other->Unit().SetParameter(tools::kParamBypass, 1.f);
  // The offscreen view is the bundle's OffscreenTarget, built from the same sources as ours.
  auto* offscreen =
      static_cast<plug::gfx::OffscreenTarget*>(tools::OpenEditorView(*bundle, other->Unit(), 0));
  ASSERT_NE(offscreen, nullptr);

  // Both editors take the host's changes at their next idle tick and draw them at the next frame.
  // An idle editor draws no frame of its own, so the next frame is the one that shows them.
  const long frames = xs.Frames(window);
  ASSERT_TRUE(xs.WaitForFrames(window, frames + 1));
  offscreen->RenderAll();
  const plug::gfx::RGBAImage expected = offscreen->Capture();

  char path[] = "/tmp/x11-editor-shot-XXXXXX.png";
  const int fd = mkstemps(path, 4);
  ASSERT_GE(fd, 0);
  close(fd);
  const std::string cmd = "import -window " + Win() + " png:" + path;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const plug::gfx::RGBAImage shot = plug::gfx::RGBAImage::ReadPNG(path);
  std::remove(path);
  ASSERT_EQ(shot.Width(), expected.Width());
  ASSERT_EQ(shot.Height(), expected.Height());
  int differing = 0;
  for (int y = 0; y < shot.Height(); ++y)
    for (int x = 0; x < shot.Width(); ++x) {
      const plug::gfx::IColor a = shot.Pixel(x, y), b = expected.Pixel(x, y);
      if (a.R != b.R || a.G != b.G || a.B != b.B) ++differing;
    }
  EXPECT_EQ(differing, 0);
}

TEST_F(EditorWindow, ClosingTheWindowClosesTheEditorAndItOpensAgain) {
  xs.Close(window);
  ASSERT_TRUE(XSession::PumpUntil([&] { return !xs.Exists(window); }));
  window = Open();
  ASSERT_NE(window, 0u) << "a closed editor opens again";
  const XSession::Geometry g = xs.WindowGeometry(window);
  EXPECT_EQ(g.w, 222);
  EXPECT_EQ(g.h, 666);
}

}  // namespace
