// ArdourScript: the start of an ardour7-lua script that the Ardour tests share.
#pragma once

#include <string>

namespace lv2test {

/** A script that makes a session in sessionDir on Ardour's dummy engine with one stereo track,
 *  puts the plug-in of pluginUri first on it (`proc` the processor, `plug` its plug-in), then
 *  runs body. */
inline std::string ArdourSessionScript(const std::string& sessionDir, const std::string& pluginUri,
                                       const std::string& body) {
  std::string script = R"lua(
ARDOUR.config():set_hide_dummy_backend(false)
AudioEngine:set_backend("None (Dummy)", "", "")
local s = create_session("@SESSION@", "session", 48000)
assert(s, "no session")
local track = s:new_audio_track(2, 2, nil, 1, "T", ARDOUR.PresentationInfo.max_order,
                                ARDOUR.TrackMode.Normal, true):front()
local proc = ARDOUR.LuaAPI.new_plugin(s, "@URI@", ARDOUR.PluginType.LV2, "")
assert(not proc:isnil(), "TovraSat not found")
assert(track:add_processor_by_index(proc, 0, nil, true) == 0, "TovraSat not added")
local plug = proc:to_insert():plugin(0)
)lua";
  script.replace(script.find("@SESSION@"), 9, sessionDir);
  script.replace(script.find("@URI@"), 5, pluginUri);
  return script + body;
}

}  // namespace lv2test
