# Installation and the Debian package. `cmake --install` puts the programs in
# bin/, the manual pages in share/man/, the demo game in share/tarnwick/games
# and the manuals in share/doc/tarnwick; `cpack -G DEB` packs the same tree.
include(GNUInstallDirs)

# Installing (and packing) takes the programs as built and does not build the
# whole tree with its tests first: build the programs, then install or pack.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(TARNWICK_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarnwick)
set(TARNWICK_GAMES_DIR ${CMAKE_INSTALL_DATAROOTDIR}/tarnwick/games)

# Programs: gfxrunner and the picture tool only exist when their parts are built.
install(TARGETS ttyrunner RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(program gfxrunner picscramble)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/tarnwick-demo DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages.
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/ttyrunner.6 ${PROJECT_SOURCE_DIR}/docs/man/tarnwick-demo.6
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
if(TARGET gfxrunner)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/man/gfxrunner.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
endif()
if(TARGET picscramble)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/man/picscramble.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The demo game with its pictures; files written by playing it in place
# (saved games, compiled games, screenshots) stay behind.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/games/ DESTINATION ${TARNWICK_GAMES_DIR}
        FILES_MATCHING PATTERN "*.adv" PATTERN "*.tests" PATTERN "*.png")

# The manuals and their example games.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/authoring.md
              ${PROJECT_SOURCE_DIR}/docs/playing.md
        DESTINATION ${TARNWICK_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/examples ${PROJECT_SOURCE_DIR}/docs/images
        DESTINATION ${TARNWICK_DOC_DIR})

# Syntax colouring of game sources: the Vim files where Debian's Vim looks on
# its own (/usr/share/vim/vimfiles is on its 'runtimepath'), the TextMate
# grammar and VS Code extension beside the games.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/editors/vim/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/vim/vimfiles)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/editors/textmate DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/tarnwick/editors)

# The menu entry, which plays the demo from a per-user copy.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnwick.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)

# The Debian package.
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "Tarnwick developers")
set(CPACK_PACKAGE_CONTACT "Tarnwick developers <tarnwick@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "kit for writing and playing text adventure games")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnwick compiles text adventures written as sectioned plain-text sources and plays them: ttyrunner on the terminal, gfxrunner in a window with pictures. Includes a demo game and the author's manual.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# Exact library versions come from dpkg-shlibdeps where it is installed (dpkg-dev);
# without it the libraries the programs link are named plainly.
find_program(TARNWICK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TARNWICK_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, zlib1g")
  if(TARGET gfxrunner)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libsdl2-2.0-0, libx11-6")
  endif()
endif()
# ttyrunner loads libedit itself on a terminal, where dpkg-shlibdeps cannot
# see it.
if(LIBEDIT_FOUND)
  if(CPACK_DEBIAN_PACKAGE_DEPENDS)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ")
  endif()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS "libedit2")
endif()
# ttyrunner --map draws with Graphviz's dot; the games play without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "graphviz")
include(CPack)
