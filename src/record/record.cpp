// The record file "scores.txt": read on every pass of the main loop, rewritten
// when a one-player game beats the record. The rules of the text and what a
// save does when a step fails live here; the calls into the system are in
// record_platform.h.
#include "record/record.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "record/record_platform.h"
#include "rules/collide.h"

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

// The 32-bit pattern of minus `magnitude`, for 0 <= magnitude <= 2^31,
// computed without any arithmetic that wraps.
static uint32_t negated(uint32_t magnitude) {
    if (magnitude == 0) {
        return 0;
    }
    return (UINT32_MAX - magnitude) + 1u;
}

// The next byte of the record file, or EOF once RECORD_READ_LIMIT bytes
// have been taken: a record is one short line, and digits past the point
// where the number has saturated change nothing.
static int next_byte(FILE *file, size_t *taken) {
    if (*taken == RECORD_READ_LIMIT) {
        return EOF;
    }
    ++*taken;
    return getc(file);
}

bool read_record_number(FILE *file, uint32_t *value) {
    size_t taken = 0;
    int c = next_byte(file, &taken);
    // A UTF-8 byte order mark, as some editors write, is passed over. Text
    // that starts with any other byte 0xEF holds no number anyway.
    if (c == 0xef) {
        if (next_byte(file, &taken) != 0xbb || next_byte(file, &taken) != 0xbf) {
            return false;
        }
        c = next_byte(file, &taken);
    }
    while (c != EOF && isspace(c)) {
        c = next_byte(file, &taken);
    }

    bool negative = false;
    if (c == '+' || c == '-') {
        negative = (c == '-');
        c = next_byte(file, &taken);
    }
    if (!is_digit(c)) {
        return false;
    }

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

    *value = negative ? negated(magnitude) : magnitude;
    return true;
}

void load_record() {
    // Read-only, so that a record file the player may not change is still
    // shown; anything but a regular file is passed over without waiting.
    FILE *file = record_open_for_reading(RECORD_FILE_NAME);
    if (file == nullptr) {
        return;
    }
    // A buffer of the reader's own size: the stream then asks the system
    // for no more than the reader may take, whatever the file's size.
    char buffer[RECORD_READ_LIMIT];
    const int buffered = setvbuf(file, buffer, _IOFBF, sizeof buffer);
    (void)buffered;
    uint32_t value = 0;
    if (read_record_number(file, &value)) {
        record = value;
    }
    fclose(file);
}

// "%d" of the score taken as a signed 32-bit number.
static int format_score(uint32_t score, char *text, size_t size) {
    int32_t signed_score = 0;
    if (score > LARGEST_POSITIVE) {
        signed_score = -static_cast<int32_t>(UINT32_MAX - score) - 1;
    } else {
        signed_score = static_cast<int32_t>(score);
    }
    return snprintf(text, size, "%d", signed_score);
}

bool record_is_temp_name(const char *name) {
    const size_t prefix = sizeof RECORD_TEMP_PREFIX - 1;
    if (strncmp(name, RECORD_TEMP_PREFIX, prefix) != 0 ||
        strlen(name) != prefix + RECORD_TEMP_UNIQUE_CHARS) {
        return false;
    }
    for (const char *c = name + prefix; *c != '\0'; c++) {
        const bool letter_or_digit =
            (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
        if (!letter_or_digit) {
            return false;
        }
    }
    return true;
}

size_t record_in_place_bytes(size_t old_size, const char *text, size_t size, char *out,
                             size_t out_size) {
    // The reader takes the digits from the start and stops at the blank;
    // the cut that follows takes the blank and the old text away.
    size_t count = old_size > size ? size + 1 : size;
    if (count > out_size) {
        count = out_size;
    }
    memset(out, ' ', count);
    memcpy(out, text, size < count ? size : count);
    return count;
}

static const char *reason_text(int reason) {
    if (reason == RECORD_NOT_A_FILE) {
        return "not a regular file";
    }
    return strerror(reason);
}

void save_record() {
    record_save_failed = 0;
    char text[16];
    const int length = format_score(p1_score, text, sizeof text);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof text) {
        return;
    }
    const size_t size = static_cast<size_t>(length);

    // A symbolic link is written through: its target takes the new record.
    char target[RECORD_PATH_SIZE] = "";
    const char *shown = RECORD_FILE_NAME;
    bool exists = false;
    int reason = record_resolve_target(RECORD_FILE_NAME, target, sizeof target);
    if (reason == 0) {
        shown = target;
        reason = record_check_target(target, &exists);
    }
    if (reason == 0) {
        record_remove_leftovers(target);
        // The new record goes to a file of its own first and then takes the
        // old one's name in a single rename, so the file always holds a
        // whole record. A folder that takes no new file still lets a
        // writable record file be rewritten where it is.
        reason = record_replace(target, text, size, exists);
        if (exists && (reason == EACCES || reason == EPERM)) {
            reason = record_rewrite_in_place(target, text, size);
        }
    }
    if (reason != 0) {
        record_save_failed = 1;
        fprintf(stderr, "snake: the record could not be saved in %s: %s\n", shown,
                reason_text(reason));
    }
}
