// PlatePixels: the editor's plate units (ui/PlateGeometry.h) as the pixels of its window, for
// tests that draw, click or measure the editor.
#pragma once

#include <cmath>
#include <string>

#include "core/TovraSat.h"
#include "ui/PlateGeometry.h"

namespace testsupport {

/** The layout factor at 100 %: the editor's logical width over the plate's, as the controls
 *  compute it. */
inline constexpr float kPlateScale = float(TovraSat::kEditorWidth) / TovraUI::kPlateWidth;

/** The same in double precision: the window's pixels per plate unit at 100 %. */
inline constexpr double kPixelsPerPlateUnit =
    double(TovraSat::kEditorWidth) / double(TovraUI::kPlateWidth);

/** A plate length or coordinate in the window's pixels at 100 %, rounded to the nearest. */
inline int PlatePixels(double units) {
  return int(std::lround(units * TovraSat::kEditorWidth / double(TovraUI::kPlateWidth)));
}

/** A plate point as xdotool's "X Y" in the window's pixels at 100 %. */
inline std::string PlatePoint(double x, double y) {
  return std::to_string(PlatePixels(x)) + " " + std::to_string(PlatePixels(y));
}

}  // namespace testsupport
