// StateChunkFuzzer: a host project's state chunk through TovraSat::UnserializeState.
//
// Properties: restoring never reads past the chunk, the parameters stay in their ranges, the zoom
// is one of the four, and whatever was restored serialises to a chunk that restores to itself.
#include <cmath>

#include "core/TovraSat.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

bool ChunksEqual(const plug::IByteChunk& a, const plug::IByteChunk& b) {
  return a.IsEqual(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TovraSat* plugin = new TovraSat(plug::InstanceInfo{});

  plug::IByteChunk chunk;
  chunk.PutBytes(data, static_cast<int>(size));
  const int end = plugin->UnserializeState(chunk, 0);
  FUZZ_CHECK(end == -1 || end == 32 || end >= 36);

  for (int i = 0; i < TovraSat::kNumParams; ++i) {
    const plug::IParam* param = plugin->GetParam(i);
    const double v = param->Value();
    FUZZ_CHECK(v >= param->GetMin() && v <= param->GetMax());
  }
  const float s = plugin->mEditorScale;
  FUZZ_CHECK(s == 1.0f || s == 1.25f || s == 1.5f || s == 1.75f);

  plug::IByteChunk saved;
  FUZZ_CHECK(plugin->SerializeState(saved));
  FUZZ_CHECK(plugin->UnserializeState(saved, 0) == saved.Size());
  plug::IByteChunk again;
  FUZZ_CHECK(plugin->SerializeState(again));
  FUZZ_CHECK(ChunksEqual(saved, again));
  return 0;
}
