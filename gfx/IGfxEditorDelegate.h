// IGfxEditorDelegate: the editor delegate that owns the graphics context and runs its lifecycle.
#pragma once

#include <functional>
#include <memory>

#include "gfx/IGfx.h"
#include "plug/IEditorDelegate.h"

namespace plug::gfx {

/** The plug-in object is one of these. Opening the editor makes a context with
 *  the make-graphics function, lays it out with the layout function and pushes
 *  every parameter into it; closing remembers its size and scale for the next
 *  opening and destroys it with all its controls. Threads: main, throughout. */
class IGfxEditorDelegate : public plug::IEditorDelegate {
 public:
  using MakeGraphicsFunc = std::function<IGfx*()>;
  using LayoutFunc = std::function<void(IGfx*)>;

  explicit IGfxEditorDelegate(int nParams);
  ~IGfxEditorDelegate() override;

  /** Makes the context when there is none (null without a make-graphics
   *  function), gives it the size and scale saved at the last close, attaches its
   *  view to parent, lays it out and pushes the parameter values in. Returns the
   *  view, or null when there is no editor. */
  void* OpenWindow(void* parent) override;
  /** Saves the size and scale and destroys the context; a close during a close is ignored. */
  void CloseWindow() override;
  /** Sets every control linked to paramIdx (through any of its values) to the
   *  value while an editor is open, then the base's OnParamChangeUI. */
  void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized) override;

  /** The make-graphics function's context, or null when none is set. Threads: main. */
  IGfx* CreateGraphics();
  /** Calls the layout function with graphics when both are there. Threads: main. */
  void LayoutUI(IGfx* graphics);

  /** The open context, or null. Threads: main. */
  IGfx* GetUI() const { return mGraphics.get(); }
  int GetSavedWidth() const { return mLastWidth; }
  int GetSavedHeight() const { return mLastHeight; }
  float GetSavedScale() const { return mLastScale; }
  /** Replaces the scale that the next opening reapplies (a state restored while the editor is
   *  closed brings its own zoom). Threads: main. */
  void SetSavedScale(float scale) { mLastScale = scale; }

  MakeGraphicsFunc mMakeGraphicsFunc;
  LayoutFunc mLayoutFunc;

 private:
  std::unique_ptr<IGfx> mGraphics;
  int mLastWidth = 0;
  int mLastHeight = 0;
  float mLastScale = 0.f;
  bool mClosing = false;
};

}  // namespace plug::gfx
