# Packs the drawn pictures and the synthesised click into snake.dat, one
# entry per call so that `dat -n0` keeps them in exactly this order: the
# game reads the entries by index.
set(ENTRIES
  apple_0.bmp apple_1.bmp apple_2.bmp apple_3.bmp apple_4.bmp apple_5.bmp
  button_credits.bmp button_play.bmp menu_title.bmp button_options.bmp button_quit.bmp
  icon.bmp
  options_background.bmp arrow_right.bmp arrow_left.bmp credits_background.bmp
  click.wav)
# The type is named: left to itself, dat takes a .bmp for a font.
foreach(entry IN LISTS ENTRIES)
  if(entry MATCHES "\\.wav$")
    set(type SAMP)
  else()
    set(type BMP)
  endif()
  execute_process(
    COMMAND ${DAT} -n0 -bpp 16 -transparency -t ${type} ${OUT} -a ${ART_DIR}/${entry}
    RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dat could not add ${entry} to ${OUT}")
  endif()
endforeach()
