# The Windows test tree: the host's main library, the Win32 host and the
# tests, around the DLL built as released in a tree of its own.

# The test programs reach the plug-in through its DLL only.
set_target_properties(mdlcore PROPERTIES EXCLUDE_FROM_ALL ON)

set_target_properties(Tovra_Main PROPERTIES PREFIX "" OUTPUT_NAME Tovra_Main)
target_sources(Tovra_Main PRIVATE host/tovra_main/tovra_main.def)
target_link_options(Tovra_Main PRIVATE -static)

# The DLL's tree (build/windows/dll), configured and built with every build
# of this one; the DLL is copied beside the programs that load it.
include(ExternalProject)
set(MDL_DLL_TREE ${CMAKE_BINARY_DIR}/dll)
set(MDL_DLL ${CMAKE_BINARY_DIR}/bin/mdlimport.dll)
ExternalProject_Add(mdlimport_dll
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${MDL_DLL_TREE}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-i686-dll.cmake
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DMDL_DLL_ONLY=ON --no-warn-unused-cli
  INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MDL_DLL_TREE}/bin/mdlimport.dll ${MDL_DLL}
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${MDL_DLL})

# The Windows reference host: a real window, real message boxes.
# The host library's SHA-256 is the system's.
target_link_libraries(hostlib PUBLIC advapi32)

add_library(win32hostlib STATIC host/win32host/win32_host.cpp)
mdl_target(win32hostlib)
target_include_directories(win32hostlib PUBLIC host/win32host)
target_link_libraries(win32hostlib PUBLIC hostlib Tovra_Main user32)

# Programs run under Wine; ctest and test discovery go through this wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)

# The converter: mdlhost's own program, with host_windows.cpp in place of
# host_linux.cpp. It reads its command line as UTF-16 (wmain).
add_executable(mdlhost ${MDL_CONVERTER_SOURCES} host/mdlhost/host_windows.cpp)
mdl_target(mdlhost)
target_include_directories(mdlhost SYSTEM PRIVATE ${MDL_SYSTEM_HEADERS})
target_link_libraries(mdlhost PRIVATE converterinputs win32hostlib gallery sceneexport pakreader shell32)
target_link_options(mdlhost PRIVATE -static -municode)
add_dependencies(mdlhost mdlimport_dll)

# Its release archive (scripts/package.sh), beside the plug-in's, with the
# plug-in's DLL as that archive holds it.
add_custom_target(converter_archive ALL
  COMMAND ${CMAKE_COMMAND} -DCONVERTER=$<TARGET_FILE:mdlhost> -DTOVRA_MAIN=$<TARGET_FILE:Tovra_Main>
          -DPLUGIN_STAGE=${MDL_DLL_TREE}/dist/mdlimport-${PROJECT_VERSION}-win32 -DNOTICES=${MDL_GALLERY_NOTICES}
          -DVERSION=${PROJECT_VERSION}
          -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUT_DIR=${CMAKE_BINARY_DIR}/dist -DSTRIP=i686-w64-mingw32-strip
          -P ${PROJECT_SOURCE_DIR}/cmake/package_converter.cmake
  DEPENDS mdlhost Tovra_Main mdlimport_dll ${PROJECT_SOURCE_DIR}/cmake/package_converter.cmake
          ${PROJECT_SOURCE_DIR}/packaging/CONVERTER.txt.in ${MDL_GALLERY_NOTICES}
  COMMENT "Converter's release archive")

add_executable(win32host host/win32host/main.cpp)
mdl_target(win32host)
target_link_libraries(win32host PRIVATE win32hostlib)
target_link_options(win32host PRIVATE -static)
add_dependencies(win32host mdlimport_dll)

if(MDL_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()
