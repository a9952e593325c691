// The record file's system calls on POSIX systems (record_platform.h).
#include "record/record_platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

static int errno_or(int fallback) {
    return errno != 0 ? errno : fallback;
}

FILE *record_open(const char *name, RecordUse use, int *reason) {
    // Without blocking, a FIFO opens at once and is then passed over like a
    // device or a folder, before a byte is read or written: one open and one
    // look at what was opened, as the main loop does this on every pass.
    const bool for_saving = use != RECORD_LOAD;
    const int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (use == RECORD_CREATE ? O_CREAT : 0);
    int fd = open(name, (for_saving ? O_RDWR : O_RDONLY) | flags, 0666);
    // Refused: a record the player may not write, or one they may write but
    // not read, which is told apart.
    const bool write_only = fd < 0 && for_saving && errno == EACCES;
    if (write_only) fd = open(name, O_WRONLY | flags, 0666);
    struct stat info = {};
    *reason = fd < 0                                             ? errno_or(EIO)
              : fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ? RECORD_NOT_A_FILE
              : write_only                                       ? RECORD_UNREADABLE
                                                                 : 0;
    FILE *file = *reason != 0 ? nullptr : fdopen(fd, for_saving ? "r+" : "r");
    if (file == nullptr && fd >= 0) {
        *reason = *reason != 0 ? *reason : errno_or(EIO);
        close(fd);
    }
    return file;
}

int record_resolve(const char *name, std::string *target) {
    struct stat info = {};
    if (lstat(name, &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
    char *path = realpath(name, nullptr);
    if (path == nullptr) return errno_or(ENOENT);
    *target = path;
    free(path);
    return 0;
}

static bool lock(int fd) {
    int locked = 0;
    while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    return locked == 0;
}

// The folder opened for its lock, while a save holds it.
static int locked_folder = -1;

bool record_lock_folder(const std::string &folder) {
    locked_folder = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (locked_folder >= 0 && !lock(locked_folder)) record_unlock_folder();
    return locked_folder >= 0;
}

void record_unlock_folder() {
    close(locked_folder);
    locked_folder = -1;
}

bool record_lock_file(FILE *file) {
    return lock(fileno(file));
}

// Writes `count` bytes at the start of the file, the file first grown to
// them so that the write needs no room it might not get, then cuts the
// file to `size` bytes and flushes it to the disk.
static int write_at_start(int fd, const char *bytes, size_t count, size_t size) {
    struct stat info = {};
    const off_t grown = static_cast<off_t>(count);
    if (fstat(fd, &info) != 0 || (info.st_size < grown && ftruncate(fd, grown) != 0)) {
        return errno_or(EIO);
    }
    for (size_t done = 0; done < count;) {
        const ssize_t written = pwrite(fd, bytes + done, count - done, static_cast<off_t>(done));
        if (written <= 0) return written < 0 ? errno_or(EIO) : EIO;
        done += static_cast<size_t>(written);
    }
    return ftruncate(fd, static_cast<off_t>(size)) != 0 || fsync(fd) != 0 ? errno_or(EIO) : 0;
}

int record_rewrite(FILE *file, const char *bytes, size_t count, size_t size) {
    return write_at_start(fileno(file), bytes, count, size);
}

int record_replace(const std::string &target, const char *text, size_t size, FILE *old) {
    const std::string folder = target.substr(0, target.rfind('/') + 1);
    std::string temp = folder + RECORD_TEMP_PREFIX + "XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) return errno_or(EACCES);
    // The old file's permissions and, where allowed, its owner; for a new
    // one, those of any new file.
    struct stat info = {};
    if (old != nullptr && fstat(fileno(old), &info) == 0) {
        const int owner_kept = fchown(fd, info.st_uid, info.st_gid);
        (void)owner_kept;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        info.st_mode = 0666 & ~mask;
    }
    int reason = fchmod(fd, info.st_mode & 0777) != 0 ? errno_or(EIO)
                                                        : write_at_start(fd, text, size, size);
    if (close(fd) != 0 && reason == 0) reason = errno_or(EIO);
    if (reason == 0 && rename(temp.c_str(), target.c_str()) != 0) reason = errno_or(EIO);
    if (reason != 0) {
        unlink(temp.c_str());
        return reason;
    }
    // The rename itself made to survive a power cut; a failure here loses nothing.
    const int folder_fd =
        open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd >= 0) {
        const int synced = fsync(folder_fd);
        (void)synced;
        close(folder_fd);
    }
    return 0;
}
