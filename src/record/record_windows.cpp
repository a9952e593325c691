// The record file's system calls on Windows (record_platform.h).
//
// What differs from the POSIX twin, as Windows has it: a file the player may
// not write is one with the read-only attribute or access rules that refuse
// writing; a save's temporary file is held open with no sharing but
// deletion, which tells other games' saves it is in use; the new file takes
// the old one's hidden, system and archive attributes, and its access rules
// come from its folder, as for any new file there. A dangling symbolic link
// cannot be followed here: the save then reports it and leaves it alone.
#include "record/record_platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

// Attributes of the old record the new one takes over.
static const DWORD KEPT_ATTRIBUTES = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Names tried for a temporary file before a save gives up.
static const unsigned TEMP_NAME_ATTEMPTS = 100;

// The nearest errno value to a Windows error code.
static int reason_of(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_CANNOT_MAKE:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return ENAMETOOLONG;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        default:
            return EIO;
    }
}

static int last_reason() {
    return reason_of(GetLastError());
}

// Opens an existing file without following anything but links, sharing it
// with every other reader, writer and rename; INVALID_HANDLE_VALUE when it
// cannot be opened or is not a file on a disk (a device, a pipe).
static HANDLE open_disk_file(const char *name, DWORD access, DWORD share, int *reason) {
    const HANDLE file = CreateFileA(name, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *reason = last_reason();
        return file;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        *reason = RECORD_NOT_A_FILE;
        return INVALID_HANDLE_VALUE;
    }
    *reason = 0;
    return file;
}

static const DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FILE *record_open_for_reading(const char *name) {
    // Looked at before it is opened: a folder is passed over, and a name
    // that is no file at all is never opened for reading.
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return nullptr;
    }
    int reason = 0;
    const HANDLE file = open_disk_file(name, GENERIC_READ, SHARE_ALL, &reason);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    // Binary: the bytes as they are, a Ctrl-Z or a CR included.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        return nullptr;
    }
    FILE *stream = _fdopen(fd, "rb");
    if (stream == nullptr) {
        _close(fd);
    }
    return stream;
}

// Length of the folder part of `path`, its last separator included; 0 for
// a name in the working folder.
static size_t folder_part(const char *path) {
    size_t length = 0;
    for (size_t i = 0; path[i] != '\0'; i++) {
        if (path[i] == '\\' || path[i] == '/' || (i == 1 && path[i] == ':')) {
            length = i + 1;
        }
    }
    return length;
}

int record_resolve_target(const char *name, char *target, size_t size) {
    if (strlen(name) >= size) {
        return ENAMETOOLONG;
    }
    snprintf(target, size, "%s", name);
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        // Missing, or no link: the name itself.
        return 0;
    }
    // A link: the system follows the whole chain to the file at its end.
    const HANDLE file = CreateFileA(name, 0, SHARE_ALL, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return last_reason();
    }
    const DWORD length =
        GetFinalPathNameByHandleA(file, target, static_cast<DWORD>(size), FILE_NAME_NORMALIZED);
    const int reason = length == 0 ? last_reason() : length >= size ? ENAMETOOLONG : 0;
    CloseHandle(file);
    return reason;
}

int record_check_target(const char *target, bool *exists) {
    *exists = false;
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const int reason = last_reason();
        return reason == ENOENT ? 0 : reason;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return RECORD_NOT_A_FILE;
    }
    // The read-only attribute is how a player keeps a record as it is.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return EACCES;
    }
    // Opening for writing (an existing file, not cut) changes nothing; it
    // tells whether the access rules let the player write.
    int reason = 0;
    const HANDLE file = open_disk_file(target, GENERIC_WRITE, SHARE_ALL, &reason);
    if (file == INVALID_HANDLE_VALUE) {
        return reason;
    }
    CloseHandle(file);
    *exists = true;
    return 0;
}

// The file's identity: its volume and its index there.
struct file_identity {
    DWORD volume;
    DWORD index_high;
    DWORD index_low;
};

static bool identity_of(HANDLE file, file_identity *identity) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file, &info)) {
        return false;
    }
    *identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

static bool same_file(const file_identity &a, const file_identity &b) {
    return a.volume == b.volume && a.index_high == b.index_high && a.index_low == b.index_low;
}

void record_remove_leftovers(const char *target) {
    const size_t folder_length = folder_part(target);
    char pattern[RECORD_PATH_SIZE];
    if (folder_length + sizeof RECORD_TEMP_PREFIX + 1 > sizeof pattern) {
        return;
    }
    snprintf(pattern, sizeof pattern, "%.*s%s*", static_cast<int>(folder_length), target,
             RECORD_TEMP_PREFIX);
    // The record itself is never taken for a leftover, whatever its name.
    file_identity record_file = {};
    bool record_known = false;
    const HANDLE record_handle = CreateFileA(target, FILE_READ_ATTRIBUTES, SHARE_ALL, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (record_handle != INVALID_HANDLE_VALUE) {
        record_known = identity_of(record_handle, &record_file);
        CloseHandle(record_handle);
    }
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const DWORD skipped = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                              FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY;
        if ((found.dwFileAttributes & skipped) != 0 || !record_is_temp_name(found.cFileName)) {
            continue;
        }
        char path[RECORD_PATH_SIZE];
        const int length = snprintf(path, sizeof path, "%.*s%s", static_cast<int>(folder_length),
                                    target, found.cFileName);
        if (length < 0 || static_cast<size_t>(length) >= sizeof path) {
            continue;
        }
        // Opened with no sharing at all, which fails while a save, here or
        // in another game, holds the file. A link is opened as itself.
        const HANDLE file = CreateFileA(path, DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            continue;
        }
        file_identity identity = {};
        BY_HANDLE_FILE_INFORMATION info = {};
        if (GetFileInformationByHandle(file, &info) &&
            (info.dwFileAttributes & (skipped & ~FILE_ATTRIBUTE_READONLY)) == 0 &&
            identity_of(file, &identity) && !(record_known && same_file(identity, record_file))) {
            // Removed when this handle closes.
            FILE_DISPOSITION_INFO remove = {};
            remove.DeleteFile = TRUE;
            SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove);
        }
        CloseHandle(file);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

static bool write_all(HANDLE file, const char *text, size_t size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, text, static_cast<DWORD>(size), &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        text += written;
        size -= written;
    }
    return true;
}

// Six letters and digits for a temporary file's name, different at every
// attempt and from one game to the next.
static void unique_chars(unsigned attempt, char *out) {
    static const char CHARS[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    LARGE_INTEGER now = {};
    QueryPerformanceCounter(&now);
    unsigned long long mix = static_cast<unsigned long long>(now.QuadPart) * 0x9e3779b97f4a7c15ull ^
                             (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^ attempt;
    for (size_t i = 0; i < RECORD_TEMP_UNIQUE_CHARS; i++) {
        out[i] = CHARS[mix % (sizeof CHARS - 1)];
        mix /= sizeof CHARS - 1;
        mix ^= mix >> 29;
        mix += attempt + 1;
    }
    out[RECORD_TEMP_UNIQUE_CHARS] = '\0';
}

int record_replace(const char *target, const char *text, size_t size, bool exists) {
    DWORD old_attributes = exists ? GetFileAttributesA(target) : INVALID_FILE_ATTRIBUTES;
    if (old_attributes == INVALID_FILE_ATTRIBUTES) {
        old_attributes = 0;
    }

    const size_t folder_length = folder_part(target);
    char temp[RECORD_PATH_SIZE];
    if (folder_length + sizeof RECORD_TEMP_PREFIX + RECORD_TEMP_UNIQUE_CHARS > sizeof temp) {
        return ENAMETOOLONG;
    }
    // Made here and nowhere else (CREATE_NEW), and held with no sharing but
    // deletion, which the move below needs, until the move is done: another
    // game's save does not take it for a leftover.
    HANDLE file = INVALID_HANDLE_VALUE;
    int reason = 0;
    for (unsigned attempt = 0; attempt < TEMP_NAME_ATTEMPTS && file == INVALID_HANDLE_VALUE; attempt++) {
        char unique[RECORD_TEMP_UNIQUE_CHARS + 1];
        unique_chars(attempt, unique);
        snprintf(temp, sizeof temp, "%.*s%s%s", static_cast<int>(folder_length), target,
                 RECORD_TEMP_PREFIX, unique);
        file = CreateFileA(temp, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            reason = reason_of(error);
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
                return reason;
            }
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return reason;
    }

    reason = 0;
    if (!write_all(file, text, size) || !FlushFileBuffers(file)) {
        reason = last_reason();
    }
    if (reason == 0 && (old_attributes & KEPT_ATTRIBUTES) != 0) {
        SetFileAttributesA(temp, old_attributes & KEPT_ATTRIBUTES);
    }
    // One step, and on the disk before it returns.
    const DWORD move = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (reason == 0 && !MoveFileExA(temp, target, move)) {
        reason = last_reason();
        // A system that will not move a file still open moves it closed.
        if (reason == EBUSY) {
            const bool closed = CloseHandle(file) != 0;
            file = INVALID_HANDLE_VALUE;
            reason = !closed ? last_reason() : MoveFileExA(temp, target, move) ? 0 : last_reason();
        }
    }
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && reason == 0) {
        reason = last_reason();
    }
    if (reason != 0) {
        DeleteFileA(temp);
    }
    return reason;
}

int record_rewrite_in_place(const char *target, const char *text, size_t size) {
    // Read access only serves to undo a short write; a file the player may
    // write but not read is still rewritten.
    int reason = 0;
    HANDLE file = open_disk_file(target, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &reason);
    bool readable = true;
    if (file == INVALID_HANDLE_VALUE && reason == EACCES) {
        file = open_disk_file(target, GENERIC_WRITE, FILE_SHARE_READ, &reason);
        readable = false;
    }
    if (file == INVALID_HANDLE_VALUE) {
        return reason;
    }
    LARGE_INTEGER old_size = {};
    if (!GetFileSizeEx(file, &old_size)) {
        reason = last_reason();
        CloseHandle(file);
        return reason;
    }
    char bytes[32];
    const size_t count = record_in_place_bytes(static_cast<size_t>(old_size.QuadPart), text, size,
                                               bytes, sizeof bytes);
    // The old bytes the write covers, to put back should it come out short.
    char old_bytes[sizeof bytes];
    DWORD old_count = 0;
    if (!readable || !ReadFile(file, old_bytes, static_cast<DWORD>(count), &old_count, nullptr)) {
        old_count = 0;
    }

    LARGE_INTEGER start = {};
    DWORD written = 0;
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        reason = last_reason();
    } else if (!WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr)) {
        reason = last_reason();
    } else if (written != count) {
        reason = EIO;
        if (written > 0 && old_count >= written && SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
            DWORD undone = 0;
            WriteFile(file, old_bytes, written, &undone, nullptr);
        }
    } else {
        LARGE_INTEGER end = {};
        end.QuadPart = static_cast<LONGLONG>(size);
        if (!SetFilePointerEx(file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(file) ||
            !FlushFileBuffers(file)) {
            reason = last_reason();
        }
    }
    if (!CloseHandle(file) && reason == 0) {
        reason = last_reason();
    }
    return reason;
}
