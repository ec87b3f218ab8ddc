// UiTestSupport.h: a drawing target that records what the controls draw, the plug-in with its
// editor open, fixture resources and a private preset folder.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/TovraSat.h"
#include "gfx/IGfx.h"
#include "gfx/platform/RGBAImage.h"
#include "gfx/platform/ResourceFolder.h"
#include "tests/support/Environment.h"
#include "tests/support/PlatePixels.h"
#include "tests/support/TempDir.h"

namespace uitest {

using namespace plug::gfx;

// One paint operation as a control issued it, with the path it consumed (in the coordinates the
// control gave, before the path transform) and the transform in force.
struct Op {
  enum class Kind { Fill, Stroke, Bitmap, Text };
  struct Arc {
    float cx, cy, r, a1, a2;
  };
  Kind kind = Kind::Fill;
  IPattern pattern = IPattern(EPatternType::Solid);
  float thickness = 0.f;
  std::vector<std::pair<float, float>> points;  // move-to and line-to points in order
  std::vector<Arc> arcs;
  int closes = 0;
  IMatrix transform;
  IRECT bounds;      // bitmap destination or text bounds
  std::string text;  // text drawn, or the bitmap's resource name
  IText style;

  IColor Colour() const { return pattern.NStops() > 0 ? pattern.GetStop(0).mColor : IColor(); }
  bool IsSolid() const { return pattern.mType == EPatternType::Solid; }
  // A DrawLine: a stroke of a two-point open path.
  bool IsLine() const { return kind == Kind::Stroke && points.size() == 2 && arcs.empty(); }
  // A FillCircle or PathCircle fill: one full arc.
  bool IsCircle() const {
    return kind == Kind::Fill && arcs.size() == 1 && arcs[0].a2 - arcs[0].a1 == 360.f;
  }
  // The rotation of the transform, degrees clockwise.
  double RotationDegrees() const {
    return std::atan2(transform.mYX, transform.mXX) * 180.0 / 3.14159265358979323846;
  }
};

// A drawing context that paints nothing and records every paint operation. Bitmaps named in
// `available` exist (100 x 100 logical pixels); everything else, the font included, is missing.
class RecordingGfx : public IGfx {
 public:
  RecordingGfx(IGfxEditorDelegate& dlg, int w, int h, float scale,
               std::set<std::string> available = {})
      : IGfx(dlg, w, h, 60, scale), mAvailable(std::move(available)) {}

  std::vector<Op> ops;

  void* OpenWindow(void*) override { return mOpen = this; }
  void CloseWindow() override { mOpen = nullptr; }
  void* GetWindow() const override { return mOpen; }

  void DrawBitmap(const IBitmap& bitmap, const IRECT& dest, float, float, const IBlend*) override {
    Op op = Start(Op::Kind::Bitmap);
    op.bounds = dest;
    op.text = bitmap.GetResourceName();
    ops.push_back(op);
  }
  void DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend*) override {
    Op op = Start(Op::Kind::Text);
    op.style = text;
    op.text = str ? str : "";
    op.bounds = bounds;
    op.pattern = IPattern(text.mFGColor);
    ops.push_back(op);
  }
  IRECT MeasureText(const IText&, const char*, const IRECT& bounds) const override {
    return bounds;
  }
  void PathClear() override { mPath = Op(); }
  void PathMoveTo(float x, float y) override { mPath.points.emplace_back(x, y); }
  void PathLineTo(float x, float y) override { mPath.points.emplace_back(x, y); }
  void PathCubicBezierTo(float, float, float, float, float x2, float y2) override {
    mPath.points.emplace_back(x2, y2);
  }
  void PathClose() override { ++mPath.closes; }
  void PathArc(float cx, float cy, float r, float a1, float a2, EWinding) override {
    mPath.arcs.push_back({cx, cy, r, a1, a2});
  }
  void PathFill(const IPattern& pattern, const IFillOptions& options, const IBlend*) override {
    Paint(Op::Kind::Fill, pattern, 0.f, options.mPreserve);
  }
  void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options,
                  const IBlend*) override {
    Paint(Op::Kind::Stroke, pattern, thickness, options.mPreserve);
  }

  // Draws one control from a clean path and transform, as a frame would, and returns its ops.
  std::vector<Op> Record(IControl& control) {
    ops.clear();
    PathTransformReset();
    PathClear();
    control.Draw(*this);
    return ops;
  }

 protected:
  std::string LocateResource(const std::string& fileName) const override {
    return mAvailable.count(fileName) ? fileName : "";
  }
  std::shared_ptr<const APIBitmap> LoadAPIBitmap(const std::string&, int scale) override {
    return std::make_shared<APIBitmap>(100 * scale, 100 * scale, scale);
  }
  std::shared_ptr<const APIFont> LoadAPIFont(const std::string&) override { return nullptr; }
  void UpdatePathTransform() override {}
  void BeginFrame() override {}
  void PrepareRegion(const IRECT&) override {}
  void PushControlClip(const IRECT&) override {}
  void PopControlClip() override {}
  void EndFrame() override {}
  void DrawResize() override {}

 private:
  Op Start(Op::Kind kind) const {
    Op op;
    op.kind = kind;
    op.transform = GetPathTransform();
    return op;
  }
  void Paint(Op::Kind kind, const IPattern& pattern, float thickness, bool preserve) {
    Op op = mPath;
    op.kind = kind;
    op.pattern = pattern;
    op.thickness = thickness;
    op.transform = GetPathTransform();
    ops.push_back(op);
    if (!preserve) mPath = Op();
  }

  std::set<std::string> mAvailable;
  Op mPath;
  void* mOpen = nullptr;
};

inline std::unique_ptr<TovraSat> MakePlugin() {
  plug::InstanceInfo info;
  info.mCocoaViewFactoryClassName = TovraSat::ViewFactoryClassName();
  return std::make_unique<TovraSat>(info);
}

// The control indices of the editor, in attachment (drawing) order.
enum EControl {
  kPlate,
  kSizeButton,
  kTrimTicks,
  kTrimReadout,
  kPresetBar,
  kGainDisplay,
  kHeadroom,
  kToggle48V,
  kToggleBypass,
  kGainTicks,
  kGainKnob,
  kTrimKnob,
  kNumControls
};

// The plug-in with its editor open on a recording context (all images present, no font).
class RecordedEditor {
 public:
  explicit RecordedEditor(float scale = 1.f) : plugin(MakePlugin()) {
    plugin->mEditorScale = scale;
    plugin->mMakeGraphicsFunc = [this]() -> IGfx* {
      return new RecordingGfx(*plugin, TovraSat::kEditorWidth, TovraSat::kEditorHeight,
                              plugin->mEditorScale,
                              {"tovra_plate.png", "cap_big.png", "cap_small.png"});
    };
    plugin->OpenWindow(nullptr);
  }
  ~RecordedEditor() { plugin->CloseWindow(); }
  RecordedEditor(const RecordedEditor&) = delete;
  RecordedEditor& operator=(const RecordedEditor&) = delete;

  RecordingGfx& G() const { return *static_cast<RecordingGfx*>(plugin->GetUI()); }
  template <typename T = IControl>
  T& Control(int index) const {
    return *static_cast<T*>(G().GetControl(index));
  }
  std::vector<Op> Record(int index) const { return G().Record(Control(index)); }
  // Sets a parameter as a host would and lets the editor follow it.
  void SetParam(int idx, double value) const {
    plug::IParam* p = plugin->GetParam(idx);
    p->Set(value);
    plugin->SendParameterValueFromDelegate(idx, p->GetNormalized(), true);
  }
  // Logical position of a plate point.
  static float S() { return testsupport::kPlateScale; }

  std::unique_ptr<TovraSat> plugin;
};

using testsupport::PrivateDataHome;
using testsupport::TempDir;

}  // namespace uitest
