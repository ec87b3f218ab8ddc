// TovraPresets.h: user preset files: one small text file per preset in a per-user folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A preset file holds exactly three lines, each ended by a line feed:
//
//   gain=24.00     Gain, percent, two decimals
//   trim=0.00      Output Trim, dB, two decimals
//   phat=1         48V switch, 1 on, 0 off
//
// Numbers are always written with a full stop, whatever the process's locale, and read back
// accepting a full stop or a comma, so a preset written under one locale reads the same under any
// other. Load accepts more than Save writes: any lines "key=value" (see Load).
//
// A preset's name is its file name without the extension. There is no index and no cache: every
// listing reads the folder afresh. Nothing is logged; failures are false results or empty lists.
//
// Threads: the caller's (the editor's main thread in the plug-in); the file operations block for
// their duration and take no lock. Concurrent Saves of one name leave one complete file.
namespace tovrapresets {

// The content of one preset. The defaults equal the parameters' defaults and are the content of
// the built-in preset "Default", which is never a file.
struct Values {
  double gain = 24.0;  // kGain, 0 to 100
  double trim = 0.0;   // kOutputTrim, dB, -24 to 12
  bool phat = true;    // k48V
};

inline constexpr const char* kExtension = ".tovrapreset";
inline constexpr std::size_t kMaxNameBytes = 32;

// The preset folder; only builds the path, never touches the file system.
//   macOS: $HOME/Library/Application Support/TovraSat/Presets
//   other: $XDG_DATA_HOME/TovraSat/Presets when that is an absolute path, else
//          $HOME/.local/share/TovraSat/Presets
// Without HOME (unset or empty) the chain starts at ".", relative to the current directory.
std::filesystem::path Dir();
// The same folder for the given values of HOME and XDG_DATA_HOME (empty: unset).
std::filesystem::path DirFor(const std::string& home, const std::string& xdgDataHome);

// Dir() joined with name + ".tovrapreset". The name is used unchanged: cleaning is the caller's
// business (Sanitize), and a name that IsSafeName refuses is refused by Save, Load and Remove.
std::filesystem::path PathFor(const std::string& name);

// False for a name that would leave the folder or name it: empty, ".", "..", or holding a slash,
// a backslash or a NUL byte. A name restored from a saved project can hold anything.
bool IsSafeName(const std::string& name);

// Keeps ASCII letters, digits, space, '+', '-', '.', '_' (every other byte is dropped, including
// each byte of a multi-byte UTF-8 character), strips leading and trailing spaces and dots, then
// cuts to 32 bytes (so a cut name may end in a space or a dot). May return "".
std::string Sanitize(const std::string& raw);

// Writes the preset: creates the folder chain as needed, writes the three lines to a new file in
// the same folder, flushes it to the disk and renames it over PathFor(name), so a crash or a full
// disk never leaves a truncated preset behind and a failed save keeps the old file. An existing
// preset is replaced without warning. False for an unsafe name or any failure.
bool Save(const std::string& name, const Values& values);

// Writes text to path the way Save writes a preset: into a new file beside it, flushed to the
// disk, then renamed over path, so path holds either its old content or all of text. False on
// any failure, with nothing left behind.
bool WriteFileSafely(const std::filesystem::path& path, const std::string& text);

// Reads PathFor(name). False, with values untouched, when the name is unsafe or the file cannot
// be opened or read, or is no regular file (a FIFO or a device is refused at once, never waited
// on). Otherwise starts from the defaults, splits the text at line feeds (the last
// line may lack one) and, for each line with an '=', takes the text before the first '=' as the
// key and the rest as the value, neither trimmed. Keys "gain", "trim" (numbers: leading white
// space skipped, the longest numeric prefix read, 0 when there is none; '.' or ',' as decimal
// separator) and "phat" (an integer prefix, on when not 0) are taken, last occurrence wins,
// anything else is skipped. Gain is then clamped to [0, 100] and trim to [-24, 12], a NaN becoming
// the lower bound. A file that holds nothing usable loads as the defaults and returns true.
bool Load(const std::string& name, Values& values);

// Deletes the preset file. False when the name is unsafe or there is no such file to remove.
bool Remove(const std::string& name);

// The names of the regular files (symbolic links count by their target) in Dir() whose extension
// is exactly ".tovrapreset", sorted by byte with ASCII letters compared without case and bytes of
// 128 and above before all ASCII (they compare as negative values); names equal in that order
// come out in byte order. Empty when the folder is missing or unreadable.
std::vector<std::string> List();

// Presets that a host deleted from its own list wait in a folder of Dir() from which they can be
// restored; List does not show them.
inline constexpr const char* kDeletedFolder = "Deleted";
std::filesystem::path DeletedDir();

// The names of the presets in DeletedDir(), sorted as List sorts.
std::vector<std::string> ListDeleted();

// Moves the preset file into DeletedDir(), replacing an older deleted preset of that name. False
// when the name is unsafe, there is no such preset or it could not be moved (it then stays).
bool MoveToDeleted(const std::string& name);

// Moves a deleted preset back into Dir(). False when the name is unsafe, no deleted preset has
// that name, or a preset of that name exists (it is never replaced).
bool Restore(const std::string& name);

// The ordering List sorts by: true when a comes before b (a strict weak order).
bool NameLess(const std::string& a, const std::string& b);

// The numeric value of the longest number at the start of text, after leading white space, in the
// grammar of the C library's strtod in the "C" locale, with a comma accepted in place of the
// decimal point; 0 when there is none. Locale-independent.
double ParseNumber(const std::string& text);

}  // namespace tovrapresets
