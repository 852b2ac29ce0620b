# Installs BUILD_DIR into a scratch prefix and runs the installed towerhost from an
# unrelated working folder, with no arguments.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/run)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
execute_process(COMMAND ${WORK_DIR}/prefix/bin/towerhost
  WORKING_DIRECTORY ${WORK_DIR}/run
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed towerhost failed (${rc}):\n${out}\n${err}")
endif()
foreach(expected "plug-in ${WORK_DIR}/prefix/lib" "models ${WORK_DIR}/prefix/share/actTower/models"
                 "state identical" "kivMemLeak: no leaks")
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "installed towerhost did not say '${expected}':\n${out}\n${err}")
  endif()
endforeach()
if(NOT EXISTS ${WORK_DIR}/run/towerhost-out/towers.sav)
  message(FATAL_ERROR "installed towerhost wrote no save file in its working folder")
endif()
