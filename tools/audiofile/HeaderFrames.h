// HeaderFrames.h: the length an audio file's header promises, read from the header itself.
#pragma once

#include <string>

namespace tools {

// libsndfile trims the length of a WAV, Wave64, RF64, AIFF or AU file whose data stops short to the
// frames that are there, so a truncated file reads as a shorter whole one. This reads what the
// header said instead: the data chunk's size (WAV, Wave64, RF64's ds64, AU) over the bytes of a
// frame, or AIFF's frame count. -1 when unknown: another container, a size that means "until the
// end" (what a writer to a pipe leaves), a compressed encoding, or an unreadable header.
long long HeaderFrames(const std::string& path);

}  // namespace tools
