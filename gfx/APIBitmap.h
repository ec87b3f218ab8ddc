// APIBitmap: a decoded image as the drawing backend holds it; IBitmap refers to one.
#pragma once

namespace plug::gfx {

/** Owned by the process-wide bitmap cache and by every IBitmap that refers to it;
 *  the backend subclasses it with its own pixel storage. */
class APIBitmap {
 public:
  APIBitmap(int width, int height, int scale) : mWidth(width), mHeight(height), mScale(scale) {}
  virtual ~APIBitmap() = default;
  APIBitmap(const APIBitmap&) = delete;
  APIBitmap& operator=(const APIBitmap&) = delete;

  int Width() const { return mWidth; }    // pixels
  int Height() const { return mHeight; }  // pixels
  int Scale() const { return mScale; }    // the @Nx variant it was decoded from

 private:
  int mWidth, mHeight, mScale;
};

}  // namespace plug::gfx
