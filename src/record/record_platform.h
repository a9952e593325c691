// The record file's calls into the operating system, for record.cpp alone.
// record_posix.cpp holds them for POSIX systems and record_windows.cpp for
// Windows; both keep the promises written here. The rules of the text, the
// "%d" formatting and what a save does when a step fails stay in record.cpp.
//
// Every function that returns an int returns 0 when it worked and otherwise
// the reason it did not: an errno value from <cerrno> (a system whose own
// error codes differ maps them onto the nearest one: ENOENT, EACCES, EPERM,
// EROFS, ENOSPC, EIO, ...), or RECORD_NOT_A_FILE. record.cpp turns the
// reason into text with strerror for its line on stderr.
#pragma once

#include <cstddef>
#include <cstdio>

// Reason: the name is held by something other than a regular file (a
// folder, a FIFO, a device, a socket), which is never read nor replaced.
const int RECORD_NOT_A_FILE = -1;

// Room for any path these functions hand back, the terminating 0 included.
const size_t RECORD_PATH_SIZE = 4096;

// The name a save gives its temporary file, in the folder of the file it
// replaces: "scores.txt." and six characters that make it unique. Only
// names of exactly this shape are ever removed as leftovers.
const char RECORD_TEMP_PREFIX[] = "scores.txt.";
const size_t RECORD_TEMP_UNIQUE_CHARS = 6;

// True for a name of exactly that shape: RECORD_TEMP_PREFIX, then
// RECORD_TEMP_UNIQUE_CHARS letters or digits. Shared by both systems
// (record.cpp).
bool record_is_temp_name(const char *name);

// The most bytes one load reads of the record file (record.cpp stops there).
const size_t RECORD_READ_LIMIT = 4096;

// Opens `name` for reading, only when it is a regular file, following
// symbolic links. Never blocks (a FIFO without a writer, a device) and
// changes nothing. Returns a stream at the start of the file, to be closed
// with fclose, or nullptr when the name is missing, unreadable or not a
// regular file.
FILE *record_open_for_reading(const char *name);

// The path of the file a save of `name` replaces, written into `target`
// (`size` bytes): `name` itself, or when `name` is a symbolic link, the
// file at the end of the chain of links, a relative link being taken from
// the folder of the link that holds it. A dangling link gives the missing
// path it names, which the save then creates. Returns 0, or ELOOP (too
// many links), ENAMETOOLONG, or the reason a link could not be read;
// `target` is then unspecified.
int record_resolve_target(const char *name, char *target, size_t size);

// What stands at `target`, without opening anything that is not a regular
// file and without changing anything. Returns 0 with *exists false when
// nothing does, 0 with *exists true for a regular file the player may
// write; RECORD_NOT_A_FILE for anything else under that name; or the
// reason the regular file may not be written (EACCES, EROFS, ...).
int record_check_target(const char *target, bool *exists);

// Removes the leftovers of saves that were killed half-way from the folder
// of `target`: regular files (not links, not folders) named
// RECORD_TEMP_PREFIX followed by exactly RECORD_TEMP_UNIQUE_CHARS letters
// or digits, that no save, in this process or another, is writing at this
// moment. Nothing else in the folder is touched. Failures are ignored.
void record_remove_leftovers(const char *target);

// Writes the `size` bytes of `text` into a new temporary file in the folder
// of `target`, flushes it to the disk, renames it over `target` (which it
// creates when missing, `exists` false) and flushes the folder. The new
// file keeps the old file's permissions (and its owner where allowed), or
// for a new one takes 0666 less the umask. At every moment `target` holds
// either its old content or `text`. Returns 0 once `target` holds `text`
// (a failing flush of the folder after the rename is not reported);
// otherwise the reason, with `target` unchanged and no temporary file left
// behind. EACCES or EPERM when the folder takes no new file.
int record_replace(const char *target, const char *text, size_t size, bool exists);

// Rewrites the regular file `target` in place, for a folder that takes no
// new file: writes record_in_place_bytes() from the start of the file in a
// single write, cuts the file to `size` bytes and flushes it. At every
// moment the file reads as its old record or as `text`, whatever it held:
// nothing is written when the write could not be whole (the process's
// file-size limit), and a write that still comes out short is undone.
// Returns 0, or the reason; after a failure past the write the file may
// read as `text` followed by a blank and old text.
int record_rewrite_in_place(const char *target, const char *text, size_t size);

// Defined in record.cpp, for the in-place rewrite: the bytes to write from
// offset 0 over a file of `old_size` bytes so that the reader finds `text`
// (`size` bytes of "%d") as soon as they are written, whatever the old text
// was: the digits, and when old text goes on past them, one blank that keeps
// an old digit from joining the new ones. Writes into `out` (`out_size`
// bytes, at least `size` + 1) and returns the count.
size_t record_in_place_bytes(size_t old_size, const char *text, size_t size, char *out,
                             size_t out_size);
