// LibraryText.cpp: libsndfile's and the C library's failure texts reworded.
#include "tools/audiofile/LibraryText.h"

#include <cctype>
#include <cstring>

namespace tools {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The text inside a sentence: no trailing full stop or space, and a lower-case first word unless
// it is an acronym ("FLAC", "WAV").
std::string InSentence(std::string text) {
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  const bool acronym = text.size() > 1 && std::isupper(static_cast<unsigned char>(text[1]));
  if (!text.empty() && !acronym)
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text.empty() ? "unknown error" : text;
}

}  // namespace

std::string SystemText(int errnoValue) {
  return InSentence(std::strerror(errnoValue));
}

std::string LibraryText(SNDFILE* file, int systemError) {
  if (systemError != 0) return SystemText(systemError);
  std::string text = sf_strerror(file);
  for (const char* prefix : {"System error : ", "Error : "})
    if (StartsWith(text, prefix)) text.erase(0, std::strlen(prefix));
  if (text.find("No error defined") != std::string::npos ||
      text.find("Not a valid error number") != std::string::npos)
    return "unknown error";
  // libsndfile's FLAC writer reports its encoder's failures as the decoder's.
  for (size_t at = text.find("flac decoder"); at != std::string::npos;
       at = text.find("flac decoder", at))
    text.replace(at, 12, "FLAC encoder");
  return InSentence(text);
}

}  // namespace tools
