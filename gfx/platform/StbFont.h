// StbFont: a TrueType font file in memory with its outline and metric tables.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gfx/APIFont.h"

struct stbtt_fontinfo;

namespace plug::gfx {

/** The font file stays in memory because the outline reader works on it in place. */
class StbFont final : public APIFont {
 public:
  /** Null when the file cannot be read or is not a font. */
  static std::shared_ptr<const StbFont> Load(const std::string& path);

  StbFont();
  ~StbFont() override;

  /** The outline reader's record of the font's tables. */
  const stbtt_fontinfo* Info() const { return mInfo.get(); }

 private:
  std::vector<unsigned char> mData;
  std::unique_ptr<stbtt_fontinfo> mInfo;
};

}  // namespace plug::gfx
