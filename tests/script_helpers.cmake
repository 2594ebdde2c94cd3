# What the script tests share: a run's output checked for a text, and files
# and folders compared byte for byte.

# Fails unless the last run's output (out) holds text.
function(expect text)
  string(FIND "${out}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing from the output: ${text}\n--- output:\n${out}")
  endif()
endfunction()

# Fails with the message unless files a and b hold the same bytes.
function(same_files a b message)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${a} ${b} RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${message}")
  endif()
endfunction()

# Fails unless folders a and b hold the same files with the same bytes.
function(same_folders a b)
  file(GLOB_RECURSE files RELATIVE ${a} ${a}/*)
  file(GLOB_RECURSE others RELATIVE ${b} ${b}/*)
  if(NOT files OR NOT files STREQUAL others)
    message(FATAL_ERROR "${a} holds '${files}', ${b} holds '${others}'")
  endif()
  foreach(name ${files})
    same_files(${a}/${name} ${b}/${name} "${a}/${name} differs from ${b}/${name}")
  endforeach()
endfunction()
