// What the editor talks to: the parameters, the routes from and to the editor, its lifecycle.
#pragma once

#include <memory>
#include <vector>

#include "plug/EParamSource.h"
#include "plug/IMidiMsg.h"
#include "plug/IParam.h"
#include "plug/ISysEx.h"

namespace plug {

namespace gfx {
class IGfx;
}

// The plug-in object is an IEditorDelegate; the graphics delegate derived from it owns the
// graphics context and overrides the editor lifecycle and SendParameterValueFromDelegate. The
// plug-in API base overrides the FromUI routes so that they reach the host.
//
// Routes are named by direction: FromUI (editor to plug-in and host), FromDelegate (plug-in to
// editor). All of them run on the main thread; none is for the render thread.
class IEditorDelegate {
 public:
  // Creates nParams empty parameters (a negative count gives none).
  explicit IEditorDelegate(int nParams);
  virtual ~IEditorDelegate();
  IEditorDelegate(const IEditorDelegate&) = delete;
  IEditorDelegate& operator=(const IEditorDelegate&) = delete;

  // --- Parameters.

  // Null when idx is outside 0..NParams()-1. Threads: any.
  IParam* GetParam(int idx);
  const IParam* GetParam(int idx) const;
  // Threads: any.
  int NParams() const { return static_cast<int>(mParams.size()); }

  // --- Editor to plug-in and host.

  // A gesture on parameter idx begins / ends. Base: nothing. Threads: main.
  virtual void BeginInformHostOfParamChangeFromUI(int paramIdx);
  virtual void EndInformHostOfParamChangeFromUI(int paramIdx);
  // The editor set parameter idx to a normalised value. Base: the parameter's SetNormalized,
  // then OnParamChangeUI(idx, kUI); ignored for an unknown idx. Threads: main.
  virtual void SendParameterValueFromUI(int paramIdx, double normalizedValue);
  // Tells the host every parameter's value again. Base: nothing. Threads: main.
  virtual void DirtyParametersFromUI();
  // MIDI and SysEx from the editor towards the processor. Base: dropped. Threads: main.
  virtual void SendMidiMsgFromUI(const IMidiMsg& msg);
  virtual void SendSysexMsgFromUI(const ISysEx& msg);

  // --- Plug-in to editor.

  // Pushes a value into the open editor. Base: only OnParamChangeUI(idx, kDelegate); the
  // graphics delegate first sets the linked controls. Ignored for an unknown idx. Threads: main.
  virtual void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized);
  // MIDI and SysEx from the processor to the editor. Base: nothing. Threads: main.
  virtual void SendMidiMsgFromDelegate(const IMidiMsg& msg);
  virtual void SendSysexMsgFromDelegate(const ISysEx& msg);

  // --- Hooks.

  // The editor opened: every parameter's normalised value is pushed into it. Threads: main.
  virtual void OnUIOpen();
  // The editor is about to close. Base: nothing. Threads: main.
  virtual void OnUIClose();
  // A parameter change reached the editor side. Base: nothing. Threads: main.
  virtual void OnParamChangeUI(int paramIdx, EParamSource source);

  // --- Editor lifecycle (the graphics delegate overrides these).

  // Opens the editor into the platform parent view and returns the editor's view, or null when
  // there is no editor (base). Threads: main.
  virtual void* OpenWindow(void* parent);
  // Closes an open editor. Base: nothing. Threads: main.
  virtual void CloseWindow();

  // --- Editor size. Threads: main.

  // Default editor size in pixels (from the plug-in's configuration).
  int GetEditorWidth() const { return mEditorWidth; }
  int GetEditorHeight() const { return mEditorHeight; }
  int GetMinWidth() const { return mMinWidth; }
  int GetMaxWidth() const { return mMaxWidth; }
  int GetMinHeight() const { return mMinHeight; }
  int GetMaxHeight() const { return mMaxHeight; }
  void SetEditorSize(int width, int height);
  // Each pair is sorted, so the smaller value becomes the minimum.
  void SetSizeConstraints(int widthLo, int widthHi, int heightLo, int heightHi);
  // True when both lie within the limits (inclusive); otherwise clamps both into them, false.
  // A pair of limits left at 0...0 does not limit its side.
  virtual bool ConstrainEditorResize(int& width, int& height) const;
  // The editor asks to be resized: true when no platform resize is needed, else EditorResize.
  virtual bool EditorResizeFromUI(int viewWidth, int viewHeight, bool needsPlatformResize);
  // Asks the host to resize its window. Base: false (not supported).
  virtual bool EditorResize(int viewWidth, int viewHeight);

 private:
  std::vector<std::unique_ptr<IParam>> mParams;
  int mEditorWidth = 0;
  int mEditorHeight = 0;
  int mMinWidth = 0;
  int mMaxWidth = 0;
  int mMinHeight = 0;
  int mMaxHeight = 0;
};

}  // namespace plug
