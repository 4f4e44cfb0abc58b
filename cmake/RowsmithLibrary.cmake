# rowsmith_library(NAME DIR [LINKS ...]): a static library of every .cpp in
# DIR (not below it), with src/ on the include path. Files added to the folder
# are picked up at the next build.
function(rowsmith_library name dir)
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC rowsmith_common ${ARG_LINKS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE rowsmith_common ${ARG_LINKS})
  endif()
endfunction()
