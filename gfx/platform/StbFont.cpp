// StbFont: reading a TrueType file and preparing its tables.
#include "gfx/platform/StbFont.h"

#include <stb_truetype.h>

#include <cstdio>

namespace plug::gfx {

StbFont::StbFont() = default;
StbFont::~StbFont() = default;

std::shared_ptr<const StbFont> StbFont::Load(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return nullptr;
  auto font = std::make_shared<StbFont>();
  unsigned char buf[65536];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
    font->mData.insert(font->mData.end(), buf, buf + n);
  std::fclose(f);
  if (font->mData.size() < 12) return nullptr;

  const int offset = stbtt_GetFontOffsetForIndex(font->mData.data(), 0);
  if (offset < 0) return nullptr;
  font->mInfo = std::make_unique<stbtt_fontinfo>();
  if (!stbtt_InitFont(font->mInfo.get(), font->mData.data(), offset)) return nullptr;
  return font;
}

}  // namespace plug::gfx
