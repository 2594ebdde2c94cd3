cmake_minimum_required(VERSION 3.25)
# The release archive a user installs from: the DLL without its debugging
# information (kept beside the archive, linked by name and checksum), what
# to do with it, and checksums. Run by the windows tree's release_archive
# target with DLL, VERSION, SOURCE_DIR, OUT_DIR, OBJCOPY and STRIP.
set(name mdlimport-${VERSION}-win32)
set(stage ${OUT_DIR}/${name})
set(debug ${OUT_DIR}/${name}.dll.debug)
file(REMOVE_RECURSE ${stage} ${OUT_DIR}/${name}.zip ${debug})
file(MAKE_DIRECTORY ${stage})

# Stripping stamps the PE header with the time; a fixed one makes the same
# DLL strip to the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} 0)
endif()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}")
  endif()
endfunction()

run(${OBJCOPY} --only-keep-debug ${DLL} ${debug})
run(${STRIP} --strip-all -o ${stage}/mdlimport.dll ${DLL})
run(${OBJCOPY} --add-gnu-debuglink=${debug} ${stage}/mdlimport.dll)
configure_file(${SOURCE_DIR}/packaging/INSTALL.txt.in ${stage}/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)

set(sums "")
foreach(file mdlimport.dll INSTALL.txt)
  file(SHA256 ${stage}/${file} hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE ${stage}/SHA256SUMS "${sums}")

execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ../${name}.zip --format=zip "--mtime=1980-01-01 00:00:00 UTC"
                        mdlimport.dll INSTALL.txt SHA256SUMS
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot write ${name}.zip")
endif()
message(STATUS "wrote ${OUT_DIR}/${name}.zip and ${name}.dll.debug")
