cmake_minimum_required(VERSION 3.25)
# mdlhost's exports through the Khronos glTF validator: the sample (with
# both kinds of playback) and models with a seam, several skins, no frames,
# one frame, a repeated sequence name, more than 65,535 glTF vertices and
# 20,000 frames in one animation. Every file must pass with no error and no
# warning.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${MAKE_MODELS} ${WORK} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_export_models failed")
endif()

set(files "")
function(export name model)
  execute_process(COMMAND ${MDLHOST} ${model} --export ${WORK}/${name} ${ARGN}
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT EXISTS ${WORK}/${name}/model.glb)
    message(FATAL_ERROR "mdlhost --export failed on ${model} (exit ${status}): ${err}")
  endif()
  set(files ${files} ${WORK}/${name}/model.glb PARENT_SCOPE)
endfunction()

export(sample ${SAMPLE})
export(sample-linear ${SAMPLE} --export-interpolation linear)
foreach(name seam skins no_frames one_frame repeated_names many_vertices long_animation groups)
  export(${name} ${WORK}/${name}.mdl)
endforeach()

# Weights grow with the frames, not with their square.
file(SIZE ${WORK}/long_animation/model.glb size)
if(size GREATER 8000000)
  message(FATAL_ERROR "20,000 frames of 3 vertices take ${size} bytes")
endif()

execute_process(COMMAND ${NODE} ${VALIDATE} ${files} RESULT_VARIABLE status OUTPUT_VARIABLE report ERROR_VARIABLE err)
message(STATUS "${report}${err}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the glTF validator found errors or warnings")
endif()

# A failed import writes no file.
file(WRITE ${WORK}/not-a-model.mdl "RAPO, not a model")
execute_process(COMMAND ${MDLHOST} ${WORK}/not-a-model.mdl --export ${WORK}/failed RESULT_VARIABLE status
                OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 1 OR EXISTS ${WORK}/failed)
  message(FATAL_ERROR "a failed import exported something (exit ${status})")
endif()
