# Per-target settings shared by every TovraSat target.

# Warnings are errors in our own code; third-party headers come in as SYSTEM.
function(tovrasat_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion
                                           -Wno-sign-conversion)
  # g++ 12 at -O3 reports overlapping or overflowing copies inside libstdc++'s own string and
  # vector code that cannot happen (GCC bugs 105329, 105651). They stay visible as warnings;
  # the sanitizer build is what checks our copies.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-error=restrict -Wno-error=stringop-overflow)
  endif()
endfunction()

# One row of the layout table (cmake/TovrasatLayout.cmake): a library, its folder (alternatives
# separated by |, for a library that each platform builds from a folder of its own) and the
# project libraries it may link.
function(tovrasat_layout library folder)
  set_property(GLOBAL APPEND PROPERTY TOVRASAT_LIBRARIES ${library})
  set_property(GLOBAL PROPERTY TOVRASAT_FOLDER_${library} "${folder}")
  set_property(GLOBAL PROPERTY TOVRASAT_LINKS_${library} "${ARGN}")
endfunction()

# Fails the configuration unless the layout table has a row for library, declared from the
# current folder, and allows each project library among links.
function(tovrasat_check_layout library)
  set(table "cmake/TovrasatLayout.cmake")
  get_property(libraries GLOBAL PROPERTY TOVRASAT_LIBRARIES)
  if(NOT library IN_LIST libraries)
    message(FATAL_ERROR "Library ${library} has no row in ${table}: add one with its folder and "
                        "the libraries it may link")
  endif()
  file(RELATIVE_PATH here ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  get_property(folder GLOBAL PROPERTY TOVRASAT_FOLDER_${library})
  string(REPLACE "|" ";" folders "${folder}")
  if(NOT here IN_LIST folders)
    message(FATAL_ERROR "Library ${library} is declared in ${here}/, but ${table} puts it in "
                        "${folder}/: one folder per library, one library per folder")
  endif()
  get_property(allowed GLOBAL PROPERTY TOVRASAT_LINKS_${library})
  set(allowed_text "${allowed}")
  if(NOT allowed)
    set(allowed_text "no project library")
  endif()
  foreach(link IN LISTS ARGN)
    if(link IN_LIST libraries AND NOT link IN_LIST allowed)
      message(FATAL_ERROR "Library ${library} (${here}/) may not link ${link}: ${table} allows "
                          "it [${allowed_text}]. Arrows between folders run downwards; change the "
                          "table only with a reason stated there")
    endif()
  endforeach()
endfunction()

# A library of one subsystem folder, rooted includes ("dsp/Engine.h"), linking only what the
# layout table allows it.
function(tovrasat_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  tovrasat_check_layout(${target} ${ARG_PUBLIC_LIBS} ${ARG_PRIVATE_LIBS})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  tovrasat_warnings(${target})
endfunction()

# A loadable module that exports its entry points (listed in exports_file) and nothing else:
# everything from the static libraries stays local too. Outside sanitizer builds (whose modules
# leave the sanitizer runtime's symbols to the process), a symbol left undefined fails the link
# rather than the host's load.
function(tovrasat_module_exports target exports_file)
  set(script ${CMAKE_CURRENT_SOURCE_DIR}/${exports_file})
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${script})
  target_link_options(${target} PRIVATE -Wl,--version-script=${script})
  if(NOT TOVRASAT_SANITIZE)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  tovrasat_warnings(${target})
endfunction()
