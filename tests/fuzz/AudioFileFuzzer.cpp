// AudioFileFuzzer: any file handed to the command as IN, through its streaming audio reader.
//
// Properties: a file that is not audio, or is damaged, is refused with a text; a file that opens
// reads block by block to its end without crashing, overflowing or leaking, and never hands back
// more frames than were asked for.
#include <cmath>
#include <fstream>
#include <vector>

#include "tests/fuzz/FuzzCheck.h"
#include "tools/audiofile/AudioReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzz::ScratchFolder("audio") + "/input";
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  tools::AudioReader reader;
  std::string error;
  if (!reader.Open(path, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(reader.NChannels() > 0 && reader.SampleRate() > 0);
  constexpr std::size_t kBlock = 256;
  std::vector<std::vector<float>> buffers(static_cast<std::size_t>(reader.NChannels()),
                                          std::vector<float>(kBlock));
  std::vector<float*> channels;
  for (auto& b : buffers) channels.push_back(b.data());
  // A damaged file may claim any length: stop after a bounded amount, as a fuzz run must.
  for (int blocks = 0; blocks < 4096; ++blocks) {
    std::size_t got = 0;
    if (!reader.Read(channels.data(), kBlock, got, error)) {
      FUZZ_CHECK(!error.empty());
      break;
    }
    FUZZ_CHECK(got <= kBlock);
    if (got < kBlock) break;
  }
  return 0;
}
