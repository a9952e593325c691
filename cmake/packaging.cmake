# Installing the game the way Linux games are installed, and packing it as a
# Debian package.
#
#   <prefix>/bin/snake-game                       the launcher players run
#   <prefix>/libexec/snake-game/snake             the game itself
#   <prefix>/share/snake-game/snake.dat           the datafile
#   <prefix>/share/applications/snake-game.desktop
#   <prefix>/share/icons/hicolor/NxN/apps/snake-game.png
#
# The game reads snake.dat and scores.txt from its working directory, so the
# launcher starts it from the player's own folder,
# ${XDG_DATA_HOME:-~/.local/share}/snake-game, where the record stays put
# whatever happens to the installed files. Nothing here installs or removes
# anything in that folder.
#
# Only the `game` component is installed and packaged: the tests, the
# picture generator and the benchmarks are not.
include(GNUInstallDirs)

if(NOT DEFINED SNAKE_DAT OR NOT DEFINED ART_DIR)
  message(FATAL_ERROR "packaging.cmake needs SNAKE_DAT and ART_DIR: include it after the datafile rules")
endif()

# `snake` alone is too plain a name for a command other snake games may
# install too; every installed name and the player's folder use this one.
set(SNAKE_INSTALL_NAME snake-game)
set(SNAKE_ICON_SIZES 48 64 128 256)

set(SNAKE_GAME_DIR ${CMAKE_INSTALL_LIBEXECDIR}/${SNAKE_INSTALL_NAME})
set(SNAKE_DATA_DIR ${CMAKE_INSTALL_DATADIR}/${SNAKE_INSTALL_NAME})

# The launcher finds the game and its datafile from where it lies itself, so
# the same script works under any prefix, in a package, and unpacked anywhere.
file(RELATIVE_PATH SNAKE_LAUNCHER_TO_GAME
     ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBEXECDIR}/${SNAKE_INSTALL_NAME}/snake)
file(RELATIVE_PATH SNAKE_LAUNCHER_TO_DATA
     ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/${SNAKE_INSTALL_NAME}/snake.dat)
configure_file(${PROJECT_SOURCE_DIR}/packaging/launcher.sh.in
               ${CMAKE_CURRENT_BINARY_DIR}/packaging/${SNAKE_INSTALL_NAME} @ONLY)

# The desktop entry names the launcher and the icon, which the desktop looks
# up in PATH and in the icon theme, as for any installed program. For a prefix
# whose bin folder is not in PATH, give the launcher's full path here.
set(SNAKE_DESKTOP_EXEC ${SNAKE_INSTALL_NAME} CACHE STRING
    "Command of the desktop entry: the launcher's name, or its full path when the prefix is not in PATH")
configure_file(${PROJECT_SOURCE_DIR}/packaging/snake-game.desktop.in
               ${CMAKE_CURRENT_BINARY_DIR}/packaging/${SNAKE_INSTALL_NAME}.desktop @ONLY)

install(TARGETS snake RUNTIME DESTINATION ${SNAKE_GAME_DIR} COMPONENT game)
install(FILES ${SNAKE_DAT} DESTINATION ${SNAKE_DATA_DIR} COMPONENT game)
install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/packaging/${SNAKE_INSTALL_NAME}
        DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT game)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/${SNAKE_INSTALL_NAME}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT game)
# make_art draws the icon in each size while it draws the datafile's pictures.
foreach(size IN LISTS SNAKE_ICON_SIZES)
  install(FILES ${ART_DIR}/icon_${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${SNAKE_INSTALL_NAME}.png COMPONENT game)
endforeach()

# ---------------------------------------------------------------- the .deb
# `cmake --install` never builds, and neither do CPack and `make install`
# here: they take what the last build made (scripts/package.sh builds first).
# Otherwise the package test would rebuild the whole tree under the other
# tests' feet. `make package` still builds everything first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${SNAKE_INSTALL_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Snake game developers <snake@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time snake game with a French interface")
set(CPACK_PACKAGE_DESCRIPTION
    "A small snake game on the Allegro 4 library: steer the snake to the\n\
apples, grow, and keep off the border and the snakes' bodies. One player,\n\
two players on one keyboard, or one player against the computer.\n\
The best one-player score is kept in the player's own folder,\n\
~/.local/share/snake-game, which removing or upgrading the package\n\
leaves alone.")
# Only what `cmake --install` puts in place for the game, under /usr.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};game;/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are read from the libraries the game really links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The library shows its error messages under X with xmessage.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS x11-utils)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/play/")
include(CPack)

if(SNAKE_BUILD_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/package ${CMAKE_BINARY_DIR}/tests/package)
endif()
