# orv_add_module(NAME DIR [DEPS ...]): a static library from every .cpp in DIR
# (and, for the platform layer, in DIR/<posix|win32>).
function(orv_add_module name dir)
  cmake_parse_arguments(ARG "" "" "DEPS;EXTRA_DIRS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(extra ${ARG_EXTRA_DIRS})
    file(GLOB more CONFIGURE_DEPENDS ${extra}/*.cpp)
    list(APPEND srcs ${more})
  endforeach()
  if(NOT srcs)
    # A module with no sources yet still links (its folder fills in as it grows).
    set(placeholder ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${placeholder} "// empty module\n")
    set(srcs ${placeholder})
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
                                                  $<INSTALL_INTERFACE:include/orv>)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()
