# Flags that keep the deliverables tiny and free of anything but Windows' own DLLs.
set(DELIVERABLE_COMPILE_OPTIONS
  -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
  -fno-threadsafe-statics -fno-stack-protector -fno-ident -ffunction-sections -fdata-sections
  -fexec-charset=GBK -fno-tree-loop-distribute-patterns -Wall -Wextra)
set(DELIVERABLE_LINK_OPTIONS
  -nostdlib -nostartfiles -mwindows -s -Wl,--gc-sections -Wl,--no-insert-timestamp -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-seh
  -Wl,-e,_ProcessEntry -Wl,--build-id=none -Wl,--file-alignment,512 -Wl,--enable-stdcall-fixup)

# use_deliverable_build(NAME libs...): compiles and links the program NAME as
# every deliverable is, on the frame and without the C runtime. Also for the
# test programs that must behave as the deliverables do.
function(use_deliverable_build name)
  target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:${DELIVERABLE_COMPILE_OPTIONS}>)
  target_link_options(${name} PRIVATE ${DELIVERABLE_LINK_OPTIONS})
  target_link_libraries(${name} PRIVATE frame_win ${ARGN} kernel32 user32 gcc)
endfunction()

# add_deliverable(NAME sources... LIBS libs... RC file)
function(add_deliverable name)
  cmake_parse_arguments(D "" "RC" "SOURCES;LIBS;DEFINES" ${ARGN})
  add_executable(${name} WIN32 ${D_SOURCES} ${D_RC})
  target_compile_definitions(${name} PRIVATE ${D_DEFINES})
  use_deliverable_build(${name} ${D_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${DIST_DIR})
  set_property(GLOBAL APPEND PROPERTY DELIVERABLES ${name})
endfunction()

# deliverable_rc(NAME MANIFEST common-controls|administrator ICONS small|NAME FILE_TYPE 0|1
#                DESCRIPTION text [PRODUCT_VERSION v] [NO_ORIGINAL_FILENAME] [TRADEMARKS text])
# Writes the resource script of one program and returns its path in NAME_RC.
function(deliverable_rc name)
  cmake_parse_arguments(R "NO_ORIGINAL_FILENAME" "MANIFEST;ICONS;FILE_TYPE;DESCRIPTION;PRODUCT_VERSION;TRADEMARKS" "" ${ARGN})
  set(NAME ${name})
  set(MANIFEST ${CMAKE_SOURCE_DIR}/resources/${R_MANIFEST}.manifest)
  set(ICON ${CMAKE_SOURCE_DIR}/resources/icons/${R_ICONS}.ico)
  set(FILE_TYPE ${R_FILE_TYPE})
  set(FILE_DESCRIPTION ${R_DESCRIPTION})
  set(PRODUCT_VERSION 3.0.0.0)
  if(R_PRODUCT_VERSION)
    set(PRODUCT_VERSION ${R_PRODUCT_VERSION})
  endif()
  set(EXTRA_VALUES "")
  if(R_TRADEMARKS)
    string(APPEND EXTRA_VALUES "      VALUE \"LegalTrademarks\", \"${R_TRADEMARKS}\"\n")
  endif()
  if(NOT R_NO_ORIGINAL_FILENAME)
    string(APPEND EXTRA_VALUES "      VALUE \"OriginalFilename\", \"${name}.exe\"\n")
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/resources/deliverable.rc.in ${CMAKE_BINARY_DIR}/resources/${name}.rc @ONLY)
  # windres reads these too; without this a new icon would not rebuild the program.
  set_source_files_properties(${CMAKE_BINARY_DIR}/resources/${name}.rc PROPERTIES OBJECT_DEPENDS "${MANIFEST};${ICON}")
  set(${name}_RC ${CMAKE_BINARY_DIR}/resources/${name}.rc PARENT_SCOPE)
endfunction()
