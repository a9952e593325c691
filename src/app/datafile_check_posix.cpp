// Reading the datafile's bytes with POSIX calls.
#include "app/datafile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool read_regular_file(const char *path, size_t limit, std::vector<unsigned char> *bytes) {
    // Not blocking: a pipe or a device under the datafile's name is no datafile.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<uintmax_t>(info.st_size) > limit) {
        close(fd);
        return false;
    }
    // Read to the end, whatever the size said; one byte over the limit is enough to refuse.
    bytes->assign(static_cast<size_t>(info.st_size) + 1, 0);
    size_t filled = 0;
    bool failed = false;
    for (;;) {
        if (filled == bytes->size()) {
            if (bytes->size() > limit) break;
            bytes->resize(std::min(bytes->size() * 2, limit + 1));
        }
        const ssize_t got = read(fd, bytes->data() + filled, bytes->size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            failed = true;
            break;
        }
        if (got == 0) break;
        filled += static_cast<size_t>(got);
    }
    close(fd);
    bytes->resize(filled);
    return !failed && filled <= limit;
}
