# `cpack -G ZIP` in a Windows build makes tarnu-<version>-win32.zip or -win64.zip: the
# engine DLL beside the calculator in bin, the header, the import library and the .def
# file, and a short text on embedding.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TARNU_WINDOWS_FLAVOUR win32)
else()
  set(TARNU_WINDOWS_FLAVOUR win64)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/cmake/EMBEDDING.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tarnu)
set(CPACK_PACKAGE_VENDOR "Tarnu")
set(CPACK_PACKAGE_FILE_NAME tarnu-${PROJECT_VERSION}-${TARNU_WINDOWS_FLAVOUR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
