// The record file "scores.txt": the best one-player score.
#pragma once

#include <cstdint>
#include <cstdio>

extern uint32_t record;

// Name of the record file, relative to the working directory.
extern const char *const RECORD_FILE_NAME;

// Reads the record file into `record`; a missing file or one that holds no
// number leaves `record` as it was.
void load_record();
// Replaces the record file's content with player 1's score. The old record is
// never lost: the new one is written beside it and renamed over it. A record
// file the player may not write, or a folder that cannot be written, is left
// as it is.
void save_record();

// Reads the first number of a record file's text: blanks, an optional sign,
// the digits; anything after them is ignored. A number beyond the 32-bit
// signed range saturates to the nearer bound. Returns false when the text
// does not start with a number. The value is the number's 32-bit pattern.
bool read_record_number(FILE *file, uint32_t *value);
