// IText: the style a text is drawn with (font, size, colours, angle, alignment).
#pragma once

#include <cstring>

#include "gfx/IColor.h"

namespace plug::gfx {

enum class EAlign { Near, Center, Far };
enum class EVAlign { Top, Middle, Bottom };

class IText {
 public:
  static constexpr int kMaxFontIDLen = 63;

  char mFont[kMaxFontIDLen + 1] = {};  // identifier given to LoadFont
  float mSize = 14.f;                  // logical pixels per em
  IColor mFGColor = COLOR_BLACK;
  IColor mTextEntryBGColor = COLOR_WHITE;
  IColor mTextEntryFGColor = COLOR_BLACK;
  float mAngle = 0.f;  // degrees, clockwise, about the centre of the bounds
  EAlign mAlign = EAlign::Center;
  EVAlign mVAlign = EVAlign::Middle;

  IText() { SetFont("Plain"); }
  explicit IText(float size, const IColor& color = COLOR_BLACK, const char* font = nullptr,
                 EAlign align = EAlign::Center, EVAlign valign = EVAlign::Middle, float angle = 0.f,
                 const IColor& teBG = COLOR_WHITE, const IColor& teFG = COLOR_BLACK)
      : mSize(size),
        mFGColor(color),
        mTextEntryBGColor(teBG),
        mTextEntryFGColor(teFG),
        mAngle(angle),
        mAlign(align),
        mVAlign(valign) {
    SetFont(font ? font : "Plain");
  }

  /** Longer identifiers are cut to 63 characters. */
  void SetFont(const char* font) {
    std::memset(mFont, 0, sizeof(mFont));
    if (font) std::strncpy(mFont, font, kMaxFontIDLen);
  }
};

}  // namespace plug::gfx
