// The plug-in's configuration record, handed to the framework constructors.
#pragma once

#include <cstdint>
#include <string>

namespace plug {

// Filled by the plug-in's constructor; the framework copies what it needs and keeps no reference.
struct Config {
  int nParams = 0;
  int nPresets = 0;
  // Blank-separated configurations "in-out", each side "."-separated bus channel counts
  // ("1-1 2-2": mono to mono or stereo to stereo; "*" is any channel count).
  std::string channelIOStr;
  std::string pluginName;   // at most 128 characters are kept
  std::string productName;  // at most 128 characters are kept
  std::string mfrName;      // at most 128 characters are kept
  // major << 16 | minor << 8 | patch
  int vendorVersion = 0x10000;
  std::uint32_t uniqueID = 0;  // four-character code of the plug-in (component subtype)
  std::uint32_t mfrID = 0;     // four-character code of the maker
  int latency = 0;             // samples
  bool plugDoesMidiIn = false;
  bool plugDoesMidiOut = false;
  bool plugDoesMPE = false;
  bool plugDoesChunks = false;
  // 0 effect, 1 instrument, 2 MIDI effect, 3 generator
  int plugType = 0;
  bool plugHasUI = false;
  int plugWidth = 0;
  int plugHeight = 0;
  int plugMinWidth = 0;
  int plugMaxWidth = 0;
  int plugMinHeight = 0;
  int plugMaxHeight = 0;
  bool plugHostResize = false;
  std::string bundleID;    // reverse-DNS identifier of the plug-in bundle
  std::string appGroupID;  // reverse-DNS identifier of the maker's shared app group
};

}  // namespace plug
