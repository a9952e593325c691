// The record file's system calls on POSIX systems (record_platform.h).
#include "record/record_platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// Permissions of a file the game creates, before the umask.
static const mode_t NEW_FILE_MODE = 0666;

// Links followed before giving up with ELOOP, as the system itself does.
static const int MOST_LINKS = 40;

static int errno_or(int fallback) {
    return errno != 0 ? errno : fallback;
}

FILE *record_open_for_reading(const char *name) {
    // Read on every pass of the main loop: one open and one look at what was
    // opened. Without blocking, a FIFO opens at once and is then passed
    // over like a device or a folder, before a byte is read.
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return nullptr;
    }
    FILE *file = fdopen(fd, "r");
    if (file == nullptr) {
        close(fd);
    }
    return file;
}

// Length of the folder part of `path`, its last '/' included; 0 for a name
// in the working folder.
static size_t folder_part(const char *path) {
    const char *slash = strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
}

int record_resolve_target(const char *name, char *target, size_t size) {
    if (strlen(name) >= size) {
        return ENAMETOOLONG;
    }
    snprintf(target, size, "%s", name);
    for (int links = 0;; links++) {
        struct stat info = {};
        if (lstat(target, &info) != 0) {
            // A dangling link: the file it names is the one to create.
            return errno == ENOENT ? 0 : errno_or(EIO);
        }
        if (!S_ISLNK(info.st_mode)) {
            return 0;
        }
        if (links == MOST_LINKS) {
            return ELOOP;
        }
        char link[RECORD_PATH_SIZE];
        const ssize_t got = readlink(target, link, sizeof link);
        if (got < 0) {
            return errno_or(EIO);
        }
        if (got == 0 || static_cast<size_t>(got) >= sizeof link) {
            return ENAMETOOLONG;
        }
        link[got] = '\0';
        // A relative link starts from the folder of the link holding it.
        const size_t keep = link[0] == '/' ? 0 : folder_part(target);
        if (keep + static_cast<size_t>(got) >= size) {
            return ENAMETOOLONG;
        }
        memcpy(target + keep, link, static_cast<size_t>(got) + 1);
    }
}

int record_check_target(const char *target, bool *exists) {
    *exists = false;
    struct stat info = {};
    if (stat(target, &info) != 0) {
        return errno == ENOENT ? 0 : errno_or(EIO);
    }
    if (!S_ISREG(info.st_mode)) {
        return RECORD_NOT_A_FILE;
    }
    // Opening for writing neither changes the file nor waits.
    const int fd = open(target, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return errno_or(EACCES);
    }
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    close(fd);
    if (!regular) {
        return RECORD_NOT_A_FILE;
    }
    *exists = true;
    return 0;
}

// The folder of `target` as a path to open: "." for the working folder.
static void folder_of(const char *target, char *folder, size_t size) {
    const size_t length = folder_part(target);
    if (length == 0) {
        snprintf(folder, size, ".");
    } else {
        snprintf(folder, size, "%.*s", static_cast<int>(length), target);
    }
}

void record_remove_leftovers(const char *target) {
    char folder[RECORD_PATH_SIZE];
    folder_of(target, folder, sizeof folder);
    DIR *dir = opendir(folder);
    if (dir == nullptr) {
        return;
    }
    // The record itself is never taken for a leftover, whatever its name.
    struct stat record_file = {};
    const bool record_known = stat(target, &record_file) == 0;
    const int dir_fd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        if (!record_is_temp_name(entry->d_name)) {
            continue;
        }
        // A link is not followed (O_NOFOLLOW fails on it) and a FIFO does
        // not hold the open up; a save at work holds its file locked.
        const int flags = O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
        int fd = openat(dir_fd, entry->d_name, O_RDONLY | flags);
        if (fd < 0 && errno == EACCES) {
            fd = openat(dir_fd, entry->d_name, O_WRONLY | flags);
        }
        if (fd < 0) {
            continue;
        }
        struct stat opened = {};
        struct stat named = {};
        if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
            !(record_known && opened.st_dev == record_file.st_dev &&
              opened.st_ino == record_file.st_ino) &&
            flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(dir_fd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
            unlinkat(dir_fd, entry->d_name, 0);
        }
        close(fd);
    }
    closedir(dir);
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
            errno = EIO;
            return false;
        }
        text += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Makes the rename itself survive a power cut; a failure here loses nothing.
static void sync_folder(const char *folder) {
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        const int synced = fsync(fd);
        (void)synced;
        close(fd);
    }
}

int record_replace(const char *target, const char *text, size_t size, bool exists) {
    struct stat old_file = {};
    mode_t mode = 0;
    if (exists && stat(target, &old_file) == 0) {
        mode = old_file.st_mode & 0777;
    } else {
        exists = false;
        const mode_t mask = umask(0);
        umask(mask);
        mode = NEW_FILE_MODE & ~mask;
    }

    char folder[RECORD_PATH_SIZE];
    folder_of(target, folder, sizeof folder);
    char temp[RECORD_PATH_SIZE];
    const size_t folder_length = folder_part(target);
    if (folder_length + sizeof RECORD_TEMP_PREFIX + RECORD_TEMP_UNIQUE_CHARS > sizeof temp) {
        return ENAMETOOLONG;
    }
    snprintf(temp, sizeof temp, "%.*s%sXXXXXX", static_cast<int>(folder_length), target,
             RECORD_TEMP_PREFIX);
    const int fd = mkstemp(temp);
    if (fd < 0) {
        return errno_or(EACCES);
    }
    // Held until the rename is done, so that another game's save does not
    // take this file for a leftover.
    const int lock_fd = open(temp, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (lock_fd >= 0) {
        const int locked = flock(lock_fd, LOCK_EX | LOCK_NB);
        (void)locked;
    }

    int reason = 0;
    if (exists) {
        // Keeping the owner only works for the privileged; not worth failing over.
        const int owner_kept = fchown(fd, old_file.st_uid, old_file.st_gid);
        (void)owner_kept;
    }
    if (fchmod(fd, mode) != 0 || !write_all(fd, text, size) || fsync(fd) != 0) {
        reason = errno_or(EIO);
    }
    if (close(fd) != 0 && reason == 0) {
        reason = errno_or(EIO);
    }
    if (reason == 0 && rename(temp, target) != 0) {
        reason = errno_or(EIO);
    }
    if (reason != 0) {
        unlink(temp);
    }
    if (lock_fd >= 0) {
        close(lock_fd);
    }
    if (reason == 0) {
        sync_folder(folder);
    }
    return reason;
}

int record_rewrite_in_place(const char *target, const char *text, size_t size) {
    // Read access only serves to undo a short write; a file the player may
    // write but not read is still rewritten.
    int fd = open(target, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        fd = open(target, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }
    if (fd < 0) {
        return errno_or(EACCES);
    }
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return RECORD_NOT_A_FILE;
    }
    char bytes[32];
    const size_t count = record_in_place_bytes(static_cast<size_t>(info.st_size), text, size,
                                               bytes, sizeof bytes);
    // The old bytes the write covers, to put back should it come out short.
    char old_bytes[sizeof bytes];
    const ssize_t old_count = pread(fd, old_bytes, count, 0);

    int reason = 0;
    rlimit file_size = {};
    if (getrlimit(RLIMIT_FSIZE, &file_size) == 0 && file_size.rlim_cur != RLIM_INFINITY &&
        file_size.rlim_cur < count) {
        // The system would cut the write short: write nothing.
        reason = EFBIG;
    } else {
        const ssize_t written = pwrite(fd, bytes, count, 0);
        if (written != static_cast<ssize_t>(count)) {
            reason = written < 0 ? errno_or(EIO) : EIO;
            if (written > 0 && old_count >= written) {
                const ssize_t undone = pwrite(fd, old_bytes, static_cast<size_t>(written), 0);
                (void)undone;
            }
        } else if (ftruncate(fd, static_cast<off_t>(size)) != 0 || fsync(fd) != 0) {
            reason = errno_or(EIO);
        }
    }
    if (close(fd) != 0 && reason == 0) {
        reason = errno_or(EIO);
    }
    return reason;
}
