// The editor in a real X11 window under a private Xvfb: real pointer and keyboard input from
// xdotool, screenshots with ImageMagick's import, and the window's own frame count as the
// signal that it has drawn.
#include <gtest/gtest.h>

#include <CoreFoundation/CoreFoundation.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "gfx/platform/IGfxCairo.h"
#include "gfx/platform/RGBAImage.h"
#include "gfx/platform/ResourceFolder.h"
#include "gfx/platform/X11View.h"
#include "tests/gfx/GfxTestSupport.h"
#include "tests/support/XSession.h"
#include "tests/support/XvfbEnvironment.h"

// Xlib's macros come after the toolkit's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using namespace gfxtest;
using testsupport::XSession;

class Background : public IControl {
 public:
  explicit Background(const IRECT& r) : IControl(r) { SetIgnoreMouse(true); }
  void Draw(IGfx& g) override { g.FillRect(IColor(255, 30, 32, 40), GetRECT()); }
};

class TestKnob : public IKnobControlBase {
 public:
  TestKnob(const IRECT& r, int param) : IKnobControlBase(r, param) { SetTooltip("Pct"); }
  void Draw(IGfx& g) override {
    const IRECT r = GetRECT();
    g.FillRect(IColor(255, 60, 60, 70), r);
    g.FillRect(IColor(255, 230, 120, 40), IRECT(r.L, r.B - float(GetValue()) * r.H(), r.R, r.B));
  }
};

class TestSwitch : public IControl {
 public:
  TestSwitch(const IRECT& r, int param) : IControl(r, param) {}
  void OnMouseDown(float, float, const IMouseMod&) override {
    SetValue(GetValue() < 0.5 ? 1.0 : 0.0);
    SetDirty(true);
  }
  void Draw(IGfx& g) override {
    g.FillRect(GetValue() >= 0.5 ? IColor(255, 255, 40, 25) : IColor(255, 80, 20, 20), GetRECT());
  }
};

// Opens a menu with a checked item, a separator, a submenu and a disabled item.
class MenuButton : public IControl {
 public:
  explicit MenuButton(const IRECT& r) : IControl(r) {
    mSub.AddItem("A");
    mSub.AddItem("B");
    mMenu.AddItem("One");
    mMenu.AddItem("Two", -1, IPopupMenu::Item::kChecked);
    mMenu.AddSeparator();
    mMenu.AddItem("More", &mSub, -1, false);
    mMenu.AddItem("Off", -1, IPopupMenu::Item::kDisabled);
    mMenu.SetFunction(
        [this](IPopupMenu* m) { log += "main " + std::to_string(m->GetChosenItemIdx()) + ";"; });
    mSub.SetFunction(
        [this](IPopupMenu* m) { log += "sub " + std::to_string(m->GetChosenItemIdx()) + ";"; });
  }
  void OnMouseDown(float x, float y, const IMouseMod&) override {
    GetUI()->CreatePopupMenu(*this, mMenu, IRECT(x, y, x, y));
  }
  void OnPopupMenuSelection(IPopupMenu* menu, int) override {
    log += menu ? "selection;" : "none;";
  }
  void Draw(IGfx& g) override { g.FillRect(IColor(255, 40, 90, 160), GetRECT()); }

  IPopupMenu mMenu, mSub;
  std::string log;
};

class EntryButton : public IControl {
 public:
  explicit EntryButton(const IRECT& r) : IControl(r) {}
  void OnMouseDown(float, float, const IMouseMod&) override {
    GetUI()->CreateTextEntry(*this, IText(14.f), IRECT(100, 0, 200, 30), "My Preset");
  }
  void OnTextEntryCompletion(const char* str, int) override { texts.push_back(str); }
  void Draw(IGfx& g) override { g.FillRect(IColor(255, 40, 160, 90), GetRECT()); }

  std::vector<std::string> texts;
};

class X11Window : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::XvfbRunning());
    ResourceFolder::Set(TOVRASAT_BUILD_RESOURCES);
    ASSERT_NE(xs.Get(), nullptr);
    dlg.mLayoutFunc = [this](IGfx* g) {
      if (g->NControls() > 0) return;
      g->EnableTooltips(true);
      g->AttachControl(new Background(g->GetBounds()));
      knob = static_cast<TestKnob*>(g->AttachControl(new TestKnob(IRECT(0, 0, 100, 100), 0)));
      toggle = static_cast<TestSwitch*>(
          g->AttachControl(new TestSwitch(IRECT(110, 0, 150, 40), TestDelegate::kSwitchB)));
      menu = static_cast<MenuButton*>(g->AttachControl(new MenuButton(IRECT(110, 50, 150, 90))));
      entry = static_cast<EntryButton*>(g->AttachControl(new EntryButton(IRECT(160, 50, 200, 90))));
    };
    void* view = dlg.OpenWindow(reinterpret_cast<void*>(xs.Root()));
    ASSERT_NE(view, nullptr);
    window = reinterpret_cast<Window>(view);
    // Away from the screen's edges, so that drags may leave the window on every side.
    XMoveWindow(xs.Get(), window, kLeft, kTop);
    XSync(xs.Get(), False);
    ASSERT_TRUE(WaitForFrames(1)) << "the window signals its first frame";
  }
  void TearDown() override {
    dlg.CloseWindow();
    ResourceFolder::Set("");
  }

  static bool PumpUntil(const std::function<bool()>& done) { return XSession::PumpUntil(done); }

  // The window's size hints: base and maximum are its size, and so is the minimum if it has one.
  void ExpectFixedSizeHints(int w, int h, bool withMinimum) {
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(xs.Get(), window, &hints, &supplied));
    EXPECT_EQ(hints.flags & (PMinSize | PMaxSize | PBaseSize),
              PMaxSize | PBaseSize | (withMinimum ? PMinSize : 0));
    if (withMinimum) {
      EXPECT_EQ(std::make_pair(hints.min_width, hints.min_height), std::make_pair(w, h));
    }
    EXPECT_EQ(std::make_pair(hints.max_width, hints.max_height), std::make_pair(w, h));
    EXPECT_EQ(std::make_pair(hints.base_width, hints.base_height), std::make_pair(w, h));
  }
  long Frames() const { return xs.Frames(window); }
  bool WaitForFrames(long atLeast) const { return xs.WaitForFrames(window, atLeast); }
  void Xdo(const std::string& args) { ASSERT_TRUE(XSession::Xdo(args)) << args; }
  int PopupWindows() const { return int(xs.Popups().size()); }
  /** Where the pointer is, in the window's pixels. */
  std::pair<int, int> PointerInWindow() const {
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(xs.Get(), window, &root, &child, &rx, &ry, &wx, &wy, &mask);
    return {wx, wy};
  }

  std::string Win() const { return std::to_string(window); }
  void ClickAt(int px, int py, int button = 1) {
    Xdo("mousemove --window " + Win() + " " + std::to_string(px) + " " + std::to_string(py) +
        " click " + std::to_string(button));
  }

  static constexpr int kLeft = 100, kTop = 200;
  /** Screen coordinates of a point of the window. */
  static std::string At(int px, int py) {
    return std::to_string(kLeft + px) + " " + std::to_string(kTop + py);
  }

  XSession xs;
  TestDelegate dlg;
  Window window = 0;
  TestKnob* knob = nullptr;
  TestSwitch* toggle = nullptr;
  MenuButton* menu = nullptr;
  EntryButton* entry = nullptr;
};

TEST_F(X11Window, ClickTogglesASwitchAsTheHostSeesIt) {
  const long frames = Frames();
  ClickAt(130, 20);
  ASSERT_TRUE(PumpUntil([&] { return dlg.GetParam(TestDelegate::kSwitchB)->Value() >= 0.5; }));
  EXPECT_TRUE(WaitForFrames(frames + 1)) << "the switch is redrawn";
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 3", "ui 3", "end 3"}));
}

TEST_F(X11Window, DragWheelAndDoubleClickMoveTheKnob) {
  // 100 pixels upward over a 100-pixel knob of gearing 4.
  Xdo("mousemove --window " + Win() + " 50 90 mousedown 1");
  ASSERT_TRUE(PumpUntil([&] { return knob->GetMouseIsDown(); }));
  EXPECT_TRUE(dlg.GetUI()->IsCursorHidden()) << "hidden while the knob is dragged";
  Xdo("mousemove --window " + Win() + " 50 -10");
  ASSERT_TRUE(PumpUntil([&] { return knob->GetValue() > 0.48; }));
  // The pointer is put back where the drag began, so the next 100 pixels up turn on.
  ASSERT_TRUE(PumpUntil([&] { return PointerInWindow() == std::make_pair(50, 90); }));
  Xdo("mousemove_relative -- 0 -100 mouseup 1");
  ASSERT_TRUE(PumpUntil([&] { return !knob->GetMouseIsDown(); }));
  EXPECT_NEAR(knob->GetValue(), 0.24 + 0.5, 1e-6);
  EXPECT_NEAR(dlg.GetParam(0)->Value(), 74.0, 1e-4);
  EXPECT_FALSE(dlg.GetUI()->IsCursorHidden());

  Xdo("mousemove --window " + Win() + " 50 50 click 4");
  ASSERT_TRUE(PumpUntil([&] { return knob->GetValue() > 0.745; }));
  EXPECT_NEAR(knob->GetValue(), 0.75, 1e-6);
  Xdo("click 5 click 5");
  ASSERT_TRUE(PumpUntil([&] { return knob->GetValue() < 0.735; }));
  EXPECT_NEAR(knob->GetValue(), 0.73, 1e-6);

  Xdo("click --repeat 2 --delay 80 1");
  ASSERT_TRUE(PumpUntil([&] { return std::abs(knob->GetValue() - 0.24) < 1e-9; }))
      << "a double-click returns it to its default";
  EXPECT_DOUBLE_EQ(dlg.GetParam(0)->Value(), 24.0);
}

TEST_F(X11Window, RightPressDuringADragKeepsOneGesture) {
  Xdo("mousemove --window " + Win() + " 50 90 mousedown 1");
  ASSERT_TRUE(PumpUntil([&] { return knob->GetMouseIsDown(); }));
  Xdo("mousedown 3 mousemove_relative -- 0 -20 mouseup 3");
  ASSERT_TRUE(PumpUntil([&] { return knob->GetValue() > 0.24 + 0.049; }));
  Xdo("mousemove_relative -- 0 -20 mouseup 1");
  ASSERT_TRUE(PumpUntil([&] { return !knob->GetMouseIsDown(); }));
  EXPECT_NEAR(knob->GetValue(), 0.24 + 0.1, 1e-6) << "the whole 40-pixel drag counts";
  int begins = 0, ends = 0;
  for (const std::string& e : dlg.log) {
    begins += e == "begin 0";
    ends += e == "end 0";
  }
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 1);
}

TEST_F(X11Window, MenuChoosesFromASubmenuWithTheMouseAndDismissesOnAClickOutside) {
  ClickAt(120, 60);
  ASSERT_TRUE(PumpUntil([&] { return PopupWindows() == 1; }));
  // Items from the top: One, Two, separator, More (submenu), Off; 22 pixels each, 9 the
  // separator, 3 of margin; the menu's corner is at the click.
  Xdo("mousemove " + At(130, 60 + 3 + 22 + 22 + 9 + 11));
  ASSERT_TRUE(PumpUntil([&] { return PopupWindows() == 2; })) << "the submenu opens on hover";
  Xdo("mousemove_relative 150 0");            // into the submenu, level with its first item
  Xdo("mousemove_relative -- 0 22 click 1");  // B
  ASSERT_TRUE(PumpUntil([&] { return !menu->log.empty(); }));
  EXPECT_EQ(menu->log, "sub 1;selection;");
  EXPECT_TRUE(PumpUntil([&] { return PopupWindows() == 0; }));

  menu->log.clear();
  ClickAt(120, 60);
  ASSERT_TRUE(PumpUntil([&] { return PopupWindows() == 1; }));
  Xdo("mousemove " + At(20, 20) + " click 1");  // outside the menu, on the knob
  ASSERT_TRUE(PumpUntil([&] { return !menu->log.empty(); }));
  EXPECT_EQ(menu->log, "main -1;none;");
  EXPECT_NEAR(knob->GetValue(), 0.24, 1e-9) << "the dismissing click reaches nothing else";
}

TEST_F(X11Window, MenuFollowsTheKeyboard) {
  ClickAt(120, 60);
  ASSERT_TRUE(PumpUntil([&] { return PopupWindows() == 1; }));
  // Down: One; Down: Two; Down: More (the separator is skipped); Right opens it on A; Down: B.
  Xdo("key Down Down Down Right Down Return");
  ASSERT_TRUE(PumpUntil([&] { return !menu->log.empty(); }));
  EXPECT_EQ(menu->log, "sub 1;selection;");

  menu->log.clear();
  ClickAt(120, 60);
  ASSERT_TRUE(PumpUntil([&] { return PopupWindows() == 1; }));
  Xdo("key Up Up Return");  // from the bottom: Off is disabled, so More, then Two
  ASSERT_TRUE(PumpUntil([&] { return !menu->log.empty(); }));
  EXPECT_EQ(menu->log, "main 1;selection;");

  menu->log.clear();
  ClickAt(120, 60);
  ASSERT_TRUE(PumpUntil([&] { return PopupWindows() == 1; }));
  Xdo("key Escape");
  ASSERT_TRUE(PumpUntil([&] { return !menu->log.empty(); }));
  EXPECT_EQ(menu->log, "main -1;none;");
}

TEST_F(X11Window, TextEntryTakesTypedTextAndConfirmsWithEnter) {
  ClickAt(180, 70);
  ASSERT_TRUE(PumpUntil([&] { return dlg.GetUI()->IsTextEntryPending(); }));
  // The initial text is selected: typing replaces it.
  Xdo("type --delay 20 'Vox brite'");
  Xdo("key BackSpace BackSpace");
  Xdo("type --delay 20 'ght'");
  Xdo("key Home Right Right Right Delete");
  Xdo("type --delay 20 ':'");
  Xdo("key End Return");
  ASSERT_TRUE(PumpUntil([&] { return !entry->texts.empty(); }));
  EXPECT_EQ(entry->texts, (std::vector<std::string>{"Vox:bright"}));

  ClickAt(180, 70);
  ASSERT_TRUE(PumpUntil([&] { return dlg.GetUI()->IsTextEntryPending(); }));
  Xdo("type abc");
  Xdo("key Escape");
  ASSERT_TRUE(PumpUntil([&] { return !dlg.GetUI()->IsTextEntryPending(); }));
  ClickAt(180, 70);
  ASSERT_TRUE(PumpUntil([&] { return dlg.GetUI()->IsTextEntryPending(); }));
  ClickAt(20, 90);  // a press outside cancels
  ASSERT_TRUE(PumpUntil([&] { return !dlg.GetUI()->IsTextEntryPending(); }));
  EXPECT_EQ(entry->texts.size(), 1u) << "Escape and a press outside confirm nothing";
}

TEST_F(X11Window, TooltipAppearsAfterARestAndGoesOnAPress) {
  Xdo("mousemove --window " + Win() + " 40 40");
  ASSERT_TRUE(PumpUntil([&] { return PopupWindows() == 1; })) << "the knob's tooltip";
  Xdo("mousemove --window " + Win() + " 42 40");
  EXPECT_TRUE(PumpUntil([&] { return PopupWindows() == 0; })) << "moving hides it";
  ASSERT_TRUE(PumpUntil([&] { return PopupWindows() == 1; })) << "and a rest shows it again";
  Xdo("click 5");
  EXPECT_TRUE(PumpUntil([&] { return PopupWindows() == 0; }));
}

TEST_F(X11Window, ScreenshotEqualsTheOffscreenImageAndResizeFollows) {
  toggle->SetValueFromDelegate(1.0);
  knob->SetValueFromDelegate(0.7);
  const long frames = Frames();
  ASSERT_TRUE(WaitForFrames(frames + 1));
  char path[] = "/tmp/x11-shot-XXXXXX.png";
  const int fd = mkstemps(path, 4);
  ASSERT_GE(fd, 0);
  close(fd);
  const std::string cmd = "import -window " + Win() + " png:" + path;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const RGBAImage shot = RGBAImage::ReadPNG(path);
  std::remove(path);
  const RGBAImage expected = static_cast<IGfxCairo*>(dlg.GetUI())->Snapshot();
  ASSERT_EQ(shot.Width(), expected.Width());
  ASSERT_EQ(shot.Height(), expected.Height());
  int differing = 0;
  for (int y = 0; y < shot.Height(); ++y)
    for (int x = 0; x < shot.Width(); ++x) {
      const IColor a = shot.Pixel(x, y), b = expected.Pixel(x, y);
      if (a.R != b.R || a.G != b.G || a.B != b.B) ++differing;
    }
  EXPECT_EQ(differing, 0);

  dlg.GetUI()->Resize(200, 100, 1.5f, true);
  XWindowAttributes wa{};
  ASSERT_TRUE(PumpUntil([&] {
    XGetWindowAttributes(xs.Get(), window, &wa);
    return wa.width == 300 && wa.height == 150;
  }));
}

// At a larger size the menu and the tooltip grow with the editor; and a window of its own tells
// the window manager its new size as minimum, maximum and base alike.
TEST_F(X11Window, PopupsAndSizeHintsFollowTheDrawScale) {
  struct Seen {
    XSession::Geometry menu, tooltip;
  };
  auto look = [&](float scale) {
    Seen seen;
    const auto at = [scale](int v) { return std::to_string(int(float(v) * scale)); };
    Xdo("mousemove --window " + Win() + " " + at(120) + " " + at(60) + " click 1");
    EXPECT_TRUE(PumpUntil([&] { return PopupWindows() == 1; }));
    if (PopupWindows() == 1) seen.menu = xs.Popups()[0];
    Xdo("key Escape");
    EXPECT_TRUE(PumpUntil([&] { return PopupWindows() == 0; }));
    Xdo("mousemove --window " + Win() + " " + at(40) + " " + at(40));
    EXPECT_TRUE(PumpUntil([&] { return PopupWindows() == 1; })) << "the knob's tooltip";
    if (PopupWindows() == 1) seen.tooltip = xs.Popups()[0];
    Xdo("mousemove 0 0");  // leaving the window hides it
    EXPECT_TRUE(PumpUntil([&] { return PopupWindows() == 0; }));
    return seen;
  };
  const Seen small = look(1.f);
  IGfx& g = *dlg.GetUI();
  g.Resize(g.Width(), g.Height(), 1.75f, true);
  const int w = g.WindowWidth(), h = g.WindowHeight();
  XWindowAttributes wa{};
  ASSERT_TRUE(PumpUntil([&] {
    XGetWindowAttributes(xs.Get(), window, &wa);
    return wa.width == w && wa.height == h;
  }));
  ExpectFixedSizeHints(w, h, true);

  const Seen large = look(1.75f);
  for (const auto& [a, b, what] : {std::tuple{small.menu, large.menu, "menu"},
                                   std::tuple{small.tooltip, large.tooltip, "tooltip"}}) {
    EXPECT_NEAR(b.w, a.w * 1.75, 2.0) << what;
    EXPECT_NEAR(b.h, a.h * 1.75, 2.0) << what;
  }
}

// Embedded, the window asks for its size without a minimum: GTK 2's embedding through suil would
// hold a minimum as the host window's size for good, and follow no later change of size.
TEST_F(X11Window, EmbeddedWindowGivesItsSizeWithoutAMinimum) {
  const Window host = XCreateSimpleWindow(xs.Get(), xs.Root(), 0, 0, 400, 300, 0, 0, 0);
  XMapWindow(xs.Get(), host);
  XSync(xs.Get(), False);
  dlg.CloseWindow();
  window = reinterpret_cast<Window>(dlg.OpenWindow(reinterpret_cast<void*>(host)));
  ASSERT_TRUE(WaitForFrames(1));
  IGfx& g = *dlg.GetUI();
  for (const float scale : {1.f, 1.5f, 1.f}) {
    g.Resize(g.Width(), g.Height(), scale, true);
    const int w = g.WindowWidth(), h = g.WindowHeight();
    XWindowAttributes wa{};
    ASSERT_TRUE(PumpUntil([&] {
      XGetWindowAttributes(xs.Get(), window, &wa);
      return wa.width == w && wa.height == h;
    })) << "at "
        << scale;
    ExpectFixedSizeHints(w, h, false);
  }
  dlg.CloseWindow();
  XDestroyWindow(xs.Get(), host);
  XSync(xs.Get(), False);
}

// A host that keeps its area smaller than the editor and centres it would cut off its top (with
// the SIZE menu): the editor keeps its top-left corner inside the host's area. A window of its
// own on the screen may go wherever it is put.
TEST_F(X11Window, EditorLargerThanItsHostsAreaKeepsItsTopLeftInside) {
  auto positionAfterMove = [&](Window parent, int x, int y) {
    dlg.CloseWindow();
    window = reinterpret_cast<Window>(dlg.OpenWindow(reinterpret_cast<void*>(parent)));
    EXPECT_TRUE(WaitForFrames(1));
    // An expose after the move: its frame tells that the editor has seen the move before it.
    const long frames = Frames();
    XMoveWindow(xs.Get(), window, x, y);
    XClearArea(xs.Get(), window, 0, 0, 0, 0, True);  // all of it: a part is visible
    XSync(xs.Get(), False);
    EXPECT_TRUE(WaitForFrames(frames + 1));
    XSync(xs.Get(), False);
    XWindowAttributes wa{};
    XGetWindowAttributes(xs.Get(), window, &wa);
    return std::make_pair(wa.x, wa.y);
  };
  const Window host = XCreateSimpleWindow(xs.Get(), xs.Root(), 0, 0, 120, 80, 0, 0, 0);
  XMapWindow(xs.Get(), host);
  XSync(xs.Get(), False);  // the editor's connection creates its window in it
  const struct {
    Window parent;
    int x, y, wantX, wantY;
  } cases[] = {
      {host, -20, -30, 0, 0},           // centred, cut on every side
      {host, 10, -30, 10, 0},           // only its top above the area
      {host, -15, 5, 0, 5},             // only its left side
      {xs.Root(), -20, -30, -20, -30},  // a window on the screen, partly off it
  };
  for (const auto& c : cases) {
    EXPECT_EQ(positionAfterMove(c.parent, c.x, c.y), std::make_pair(c.wantX, c.wantY))
        << "moved to " << c.x << ", " << c.y
        << (c.parent == host ? " in the host" : " on the screen");
  }
  XDestroyWindow(xs.Get(), host);
  XSync(xs.Get(), False);
}

TEST_F(X11Window, ClosingTheWindowClosesTheEditor) {
  xs.Close(window);
  ASSERT_TRUE(PumpUntil([&] { return dlg.GetUI() == nullptr; }));
  EXPECT_EQ(dlg.log.back(), "close");
  EXPECT_FALSE(xs.Exists(window)) << "the window is gone";
}

TEST_F(X11Window, AWindowDestroyedByTheHostClosesTheEditorAndEndsNothingElse) {
  ClickAt(180, 70);  // a text entry is open when the window goes
  ASSERT_TRUE(PumpUntil([&] { return dlg.GetUI()->IsTextEntryPending(); }));
  XDestroyWindow(xs.Get(), window);
  XFlush(xs.Get());
  ASSERT_TRUE(PumpUntil([&] { return dlg.GetUI() == nullptr; }));
  EXPECT_EQ(dlg.log.back(), "close");
  // Xlib's default error handler would have ended this process on the requests that raced the
  // destruction. The editor opens again as before.
  window = reinterpret_cast<Window>(dlg.OpenWindow(reinterpret_cast<void*>(xs.Root())));
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(WaitForFrames(1));
}

}  // namespace

namespace {

TEST(X11ScreenScale, ComesFromXftDpiElseTheScreensOwnDpi) {
  ASSERT_TRUE(testsupport::XvfbRunning());
  XSession xs;
  const Atom resources = XInternAtom(xs.Get(), "RESOURCE_MANAGER", False);
  struct Case {
    const char* resources;  // the root window's resource database, null: none
    float scale;
  };
  const Case cases[] = {
      {nullptr, 1.f},            // Xvfb's screen is 96 dpi
      {"Xft.dpi:\t192\n", 2.f},  // a high-density desktop
      {"Xft.antialias:\t1\nXft.dpi:\t120\n", 1.25f},
      {"Xft.dpi:\t144.0\n", 1.5f},
      {"Xft.dpi:\t100\n", 1.f},   // quarter steps: close to 96 is 1
      {"Xft.dpi:\t48\n", 1.f},    // never below 1
      {"Xft.dpi:\tlots\n", 1.f},  // unreadable: the screen's own
  };
  for (const Case& c : cases) {
    if (c.resources) {
      XChangeProperty(xs.Get(), xs.Root(), resources, XA_STRING, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(c.resources),
                      int(std::strlen(c.resources)));
    } else {
      XDeleteProperty(xs.Get(), xs.Root(), resources);
    }
    XSync(xs.Get(), False);
    Display* fresh = XOpenDisplay(nullptr);  // the database is read when a connection opens
    ASSERT_NE(fresh, nullptr);
    EXPECT_FLOAT_EQ(plug::gfx::X11View::ScreenScale(fresh), c.scale)
        << (c.resources ? c.resources : "(none)");
    XCloseDisplay(fresh);
  }
  XDeleteProperty(xs.Get(), xs.Root(), resources);
  XSync(xs.Get(), False);
}

}  // namespace
