// TovraSatLv2Presets: the user presets of the preset folder as LV2 presets that hosts list.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "state/TovraPresets.h"

namespace tovrasat {

// LV2 hosts find user presets in bundles of the user's LV2 folder. TovraSat keeps one there,
// ~/.lv2/TovraSat-presets.lv2, as a copy of the preset folder (which stays the source of truth):
// manifest.ttl and one NAME.ttl per preset, each with the port values (Gain, Output Trim and 48V
// from the file, Bypass off) and the state chunk the plug-in restores, which carries the preset's
// name (with the editor at 100 %, which the flag below makes the plug-in ignore, so loading a
// preset leaves the editor's size alone). The preset "Default" is the factory
// one: a file of that name is left out, as the preset bar leaves it out.
//
// Sync makes the bundle match the folder: it writes each file whose text changed (through a
// temporary file renamed over it), then the manifest, then removes the .ttl files of presets that
// are gone. It remembers what it wrote: a preset whose .ttl it wrote and a host then removed (a
// host's "delete preset") was deleted by the user there, so its file goes to the preset folder's
// deleted presets (tovrapresets::MoveToDeleted), from which it can be restored, and is not
// written again. A bundle without its manifest (removed as a whole) is simply rebuilt. With no user
// presets and no bundle yet, it creates nothing. Names are kept as they are in the label and the
// chunk; in URIs and file names every byte other than an ASCII letter, digit or '-' is written as
// _XX (hex), and a name too long for a file name is cut and completed by a hash of the whole name.
//
// Threads: main (the plug-in's instantiation and its editor, or the command); concurrent syncs
// leave whole files.

// $HOME/.lv2/TovraSat-presets.lv2; empty when HOME is unset or empty.
std::filesystem::path Lv2UserPresetBundle();

// Sync into Lv2UserPresetBundle(); false when there is no HOME or a file could not be written
// or removed (what could be done is done).
bool SyncLv2UserPresets();
bool SyncLv2UserPresets(const std::filesystem::path& bundle);

// The state chunk TovraSat writes after ApplyPreset(name, values) with Bypass off and the editor
// at 100 %.
std::vector<unsigned char> Lv2PresetChunk(const std::string& name,
                                          const tovrapresets::Values& values);

// A flag the user presets carry beside the state chunk: restoring them keeps the editor's size
// (a preset holds sounds, not a window size), while a saved session restores it.
std::string Lv2KeepEditorSizeUri();

// The URI of a user preset and its file name in the bundle.
std::string Lv2UserPresetUri(const std::string& name);
std::string Lv2UserPresetFile(const std::string& name);

}  // namespace tovrasat
