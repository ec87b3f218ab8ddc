// ArdourScript: the pieces of ardour7-lua scripts that the Ardour tests share.
#pragma once

#include <string>

namespace lv2test {

/** Lua that starts Ardour's dummy engine (on device, e.g. "Uniform White Noise", when one is
 *  given) and makes a session `s` in sessionDir at rate with one stereo track `track`. */
inline std::string ArdourSessionStart(const std::string& sessionDir, const std::string& device = "",
                                      int rate = 48000) {
  std::string script = R"lua(
ARDOUR.config():set_hide_dummy_backend(false)
local backend = AudioEngine:set_backend("None (Dummy)", "", "")
)lua";
  if (!device.empty()) script += "assert(backend:set_device_name(\"" + device + "\") == 0)\n";
  script += R"lua(local s = create_session("@SESSION@", "session", @RATE@)
assert(s, "no session")
local track = s:new_audio_track(2, 2, nil, 1, "T", ARDOUR.PresentationInfo.max_order,
                                ARDOUR.TrackMode.Normal, true):front()
)lua";
  script.replace(script.find("@SESSION@"), 9, sessionDir);
  script.replace(script.find("@RATE@"), 6, std::to_string(rate));
  return script;
}

/** Lua that records a take of at least frames from the engine's device on `track` (as the region's
 * only one, fades off) and leaves the track playing it from disk. Defines waitFor(what, done),
 * which waits for done() to hold: the engine applies transport and control changes in its own
 * thread. */
inline std::string ArdourRecordTake(long frames) {
  std::string script = R"lua(
local function waitFor(what, done)
  for _ = 1, 600 do
    if done() then return end
    sleep(0.05)
  end
  error("timed out waiting for " .. what)
end
local function regions(track)
  local n = 0
  for _ in track:playlist():region_list():iter() do n = n + 1 end
  return n
end

track:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
waitFor("the track to arm", function() return track:rec_enable_control():get_value() == 1 end)
s:maybe_enable_record(false)
s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
waitFor("recording", function() return s:actively_recording() end)
waitFor("the take's length", function() return s:transport_sample() >= @FRAMES@ end)
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
waitFor("the take", function() return not s:transport_rolling() and regions(track) == 1 end)
track:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorDisk,
                                     PBD.GroupControlDisposition.NoGroup)
waitFor("the track to play from disk", function()
  return track:rec_enable_control():get_value() == 0 and
         track:monitoring_control():get_value() == ARDOUR.MonitorChoice.MonitorDisk
end)
-- Regions fade in and out by default; the comparisons want the plug-in's samples alone.
for region in track:playlist():region_list():iter() do
  region:to_audioregion():set_fade_in_active(false)
  region:to_audioregion():set_fade_out_active(false)
end
)lua";
  script.replace(script.find("@FRAMES@"), 8, std::to_string(frames));
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
