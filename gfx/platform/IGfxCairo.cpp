// IGfxCairo: the drawing interface mapped onto Cairo; text from TrueType outlines.
#include "gfx/platform/IGfxCairo.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "gfx/platform/CairoBitmap.h"
#include "gfx/platform/DrawArgs.h"
#include "gfx/platform/OffscreenTarget.h"
#include "gfx/platform/ResourceFolder.h"
#include "gfx/platform/StbFont.h"
#include "gfx/platform/StbTextLayout.h"

namespace plug::gfx {

namespace {

void SetSourceColor(cairo_t* cr, const IColor& c) {
  cairo_set_source_rgba(cr, DrawArgs::Unit(c.R), DrawArgs::Unit(c.G), DrawArgs::Unit(c.B),
                        DrawArgs::Unit(c.A));
}

cairo_operator_t Operator(const IBlend* blend) {
  if (!blend) return CAIRO_OPERATOR_OVER;
  switch (blend->mMethod) {
    case EBlend::Default:
      return CAIRO_OPERATOR_OVER;
    case EBlend::Clobber:
      return CAIRO_OPERATOR_SOURCE;
    case EBlend::SrcIn:
      return CAIRO_OPERATOR_IN;
    case EBlend::SrcOut:
      return CAIRO_OPERATOR_OUT;
    case EBlend::SrcAtop:
      return CAIRO_OPERATOR_ATOP;
    case EBlend::DstOver:
      return CAIRO_OPERATOR_DEST_OVER;
    case EBlend::DstIn:
      return CAIRO_OPERATOR_DEST_IN;
    case EBlend::DstOut:
      return CAIRO_OPERATOR_DEST_OUT;
    case EBlend::DstAtop:
      return CAIRO_OPERATOR_DEST_ATOP;
    case EBlend::Add:
      return CAIRO_OPERATOR_ADD;
    case EBlend::XOR:
      return CAIRO_OPERATOR_XOR;
  }
  return CAIRO_OPERATOR_OVER;
}

cairo_extend_t Extend(EPatternExtend e) {
  switch (e) {
    case EPatternExtend::None:
      return CAIRO_EXTEND_NONE;
    case EPatternExtend::Pad:
      return CAIRO_EXTEND_PAD;
    case EPatternExtend::Reflect:
      return CAIRO_EXTEND_REFLECT;
    case EPatternExtend::Repeat:
      return CAIRO_EXTEND_REPEAT;
  }
  return CAIRO_EXTEND_PAD;
}

// The current path survives drawing a bitmap or a text, which build paths of their own.
class SavedPath {
 public:
  explicit SavedPath(cairo_t* cr) : mCR(cr), mPath(cairo_copy_path(cr)) { cairo_new_path(cr); }
  ~SavedPath() {
    cairo_new_path(mCR);
    if (mPath->status == CAIRO_STATUS_SUCCESS) cairo_append_path(mCR, mPath);
    cairo_path_destroy(mPath);
  }
  SavedPath(const SavedPath&) = delete;
  SavedPath& operator=(const SavedPath&) = delete;

 private:
  cairo_t* mCR;
  cairo_path_t* mPath;
};

// Glyph outlines into the current path.
class PathSink final : public StbTextLayout::OutlineSink {
 public:
  explicit PathSink(cairo_t* cr) : mCR(cr) {}
  void MoveTo(double x, double y) override { cairo_move_to(mCR, x, y); }
  void LineTo(double x, double y) override { cairo_line_to(mCR, x, y); }
  void CubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) override {
    cairo_curve_to(mCR, c1x, c1y, c2x, c2y, x, y);
  }

 private:
  cairo_t* mCR;
};

}  // namespace

IGfxCairo::IGfxCairo(IGfxEditorDelegate& dlg, int w, int h, int fps, float scale)
    : IGfx(dlg, w, h, fps, scale) {
  CreateSurface();
}

IGfxCairo::~IGfxCairo() {
  mWindowView.reset();
  mView.reset();
  DestroySurface();
}

void IGfxCairo::CreateSurface() {
  const int w = std::max(WindowWidth(), 1), h = std::max(WindowHeight(), 1);
  mSurface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  mCR = cairo_create(mSurface);
  SetBaseTransform();
}

void IGfxCairo::DestroySurface() {
  if (mUnderlay) cairo_surface_destroy(mUnderlay);
  mUnderlay = nullptr;
  if (mCR) cairo_destroy(mCR);
  if (mSurface) cairo_surface_destroy(mSurface);
  mCR = nullptr;
  mSurface = nullptr;
}

void IGfxCairo::DrawResize() {
  DestroySurface();
  CreateSurface();
}

void* IGfxCairo::OpenWindow(void* parent) {
  if (parent) {
    if (!mWindowView && mWindowOpener != nullptr) {
      mWindowView = mWindowOpener(*this, reinterpret_cast<unsigned long>(parent));
    }
    return GetWindow();
  }
  if (!mView) mView = std::make_unique<OffscreenTarget>(*this);
  return mView.get();
}

void IGfxCairo::CloseWindow() {
  mWindowView.reset();
  mView.reset();
}

void* IGfxCairo::GetWindow() const {
  if (mWindowView) return reinterpret_cast<void*>(mWindowView->Window());
  return mView.get();
}

void IGfxCairo::HideMouseCursor(bool hide) {
  IGfx::HideMouseCursor(hide);
  if (mWindowView) mWindowView->HideCursor(hide);
}

void IGfxCairo::PlatformResize(int w, int h) {
  if (mWindowView) mWindowView->Resize(w, h);
}

RGBAImage IGfxCairo::Snapshot() const {
  // A size the rasteriser refused (beyond its 32767-pixel limit) leaves an error surface without
  // pixels.
  if (cairo_surface_status(mSurface) != CAIRO_STATUS_SUCCESS) return {};
  cairo_surface_flush(mSurface);
  return RGBAImage::FromPremultipliedARGB32(cairo_image_surface_get_data(mSurface), WindowWidth(),
                                            WindowHeight(),
                                            cairo_image_surface_get_stride(mSurface));
}

// ---------------------------------------------------------------- resources

std::string IGfxCairo::LocateResource(const std::string& fileName) const {
  return ResourceFolder::Locate(fileName);
}

std::shared_ptr<const APIBitmap> IGfxCairo::LoadAPIBitmap(const std::string& path, int scale) {
  return CairoBitmap::Decode(path, scale);
}

std::shared_ptr<const APIFont> IGfxCairo::LoadAPIFont(const std::string& path) {
  return StbFont::Load(path);
}

// ---------------------------------------------------------------- frame

void IGfxCairo::SetBaseTransform() {
  cairo_identity_matrix(mCR);
  cairo_scale(mCR, GetDrawScale(), GetDrawScale());
}

void IGfxCairo::UpdatePathTransform() {
  const IMatrix& t = GetPathTransform();
  const double s = GetDrawScale();
  mTransformValid = DrawArgs::Invertible(t);
  if (!mTransformValid) return;  // Cairo would stop drawing altogether on a singular matrix
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.mXX * s, t.mYX * s, t.mXY * s, t.mYY * s, t.mTX * s, t.mTY * s);
  cairo_set_matrix(mCR, &m);
}

void IGfxCairo::BeginFrame() {
  cairo_reset_clip(mCR);
  cairo_new_path(mCR);
  SetBaseTransform();
}

void IGfxCairo::PrepareRegion(const IRECT& r) {
  CountBackendCall();
  SetBaseTransform();
  cairo_rectangle(mCR, r.L, r.T, r.W(), r.H());
  cairo_clip(mCR);
  cairo_save(mCR);
  cairo_set_operator(mCR, CAIRO_OPERATOR_CLEAR);
  cairo_paint(mCR);
  cairo_restore(mCR);
}

void IGfxCairo::PushControlClip(const IRECT& r) {
  cairo_save(mCR);
  SetBaseTransform();
  cairo_new_path(mCR);
  cairo_rectangle(mCR, r.L, r.T, r.W(), r.H());
  cairo_clip(mCR);
}

void IGfxCairo::PopControlClip() {
  cairo_restore(mCR);
  cairo_new_path(mCR);
}

void IGfxCairo::EndFrame() {
  cairo_reset_clip(mCR);
  SetBaseTransform();
  cairo_surface_flush(mSurface);
}

bool IGfxCairo::SaveUnderlay(const IRECT& r) {
  const IRECT px = r.GetScaled(GetDrawScale()).GetPixelAligned();
  const int w = int(px.W()), h = int(px.H());
  if (w <= 0 || h <= 0) return false;
  if (mUnderlay) cairo_surface_destroy(mUnderlay);
  mUnderlay = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(mUnderlay) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(mUnderlay);
    mUnderlay = nullptr;
    return false;
  }
  mUnderlayX = int(px.L);
  mUnderlayY = int(px.T);
  mUnderlayRegion = r;
  cairo_surface_flush(mSurface);
  cairo_t* copy = cairo_create(mUnderlay);
  cairo_set_operator(copy, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(copy, mSurface, -mUnderlayX, -mUnderlayY);
  cairo_paint(copy);
  cairo_destroy(copy);
  return true;
}

bool IGfxCairo::RestoreUnderlay(const IRECT& r) {
  if (!mUnderlay || !(r == mUnderlayRegion)) return false;
  CountBackendCall();
  // Device pixels: the copy goes back one to one, then the region is clipped as a cleared one is.
  cairo_identity_matrix(mCR);
  cairo_save(mCR);
  cairo_set_operator(mCR, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(mCR, mUnderlay, mUnderlayX, mUnderlayY);
  cairo_rectangle(mCR, mUnderlayX, mUnderlayY, cairo_image_surface_get_width(mUnderlay),
                  cairo_image_surface_get_height(mUnderlay));
  cairo_fill(mCR);
  cairo_restore(mCR);
  SetBaseTransform();
  cairo_rectangle(mCR, r.L, r.T, r.W(), r.H());
  cairo_clip(mCR);
  return true;
}

// ---------------------------------------------------------------- paths

void IGfxCairo::PathClear() {
  cairo_new_path(mCR);
}

void IGfxCairo::PathMoveTo(float x, float y) {
  if (mTransformValid && DrawArgs::Finite({x, y})) cairo_move_to(mCR, x, y);
}

void IGfxCairo::PathLineTo(float x, float y) {
  if (mTransformValid && DrawArgs::Finite({x, y})) cairo_line_to(mCR, x, y);
}

void IGfxCairo::PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) {
  if (mTransformValid && DrawArgs::Finite({c1x, c1y, c2x, c2y, x2, y2}))
    cairo_curve_to(mCR, c1x, c1y, c2x, c2y, x2, y2);
}

void IGfxCairo::PathClose() {
  cairo_close_path(mCR);
}

void IGfxCairo::PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding) {
  if (!mTransformValid || !DrawArgs::Finite({cx, cy, r, a1, a2}) || r < 0.f) return;
  // 0 degrees is straight up; the rasteriser's 0 points right.
  const double r1 = DrawArgs::ArcRadians(a1), r2 = DrawArgs::ArcRadians(a2);
  if (winding == EWinding::CW) {
    cairo_arc(mCR, cx, cy, r, r1, r2);
  } else {
    cairo_arc_negative(mCR, cx, cy, r, r1, r2);
  }
}

void IGfxCairo::SetSource(const IPattern& pattern) {
  const int n = pattern.NStops();
  if (n == 0) {
    cairo_set_source_rgba(mCR, 0, 0, 0, 0);
    return;
  }
  if (!DrawArgs::PaintsGradient(pattern)) {
    SetSourceColor(mCR, DrawArgs::SolidColor(pattern));
    return;
  }
  cairo_pattern_t* p = pattern.mType == EPatternType::Linear
                           ? cairo_pattern_create_linear(0, 0, 1, 0)
                           : cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
  for (int i = 0; i < n; ++i) {
    const IColorStop& s = pattern.GetStop(i);
    cairo_pattern_add_color_stop_rgba(p, DrawArgs::StopOffset(s.mOffset),
                                      DrawArgs::Unit(s.mColor.R), DrawArgs::Unit(s.mColor.G),
                                      DrawArgs::Unit(s.mColor.B), DrawArgs::Unit(s.mColor.A));
  }
  cairo_pattern_set_extend(p, Extend(pattern.mExtend));
  const IMatrix& t = pattern.mTransform;
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.mXX, t.mYX, t.mXY, t.mYY, t.mTX, t.mTY);
  cairo_pattern_set_matrix(p, &m);
  cairo_set_source(mCR, p);
  cairo_pattern_destroy(p);
}

void IGfxCairo::Paint(bool stroke, bool preserve, const IBlend* blend) {
  CountBackendCall();
  const double weight = DrawArgs::Weight(blend);
  cairo_set_operator(mCR, Operator(blend));
  if (weight < 1.0) {
    // Painted as a group first so that overlapping parts of one path fade once.
    cairo_push_group(mCR);
    cairo_set_operator(mCR, CAIRO_OPERATOR_OVER);
    stroke ? cairo_stroke_preserve(mCR) : cairo_fill_preserve(mCR);
    cairo_pop_group_to_source(mCR);
    cairo_set_operator(mCR, Operator(blend));
    cairo_paint_with_alpha(mCR, weight);
    if (!preserve) cairo_new_path(mCR);
  } else if (stroke) {
    preserve ? cairo_stroke_preserve(mCR) : cairo_stroke(mCR);
  } else {
    preserve ? cairo_fill_preserve(mCR) : cairo_fill(mCR);
  }
  cairo_set_operator(mCR, CAIRO_OPERATOR_OVER);
}

void IGfxCairo::PathFill(const IPattern& pattern, const IFillOptions& options,
                         const IBlend* blend) {
  if (!mTransformValid) {
    if (!options.mPreserve) cairo_new_path(mCR);
    return;
  }
  SetSource(pattern);
  cairo_set_fill_rule(mCR, options.mFillRule == EFillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD
                                                                   : CAIRO_FILL_RULE_WINDING);
  Paint(false, options.mPreserve, blend);
}

void IGfxCairo::PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options,
                           const IBlend* blend) {
  if (!mTransformValid || !(thickness > 0.f) || !std::isfinite(thickness)) {
    if (!options.mPreserve) cairo_new_path(mCR);
    return;
  }
  SetSource(pattern);
  cairo_set_line_width(mCR, thickness);
  cairo_set_line_cap(mCR, options.mCapOption == ELineCap::Round    ? CAIRO_LINE_CAP_ROUND
                          : options.mCapOption == ELineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                                   : CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(mCR, options.mJoinOption == ELineJoin::Round   ? CAIRO_LINE_JOIN_ROUND
                           : options.mJoinOption == ELineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                                     : CAIRO_LINE_JOIN_MITER);
  cairo_set_miter_limit(mCR, DrawArgs::MiterLimit(options));
  const DrawArgs::Dashes dashes = DrawArgs::ValidDashes(options.mDash);
  cairo_set_dash(mCR, dashes.lengths.data(), dashes.count, dashes.offset);
  Paint(true, options.mPreserve, blend);
  cairo_set_dash(mCR, nullptr, 0, 0.0);
}

// ---------------------------------------------------------------- bitmaps

void IGfxCairo::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, float srcX, float srcY,
                           const IBlend* blend) {
  CountBackendCall();
  const auto* api = static_cast<const CairoBitmap*>(bitmap.GetAPIBitmap());
  if (!api || !mTransformValid || dest.Degenerate() ||
      !DrawArgs::Finite({dest.L, dest.T, dest.R, dest.B, srcX, srcY}))
    return;
  SavedPath saved(mCR);
  // Device pixels per bitmap pixel along the bitmap's two axes. An image shrunk on screen is
  // drawn from a copy resampled to its screen size, so the paint is a near one-to-one copy.
  cairo_matrix_t ctm;
  cairo_get_matrix(mCR, &ctm);
  const double s = api->Scale();
  const double fx = std::hypot(ctm.xx, ctm.yx) / s;
  const double fy = std::hypot(ctm.xy, ctm.yy) / s;
  cairo_surface_t* source = api->Surface();
  double kx = 1.0, ky = 1.0;  // copy pixels per bitmap pixel
  if (fx < 1.0 || fy < 1.0) {
    const int w = std::max(1, int(std::lround(api->Width() * std::min(fx, 1.0))));
    const int h = std::max(1, int(std::lround(api->Height() * std::min(fy, 1.0))));
    if (w != api->Width() || h != api->Height()) {
      if (cairo_surface_t* copy = api->Resampled(w, h)) {
        source = copy;
        kx = double(w) / api->Width();
        ky = double(h) / api->Height();
      }
    }
  }
  cairo_pattern_t* p = cairo_pattern_create_for_surface(source);
  // From drawing coordinates to the source's own pixels.
  cairo_matrix_t m;
  cairo_matrix_init_scale(&m, s * kx, s * ky);
  cairo_matrix_translate(&m, double(srcX) - dest.L, double(srcY) - dest.T);
  cairo_pattern_set_matrix(p, &m);
  cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(p, CAIRO_FILTER_GOOD);
  cairo_set_source(mCR, p);
  cairo_pattern_destroy(p);
  cairo_rectangle(mCR, dest.L, dest.T, dest.W(), dest.H());
  cairo_set_fill_rule(mCR, CAIRO_FILL_RULE_WINDING);
  Paint(false, false, blend);
}

// ---------------------------------------------------------------- text

IRECT IGfxCairo::MeasureText(const IText& text, const char* str, const IRECT& bounds) const {
  StbTextLayout layout;
  if (!layout.Layout(std::static_pointer_cast<const StbFont>(FindFont(text.mFont)), text, str,
                     bounds))
    return IRECT();
  return layout.Bounds();
}

void IGfxCairo::DrawText(const IText& text, const char* str, const IRECT& bounds,
                         const IBlend* blend) {
  CountBackendCall();
  StbTextLayout layout;
  if (!mTransformValid ||
      !layout.Layout(std::static_pointer_cast<const StbFont>(FindFont(text.mFont)), text, str,
                     bounds) ||
      layout.Empty())
    return;
  SavedPath saved(mCR);
  cairo_save(mCR);
  if (text.mAngle != 0.f && std::isfinite(text.mAngle)) {
    cairo_translate(mCR, bounds.MW(), bounds.MH());
    cairo_rotate(mCR, double(text.mAngle) * std::numbers::pi / 180.0);
    cairo_translate(mCR, -bounds.MW(), -bounds.MH());
  }
  PathSink sink(mCR);
  layout.Outlines(sink);
  SetSourceColor(mCR, text.mFGColor);
  cairo_set_fill_rule(mCR, CAIRO_FILL_RULE_WINDING);
  Paint(false, false, blend);
  cairo_restore(mCR);
}

}  // namespace plug::gfx
