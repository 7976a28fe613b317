# Finds libdeflate's static archive and header and defines the imported target
# Libdeflate::Libdeflate. Only the static archive is accepted: programs and the
# shared orv library carry their own copy, so nothing needs libdeflate's DLL or
# shared object at run time. scripts/setup provides it (Debian's libdeflate-dev
# natively, a build of Debian's source package in each MinGW sysroot).
find_path(Libdeflate_INCLUDE_DIR NAMES libdeflate.h)
find_library(Libdeflate_LIBRARY NAMES libdeflate.a)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Libdeflate REQUIRED_VARS Libdeflate_LIBRARY Libdeflate_INCLUDE_DIR)
mark_as_advanced(Libdeflate_INCLUDE_DIR Libdeflate_LIBRARY)

if(Libdeflate_FOUND AND NOT TARGET Libdeflate::Libdeflate)
  add_library(Libdeflate::Libdeflate STATIC IMPORTED)
  set_target_properties(Libdeflate::Libdeflate PROPERTIES IMPORTED_LOCATION "${Libdeflate_LIBRARY}"
                                                          INTERFACE_INCLUDE_DIRECTORIES "${Libdeflate_INCLUDE_DIR}")
endif()
