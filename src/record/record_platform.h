// The record file's calls into the system, for record.cpp alone, in
// record_posix.cpp and record_windows.cpp. Those returning an int return 0,
// or the reason they failed: an errno value (Windows' errors mapped onto the
// nearest one), or RECORD_NOT_A_FILE.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Reason: the name is held by something other than a regular file (a
// folder, a FIFO, a device), which is never read nor written.
const int RECORD_NOT_A_FILE = -1;
// Reason: the record file could not be read (the player may write it but
// not read it, or the read failed): what it holds is unknown, so it is
// never replaced.
const int RECORD_UNREADABLE = -2;

// The start of a save's temporary files' names, six letters or digits
// follow it: hidden, and marked as the game's, so that no file of the
// player's is ever taken for one.
const char RECORD_TEMP_PREFIX[] = ".scores.txt.snake-save-";

// What the record is opened for: a load; a save; a save that creates the
// file, empty, when it is missing.
enum RecordUse { RECORD_LOAD, RECORD_SAVE, RECORD_CREATE };

// Opens `name`, following links, only when it is a regular file, without
// waiting on anything: for reading, or for a save (reading and writing),
// never cutting it. nullptr with the reason otherwise: ENOENT when it is
// missing, RECORD_UNREADABLE when the player may write it but not read it.
FILE *record_open(const char *name, RecordUse use, int *reason);

// When `name` is a symbolic link, sets `target` to the file at the end of
// its links; a dangling link or a loop gives the reason instead.
int record_resolve(const char *name, std::string *target);

// The lock every game takes for a save, so that games ending at once save
// one after the other: the lock of `folder`, held until
// record_unlock_folder (false when the folder cannot be locked, one the
// player may not read), or failing that, of the record file itself, held
// until it is closed.
bool record_lock_folder(const std::string &folder);
void record_unlock_folder();
bool record_lock_file(FILE *file);

// Writes `text` into a new file RECORD_TEMP_PREFIX and six letters or
// digits beside `target`, flushes it to the disk and renames it over `target`
// (created when missing), which holds its old content or `text` at every
// moment; a failure leaves no new file. The new file keeps the permissions
// of `old` (the record open for saving), or takes a new file's. EACCES or
// EPERM: the folder takes no new file.
int record_replace(const std::string &target, const char *text, size_t size, FILE *old);

// Rewrites the record open for saving where it is: `count` bytes written at
// its start in one write (the file first grown to them, so that the write
// needs no room it might not get), then the file cut to `size` bytes and
// flushed to the disk.
int record_rewrite(FILE *file, const char *bytes, size_t count, size_t size);
