# Installing the game the way Debian installs games, and packing it as a
# Debian package.
#
#   <prefix>/games/snake-game                     the launcher players run (bin/ under
#                                                 a prefix other than /usr or /usr/local)
#   <prefix>/lib/games/snake-game/snake           the game itself
#   <prefix>/share/games/snake-game/snake.dat     the datafile
#   <prefix>/share/applications/<id>.desktop
#   <prefix>/share/metainfo/<id>.metainfo.xml     for software centres (AppStream)
#   <prefix>/share/icons/hicolor/NxN/apps/snake-game.png
#   <prefix>/share/man/man6/snake-game.6.gz       and man/fr/man6/ in French
#   <prefix>/share/doc/snake-game/copyright, changelog.gz
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
# The project has no home of its own yet: its address, contact and
# reverse-DNS name are placeholders under example.org, kept here only. The
# reverse-DNS id names the desktop entry and the AppStream metainfo, which
# must agree for software centres to list the game.
set(SNAKE_HOMEPAGE https://snake-game.example.org)
set(SNAKE_CONTACT "The snake-game developers <snake-game@example.org>")
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
set(SNAKE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${SNAKE_INSTALL_NAME})
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

# ------------------------------------------------------- releases and licence
# packaging/history holds the releases, newest first: a line "VERSION
# YYYY-MM-DD", then the changes as Debian changelog items. The Debian
# changelog, the AppStream releases and the man pages' date are made from it,
# and LICENSE gives the copyright file its notice and its text.
file(STRINGS ${PKG_SOURCE_DIR}/history history_lines)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PKG_SOURCE_DIR}/history ${PROJECT_SOURCE_DIR}/LICENSE)
# The day of the week of a date, as Debian's changelog dates want it.
function(snake_weekday year month day out)
  set(names Sun Mon Tue Wed Thu Fri Sat)
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR m "${month} - 1")
  list(GET offsets ${m} offset)
  if(month LESS 3)
    math(EXPR year "${year} - 1")
  endif()
  math(EXPR w "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${offset} + ${day}) % 7")
  list(GET names ${w} name)
  set(${out} ${name} PARENT_SCOPE)
endfunction()
set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(changelog "")
set(SNAKE_RELEASES "")
set(entry_end "")
set(SNAKE_RELEASE_DATE "")
foreach(line IN LISTS history_lines)
  if(line MATCHES "^([0-9][0-9A-Za-z.+~]*) ([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    set(version ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_2})
    math(EXPR month "${CMAKE_MATCH_3}")
    math(EXPR day "${CMAKE_MATCH_4}")
    if(month LESS 1 OR month GREATER 12 OR day LESS 1 OR day GREATER 31)
      message(FATAL_ERROR "packaging/history: no such date: ${line}")
    endif()
    snake_weekday(${year} ${month} ${day} weekday)
    math(EXPR m "${month} - 1")
    list(GET month_names ${m} month_name)
    string(APPEND changelog "${entry_end}${SNAKE_INSTALL_NAME} (${version}) unstable; urgency=medium\n\n")
    set(entry_end "\n -- ${SNAKE_CONTACT}  ${weekday}, ${CMAKE_MATCH_4} ${month_name} ${year} 12:00:00 +0000\n\n")
    set(iso_date ${year}-${CMAKE_MATCH_3}-${CMAKE_MATCH_4})
    string(APPEND SNAKE_RELEASES "    <release version=\"${version}\" date=\"${iso_date}\"/>\n")
    if(NOT SNAKE_RELEASE_DATE)
      set(SNAKE_RELEASE_DATE ${iso_date})
      if(NOT version STREQUAL PROJECT_VERSION)
        message(FATAL_ERROR "packaging/history begins with ${version}, but the project's version is ${PROJECT_VERSION}: add the release to the history")
      endif()
    endif()
  elseif(line MATCHES "^  [^ ]|^    [^ ]" AND entry_end)
    string(APPEND changelog "${line}\n")
  elseif(NOT line STREQUAL "")
    message(FATAL_ERROR "packaging/history: neither a \"VERSION YYYY-MM-DD\" line nor an item indented by two blanks: ${line}")
  endif()
endforeach()
if(NOT SNAKE_RELEASE_DATE)
  message(FATAL_ERROR "packaging/history names no release")
endif()
string(REGEX REPLACE "\n\n$" "\n" changelog "${changelog}${entry_end}")
file(CONFIGURE OUTPUT ${PKG_OUT_DIR}/doc/changelog CONTENT "${changelog}" @ONLY)

# Debian's machine-readable copyright format, from the licence itself: the
# notice from its "Copyright (c)" line, the text from "Permission" on.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "Copyright \\(c\\) ([^\n]+)\n" OR NOT licence MATCHES "\n(Permission [^\n].*[^\n])\n*$")
  message(FATAL_ERROR "LICENSE has no \"Copyright (c)\" line or no licence text")
endif()
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" notice "${licence}")
set(notice ${CMAKE_MATCH_1})
string(REGEX MATCH "\n(Permission [^\n].*[^\n])\n*$" text "${licence}")
string(REGEX REPLACE "\n\n" "\n.\n" text "${CMAKE_MATCH_1}")
string(REGEX REPLACE "\n" "\n " text " ${text}")
file(CONFIGURE OUTPUT ${PKG_OUT_DIR}/doc/copyright CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${SNAKE_INSTALL_NAME}
Upstream-Contact: ${SNAKE_CONTACT}
Source: ${SNAKE_HOMEPAGE}

Files: *
Copyright: ${notice}
License: Expat
Comment: The code, the pictures it draws and the sound it synthesises.

License: Expat
${text}
" @ONLY)

# ----------------------------------------------- man pages and metainfo
foreach(page IN ITEMS snake-game.6 snake-game.fr.6)
  configure_file(${PKG_SOURCE_DIR}/man/${page}.in ${PKG_OUT_DIR}/man-source/${page} @ONLY)
endforeach()
configure_file(${PKG_SOURCE_DIR}/metainfo.xml.in ${PKG_OUT_DIR}/${SNAKE_APP_ID}.metainfo.xml @ONLY)

# Debian wants manual pages and changelogs compressed with gzip -9, without
# a name or a date in the header (-n), so that the package is reproducible.
find_program(GZIP gzip REQUIRED)
set(compressed "")
foreach(pair IN ITEMS "man-source/snake-game.6|man/man6/snake-game.6"
                      "man-source/snake-game.fr.6|man/fr/man6/snake-game.6"
                      "doc/changelog|doc/gz/changelog")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  add_custom_command(
    OUTPUT ${PKG_OUT_DIR}/${to}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PKG_OUT_DIR}/${from} ${PKG_OUT_DIR}/${to}
    COMMAND ${GZIP} -9nf ${PKG_OUT_DIR}/${to}
    DEPENDS ${PKG_OUT_DIR}/${from}
    COMMENT "Compressing ${to}"
    VERBATIM)
  list(APPEND compressed ${PKG_OUT_DIR}/${to}.gz)
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${compressed})

# ------------------------------------------------------ the hardened build
# Built the way Debian builds its packages (dpkg-buildflags): checked string
# and memory functions, a stack protector, and relocations made read-only
# once loaded. Not in a Debug build (the checks need optimising) nor with
# the sanitizers, which bring checks of their own.
if(NOT WIN32 AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND SNAKE_SANITIZE STREQUAL "OFF" AND NOT SNAKE_FUZZ)
  foreach(target IN ITEMS snake_game snake)
    target_compile_options(${target} PRIVATE
      $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2> -fstack-protector-strong)
  endforeach()
  target_link_options(snake PRIVATE -Wl,-z,relro -Wl,-z,now)
endif()

# ------------------------------------------------------------ installing
install(TARGETS snake RUNTIME DESTINATION ${SNAKE_GAME_DIR} COMPONENT game)
# A stripped install (the package's) also drops the compilers' notes, as
# Debian's own packaging tools do.
if(CMAKE_OBJCOPY AND NOT WIN32)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${SNAKE_GAME_DIR}/snake\"
                      RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR \"objcopy could not drop the .comment section of the game\")
      endif()
    endif()
    " COMPONENT game)
endif()
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
install(FILES ${PKG_OUT_DIR}/man/man6/snake-game.6.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
install(FILES ${PKG_OUT_DIR}/man/fr/man6/snake-game.6.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/fr/man6 COMPONENT game)
install(FILES ${PKG_OUT_DIR}/doc/copyright ${PKG_OUT_DIR}/doc/gz/changelog.gz
        DESTINATION ${SNAKE_DOC_DIR} COMPONENT game)

# ---------------------------------------------------------------- the .deb
# `cmake --install` never builds, and neither do CPack and `make install`
# here: they take what the last build made (scripts/package.sh builds first).
# Otherwise the package test would rebuild the whole tree under the other
# tests' feet. `make package` still builds everything first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${SNAKE_INSTALL_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SNAKE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time snake game with a French interface")
set(CPACK_PACKAGE_DESCRIPTION
    "A small snake game on the Allegro 4 library: steer the snake to the\n\
apples, grow, and keep off the border and the snakes' bodies. One player,\n\
two players on one keyboard, or one player against the computer.\n\
The best one-player score is kept in the player's own folder,\n\
~/.local/share/snake-game, which removing or upgrading the package\n\
leaves alone.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${SNAKE_HOMEPAGE})
# Only what `cmake --install` puts in place for the game, under /usr.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};game;/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are read from the libraries the game really links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The library, and the launcher, show their error messages under X with
# xmessage.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS x11-utils)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/play/")
include(CPack)

if(SNAKE_BUILD_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/package ${CMAKE_BINARY_DIR}/tests/package)
endif()
