# Quorel32.dll: exported under the plain names (stdcall on 32-bit x86), with a .def file
# and a MinGW import library for hosts that link it, the C++ runtime linked in so the
# DLL needs system DLLs only, and a version resource.
include(${CMAKE_CURRENT_LIST_DIR}/exports.cmake)

set(QUOREL_HEADER ${CMAKE_CURRENT_SOURCE_DIR}/include/Quorel32.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUOREL_HEADER})
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QUOREL_DECORATED ON)
else()
  set(QUOREL_DECORATED OFF)
endif()
set(QUOREL_DEF_FILE ${CMAKE_CURRENT_BINARY_DIR}/Quorel32.def)
quorel_write_def(${QUOREL_HEADER} ${QUOREL_DEF_FILE} ${QUOREL_DECORATED})

string(TIMESTAMP QUOREL_YEAR "%Y")
configure_file(${CMAKE_CURRENT_LIST_DIR}/Quorel32.rc.in ${CMAKE_CURRENT_BINARY_DIR}/Quorel32.rc
  @ONLY)
target_sources(Quorel32 PRIVATE ${QUOREL_DEF_FILE} ${CMAKE_CURRENT_BINARY_DIR}/Quorel32.rc)

set_target_properties(Quorel32 PROPERTIES
  PREFIX ""
  IMPORT_PREFIX "lib"
  IMPORT_SUFFIX ".dll.a")
target_link_options(Quorel32 PRIVATE -static $<$<BOOL:${QUOREL_DECORATED}>:-Wl,--kill-at>)
if(QUOREL_DECORATED)
  # The linker's import library would lose the decoration along with the export table;
  # callers compiled from the header refer to "_Name@N". dlltool -k keeps that symbol and
  # imports it under the plain name.
  add_custom_command(TARGET Quorel32 POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -d ${QUOREL_DEF_FILE} -D Quorel32.dll -k
            -l $<TARGET_LINKER_FILE:Quorel32>
    VERBATIM)
endif()

install(FILES ${QUOREL_DEF_FILE} DESTINATION ${CMAKE_INSTALL_LIBDIR})
