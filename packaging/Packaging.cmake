# What `cmake --install` puts where, and the Debian package CPack makes of it
# (scripts/package.sh configures with the prefix /usr and runs cpack -G DEB).

set(RCONF_APPSTREAM_ID "ru.vorlen.rconf" CACHE STRING "AppStream component id")
set(RCONF_PACKAGE_MAINTAINER "RConf maintainers <rconf@example.org>" CACHE STRING
  "Maintainer of the Debian package: Name <address>")

install(TARGETS rconf vboard mkrbin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET rconf-cli)
  install(TARGETS rconf-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The reference documents the window's «Справка» buttons open.
file(GLOB RCONF_REFERENCE_DOCS ${PROJECT_SOURCE_DIR}/docs/*.txt ${PROJECT_SOURCE_DIR}/docs/*.xlsx)
install(FILES ${RCONF_REFERENCE_DOCS} DESTINATION ${CMAKE_INSTALL_DATADIR}/rconf)

# Manual pages, compressed as Debian wants them.
foreach(page rconf rconf-cli vboard mkrbin)
  set(gz ${PROJECT_BINARY_DIR}/packaging/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/man/${page}.1 > ${gz}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/man/${page}.1)
  list(APPEND RCONF_MAN_PAGES ${gz})
endforeach()
add_custom_target(rconf_man_pages ALL DEPENDS ${RCONF_MAN_PAGES})
install(FILES ${RCONF_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/rconf.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/rconf.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Dates of this release: the environment's SOURCE_DATE_EPOCH (package.sh sets
# the last commit's) keeps them, and so the package, reproducible.
string(TIMESTAMP RCONF_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP RCONF_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP RCONF_COPYRIGHT_YEARS "%Y" UTC)

set(RCONF_METAINFO ${PROJECT_BINARY_DIR}/packaging/${RCONF_APPSTREAM_ID}.metainfo.xml)
configure_file(${CMAKE_CURRENT_LIST_DIR}/metainfo.xml.in ${RCONF_METAINFO} @ONLY)
install(FILES ${RCONF_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME rconf)
set(CPACK_PACKAGE_VENDOR "RConf developers")
set(CPACK_PACKAGE_CONTACT "${RCONF_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service and configuration tool for school measurement boards")
# Lines of at most 80 columns, paragraphs apart, as Debian descriptions want.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "RConf talks to the measurement boards of school digital laboratories"
  "(physics, chemistry, ecology, biology) and the photocolorimeter over their"
  "USB serial port: board status, bootloader and main program, live sensor"
  "data and outputs, archive download, hardware configuration and user"
  "calibrations, BLE module AT commands, statistics, and firmware programming"
  "with read-back verification. The user interface is Russian."
  ""
  "Сервисная программа для плат цифровых лабораторий и фотоколориметра:"
  "состояние платы, данные датчиков, архив, аппаратная конфигурация и"
  "калибровки, AT-команды BLE модуля, статистика и прошивка."
  ""
  "The package also holds vboard, a simulated board on a pseudo-terminal, and"
  "mkrbin, which writes firmware update files.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(RCONF_DEB_VERSION "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps lists the Qt, C++ and C runtime packages the binaries link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt Charts draws the window's charts; it is named here, shlibdeps adds the rest.
if(RCONF_QT_MAJOR EQUAL 6)
  # Qt 6 keeps the platform plugins (xcb, wayland) in a package of their own.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6charts6")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5charts5")
endif()

# /usr/share/doc/rconf: copyright and the compressed changelog Debian wants.
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
set(RCONF_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${RCONF_CHANGELOG_GZ}
  COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/packaging/changelog.Debian > ${RCONF_CHANGELOG_GZ}
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian)
add_custom_target(rconf_changelog ALL DEPENDS ${RCONF_CHANGELOG_GZ})
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright ${RCONF_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/rconf)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME rconf)

include(CPack)
