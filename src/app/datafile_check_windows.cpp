// Reading the datafile's bytes with Windows calls.
#include "app/datafile.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// After allegro.h, through the library's own header: both name a type BITMAP.
#include <winalleg.h>

bool read_regular_file(const char *path, size_t limit, std::vector<unsigned char> *bytes) {
    // Others may go on reading and writing the file; a folder cannot be
    // opened this way at all.
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // Only a file on a disk: a pipe or a device (CON, NUL, COM1...) under the
    // datafile's name is no datafile, and reading it could block.
    BY_HANDLE_FILE_INFORMATION info = {};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(file);
        return false;
    }
    const uint64_t size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (size > limit) {
        CloseHandle(file);
        return false;
    }
    // Read to the end, whatever the size said; one byte over the limit is enough to refuse.
    bytes->assign(static_cast<size_t>(size) + 1, 0);
    size_t filled = 0;
    bool failed = false;
    for (;;) {
        if (filled == bytes->size()) {
            if (bytes->size() > limit) break;
            bytes->resize(std::min(bytes->size() * 2, limit + 1));
        }
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes->size() - filled, 1u << 20));
        DWORD got = 0;
        if (!ReadFile(file, bytes->data() + filled, want, &got, nullptr)) {
            failed = true;
            break;
        }
        if (got == 0) break;
        filled += got;
    }
    CloseHandle(file);
    bytes->resize(filled);
    return !failed && filled <= limit;
}
