// PresetFileFuzzer: a hand-edited (or damaged) preset file through tovrapresets::Load.
//
// Properties: Load reads any bytes as a preset, with Gain and Output Trim in range (never NaN),
// and what it read saves and loads back the same to the two decimals a preset file keeps.
#include <cmath>
#include <fstream>

#include "state/FileCalls.h"
#include "state/TovraPresets.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = [] {
    const std::string root = fuzz::ScratchFolder("preset-file");
    ::setenv("XDG_DATA_HOME", root.c_str(), 1);
    std::filesystem::create_directories(tovrapresets::Dir());
    // Durability is not what is fuzzed here, and a flush to the disk per input would slow the
    // run a hundredfold.
    tovrapresets::FileCalls::Active().fsync = [](int) { return 0; };
    return root;
  }();

  {
    std::ofstream file(tovrapresets::PathFor("input"), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(file.good());
  }
  tovrapresets::Values values;
  values.gain = -1.0;  // no file loads as this: it shows whether Load wrote the values
  FUZZ_CHECK(tovrapresets::Load("input", values));
  FUZZ_CHECK(values.gain >= 0.0 && values.gain <= 100.0);
  FUZZ_CHECK(values.trim >= -24.0 && values.trim <= 12.0);

  FUZZ_CHECK(tovrapresets::Save("copy", values));
  tovrapresets::Values copy;
  FUZZ_CHECK(tovrapresets::Load("copy", copy));
  FUZZ_CHECK(std::fabs(copy.gain - values.gain) <= 0.0051);
  FUZZ_CHECK(std::fabs(copy.trim - values.trim) <= 0.0051);
  FUZZ_CHECK(copy.phat == values.phat);
  return 0;
}
