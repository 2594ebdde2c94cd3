cmake_minimum_required(VERSION 3.25)
# The converter's release archive: mdlhost.exe, the plug-in's DLL exactly as
# the plug-in's archive holds it, the stand-in for the host's main library,
# what to do with them, the licences of the gallery's viewer that mdlhost.exe
# carries (NOTICES), and checksums. Run by the windows tree's
# converter_archive target with CONVERTER, TOVRA_MAIN, PLUGIN_STAGE, NOTICES,
# VERSION, SOURCE_DIR, OUT_DIR and STRIP.
set(name mdlimport-${VERSION}-win32-converter)
set(stage ${OUT_DIR}/${name})
file(REMOVE_RECURSE ${stage} ${OUT_DIR}/${name}.zip)
file(MAKE_DIRECTORY ${stage})
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} 0)
endif()

foreach(program ${CONVERTER} ${TOVRA_MAIN})
  get_filename_component(file ${program} NAME)
  execute_process(COMMAND ${STRIP} --strip-all -o ${stage}/${file} ${program} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot strip ${program}")
  endif()
endforeach()
file(COPY ${PLUGIN_STAGE}/mdlimport.dll DESTINATION ${stage})
configure_file(${SOURCE_DIR}/packaging/CONVERTER.txt.in ${stage}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${NOTICES} ${stage}/THIRD-PARTY-NOTICES.txt COPYONLY)

set(files mdlhost.exe mdlimport.dll Tovra_Main.dll README.txt THIRD-PARTY-NOTICES.txt)
set(sums "")
foreach(file ${files})
  file(SHA256 ${stage}/${file} hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE ${stage}/SHA256SUMS "${sums}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ../${name}.zip --format=zip "--mtime=1980-01-01 00:00:00 UTC"
                        ${files} SHA256SUMS
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot write ${name}.zip")
endif()
message(STATUS "wrote ${OUT_DIR}/${name}.zip")
