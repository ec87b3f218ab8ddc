// StbTextLayout: advances, kerning, alignment and outlines from stb_truetype.
#include "gfx/platform/StbTextLayout.h"

#include <stb_truetype.h>

#include <cmath>

#include "gfx/platform/StbFont.h"

namespace plug::gfx {

namespace {

// One UTF-8 sequence at s; malformed bytes read as U+FFFD, one byte at a time.
int NextCodepoint(const unsigned char*& s) {
  const unsigned c = *s++;
  if (c < 0x80) return int(c);
  const int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (extra < 0 || c >= 0xF8) return 0xFFFD;
  unsigned cp = c & (0x3Fu >> extra);
  for (int i = 0; i < extra; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (s[i] & 0x3Fu);
  }
  s += extra;
  return cp > 0x10FFFF ? 0xFFFD : int(cp);
}

}  // namespace

bool StbTextLayout::Layout(std::shared_ptr<const StbFont> font, const IText& text, const char* str,
                           const IRECT& bounds) {
  *this = StbTextLayout();
  if (!font || !str || !std::isfinite(text.mSize) || !(text.mSize > 0.f)) return false;
  mFont = std::move(font);
  const stbtt_fontinfo* info = mFont->Info();
  mScale = stbtt_ScaleForMappingEmToPixels(info, text.mSize);
  int ascent = 0, descent = 0, lineGap = 0;
  stbtt_GetFontVMetrics(info, &ascent, &descent, &lineGap);
  mAscent = ascent * mScale;
  mDescent = descent * mScale;

  double pen = 0.0;
  int prev = 0;
  for (auto s = reinterpret_cast<const unsigned char*>(str); *s;) {
    const int glyph = stbtt_FindGlyphIndex(info, NextCodepoint(s));
    if (prev) pen += stbtt_GetGlyphKernAdvance(info, prev, glyph) * mScale;
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(info, glyph, &advance, &bearing);
    mGlyphs.push_back(glyph);
    mPens.push_back(pen);
    pen += advance * mScale;
    prev = glyph;
  }
  mWidth = pen;
  switch (text.mAlign) {
    case EAlign::Near:
      mX = bounds.L;
      break;
    case EAlign::Center:
      mX = bounds.MW() - 0.5 * mWidth;
      break;
    case EAlign::Far:
      mX = bounds.R - mWidth;
      break;
  }
  switch (text.mVAlign) {
    case EVAlign::Top:
      mBaseline = bounds.T + mAscent;
      break;
    case EVAlign::Middle:
      mBaseline = bounds.MH() + 0.5 * (mAscent + mDescent);
      break;
    case EVAlign::Bottom:
      mBaseline = bounds.B + mDescent;
      break;
  }
  return true;
}

IRECT StbTextLayout::Bounds() const {
  if (!mFont) return {};
  return IRECT(float(mX), float(mBaseline - mAscent), float(mX + mWidth),
               float(mBaseline - mDescent));
}

void StbTextLayout::Outlines(OutlineSink& sink) const {
  if (!mFont) return;
  const stbtt_fontinfo* info = mFont->Info();
  for (std::size_t i = 0; i < mGlyphs.size(); ++i) {
    stbtt_vertex* v = nullptr;
    const int n = stbtt_GetGlyphShape(info, mGlyphs[i], &v);
    const double ox = mX + mPens[i], oy = mBaseline;
    // Font units grow upwards; the screen's y grows downwards.
    auto X = [&](double fx) { return ox + fx * mScale; };
    auto Y = [&](double fy) { return oy - fy * mScale; };
    double px = 0.0, py = 0.0;
    for (int j = 0; j < n; ++j) {
      const stbtt_vertex& e = v[j];
      switch (e.type) {
        case STBTT_vmove:
          sink.MoveTo(X(e.x), Y(e.y));
          break;
        case STBTT_vline:
          sink.LineTo(X(e.x), Y(e.y));
          break;
        case STBTT_vcurve: {  // quadratic, raised to a cubic
          const double cx = X(e.cx), cy = Y(e.cy), x = X(e.x), y = Y(e.y);
          sink.CubicTo(px + 2.0 / 3.0 * (cx - px), py + 2.0 / 3.0 * (cy - py),
                       x + 2.0 / 3.0 * (cx - x), y + 2.0 / 3.0 * (cy - y), x, y);
          break;
        }
        case STBTT_vcubic:
          sink.CubicTo(X(e.cx), Y(e.cy), X(e.cx1), Y(e.cy1), X(e.x), Y(e.y));
          break;
        default:
          continue;
      }
      px = X(e.x);
      py = Y(e.y);
    }
    if (v) stbtt_FreeShape(info, v);
  }
}

}  // namespace plug::gfx
