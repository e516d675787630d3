# What an installed system gets besides the programs and their data: the
# manual pages, the desktop menu entry and its icon; and the Debian package
# that carries all of it (`cpack -G DEB` in the build tree).

# Manual pages, compressed as Debian installs them.
find_program(LAMINA_GZIP gzip REQUIRED)
set(man_pages
  "man/man1/lamina.1|${CMAKE_INSTALL_MANDIR}/man1"
  "man/pt_BR/man1/lamina.1|${CMAKE_INSTALL_MANDIR}/pt_BR/man1")
set(man_outputs)
foreach(entry ${man_pages})
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 page)
  list(GET entry 1 destination)
  set(out "${CMAKE_BINARY_DIR}/${page}.gz")
  get_filename_component(out_dir "${out}" DIRECTORY)
  add_custom_command(OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${out_dir}"
    COMMAND ${LAMINA_GZIP} -9 -n -c "${CMAKE_SOURCE_DIR}/${page}" > "${out}"
    DEPENDS "${CMAKE_SOURCE_DIR}/${page}"
    COMMENT "Compressing ${page}")
  list(APPEND man_outputs "${out}")
  install(FILES "${out}" DESTINATION "${destination}")
endforeach()
add_custom_target(lamina_man_pages ALL DEPENDS ${man_outputs})

install(FILES desktop/lamina.desktop DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES desktop/lamina.svg DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lamina)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "lamina")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "talking converter of presentations into text, for blind users")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "lamina developers <lamina@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The long description; cpack puts the summary line before it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "lamina converts a presentation (PowerPoint .ppt/.pps/.pptx and the like,
OpenDocument .odp) into a plain text file, slide by slide, and says what it
is doing by voice and on a large-print 80 x 25 text console. It has its own
Brazilian Portuguese diphone voice, a spoken line editor, screen review and
a spoken file chooser; all of its messages are in Brazilian Portuguese.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the shared libraries do not tell: the console window's fallback font;
# the system's voices through Speech Dispatcher and the opening of addresses
# and documents with xdg-open are used when present.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "speech-dispatcher, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "speech-dispatcher-espeak-ng")
include(CPack)
