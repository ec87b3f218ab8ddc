// StbTextLayout: a line of text placed in a rectangle and walked as TrueType outlines.
#pragma once

#include <memory>
#include <vector>

#include "gfx/IRECT.h"
#include "gfx/IText.h"

namespace plug::gfx {

class StbFont;

/** Pen positions from the font's advances and kerning at the text's size, aligned in the rectangle
 *  by the font's ascent and descent; glyphs are given as their outlines (quadratic curves raised
 *  to cubics), so each backend fills them with its own rasteriser and the shapes match on every
 *  platform. Threads: main. */
class StbTextLayout {
 public:
  /** Receives one glyph outline after another, in logical pixels with y growing downwards. */
  class OutlineSink {
   public:
    virtual ~OutlineSink() = default;
    virtual void MoveTo(double x, double y) = 0;
    virtual void LineTo(double x, double y) = 0;
    virtual void CubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) = 0;
  };

  /** False (and an empty layout) for a null string, an unusable size or a null font. */
  bool Layout(std::shared_ptr<const StbFont> font, const IText& text, const char* str,
              const IRECT& bounds);

  /** The box the text occupies: from the left of the first glyph to the pen's end, ascent to
   *  descent. */
  IRECT Bounds() const;
  bool Empty() const { return mGlyphs.empty(); }
  void Outlines(OutlineSink& sink) const;

 private:
  std::shared_ptr<const StbFont> mFont;
  std::vector<int> mGlyphs;
  std::vector<double> mPens;  // x of each glyph's origin from the first one's
  double mScale = 0.0;        // pixels per font unit
  double mWidth = 0.0;
  double mAscent = 0.0;   // above the baseline, positive
  double mDescent = 0.0;  // below the baseline, negative
  double mX = 0.0;        // left of the first glyph
  double mBaseline = 0.0;
};

}  // namespace plug::gfx
