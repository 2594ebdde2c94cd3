# The Linux tree: the stand-in for the Windows calls, the plug-in module, the
# reference host and the tests.

# libuser32.so: SendMessageA and MessageBoxA, as the plug-in links on Windows.
add_library(user32 SHARED host/winstub/winstub.cpp)
mdl_target(user32)
target_include_directories(user32 PUBLIC host/winstub)
target_include_directories(mdlcore PUBLIC host/winstub)

add_library(mdlimport SHARED $<TARGET_OBJECTS:mdlcore> $<TARGET_OBJECTS:mdlpalette>)
target_link_libraries(mdlimport PRIVATE user32 Tovra_Main)
target_link_options(mdlimport PRIVATE -Wl,--no-undefined)
set_target_properties(mdlimport PROPERTIES BUILD_RPATH "$ORIGIN")

find_library(NETTLE_LIBRARY nettle REQUIRED)

# The host library on Linux: the stand-in's window calls, nettle's SHA-256.
target_include_directories(hostlib PUBLIC host/winstub)
target_link_libraries(hostlib PUBLIC ${NETTLE_LIBRARY})

add_library(recorder STATIC host/recorder/recording_host.cpp)
mdl_target(recorder)
target_include_directories(recorder PUBLIC host/recorder)
target_link_libraries(recorder PUBLIC hostlib user32)

set(MDL_SAMPLE ${PROJECT_SOURCE_DIR}/sample/column.mdl)

# The reference host and converter; host_linux.cpp is all it has of Linux.
add_executable(mdlhost ${MDL_CONVERTER_SOURCES} host/mdlhost/host_linux.cpp)
mdl_target(mdlhost)
target_include_directories(mdlhost SYSTEM PRIVATE ${MDL_SYSTEM_HEADERS})
target_compile_definitions(mdlhost PRIVATE MDL_SAMPLE_PATH="${MDL_SAMPLE}")
target_link_libraries(mdlhost PRIVATE converterinputs recorder gallery sceneexport pakreader Tovra_Main ${CMAKE_DL_LIBS})
add_dependencies(mdlhost mdlimport)
set_target_properties(mdlhost PROPERTIES BUILD_RPATH "$ORIGIN")

add_executable(make_sample tools/make_sample.cpp)
mdl_target(make_sample)
target_include_directories(make_sample PRIVATE tools/mdlwriter)

# Models with glowing texels, for looking at how they are drawn.
add_executable(make_fullbright_models tools/make_fullbright_models.cpp)
mdl_target(make_fullbright_models)
target_include_directories(make_fullbright_models PRIVATE tools/mdlwriter)

add_executable(make_pak tools/make_pak.cpp)
mdl_target(make_pak)
target_include_directories(make_pak PRIVATE tools/mdlwriter)

if(MDL_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()

# The import benchmark (scripts/bench.sh); not part of the tests.
option(MDL_BENCH "Build the import benchmark" OFF)
if(MDL_BENCH)
  find_package(benchmark REQUIRED)
  add_executable(import_bench bench/import_bench.cpp)
  mdl_target(import_bench)
  target_include_directories(import_bench PRIVATE bench tools/mdlwriter)
  target_compile_definitions(import_bench PRIVATE MDL_SAMPLE_PATH="${MDL_SAMPLE}")
  target_link_libraries(import_bench PRIVATE mdlcore user32 sceneexport benchmark::benchmark)
endif()

# The install (cmake --install build/linux --prefix P) and the Debian package
# (cpack, which scripts/package.sh runs): the program, the plug-in and the
# libraries it loads in a folder of their own that the program finds from
# where it lies, the sample, the MIME type of Quake models, the thumbnailer
# and the Open With entry, and the manual page.
include(GNUInstallDirs)
set(MDL_PRIVATE_LIBDIR lib/mdlhost)
set_target_properties(mdlhost PROPERTIES INSTALL_RPATH "$ORIGIN/../${MDL_PRIVATE_LIBDIR}")
set_target_properties(mdlimport user32 Tovra_Main PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS mdlhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS mdlimport user32 Tovra_Main LIBRARY DESTINATION ${MDL_PRIVATE_LIBDIR} NAMELINK_SKIP)
install(FILES ${MDL_SAMPLE} DESTINATION ${CMAKE_INSTALL_DATADIR}/mdlhost)
install(FILES packaging/linux/mdlhost-quake-model.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME mdlhost.xml)
install(FILES packaging/linux/mdlhost.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES packaging/linux/mdlhost.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The package's maintainer, in its control file, its changelog and its
# copyright file. A reserved domain: the project has no mail of its own.
set(MDL_MAINTAINER "The mdlhost developers <mdlhost@mdlimport.invalid>" CACHE STRING
    "The Debian package's maintainer, as Name <address>")
# The time every file of the package bears and its changelog's date: the
# environment's SOURCE_DATE_EPOCH, else the last commit's, so that two
# builds of one commit give the same package.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(MDL_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE MDL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT MDL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    set(MDL_SOURCE_DATE_EPOCH 0)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${MDL_SOURCE_DATE_EPOCH})
endif()
string(TIMESTAMP MDL_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

# gzip -9n: compressed as Debian keeps manual pages and changelogs, with no
# time in the header.
function(mdl_gzip input output)
  execute_process(COMMAND gzip -9n -c ${input} OUTPUT_FILE ${output} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${input} failed")
  endif()
endfunction()
configure_file(packaging/linux/mdlhost.1.in ${CMAKE_BINARY_DIR}/man/mdlhost.1 @ONLY)
mdl_gzip(${CMAKE_BINARY_DIR}/man/mdlhost.1 ${CMAKE_BINARY_DIR}/man/mdlhost.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/man/mdlhost.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The package's own documentation: what it carries under which licence, and
# its changelog.
set(MDL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/mdlhost)
configure_file(packaging/linux/copyright.in ${CMAKE_BINARY_DIR}/doc/copyright @ONLY)
configure_file(packaging/linux/changelog.in ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
mdl_gzip(${CMAKE_BINARY_DIR}/doc/changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${MDL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mdlhost)
set(CPACK_PACKAGE_VENDOR "The mdlhost developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Quake model importer and converter to glTF and OBJ, with a gallery")
# Lines of at most 80 characters, as the control file wants them.
set(CPACK_PACKAGE_DESCRIPTION "mdlhost imports Quake alias models (.mdl) through the import plug-in,
reports what the host received, and converts models, folders and .pak
archives to glTF and OBJ, with a thumbnail of each and a gallery page that a
browser opens from disk. File managers show Quake models as pictures, and
Open With converts them.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MDL_MAINTAINER}")
# The dependencies read off the binaries; the private libraries are the package's own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# No maintainer scripts: cpack would write an ldconfig call for any library
# under /usr/lib, but ours are private to the program, in a folder of its
# own. Naming scripts that do not exist keeps cpack from writing its own.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/no-maintainer-scripts/postinst
    ${CMAKE_BINARY_DIR}/no-maintainer-scripts/postrm)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tumbler")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_MDL_SOURCE_DATE_EPOCH ${MDL_SOURCE_DATE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_project.cmake)
include(CPack)
