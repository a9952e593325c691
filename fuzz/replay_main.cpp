// Runs fuzz_datafile's checks on the files named on the command line, with
// no sanitizer and no fuzzer, so that Valgrind can watch the library's own
// loader (which AddressSanitizer cannot see inside) on every input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int i = 1; i < argc; i++) {
        FILE *file = std::fopen(argv[i], "rb");
        if (file == nullptr) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        std::vector<uint8_t> data;
        uint8_t buffer[65536];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) data.insert(data.end(), buffer, buffer + got);
        std::fclose(file);
        LLVMFuzzerTestOneInput(data.data(), data.size());
        replayed++;
    }
    std::printf("replayed %d inputs\n", replayed);
    return 0;
}
