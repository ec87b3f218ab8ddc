// Lv2EditorTest: under a private Xvfb, the editor embedded by jalv's GTK build and by Ardour 7's
// GUI (both through suil) draws inside the host's window, which follows its SIZE; Ardour marks
// the session modified by a size chosen and saves it; and in a small host of ours, which sees the
// UI's port writes (jalv prints none), a click on Bypass is a port write, the size is told
// through ui:resize and closing gives the idle tick back to the instance.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "lv2/instance-access/instance-access.h"
#include "lv2/ui/ui.h"

#include "core/lv2/presets/TovraSatLv2Presets.h"
#include "state/TovraPresets.h"
#include "tests/lv2/ArdourScript.h"
#include "tests/lv2/HostFixture.h"
#include "tests/lv2/HostProcess.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tests/support/Environment.h"
#include "tests/support/PlatePixels.h"
#include "tests/support/XSession.h"
#include "tests/support/XvfbEnvironment.h"

// Last: Xlib defines None, Status and more as macros.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using lv2test::HostKind;
using lv2test::HostProcess;
using lv2test::WhyHostCannotRun;
using testsupport::PlatePixels;
using testsupport::XSession;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kUri = "http://morvika.com/plugins/tovrasat";

const auto* const kHome =
    ::testing::AddGlobalTestEnvironment(new testsupport::PrivateHomeEnvironment);

// A connection that looks at another process's windows. They come and go between one query and
// the next (Ardour makes and drops many as it starts): an error about a window that has gone
// fails only that query, which says so, instead of ending the test program. The error handler
// before it comes back after the connection closes.
class ForeignDisplay {
 public:
  Display* get() const { return mSession.Get(); }
  const XSession& Session() const { return mSession; }

 private:
  struct IgnoreErrors {
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    ~IgnoreErrors() { XSetErrorHandler(previous); }
  } mIgnoreErrors;
  XSession mSession;
};

// The editor and the hosts' windows on the program's Xvfb, with the hosts' environment.
class Lv2Editor : public lv2test::HostTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(HostTest::SetUp());
    ASSERT_TRUE(testsupport::XvfbRunning());
    env["NO_AT_BRIDGE"] = "1";
  }

  // A session with TovraSat on a track, made by ardour7-lua (with the test's Ardour
  // configuration) and changed so that Ardour's GUI opens the editor as it loads it.
  void MakeArdourSessionThatOpensTheEditor(const fs::path& sessionFile);
};

// The first window under root, depth first, that has shown at least one frame; 0 when none has.
Window FindDrawnEditor(const XSession& xs, Window root, Window* parent) {
  Display* display = xs.Get();
  Window rootReturn = 0;
  Window parentReturn = 0;
  Window* children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(display, root, &rootReturn, &parentReturn, &children, &n)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < n && found == 0; ++i) {
    if (xs.Frames(children[i]) >= 1) {
      found = children[i];
      *parent = root;
    } else {
      found = FindDrawnEditor(xs, children[i], parent);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

// Polls until done or the limit. Meanwhile it reads what the host prints, if given one, so that a
// chatty host never blocks on a full pipe.
bool WaitUntil(const std::function<bool()>& done, std::chrono::seconds limit,
               HostProcess* host = nullptr) {
  // The condition is asked once per round and its answer kept: a condition that compares two
  // moments may not answer the same when asked again.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (host != nullptr) {
      host->WaitFor(std::string(1, '\0'), 50ms);  // never printed: reads for 50 ms
    } else {
      std::this_thread::sleep_for(50ms);  // polling another process's windows
    }
  }
}

// The first drawn editor on the screen and, through parent, the window that holds it, waited for
// up to limit (reading the host's output meanwhile, if given one); 0 when none came.
Window WaitForDrawnEditor(const XSession& xs, Window* parent, std::chrono::seconds limit,
                          HostProcess* host = nullptr) {
  Window editor = 0;
  WaitUntil([&] { return (editor = FindDrawnEditor(xs, xs.Root(), parent)) != 0; }, limit, host);
  return editor;
}

TEST_F(Lv2Editor, JalvEmbedsTheDrawnEditorInItsWindow) {
  if (const auto why = WhyHostCannotRun(HostKind::kGtkOrArdour)) GTEST_SKIP() << *why;
  ASSERT_TRUE(StartJack());

  HostProcess jalv(
      {"stdbuf", "-oL", "jalv.gtk3", "--print-controls", "-x", "--jack-name=tovrasat-ui", kUri},
      env);
  ASSERT_TRUE(jalv.Started());

  const ForeignDisplay connection;
  Display* display = connection.get();
  ASSERT_NE(display, nullptr);
  Window parent = 0;
  const Window editor = WaitForDrawnEditor(connection.Session(), &parent, 90s);
  ASSERT_NE(editor, 0u) << "no drawn editor window\n" << jalv.Output();
  EXPECT_NE(parent, DefaultRootWindow(display)) << "the editor is not embedded in the host";
  XWindowAttributes attributes{};
  ASSERT_TRUE(XGetWindowAttributes(display, editor, &attributes));
  EXPECT_EQ(attributes.width, 222);
  EXPECT_EQ(attributes.height, 666);
}

// The top-level window that holds window (a child of the root), or 0.
Window TopLevel(Display* display, Window window) {
  for (;;) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &n)) return 0;
    if (children != nullptr) XFree(children);
    if (parent == root || parent == 0) return window;
    window = parent;
  }
}

std::pair<int, int> SizeOf(Display* display, Window window) {
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes)) return {0, 0};
  return {attributes.width, attributes.height};
}

// Opens the editor's SIZE menu (the editor now drawn at scale) and chooses with the keys given:
// "Down" k + 1 times and "Return" chooses the k-th size, 100 % first.
bool ChooseSize(const XSession& xs, Window editor, double scale, const std::string& keys,
                HostProcess* host = nullptr) {
  const std::string click = "xdotool mousemove --window " + std::to_string(editor) + " " +
                            std::to_string(std::lround(PlatePixels(530) * scale)) + " " +
                            std::to_string(std::lround(PlatePixels(123) * scale)) + " click 1";
  // A mapped override-redirect window is the editor's menu.
  return std::system(click.c_str()) == 0 &&
         WaitUntil([&] { return !xs.Popups().empty(); }, 20s, host) &&
         std::system(("xdotool key " + keys).c_str()) == 0 &&
         WaitUntil([&] { return xs.Popups().empty(); }, 20s, host);
}

// The editor lies whole inside the host's top-level window.
bool WholeInside(Display* display, Window editor, Window top) {
  int x = 0;
  int y = 0;
  Window child = 0;
  if (!XTranslateCoordinates(display, editor, top, 0, 0, &x, &y, &child)) return false;
  const auto [w, h] = SizeOf(display, editor);
  const auto [topW, topH] = SizeOf(display, top);
  return x >= 0 && y >= 0 && x + w <= topW && y + h <= topH;
}

// The SIZE menu chosen with the keyboard, in jalv.gtk3's window: its window grows to hold the
// editor at 150 % and shrinks back with it to 100 %, and suil never complains about the sizes
// the editor's window gives.
TEST_F(Lv2Editor, JalvWindowFollowsTheEditorSizeBothWaysWithoutAWarning) {
  if (const auto why = WhyHostCannotRun(HostKind::kGtkOrArdour)) GTEST_SKIP() << *why;
  ASSERT_TRUE(StartJack());
  HostProcess jalv({"jalv.gtk3", "-x", "--jack-name=tovrasat-size", kUri}, env);
  ASSERT_TRUE(jalv.Started());

  const ForeignDisplay connection;
  Display* display = connection.get();
  ASSERT_NE(display, nullptr);
  Window parent = 0;
  const Window editor = WaitForDrawnEditor(connection.Session(), &parent, 90s);
  ASSERT_NE(editor, 0u) << jalv.Output();
  const Window top = TopLevel(display, editor);
  ASSERT_NE(top, editor) << "the editor is embedded";
  // The host's window settles around the editor at 100 %.
  std::pair<int, int> small{0, 0};
  ASSERT_TRUE(WaitUntil(
      [&] {
        const auto before = SizeOf(display, top);
        std::this_thread::sleep_for(300ms);
        small = SizeOf(display, top);
        return small == before && small.first >= 222 && small.second >= 666;
      },
      30s));

  ASSERT_TRUE(ChooseSize(connection.Session(), editor, 1.0, "Down Down Down Return")) << "150 %";
  EXPECT_TRUE(WaitUntil([&] { return SizeOf(display, editor) == std::make_pair(333, 999); }, 20s));
  EXPECT_TRUE(WaitUntil(
      [&] {
        const auto size = SizeOf(display, top);
        return size.first >= 333 && size.second >= 999;
      },
      20s))
      << "the host's window holds the whole editor at 150 %";

  ASSERT_TRUE(ChooseSize(connection.Session(), editor, 1.5, "Down Return")) << "100 %";
  EXPECT_TRUE(WaitUntil([&] { return SizeOf(display, editor) == std::make_pair(222, 666); }, 20s));
  EXPECT_TRUE(WaitUntil([&] { return SizeOf(display, top) == small; }, 20s))
      << "back to 100 % the host's window is as small as before, not " << SizeOf(display, top).first
      << " x " << SizeOf(display, top).second;

  jalv.Signal(SIGTERM);
  jalv.Finish(30s);
  EXPECT_EQ(jalv.Output().find("natural size"), std::string::npos) << jalv.Output();
  EXPECT_EQ(jalv.Output().find("min size"), std::string::npos) << jalv.Output();
}

// ------------------------------------------------------------------------------------ Ardour

// The name of a window, "" when it has none.
std::string NameOf(Display* display, Window window) {
  char* name = nullptr;
  std::string text;
  if (XFetchName(display, window, &name) && name != nullptr) text = name;
  if (name != nullptr) XFree(name);
  return text;
}

// The first top-level window whose name ends with suffix, or 0.
Window TopLevelNamed(Display* display, const std::string& suffix) {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned n = 0;
  Window found = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &n);
  for (unsigned i = 0; i < n && found == 0; ++i) {
    if (NameOf(display, children[i]).ends_with(suffix)) found = children[i];
  }
  if (children != nullptr) XFree(children);
  return found;
}

// Ardour's answers for a first start: the marker of a finished first-run wizard, and its dummy
// engine started at once (no Audio/MIDI set-up dialog).
void WriteArdourConfig(const fs::path& home) {
  const fs::path dir = home / ".config" / "ardour7";
  fs::create_directories(dir);
  std::ofstream(dir / ".a7").flush();
  std::ofstream(dir / "config") << R"xml(<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="try-autostart-engine" value="1"/>
    <Option name="hide-dummy-backend" value="0"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device=""
               output-device="" sample-rate="48000" buffer-size="1024" n-periods="0"
               input-latency="0" output-latency="0" lm-input="" lm-output="" active="1"
               use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
)xml";
}

// The session made by ardour7-lua, changed so that Ardour opens TovraSat's editor as it loads it
// (as it does for a session saved with the editor open): no clicks through the mixer needed.
// The engine hints go, since the GUI's dummy engine names its devices otherwise and would ask
// about a changed device. False when the session has no TovraSat.
bool OpenEditorOnLoad(const fs::path& sessionFile) {
  std::ifstream in(sessionFile);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t plugin = text.find("name=\"TovraSat\"");
  const std::size_t processor = text.rfind("<Processor id=\"", plugin);
  const std::size_t route = text.rfind("<Route ", plugin);
  const std::size_t routeId = text.find(" id=\"", route);
  const std::size_t end = text.rfind("</Session>");
  if (plugin == std::string::npos || processor == std::string::npos || route == std::string::npos ||
      routeId > processor || end == std::string::npos) {
    return false;
  }
  auto idAt = [&](std::size_t quote) {
    return text.substr(quote + 1, text.find('"', quote + 1) - quote - 1);
  };
  const std::string window = "P-" + idAt(routeId + 4) + "-" + idAt(processor + 14);
  text.insert(end, "<Extra><UI><Window name=\"" + window +
                       "\" visible=\"1\" x-off=\"0\" y-off=\"0\" x-size=\"-1\" y-size=\"-1\" "
                       "custom-ui=\"1\"/></UI></Extra>\n");
  const std::size_t hints = text.find("<EngineHints");
  if (hints != std::string::npos) text.erase(hints, text.find('>', hints) + 1 - hints);
  std::ofstream(sessionFile) << text;
  return true;
}

void Lv2Editor::MakeArdourSessionThatOpensTheEditor(const fs::path& sessionFile) {
  WriteArdourConfig(env["HOME"]);
  std::ofstream(scratch / "make.lua")
      << lv2test::ArdourSessionScript(sessionFile.parent_path(), kUri, R"lua(
s:save_state("", false, false, false, false, false)
close_session()
print("session saved")
)lua");
  HostProcess make({"ardour7-lua", scratch / "make.lua"}, env);
  ASSERT_EQ(make.Finish(120s), 0) << make.Output();
  ASSERT_NE(make.Output().find("session saved"), std::string::npos) << make.Output();
  ASSERT_TRUE(OpenEditorOnLoad(sessionFile));
}

// In Ardour 7's GUI: the plug-in window grows and shrinks with the editor's SIZE; a size chosen
// marks the session modified (its title starts with "*"); saved, the session reopens with the
// editor at that size, whole in its window.
TEST_F(Lv2Editor, ArdourWindowFollowsTheEditorSizeWhichTheSessionSaves) {
  if (const auto why = WhyHostCannotRun(HostKind::kGtkOrArdour)) GTEST_SKIP() << *why;
  const fs::path sessionFile = scratch.Path() / "session" / "session.ardour";
  ASSERT_NO_FATAL_FAILURE(MakeArdourSessionThatOpensTheEditor(sessionFile));

  const ForeignDisplay connection;
  Display* display = connection.get();
  ASSERT_NE(display, nullptr);
  // Ardour with the session, its editor found and the plug-in window settled around it.
  struct Opened {
    Window editor = 0, top = 0, main = 0;
    std::pair<int, int> topSize;
  };
  auto open = [&](HostProcess& ardour, Opened& o) {
    Window parent = 0;
    o.editor = WaitForDrawnEditor(connection.Session(), &parent, 180s, &ardour);
    ASSERT_NE(o.editor, 0u) << ardour.Output();
    o.top = TopLevel(display, o.editor);
    ASSERT_NE(o.top, o.editor) << "the editor is embedded";
    ASSERT_TRUE(WaitUntil(
        [&] { return (o.main = TopLevelNamed(display, "session - Ardour")) != 0; }, 60s, &ardour));
    ASSERT_TRUE(WaitUntil(
        [&] {
          const auto before = SizeOf(display, o.top);
          ardour.WaitFor(std::string(1, '\0'), 300ms);
          o.topSize = SizeOf(display, o.top);
          return o.topSize == before && WholeInside(display, o.editor, o.top);
        },
        30s, &ardour))
        << "the plug-in window holds the editor whole";
  };
  auto title = [&](Window main) { return NameOf(display, main); };

  {
    HostProcess ardour({"ardour", "-n", "-a", sessionFile.string()}, env);
    ASSERT_TRUE(ardour.Started());
    Opened o;
    ASSERT_NO_FATAL_FAILURE(open(ardour, o));
    EXPECT_EQ(SizeOf(display, o.editor), std::make_pair(222, 666));
    EXPECT_EQ(title(o.main), "session - Ardour") << "unmodified as loaded";

    ASSERT_TRUE(ChooseSize(connection.Session(), o.editor, 1.0, "Down Down Down Return", &ardour))
        << "150 %";
    EXPECT_TRUE(WaitUntil(
        [&] {
          return SizeOf(display, o.editor) == std::make_pair(333, 999) &&
                 WholeInside(display, o.editor, o.top);
        },
        20s, &ardour))
        << "the plug-in window grows to hold the editor at 150 %, not "
        << SizeOf(display, o.top).first << " x " << SizeOf(display, o.top).second;
    EXPECT_TRUE(WaitUntil([&] { return title(o.main) == "*session - Ardour"; }, 20s, &ardour))
        << "the session is marked modified: " << title(o.main);

    ASSERT_TRUE(ChooseSize(connection.Session(), o.editor, 1.5, "Down Return", &ardour)) << "100 %";
    EXPECT_TRUE(WaitUntil([&] { return SizeOf(display, o.top) == o.topSize; }, 20s, &ardour))
        << "back to 100 % the window is as small as before, not " << SizeOf(display, o.top).first
        << " x " << SizeOf(display, o.top).second;

    ASSERT_TRUE(ChooseSize(connection.Session(), o.editor, 1.0, "Down Down Down Return", &ardour))
        << "150 %";
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(display, o.editor).second == 999; }, 20s, &ardour));
    const std::string main = std::to_string(o.main);
    ASSERT_EQ(std::system(("xdotool key --window " + main + " ctrl+s").c_str()), 0);
    EXPECT_TRUE(WaitUntil([&] { return title(o.main) == "session - Ardour"; }, 30s, &ardour))
        << "saved: " << title(o.main);
    ASSERT_EQ(std::system(("xdotool key --window " + main + " ctrl+q").c_str()), 0);
    EXPECT_EQ(ardour.Finish(60s), 0) << "quits without asking, all saved\n" << ardour.Output();
  }
  {
    HostProcess ardour({"ardour", "-n", "-a", sessionFile.string()}, env);
    Opened o;
    ASSERT_NO_FATAL_FAILURE(open(ardour, o));
    EXPECT_EQ(SizeOf(display, o.editor), std::make_pair(333, 999)) << "reopened at 150 %";
    EXPECT_EQ(title(o.main), "session - Ardour");
  }
}

// The host side of one UI: a parent window of its own, every port write and touch recorded.
struct UiHost {
  struct Write {
    uint32_t port;
    float value;
  };
  std::vector<Write> writes;
  std::vector<std::pair<uint32_t, bool>> touches;
  std::vector<std::pair<int, int>> sizes;

  static void OnWrite(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer) {
    auto* self = static_cast<UiHost*>(controller);
    if (protocol == 0 && size == sizeof(float)) {
      self->writes.push_back({port, *static_cast<const float*>(buffer)});
    }
  }
  static void OnTouch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
    static_cast<UiHost*>(handle)->touches.emplace_back(port, grabbed);
  }
  static int OnResize(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<UiHost*>(handle)->sizes.emplace_back(width, height);
    return 0;
  }
};

TEST_F(Lv2Editor, OurHostSeesAClickOnBypassAsAPortWriteInsideATouch) {
  const XSession xs;
  Display* display = xs.Get();
  ASSERT_NE(display, nullptr);
  const Window parent =
      XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 800, 0, 0, 0);
  XMapWindow(display, parent);
  XSync(display, False);

  lv2test::Instance instance;
  ASSERT_TRUE(instance.Ok());
  instance.Activate();
  UiHost host;
  LV2UI_Touch touch{&host, UiHost::OnTouch};
  LV2UI_Resize resize{&host, UiHost::OnResize};
  const LV2_Feature access{LV2_INSTANCE_ACCESS_URI, instance.Handle()};
  const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
  const LV2_Feature touchFeature{LV2_UI__touch, &touch};
  const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
  const LV2_Feature* features[] = {&access, &parentFeature, &touchFeature, &resizeFeature, nullptr};

  const LV2UI_Descriptor* descriptor = tovrasat::Lv2UiDescriptor();
  const auto* idle =
      static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
  ASSERT_NE(idle, nullptr);
  LV2UI_Widget widget = nullptr;
  LV2UI_Handle ui = descriptor->instantiate(descriptor, tovrasat::kLv2PluginUri, "",
                                            UiHost::OnWrite, &host, &widget, features);
  ASSERT_NE(ui, nullptr);
  const auto editor = static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
  ASSERT_NE(editor, 0u);
  ASSERT_EQ(host.sizes.size(), 1u);
  EXPECT_EQ(host.sizes[0], std::make_pair(222, 666));

  // The host's idle calls drive the view; wait for its first drawn frame.
  auto pumpUntil = [&](const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      EXPECT_EQ(idle->idle(ui), 0);
      std::this_thread::sleep_for(5ms);  // a host's idle comes at its UI rate
    }
    return done();
  };
  ASSERT_TRUE(pumpUntil([&] { return xs.Frames(editor) >= 1; }));

  const std::string click = "xdotool mousemove --window " + std::to_string(editor) + " " +
                            testsupport::PlatePoint(337, 768) + " click 1";
  ASSERT_EQ(std::system(click.c_str()), 0) << click;
  ASSERT_TRUE(pumpUntil([&] { return !host.touches.empty() && !host.touches.back().second; }));
  const auto bypass = static_cast<uint32_t>(TovraSat::kBypass);
  ASSERT_EQ(host.writes.size(), 1u);
  EXPECT_EQ(host.writes[0].port, bypass);
  EXPECT_EQ(host.writes[0].value, 1.0f);
  ASSERT_EQ(host.touches.size(), 2u);
  EXPECT_EQ(host.touches[0], std::make_pair(bypass, true));
  EXPECT_EQ(host.touches[1], std::make_pair(bypass, false));
  EXPECT_EQ(instance.Plug().GetParam(TovraSat::kBypass)->Value(), 1.0);

  // The host passes the write on to the port; the plug-in keeps the value.
  instance.Control(TovraSat::kBypass) = host.writes[0].value;
  instance.Run(64);
  EXPECT_EQ(instance.Plug().GetParam(TovraSat::kBypass)->Value(), 1.0);
  EXPECT_EQ(instance.StateChangedNotices(), 0);  // the host knows of a port write

  // 150 % from the SIZE menu is in no port: the next run after the host's idle tells the host
  // that the state changed, once.
  auto topLevelWindows = [display] {
    Window root = 0;
    Window parentReturn = 0;
    Window* children = nullptr;
    unsigned n = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parentReturn, &children, &n);
    if (children != nullptr) XFree(children);
    return n;
  };
  const unsigned windows = topLevelWindows();
  const std::string size = "xdotool mousemove --window " + std::to_string(editor) + " " +
                           testsupport::PlatePoint(530, 123) + " click 1";
  ASSERT_EQ(std::system(size.c_str()), 0) << size;
  ASSERT_TRUE(pumpUntil([&] { return topLevelWindows() > windows; })) << "no size menu";
  ASSERT_EQ(std::system("xdotool key Down Down Down Return"), 0);
  ASSERT_TRUE(pumpUntil([&] { return host.sizes.size() == 2; }));
  EXPECT_EQ(host.sizes[1], std::make_pair(333, 999));
  instance.Run(64);
  EXPECT_EQ(instance.StateChangedNotices(), 1);
  EXPECT_EQ(idle->idle(ui), 0);
  instance.Run(64);
  EXPECT_EQ(instance.StateChangedNotices(), 0);

  descriptor->cleanup(ui);
  EXPECT_EQ(instance.Plug().GetUI(), nullptr);
  // The meter port follows loud audio without an editor: 20 ms of it is one tick.
  instance.Control(TovraSat::kBypass) = 0.0f;
  for (int c = 0; c < 2; ++c) std::fill(instance.In(c).begin(), instance.In(c).end(), 0.5f);
  instance.Run(960);
  EXPECT_GT(instance.meter, -60.0f);
  XDestroyWindow(display, parent);
}

}  // namespace

// ------------------------------------------------------- host presets and an idle editor

namespace {

// The pixels of a rectangle of a window; empty when it cannot be read.
std::vector<unsigned long> Pixels(Display* display, Window window, int x, int y, int w, int h) {
  std::vector<unsigned long> pixels;
  XImage* image = XGetImage(display, window, x, y, w, h, AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  for (int row = 0; row < h; ++row) {
    for (int col = 0; col < w; ++col) pixels.push_back(XGetPixel(image, col, row));
  }
  XDestroyImage(image);
  return pixels;
}

// The preset bar's name and the gain display of an editor at 100 %.
std::vector<unsigned long> BarName(Display* display, Window editor) {
  return Pixels(display, editor, PlatePixels(189), PlatePixels(1812),
                PlatePixels(477) - PlatePixels(189), PlatePixels(1860) - PlatePixels(1812));
}
std::vector<unsigned long> GainDigits(Display* display, Window editor) {
  return Pixels(display, editor, PlatePixels(200), PlatePixels(200),
                PlatePixels(466) - PlatePixels(200), PlatePixels(376) - PlatePixels(200));
}

// HOME and XDG_DATA_HOME of a host for the preset files of this process, while it lives.
class HostsPresetFolder {
 public:
  explicit HostsPresetFolder(const lv2test::HostEnvironment& host) {
    Swap("HOME", host.Variables().at("HOME"), mHome);
    Swap("XDG_DATA_HOME", host.Variables().at("XDG_DATA_HOME"), mXdg);
  }
  ~HostsPresetFolder() {
    setenv("HOME", mHome.c_str(), 1);
    setenv("XDG_DATA_HOME", mXdg.c_str(), 1);
  }
  HostsPresetFolder(const HostsPresetFolder&) = delete;
  HostsPresetFolder& operator=(const HostsPresetFolder&) = delete;

 private:
  static void Swap(const char* name, const std::string& value, std::string& old) {
    const char* was = std::getenv(name);
    old = was != nullptr ? was : "";
    setenv(name, value.c_str(), 1);
  }
  std::string mHome, mXdg;
};

// "Warm Tape" in the host's preset folder and in its LV2 bundle, so the host lists it at start.
bool MakeWarmTape(const lv2test::HostEnvironment& host) {
  const HostsPresetFolder folder(host);
  return tovrapresets::Save("Warm Tape", {60.0, -1.5, false}) && tovrasat::SyncLv2UserPresets();
}

// Mapped override-redirect windows: menus and tooltips.
int Popups(Display* display) {
  Window root = 0;
  Window rootParent = 0;
  Window* children = nullptr;
  unsigned n = 0;
  int popups = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &rootParent, &children, &n);
  for (unsigned i = 0; i < n; ++i) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, children[i], &attributes) && attributes.override_redirect &&
        attributes.map_state == IsViewable) {
      ++popups;
    }
  }
  if (children != nullptr) XFree(children);
  return popups;
}

// What the editor shows of Default and of Warm Tape: the bar's name and the gain digits, each
// applied with the bar's own arrows (so drawn by the bar itself). False when they did not show.
struct Looks {
  std::vector<unsigned long> defaultName, warmName, defaultGain, warmGain;
};
bool LearnLooks(Display* display, Window editor, Looks& looks, HostProcess& host) {
  looks.defaultName = BarName(display, editor);
  looks.defaultGain = GainDigits(display, editor);
  auto click = [&](double x) {
    const std::string command = "xdotool mousemove --window " + std::to_string(editor) + " " +
                                std::to_string(PlatePixels(x)) + " " +
                                std::to_string(PlatePixels(1836)) + " click 1";
    return std::system(command.c_str()) == 0;
  };
  if (!click(500) || !WaitUntil(
                         [&] {
                           looks.warmName = BarName(display, editor);
                           looks.warmGain = GainDigits(display, editor);
                           return looks.warmName != looks.defaultName &&
                                  looks.warmGain != looks.defaultGain;
                         },
                         20s, &host)) {
    return false;
  }
  return click(166) && WaitUntil(
                           [&] {
                             return BarName(display, editor) == looks.defaultName &&
                                    GainDigits(display, editor) == looks.defaultGain;
                           },
                           20s, &host);
}

// Chooses each of the two rows of a host's preset menu (the order is the host's), opened by a
// click at menuX, menuY of window top, rows at rowX, rowY. After each choice the bar shows the name
// of the preset whose values the editor shows; Warm Tape is among them.
void LoadEachRowAndSeeItsName(Display* display, Window top, Window editor, int menuX, int menuY,
                              int rowX, const std::vector<int>& rowY, const Looks& looks,
                              HostProcess& host) {
  bool sawWarm = false;
  for (const int y : rowY) {
    SCOPED_TRACE(y);
    const std::string open = "xdotool mousemove --window " + std::to_string(top) + " " +
                             std::to_string(menuX) + " " + std::to_string(menuY) + " click 1";
    const int popups = Popups(display);
    ASSERT_EQ(std::system(open.c_str()), 0);
    // A tooltip is a popup too: the menu is the one more than were there.
    ASSERT_TRUE(WaitUntil([&] { return Popups(display) > popups; }, 20s, &host))
        << "no preset menu";
    const std::string choose = "xdotool mousemove --window " + std::to_string(top) + " " +
                               std::to_string(rowX) + " " + std::to_string(y) + " click 1";
    ASSERT_EQ(std::system(choose.c_str()), 0);
    bool warm = false;
    EXPECT_TRUE(WaitUntil(
        [&] {
          const auto gain = GainDigits(display, editor);
          const auto name = BarName(display, editor);
          warm = gain == looks.warmGain;
          return Popups(display) <= popups &&
                 ((warm && name == looks.warmName) ||
                  (gain == looks.defaultGain && name == looks.defaultName));
        },
        20s, &host))
        << "the bar does not show the name of the preset the host loaded";
    sawWarm = sawWarm || warm;
  }
  EXPECT_TRUE(sawWarm) << "Warm Tape was never loaded";
}

// Frames the editor showed over one second once it is left alone.
long FramesInASecond(const XSession& xs, Window editor, HostProcess& host) {
  const long before = xs.Frames(editor);
  host.WaitFor(std::string(1, '\0'), 1000ms);  // the interval measured, reading what it prints
  return xs.Frames(editor) - before;
}

}  // namespace

// In jalv.gtk3: the bar follows each preset chosen from jalv's Presets menu, and the editor left
// alone shows no frame (the meter, marked dirty every 20 ms, has nothing new to draw).
TEST_F(Lv2Editor, JalvPresetMenuLoadsShowInTheBarAndAnIdleEditorDrawsNothing) {
  if (const auto why = WhyHostCannotRun(HostKind::kGtkOrArdour)) GTEST_SKIP() << *why;
  ASSERT_TRUE(MakeWarmTape(hostEnv));
  ASSERT_TRUE(StartJack());
  HostProcess jalv({"jalv.gtk3", "-x", "--jack-name=tovrasat-presets", kUri}, env);
  ASSERT_TRUE(jalv.Started());

  const ForeignDisplay connection;
  Display* display = connection.get();
  ASSERT_NE(display, nullptr);
  const XSession& xs = connection.Session();
  Window parent = 0;
  const Window editor = WaitForDrawnEditor(xs, &parent, 90s, &jalv);
  ASSERT_NE(editor, 0u) << jalv.Output();
  const Window top = TopLevel(display, editor);
  // Settled: no frame for half a second (the first frames and the window's placement are done).
  ASSERT_TRUE(WaitUntil(
      [&] {
        const long before = xs.Frames(editor);
        jalv.WaitFor(std::string(1, '\0'), 500ms);
        return xs.Frames(editor) == before;
      },
      30s, &jalv))
      << "the editor never stops drawing";
  EXPECT_EQ(FramesInASecond(xs, editor, jalv), 0);

  Looks looks;
  ASSERT_TRUE(LearnLooks(display, editor, looks, jalv));
  // jalv's menu bar: "Presets" after "File"; its rows after two commands and a separator.
  LoadEachRowAndSeeItsName(display, top, editor, 70, 12, 100, {88, 113}, looks, jalv);
}

// In Ardour 7's GUI: the bar follows the plug-in window's preset menu; "Delete the current
// preset" there stays done after Ardour is restarted, with the preset restorable.
TEST_F(Lv2Editor, ArdourPresetMenuLoadsShowInTheBarAndItsDeletionLasts) {
  if (const auto why = WhyHostCannotRun(HostKind::kGtkOrArdour)) GTEST_SKIP() << *why;
  ASSERT_TRUE(MakeWarmTape(hostEnv));
  const fs::path sessionFile = scratch.Path() / "session" / "session.ardour";
  ASSERT_NO_FATAL_FAILURE(MakeArdourSessionThatOpensTheEditor(sessionFile));
  const fs::path bundle = hostEnv.UserLv2Dir() / "TovraSat-presets.lv2";
  const fs::path warmTtl = bundle / tovrasat::Lv2UserPresetFile("Warm Tape");

  const ForeignDisplay connection;
  Display* display = connection.get();
  ASSERT_NE(display, nullptr);
  const XSession& xs = connection.Session();
  auto openEditor = [&](HostProcess& ardour, Window& editor, Window& top) {
    Window parent = 0;
    editor = WaitForDrawnEditor(xs, &parent, 180s, &ardour);
    ASSERT_NE(editor, 0u) << ardour.Output();
    top = TopLevel(display, editor);
    ASSERT_TRUE(
        WaitUntil([&] { return TopLevelNamed(display, "session - Ardour") != 0; }, 60s, &ardour));
    // Settled: the editor's picture stays the same for half a second.
    ASSERT_TRUE(WaitUntil(
        [&] {
          const auto before = Pixels(display, editor, 0, 0, 222, 666);
          ardour.WaitFor(std::string(1, '\0'), 500ms);
          return !before.empty() && Pixels(display, editor, 0, 0, 222, 666) == before;
        },
        30s, &ardour));
  };
  {
    HostProcess ardour({"ardour", "-n", "-a", sessionFile.string()}, env);
    ASSERT_TRUE(ardour.Started());
    Window editor = 0, top = 0;
    ASSERT_NO_FATAL_FAILURE(openEditor(ardour, editor, top));
    Looks looks;
    ASSERT_TRUE(LearnLooks(display, editor, looks, ardour));
    // The preset list at the top left of the plug-in window, its rows left of its tooltip; with
    // no preset chosen yet Warm Tape is the second row (once one is chosen, the list opens with
    // that one under the pointer).
    LoadEachRowAndSeeItsName(display, top, editor, 140, 16, 125, {57}, looks, ardour);
    ASSERT_EQ(GainDigits(display, editor), looks.warmGain);

    // "Delete the current preset", the third button after the list.
    ASSERT_TRUE(fs::exists(warmTtl));
    const std::string remove = "xdotool mousemove --window " + std::to_string(top) + " 272 16";
    ASSERT_EQ(std::system((remove + " click 1").c_str()), 0);
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(warmTtl); }, 20s, &ardour))
        << "Ardour did not delete the preset";
    const std::string main = std::to_string(TopLevelNamed(display, "session - Ardour"));
    ASSERT_EQ(std::system(("xdotool key --window " + main + " ctrl+s").c_str()), 0);
    ASSERT_TRUE(WaitUntil(
        [&] {
          return NameOf(display, TopLevelNamed(display, "session - Ardour")) == "session - Ardour";
        },
        30s, &ardour));
    ASSERT_EQ(std::system(("xdotool key --window " + main + " ctrl+q").c_str()), 0);
    EXPECT_EQ(ardour.Finish(60s), 0) << ardour.Output();
  }
  {
    HostProcess ardour({"ardour", "-n", "-a", sessionFile.string()}, env);
    Window editor = 0, top = 0;
    ASSERT_NO_FATAL_FAILURE(openEditor(ardour, editor, top));
    EXPECT_FALSE(fs::exists(warmTtl)) << "the deleted preset came back";
    EXPECT_FALSE(fs::exists(hostEnv.PresetDir() / "Warm Tape.tovrapreset"));
    EXPECT_TRUE(fs::exists(hostEnv.PresetDir() / "Deleted" / "Warm Tape.tovrapreset"));
    ardour.Signal(SIGTERM);
    ardour.Finish(60s);
  }
  const HostsPresetFolder folder(hostEnv);
  ASSERT_TRUE(tovrapresets::Restore("Warm Tape"));
  ASSERT_TRUE(tovrasat::SyncLv2UserPresets());
  EXPECT_TRUE(fs::exists(warmTtl)) << "restored, hosts list it again";
}
