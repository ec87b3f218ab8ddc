// Test fixtures for the graphics toolkit: a recording editor delegate, scriptable controls, temp
// folders.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gfx/IControl.h"
#include "gfx/IGfx.h"
#include "gfx/IGfxEditorDelegate.h"
#include "gfx/IKnobControlBase.h"
#include "gfx/platform/MakeGfx.h"
#include "plug/IParam.h"
#include "tests/support/TempDir.h"

namespace gfxtest {

using namespace plug::gfx;

/** Four parameters shaped like the plug-in's: a percentage, a dB range with a
 *  0.1 step, two switches. Every call from the editor side is recorded. */
class TestDelegate : public IGfxEditorDelegate {
 public:
  enum { kPct = 0, kStepped = 1, kSwitchA = 2, kSwitchB = 3, kNumParams = 4 };

  TestDelegate() : IGfxEditorDelegate(kNumParams) {
    GetParam(kPct)->InitDouble("Pct", 24.0, 0.0, 100.0, 0.01, "%");
    GetParam(kStepped)->InitDouble("Steps", 0.0, -24.0, 12.0, 3.0, "dB",
                                   plug::IParam::kFlagStepped);
    GetParam(kSwitchA)->InitBool("A", true);
    GetParam(kSwitchB)->InitBool("B", false);
    SetEditorSize(200, 100);
    SetSizeConstraints(50, 400, 50, 400);
    mMakeGraphicsFunc = [this] { return MakeGfx(*this, 200, 100, 60, 1.f); };
  }

  void BeginInformHostOfParamChangeFromUI(int idx) override {
    log.push_back("begin " + std::to_string(idx));
  }
  void EndInformHostOfParamChangeFromUI(int idx) override {
    log.push_back("end " + std::to_string(idx));
  }
  void SendParameterValueFromUI(int idx, double v) override {
    log.push_back("ui " + std::to_string(idx));
    uiValues.emplace_back(idx, v);
    IGfxEditorDelegate::SendParameterValueFromUI(idx, v);
  }
  void OnParamChangeUI(int idx, plug::EParamSource source) override {
    changes.emplace_back(idx, source);
  }
  void OnUIClose() override { log.push_back("close"); }

  std::vector<std::string> log;
  std::vector<std::pair<int, double>> uiValues;
  std::vector<std::pair<int, plug::EParamSource>> changes;
};

/** A knob's behaviour alone (drag, wheel, gearing), drawing nothing. */
class Knob : public IKnobControlBase {
 public:
  using IKnobControlBase::IKnobControlBase;
  void Draw(IGfx&) override {}
};

/** A control whose drawing and events are given by the test. */
class ScriptControl : public IControl {
 public:
  using DrawFn = std::function<void(IGfx&, ScriptControl&)>;

  explicit ScriptControl(const IRECT& r, int paramIdx = kNoParameter, DrawFn draw = nullptr)
      : IControl(r, paramIdx), mDrawFn(std::move(draw)) {}
  ScriptControl(const IRECT& r, const std::vector<int>& params) : IControl(r, params) {}

  void Draw(IGfx& g) override {
    ++draws;
    if (mDrawFn) mDrawFn(g, *this);
  }
  void OnMouseDown(float x, float y, const IMouseMod& mod) override {
    events.push_back("down");
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(float, float, const IMouseMod&) override { events.push_back("up"); }
  void OnMouseDrag(float, float, float dX, float dY, const IMouseMod&) override {
    events.push_back("drag " + std::to_string(int(dX)) + "," + std::to_string(int(dY)));
  }
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override {
    events.push_back("dbl");
    IControl::OnMouseDblClick(x, y, mod);
  }
  void OnMouseWheel(float, float, const IMouseMod&, float d) override {
    events.push_back("wheel " + std::to_string(d));
  }
  void OnMouseOver(float x, float y, const IMouseMod& mod) override {
    events.push_back("over");
    IControl::OnMouseOver(x, y, mod);
  }
  void OnMouseOut() override {
    events.push_back("out");
    IControl::OnMouseOut();
  }
  void OnResize() override { ++resizes; }
  void OnPopupMenuSelection(IPopupMenu* menu, int valIdx) override {
    events.push_back(menu ? "menu " + std::to_string(menu->GetChosenItemIdx())
                          : std::string("menu none"));
    IControl::OnPopupMenuSelection(menu, valIdx);
  }
  void OnContextSelection(int idx) override { events.push_back("context " + std::to_string(idx)); }
  void OnTextEntryCompletion(const char* str, int valIdx) override {
    events.push_back(std::string("text ") + str + " " + std::to_string(valIdx));
  }
  void CreateContextMenu(IPopupMenu& menu) override {
    for (const std::string& item : contextItems) menu.AddItem(item.c_str());
  }

  DrawFn mDrawFn;
  std::vector<std::string> events;
  std::vector<std::string> contextItems;
  int draws = 0;
  int resizes = 0;
};

using testsupport::TempDir;

}  // namespace gfxtest
