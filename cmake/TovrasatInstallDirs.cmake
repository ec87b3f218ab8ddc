# Where `cmake --install` puts each part, relative to the prefix, and the $ORIGIN-relative paths
# that let the installed binaries find each other wherever the prefix is moved.

# The documentation folder is named after the command, not the project.
set(CMAKE_INSTALL_DOCDIR "share/doc/tovrasat" CACHE PATH "Documentation (share/doc/tovrasat)")
include(GNUInstallDirs)
# The command's own library folder: the component bundle and the runtime it links. Not the
# multiarch library folder: nothing outside the package links against them.
set(TOVRASAT_INSTALL_PKGLIBDIR "lib/tovrasat" CACHE PATH
    "The component bundle and its runtime, relative to the prefix (lib/tovrasat)")
# The runtime that the command and the component share, as sdk/ beside the bundle in the build.
set(TOVRASAT_INSTALL_SDKDIR ${TOVRASAT_INSTALL_PKGLIBDIR}/sdk)
# Where every LV2 host looks without being told (lilv's default path).
set(TOVRASAT_INSTALL_LV2DIR "lib/lv2" CACHE PATH "LV2 bundles, relative to the prefix (lib/lv2)")

# Build-tree RUNPATHs relative to $ORIGIN too, so a moved build tree still runs.
set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)

# out: the path from the installed folder `from` to the installed path `to` (both relative to the
# prefix, as the install variables above are).
function(tovrasat_install_relative out from to)
  file(RELATIVE_PATH rel "/prefix/${from}" "/prefix/${to}")
  string(REGEX REPLACE "/$" "" rel "${rel}")
  if(rel STREQUAL "")
    set(rel ".")
  endif()
  set(${out} "${rel}" PARENT_SCOPE)
endfunction()

# Installed, target finds what it links in the prefix's folder `libdir`, relative to its own
# folder `dir`: a RUNPATH of $ORIGIN alone, never a build-tree or absolute path.
function(tovrasat_install_runpath target dir libdir)
  tovrasat_install_relative(rel "${dir}" "${libdir}")
  if(rel STREQUAL ".")
    set(runpath "\$ORIGIN")
  else()
    set(runpath "\$ORIGIN/${rel}")
  endif()
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${runpath}")
endfunction()
