// TovraSatLv2Turtle: writes the Turtle of TovraSat.lv2 from a live TovraSat, at build time.
#include <cstdio>
#include <fstream>
#include <string>

#include "core/TovraSat.h"
#include "core/TovraSatHQ.h"
#include "core/lv2/TovraSatLv2.h"

namespace {

bool Write(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) std::fprintf(stderr, "tovrasat_lv2_turtle: cannot write %s\n", path.c_str());
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tovrasat_lv2_turtle BUNDLE_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  plug::InstanceInfo info;
  info.mCocoaViewFactoryClassName = TovraSat::ViewFactoryClassName();
  TovraSat plug(info);
  plug.PruneUninitializedPresets();
  TovraSatHQ hq(info);
  hq.PruneUninitializedPresets();
  const plug::Lv2Turtle::Names names = tovrasat::Lv2Names();
  const plug::Lv2Turtle::Names hqNames = tovrasat::Lv2Names(true);
  const bool ok = Write(dir + "/manifest.ttl", plug::Lv2Turtle::Manifest(names) + "\n" +
                                                   plug::Lv2Turtle::Manifest(hqNames)) &&
                  Write(dir + "/" + plug::Lv2Turtle::PluginFileName(names),
                        plug::Lv2Turtle::Plugin(names, plug)) &&
                  Write(dir + "/" + names.presetsFile, plug::Lv2Turtle::Presets(names, plug)) &&
                  Write(dir + "/" + plug::Lv2Turtle::PluginFileName(hqNames),
                        plug::Lv2Turtle::Plugin(hqNames, hq)) &&
                  Write(dir + "/" + hqNames.presetsFile, plug::Lv2Turtle::Presets(hqNames, hq));
  return ok ? 0 : 1;
}
