// The record file's system calls on Windows (record_platform.h).
//
// As Windows has it: a record the player may not write has the read-only
// attribute or access rules that refuse writing; a folder's lock is a mutex
// named after the folder; the new file takes the old one's hidden, system
// and archive attributes, and its access rules come from its folder.
#include "record/record_platform.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

// The nearest errno value to the last Windows error.
static int last_reason() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED: case ERROR_CANNOT_MAKE:
            return EACCES;
        case ERROR_SHARING_VIOLATION: case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        default:
            return EIO;
    }
}

// A file opened with every sharing, so that other games go on reading it
// and renaming over it; created when missing with OPEN_ALWAYS.
static HANDLE open_shared(const char *name, DWORD access, DWORD flags,
                          DWORD disposition = OPEN_EXISTING) {
    return CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, flags, nullptr);
}

FILE *record_open(const char *name, RecordUse use, int *reason) {
    const bool for_saving = use != RECORD_LOAD;
    const DWORD disposition = use == RECORD_CREATE ? OPEN_ALWAYS : OPEN_EXISTING;
    // The read-only attribute is how a player keeps a record as it is.
    const DWORD attributes = GetFileAttributesA(name);
    if (for_saving && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        *reason = EACCES;
        return nullptr;
    }
    // A folder does not open as a file, and anything that is not a file on
    // a disk (a device, a pipe) is passed over as soon as it is open.
    DWORD access = for_saving ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    HANDLE file = open_shared(name, access, FILE_ATTRIBUTE_NORMAL, disposition);
    // Refused: a record the player may not write, or one they may write but
    // not read, which is told apart.
    if (file == INVALID_HANDLE_VALUE && for_saving && GetLastError() == ERROR_ACCESS_DENIED) {
        access = GENERIC_WRITE;
        file = open_shared(name, access, FILE_ATTRIBUTE_NORMAL, disposition);
    }
    *reason = file == INVALID_HANDLE_VALUE               ? last_reason()
              : GetFileType(file) != FILE_TYPE_DISK ? RECORD_NOT_A_FILE
              : access == GENERIC_WRITE             ? RECORD_UNREADABLE
                                                     : 0;
    // Binary: the bytes as they are, a Ctrl-Z or a CR included.
    const int mode = (for_saving ? _O_RDWR : _O_RDONLY) | _O_BINARY;
    const int fd = *reason != 0 ? -1 : _open_osfhandle(reinterpret_cast<intptr_t>(file), mode);
    FILE *stream = fd < 0 ? nullptr : _fdopen(fd, for_saving ? "r+b" : "rb");
    if (stream == nullptr) {
        *reason = *reason != 0 ? *reason : EIO;
        if (fd >= 0) {
            _close(fd);
        } else if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
    return stream;
}

// The full path of what `name` leads to, its links followed by the system.
static int final_path(const char *name, std::string *path) {
    const HANDLE file = open_shared(name, 0, FILE_FLAG_BACKUP_SEMANTICS);
    if (file == INVALID_HANDLE_VALUE) return last_reason();
    DWORD length = GetFinalPathNameByHandleA(file, nullptr, 0, FILE_NAME_NORMALIZED);
    std::string found(length, '\0');
    if (length != 0) {
        length = GetFinalPathNameByHandleA(file, &found[0], length, FILE_NAME_NORMALIZED);
    }
    const int reason = length == 0 ? last_reason() : 0;
    CloseHandle(file);
    if (reason == 0) *path = found.substr(0, length);
    return reason;
}

int record_resolve(const char *name, std::string *target) {
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return 0;
    }
    return final_path(name, target);
}

// The mutex a save holds, named after its folder.
static HANDLE locked_folder = nullptr;

bool record_lock_folder(const std::string &folder) {
    std::string path;
    if (final_path(folder.c_str(), &path) != 0) return false;
    // Object names take no backslash and are short: the FNV-1a hash of the
    // path, which the system gives with the letters as the disk has them.
    unsigned long long hash = 14695981039346656037ull;
    for (const char c : path) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char name[64];
    snprintf(name, sizeof name, "Local\\snake-scores-%016llx", hash);
    locked_folder = CreateMutexA(nullptr, FALSE, name);
    // WAIT_ABANDONED: a game was killed during its save; the lock is ours.
    if (locked_folder != nullptr && WaitForSingleObject(locked_folder, INFINITE) == WAIT_FAILED) {
        CloseHandle(locked_folder);
        locked_folder = nullptr;
    }
    return locked_folder != nullptr;
}

void record_unlock_folder() {
    ReleaseMutex(locked_folder);
    CloseHandle(locked_folder);
    locked_folder = nullptr;
}

bool record_lock_file(FILE *file) {
    OVERLAPPED start = {};
    return LockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))),
                      LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &start) != 0;
}

// Writes `count` bytes at the start of the file, the file first grown to
// them so that the write needs no room it might not get, then cuts the
// file to `size` bytes and flushes it to the disk.
static int write_at_start(HANDLE file, const char *bytes, size_t count, size_t size) {
    LARGE_INTEGER old_size = {}, start = {}, grown = {}, end = {};
    grown.QuadPart = static_cast<LONGLONG>(count);
    end.QuadPart = static_cast<LONGLONG>(size);
    DWORD written = 0;
    const bool grow = GetFileSizeEx(file, &old_size) && old_size.QuadPart < grown.QuadPart;
    if ((grow && (!SetFilePointerEx(file, grown, nullptr, FILE_BEGIN) || !SetEndOfFile(file))) ||
        !SetFilePointerEx(file, start, nullptr, FILE_BEGIN) ||
        !WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) || written != count ||
        !SetFilePointerEx(file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(file) ||
        !FlushFileBuffers(file)) {
        return last_reason();
    }
    return 0;
}

int record_rewrite(FILE *file, const char *bytes, size_t count, size_t size) {
    return write_at_start(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), bytes, count,
                          size);
}

int record_replace(const std::string &target, const char *text, size_t size, FILE *old) {
    const DWORD KEPT = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD attributes = old != nullptr ? GetFileAttributesA(target.c_str()) : 0;
    attributes = attributes == INVALID_FILE_ATTRIBUTES || (attributes & KEPT) == 0
                     ? FILE_ATTRIBUTE_NORMAL
                     : attributes & KEPT;
    std::string temp =
        target.substr(0, target.find_last_of("\\/") + 1) + RECORD_TEMP_PREFIX + "XXXXXX";
    if (_mktemp_s(&temp[0], temp.size() + 1) != 0) return EEXIST;
    const HANDLE file =
        CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE) return last_reason();
    int reason = write_at_start(file, text, size, size);
    if (!CloseHandle(file) && reason == 0) reason = last_reason();
    // One step, and on the disk before it returns.
    if (reason == 0 && !MoveFileExA(temp.c_str(), target.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = last_reason();
    }
    if (reason != 0) DeleteFileA(temp.c_str());
    return reason;
}
