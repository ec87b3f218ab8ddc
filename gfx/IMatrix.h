// IMatrix: a 2 x 3 affine transform, x' = xx*x + xy*y + tx, y' = yx*x + yy*y + ty.
#pragma once

#include <cmath>
#include <numbers>

namespace plug::gfx {

class IMatrix {
 public:
  double mXX = 1.0, mYX = 0.0, mXY = 0.0, mYY = 1.0, mTX = 0.0, mTY = 0.0;

  constexpr IMatrix() = default;
  constexpr IMatrix(double xx, double yx, double xy, double yy, double tx, double ty)
      : mXX(xx), mYX(yx), mXY(xy), mYY(yy), mTX(tx), mTY(ty) {}

  /** this applied after other: p -> this(other(p)). */
  constexpr IMatrix Multiplied(const IMatrix& o) const {
    return IMatrix(mXX * o.mXX + mXY * o.mYX, mYX * o.mXX + mYY * o.mYX, mXX * o.mXY + mXY * o.mYY,
                   mYX * o.mXY + mYY * o.mYY, mXX * o.mTX + mXY * o.mTY + mTX,
                   mYX * o.mTX + mYY * o.mTY + mTY);
  }
  /** A translation applied before this one (the new origin is at (x, y)). */
  constexpr IMatrix& Translate(double x, double y) {
    *this = Multiplied(IMatrix(1, 0, 0, 1, x, y));
    return *this;
  }
  constexpr IMatrix& Scale(double x, double y) {
    *this = Multiplied(IMatrix(x, 0, 0, y, 0, 0));
    return *this;
  }
  /** Degrees, clockwise on screen (y grows downwards) for positive angles. */
  IMatrix& Rotate(double degrees) {
    const double rad = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(rad), s = std::sin(rad);
    *this = Multiplied(IMatrix(c, s, -s, c, 0, 0));
    return *this;
  }
  constexpr double Determinant() const { return mXX * mYY - mXY * mYX; }
  constexpr void TransformPoint(double& x, double& y) const {
    const double nx = mXX * x + mXY * y + mTX;
    y = mYX * x + mYY * y + mTY;
    x = nx;
  }
  constexpr bool operator==(const IMatrix&) const = default;
};

}  // namespace plug::gfx
