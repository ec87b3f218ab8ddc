// IGfxCoreGraphics: the drawing interface mapped onto Core Graphics.
#include "gfx/platform/mac/IGfxCoreGraphics.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <type_traits>

#include "gfx/platform/DrawArgs.h"
#include "gfx/platform/ResourceFolder.h"
#include "gfx/platform/StbFont.h"
#include "gfx/platform/StbTextLayout.h"
#include "gfx/platform/mac/CGBitmap.h"
#include "gfx/platform/mac/MacView.h"
#include "gfx/platform/mac/MacViewGeometry.h"

namespace plug::gfx {

namespace {

// The shared argument checks work in doubles, which CGFloat is on every Mac the bundle runs on.
static_assert(std::is_same_v<CGFloat, double>);

CGAffineTransform ToCG(const IMatrix& m) {
  return CGAffineTransformMake(m.mXX, m.mYX, m.mXY, m.mYY, m.mTX, m.mTY);
}

CGBlendMode Mode(const IBlend* blend) {
  if (!blend) return kCGBlendModeNormal;
  switch (blend->mMethod) {
    case EBlend::Default:
      return kCGBlendModeNormal;
    case EBlend::Clobber:
      return kCGBlendModeCopy;
    case EBlend::SrcIn:
      return kCGBlendModeSourceIn;
    case EBlend::SrcOut:
      return kCGBlendModeSourceOut;
    case EBlend::SrcAtop:
      return kCGBlendModeSourceAtop;
    case EBlend::DstOver:
      return kCGBlendModeDestinationOver;
    case EBlend::DstIn:
      return kCGBlendModeDestinationIn;
    case EBlend::DstOut:
      return kCGBlendModeDestinationOut;
    case EBlend::DstAtop:
      return kCGBlendModeDestinationAtop;
    case EBlend::Add:
      return kCGBlendModePlusLighter;
    case EBlend::XOR:
      return kCGBlendModeXOR;
  }
  return kCGBlendModeNormal;
}

void SetFill(CGContextRef ctx, const IColor& c) {
  CGColorRef color = CGColorCreateSRGB(DrawArgs::Unit(c.R), DrawArgs::Unit(c.G),
                                       DrawArgs::Unit(c.B), DrawArgs::Unit(c.A));
  CGContextSetFillColorWithColor(ctx, color);
  CGContextSetStrokeColorWithColor(ctx, color);
  CGColorRelease(color);
}

// Glyph outlines appended to a path through the text's transform.
class PathSink final : public StbTextLayout::OutlineSink {
 public:
  PathSink(CGMutablePathRef path, const CGAffineTransform& t) : mPath(path), mT(t) {}
  void MoveTo(double x, double y) override { CGPathMoveToPoint(mPath, &mT, x, y); }
  void LineTo(double x, double y) override { CGPathAddLineToPoint(mPath, &mT, x, y); }
  void CubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) override {
    CGPathAddCurveToPoint(mPath, &mT, c1x, c1y, c2x, c2y, x, y);
  }

 private:
  CGMutablePathRef mPath;
  CGAffineTransform mT;
};

}  // namespace

IGfxCoreGraphics::IGfxCoreGraphics(IGfxEditorDelegate& dlg, int w, int h, int fps, float scale)
    : IGfx(dlg, w, h, fps, scale) {
  mColorSpace = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
  mPath = CGPathCreateMutable();
  SetScreenScale(MacView::MainScreenScale());
  CreateBacking();
  UpdatePathTransform();
}

IGfxCoreGraphics::~IGfxCoreGraphics() {
  mView.reset();
  DestroyBacking();
  CGPathRelease(mPath);
  CGColorSpaceRelease(mColorSpace);
}

// ---------------------------------------------------------------- window

void* IGfxCoreGraphics::OpenWindow(void* parent) {
  if (!mView) mView = MacView::Open(*this, parent);
  return GetWindow();
}

void IGfxCoreGraphics::CloseWindow() {
  mView.reset();
}

void* IGfxCoreGraphics::GetWindow() const {
  return mView ? mView->NativeView() : nullptr;
}

void IGfxCoreGraphics::HideMouseCursor(bool hide) {
  IGfx::HideMouseCursor(hide);
  if (mView) mView->HideCursor(hide);
}

void IGfxCoreGraphics::PlatformResize(int w, int h) {
  if (mView) mView->Resize(w, h);
}

void IGfxCoreGraphics::ScreenScaleChanged(float scale) {
  if (!(scale > 0.f) || scale == GetScreenScale()) return;
  SetScreenScale(scale);
  DrawResize();
  SetAllControlsDirty();
}

CGImageRef IGfxCoreGraphics::CopyBackingImage() const {
  return mContext ? CGBitmapContextCreateImage(mContext) : nullptr;
}

// ---------------------------------------------------------------- backing bitmap

CGFloat IGfxCoreGraphics::PixelScale() const {
  return CGFloat(GetDrawScale()) * CGFloat(GetScreenScale());
}

void IGfxCoreGraphics::CreateBacking() {
  const auto size = MacViewGeometry::BackingPixels(WindowWidth(), WindowHeight(), GetScreenScale());
  mContext = CGBitmapContextCreate(
      nullptr, static_cast<size_t>(size.width), static_cast<size_t>(size.height), 8, 0, mColorSpace,
      static_cast<CGBitmapInfo>(kCGImageAlphaPremultipliedFirst) | kCGBitmapByteOrder32Little);
  if (!mContext) return;
  // y grows downwards, as everywhere in the toolkit; the view draws the bitmap flipped to match.
  CGContextTranslateCTM(mContext, 0, CGFloat(size.height));
  CGContextScaleCTM(mContext, 1, -1);
  CGContextSetInterpolationQuality(mContext, kCGInterpolationHigh);
  CGContextSetShouldAntialias(mContext, true);
}

void IGfxCoreGraphics::DestroyBacking() {
  if (mContext) CGContextRelease(mContext);
  mContext = nullptr;
}

void IGfxCoreGraphics::DrawResize() {
  DestroyBacking();
  CreateBacking();
  UpdatePathTransform();
}

CGRect IGfxCoreGraphics::ToPixels(const IRECT& r) const {
  const CGFloat k = PixelScale();
  return CGRectMake(r.L * k, r.T * k, r.W() * k, r.H() * k);
}

// ---------------------------------------------------------------- resources

std::string IGfxCoreGraphics::LocateResource(const std::string& fileName) const {
  return ResourceFolder::Locate(fileName);
}

std::shared_ptr<const APIBitmap> IGfxCoreGraphics::LoadAPIBitmap(const std::string& path,
                                                                 int scale) {
  return CGBitmap::Decode(path, scale);
}

std::shared_ptr<const APIFont> IGfxCoreGraphics::LoadAPIFont(const std::string& path) {
  return StbFont::Load(path);
}

// ---------------------------------------------------------------- frame

void IGfxCoreGraphics::UpdatePathTransform() {
  const IMatrix& t = GetPathTransform();
  mTransformValid = DrawArgs::Invertible(t);
  const CGFloat k = PixelScale();
  mUserToPixels = CGAffineTransformConcat(ToCG(t), CGAffineTransformMakeScale(k, k));
}

void IGfxCoreGraphics::BeginFrame() {
  if (!mContext) return;
  CGContextSaveGState(mContext);
  ResetPath();
}

void IGfxCoreGraphics::PrepareRegion(const IRECT& region) {
  if (!mContext) return;
  const CGRect r = ToPixels(region);
  CGContextClipToRect(mContext, r);
  CGContextClearRect(mContext, r);
}

void IGfxCoreGraphics::PushControlClip(const IRECT& clip) {
  if (!mContext) return;
  CGContextSaveGState(mContext);
  CGContextClipToRect(mContext, ToPixels(clip));
}

void IGfxCoreGraphics::PopControlClip() {
  if (!mContext) return;
  CGContextRestoreGState(mContext);
  ResetPath();
}

void IGfxCoreGraphics::EndFrame() {
  if (!mContext) return;
  CGContextRestoreGState(mContext);
  CGContextFlush(mContext);
}

// ---------------------------------------------------------------- paths

void IGfxCoreGraphics::ResetPath() {
  CGPathRelease(mPath);
  mPath = CGPathCreateMutable();
}

void IGfxCoreGraphics::PathClear() {
  ResetPath();
}

void IGfxCoreGraphics::PathMoveTo(float x, float y) {
  if (mTransformValid && DrawArgs::Finite({x, y})) CGPathMoveToPoint(mPath, &mUserToPixels, x, y);
}

void IGfxCoreGraphics::PathLineTo(float x, float y) {
  if (!mTransformValid || !DrawArgs::Finite({x, y})) return;
  // A line without a current point starts there, as the Linux rasteriser's does.
  if (CGPathIsEmpty(mPath)) {
    CGPathMoveToPoint(mPath, &mUserToPixels, x, y);
  } else {
    CGPathAddLineToPoint(mPath, &mUserToPixels, x, y);
  }
}

void IGfxCoreGraphics::PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2,
                                         float y2) {
  if (!mTransformValid || !DrawArgs::Finite({c1x, c1y, c2x, c2y, x2, y2})) return;
  if (CGPathIsEmpty(mPath)) CGPathMoveToPoint(mPath, &mUserToPixels, c1x, c1y);
  CGPathAddCurveToPoint(mPath, &mUserToPixels, c1x, c1y, c2x, c2y, x2, y2);
}

void IGfxCoreGraphics::PathClose() {
  if (!CGPathIsEmpty(mPath)) CGPathCloseSubpath(mPath);
}

void IGfxCoreGraphics::PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding) {
  if (!mTransformValid || !DrawArgs::Finite({cx, cy, r, a1, a2}) || r < 0.f) return;
  // 0 degrees is straight up; the rasteriser's 0 points right. In this y-down space growing
  // angles turn clockwise on screen, which Core Graphics calls counter-clockwise.
  double r1 = DrawArgs::ArcRadians(a1);
  const double r2 = DrawArgs::ArcRadians(a2);
  const bool cw = winding == EWinding::CW;
  // More than a full turn draws as many turns, as on Linux; the last one is added below.
  const double turn = 2.0 * std::numbers::pi;
  while (cw ? r2 - r1 > turn : r1 - r2 > turn) {
    const double next = cw ? r1 + turn : r1 - turn;
    CGPathAddArc(mPath, &mUserToPixels, cx, cy, r, r1, next, !cw);
    r1 = next;
  }
  CGPathAddArc(mPath, &mUserToPixels, cx, cy, r, r1, r2, !cw);
}

void IGfxCoreGraphics::WithBlend(const IBlend* blend, const std::function<void()>& paint) {
  const CGFloat weight = DrawArgs::Weight(blend);
  CGContextSaveGState(mContext);
  CGContextSetBlendMode(mContext, Mode(blend));
  if (weight < 1) {
    // Painted as a layer first so that overlapping parts of one path fade once.
    CGContextSetAlpha(mContext, weight);
    CGContextBeginTransparencyLayer(mContext, nullptr);
    CGContextSetBlendMode(mContext, kCGBlendModeNormal);
    CGContextSetAlpha(mContext, 1);
    paint();
    CGContextEndTransparencyLayer(mContext);
  } else {
    paint();
  }
  CGContextRestoreGState(mContext);
}

void IGfxCoreGraphics::DrawGradient(const IPattern& pattern) {
  const int n = pattern.NStops();
  std::vector<CGFloat> components;
  std::vector<CGFloat> locations;
  for (int i = 0; i < n; ++i) {
    const IColorStop& s = pattern.GetStop(i);
    components.insert(components.end(), {DrawArgs::Unit(s.mColor.R), DrawArgs::Unit(s.mColor.G),
                                         DrawArgs::Unit(s.mColor.B), DrawArgs::Unit(s.mColor.A)});
    locations.push_back(DrawArgs::StopOffset(s.mOffset));
  }
  CGGradientRef gradient = CGGradientCreateWithColorComponents(
      mColorSpace, components.data(), locations.data(), static_cast<size_t>(n));
  if (!gradient) return;
  // From the path's user space into the gradient's, where it runs from 0 to 1.
  CGContextConcatCTM(mContext, mUserToPixels);
  CGContextConcatCTM(mContext, CGAffineTransformInvert(ToCG(pattern.mTransform)));
  // Core Graphics extends only by holding the end colours; the editor uses no other mode.
  const CGGradientDrawingOptions extend =
      pattern.mExtend == EPatternExtend::None
          ? 0
          : kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation;
  if (pattern.mType == EPatternType::Linear) {
    CGContextDrawLinearGradient(mContext, gradient, CGPointMake(0, 0), CGPointMake(1, 0), extend);
  } else {
    CGContextDrawRadialGradient(mContext, gradient, CGPointMake(0, 0), 0, CGPointMake(0, 0), 1,
                                extend);
  }
  CGGradientRelease(gradient);
}

void IGfxCoreGraphics::PathFill(const IPattern& pattern, const IFillOptions& options,
                                const IBlend* blend) {
  if (mContext && mTransformValid && pattern.NStops() > 0 && !CGPathIsEmpty(mPath)) {
    const bool evenOdd = options.mFillRule == EFillRule::EvenOdd;
    const bool gradient = DrawArgs::PaintsGradient(pattern);
    WithBlend(blend, [&] {
      CGContextAddPath(mContext, mPath);
      if (gradient) {
        evenOdd ? CGContextEOClip(mContext) : CGContextClip(mContext);
        DrawGradient(pattern);
      } else {
        SetFill(mContext, DrawArgs::SolidColor(pattern));
        CGContextDrawPath(mContext, evenOdd ? kCGPathEOFill : kCGPathFill);
      }
    });
  }
  if (!options.mPreserve) ResetPath();
}

void IGfxCoreGraphics::PathStroke(const IPattern& pattern, float thickness,
                                  const IStrokeOptions& options, const IBlend* blend) {
  if (mContext && mTransformValid && thickness > 0.f && std::isfinite(thickness) &&
      pattern.NStops() > 0 && !CGPathIsEmpty(mPath)) {
    const bool gradient = DrawArgs::PaintsGradient(pattern);
    WithBlend(blend, [&] {
      // The width, caps and dashes are in the path's user space, so the path goes back into it.
      const CGAffineTransform toUser = CGAffineTransformInvert(mUserToPixels);
      CGPathRef userPath = CGPathCreateCopyByTransformingPath(mPath, &toUser);
      CGContextConcatCTM(mContext, mUserToPixels);
      CGContextAddPath(mContext, userPath);
      CGPathRelease(userPath);
      CGContextSetLineWidth(mContext, thickness);
      CGContextSetLineCap(mContext, options.mCapOption == ELineCap::Round    ? kCGLineCapRound
                                    : options.mCapOption == ELineCap::Square ? kCGLineCapSquare
                                                                             : kCGLineCapButt);
      CGContextSetLineJoin(mContext, options.mJoinOption == ELineJoin::Round   ? kCGLineJoinRound
                                     : options.mJoinOption == ELineJoin::Bevel ? kCGLineJoinBevel
                                                                               : kCGLineJoinMiter);
      CGContextSetMiterLimit(mContext, DrawArgs::MiterLimit(options));
      const DrawArgs::Dashes dashes = DrawArgs::ValidDashes(options.mDash);
      if (dashes.count > 0) {
        CGContextSetLineDash(mContext, dashes.offset, dashes.lengths.data(),
                             static_cast<size_t>(dashes.count));
      }
      if (gradient) {
        CGContextReplacePathWithStrokedPath(mContext);
        CGContextClip(mContext);
        CGContextConcatCTM(mContext, CGAffineTransformInvert(mUserToPixels));
        DrawGradient(pattern);
      } else {
        SetFill(mContext, DrawArgs::SolidColor(pattern));
        CGContextStrokePath(mContext);
      }
    });
  }
  if (!options.mPreserve) ResetPath();
}

// ---------------------------------------------------------------- bitmaps

void IGfxCoreGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, float srcX, float srcY,
                                  const IBlend* blend) {
  const auto* api = static_cast<const CGBitmap*>(bitmap.GetAPIBitmap());
  if (!mContext || !api || !mTransformValid || dest.Degenerate() ||
      !DrawArgs::Finite({dest.L, dest.T, dest.R, dest.B, srcX, srcY}))
    return;
  const CGFloat s = api->Scale();
  const CGFloat w = CGFloat(api->Width()) / s, h = CGFloat(api->Height()) / s;
  WithBlend(blend, [&] {
    CGContextConcatCTM(mContext, mUserToPixels);
    CGContextClipToRect(mContext, CGRectMake(dest.L, dest.T, dest.W(), dest.H()));
    // Images are drawn upright in a y-up space; this one grows downwards.
    CGContextTranslateCTM(mContext, dest.L - srcX, dest.T - srcY + h);
    CGContextScaleCTM(mContext, 1, -1);
    CGContextDrawImage(mContext, CGRectMake(0, 0, w, h), api->Image());
  });
}

// ---------------------------------------------------------------- text

IRECT IGfxCoreGraphics::MeasureText(const IText& text, const char* str, const IRECT& bounds) const {
  StbTextLayout layout;
  if (!layout.Layout(std::static_pointer_cast<const StbFont>(FindFont(text.mFont)), text, str,
                     bounds))
    return IRECT();
  return layout.Bounds();
}

void IGfxCoreGraphics::DrawText(const IText& text, const char* str, const IRECT& bounds,
                                const IBlend* blend) {
  StbTextLayout layout;
  if (!mContext || !mTransformValid ||
      !layout.Layout(std::static_pointer_cast<const StbFont>(FindFont(text.mFont)), text, str,
                     bounds) ||
      layout.Empty())
    return;
  CGAffineTransform t = mUserToPixels;
  if (text.mAngle != 0.f && std::isfinite(text.mAngle)) {
    const CGFloat a = CGFloat(text.mAngle) * std::numbers::pi / 180.0;
    CGAffineTransform r = CGAffineTransformMakeTranslation(-bounds.MW(), -bounds.MH());
    r = CGAffineTransformConcat(r, CGAffineTransformMakeRotation(a));
    r = CGAffineTransformConcat(r, CGAffineTransformMakeTranslation(bounds.MW(), bounds.MH()));
    t = CGAffineTransformConcat(r, t);
  }
  CGMutablePathRef glyphs = CGPathCreateMutable();
  PathSink sink(glyphs, t);
  layout.Outlines(sink);
  WithBlend(blend, [&] {
    CGContextAddPath(mContext, glyphs);
    SetFill(mContext, text.mFGColor);
    CGContextFillPath(mContext);
  });
  CGPathRelease(glyphs);
}

}  // namespace plug::gfx
