#include "app/datafile.h"

DATAFILE *game_data = nullptr;

const char *const DATAFILE_NAME = "snake.dat";

bool datafile_complete(const DATAFILE *data) {
    if (!data) return false;
    for (int i = 0; i < DATAFILE_ENTRIES_USED; i++) {
        if (data[i].type == DAT_END) return false;
        if (i == DATA_SPARE) continue;
        const int wanted = (i == SND_CLICK) ? DAT_SAMPLE : DAT_BITMAP;
        if (data[i].type != wanted || !data[i].dat) return false;
    }
    return true;
}

DATAFILE *load_game_datafile(const char *path) {
    // The library's loader crashes on a damaged file: it only gets sound ones.
    if (!datafile_file_well_formed(path)) return nullptr;
    DATAFILE *data = load_datafile(path);
    if (data && !datafile_complete(data)) {
        unload_datafile(data);
        data = nullptr;
    }
    return data;
}

BITMAP *data_bitmap(int index) { return static_cast<BITMAP *>(game_data[index].dat); }

SAMPLE *data_sample(int index) { return static_cast<SAMPLE *>(game_data[index].dat); }
