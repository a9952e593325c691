# Packs the drawn pictures and the synthesised click into snake.dat, one
# entry per call so that `dat -n0` keeps them in exactly this order: the
# game reads the entries by index.
set(ENTRIES
  apple_0.bmp apple_1.bmp apple_2.bmp apple_3.bmp apple_4.bmp apple_5.bmp
  button_credits.bmp button_play.bmp menu_title.bmp button_options.bmp button_quit.bmp
  icon.bmp
  options_background.bmp arrow_right.bmp arrow_left.bmp credits_background.bmp
  click.wav)
# Every build packs the same bytes: the tool keeps each file's path, here
# relative to the datafile (-f), and its date, in UTC, which is set to the
# date of the newest release in the changelog.
execute_process(COMMAND dpkg-parsechangelog -l ${CHANGELOG} -S Timestamp
                OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "no release date in ${CHANGELOG}")
endif()
set(ENV{TZ} UTC)
# The type is named: left to itself, dat takes a .bmp for a font.
foreach(entry IN LISTS ENTRIES)
  execute_process(COMMAND touch -d @${epoch} ${ART_DIR}/${entry} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot date ${ART_DIR}/${entry}")
  endif()
  if(entry MATCHES "\\.wav$")
    set(type SAMP)
  else()
    set(type BMP)
  endif()
  execute_process(
    COMMAND ${DAT} -n0 -f -bpp 16 -transparency -t ${type} ${OUT} -a ${ART_DIR}/${entry}
    RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dat could not add ${entry} to ${OUT}")
  endif()
endforeach()
