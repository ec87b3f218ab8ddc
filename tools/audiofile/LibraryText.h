// LibraryText.h: libsndfile's and the C library's failure texts, said the way the command speaks.
#pragma once

#include <sndfile.h>

#include <string>

namespace tools {

// The failure of file (null: of the last sf_open), without libsndfile's "System error :" and
// "Error :" prefixes, its closing full stop or its capital (so it reads inside a sentence), and
// with its internal names put as a user knows them. systemError, when not 0, is the errno the
// failure left: a write refused by the system is said as the system says it, whatever libsndfile's
// codec made of it. Empty texts and libsndfile's "no error defined" become "unknown error".
std::string LibraryText(SNDFILE* file, int systemError = 0);

// The C library's text for errno value, in the same style ("no space left on device").
std::string SystemText(int errnoValue);

}  // namespace tools
