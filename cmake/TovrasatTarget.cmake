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

# A library of one subsystem folder, rooted includes ("dsp/Engine.h").
function(tovrasat_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  tovrasat_warnings(${target})
endfunction()
