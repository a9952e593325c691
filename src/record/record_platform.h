// The record file's calls into the operating system, for record.cpp alone:
// record_posix.cpp holds them for POSIX systems, record_windows.cpp for
// Windows. What a save does with them, the text and the leftover sweep are
// written once, in record.cpp.
//
// Functions that return an int return 0 when they worked and otherwise the
// reason they did not: an errno value (Windows' errors mapped onto the
// nearest one), or RECORD_NOT_A_FILE.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Reason: the name is held by something other than a regular file (a
// folder, a FIFO, a device), which is never read nor written.
const int RECORD_NOT_A_FILE = -1;

// Opens `name`, following links, only when it is a regular file, without
// waiting on anything: for reading, or for a save (reading and writing, or
// writing alone when the player may not read it), never cutting it.
// nullptr with the reason (ENOENT when it is missing) otherwise.
FILE *record_open(const char *name, bool for_saving, int *reason);

// When `name` is a symbolic link, sets `target` to the file at the end of
// its links; a dangling link or a loop gives the reason instead.
int record_resolve(const char *name, std::string *target);

// The lock every game takes for a save, so that two games ending at once
// save one after the other. record_lock_folder waits for the lock of
// `folder`, held until record_unlock_folder; false when the folder cannot
// be locked (one the player may not read). record_lock_file waits for a
// lock on the record file itself, held until the file is closed.
bool record_lock_folder(const std::string &folder);
void record_unlock_folder();
bool record_lock_file(FILE *file);

// Writes `text` into a new file "scores.txt." and six letters or digits in
// the folder of `target`, flushes it to the disk and renames it over
// `target`, which it creates when missing: `target` holds its old content
// or `text` at every moment, and a failure leaves no new file behind. The
// new file keeps the permissions of `old` (the record open for saving, or
// nullptr for those of a new file). EACCES or EPERM: the folder takes no
// new file.
int record_replace(const std::string &target, const char *text, size_t size, FILE *old);

// Rewrites the record open for saving where it is: `count` bytes written at
// its start in one write (the file first grown to them, so that the write
// needs no room it might not get), then the file cut to `size` bytes and
// flushed to the disk.
int record_rewrite(FILE *file, const char *bytes, size_t count, size_t size);
