# Installing the game the way Debian installs games. The Debian package
# (debian/) is built by debhelper over these install rules; compressing,
# stripping, the hardening flags, the copyright file and the changelog in
# the package are debhelper's and dpkg's.
#
#   <prefix>/games/snake-game                     the launcher players run (bin/ under
#                                                 a prefix other than /usr or /usr/local)
#   <prefix>/lib/games/snake-game/snake           the game itself
#   <prefix>/share/games/snake-game/snake.dat     the datafile
#   <prefix>/share/applications/<id>.desktop
#   <prefix>/share/metainfo/<id>.metainfo.xml     for software centres (AppStream)
#   <prefix>/share/icons/hicolor/NxN/apps/snake-game.png
#   <prefix>/share/man/man6/snake-game.6          and man/fr/man6/ in French
#
# The game reads snake.dat and scores.txt from its working directory, so the
# launcher starts it from the player's own folder,
# ${XDG_DATA_HOME:-~/.local/share}/snake-game, where the record stays put
# whatever happens to the installed files. Nothing here installs or removes
# anything in that folder.
#
# Only the game is installed: the tests, the picture generator and the
# benchmarks are not.
include(GNUInstallDirs)

if(NOT DEFINED SNAKE_DAT OR NOT DEFINED ART_DIR)
  message(FATAL_ERROR "packaging.cmake needs SNAKE_DAT and ART_DIR: include it after the datafile rules")
endif()

# `snake` alone is too plain a name for a command other snake games may
# install too; every installed name and the player's folder use this one.
set(SNAKE_INSTALL_NAME snake-game)
set(SNAKE_ICON_SIZES 48 64 128 256)
# The project has no home of its own yet: its address and reverse-DNS name
# are placeholders under example.org, here and in debian/ (with the
# contact). The reverse-DNS id names the desktop entry and the AppStream metainfo, which
# must agree for software centres to list the game.
set(SNAKE_HOMEPAGE https://snake-game.example.org)
set(SNAKE_APP_ID org.example.snake_game)
set(PKG_SOURCE_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(PKG_OUT_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)

# ------------------------------------------------------------ the layout
# Debian's place for games: the command in games/, next to bin/ (/usr/games
# and /usr/local/games are in Debian's PATH), the program behind it among the
# games' private programs in lib/games/, the data in share/games/. Under any
# other prefix, such as ~/.local, the command goes to bin/, which is where
# such a prefix's commands are looked for: the launcher's folder is chosen
# when installing (`cmake --install build --prefix ~/.local` works without
# configuring again), unless SNAKE_LAUNCHER_DIR names one.
set(SNAKE_LAUNCHER_DIR "" CACHE STRING
    "Folder of the launcher, relative to the install prefix; empty: games under /usr and /usr/local, bin under any other prefix")
set(SNAKE_GAME_DIR lib/games/${SNAKE_INSTALL_NAME})
set(SNAKE_DATA_DIR ${CMAKE_INSTALL_DATADIR}/games/${SNAKE_INSTALL_NAME})
if(IS_ABSOLUTE "${SNAKE_LAUNCHER_DIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_DATADIR}")
  message(FATAL_ERROR "SNAKE_LAUNCHER_DIR and CMAKE_INSTALL_DATADIR must be relative to the prefix: the launcher finds the game from where it lies")
endif()

# The launcher finds the game and its datafile from where it lies itself, so
# the same script works under any prefix, in a package, and unpacked
# anywhere. games/ and bin/ lie at the same depth, so one script serves both.
if(SNAKE_LAUNCHER_DIR)
  set(launcher_dir ${SNAKE_LAUNCHER_DIR})
else()
  set(launcher_dir games)
endif()
file(RELATIVE_PATH SNAKE_LAUNCHER_TO_GAME /prefix/${launcher_dir} /prefix/${SNAKE_GAME_DIR}/snake)
file(RELATIVE_PATH SNAKE_LAUNCHER_TO_DATA /prefix/${launcher_dir} /prefix/${SNAKE_DATA_DIR}/snake.dat)
configure_file(${PKG_SOURCE_DIR}/launcher.sh.in ${PKG_OUT_DIR}/${SNAKE_INSTALL_NAME} @ONLY)

# The desktop entry names the launcher and the icon, which the desktop looks
# up in PATH and in the icon theme, as for any installed program. For a prefix
# whose launcher folder is not in PATH, give the launcher's full path here.
set(SNAKE_DESKTOP_EXEC ${SNAKE_INSTALL_NAME} CACHE STRING
    "Command of the desktop entry: the launcher's name, or its full path when the prefix is not in PATH")
configure_file(${PKG_SOURCE_DIR}/snake-game.desktop.in ${PKG_OUT_DIR}/${SNAKE_APP_ID}.desktop @ONLY)

# ------------------------------------------------------------ releases
# debian/changelog is the one history of the releases, newest first: the
# AppStream releases and the manual pages' date are read from it, with
# dpkg's own parser. Its newest entry must be this version.
set(SNAKE_CHANGELOG ${PROJECT_SOURCE_DIR}/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${SNAKE_CHANGELOG})
find_program(DPKG_PARSECHANGELOG dpkg-parsechangelog REQUIRED)
execute_process(COMMAND ${DPKG_PARSECHANGELOG} -l ${SNAKE_CHANGELOG} --all --format rfc822
                OUTPUT_VARIABLE entries RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "dpkg-parsechangelog cannot read ${SNAKE_CHANGELOG}")
endif()
set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(SNAKE_RELEASES "")
set(SNAKE_RELEASE_DATE "")
set(seen "")
string(REGEX MATCHALL "Version: [^\n]+|Date: [^\n]+" fields "${entries}")
foreach(field IN LISTS fields)
  if(field MATCHES "^Version: ([0-9]+:)?(.+)-[^-]+$")
    # The upstream version: a Debian revision of a release is the same release.
    set(version ${CMAKE_MATCH_2})
  elseif(field MATCHES "^Date: [A-Za-z]+, ([0-9]+) ([A-Za-z]+) ([0-9]+) ")
    set(year ${CMAKE_MATCH_3})
    list(FIND month_names ${CMAKE_MATCH_2} m)
    math(EXPR m "${m} + 1")
    math(EXPR d "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "^([0-9])$" "0\\1" m ${m})
    string(REGEX REPLACE "^([0-9])$" "0\\1" d ${d})
    set(date ${year}-${m}-${d})
    if(NOT SNAKE_RELEASE_DATE)
      set(SNAKE_RELEASE_DATE ${date})
      if(NOT version STREQUAL PROJECT_VERSION)
        message(FATAL_ERROR "debian/changelog begins with ${version}, but the project's version is ${PROJECT_VERSION}: add the release to the changelog")
      endif()
    endif()
    # A release is dated by its first upload: the oldest entry of its version.
    if(NOT version IN_LIST seen)
      list(APPEND seen ${version})
    endif()
    set(released_${version} ${date})
  else()
    message(FATAL_ERROR "debian/changelog: not a version of a non-native package, or no date: ${field}")
  endif()
endforeach()
if(NOT SNAKE_RELEASE_DATE)
  message(FATAL_ERROR "debian/changelog names no release")
endif()
foreach(version IN LISTS seen)
  string(APPEND SNAKE_RELEASES "    <release version=\"${version}\" date=\"${released_${version}}\"/>\n")
endforeach()

# ----------------------------------------------- man pages and metainfo
foreach(page IN ITEMS snake-game.6 snake-game.fr.6)
  configure_file(${PKG_SOURCE_DIR}/man/${page}.in ${PKG_OUT_DIR}/man/${page} @ONLY)
endforeach()
configure_file(${PKG_SOURCE_DIR}/metainfo.xml.in ${PKG_OUT_DIR}/${SNAKE_APP_ID}.metainfo.xml @ONLY)

# ------------------------------------------------------------ installing
install(TARGETS snake RUNTIME DESTINATION ${SNAKE_GAME_DIR} COMPONENT game)
install(FILES ${SNAKE_DAT} DESTINATION ${SNAKE_DATA_DIR} COMPONENT game)
# The launcher's folder is settled at install time, from the prefix then.
install(CODE "
  set(launcher_dir \"${SNAKE_LAUNCHER_DIR}\")
  if(NOT launcher_dir)
    if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr(/local)?/*$\")
      set(launcher_dir games)
    else()
      set(launcher_dir bin)
    endif()
  endif()
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/\${launcher_dir}\" TYPE PROGRAM
       FILES \"${PKG_OUT_DIR}/${SNAKE_INSTALL_NAME}\")
  " COMPONENT game)
install(FILES ${PKG_OUT_DIR}/${SNAKE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT game)
install(FILES ${PKG_OUT_DIR}/${SNAKE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT game)
# make_art draws the icon in each size while it draws the datafile's pictures.
foreach(size IN LISTS SNAKE_ICON_SIZES)
  install(FILES ${ART_DIR}/icon_${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${SNAKE_INSTALL_NAME}.png COMPONENT game)
endforeach()
install(FILES ${PKG_OUT_DIR}/man/snake-game.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
install(FILES ${PKG_OUT_DIR}/man/snake-game.fr.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/fr/man6
        RENAME snake-game.6 COMPONENT game)

if(SNAKE_BUILD_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/package ${CMAKE_BINARY_DIR}/tests/package)
endif()
