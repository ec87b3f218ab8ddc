// TovraSatLv2Presets: writes the bundle of user presets that LV2 hosts list, from the folder.
#include "core/lv2/presets/TovraSatLv2Presets.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <system_error>

#include "core/lv2/presets/TovraSatLv2Uris.h"
#include "plug/lv2/Lv2Turtle.h"
#include "state/TovraStateChunk.h"

namespace tovrasat {
namespace {

namespace fs = std::filesystem;
namespace statechunk = tovrasat::statechunk;

constexpr const char* kBundleName = "TovraSat-presets.lv2";
constexpr const char* kManifest = "manifest.ttl";
// What the last sync wrote: one line per preset file, "NAME.ttl<TAB>hash of its text". No host
// reads it (it is no .ttl file).
constexpr const char* kRecord = ".written-presets";
// Room left in a file name (at most 255 bytes) for ".ttl" and the temporary name's additions.
constexpr std::size_t kMaxEncodedBytes = 180;

// Letters, digits and '-' stay; every other byte becomes _XX. Nothing is left that a file system,
// a URI or a Turtle IRI would treat specially, and no two names give the same text.
std::string Encode(const std::string& name) {
  std::string out;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '-') {
      out += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "_%02X", static_cast<unsigned>(u));
      out += escaped;
    }
  }
  if (out.size() <= kMaxEncodedBytes) return out;
  // FNV-1a of the whole name keeps cut names apart.
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : name) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  }
  char tail[20];
  std::snprintf(tail, sizeof tail, "-%016llx", static_cast<unsigned long long>(hash));
  out.resize(kMaxEncodedBytes - 17);
  // A cut may split an escape; drop its pieces so the text stays well formed.
  const std::size_t underscore = out.rfind('_');
  if (underscore != std::string::npos && out.size() - underscore < 3) out.resize(underscore);
  return out + tail;
}

bool HasText(const fs::path& path, const std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  const std::string held((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return held == text;
}

// The parameter values of a preset, in index order: Bypass off.
void PresetParams(const tovrapresets::Values& values, double (&params)[statechunk::kNumParams]) {
  const double ordered[statechunk::kNumParams] = {values.gain, values.trim, values.phat ? 1.0 : 0.0,
                                                  0.0};
  std::copy(std::begin(ordered), std::end(ordered), std::begin(params));
}

bool WriteIfChanged(const fs::path& path, const std::string& text) {
  return HasText(path, text) || tovrapresets::WriteFileSafely(path, text);
}

std::string Hash(const std::string& text) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  char hex[20];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

// File name to the hash of the text the last sync wrote into it.
std::map<std::string, std::string> ReadRecord(const fs::path& bundle) {
  std::map<std::string, std::string> written;
  std::ifstream in(bundle / kRecord);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t tab = line.find('\t');
    if (tab != std::string::npos) written[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return written;
}

}  // namespace

fs::path Lv2UserPresetBundle() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return {};
  return fs::path(home) / ".lv2" / kBundleName;
}

std::string Lv2UserPresetUri(const std::string& name) {
  return std::string(kLv2PluginUri) + "#user-preset-" + Encode(name);
}

std::string Lv2KeepEditorSizeUri() {
  return std::string(kLv2PluginUri) + "#keepEditorSize";
}

std::string Lv2UserPresetFile(const std::string& name) {
  return Encode(name) + ".ttl";
}

std::vector<unsigned char> Lv2PresetChunk(const std::string& name,
                                          const tovrapresets::Values& values) {
  double params[statechunk::kNumParams];
  PresetParams(values, params);
  // The editor at 100 %: the name is read only after a valid size.
  return statechunk::Make(params, 1.0f, name);
}

bool SyncLv2UserPresets() {
  const fs::path bundle = Lv2UserPresetBundle();
  return !bundle.empty() && SyncLv2UserPresets(bundle);
}

bool SyncLv2UserPresets(const fs::path& bundle) {
  std::vector<std::pair<std::string, tovrapresets::Values>> presets;
  for (const std::string& name : tovrapresets::List()) {
    tovrapresets::Values values;
    if (name != "Default" && tovrapresets::Load(name, values)) presets.emplace_back(name, values);
  }
  std::error_code ec;
  // A bundle without its manifest is rebuilt whole: a missing file there is no deletion.
  const bool bundleThere = fs::exists(bundle / kManifest, ec);
  if (presets.empty() && !bundleThere) return true;
  const std::map<std::string, std::string> written =
      bundleThere ? ReadRecord(bundle) : std::map<std::string, std::string>{};
  fs::create_directories(bundle, ec);

  bool ok = true;
  std::set<std::string> files;
  std::string record;
  std::string manifest = plug::Lv2Turtle::PresetPrefixes();
  manifest += "<" + Lv2KeepEditorSizeUri() +
              ">\n    a <http://www.w3.org/1999/02/22-rdf-syntax-ns#Property> ;\n"
              "    rdfs:label \"keep the editor's size\" ;\n    rdfs:range xsd:boolean .\n\n";
  for (const auto& [name, values] : presets) {
    plug::Lv2Turtle::Preset preset;
    preset.uri = Lv2UserPresetUri(name);
    preset.pluginUri = kLv2PluginUri;
    preset.alsoAppliesTo = {kLv2HqPluginUri};
    preset.label = name;
    double params[statechunk::kNumParams];
    PresetParams(values, params);
    for (int i = 0; i < statechunk::kNumParams; ++i) {
      preset.ports.emplace_back(plug::Lv2Turtle::Symbol(statechunk::kParamNames[i]), params[i]);
    }
    preset.chunk = Lv2PresetChunk(name, values);
    preset.moreState = {"<" + Lv2KeepEditorSizeUri() + "> true"};
    const std::string file = Lv2UserPresetFile(name);
    const std::string text =
        plug::Lv2Turtle::PresetPrefixes() + plug::Lv2Turtle::PresetStatements(preset);
    const auto wrote = written.find(file);
    std::error_code gone;
    if (wrote != written.end() && wrote->second == Hash(text) &&
        !fs::exists(fs::symlink_status(bundle / file, gone))) {
      // This very preset was written here and a host removed it: the user deleted it there. It
      // is kept where it can be restored from, and not listed again.
      if (!tovrapresets::MoveToDeleted(name)) {
        ok = false;
        record += file + "\t" + wrote->second + "\n";  // tried again at the next sync
      }
      continue;
    }
    if (!WriteIfChanged(bundle / file, text)) {
      ok = false;
      continue;  // not listed: a host must not look for a file that is not there
    }
    files.insert(file);
    record += file + "\t" + Hash(text) + "\n";
    manifest += "<" + preset.uri + ">\n    a pset:Preset ;\n    lv2:appliesTo <" +
                std::string(kLv2PluginUri) + ">, <" + kLv2HqPluginUri + "> ;\n    rdfs:seeAlso <" +
                file + "> .\n\n";
  }
  ok = WriteIfChanged(bundle / kManifest, manifest) && ok;
  ok = WriteIfChanged(bundle / kRecord, record) && ok;

  // What the manifest no longer names goes; only the .ttl files of this bundle are looked at.
  for (fs::directory_iterator it(bundle, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    const std::string file = path.filename().string();
    if (path.extension() != ".ttl" || file == kManifest || files.count(file) != 0) continue;
    if (!it->is_regular_file(ec)) continue;
    if (!fs::remove(path, ec)) ok = false;
  }
  return ok && !ec;
}

}  // namespace tovrasat
