# cmake -DINPUT=FILE -DOUTPUT=FILE.gz [-DVERSION=V] -P gzip.cmake: FILE with
# @VERSION@ filled in, compressed with gzip -9n (no name, no time: the same
# bytes on every build).
file(READ ${INPUT} text)
string(CONFIGURE "${text}" text @ONLY)
get_filename_component(name ${OUTPUT} NAME_WE)
file(WRITE ${OUTPUT}.txt "${text}")
execute_process(COMMAND gzip -9n -c ${OUTPUT}.txt OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE failed)
file(REMOVE ${OUTPUT}.txt)
if(failed)
  message(FATAL_ERROR "gzip failed on ${INPUT}")
endif()
