// Lv2EditorTest: under a private Xvfb, the editor embedded by jalv's GTK build (through suil)
// draws inside the host's window; and in a small host of ours, which sees the UI's port writes
// (jalv prints none), a click on Bypass is a port write, the size is told through ui:resize and
// closing gives the idle tick back to the instance.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <csignal>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "lv2/instance-access/instance-access.h"
#include "lv2/ui/ui.h"

#include "tests/lv2/HostEnvironment.h"
#include "tests/lv2/HostProcess.h"
#include "tests/lv2/JackServer.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tests/lv2/PrivateHome.h"
#include "tests/support/XvfbServer.h"

// Last: Xlib defines None, Status and more as macros.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using lv2test::HostEnvironment;
using lv2test::HostProcess;
using lv2test::JackServer;
using namespace std::chrono_literals;

constexpr const char* kUri = "http://morvika.com/plugins/tovrasat";

const auto* const kHome = ::testing::AddGlobalTestEnvironment(new lv2test::PrivateHome);

// A connection closed however the test ends.
struct CloseDisplay {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, CloseDisplay>;

// Frames the editor's view has shown, from the property it counts them in; -1 without it.
long Frames(Display* display, Window window) {
  const Atom atom = XInternAtom(display, "_TOVRASAT_FRAMES", False);
  Atom type = 0;
  int format = 0;
  unsigned long n = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  long frames = -1;
  if (XGetWindowProperty(display, window, atom, 0, 1, False, XA_CARDINAL, &type, &format, &n,
                         &after, &data) == Success &&
      data != nullptr && n == 1) {
    frames = *reinterpret_cast<long*>(data);
  }
  if (data != nullptr) XFree(data);
  return frames;
}

// The first window under root, depth first, that has shown at least one frame; 0 when none has.
Window FindDrawnEditor(Display* display, Window root, Window* parent) {
  Window rootReturn = 0;
  Window parentReturn = 0;
  Window* children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(display, root, &rootReturn, &parentReturn, &children, &n)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < n && found == 0; ++i) {
    if (Frames(display, children[i]) >= 1) {
      found = children[i];
      *parent = root;
    } else {
      found = FindDrawnEditor(display, children[i], parent);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

// Plate units (667 wide) to the window's pixels at 100 % (222 wide).
int Plate(double units) {
  return static_cast<int>(std::lround(units * 222.0 / 667.0));
}

TEST(Lv2Editor, JalvEmbedsTheDrawnEditorInItsWindow) {
  if (!TOVRASAT_HOSTS_LOAD_MODULE)
    GTEST_SKIP() << "a ThreadSanitizer module cannot be loaded by this host";
  if (std::string(TOVRASAT_HOST_PRELOAD) != "") {
    // With the sanitizer runtimes preloaded, jalv.gtk3 hangs before it opens a window (GTK's
    // start-up, not the plug-in: the console jalv and lv2apply run this module fine).
    GTEST_SKIP() << "jalv.gtk3 does not start with the sanitizer runtimes preloaded";
  }
  testsupport::XvfbServer xvfb;  // DISPLAY points at it from here on
  ASSERT_TRUE(xvfb.Started()) << "Xvfb could not be started";
  const HostEnvironment hostEnv;
  ASSERT_TRUE(hostEnv.Ready());
  std::map<std::string, std::string> env = hostEnv.Variables();
  env["NO_AT_BRIDGE"] = "1";
  JackServer jack(env);
  ASSERT_TRUE(jack.Ready()) << "jackd did not start as " << jack.Name();

  HostProcess jalv(
      {"stdbuf", "-oL", "jalv.gtk3", "--print-controls", "-x", "--jack-name=tovrasat-ui", kUri},
      env);
  ASSERT_TRUE(jalv.Started());

  const DisplayPtr connection(XOpenDisplay(nullptr));
  Display* display = connection.get();
  ASSERT_NE(display, nullptr);
  Window parent = 0;
  Window editor = 0;
  const auto deadline = std::chrono::steady_clock::now() + 90s;
  while (editor == 0 && std::chrono::steady_clock::now() < deadline) {
    editor = FindDrawnEditor(display, DefaultRootWindow(display), &parent);
    if (editor == 0) std::this_thread::sleep_for(50ms);  // polling another process's window
  }
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

// The SIZE menu chosen with the keyboard, in jalv.gtk3's window: its window grows to hold the
// editor at 150 % and shrinks back with it to 100 %, and suil never complains about the sizes
// the editor's window gives.
TEST(Lv2Editor, JalvWindowFollowsTheEditorSizeBothWaysWithoutAWarning) {
  if (!TOVRASAT_HOSTS_LOAD_MODULE)
    GTEST_SKIP() << "a ThreadSanitizer module cannot be loaded by this host";
  if (std::string(TOVRASAT_HOST_PRELOAD) != "")
    GTEST_SKIP() << "jalv.gtk3 does not start with the sanitizer runtimes preloaded";
  testsupport::XvfbServer xvfb;
  ASSERT_TRUE(xvfb.Started()) << "Xvfb could not be started";
  const HostEnvironment hostEnv;
  ASSERT_TRUE(hostEnv.Ready());
  std::map<std::string, std::string> env = hostEnv.Variables();
  env["NO_AT_BRIDGE"] = "1";
  JackServer jack(env);
  ASSERT_TRUE(jack.Ready()) << "jackd did not start as " << jack.Name();
  HostProcess jalv({"jalv.gtk3", "-x", "--jack-name=tovrasat-size", kUri}, env);
  ASSERT_TRUE(jalv.Started());

  const DisplayPtr connection(XOpenDisplay(nullptr));
  Display* display = connection.get();
  ASSERT_NE(display, nullptr);
  auto waitFor = [](const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(50ms);  // polling another process's windows
    }
    return done();
  };
  Window parent = 0;
  Window editor = 0;
  ASSERT_TRUE(waitFor(
      [&] { return (editor = FindDrawnEditor(display, DefaultRootWindow(display), &parent)) != 0; },
      90s))
      << jalv.Output();
  const Window top = TopLevel(display, editor);
  ASSERT_NE(top, editor) << "the editor is embedded";
  // The host's window settles around the editor at 100 %.
  std::pair<int, int> small{0, 0};
  ASSERT_TRUE(waitFor(
      [&] {
        const auto before = SizeOf(display, top);
        std::this_thread::sleep_for(300ms);
        small = SizeOf(display, top);
        return small == before && small.first >= 222 && small.second >= 666;
      },
      30s));

  // A mapped override-redirect window: the editor's menu is open.
  auto menuOpen = [&] {
    Window root = 0;
    Window rootParent = 0;
    Window* children = nullptr;
    unsigned n = 0;
    bool open = false;
    XQueryTree(display, DefaultRootWindow(display), &root, &rootParent, &children, &n);
    for (unsigned i = 0; i < n; ++i) {
      XWindowAttributes attributes{};
      if (XGetWindowAttributes(display, children[i], &attributes) &&
          attributes.override_redirect && attributes.map_state == IsViewable) {
        open = true;
      }
    }
    if (children != nullptr) XFree(children);
    return open;
  };
  auto chooseSize = [&](double scale, const std::string& keys) {
    const std::string click = "xdotool mousemove --window " + std::to_string(editor) + " " +
                              std::to_string(std::lround(Plate(530) * scale)) + " " +
                              std::to_string(std::lround(Plate(123) * scale)) + " click 1";
    return std::system(click.c_str()) == 0 && waitFor(menuOpen, 20s) &&
           std::system(("xdotool key " + keys).c_str()) == 0 &&
           waitFor([&] { return !menuOpen(); }, 20s);
  };
  ASSERT_TRUE(chooseSize(1.0, "Down Down Down Return")) << "150 %";
  EXPECT_TRUE(waitFor([&] { return SizeOf(display, editor) == std::make_pair(333, 999); }, 20s));
  EXPECT_TRUE(waitFor(
      [&] {
        const auto size = SizeOf(display, top);
        return size.first >= 333 && size.second >= 999;
      },
      20s))
      << "the host's window holds the whole editor at 150 %";

  ASSERT_TRUE(chooseSize(1.5, "Down Return")) << "100 %";
  EXPECT_TRUE(waitFor([&] { return SizeOf(display, editor) == std::make_pair(222, 666); }, 20s));
  EXPECT_TRUE(waitFor([&] { return SizeOf(display, top) == small; }, 20s))
      << "back to 100 % the host's window is as small as before, not " << SizeOf(display, top).first
      << " x " << SizeOf(display, top).second;

  jalv.Signal(SIGTERM);
  jalv.Finish(30s);
  EXPECT_EQ(jalv.Output().find("natural size"), std::string::npos) << jalv.Output();
  EXPECT_EQ(jalv.Output().find("min size"), std::string::npos) << jalv.Output();
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

TEST(Lv2Editor, OurHostSeesAClickOnBypassAsAPortWriteInsideATouch) {
  testsupport::XvfbServer xvfb;
  ASSERT_TRUE(xvfb.Started()) << "Xvfb could not be started";
  const DisplayPtr connection(XOpenDisplay(nullptr));
  Display* display = connection.get();
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
  ASSERT_TRUE(pumpUntil([&] { return Frames(display, editor) >= 1; }));

  const std::string click = "xdotool mousemove --window " + std::to_string(editor) + " " +
                            std::to_string(Plate(337)) + " " + std::to_string(Plate(768)) +
                            " click 1";
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
                           std::to_string(Plate(530)) + " " + std::to_string(Plate(123)) +
                           " click 1";
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
