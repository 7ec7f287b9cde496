# Runs one example script through surfdeck-sim in a fresh program folder and compares
# what it prints with the .out file beside the script (when there is one).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${SKIN}/c1.h1 ${SKIN}/g1.htm DESTINATION ${WORK})
execute_process(COMMAND ${SIM} --folder ${WORK} ${SCRIPT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "surfdeck-sim exited with ${rc}: ${err}")
endif()
string(REGEX REPLACE "\\.sds$" ".out" expected_file ${SCRIPT})
if(EXISTS ${expected_file})
  file(READ ${expected_file} expected)
  if(NOT out STREQUAL expected)
    file(WRITE ${WORK}/actual.out "${out}")
    message(FATAL_ERROR "output differs from ${expected_file}; see ${WORK}/actual.out")
  endif()
endif()
