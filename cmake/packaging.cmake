# Debian packages (`cpack -G DEB` in the build folder):
#   tarnucalc        the calculator, its engine helper, desktop entry and icon
#   libquorel32-8    the engine library
#   libquorel32-dev  header, CMake package and pkg-config file
set(CPACK_PACKAGE_NAME tarnu)
set(CPACK_PACKAGE_VENDOR "Tarnu")
set(CPACK_PACKAGE_CONTACT "Tarnu developers <tarnu@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Library Development)
if(TARGET tarnucalc AND TARGET tarnu_ui)
  list(APPEND CPACK_COMPONENTS_ALL Calculator)
endif()
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(_quorel_package libquorel32-${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${_quorel_package})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION
    "Quorel32 formula engine\n Compiles formula text and evaluates it in the real, integer and complex domains.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libquorel32-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Library)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "Quorel32 formula engine: development files\n C header, C++ header, CMake package and pkg-config file.")

set(CPACK_DEBIAN_CALCULATOR_PACKAGE_NAME tarnucalc)
# The program loads the engine at run time, so the library is not seen by shlibdeps.
set(CPACK_COMPONENT_CALCULATOR_DEPENDS Library)
set(CPACK_DEBIAN_CALCULATOR_PACKAGE_DEPENDS qt6-translations-l10n)
set(CPACK_DEBIAN_CALCULATOR_PACKAGE_RECOMMENDS "fonts-wqy-zenhei | fonts-noto-cjk")
set(CPACK_COMPONENT_CALCULATOR_DESCRIPTION
    "Tarnu expression calculator\n A desktop calculator with a Chinese interface: type an expression and press\n Enter; history, formulas, a keypad window and themes.")

include(CPack)
