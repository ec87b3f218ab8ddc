# TovraSat.component on macOS: the module in a bundle with the Info.plist the Linux bundle has,
# the editor's resources, only the entry points exported, signed ad hoc.
#   TovraSat.component/Contents/Info.plist
#   TovraSat.component/Contents/MacOS/TovraSat
#   TovraSat.component/Contents/Resources/Roboto-Regular.ttf and the editor's images
add_library(tovrasat_module MODULE TovraSatEntry.cpp)
target_link_libraries(tovrasat_module PRIVATE core)
set_target_properties(tovrasat_module PROPERTIES
  OUTPUT_NAME TovraSat
  BUNDLE ON
  BUNDLE_EXTENSION component
  MACOSX_BUNDLE_INFO_PLIST ${CMAKE_CURRENT_SOURCE_DIR}/Info.plist.in
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
  LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/TovraSat.apple.exports)
# -ObjC keeps the view factory class, which nothing refers to by symbol.
target_link_options(tovrasat_module PRIVATE -ObjC
  -Wl,-exported_symbols_list,${CMAKE_CURRENT_SOURCE_DIR}/TovraSat.apple.exports)
tovrasat_warnings(tovrasat_module)
set_property(GLOBAL PROPERTY TOVRASAT_BUNDLE ${CMAKE_BINARY_DIR}/TovraSat.component)

get_property(build_resources GLOBAL PROPERTY TOVRASAT_BUILD_RESOURCES)
get_property(font_files GLOBAL PROPERTY TOVRASAT_FONT_FILES)
get_property(editor_images GLOBAL PROPERTY TOVRASAT_EDITOR_IMAGES)
set(resource_files ${font_files} ${editor_images})
list(TRANSFORM resource_files PREPEND ${build_resources}/)
add_dependencies(tovrasat_module gfx_resources)

# Signing seals the resources, so it comes after they are copied. An empty TOVRASAT_CODESIGN
# leaves the bundle unsigned (the cross-built check on Linux, which has no codesign).
set(TOVRASAT_CODESIGN codesign CACHE STRING "Program that signs the bundle ad hoc (empty: unsigned)")
set(contents $<TARGET_BUNDLE_CONTENT_DIR:tovrasat_module>)
set(copy_resources)
if(resource_files)
  set(copy_resources COMMAND ${CMAKE_COMMAND} -E copy_if_different ${resource_files} ${contents}/Resources)
endif()
set(sign)
set(signed "")
if(TOVRASAT_CODESIGN)
  set(sign COMMAND ${TOVRASAT_CODESIGN} --force --sign - --timestamp=none $<TARGET_BUNDLE_DIR:tovrasat_module>)
  set(signed " and signing it ad hoc")
endif()
add_custom_command(TARGET tovrasat_module POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${contents}/Resources
  ${copy_resources}
  ${sign}
  COMMENT "Copying the resources into TovraSat.component${signed}"
  VERBATIM)
