# The version from project() for code and resources, and the resources every
# Lumivant program carries.

configure_file(${CMAKE_CURRENT_LIST_DIR}/lumivant_version.h.in ${PROJECT_BINARY_DIR}/generated/lumivant_version.h
  @ONLY)
# Linking it makes #include "lumivant_version.h" reachable.
add_library(lv_version INTERFACE)
target_include_directories(lv_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

if(WIN32)
  enable_language(RC)
endif()

# Visual styles: the window's controls come from Common Controls 6.
set(LV_COMMON_CONTROLS_DEPENDENCY [[
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
]])

# lv_add_program_resources(<target> DESCRIPTION <text> WINDOW|CONSOLE): gives
# the program a version resource and an application manifest (run as the
# invoker, Windows 7 to 11, long paths; a WINDOW also gets visual styles).
# DESCRIPTION is what Windows shows as the file description.
function(lv_add_program_resources target)
  cmake_parse_arguments(ARG "WINDOW;CONSOLE" "DESCRIPTION" "" ${ARGN})
  if(NOT ARG_DESCRIPTION OR ARG_WINDOW STREQUAL ARG_CONSOLE)
    message(FATAL_ERROR "lv_add_program_resources(${target}): needs DESCRIPTION and one of WINDOW or CONSOLE")
  endif()
  get_target_property(LV_PROGRAM_NAME ${target} OUTPUT_NAME)
  if(NOT LV_PROGRAM_NAME)
    set(LV_PROGRAM_NAME ${target})
  endif()
  set(LV_PROGRAM_FILE ${LV_PROGRAM_NAME}${CMAKE_EXECUTABLE_SUFFIX})
  set(LV_PROGRAM_DESCRIPTION ${ARG_DESCRIPTION})
  set(LV_PROGRAM_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  if(ARG_WINDOW)
    set(LV_MANIFEST_DEPENDENCIES ${LV_COMMON_CONTROLS_DEPENDENCY})
  else()
    set(LV_MANIFEST_DEPENDENCIES "")
  endif()

  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.manifest.in ${LV_PROGRAM_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program_resources.rc.in
    ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  # The script names the manifest as a file, which no include scan finds.
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc PROPERTIES
    OBJECT_DEPENDS ${LV_PROGRAM_MANIFEST})
  target_link_libraries(${target} PRIVATE lv_version)
  # The resource script embeds the manifest; the linker must not add one.
  if(MSVC)
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()
