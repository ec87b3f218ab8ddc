// MakeImages: draws the editor's plate and knob caps, each plain and @2x, into a folder.
//
//   tovrasat_make_images FONT_DIR OUT_DIR
//
// Sizes: the plate's aspect must be exactly 667 : 2000, so its plain image is one pixel per plate
// unit (667 x 2000) and its @2x one two (1334 x 4000); both are larger than the largest window
// (388 x 1165 at 175 %, 776 x 2330 on a screen of scale 2), so the editor only ever scales them
// down. The caps are sized for 175 % as well: 260 plate units there are 151 pixels, so the big cap
// is 160 (@2x 320), and the small one's 118 units are 69 pixels, so it is 72 (@2x 144).
#include <cstdio>
#include <filesystem>
#include <string>

#include "resources/CapArt.h"
#include "resources/PlateArt.h"

namespace {

namespace fs = std::filesystem;
using namespace resources;

bool LoadFonts(Artwork& art, const fs::path& dir) {
  const char* fonts[][2] = {{"Black", "Roboto-Black.ttf"},
                            {"Bold", "Roboto-Bold.ttf"},
                            {"Medium", "Roboto-Medium.ttf"},
                            {"Regular", "Roboto-Regular.ttf"},
                            {"Light", "Roboto-Light.ttf"}};
  for (const auto& [id, file] : fonts) {
    if (!art.LoadFont(id, (dir / file).string())) {
      std::fprintf(stderr, "tovrasat_make_images: cannot read the font %s\n", (dir / file).c_str());
      return false;
    }
  }
  return true;
}

// Written beside the target and renamed, so a failed run leaves no half image behind.
bool Write(const Artwork& art, const fs::path& path) {
  const fs::path part = path.string() + ".part";
  if (!art.WritePNG(part.string())) {
    std::fprintf(stderr, "tovrasat_make_images: cannot write %s\n", part.c_str());
    return false;
  }
  std::error_code ec;
  fs::rename(part, path, ec);
  if (ec) std::fprintf(stderr, "tovrasat_make_images: cannot write %s\n", path.c_str());
  return !ec;
}

bool MakePlate(const fs::path& fonts, const fs::path& out, int density, const char* name) {
  Artwork art(667 * density, 2000 * density, density);
  return LoadFonts(art, fonts) && (DrawPlate(art), true) && Write(art, out / name);
}

bool MakeCap(ECap cap, int pixels, const fs::path& out, const char* name) {
  Artwork art(pixels, pixels, pixels / 100.0);
  DrawCap(art, cap);
  return Write(art, out / name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tovrasat_make_images FONT_DIR OUT_DIR\n");
    return 2;
  }
  const fs::path fonts = argv[1], out = argv[2];
  std::error_code ec;
  fs::create_directories(out, ec);
  const bool ok = MakePlate(fonts, out, 1, "tovra_plate.png") &&
                  MakePlate(fonts, out, 2, "tovra_plate@2x.png") &&
                  MakeCap(ECap::kBig, 160, out, "cap_big.png") &&
                  MakeCap(ECap::kBig, 320, out, "cap_big@2x.png") &&
                  MakeCap(ECap::kSmall, 72, out, "cap_small.png") &&
                  MakeCap(ECap::kSmall, 144, out, "cap_small@2x.png");
  return ok ? 0 : 1;
}
