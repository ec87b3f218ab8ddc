// ArdourScript: the pieces of ardour7-lua scripts that the Ardour tests share.
#pragma once

#include <string>

namespace lv2test {

/** Lua that starts Ardour's dummy engine (on device, e.g. "Uniform White Noise", when one is
 *  given) and makes a session `s` in sessionDir with one stereo track `track`. */
inline std::string ArdourSessionStart(const std::string& sessionDir,
                                      const std::string& device = "") {
  std::string script = R"lua(
ARDOUR.config():set_hide_dummy_backend(false)
local backend = AudioEngine:set_backend("None (Dummy)", "", "")
)lua";
  if (!device.empty()) script += "assert(backend:set_device_name(\"" + device + "\") == 0)\n";
  script += R"lua(local s = create_session("@SESSION@", "session", 48000)
assert(s, "no session")
local track = s:new_audio_track(2, 2, nil, 1, "T", ARDOUR.PresentationInfo.max_order,
                                ARDOUR.TrackMode.Normal, true):front()
)lua";
  script.replace(script.find("@SESSION@"), 9, sessionDir);
  return script;
}

/** Lua that puts the plug-in of pluginUri first on `track`: `proc` the processor, `plug` its
 *  plug-in. */
inline std::string ArdourAddPlugin(const std::string& pluginUri) {
  std::string script = R"lua(
local proc = ARDOUR.LuaAPI.new_plugin(s, "@URI@", ARDOUR.PluginType.LV2, "")
assert(not proc:isnil(), "TovraSat not found")
assert(track:add_processor_by_index(proc, 0, nil, true) == 0, "TovraSat not added")
local plug = proc:to_insert():plugin(0)
)lua";
  script.replace(script.find("@URI@"), 5, pluginUri);
  return script;
}

/** A script that makes a session in sessionDir on Ardour's dummy engine with one stereo track,
 *  puts the plug-in of pluginUri first on it (`proc` the processor, `plug` its plug-in), then
 *  runs body. */
inline std::string ArdourSessionScript(const std::string& sessionDir, const std::string& pluginUri,
                                       const std::string& body) {
  return ArdourSessionStart(sessionDir) + ArdourAddPlugin(pluginUri) + body;
}

}  // namespace lv2test
