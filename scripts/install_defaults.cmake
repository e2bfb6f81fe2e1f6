# Converts the shipped UTF-8 list files to Shift-JIS beside the program, only where the
# program folder has none yet: a user's own lists are never overwritten.
file(GLOB defaults "${SRC}/*.txt")
foreach(f ${defaults})
  get_filename_component(name ${f} NAME)
  if(NOT EXISTS "${DST}/${name}")
    execute_process(COMMAND ${CONVERTER} ${f} "${DST}/${name}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "could not convert ${name}")
    endif()
  endif()
endforeach()
