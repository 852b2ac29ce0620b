# Runs a short default scene of towerhost on one emulated processor and checks that the
# math library announced the expected set and that the scene ended as it should.
set(messages
  x87 "MX: (INFO) Using x87 Instructions"
  x87-disabled "MX: (INFO) CPU optimization disabled. Using x87 Instructions"
  SSE "MX: (INFO) Using SSE Instructions"
  SSE2 "MX: (INFO) Using SSE2 Instructions"
  3DNow "MX: (INFO) Using 3DNow Instructions"
  3DNowExt "MX: (INFO) Using 3DNow Instructions")
list(FIND messages ${SET} at)
math(EXPR at "${at} + 1")
list(GET messages ${at} message)

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
# The library writes its debugger lines to standard error when asked to.
set(ENV{MX_output} stderr)
execute_process(COMMAND ${RUN} ${HOST} --frames 24 --towers 2 --plugin ${PLUGIN} --models ${MODELS} --out ${OUT}/out
  WORKING_DIRECTORY ${OUT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "towerhost failed (${rc}):\n${out}\n${err}")
endif()
string(FIND "${err}" "${message}" found)
if(found EQUAL -1)
  message(FATAL_ERROR "towerhost's math library did not say '${message}':\n${err}")
endif()
foreach(expected "state identical" "kivMemLeak: no leaks")
  string(FIND "${out}" "${expected}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "towerhost did not say '${expected}':\n${out}\n${err}")
  endif()
endforeach()
message(STATUS "${message}")
