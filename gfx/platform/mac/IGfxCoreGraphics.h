// IGfxCoreGraphics: the graphics context drawn with Core Graphics into a backing bitmap (macOS).
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <functional>
#include <memory>
#include <string>

#include "gfx/IGfx.h"

namespace plug::gfx {

class MacView;

/** The macOS counterpart of the Cairo context: everything is drawn into a bitmap of the window's
 *  size in backing pixels (logical size times draw scale times the screen's backing scale), and
 *  the AppKit view shows it. The current path is kept in backing pixels, built through the path
 *  transform as it is given, so a fill or stroke that preserves it paints the same shape again.
 *  Bitmaps decode with stb_image and text is filled from stb_truetype outlines, as on Linux.
 *  Threads: main. */
class IGfxCoreGraphics : public IGfx {
 public:
  IGfxCoreGraphics(IGfxEditorDelegate& dlg, int w, int h, int fps = 60, float scale = 1.f);
  ~IGfxCoreGraphics() override;

  /** parent: an NSView to add the editor's view to, or null for a view the host places. */
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void* GetWindow() const override;
  void HideMouseCursor(bool hide = true) override;

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

  /** The view moved to a screen with another backing scale: the bitmap follows. */
  void ScreenScaleChanged(float scale);
  /** A copy-on-write image of the backing bitmap for the view to show; the caller releases it. */
  CGImageRef CopyBackingImage() const;

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
  void DrawResize() override;
  void PlatformResize(int w, int h) override;

 private:
  void CreateBacking();
  void DestroyBacking();
  /** Backing pixels per logical pixel. */
  CGFloat PixelScale() const;
  /** The rectangle in backing pixels. */
  CGRect ToPixels(const IRECT& r) const;
  /** Runs paint with the blend's mode, inside a faded layer when its weight is below 1. */
  void WithBlend(const IBlend* blend, const std::function<void()>& paint);
  /** Fills the clip (already set from the path) with a gradient pattern. */
  void DrawGradient(const IPattern& pattern);
  void ResetPath();

  CGContextRef mContext = nullptr;
  CGColorSpaceRef mColorSpace = nullptr;
  CGMutablePathRef mPath = nullptr;
  CGAffineTransform mUserToPixels = CGAffineTransformIdentity;  // scale times path transform
  bool mTransformValid = true;  // a singular path transform draws nothing until it is valid again
  std::unique_ptr<MacView> mView;
};

}  // namespace plug::gfx
