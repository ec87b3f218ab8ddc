// APIFont: a loaded font as the drawing backend holds it, shared through the font cache.
#pragma once

namespace plug::gfx {

class APIFont {
 public:
  APIFont() = default;
  virtual ~APIFont() = default;
  APIFont(const APIFont&) = delete;
  APIFont& operator=(const APIFont&) = delete;
};

}  // namespace plug::gfx
