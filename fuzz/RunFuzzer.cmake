# One bounded fuzz run: fuzzes from the seeds (new inputs go to WORK), keeps any crashing
# input under WORK/../artifacts, and prints the executions made.
file(MAKE_DIRECTORY ${WORK})
get_filename_component(artifacts ${WORK}/../../artifacts ABSOLUTE)
file(MAKE_DIRECTORY ${artifacts})
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048 -close_fd_mask=1
    -print_final_stats=1 -artifact_prefix=${artifacts}/${NAME}- ${WORK} ${SEEDS}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
string(REGEX MATCH "stat::number_of_executed_units: *([0-9]+)" found "${output}")
set(runs ${CMAKE_MATCH_1})
if(NOT result EQUAL 0)
  message("${output}")
  message(FATAL_ERROR "fuzz ${NAME}: the fuzzer failed (${result}) after ${runs} executions; the input is kept in ${artifacts}")
endif()
message("fuzz ${NAME}: ${runs} executions in ${SECONDS} s")
