cmake_minimum_required(VERSION 3.25)
# The converter on Windows (MDLHOST_EXE under Wine) and on Linux (MDLHOST)
# give the same bytes and the same exit status for the same files: the
# report, the JSON dump and every file of the export; for the bundled
# sample, the test models, the export test models and a game's archive,
# its gallery too;
# from a folder and into folders whose names the ANSI code page cannot hold
# (Cyrillic) or can (accented).
include(${CMAKE_CURRENT_LIST_DIR}/../script_helpers.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/in)
foreach(tool MAKE_SEEDS MAKE_MODELS MAKE_INPUTS)
  execute_process(COMMAND ${${tool}} ${WORK}/in RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${${tool}} failed")
  endif()
endforeach()
file(COPY ${SAMPLE} DESTINATION ${WORK}/in)
file(WRITE ${WORK}/in/not-a-model.mdl "RAPO, not a model")
file(MAKE_DIRECTORY "${WORK}/in/Модели")
file(COPY_FILE ${SAMPLE} "${WORK}/in/Модели/огр.mdl")

# One run on each platform; name tells the runs apart, the rest goes to both.
function(compare name)
  execute_process(COMMAND ${MDLHOST} ${ARGN} --export ../out/${name}.linux WORKING_DIRECTORY ${WORK}/in
                  OUTPUT_FILE ${WORK}/${name}.linux.out RESULT_VARIABLE linux_status)
  execute_process(COMMAND ${WINE_RUN} ${MDLHOST_EXE} ${ARGN} --export ../out/${name}.windows
                  WORKING_DIRECTORY ${WORK}/in OUTPUT_FILE ${WORK}/${name}.windows.out RESULT_VARIABLE windows_status)
  if(NOT linux_status STREQUAL windows_status)
    message(FATAL_ERROR "${name}: exit ${linux_status} on Linux, ${windows_status} on Windows")
  endif()
  same_files(${WORK}/${name}.linux.out ${WORK}/${name}.windows.out
             "the outputs of ${name} differ: ${WORK}/${name}.linux.out ${WORK}/${name}.windows.out")
  if(EXISTS ${WORK}/out/${name}.linux OR EXISTS ${WORK}/out/${name}.windows)
    same_folders(${WORK}/out/${name}.linux ${WORK}/out/${name}.windows)
  endif()
endfunction()

foreach(model column double_rounding hostile_floats not-a-model seam skins no_frames one_frame repeated_names
        many_vertices hostile_names groups)
  compare(${model} ${model}.mdl --export-frames)
  compare(${model}-json --json ${model}.mdl)
endforeach()
compare(sample-linear column.mdl --export-interpolation linear --export-normals none)
compare(game game/pak0.pak)
compare(groups-archive groups/groups.pak)
compare(groups-bad groups/bad.mdl)
compare(jobs -j 3 game/pak0.pak groups/groups.pak models)
compare(game-json --json game/pak0.pak models)
compare(cyrillic Модели/огр.mdl)
compare(cyrillic-json --json Модели/огр.mdl)

# The gallery: the same page, scripts and viewer, names in any language
# included (what the runs print names their own folders).
foreach(platform linux windows)
  set(program ${MDLHOST})
  if(platform STREQUAL windows)
    set(program ${WINE_RUN} ${MDLHOST_EXE})
  endif()
  execute_process(COMMAND ${program} game/pak0.pak Модели hostile_names.mdl groups/groups.pak
                          --export ../out/gallery.${platform} --gallery
                  WORKING_DIRECTORY ${WORK}/in OUTPUT_QUIET ERROR_QUIET)
endforeach()
if(NOT EXISTS ${WORK}/out/gallery.windows/index.html)
  message(FATAL_ERROR "the Windows converter wrote no gallery")
endif()
same_folders(${WORK}/out/gallery.linux ${WORK}/out/gallery.windows)

# Files created writable: Wine shows a read-only file without write bits.
execute_process(COMMAND stat -c %A ${WORK}/out/column.windows/model.glb ${WORK}/out/column.windows/model.obj
                OUTPUT_VARIABLE modes)
if(NOT modes MATCHES "^-rw[^\n]*\n-rw")
  message(FATAL_ERROR "the converter's files are not writable: ${modes}")
endif()

# Into folders of any name: the files are those of an ASCII one.
foreach(folder Вывод Sortie-é)
  execute_process(COMMAND ${WINE_RUN} ${MDLHOST_EXE} column.mdl --export "../out/${folder}" WORKING_DIRECTORY ${WORK}/in
                  OUTPUT_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the export into ${folder} failed: exit ${status}")
  endif()
  same_folders(${WORK}/out/column-json.linux "${WORK}/out/${folder}")
endforeach()
