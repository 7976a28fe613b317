# Fails when the installer stub links archive writer code. Run by the test
# stub_links_no_writer: cmake -DNM=... -DSTUB=<the stub's symbol file> -P this.
execute_process(COMMAND ${NM} -C ${STUB} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${STUB}")
endif()
# The writer's entry points, Close's write-back and the whole-buffer compressor.
# (zlib's deflate is not among them: on Windows the prebuilt zlib brings it
# along with libpng, whose writer refers to it.)
set(writer_pattern
    "CArchive2::(AddFile|AddEntryToArchive|AddCentralDirectory|RunWriterStep|SubmitDeleteList|DeleteEntryFromArchive|CreateSEA|CopySEAMultiFiles|SplitArchive|MergeArchive)\\(|libdeflate_alloc_compressor")
string(REGEX MATCHALL "[^\n]*(${writer_pattern})[^\n]*" found "${symbols}")
if(found)
  list(JOIN found "\n" lines)
  message(FATAL_ERROR "the installer stub links writer code:\n${lines}")
endif()
message(STATUS "the installer stub links no writer code")
