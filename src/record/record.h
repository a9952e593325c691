// The record file "scores.txt": the best one-player score.
#pragma once

#include <cstdint>
#include <cstdio>

extern uint32_t record;
// 1 when the last save_record could not store the new record (a full disk,
// an I/O error, a file or folder the player may not write, a record it could
// not read, something else than a file under the record's name), 0 when it
// did or found a record as high; the end-of-game screen tells the player.
// Cleared at every save.
extern int32_t record_save_failed;

// Name of the record file, relative to the working directory.
extern const char *const RECORD_FILE_NAME;

// Reads the record file into `record`; a missing file or one that holds no
// number leaves `record` as it was.
void load_record();
// Replaces the record file's content with player 1's score, under a lock
// every game takes for it, and returns whether the score still beats the
// record the file holds then: another game may have saved one as high
// since, even the first, which is then left as it is. The old record is
// never lost: the new one is written beside it and renamed over it (through
// a symbolic link, beside the link's target), or, in a folder the player may
// not add to or open, written over it so that the file reads as one record
// or the other at every moment. A record file the player may not write or read, a dangling
// link, or anything else than a regular file under its name, is left as it
// is. A failure sets record_save_failed and says why on stderr.
bool save_record();

// Reads the first number of a record file's text: a UTF-8 byte order mark,
// blanks, an optional sign, the digits; anything after them is ignored, and
// nothing past the file's first 4096 bytes is read. A number beyond the 32-bit
// signed range saturates to the nearer bound. Returns false when the text
// does not start with a number. The value is the number's 32-bit pattern.
bool read_record_number(FILE *file, uint32_t *value);
