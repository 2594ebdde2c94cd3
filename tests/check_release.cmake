cmake_minimum_required(VERSION 3.25)
# Both release archives as a user unpacks them. The plug-in's: exactly the
# DLL, INSTALL.txt and SHA256SUMS, checksums that hold, the DLL the Wine
# tests ran (the same bytes once both are stripped), and its export and
# import tables exact. The converter's: the converter the tests ran, the
# plug-in archive's DLL byte for byte, the stand-in for the host's main
# library, README.txt, the viewer's licences and SHA256SUMS; the gallery's
# files inside mdlhost.exe.
include(${CMAKE_CURRENT_LIST_DIR}/script_helpers.cmake)
file(REMOVE_RECURSE ${WORK})

# Unpacks an archive into folder, which must then hold exactly the files
# listed (sorted) and SHA256SUMS, whose checksums hold.
function(unpack archive folder)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${archive} WORKING_DIRECTORY ${folder} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot unpack ${archive}")
  endif()
  file(GLOB_RECURSE files RELATIVE ${folder} ${folder}/*)
  list(SORT files)
  if(NOT "${files}" STREQUAL "${ARGN}")
    message(FATAL_ERROR "${archive} holds [${files}]")
  endif()
  file(STRINGS ${folder}/SHA256SUMS sums)
  list(LENGTH sums count)
  list(LENGTH ARGN expected)
  math(EXPR expected "${expected} - 1")
  if(NOT count EQUAL expected)
    message(FATAL_ERROR "${archive}: SHA256SUMS has ${count} lines")
  endif()
  foreach(line IN LISTS sums)
    if(NOT line MATCHES "^([0-9a-f]+)  (.+)$")
      message(FATAL_ERROR "SHA256SUMS: ${line}")
    endif()
    file(SHA256 ${folder}/${CMAKE_MATCH_2} actual)
    if(NOT actual STREQUAL CMAKE_MATCH_1)
      message(FATAL_ERROR "${archive}: the checksum of ${CMAKE_MATCH_2} does not hold")
    endif()
  endforeach()
endfunction()

unpack(${ARCHIVE} ${WORK}/unpacked INSTALL.txt SHA256SUMS mdlimport.dll)

# INSTALL.txt names this build and the debugging file published beside the
# archive.
file(READ ${WORK}/unpacked/INSTALL.txt install)
if(NOT install MATCHES "^mdlimport ${VERSION} ")
  message(FATAL_ERROR "INSTALL.txt does not name version ${VERSION} first")
endif()
if(NOT install MATCHES "(mdlimport-[^ \r\n]*\\.dll\\.debug)")
  message(FATAL_ERROR "INSTALL.txt names no debugging file")
endif()
get_filename_component(published ${ARCHIVE} DIRECTORY)
if(NOT EXISTS ${published}/${CMAKE_MATCH_1})
  message(FATAL_ERROR "INSTALL.txt names ${CMAKE_MATCH_1}, which is not beside the archive")
endif()

execute_process(COMMAND ${OBJDUMP} -h ${WORK}/unpacked/mdlimport.dll OUTPUT_VARIABLE sections)
if(sections MATCHES "\\.debug_")
  message(FATAL_ERROR "the packaged DLL carries debugging information")
endif()

# A packaged program is the tested one when both strip to the same bytes.
set(ENV{SOURCE_DATE_EPOCH} 0)
function(same_when_stripped tested packaged)
  foreach(pair tested:${tested} packaged:${packaged})
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 label)
    list(GET pair 1 path)
    execute_process(COMMAND ${STRIP} --strip-all --remove-section=.gnu_debuglink -o ${WORK}/${label} ${path}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "cannot strip ${path}")
    endif()
  endforeach()
  same_files(${WORK}/tested ${WORK}/packaged "the packaged ${packaged} is not the one the tests ran")
endfunction()
same_when_stripped(${TESTED_DLL} ${WORK}/unpacked/mdlimport.dll)

unpack(${CONVERTER_ARCHIVE} ${WORK}/converter README.txt SHA256SUMS THIRD-PARTY-NOTICES.txt Tovra_Main.dll mdlhost.exe
       mdlimport.dll)
same_when_stripped(${TESTED_CONVERTER} ${WORK}/converter/mdlhost.exe)
same_files(${WORK}/unpacked/mdlimport.dll ${WORK}/converter/mdlimport.dll
           "the converter's mdlimport.dll is not the plug-in archive's")
file(READ ${WORK}/converter/README.txt readme)
string(REGEX REPLACE "[\r\n ]+" " " readme "${readme}")
if(NOT readme MATCHES "Never copy it into the host application's folder")
  message(FATAL_ERROR "the converter's README.txt does not warn against copying Tovra_Main.dll to the host")
endif()

# The gallery's files travel in mdlhost.exe, each byte for byte, and the
# viewer's licences beside it.
file(READ ${WORK}/converter/mdlhost.exe program HEX)
foreach(carried ${GALLERY_FILES})
  file(READ ${carried} bytes HEX)
  string(FIND "${program}" "${bytes}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the converter's mdlhost.exe does not carry ${carried}")
  endif()
endforeach()
same_files(${WORK}/converter/THIRD-PARTY-NOTICES.txt ${GALLERY_NOTICES}
           "the converter's THIRD-PARTY-NOTICES.txt is not the viewer's licences")

set(DLL ${WORK}/unpacked/mdlimport.dll)
include(${CMAKE_CURRENT_LIST_DIR}/check_exports.cmake)
