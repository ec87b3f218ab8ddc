// IGfxCairo: the graphics context drawn with the Cairo vector rasteriser into an image surface.
#pragma once

#include <memory>
#include <string>

#include "gfx/IGfx.h"
#include "gfx/platform/RGBAImage.h"

struct _cairo;
struct _cairo_surface;

namespace plug::gfx {

class OffscreenTarget;

/** A window of the platform's display that shows a context's backing image. */
class IWindowView {
 public:
  virtual ~IWindowView() = default;
  /** The window's native handle (an X11 XID). */
  virtual unsigned long Window() const = 0;
  /** The window takes the context's new window size. */
  virtual void Resize(int w, int h) = 0;
  virtual void HideCursor(bool hide) = 0;
};

/** Everything is drawn into a backing image of the window's pixel size (logical
 *  size times draw scale); the rasteriser's transform is the draw scale times
 *  the path transform, so paths, patterns and bitmaps map one to one.
 *
 *  OpenWindow(parent) with a native window as parent (an X11 XID cast to a
 *  pointer; the root window gives a top-level window) opens a window view through
 *  the opener the platform's MakeGfx installs (none: no window), which shows the
 *  backing image; with a null parent it gives an offscreen target that hands the
 *  image out as RGBA pixels or a PNG file (snapshots, tests, hosts without a
 *  display). */
class IGfxCairo : public IGfx {
 public:
  IGfxCairo(IGfxEditorDelegate& dlg, int w, int h, int fps = 60, float scale = 1.f);
  ~IGfxCairo() override;

  /** Opens the window view of a context in the given parent; null when it cannot. */
  using WindowOpener = std::unique_ptr<IWindowView> (*)(IGfxCairo& gfx, unsigned long parent);
  void SetWindowOpener(WindowOpener opener) { mWindowOpener = opener; }

  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void* GetWindow() const override;

  void DrawBitmap(const IBitmap& bitmap, const IRECT& dest, float srcX, float srcY,
                  const IBlend* blend = nullptr) override;
  void DrawText(const IText& text, const char* str, const IRECT& bounds,
                const IBlend* blend = nullptr) override;
  IRECT MeasureText(const IText& text, const char* str, const IRECT& bounds) const override;

  void PathClear() override;
  void PathMoveTo(float x, float y) override;
  void PathLineTo(float x, float y) override;
  void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) override;
  void PathClose() override;
  void PathArc(float cx, float cy, float r, float a1, float a2,
               EWinding winding = EWinding::CW) override;
  void PathFill(const IPattern& pattern, const IFillOptions& options = {},
                const IBlend* blend = nullptr) override;
  void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options = {},
                  const IBlend* blend = nullptr) override;

  /** The backing image as straight RGBA, window pixel size. */
  RGBAImage Snapshot() const;
  /** The backing image itself, for the platform view that shows it. */
  _cairo_surface* BackingSurface() const { return mSurface; }

  void HideMouseCursor(bool hide = true) override;

 protected:
  std::string LocateResource(const std::string& fileName) const override;
  std::shared_ptr<const APIBitmap> LoadAPIBitmap(const std::string& path, int scale) override;
  std::shared_ptr<const APIFont> LoadAPIFont(const std::string& path) override;

  void UpdatePathTransform() override;
  void BeginFrame() override;
  void PrepareRegion(const IRECT& region) override;
  void PushControlClip(const IRECT& clip) override;
  void PopControlClip() override;
  void EndFrame() override;
  bool SaveUnderlay(const IRECT& region) override;
  bool RestoreUnderlay(const IRECT& region) override;
  void DrawResize() override;
  void PlatformResize(int w, int h) override;

 private:
  void CreateSurface();
  void DestroySurface();
  void SetBaseTransform();
  void SetSource(const IPattern& pattern);
  /** Paints the current path with the blend: fill or stroke, preserving it when asked. */
  void Paint(bool stroke, bool preserve, const IBlend* blend);

  _cairo_surface* mSurface = nullptr;
  _cairo* mCR = nullptr;
  // A copy of one region of mSurface (SaveUnderlay), at its device-pixel origin.
  _cairo_surface* mUnderlay = nullptr;
  int mUnderlayX = 0, mUnderlayY = 0;
  IRECT mUnderlayRegion;
  bool mTransformValid = true;  // a singular path transform draws nothing until it is valid again
  std::unique_ptr<OffscreenTarget> mView;
  WindowOpener mWindowOpener = nullptr;
  std::unique_ptr<IWindowView> mWindowView;
};

}  // namespace plug::gfx
