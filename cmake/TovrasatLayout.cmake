# The project's libraries, the folder each is built from, and the libraries each may link: the
# arrows between folders. tovrasat_library refuses, at configure time, a library missing here, one
# declared from another folder, and a link to a project library that its row does not name.
# Outside packages (PkgConfig::..., frameworks, CMAKE_DL_LIBS) are not arrows and are not listed.
# A new library is one more line.
#
# Arrows run downwards, with two exceptions that the plug-in's class chain needs, each allowed in
# exactly one row:
#   plug_api -> gfx   the plug-in base is its own editor delegate (derives from the toolkit's)
#   core <-> ui       the layout callback calls TovraUI::Build; the controls hold the plug-in
#
#                  library            folder                           may link
tovrasat_layout(   sdk                sdk)
tovrasat_layout(   dsp                dsp)
tovrasat_layout(   state              state)
tovrasat_layout(   plug               plug                             sdk)
tovrasat_layout(   gfx                gfx                              plug)
tovrasat_layout(   plug_api           plug/api                         plug state gfx)
tovrasat_layout(   gfx_platform       "gfx/platform|gfx/platform/mac"  gfx sdk)
tovrasat_layout(   gfx_platform_x11   gfx/platform/x11                 gfx_platform gfx sdk)
tovrasat_layout(   gfx_platform_mac   gfx/platform/mac                 gfx)
tovrasat_layout(   plug_au            plug/au                          plug_api sdk)
tovrasat_layout(   plug_lv2_text      plug/lv2)
tovrasat_layout(   plug_lv2           plug/lv2                         plug_au plug_lv2_text)
tovrasat_layout(   ui                 ui                               gfx state core)
tovrasat_layout(   core               core                             plug_au dsp state gfx ui gfx_platform gfx_platform_x11)
tovrasat_layout(   core_lv2_presets   core/lv2/presets                 state plug_lv2_text)
tovrasat_layout(   core_lv2           core/lv2                         core plug_lv2 core_lv2_presets)
tovrasat_layout(   host               host                             sdk)
tovrasat_layout(   tovrasat_audiofile tools/audiofile)
tovrasat_layout(   tovrasat_meters    tools/meters                     dsp)
tovrasat_layout(   tovrasat_pluginhost tools/pluginhost                host tovrasat_audiofile tovrasat_meters)
tovrasat_layout(   tovrasat_player    tools/player                     tovrasat_pluginhost)
tovrasat_layout(   tovrasat_command   tools/command                    tovrasat_pluginhost tovrasat_player state core_lv2_presets gfx_platform)
