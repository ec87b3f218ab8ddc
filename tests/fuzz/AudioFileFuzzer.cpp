// AudioFileFuzzer: any file handed to the command as IN, through its audio-file reader.
//
// Properties: a file that is not audio, or is damaged, is refused with a text; nothing crashes,
// overflows or leaks.
#include <fstream>

#include "tests/fuzz/FuzzCheck.h"
#include "tools/AudioFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzz::ScratchFolder("audio") + "/input";
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  tools::AudioFile audio;
  std::string error;
  if (!tools::AudioFile::Read(path, audio, error)) FUZZ_CHECK(!error.empty());
  return 0;
}
