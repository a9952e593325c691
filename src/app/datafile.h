// The game datafile "snake.dat": which entry holds which picture or sound.
#pragma once

#include <allegro.h>

#include <cstddef>
#include <vector>

// Entries are addressed by index; the screens never look them up by name.
enum {
    IMG_APPLE_0 = 0,
    IMG_APPLE_1 = 1,
    IMG_APPLE_2 = 2,
    IMG_APPLE_3 = 3,
    IMG_APPLE_4 = 4,
    IMG_APPLE_5 = 5,
    IMG_BUTTON_CREDITS = 6,
    IMG_BUTTON_PLAY = 7,
    IMG_MENU_TITLE = 8,
    IMG_BUTTON_OPTIONS = 9,
    IMG_BUTTON_QUIT = 10,
    DATA_SPARE = 11,  // read by no screen; keeps the numbering of the entries after it
    IMG_OPTIONS_BACKGROUND = 12,
    IMG_ARROW_RIGHT = 13,
    IMG_ARROW_LEFT = 14,
    IMG_CREDITS_BACKGROUND = 15,
    SND_CLICK = 16,
    DATAFILE_ENTRIES_USED = 17
};

// The loaded "snake.dat", loaded once at start-up and never freed.
extern DATAFILE *game_data;

// Name of the datafile, relative to the working directory.
extern const char *const DATAFILE_NAME;

// True when every entry the screens read is there and of the kind they use:
// a picture at 0-10 and 12-15, a sample at 16. Entry 11 may hold anything.
bool datafile_complete(const DATAFILE *data);

// True when the bytes are a whole datafile the library's loader can read
// safely: a known magic, the packed form unpacking completely, and every
// object header, property and size within the bytes, each picture and sample
// holding exactly the data its header announces. Fonts, tunes and run-length
// or compiled sprites are refused, as is anything over 64 MiB.
bool datafile_bytes_well_formed(const unsigned char *bytes, size_t size);
// The same check on the file at `path`; false when it cannot be read, or is
// not a regular file.
bool datafile_file_well_formed(const char *path);
// Reads the whole of the regular file at `path` into `bytes`, without
// blocking on a pipe or a device under that name. False when it cannot be
// opened or read, is no regular file, or holds more than `limit` bytes. The
// one platform call of the check: datafile_check_posix.cpp, _windows.cpp.
bool read_regular_file(const char *path, size_t limit, std::vector<unsigned char> *bytes);
// Unpacks a stream packed by the library's LZSS into `out`, to its end and as
// the library's reader does. False when it would unpack to more than `limit`
// bytes, or when the library's reader could see it otherwise: a copy from the
// ring before anything was written there, or a stream that stops inside an item.
bool unpack_lzss(const unsigned char *in, size_t size, size_t limit, std::vector<unsigned char> *out);

// Loads the datafile at `path` when it is well formed and it holds every
// entry the screens read; otherwise frees what was loaded and returns NULL.
DATAFILE *load_game_datafile(const char *path);

// Entry `index` of the loaded game datafile, as a picture or a sample.
BITMAP *data_bitmap(int index);
SAMPLE *data_sample(int index);
