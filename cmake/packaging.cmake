# The Debian package: `cmake --build BUILD --target package` (or `cpack -G DEB`
# in BUILD) makes dunmarrow_<version>_<arch>.deb, installed under /usr.
# Packages are made from Release builds only: a sanitizer or Debug build
# depends on the sanitizer runtimes and is slow, so cpack refuses such a tree
# unless DMW_PACKAGE_ANY_BUILD is set on its command line (the package test
# does this, nobody who ships should).

find_program(DMW_GZIP gzip REQUIRED)

# Man pages, gzipped as Debian keeps them (-n: no name or time stamp inside,
# so the package is the same from build to build).
set(dmw_man_pages dmwagent jetutil ocilite)
if(TARGET dmwwiz)
  list(APPEND dmw_man_pages dmwwiz)
endif()
set(dmw_man_gz)
foreach(page ${dmw_man_pages})
  set(source ${CMAKE_SOURCE_DIR}/man/${page}.1)
  set(gz ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${DMW_GZIP} -9 -n -c ${source} > ${gz}
    DEPENDS ${source} VERBATIM)
  list(APPEND dmw_man_gz ${gz})
endforeach()
add_custom_target(dmw_man_pages ALL DEPENDS ${dmw_man_gz})
install(FILES ${dmw_man_gz} DESTINATION share/man/man1)

if(TARGET dmwwiz)
  install(FILES ${CMAKE_SOURCE_DIR}/GUI2/dunmarrow-dmwwiz.desktop DESTINATION share/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/GUI2/images/icon.svg
          DESTINATION share/icons/hicolor/scalable/apps RENAME dunmarrow-dmwwiz.svg)
endif()

# What kind of build this is, for the refusal in dmw_cpack_options.cmake.
set(dmw_build_faults)
if(DMW_SANITIZE)
  list(APPEND dmw_build_faults "DMW_SANITIZE=ON")
endif()
if(DMW_TSAN)
  list(APPEND dmw_build_faults "DMW_TSAN=ON")
endif()
if(DMW_FUZZ)
  list(APPEND dmw_build_faults "DMW_FUZZ=ON")
endif()
if(NOT CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  list(APPEND dmw_build_faults "CMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}")
endif()
string(REPLACE ";" ", " DMW_PACKAGE_BUILD_FAULTS "${dmw_build_faults}")
if(DMW_PACKAGE_BUILD_FAULTS)
  message(STATUS "Not a release build (${DMW_PACKAGE_BUILD_FAULTS}): cpack will refuse to package it")
endif()

set(DMW_PACKAGE_MAINTAINER "Kestrova Dunmarrow team <dunmarrow@kestrova.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dunmarrow)
set(CPACK_PACKAGE_VENDOR Kestrova)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert an Oracle schema into a Microsoft Access database file")
# CPack puts the summary first and indents these lines; an empty line
# separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Dunmarrow reads the tables, columns, defaults, primary keys, indexes and rows
of the current user's Oracle schema through the Oracle Call Interface and
writes them into an Access 95/97 (Jet 3) or Access 2000 (Jet 4) .mdb file with
its own database engine; neither Windows nor Access is needed.

The package holds the command-line agent dmwagent, the Qt wizard dmwwiz,
jetutil (dumps and checks .mdb files), and ocilite with libocilite.so, an
Oracle client over SQLite for trying the agent without an Oracle database.
The Oracle client itself (Instant Client) is not part of it.")
set(CPACK_DEBIAN_PACKAGE_NAME dunmarrow)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DMW_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Checked when cpack runs, so that an existing tree cannot slip past it.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/dmw_cpack_options.cmake)
file(WRITE ${CMAKE_BINARY_DIR}/dmw_cpack_options.cmake
"set(dmw_faults \"${DMW_PACKAGE_BUILD_FAULTS}\")
if(dmw_faults AND NOT DMW_PACKAGE_ANY_BUILD)
  message(FATAL_ERROR \"This build tree is not a release build (\${dmw_faults}); \"
    \"packages are made from a Release build: \"
    \"cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DDMW_TESTS=OFF && \"
    \"cmake --build build-release --target package\")
endif()
")

if(NOT EXISTS /usr/bin/dpkg-shlibdeps)
  message(STATUS "dpkg-shlibdeps not found (Debian: dpkg-dev): the package target will fail")
endif()

include(CPack)
