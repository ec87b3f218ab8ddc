# Run by CPack on the staged tree before it becomes the Debian package: what Debian asks of a
# package beyond what `cmake --install` gives any prefix.
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})

# The editor's font is the system's (the package depends on its package): each bundle links to it
# instead of carrying a copy. Relative links, which stay inside /usr.
file(GLOB_RECURSE copies "${root}/lib/*/Roboto-Regular.ttf")
foreach(copy IN LISTS copies)
  get_filename_component(dir ${copy} DIRECTORY)
  file(RELATIVE_PATH target ${dir} ${root}/${CPACK_TOVRASAT_SYSTEM_FONT})
  file(REMOVE ${copy})
  file(CREATE_LINK ${target} ${copy} SYMBOLIC)
endforeach()

# Both bundles carry the same editor images: the LV2 bundle's link to the component's.
set(lv2_resources ${root}/lib/lv2/TovraSat.lv2/Resources)
set(component_resources ${root}/lib/tovrasat/TovraSat.component/Contents/Resources)
file(GLOB images LIST_DIRECTORIES false ${lv2_resources}/*.png)
foreach(image IN LISTS images)
  get_filename_component(name ${image} NAME)
  set(twin ${component_resources}/${name})
  if(EXISTS ${twin} AND NOT IS_SYMLINK ${twin})
    file(SHA256 ${image} a)
    file(SHA256 ${twin} b)
    if(a STREQUAL b)
      file(RELATIVE_PATH target ${lv2_resources} ${twin})
      file(REMOVE ${image})
      file(CREATE_LINK ${target} ${image} SYMBOLIC)
    endif()
  endif()
endforeach()

# The copyright file holds the licence; a second copy of it is not wanted.
file(REMOVE ${root}/share/doc/tovrasat/LICENSE)

# Stripped as dh_strip does: the symbols are gone already, the compiler's notes go too.
file(GLOB_RECURSE files LIST_DIRECTORIES false ${root}/*)
foreach(f IN LISTS files)
  if(IS_SYMLINK ${f})
    continue()
  endif()
  file(READ ${f} magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND ${CPACK_TOVRASAT_STRIP} --remove-section=.comment --remove-section=.note
                            ${f} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "strip ${f} failed")
    endif()
  endif()
endforeach()
