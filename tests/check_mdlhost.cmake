cmake_minimum_required(VERSION 3.25)
# mdlhost as a user runs it: the bundled sample, its JSON dump, a file that is
# not a model, and that the committed sample is what make_sample writes; and
# as the desktop's Open With runs it.
function(run expected_status)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "${ARGN}: exit ${status}, expected ${expected_status}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/script_helpers.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

run(0 ${MAKE_SAMPLE} ${WORK}/sample.mdl)
same_files(${WORK}/sample.mdl ${SAMPLE} "the committed sample differs from what make_sample writes")

run(0 ${MDLHOST})
expect("PM_FACES (1228): 64 records, accepted")
expect("PM_FACEMAPS (1240): 64 records, accepted")
expect("Result: 1")

run(0 ${MDLHOST} --json ${SAMPLE})
string(JSON result GET "${out}" result)
string(JSON deliveries LENGTH "${out}" deliveries)
if(NOT result EQUAL 1 OR NOT deliveries EQUAL 5)
  message(FATAL_ERROR "unexpected dump: result ${result}, ${deliveries} deliveries")
endif()

file(WRITE ${WORK}/not-a-model.mdl "RAPO this is not a model")
run(1 ${MDLHOST} ${WORK}/not-a-model.mdl)
expect("Message box [MDL load plugin] Sorry, but this file iz not .MDL  (owner: host, information icon)")
expect("Message box [Plugin] Error loading *.mdl file  (owner: host, error icon)")
expect("Result: 1")

run(1 ${MDLHOST} --refuse PM_ANIMATIONS ${SAMPLE})
expect("PM_ANIMATIONS (1248): 2 records, refused")
expect("error executing dll function")
expect("Result: 0")

# --export: the GLB, the OBJ with its unscaled skin, the thumbnail unless
# told otherwise; every animation frame as an OBJ only when asked.
run(0 ${MDLHOST} --export ${WORK}/export-no-thumbnail --export-thumbnail 0 ${SAMPLE})
if(EXISTS ${WORK}/export-no-thumbnail/thumbnail.png OR NOT EXISTS ${WORK}/export-no-thumbnail/model.glb)
  message(FATAL_ERROR "--export-thumbnail 0 wrote a thumbnail, or no model")
endif()
run(0 ${MDLHOST} --export ${WORK}/export ${SAMPLE})
foreach(name model.glb model.obj model.mtl texture0.png thumbnail.png)
  if(NOT EXISTS ${WORK}/export/${name})
    message(FATAL_ERROR "--export did not write ${name}")
  endif()
endforeach()
if(EXISTS ${WORK}/export/frames)
  message(FATAL_ERROR "--export wrote frames without --export-frames")
endif()
file(STRINGS ${WORK}/export/model.obj faces REGEX "^f ")
list(LENGTH faces count)
if(NOT count EQUAL 64)
  message(FATAL_ERROR "model.obj has ${count} faces, expected 64")
endif()
run(0 ${MDLHOST} --export ${WORK}/export-frames --export-frames ${SAMPLE})
file(GLOB frames ${WORK}/export-frames/frames/*.obj)
list(LENGTH frames count)
if(NOT count EQUAL 10)
  message(FATAL_ERROR "--export-frames wrote ${count} frames, expected 10")
endif()

# A file that cannot be written: named with the reason, exit 1, and no part
# of it under its name.
file(MAKE_DIRECTORY ${WORK}/blocked/model.glb)
execute_process(COMMAND ${MDLHOST} --export ${WORK}/blocked ${SAMPLE} RESULT_VARIABLE status OUTPUT_QUIET
                ERROR_VARIABLE err)
string(FIND "${err}" "cannot write ${WORK}/blocked/model.glb: Is a directory" at)
file(GLOB partial ${WORK}/blocked/*.partial)
if(NOT status EQUAL 1 OR at EQUAL -1 OR partial)
  message(FATAL_ERROR "a failed write: exit ${status}, partial files '${partial}'\n${err}")
endif()

# Open With: the models converted beside the first, with the gallery, which
# xdg-open shows (here a stand-in that notes what it was asked to open); when
# it cannot, the page's path is said and the window waits for Enter.
file(MAKE_DIRECTORY ${WORK}/open ${WORK}/bin)
file(COPY_FILE ${SAMPLE} ${WORK}/open/column.mdl)
foreach(opener "0|" "3|No web browser opened the gallery. Open ${WORK}/open/column converted/index.html in one.")
  string(REPLACE "|" ";" opener "${opener}")
  list(GET opener 0 opener_status)
  list(GET opener 1 said)
  file(WRITE ${WORK}/bin/xdg-open "#!/bin/sh\necho \"$1\" >'${WORK}/opened'\nexit ${opener_status}\n")
  file(CHMOD ${WORK}/bin/xdg-open PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  file(REMOVE_RECURSE "${WORK}/open/column converted" ${WORK}/opened)
  run(0 ${CMAKE_COMMAND} -E env "PATH=${WORK}/bin:$ENV{PATH}" ${MDLHOST} --open ${WORK}/open/column.mdl)
  file(READ ${WORK}/opened opened)
  if(NOT opened STREQUAL "${WORK}/open/column converted/index.html\n" OR
     NOT EXISTS "${WORK}/open/column converted/column/model.glb")
    message(FATAL_ERROR "--open converted into the wrong place or opened '${opened}'")
  endif()
  string(FIND "${out}" "Press Enter" waits)
  if(said)
    expect("${said}")
    if(waits EQUAL -1)
      message(FATAL_ERROR "--open without a browser did not wait to be read")
    endif()
  elseif(NOT waits EQUAL -1)
    message(FATAL_ERROR "--open waited though the browser showed the gallery")
  endif()
endforeach()
run(2 ${MDLHOST} --open ${WORK}/open/column.mdl --export ${WORK}/elsewhere)
