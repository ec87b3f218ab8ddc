// Artwork: a Cairo canvas measured in plate units, with the soft shadows and printed text that the
// editor's images are made of.
#pragma once

#include <cairo.h>

#include <functional>
#include <map>
#include <string>

namespace resources {

// Light falls from the top left: raised parts cast their shadows this way (a unit vector).
inline constexpr double kShadowX = 0.6;
inline constexpr double kShadowY = 0.8;

// One image being drawn. Coordinates are units; one unit is UnitPixels() pixels, so the same
// drawing code makes the plain image and its @2x variant.
class Artwork {
 public:
  using Shape = std::function<void(cairo_t*)>;  // builds a path in units

  // A transparent canvas of widthPx x heightPx pixels with unitPx pixels per unit.
  Artwork(int widthPx, int heightPx, double unitPx);
  ~Artwork();
  Artwork(const Artwork&) = delete;
  Artwork& operator=(const Artwork&) = delete;

  cairo_t* Cr() const { return mCR; }
  cairo_surface_t* Surface() const { return mSurface; }
  double UnitPixels() const { return mUnit; }
  int WidthPx() const { return mWidthPx; }
  int HeightPx() const { return mHeightPx; }

  // A soft shadow of shape moved by (dx, dy) units, blurred over blur units, in black at alpha.
  void DropShadow(const Shape& shape, double dx, double dy, double blur, double alpha);
  // The shadow that the rim of a hole shaped like shape casts into it, seen inside shape only.
  void InnerShadow(const Shape& shape, double dx, double dy, double blur, double alpha);

  // Registers a TrueType file for Text; false when FreeType cannot read it.
  bool LoadFont(const std::string& id, const std::string& path);
  enum class EAlign { kLeft, kCentre, kRight };
  // One line of text in a loaded font, its baseline at y, with extra tracking (units) between
  // letters; the text's visual centre lands on x for kCentre. Nothing for an unknown font.
  void Text(const std::string& fontId, const std::string& text, double size, double x, double y,
            EAlign align, double tracking, double r, double g, double b, double a);
  // Text printed as screen print on metal: a faint dark line under it so it reads on light and
  // dark parts of the brushing alike.
  void PrintedText(const std::string& fontId, const std::string& text, double size, double x,
                   double y, EAlign align, double tracking, double alpha = 1.0);

  bool WritePNG(const std::string& path) const;

 private:
  // An A8 mask of shape blurred by blurPx pixels, covering the shape's pixel extents grown by the
  // blur; (x0, y0) is its top left in pixels. Inverted: the mask of everything outside shape.
  cairo_surface_t* BlurredMask(const Shape& shape, double blurPx, bool inverted, int& x0, int& y0);

  int mWidthPx;
  int mHeightPx;
  double mUnit;
  cairo_surface_t* mSurface;
  cairo_t* mCR;
  void* mFreeType = nullptr;  // FT_Library, kept out of this header
  std::map<std::string, cairo_font_face_t*> mFonts;
};

}  // namespace resources
