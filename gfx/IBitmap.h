// IBitmap: a shared reference to a loaded image; copies share the pixels.
#pragma once

#include <memory>
#include <string>

#include "gfx/APIBitmap.h"

namespace plug::gfx {

/** An IBitmap without an APIBitmap is the result of a failed load: its size is
 *  zero and drawing it draws nothing. */
class IBitmap {
 public:
  IBitmap() = default;
  IBitmap(std::shared_ptr<const APIBitmap> bitmap, int nFrames, bool framesAreHorizontal,
          const std::string& name)
      : mBitmap(std::move(bitmap)),
        mNFrames(nFrames < 1 ? 1 : nFrames),
        mFramesAreHorizontal(framesAreHorizontal),
        mName(name) {}

  bool IsValid() const { return mBitmap != nullptr; }
  /** Logical pixels: the decoded size divided by the scale it was found at. */
  float W() const { return mBitmap ? float(mBitmap->Width()) / float(mBitmap->Scale()) : 0.f; }
  float H() const { return mBitmap ? float(mBitmap->Height()) / float(mBitmap->Scale()) : 0.f; }
  int N() const { return mNFrames; }
  bool GetFramesAreHorizontal() const { return mFramesAreHorizontal; }
  int GetScale() const { return mBitmap ? mBitmap->Scale() : 0; }
  const std::string& GetResourceName() const { return mName; }
  const APIBitmap* GetAPIBitmap() const { return mBitmap.get(); }

 private:
  std::shared_ptr<const APIBitmap> mBitmap;
  int mNFrames = 1;
  bool mFramesAreHorizontal = false;
  std::string mName;
};

}  // namespace plug::gfx
