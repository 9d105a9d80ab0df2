# What a distribution installs beside the programs (manual pages, shell completion, desktop
# entry, AppStream metadata, copyright and changelog) and the Debian package built by
# `cpack -G DEB`.
include(GNUInstallDirs)

set(OSD_PACKAGE_MAINTAINER "OSD Programmer Developers <maintainers@osdprog.org>"
    CACHE STRING "Maintainer of the Debian package, as \"Name <address>\"")
set(OSD_APPSTREAM_ID "org.osdprog.osdprog" CACHE STRING "AppStream component ID")
set(OSD_SCREENSHOT_URL "${OSD_DEVELOPER_WEB}/screenshots"
    CACHE STRING "Web folder that publishes docs/screenshots, for the AppStream metadata")
set(OSD_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX licence of the programs")
set(OSD_LICENSE_TEXT "All rights reserved. Ask the copyright holder for the terms of use and distribution."
    CACHE STRING "Licence text of the copyright file (one paragraph)")

set(osd_programs osdsim)
if(OSD_BUILD_GUI)
  list(APPEND osd_programs osdprog osdctl)
endif()
set(osd_gen ${CMAKE_BINARY_DIR}/packaging)

# The date of the changelog's latest entry dates the manual pages and the AppStream release.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog osd_changelog)
list(GET osd_changelog 0 osd_latest)
if(NOT osd_latest MATCHES "^osdprog \\(${PROJECT_VERSION}\\) ")
  message(WARNING "packaging/changelog has no entry for ${PROJECT_VERSION} at its top")
endif()
foreach(line IN LISTS osd_changelog)
  if(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9])")
    set(osd_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND osd_months ${CMAKE_MATCH_2} month)
    math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
    string(LENGTH "${month}" digits)
    if(digits EQUAL 1)
      set(month 0${month})
    endif()
    set(OSD_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1})
    break()
  endif()
endforeach()
execute_process(COMMAND date -u -d ${OSD_RELEASE_DATE} +%s OUTPUT_VARIABLE osd_release_epoch
                OUTPUT_STRIP_TRAILING_WHITESPACE)

# ---- The Windows zip (a build without Qt): osdctl.exe and its manual page as text ----
if(OSD_CTL_NO_QT)
  find_program(SCDOC scdoc)
  find_program(OSD_MAN man)
  if(SCDOC AND OSD_MAN)
    set(text ${osd_gen}/osdctl.txt)
    # Windows line ends, so that every text viewer there shows the lines.
    add_custom_command(OUTPUT ${text}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${osd_gen}
      COMMAND sh -c "SOURCE_DATE_EPOCH=${osd_release_epoch} ${SCDOC} < ${CMAKE_SOURCE_DIR}/docs/man/osdctl.1.scd > ${osd_gen}/osdctl.1 && MANWIDTH=78 ${OSD_MAN} -l ${osd_gen}/osdctl.1 2>/dev/null | sed 's/$/\\r/' > ${text}"
      DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/osdctl.1.scd VERBATIM)
    add_custom_target(osdctl_manual_text ALL DEPENDS ${text})
    install(FILES ${text} DESTINATION .)
  else()
    message(STATUS "scdoc or man not found: the zip holds no manual page")
  endif()
  set(CPACK_PACKAGE_NAME osdprog)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x64)
  set(CPACK_PACKAGE_FILE_NAME osdctl-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

# ---- Manual pages: one scdoc source per page in docs/man, installed gzipped ----
# scdoc: a small tool that Debian ships, with no dependencies, whose sources read as plain
# text and whose output is the man macros every man-db renders.
find_program(SCDOC scdoc)
if(SCDOC)
  set(osd_pages "")
  foreach(program IN LISTS osd_programs)
    set(source ${CMAKE_SOURCE_DIR}/docs/man/${program}.1.scd)
    set(page ${osd_gen}/${program}.1)
    # Options never break across lines: no hyphenation, and "-" as the unbreakable "\-".
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${osd_release_epoch}
              ${SCDOC} < ${source} > ${page}
      COMMAND sh -c "sed -e '/^[.]TH /a .nh' -e '/^[.]/!s/-/\\\\-/g' ${page} | gzip -9n > ${page}.gz"
      DEPENDS ${source} VERBATIM)
    list(APPEND osd_pages ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${osd_pages})
  install(FILES ${osd_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "scdoc not found: the manual pages are not built (apt-get install scdoc)")
endif()

# The page of each program names every option its --help names.
if(OSD_BUILD_TESTS AND OSD_BUILD_GUI)
  add_test(NAME man_pages_name_every_option
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/man_pages_check.sh ${CMAKE_SOURCE_DIR}/docs/man
            $<TARGET_FILE:osdprog> $<TARGET_FILE:osdctl> $<TARGET_FILE:osdsim>)
endif()

# osdctl's completion works in a bash without the bash-completion package.
if(OSD_BUILD_TESTS AND OSD_BUILD_GUI)
  add_test(NAME completion_without_bash_completion
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/completion_check.sh
            ${CMAKE_SOURCE_DIR}/completions/bash/osdctl $<TARGET_FILE:osdctl>)
endif()

foreach(program IN LISTS osd_programs)
  install(FILES completions/bash/${program}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endforeach()

# ---- Desktop entry, icon and AppStream metadata ----
if(OSD_BUILD_GUI)
  configure_file(packaging/osdprog.metainfo.xml.in
                 ${osd_gen}/${OSD_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES packaging/osdprog.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/osdprog.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${osd_gen}/${OSD_APPSTREAM_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# ---- Copyright and changelog (a native package: changelog.gz) ----
configure_file(packaging/copyright.in ${osd_gen}/copyright @ONLY)
add_custom_command(OUTPUT ${osd_gen}/changelog.gz
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${osd_gen}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${osd_gen}/changelog.gz)
install(FILES ${osd_gen}/copyright ${osd_gen}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})

# ---- The Debian package ----
set(CPACK_PACKAGE_NAME osdprog)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT "${OSD_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${OSD_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${OSD_DEVELOPER_WEB}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "programmer for on-screen-display video nodes")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "osdprog finds and wakes the on-screen-display video nodes on a shared
9600-baud serial line, loads a BMP logo, checks it against the node's
memory, converts it to the node's pixel format (RGB or YCbCr), downloads
it and places it on screen. It also sends node commands, reads logos back
from logo generators, keeps the video-controller data files and runs a
weekly schedule of logo sequences.

The package holds the window (osdprog), a command-line tool for scripts
(osdctl) and a simulated node on a pseudo-terminal (osdsim).")
# Help -> Manual opens a PDF through xdg-open; the Paintbrush menu starts the first of these
# paint programs that it finds. The shell completion also works without bash-completion, which
# loads it on demand.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "evince | okular | atril | pdf-viewer, kolourpaint | pinta | gimp | mtpaint, xdg-utils, bash-completion")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
