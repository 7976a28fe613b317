# The orv library for other programs: the platform layer, the runtime and the
# archive engine, installed as
#   - three static libraries (orv::orv_platform <- orv::orv_runtime <- orv::orv_archive,
#     and orv::orv, which links all three), and
#   - one shared library, orv::orv_shared (liborv.so / liborv.dll), built from the
#     same object files,
# with their headers under include/orv (so that "archive/archive2.h" resolves as
# it does inside this tree) and a CMake package:
#   find_package(orv CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE orv::orv)          # or orv::orv_shared
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

add_library(orv INTERFACE)
target_link_libraries(orv INTERFACE orv_archive)

add_library(orv_shared SHARED $<TARGET_OBJECTS:orv_platform> $<TARGET_OBJECTS:orv_runtime>
                              $<TARGET_OBJECTS:orv_archive>)
set_target_properties(orv_shared PROPERTIES OUTPUT_NAME orv VERSION ${PROJECT_VERSION}
                                            SOVERSION ${PROJECT_VERSION_MAJOR})
target_include_directories(orv_shared INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
                                                $<INSTALL_INTERFACE:include/orv>)
if(NOT WIN32)
  find_package(Threads REQUIRED)  # imported targets are scoped to the folder that found them
endif()
# The modules' own link dependencies (zlib, libdeflate, libpng, threads, Windows system libraries).
target_link_libraries(orv_shared PRIVATE $<TARGET_PROPERTY:orv_archive,INTERFACE_LINK_LIBRARIES>
                                         $<TARGET_PROPERTY:orv_runtime,INTERFACE_LINK_LIBRARIES>
                                         $<TARGET_PROPERTY:orv_platform,INTERFACE_LINK_LIBRARIES>)

if(WIN32)
  # MinGW exports every symbol of a DLL without export declarations; keep it to
  # the library's own objects, or the statically linked runtime (libgcc's
  # unwinder, libstdc++, zlib) would clash with the same symbols in programs.
  target_link_options(orv_shared PRIVATE -Wl,--exclude-libs,ALL)
endif()

install(TARGETS orv_platform orv_runtime orv_archive orv orv_shared EXPORT orvTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ach RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Every header of the three layers; test seams (*_internal.h) stay inside.
foreach(layer platform runtime archive)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${layer}/ DESTINATION include/orv/${layer}
          FILES_MATCHING PATTERN "*.h" PATTERN "*_internal.h" EXCLUDE
          PATTERN "posix" EXCLUDE PATTERN "win32" EXCLUDE)
endforeach()

set(ORV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/orv)
install(EXPORT orvTargets NAMESPACE orv:: DESTINATION ${ORV_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/orvConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/orvConfig.cmake
                              INSTALL_DESTINATION ${ORV_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/orvConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/orvConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/orvConfigVersion.cmake
              ${CMAKE_CURRENT_LIST_DIR}/FindLibdeflate.cmake
        DESTINATION ${ORV_CMAKE_DIR})
