// IStrokeOptions: joins, caps, miter limit, dashes and whether the path survives the stroke.
#pragma once

#include <array>
#include <initializer_list>

namespace plug::gfx {

enum class ELineCap { Butt, Round, Square };
enum class ELineJoin { Miter, Round, Bevel };

struct IStrokeOptions {
  class DashOptions {
   public:
    static constexpr int kMaxDashes = 8;

    /** Lengths beyond the eighth are dropped. */
    void SetDash(std::initializer_list<float> lengths, float offset) {
      mCount = 0;
      for (float l : lengths) {
        if (mCount == kMaxDashes) break;
        mArray[static_cast<std::size_t>(mCount++)] = l;
      }
      mOffset = offset;
    }
    int GetCount() const { return mCount; }
    float GetOffset() const { return mOffset; }
    const float* GetArray() const { return mArray.data(); }

   private:
    std::array<float, kMaxDashes> mArray{};
    float mOffset = 0.f;
    int mCount = 0;
  };

  float mMiterLimit = 10.f;
  bool mPreserve = false;
  ELineCap mCapOption = ELineCap::Butt;
  ELineJoin mJoinOption = ELineJoin::Miter;
  DashOptions mDash;
};

}  // namespace plug::gfx
