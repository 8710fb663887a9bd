# One static library per folder of src/. Sources are picked up by folder so the
# layering lives in the DEPENDS lists below, not in long file lists.
function(quiv_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;LIBS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.qrc)
  set(_deps)
  foreach(dep IN LISTS ARG_DEPENDS)
    list(APPEND _deps quiv_${dep})
  endforeach()
  set(_compiled ${_sources})
  list(FILTER _compiled INCLUDE REGEX "\\.(cpp|qrc)$")
  if(NOT _compiled)
    # A folder that later work fills: keep its place in the layering.
    add_library(quiv_${name} INTERFACE)
    target_include_directories(quiv_${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/${name})
    target_link_libraries(quiv_${name} INTERFACE ${_deps} ${ARG_LIBS})
    return()
  endif()
  add_library(quiv_${name} STATIC ${_sources})
  target_include_directories(quiv_${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/${name})
  target_compile_options(quiv_${name} PRIVATE ${QUIV_WARNINGS})
  target_compile_definitions(quiv_${name} PUBLIC QUIV_VERSION="${PROJECT_VERSION}")
  target_link_libraries(quiv_${name} PUBLIC ${_deps} ${ARG_LIBS})
endfunction()

# A GoogleTest executable whose tests ctest discovers at test time, with the
# headless environment the web engine needs.
function(quiv_test name)
  cmake_parse_arguments(ARG "SERIAL" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE quiv_testsupport ${ARG_LIBS})
  target_compile_options(${name} PRIVATE ${QUIV_WARNINGS})
  # The rest of the headless environment is set by the test main (a list here
  # would not survive test discovery).
  set(_props LABELS ${ARG_LABEL} ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 300)
  if(ARG_SERIAL)
    list(APPEND _props RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ${_props})
endfunction()
