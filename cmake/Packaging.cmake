# The Debian package: the program as a self-contained folder under /opt (it
# reads its configuration files from its own folder), a launcher, a menu entry
# with its icon, and the documentation Debian asks for. scripts/package.sh
# builds it; tests/packaging checks what it holds.
#
# Install destinations are relative to the packaging prefix "/", so that the
# package puts the program in /opt/tarvell/bin whatever CMAKE_INSTALL_PREFIX a
# plain "cmake --install" would use.

set(TARVELL_PROGRAM_FOLDER opt/tarvell/bin)
set(TARVELL_PACKAGE_MAINTAINER "Tarvell Price Batch maintainers <maintainers@tarvell.example>"
    CACHE STRING "Maintainer field of the Debian package")

set(packaging_source ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_build ${PROJECT_BINARY_DIR}/packaging)

# Dated by SOURCE_DATE_EPOCH when it is set, so a rebuild can match.
string(TIMESTAMP TARVELL_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP TARVELL_PACKAGE_DAY "%Y-%m-%d" UTC)
configure_file(${packaging_source}/changelog.in ${packaging_build}/changelog @ONLY)
configure_file(${packaging_source}/tarvell.1 ${packaging_build}/tarvell.1 @ONLY)

# --- Files made at build time: icons rendered from the one drawing, and the
# --- compressed documents (no name or time stamp in the gzip header).
set(TARVELL_ICON_SIZES 16 22 24 32 48 64 128 256)
# Only the package needs it (scripts/install-deps.sh installs it), so a
# missing one fails the package build, not the configuration.
find_program(TARVELL_RSVG_CONVERT rsvg-convert)
if(NOT TARVELL_RSVG_CONVERT)
  set(TARVELL_RSVG_CONVERT rsvg-convert)
endif()

set(package_files)
foreach(size IN LISTS TARVELL_ICON_SIZES)
  set(icon ${packaging_build}/icons/${size}x${size}/tarvell.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_build}/icons/${size}x${size}
    COMMAND ${TARVELL_RSVG_CONVERT} --width=${size} --height=${size} --output=${icon} ${packaging_source}/tarvell.svg
    DEPENDS ${packaging_source}/tarvell.svg
    VERBATIM)
  list(APPEND package_files ${icon})
endforeach()

foreach(document changelog tarvell.1)
  add_custom_command(OUTPUT ${packaging_build}/${document}.gz
    COMMAND gzip -9 -n -f -k ${packaging_build}/${document}
    DEPENDS ${packaging_build}/${document}
    VERBATIM)
  list(APPEND package_files ${packaging_build}/${document}.gz)
endforeach()

# Part of every build, so that the package test can pack the tree under test
# without building anything in it.
add_custom_target(tarvell_package_files ALL DEPENDS ${package_files})

# The launcher on the PATH is a link: the program finds its folder, and the
# driver library through its $ORIGIN run path, from its real location.
file(CREATE_LINK /${TARVELL_PROGRAM_FOLDER}/Tarvell ${packaging_build}/tarvell SYMBOLIC)

# --- What goes where.
install(TARGETS Tarvell RUNTIME DESTINATION ${TARVELL_PROGRAM_FOLDER})
install(TARGETS dlfirebird LIBRARY DESTINATION ${TARVELL_PROGRAM_FOLDER}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# The driver library loads the client library the system provides, never one
# dropped beside the program.
set_target_properties(dlfirebird PROPERTIES INSTALL_RPATH "")
# Only the drivers file: the connections file is the site's own, and a file
# the package does not own is one dpkg never overwrites or deletes.
install(FILES ${packaging_source}/dldrivers.ini DESTINATION ${TARVELL_PROGRAM_FOLDER})

install(FILES ${packaging_build}/tarvell DESTINATION usr/bin)
install(FILES ${packaging_source}/tarvell.desktop DESTINATION usr/share/applications)
install(FILES ${packaging_source}/tarvell.svg DESTINATION usr/share/icons/hicolor/scalable/apps)
foreach(size IN LISTS TARVELL_ICON_SIZES)
  install(FILES ${packaging_build}/icons/${size}x${size}/tarvell.png
          DESTINATION usr/share/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${packaging_build}/tarvell.1.gz DESTINATION usr/share/man/man1)
install(FILES ${packaging_build}/changelog.gz
              ${packaging_source}/copyright
        DESTINATION usr/share/doc/tarvell)
# Commented examples of the connections file and of the program's own
# settings file; the program names their folder when it finds no
# connections file.
install(FILES ${packaging_source}/examples/dlconnections.ini
              ${packaging_source}/examples/Tarvell.conf
        DESTINATION ${TARVELL_EXAMPLES_FOLDER})
install(FILES ${packaging_source}/lintian-overrides
        DESTINATION usr/share/lintian/overrides RENAME tarvell)

# --- The package itself.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set the selling prices of a product sub-category")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Tarvell Price Batch is a desktop tool for a shop's back office. The
operator picks a product sub-category, loads its products into a grid,
computes six selling prices per product from the standard cost and the
sub-category's markup rates, and writes them back to the point-of-sale
database (Firebird), one product at a time.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVELL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries the program links come from dpkg-shlibdeps; the client
# library and the font are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfbclient2, fonts-arphic-uming")
# Opening a database file directly, with no server, needs the engine.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "firebird3.0-server-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging_source}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The package is packed from the tree under test as it stands: installed into
# a staging folder and packed, never built, since rebuilding the tree would
# race the tests running from it.
if(BUILD_TESTING)
  add_test(NAME package_contents
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/check-package.sh
            ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
  # Started first, beside the many short tests: it is one of the longest.
  set_tests_properties(package_contents PROPERTIES TIMEOUT 300 LABELS packaging COST 60)
endif()
