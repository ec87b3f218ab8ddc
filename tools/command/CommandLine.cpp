// CommandLine.cpp: what the tovrasat commands share: the option checks, the plug-in's options,
// messages, figures and the version text.
#include "tools/command/Commands.h"

#include "host/ComponentEntry.h"
#include "tools/command/Printable.h"
#include "tools/meters/SignalStats.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tools {

CLI::Validator InRange(double lo, double hi, const std::string& unit) {
  const std::string range = "between " + CLI::detail::to_string(lo) + " and " +
                            CLI::detail::to_string(hi) + (unit.empty() ? "" : " " + unit);
  return CLI::Validator(
      [lo, hi, range](std::string& text) -> std::string {
        double value = 0.0;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, value);
        if (ec != std::errc() || ptr != end) return "'" + text + "' is not a number " + range;
        if (!(value >= lo && value <= hi)) return "must be " + range + " (got " + text + ")";
        return {};
      },
      range);
}

CLI::Validator OnOff() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        return text == "on" || text == "off" ? std::string()
                                             : "must be on or off (got '" + text + "')";
      },
      "on|off");
}

void AddPresetOptions(CLI::App& command, PresetOptions& options) {
  command.add_option("--gain", options.gain, "Gain, percent (0 to 100)")
      ->check(InRange(0.0, 100.0, "%"));
  command.add_option("--trim", options.trimDb, "Output Trim, dB (-24 to 12)")
      ->check(InRange(-24.0, 12.0, "dB"));
  command.add_option("--48v", options.phantom, "the 48V switch: on or off")->check(OnOff());
}

void AddBypassOption(CLI::App& command, std::optional<std::string>& bypass) {
  command.add_option("--bypass", bypass, "Bypass: on or off")->check(OnOff());
}

void PresetOptions::ApplyTo(RenderSettings& settings) const {
  if (gain) settings.gain = *gain;
  if (trimDb) settings.trimDb = *trimDb;
  if (phantom) settings.phantom = *phantom == "on";
}

void AddScaleOption(CLI::App& command, double& scale, const std::string& description) {
  const CLI::Validator editorScale(
      [](std::string& text) -> std::string {
        double value = 0.0;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, value);
        const bool known = ec == std::errc() && ptr == end &&
                           (value == 1.0 || value == 1.25 || value == 1.5 || value == 1.75);
        return known ? std::string() : "must be 1, 1.25, 1.5 or 1.75 (got " + text + ")";
      },
      "1|1.25|1.5|1.75");
  command.add_option("--scale", scale, description)->check(editorScale);
}

namespace {

// The command a usage error's help hint names ("render", "presets save"; empty: the program).
std::string& UsageCommand() {
  static std::string command;
  return command;
}

}  // namespace

void SetUsageCommand(const std::string& command) {
  UsageCommand() = command;
}

std::string HelpHint() {
  return "(see tovrasat " + (UsageCommand().empty() ? "" : UsageCommand() + " ") + "--help)";
}

int Fail(int code, const std::string& text) {
  // Every usage error points at the help that shows the right usage.
  const bool hint = code == kExitUsage && text.find("(see tovrasat ") == std::string::npos;
  std::fprintf(stderr, "tovrasat: %s\n", Printable(hint ? text + " " + HelpHint() : text).c_str());
  return code;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  // Optimal string alignment: insertions, deletions, substitutions and swaps of neighbours.
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i)
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

std::string Closest(const std::string& typed, const std::vector<std::string>& known) {
  // A name closer than a third of its letters is a slip of the keys, not another word.
  std::string best;
  size_t bestDistance = 0;
  for (const std::string& name : known) {
    const size_t distance = EditDistance(typed, name);
    if (distance == 0 || 3 * distance > std::max<size_t>(name.size(), 3)) continue;
    if (best.empty() || distance < bestDistance) {
      best = name;
      bestDistance = distance;
    }
  }
  return best;
}

void Warn(const std::string& text) {
  std::fprintf(stderr, "tovrasat: warning: %s\n", Printable(text).c_str());
}

std::string Fixed(double value, int decimals) {
  if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0.0;  // no "-0.00"
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Db(double linear) {
  if (!(linear > 0.0)) return "-inf";
  return Fixed(SignalStats::Db(linear), 2);
}

std::string Lufs(double lufs) {
  return std::isfinite(lufs) ? Fixed(lufs, 2) : "-inf";
}

std::unique_ptr<PluginHost> OpenPlugin(const std::string& component, std::string& error, bool hq) {
  const std::string path = PluginHost::LocateBundle(component);
  auto bundle = PluginHost::LoadBundle(path, error);
  if (!bundle) return nullptr;
  return PluginHost::Open(std::move(bundle), error, hq);
}

std::string VersionText(const std::string& component) {
#if defined(__clang__)
  const std::string compiler = std::string("clang ") + __clang_version__;
#elif defined(__GNUC__)
  const std::string compiler = std::string("g++ ") + __VERSION__;
#else
  const std::string compiler = "an unknown compiler";
#endif
  std::string text = std::string("tovrasat ") + TOVRASAT_VERSION + " (" + TOVRASAT_BUILD_KIND +
                     " build, " + compiler + ", " + sf_version_string() + ", " + soxr_version() +
                     ")\n";
  std::string error;
  const auto plugin = OpenPlugin(component, error);
  if (!plugin) return text + "plug-in: n/a (" + error + ")";
  const host::ComponentEntry& entry = plugin->Unit().Entry();
  char version[32];
  std::snprintf(version, sizeof version, "%u.%u.%u", entry.version >> 16,
                (entry.version >> 8) & 0xFF, entry.version & 0xFF);
  return text + "plug-in " + entry.name + " " + version + " from " +
         PluginHost::LocateBundle(component);
}

}  // namespace tools
