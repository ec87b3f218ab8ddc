// PresetNameFuzzer: preset names (typed by the user, restored from a project, or read from the
// command line) through Sanitize, Save, Load, List and Remove in a scratch preset folder.
//
// Properties: nothing is ever created, changed or removed outside the preset folder; a sanitised
// name is empty or safe, and final unless the cut to 32 bytes left a trailing space or dot; a name
// that saves loads back what was saved, is listed, and is gone after Remove.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>

#include "state/FileCalls.h"
#include "state/TovraPresets.h"
#include "tests/fuzz/FuzzCheck.h"

namespace fs = std::filesystem;

namespace {

// Every path below root except those inside the preset folder, with the content of files.
std::set<std::string> Outside(const fs::path& root, const fs::path& presets) {
  std::set<std::string> seen;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (p == presets) {
      it.disable_recursion_pending();
      continue;
    }
    std::string entry = p.string();
    if (it->is_regular_file()) {
      std::ifstream file(p, std::ios::binary);
      entry += "=" + std::string(std::istreambuf_iterator<char>(file), {});
    }
    seen.insert(entry);
  }
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // root/data/TovraSat/Presets is the preset folder; root/data/TovraSat holds a file beside it,
  // and root a file and a folder, so that a name escaping by one or more levels is seen.
  static const fs::path root = [] {
    const fs::path r = fuzz::ScratchFolder("preset-name");
    ::setenv("XDG_DATA_HOME", (r / "data").c_str(), 1);
    fs::create_directories(tovrapresets::Dir());
    // Durability is not what is fuzzed here, and a flush to the disk per input would slow the
    // run a hundredfold.
    tovrapresets::FileCalls::Active().fsync = [](int) { return 0; };
    std::ofstream(r / "data" / "TovraSat" / "beside.tovrapreset") << "gain=1\n";
    std::ofstream(r / "outside.tovrapreset") << "gain=2\n";
    fs::create_directories(r / "folder");
    return r;
  }();
  static const fs::path presets = tovrapresets::Dir();
  static const std::set<std::string> before = Outside(root, presets);

  fuzz::Bytes in(data, size);
  const std::string raw = in.TakeRest();

  const std::string clean = tovrapresets::Sanitize(raw);
  FUZZ_CHECK(clean.empty() || tovrapresets::IsSafeName(clean));
  FUZZ_CHECK(clean.size() <= tovrapresets::kMaxNameBytes);
  FUZZ_CHECK(clean.empty() || (clean.front() != ' ' && clean.front() != '.'));
  // Only the cut to 32 bytes can leave a trailing space or dot; any other name is final.
  if (clean.size() < tovrapresets::kMaxNameBytes)
    FUZZ_CHECK(tovrapresets::Sanitize(clean) == clean);

  for (const std::string& name : {raw, clean}) {
    tovrapresets::Values values;
    values.gain = static_cast<double>(name.size() % 101);
    values.trim = -3.5;
    values.phat = name.size() % 2 == 0;
    // A safe name may still fail to save (longer than a file name may be): that is a result.
    const bool saved = tovrapresets::Save(name, values);
    FUZZ_CHECK(!saved || tovrapresets::IsSafeName(name));
    tovrapresets::Values loaded;
    const bool found = tovrapresets::Load(name, loaded);
    FUZZ_CHECK(found == saved);  // Load finds exactly what Save wrote
    if (saved) {
      FUZZ_CHECK(loaded.gain == values.gain && loaded.trim == values.trim &&
                 loaded.phat == values.phat);
      const std::vector<std::string> names = tovrapresets::List();
      FUZZ_CHECK(std::find(names.begin(), names.end(), name) != names.end());
    }
    FUZZ_CHECK(tovrapresets::Remove(name) == saved);
    FUZZ_CHECK(Outside(root, presets) == before);
  }
  // Whatever a name did inside the folder, nothing of it stays.
  std::error_code ec;
  FUZZ_CHECK(fs::is_empty(presets, ec));
  return 0;
}
