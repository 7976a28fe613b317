# Finds libdeflate's static archive and header and defines the imported target
# Libdeflate::Libdeflate. Only the static archive is accepted: programs and the
# shared orv library carry their own copy, so nothing needs libdeflate's DLL or
# shared object at run time. scripts/setup builds it from Debian's source
# package with the patches in scripts/patches: natively into a prefix of its
# own (preferred here), for MinGW into each sysroot. Natively, without that
# prefix, Debian's libdeflate-dev is used: the same library without the
# patches, so compression of small files costs more. An empty
# ORV_LIBDEFLATE_PREFIX picks Debian's library even when ours is there.
set(ORV_LIBDEFLATE_PREFIX /usr/local/lib/orvande-libdeflate CACHE PATH
    "Prefix of scripts/setup's patched libdeflate, preferred when present (empty: the system's)")
set(_libdeflate_own_prefix "${ORV_LIBDEFLATE_PREFIX}")

# A cached result that no longer exists, or Debian's library once ours has been
# installed (or ours once the prefix is emptied), is looked up again.
if(Libdeflate_LIBRARY AND (NOT EXISTS "${Libdeflate_LIBRARY}" OR
                           (NOT _libdeflate_own_prefix AND Libdeflate_LIBRARY MATCHES "/orvande-libdeflate/")))
  unset(Libdeflate_LIBRARY CACHE)
  unset(Libdeflate_INCLUDE_DIR CACHE)
endif()
if(NOT CMAKE_CROSSCOMPILING AND _libdeflate_own_prefix AND EXISTS "${_libdeflate_own_prefix}/lib/libdeflate.a")
  if(NOT Libdeflate_LIBRARY MATCHES "^${_libdeflate_own_prefix}/")
    unset(Libdeflate_LIBRARY CACHE)
    unset(Libdeflate_INCLUDE_DIR CACHE)
  endif()
  find_path(Libdeflate_INCLUDE_DIR NAMES libdeflate.h PATHS "${_libdeflate_own_prefix}/include" NO_DEFAULT_PATH)
  find_library(Libdeflate_LIBRARY NAMES libdeflate.a PATHS "${_libdeflate_own_prefix}/lib" NO_DEFAULT_PATH)
endif()
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
