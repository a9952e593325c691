// The datafile structure check on any bytes. Whatever it accepts is then
// handed to the library's own loader, which must load it without a crash;
// and the check's LZSS unpacking must agree with the library's reader on
// every stream it accepts.
//
// Raw bytes seldom make a whole datafile, so each input is also read as a
// recipe for one: objects of every kind the check knows, with headers that
// agree with their data or not, properties, nested datafiles, objects packed
// by themselves or the whole file packed, and now and then one byte changed.
#include <allegro.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <unistd.h>

#include "app/datafile.h"

namespace {

using bytes = std::vector<unsigned char>;

// In memory when the machine offers it: every input goes through this file.
char temp_path[64] = "";

void remove_temp_file() { unlink(temp_path); }

void write_temp_file(const void *head, size_t head_size, const uint8_t *data, size_t size) {
    FILE *file = fopen(temp_path, "wb");
    if (file == nullptr) abort();
    if ((head_size > 0 && fwrite(head, 1, head_size, file) != head_size) ||
        (size > 0 && fwrite(data, 1, size, file) != size) || fclose(file) != 0)
        abort();
}

// The library's own reading of `data` as the packed body of a file.
bytes library_unpacked(const uint8_t *data, size_t size, size_t limit) {
    static const unsigned char PACKED_MAGIC[4] = {'s', 'l', 'h', '!'};
    write_temp_file(PACKED_MAGIC, sizeof PACKED_MAGIC, data, size);
    PACKFILE *file = pack_fopen(temp_path, F_READ_PACKED);
    if (file == nullptr) abort();
    bytes out;
    unsigned char buffer[4096];
    while (out.size() <= limit) {
        const long got = pack_fread(buffer, sizeof buffer, file);
        if (got <= 0) break;
        out.insert(out.end(), buffer, buffer + got);
    }
    pack_fclose(file);
    return out;
}

void check_unpacking(const uint8_t *data, size_t size) {
    const size_t limit = size * 9 + 64;
    bytes ours;
    if (!unpack_lzss(data, size, limit, &ours)) return;
    if (library_unpacked(data, size, limit) != ours) {
        fprintf(stderr, "LZSS: the library unpacks these %zu bytes otherwise\n", size);
        abort();
    }
}

// The check on the bytes, and the loader on whatever it accepts.
void check_and_load(const uint8_t *data, size_t size) {
    if (!datafile_bytes_well_formed(data, size)) return;
    write_temp_file(nullptr, 0, data, size);
    if (!datafile_file_well_formed(temp_path)) {
        fprintf(stderr, "the check accepts these bytes in memory but not from a file\n");
        abort();
    }
    DATAFILE *loaded = load_datafile(temp_path);
    if (loaded == nullptr) {
        fprintf(stderr, "the check accepted %zu bytes the library could not load\n", size);
        abort();
    }
    unload_datafile(loaded);
}

// The fuzzer's bytes, taken one decision at a time; zeros once they run out.
// `flawed` is set by every choice that makes the datafile one the check must
// refuse: a recipe without one must pass.
struct recipe {
    const uint8_t *at;
    size_t left;
    bool flawed;
};

unsigned next_byte(recipe *r) {
    if (r->left == 0) return 0;
    r->left--;
    return *r->at++;
}

unsigned next_u16(recipe *r) { return (next_byte(r) << 8) | next_byte(r); }

void put_u32(bytes &out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void put_u16(bytes &out, unsigned value) {
    out.push_back(static_cast<unsigned char>(value >> 8));
    out.push_back(static_cast<unsigned char>(value));
}

// Packs with literals only: a flag byte of ones before every eight bytes.
// The library reads that as any other LZSS stream.
bytes pack_literally(const bytes &plain) {
    bytes out;
    for (size_t i = 0; i < plain.size(); i++) {
        if (i % 8 == 0) out.push_back(0xff);
        out.push_back(plain[i]);
    }
    return out;
}

// Data that is mostly the right size for its header, now and then not.
void put_payload(bytes &out, recipe *r, size_t wanted) {
    const unsigned skew = next_byte(r);
    size_t size = wanted;
    if (skew == 1 && size > 0) {
        size--;
        r->flawed = true;
    }
    if (skew == 2) {
        size++;
        r->flawed = true;
    }
    for (size_t i = 0; i < size; i++) out.push_back(static_cast<unsigned char>(i < 64 ? next_byte(r) : i));
}

bytes recipe_objects(recipe *r, int depth);

bytes recipe_object_data(recipe *r, uint32_t *type, int depth) {
    static const int DEPTHS[] = {8, 15, 16, 24, 32, -32, 12, 0};
    static const int SAMPLE_BITS[] = {8, 16, -8, -16, 12, 0};
    static const uint32_t OTHER_TYPES[] = {DAT_ID('D', 'A', 'T', 'A'), DAT_ID('i', 'n', 'f', 'o'), DAT_PALETTE,
                                           DAT_FONT, DAT_RLE_SPRITE, DAT_C_SPRITE, DAT_MIDI,
                                           static_cast<uint32_t>(DAT_END)};
    bytes data;
    switch (next_byte(r) % 4) {
        case 0: {
            *type = DAT_BITMAP;
            const int bits = DEPTHS[next_byte(r) % 8];
            const unsigned width = next_byte(r) % 24, height = next_byte(r) % 24;
            const size_t per_pixel = bits == 8 ? 1 : bits == 15 || bits == 16 ? 2 : bits == -32 ? 4 : 3;
            if (bits == 12 || bits == 0 || width == 0 || height == 0) r->flawed = true;
            put_u16(data, static_cast<unsigned>(bits) & 0xffffu);
            put_u16(data, width);
            put_u16(data, height);
            put_payload(data, r, width * height * per_pixel);
            break;
        }
        case 1: {
            *type = DAT_SAMPLE;
            const int bits = SAMPLE_BITS[next_byte(r) % 6];
            const unsigned frequency = next_u16(r), length = next_byte(r) % 200;
            if (bits == 12 || bits == 0 || frequency == 0 || length == 0) r->flawed = true;
            put_u16(data, static_cast<unsigned>(bits) & 0xffffu);
            put_u16(data, frequency);
            put_u32(data, length);
            const size_t magnitude = static_cast<size_t>(bits < 0 ? -bits : bits);
            put_payload(data, r, length * (bits < 0 ? 2 : 1) * (magnitude / 8));
            break;
        }
        case 2:
            if (depth < 3) {
                *type = DAT_FILE;
                data = recipe_objects(r, depth + 1);
                break;
            }
            [[fallthrough]];
        default:
            *type = OTHER_TYPES[next_byte(r) % 8];
            // Fonts, sprites and tunes are refused, and so is the end marker.
            if (*type != DAT_ID('D', 'A', 'T', 'A') && *type != DAT_ID('i', 'n', 'f', 'o') && *type != DAT_PALETTE)
                r->flawed = true;
            put_payload(data, r, next_byte(r) % 32);
            break;
    }
    return data;
}

bytes recipe_objects(recipe *r, int depth) {
    const unsigned count = next_byte(r) % 5;
    bytes out;
    put_u32(out, count);
    for (unsigned i = 0; i < count; i++) {
        const unsigned properties = next_byte(r) % 3;
        for (unsigned p = 0; p < properties; p++) {
            put_u32(out, DAT_PROPERTY);
            const bool end_marker = next_byte(r) == 7;
            if (end_marker) r->flawed = true;
            put_u32(out, end_marker ? static_cast<uint32_t>(DAT_END) : DAT_NAME);
            const unsigned length = next_byte(r) % 8;
            put_u32(out, length);
            for (unsigned k = 0; k < length; k++) out.push_back(static_cast<unsigned char>('A' + k));
        }
        uint32_t type = 0;
        const bytes data = recipe_object_data(r, &type, depth);
        put_u32(out, type);
        if (next_byte(r) % 4 == 0) {
            const bytes packed = pack_literally(data);
            put_u32(out, static_cast<uint32_t>(packed.size()));
            put_u32(out, 0u - static_cast<uint32_t>(data.size()));
            out.insert(out.end(), packed.begin(), packed.end());
        } else {
            put_u32(out, static_cast<uint32_t>(data.size()));
            put_u32(out, static_cast<uint32_t>(data.size()));
            out.insert(out.end(), data.begin(), data.end());
        }
    }
    return out;
}

bytes recipe_datafile(const uint8_t *data, size_t size, bool *flawed) {
    recipe r = {data, size, false};
    const unsigned form = next_byte(&r);
    bytes body;
    put_u32(body, DAT_MAGIC);
    const bytes objects = recipe_objects(&r, 0);
    body.insert(body.end(), objects.begin(), objects.end());

    bytes file;
    if (form % 4 == 0) {
        put_u32(file, static_cast<uint32_t>(F_PACK_MAGIC));
        const bytes packed = pack_literally(body);
        file.insert(file.end(), packed.begin(), packed.end());
    } else {
        put_u32(file, static_cast<uint32_t>(F_NOPACK_MAGIC));
        file.insert(file.end(), body.begin(), body.end());
    }
    // Now and then one byte changed, or the file cut short.
    const unsigned damage = next_byte(&r);
    const size_t where = next_u16(&r);
    if (damage == 1) {
        file[where % file.size()] ^= static_cast<unsigned char>(next_byte(&r) | 1);
        r.flawed = true;  // perhaps harmless, in a pixel; the check may take it
    }
    if (damage == 2) {
        file.resize(where % file.size());
        r.flawed = true;
    }
    *flawed = r.flawed;
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) abort();
    set_color_depth(16);
    snprintf(temp_path, sizeof temp_path, "%s/snake_fuzz_datafile.XXXXXX",
             access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    const int fd = mkstemp(temp_path);
    if (fd < 0) abort();
    close(fd);
    atexit(remove_temp_file);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    check_unpacking(data, size);
    check_and_load(data, size);
    bool flawed = false;
    const bytes made = recipe_datafile(data, size, &flawed);
    if (!flawed && !datafile_bytes_well_formed(made.data(), made.size())) {
        fprintf(stderr, "the check refused a whole datafile of %zu bytes\n", made.size());
        abort();
    }
    check_and_load(made.data(), made.size());
    return 0;
}
