# orv_delay_import_library(OUT_VAR DLL): a delay-import library for the system
# DLL named DLL ("user32"), made at configure time from MinGW's own import
# library: every function it names, imported so that the DLL is loaded on the
# first call (by the C runtime's __delayLoadHelper2, through LoadLibrary with
# the process's default search) instead of by the loader before the program
# starts. The path of the library goes to OUT_VAR; it is empty when the tools
# are missing, and the caller then imports the DLL the ordinary way.
function(orv_delay_import_library out_var dll)
  set(${out_var} "" PARENT_SCOPE)
  if(NOT WIN32 OR NOT ORV_MINGW_TRIPLE)
    return()
  endif()
  find_program(ORV_DLLTOOL ${ORV_MINGW_TRIPLE}-dlltool)
  find_file(import_lib lib${dll}.a PATHS ${CMAKE_FIND_ROOT_PATH}/lib NO_DEFAULT_PATH NO_CACHE)
  if(NOT ORV_DLLTOOL OR NOT CMAKE_NM OR NOT import_lib)
    message(WARNING "no delay-import library for ${dll}.dll: dlltool, nm or lib${dll}.a is missing")
    return()
  endif()
  set(dir ${CMAKE_BINARY_DIR}/delay-import)
  set(def ${dir}/${dll}.def)
  set(lib ${dir}/lib${dll}_delay.a)
  if(NOT EXISTS ${lib} OR ${import_lib} IS_NEWER_THAN ${lib})
    file(MAKE_DIRECTORY ${dir})
    execute_process(COMMAND ${CMAKE_NM} ${import_lib} OUTPUT_VARIABLE symbols RESULT_VARIABLE nm_failed)
    # x64 names are "__imp_Name"; x86 ones "__imp__Name@N", the @N kept in the
    # .def and dropped from the imported name by --kill-at.
    string(REGEX MATCHALL "[^\n]* I __imp__?[A-Za-z0-9_@?$]+" lines "${symbols}")
    set(exports)
    foreach(line IN LISTS lines)
      string(REGEX REPLACE ".* I __imp_" "" name "${line}")
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        string(REGEX REPLACE "^_" "" name "${name}")
      endif()
      list(APPEND exports "${name}")
    endforeach()
    list(REMOVE_DUPLICATES exports)
    list(JOIN exports "\n" body)
    file(WRITE ${def} "LIBRARY ${dll}.dll\nEXPORTS\n${body}\n")
    execute_process(COMMAND ${ORV_DLLTOOL} --input-def ${def} --dllname ${dll}.dll --kill-at
                            --output-delaylib ${lib}
                    RESULT_VARIABLE dlltool_failed ERROR_VARIABLE dlltool_errors)
    if(nm_failed OR dlltool_failed)
      message(WARNING "no delay-import library for ${dll}.dll: ${dlltool_errors}")
      file(REMOVE ${lib})
      return()
    endif()
  endif()
  set(${out_var} ${lib} PARENT_SCOPE)
endfunction()
