// The record file "scores.txt": read on every pass of the main loop, rewritten
// when a one-player game beats the record.
#include "record/record.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "rules/collide.h"

uint32_t record = 0;
const char *const RECORD_FILE_NAME = "scores.txt";

// The magnitudes a number may reach before it saturates: 2^31 - 1 for a
// positive number, 2^31 for a negative one.
static const uint32_t LARGEST_POSITIVE = 0x7fffffffu;
static const uint32_t LARGEST_NEGATIVE = 0x80000000u;

// The temporary file a save writes first; the X's become a unique suffix.
static const char TEMP_FILE_TEMPLATE[] = "scores.txt.XXXXXX";

// Permissions of a file the game creates, before the umask.
static const mode_t NEW_FILE_MODE = 0666;

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

bool read_record_number(FILE *file, uint32_t *value) {
    int c = getc(file);
    while (c != EOF && isspace(c)) {
        c = getc(file);
    }

    bool negative = false;
    if (c == '+' || c == '-') {
        negative = (c == '-');
        c = getc(file);
    }
    if (!is_digit(c)) {
        return false;
    }

    // Digits are taken one at a time from the stream; once the magnitude has
    // passed the limit it stays pinned there, so a line of any length costs
    // one pass and no memory.
    const uint32_t limit = negative ? LARGEST_NEGATIVE : LARGEST_POSITIVE;
    uint32_t magnitude = 0;
    while (is_digit(c)) {
        const uint32_t digit = static_cast<uint32_t>(c - '0');
        if (magnitude > (limit - digit) / 10u) {
            magnitude = limit;
        } else {
            magnitude = magnitude * 10u + digit;
        }
        c = getc(file);
    }

    *value = negative ? negated(magnitude) : magnitude;
    return true;
}

void load_record() {
    // Read-only, so that a record file the player may not change is still shown.
    FILE *file = fopen(RECORD_FILE_NAME, "r");
    if (file == nullptr) {
        return;
    }
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

// The permissions fopen(..., "w") would leave: those of the existing file,
// or for a new one the usual 0666 less the umask.
static mode_t permissions_for_new_record(const struct stat *old_file, bool old_exists) {
    if (old_exists) {
        return old_file->st_mode & 0777;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return NEW_FILE_MODE & ~mask;
}

// Looks at the existing record file. Returns false when it exists but the
// player may not write it (read-only, a folder, ...): then nothing is saved.
static bool record_file_writable(struct stat *old_file, bool *old_exists) {
    *old_exists = false;
    const int fd = open(RECORD_FILE_NAME, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT;
    }
    const bool known = fstat(fd, old_file) == 0;
    close(fd);
    if (!known) {
        return false;
    }
    *old_exists = true;
    return true;
}

static bool write_all(int fd, const char *text, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, text, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            return false;
        }
        text += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Fills the freshly made temporary file and closes it; true when every step
// worked and the bytes are on the disk.
static bool fill_temp_file(int fd, const char *text, size_t size, mode_t mode,
                           const struct stat *old_file, bool old_exists) {
    if (old_exists) {
        // Keeping the owner only works for the privileged; not worth failing over.
        const int owner_kept = fchown(fd, old_file->st_uid, old_file->st_gid);
        (void)owner_kept;
    }
    const bool written = fchmod(fd, mode) == 0 && write_all(fd, text, size) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    return written && closed;
}

// For a record file the player may write in a folder they may not add to:
// no temporary file can stand beside it, so the digits go over the old ones
// and the file is cut to their length. A higher score never has fewer digits
// than the number it beats, so the file reads as one of the two records at
// every moment.
static void rewrite_in_place(const char *text, size_t size) {
    const int fd = open(RECORD_FILE_NAME, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat info = {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && write_all(fd, text, size) &&
        ftruncate(fd, static_cast<off_t>(size)) == 0) {
        const int synced = fsync(fd);
        (void)synced;
    }
    close(fd);
}

// Makes the rename itself survive a power cut; a failure here loses nothing.
static void sync_folder() {
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        const int synced = fsync(fd);
        (void)synced;
        close(fd);
    }
}

void save_record() {
    char text[16];
    const int length = format_score(p1_score, text, sizeof text);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof text) {
        return;
    }

    struct stat old_file = {};
    bool old_exists = false;
    if (!record_file_writable(&old_file, &old_exists)) {
        return;
    }
    const mode_t mode = permissions_for_new_record(&old_file, old_exists);

    // The new record goes to a file of its own first and then takes the old
    // one's name in a single rename, so the file always holds a whole record.
    char temp_name[sizeof TEMP_FILE_TEMPLATE];
    snprintf(temp_name, sizeof temp_name, "%s", TEMP_FILE_TEMPLATE);
    const int fd = mkstemp(temp_name);
    if (fd < 0) {
        if (old_exists && (errno == EACCES || errno == EPERM)) {
            rewrite_in_place(text, static_cast<size_t>(length));
        }
        return;
    }
    if (!fill_temp_file(fd, text, static_cast<size_t>(length), mode, &old_file, old_exists) ||
        rename(temp_name, RECORD_FILE_NAME) != 0) {
        unlink(temp_name);
        return;
    }
    sync_folder();
}
