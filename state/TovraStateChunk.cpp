// TovraStateChunk: the editor's part of the state chunk, whole chunks for presets, the size patch.
#include "state/TovraStateChunk.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace tovrasat::statechunk {
namespace {

constexpr float kEditorScales[] = {1.0f, 1.25f, 1.5f, 1.75f};

}  // namespace

bool IsEditorScale(float scale) {
  return std::find(std::begin(kEditorScales), std::end(kEditorScales), scale) !=
         std::end(kEditorScales);
}

bool PutEditorState(plug::IByteChunk& chunk, float scale, const std::string& presetName) {
  const bool scalePut = chunk.Put(scale) > 0;
  return chunk.PutStr(presetName.c_str()) > 0 && scalePut;
}

int GetEditorState(const plug::IByteChunk& chunk, int position, EditorState& state) {
  if (position < 0 || static_cast<long long>(position) + 4 > chunk.Size()) return position;
  float scale = 0.0f;
  if (chunk.Get(&scale, position) < 0 || !IsEditorScale(scale)) return position;
  state.scale = scale;
  state.hasName = false;
  const int afterScale = position + 4;
  std::string name;
  const int end = chunk.GetStr(name, afterScale);
  if (end <= afterScale) return afterScale;
  state.hasName = true;
  state.presetName = name;
  return end;
}

std::vector<unsigned char> Make(const double (&params)[kNumParams], float scale,
                                const std::string& presetName) {
  plug::IByteChunk chunk;
  for (const double value : params) chunk.Put(value);
  PutEditorState(chunk, scale, presetName);
  return {chunk.GetData(), chunk.GetData() + chunk.Size()};
}

bool ReplaceEditorScale(std::vector<unsigned char>& chunk, float scale) {
  if (chunk.size() < kScaleOffset + sizeof(float)) return false;
  std::memcpy(chunk.data() + kScaleOffset, &scale, sizeof(float));
  return true;
}

}  // namespace tovrasat::statechunk
