// TovraStateChunk: the layout of TovraSat's state chunk, written and read here and nowhere else.
#pragma once

#include <string>
#include <vector>

#include "state/IByteChunk.h"

// The chunk a host keeps in its session and the presets carry:
//
//   offset  0  double x 4  Gain, Output Trim, 48V, Bypass (real values, index order)
//   offset 32  float       the editor's zoom factor: 1.0, 1.25, 1.5 or 1.75
//   offset 36  int32       L, the byte length of the preset name
//   offset 40  L bytes     the preset name, no terminator
//
// The parameter block is the framework's (one double per parameter, in index order); the plug-in
// writes it with SerializeParams and appends the editor's part with PutEditorState. The chunk has
// no version and no magic number: a zoom factor that is not one of the four ends the reading.
// Nothing here knows the plug-in object, so the command can write presets without one.
// Threads: any; a chunk belongs to one thread at a time.
namespace tovrasat::statechunk {

// The parameters in index order, by name; the LV2 port symbols are made from these names.
inline constexpr int kNumParams = 4;
inline constexpr const char* kParamNames[kNumParams] = {"Gain", "Output Trim", "48V", "Bypass"};
// The zoom factor follows one double per parameter.
inline constexpr int kScaleOffset = kNumParams * static_cast<int>(sizeof(double));

// True for the four zoom factors of the editor (NaN is none of them).
bool IsEditorScale(float scale);

// Appends the zoom factor and the preset name. False when the chunk cannot take them.
bool PutEditorState(plug::IByteChunk& chunk, float scale, const std::string& presetName);

// What follows the parameter block.
struct EditorState {
  float scale = 1.0f;
  bool hasName = false;  // a name is read only after a valid zoom factor
  std::string presetName;
};

// Reads the editor's part at position (just after the parameter block). Returns position, with
// state untouched, when the zoom factor is missing or not one of the four; the position after the
// factor when the name cannot be read; else the position after the name.
int GetEditorState(const plug::IByteChunk& chunk, int position, EditorState& state);

// A whole chunk from the parameter values.
std::vector<unsigned char> Make(const double (&params)[kNumParams], float scale,
                                const std::string& presetName);

// Writes scale over the zoom factor of a whole chunk. False, and the chunk unchanged, when the
// chunk is too short to hold one.
bool ReplaceEditorScale(std::vector<unsigned char>& chunk, float scale);

}  // namespace tovrasat::statechunk
