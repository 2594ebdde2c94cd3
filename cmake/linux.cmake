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
# Compressed, as Debian keeps manual pages.
configure_file(packaging/linux/mdlhost.1.in ${CMAKE_BINARY_DIR}/man/mdlhost.1 @ONLY)
file(ARCHIVE_CREATE OUTPUT ${CMAKE_BINARY_DIR}/man/mdlhost.1.gz PATHS ${CMAKE_BINARY_DIR}/man/mdlhost.1 FORMAT raw
     COMPRESSION GZip COMPRESSION_LEVEL 9 MTIME 0)
install(FILES ${CMAKE_BINARY_DIR}/man/mdlhost.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mdlhost)
set(CPACK_PACKAGE_VENDOR "The mdlhost developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Quake model importer and converter to glTF and OBJ, with a gallery")
set(CPACK_PACKAGE_DESCRIPTION "mdlhost imports Quake alias models (.mdl) through the import plug-in, reports \
what the host received, and converts models, folders and .pak archives to glTF and OBJ, with a thumbnail of \
each and a gallery page that a browser opens from disk. File managers show Quake models as pictures, and \
Open With converts them.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The mdlhost developers <mdlhost@invalid>")
# The dependencies read off the binaries; the private libraries are the package's own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tumbler")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
