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

add_library(mdlimport SHARED plugin/dllmain.cpp plugin/mdlimport.def)
mdl_target(mdlimport)
set_target_properties(mdlimport PROPERTIES PREFIX "" OUTPUT_NAME mdlimport)
add_dependencies(mdlimport tovra_import)
target_link_libraries(mdlimport PRIVATE -Wl,--whole-archive mdlcore -Wl,--no-whole-archive user32 ${MDL_TOVRA_IMPORT})
target_link_options(mdlimport PRIVATE -static)

if(MDL_TESTS)
  enable_testing()
  add_test(NAME dll_export_table
           COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:mdlimport> -P ${PROJECT_SOURCE_DIR}/tests/check_exports.cmake)
endif()
