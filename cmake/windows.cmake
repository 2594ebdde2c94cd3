# The Windows DLL as the host loads it.

# Exports by undecorated name with fixed ordinals, C calling convention.
# Linked statically, so it needs only system DLLs and Tovra_Main.dll.
set_target_properties(Tovra_Main PROPERTIES PREFIX "" OUTPUT_NAME Tovra_Main)
target_sources(Tovra_Main PRIVATE host/tovra_main/tovra_main.def)
target_link_options(Tovra_Main PRIVATE -static)

# The plug-in imports ScaleImage through an import library of its own, made
# from the one name it needs, whatever program provides Tovra_Main.dll.
set(MDL_TOVRA_IMPORT ${CMAKE_BINARY_DIR}/lib/libTovra_Main_import.a)
add_custom_command(
  OUTPUT ${MDL_TOVRA_IMPORT}
  COMMAND i686-w64-mingw32-dlltool -d ${PROJECT_SOURCE_DIR}/plugin/tovra_main_import.def -l ${MDL_TOVRA_IMPORT}
  DEPENDS ${PROJECT_SOURCE_DIR}/plugin/tovra_main_import.def
  COMMENT "Import library for Tovra_Main.dll")
add_custom_target(tovra_import DEPENDS ${MDL_TOVRA_IMPORT})

# The version resource, from the version in project().
enable_language(RC)
configure_file(plugin/version.rc.in ${CMAKE_BINARY_DIR}/version.rc @ONLY)

add_library(mdlimport SHARED plugin/dllmain.cpp plugin/mdlimport.def ${CMAKE_BINARY_DIR}/version.rc)
mdl_target(mdlimport)
set_target_properties(mdlimport PROPERTIES PREFIX "" OUTPUT_NAME mdlimport)
add_dependencies(mdlimport tovra_import)
target_link_libraries(mdlimport PRIVATE -Wl,--whole-archive mdlcore -Wl,--no-whole-archive user32 ${MDL_TOVRA_IMPORT})
target_link_options(mdlimport PRIVATE -static)
# Debugging information for the file kept beside the release archive.
target_compile_options(mdlimport PRIVATE -g)
target_compile_options(mdlcore PRIVATE -g)

# The release archive (scripts/package.sh): dist/ of this tree.
add_custom_target(release_archive ALL
  COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:mdlimport> -DVERSION=${PROJECT_VERSION} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DOUT_DIR=${CMAKE_BINARY_DIR}/dist -DOBJCOPY=i686-w64-mingw32-objcopy -DSTRIP=i686-w64-mingw32-strip
          -P ${PROJECT_SOURCE_DIR}/cmake/package.cmake
  DEPENDS mdlimport ${PROJECT_SOURCE_DIR}/cmake/package.cmake ${PROJECT_SOURCE_DIR}/packaging/INSTALL.txt.in
  COMMENT "Release archive")

# The Windows reference host: a real window, real message boxes.
add_library(hostlib STATIC host/lib/capture.cpp host/lib/received_model.cpp host/lib/png.cpp
  host/lib/json_dump.cpp host/lib/text_report.cpp host/lib/sha256_win.cpp)
mdl_target(hostlib)
target_include_directories(hostlib PUBLIC host/lib ${PROJECT_SOURCE_DIR})
target_include_directories(hostlib SYSTEM PRIVATE ${MDL_SYSTEM_HEADERS})
target_link_libraries(hostlib PUBLIC advapi32)

add_library(win32hostlib STATIC host/win32host/win32_host.cpp)
mdl_target(win32hostlib)
target_include_directories(win32hostlib PUBLIC host/win32host)
target_link_libraries(win32hostlib PUBLIC hostlib Tovra_Main user32)

# Programs run under Wine; ctest and test discovery go through this wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)

add_executable(win32host host/win32host/main.cpp)
mdl_target(win32host)
target_link_libraries(win32host PRIVATE win32hostlib)
target_link_options(win32host PRIVATE -static)
add_dependencies(win32host mdlimport)

if(MDL_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()
