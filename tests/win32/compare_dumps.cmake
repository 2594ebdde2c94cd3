cmake_minimum_required(VERSION 3.25)
# The Windows DLL in the Win32 host and the Linux module in mdlhost must
# deliver byte-identical records for the same files: compare the two dumps.
include(${CMAKE_CURRENT_LIST_DIR}/../script_helpers.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(dump name directory)
  execute_process(COMMAND ${MDLHOST} --json ${ARGN} WORKING_DIRECTORY ${directory}
                  OUTPUT_FILE ${WORK}/${name}.linux.json RESULT_VARIABLE linux_status)
  execute_process(COMMAND ${WINE_RUN} ${WIN32HOST} --json ${ARGN} WORKING_DIRECTORY ${directory}
                  OUTPUT_FILE ${WORK}/${name}.windows.json RESULT_VARIABLE windows_status)
  if(NOT windows_status EQUAL 0)
    message(FATAL_ERROR "win32host failed on ${name}: ${windows_status}")
  endif()
  same_files(${WORK}/${name}.linux.json ${WORK}/${name}.windows.json
             "the dumps of ${name} differ: ${WORK}/${name}.linux.json ${WORK}/${name}.windows.json")
endfunction()

dump(sample ${SAMPLE_DIR} column.mdl)
# Floats that x87 extended precision would round differently, and ones that
# overflow or are invalid: the same bits on both.
execute_process(COMMAND ${MAKE_SEEDS} ${WORK} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_seeds failed")
endif()
dump(double-rounding ${WORK} double_rounding.mdl)
dump(hostile-floats ${WORK} hostile_floats.mdl)
# The message boxes too, where both platforms show the same: a wrong magic.
file(WRITE ${WORK}/not-a-model.mdl "RAPO, not a model")
dump(not-a-model ${WORK} not-a-model.mdl)
