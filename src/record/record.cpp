// The record file "scores.txt": read on every pass of the main loop, rewritten
// when a one-player game beats the record. The rules of the text and what a
// save does, step by step, live here; the calls into the system are in
// record_platform.h.
#include "record/record.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "record/record_platform.h"
#include "rules/collide.h"

namespace fs = std::filesystem;

uint32_t record = 0;
int32_t record_save_failed = 0;
const char *const RECORD_FILE_NAME = "scores.txt";

// The magnitudes a number may reach before it saturates: 2^31 - 1 for a
// positive number, 2^31 for a negative one.
static const uint32_t LARGEST_POSITIVE = 0x7fffffffu;
static const uint32_t LARGEST_NEGATIVE = 0x80000000u;

static bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

// The most bytes one load reads of the record file.
static const size_t RECORD_READ_LIMIT = 4096;

// The next byte of the record file, or EOF once RECORD_READ_LIMIT bytes
// have been taken: a record is one short line, and digits past the point
// where the number has saturated change nothing.
static int next_byte(FILE *file, size_t *taken) {
    if (*taken == RECORD_READ_LIMIT) return EOF;
    ++*taken;
    return getc(file);
}

bool read_record_number(FILE *file, uint32_t *value) {
    size_t taken = 0;
    int c = next_byte(file, &taken);
    // A UTF-8 byte order mark, as some editors write, is passed over. Text
    // that starts with any other byte 0xEF holds no number anyway.
    if (c == 0xef) {
        if (next_byte(file, &taken) != 0xbb || next_byte(file, &taken) != 0xbf) return false;
        c = next_byte(file, &taken);
    }
    while (c != EOF && isspace(c)) c = next_byte(file, &taken);

    bool negative = false;
    if (c == '+' || c == '-') {
        negative = (c == '-');
        c = next_byte(file, &taken);
    }
    if (!is_digit(c)) return false;

    // Once the magnitude has passed the limit it stays pinned there.
    const uint32_t limit = negative ? LARGEST_NEGATIVE : LARGEST_POSITIVE;
    uint32_t magnitude = 0;
    while (is_digit(c)) {
        const uint32_t digit = static_cast<uint32_t>(c - '0');
        if (magnitude > (limit - digit) / 10u) {
            magnitude = limit;
        } else {
            magnitude = magnitude * 10u + digit;
        }
        c = next_byte(file, &taken);
    }

    // Minus the magnitude as a 32-bit pattern: unsigned arithmetic wraps.
    *value = negative ? 0u - magnitude : magnitude;
    return true;
}

void load_record() {
    // Read-only, so that a record file the player may not change is still
    // shown; anything but a regular file is passed over without waiting.
    int reason = 0;
    FILE *file = record_open(RECORD_FILE_NAME, RECORD_LOAD, &reason);
    if (file == nullptr) return;
    // A buffer of the reader's own size: the stream then asks the system
    // for no more than the reader may take, whatever the file's size.
    char buffer[RECORD_READ_LIMIT];
    const int buffered = setvbuf(file, buffer, _IOFBF, sizeof buffer);
    (void)buffered;
    uint32_t value = 0;
    if (read_record_number(file, &value)) record = value;
    fclose(file);
}

// The name a save gives its new file (record_replace): RECORD_TEMP_PREFIX
// and six letters or digits. Nothing else is ever taken for a leftover.
static bool is_temp_name(const std::string &name) {
    const std::string prefix = RECORD_TEMP_PREFIX;
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    return name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789",
                                  prefix.size()) == std::string::npos;
}

// Removes what saves killed half-way left in `folder`: regular files (no
// links, folders or FIFOs) with a save's name, but never the record itself
// known by another name. Called under the folder's lock, which a save at
// work holds: no file it finds is being written.
static void remove_leftovers(const fs::path &folder, const std::string &target) {
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code ignored;
        if (is_temp_name(entry->path().filename().string()) &&
            entry->symlink_status(ignored).type() == fs::file_type::regular &&
            !fs::equivalent(entry->path(), target, ignored)) {
            fs::remove(entry->path(), ignored);
        }
    }
}

// Saves the `size` digits of `text` (a blank follows them) into `target`,
// under the lock every game takes for a save. Another game may have saved
// since this one read the record, even the first record while this one
// waited for the lock: a record that `score` does not beat is left as it
// is (*beaten false).
static int save_into(const std::string &target, uint32_t score, const char *text, size_t size,
                     bool *beaten) {
    const fs::path parent = fs::path(target).parent_path();
    const fs::path folder = parent.empty() ? fs::path(".") : parent;
    // Everything below is decided under the lock: whether the file is
    // there, what it is, what it holds, how it is written.
    const bool folder_locked = record_lock_folder(folder.string());
    // Anything but a regular file is never opened, not even to look at it.
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    int reason = fs::exists(status) && !fs::is_regular_file(status) ? RECORD_NOT_A_FILE : 0;
    // Where the folder cannot be locked the record file is, created empty
    // when missing (so that the first record too is saved under a lock),
    // and it then keeps its place (rewritten in place), so that every game
    // locks that one file.
    FILE *file = reason != 0 ? nullptr
                             : record_open(target.c_str(),
                                           folder_locked ? RECORD_SAVE : RECORD_CREATE, &reason);
    reason = reason == ENOENT ? 0 : reason;
    const bool in_place = !folder_locked && file != nullptr && record_lock_file(file);
    uint32_t value = 0;
    const bool holds_number = file != nullptr && read_record_number(file, &value);
    // A record that could not be read (one the player may not read, or a
    // failed read) may be higher than the score: it stays.
    if (file != nullptr && !holds_number && ferror(file)) reason = RECORD_UNREADABLE;
    if (holds_number && value >= score) {
        *beaten = false;
    } else if (reason == 0) {
        if (folder_locked) remove_leftovers(folder, target);
        // The new record goes to a file of its own first and then takes the
        // old one's name in a single rename, so the file always holds a
        // whole record. A folder that takes no new file still lets a
        // writable record file be rewritten where it is: the digits and a
        // blank that keeps any old digit after them from joining them, so
        // that it reads as the old record or the new one at every moment.
        reason = in_place ? 0 : record_replace(target, text, size, file);
        if (file != nullptr && (in_place || reason == EACCES || reason == EPERM)) {
            reason = record_rewrite(file, text, size + 1, size);
        }
    }
    if (file != nullptr) fclose(file);
    if (folder_locked) record_unlock_folder();
    return reason;
}

// What a failed save says on stderr after the file's name.
static const char *reason_text(int reason) {
    if (reason == RECORD_NOT_A_FILE) return "not a regular file";
    return reason == RECORD_UNREADABLE ? "the record could not be read" : strerror(reason);
}

bool save_record() {
    record_save_failed = 0;
    const uint32_t score = p1_score;
    // "%d" of the score taken as a signed 32-bit number, and a blank.
    char text[16];
    const int length = snprintf(text, sizeof text, "%d ", static_cast<int32_t>(score)) - 1;
    // A symbolic link is written through: its target takes the new record.
    std::string target = RECORD_FILE_NAME;
    bool beaten = true;
    int reason = record_resolve(RECORD_FILE_NAME, &target);
    if (reason == 0) reason = save_into(target, score, text, static_cast<size_t>(length), &beaten);
    if (reason != 0) {
        record_save_failed = 1;
        fprintf(stderr, "snake: the record could not be saved in %s: %s\n", target.c_str(),
                reason_text(reason));
    }
    return beaten;
}
