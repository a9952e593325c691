// The structure of a game datafile, checked before the library's loader sees
// it. The loader trusts every count and size it reads: a file cut short hands
// it an end-of-file marker as an object type, which it looks up in its table of
// loaders and calls through an empty slot. So every header, property, size and
// picture or sample is followed here, within the bytes the file really holds.
//
// The file: a packfile magic ("slh." plain, or "slh!" with everything after it
// packed by the library's LZSS), "ALL.", the object count and the objects. An
// object is any number of properties ("prop", a type, a length, the bytes),
// then its type, its size in the file and its size once read (negative when
// the object is packed by itself), then its data. All numbers are big-endian.
#include "app/datafile.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// Nothing larger is read, and no packed stream may unpack to more than this
// in all: the game's own datafile is about a megabyte.
static const size_t DATAFILE_SIZE_LIMIT = 64u * 1024u * 1024u;

// How deep datafiles may sit inside one another; the loader recurses as deep.
static const int NESTING_LIMIT = 16;

// The library's LZSS: a ring of 4096 bytes written from 4096 - 18 on, the
// bytes before that starting zeroed. A flag byte tells, bit by bit from the
// lowest, whether each next item is one literal byte or a two-byte copy of
// 3 to 18 bytes from the ring.
static const unsigned LZSS_RING = 4096;
static const unsigned LZSS_LONGEST = 18;
static const unsigned LZSS_SHORTEST = 3;

// The library's DAT_END, which is also what its reader returns at the end of a file.
static const uint32_t END_MARKER = static_cast<uint32_t>(DAT_END);

// Bytes of the headers in front of a picture's and a sample's data.
static const size_t BITMAP_HEADER = 6;
static const size_t SAMPLE_HEADER = 8;

// Where the reading of a byte range has got to.
struct byte_reader {
    const unsigned char *at;
    size_t left;
};

// What a whole check may still spend: unpacked bytes, and how deep it is.
struct check_state {
    size_t unpack_budget;
    int depth;
};

static bool take_bytes(byte_reader *reader, size_t count, const unsigned char **start) {
    if (count > reader->left) return false;
    *start = reader->at;
    reader->at += count;
    reader->left -= count;
    return true;
}

static bool take_u32(byte_reader *reader, uint32_t *value) {
    const unsigned char *b = nullptr;
    if (!take_bytes(reader, 4, &b)) return false;
    *value = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
    return true;
}

static bool take_u16(byte_reader *reader, uint32_t *value) {
    const unsigned char *b = nullptr;
    if (!take_bytes(reader, 2, &b)) return false;
    *value = (uint32_t{b[0]} << 8) | uint32_t{b[1]};
    return true;
}

// A 16-bit field the loader reads as a signed number.
static int signed_16(uint32_t value) {
    return value >= 0x8000u ? static_cast<int>(value) - 0x10000 : static_cast<int>(value);
}

// The library's four-letter type names, as the unsigned numbers read here.
static uint32_t id_of(int library_id) { return static_cast<uint32_t>(library_id); }

// A stream that copies from the part of the ring nothing has written yet is
// refused: the library leaves that part uninitialised, so what it would read
// there cannot be known. So is one that does not end right after a whole
// item: a flag byte with nothing after it, or half a reference, could leave
// the library's reader and this one at different places in the file.
bool unpack_lzss(const unsigned char *in, size_t in_size, size_t limit, std::vector<unsigned char> *out) {
    // Every 17 bytes in give at most 144 out: a flag byte and eight longest copies.
    const size_t most = (in_size / 17 + 1) * 144;
    out->resize(std::min(limit, most));
    unsigned char *const to = out->data();
    const size_t room = out->size();
    unsigned char ring[LZSS_RING] = {};
    const unsigned first_written = LZSS_RING - LZSS_LONGEST;
    unsigned r = first_written;
    unsigned flags = 0;
    bool flag_unused = false;
    size_t pos = 0, made = 0;
    for (;;) {
        flags >>= 1;
        if ((flags & 0x100u) == 0) {
            if (pos >= in_size) break;
            flags = in[pos++] | 0xff00u;
            flag_unused = true;
        }
        if (pos >= in_size) break;
        if (flags & 1u) {
            if (made >= room) return false;
            const unsigned char c = in[pos++];
            to[made++] = c;
            ring[r] = c;
            r = (r + 1) & (LZSS_RING - 1);
        } else {
            if (in_size - pos < 2) return false;
            const unsigned low = in[pos], high = in[pos + 1];
            pos += 2;
            const unsigned from = low | ((high & 0xf0u) << 4);
            const unsigned length = (high & 0x0fu) + LZSS_SHORTEST;
            if (room - made < length) return false;
            for (unsigned k = 0; k < length; k++) {
                const unsigned at = (from + k) & (LZSS_RING - 1);
                // The ring is written from first_written on, one byte per byte made.
                if (at >= first_written && at - first_written >= made) return false;
                const unsigned char c = ring[at];
                to[made++] = c;
                ring[r] = c;
                r = (r + 1) & (LZSS_RING - 1);
            }
        }
        flag_unused = false;
    }
    out->resize(made);
    return !flag_unused;
}

// Bytes per pixel of a picture's stored depth; 0 for a depth the loader
// does not know. A 32-bit picture is stored as RGB, one with alpha as RGBA.
static size_t bytes_per_pixel(int bits) {
    switch (bits) {
        case 8: return 1;
        case 15:
        case 16: return 2;
        case 24:
        case 32: return 3;
        case -32: return 4;
        default: return 0;
    }
}

// A picture: depth, width, height, then exactly its pixels.
static bool bitmap_well_formed(const unsigned char *data, size_t size) {
    byte_reader reader = {data, size};
    uint32_t bits = 0, width = 0, height = 0;
    if (!take_u16(&reader, &bits) || !take_u16(&reader, &width) || !take_u16(&reader, &height)) return false;
    const size_t per_pixel = bytes_per_pixel(signed_16(bits));
    if (per_pixel == 0 || width == 0 || height == 0) return false;
    // At most 65535 * 65535 * 4: no overflow in a size_t.
    return size - BITMAP_HEADER == size_t{width} * height * per_pixel;
}

// A sample: bits (negative for stereo), frequency, length, then exactly its
// data. A sample of no length or no frequency is nothing the game can play.
static bool sample_well_formed(const unsigned char *data, size_t size) {
    byte_reader reader = {data, size};
    uint32_t bits_field = 0, frequency = 0, length = 0;
    if (!take_u16(&reader, &bits_field) || !take_u16(&reader, &frequency) || !take_u32(&reader, &length))
        return false;
    const int bits = signed_16(bits_field);
    const size_t channels = bits < 0 ? 2 : 1;
    const int magnitude = bits < 0 ? -bits : bits;
    if (magnitude != 8 && magnitude != 16) return false;
    if (frequency == 0 || length == 0 || length > INT32_MAX) return false;
    const size_t bytes = static_cast<size_t>(magnitude / 8);
    return size - SAMPLE_HEADER == size_t{length} * channels * bytes;
}

static bool objects_well_formed(byte_reader *reader, check_state *state);

// The data of one object, as its loader will read it.
static bool object_data_well_formed(uint32_t type, const unsigned char *data, size_t size, check_state *state) {
    if (type == id_of(DAT_FILE)) {
        if (state->depth >= NESTING_LIMIT) return false;
        byte_reader inner = {data, size};
        state->depth++;
        const bool well_formed = objects_well_formed(&inner, state) && inner.left == 0;
        state->depth--;
        return well_formed;
    }
    if (type == id_of(DAT_BITMAP)) return bitmap_well_formed(data, size);
    if (type == id_of(DAT_SAMPLE)) return sample_well_formed(data, size);
    // Fonts, tunes and run-length or compiled sprites have loaders that follow
    // counts inside their data; the game reads none of them, so none is taken.
    if (type == id_of(DAT_FONT) || type == id_of(DAT_MIDI) ||
        type == id_of(DAT_RLE_SPRITE) || type == id_of(DAT_C_SPRITE) ||
        type == id_of(DAT_XC_SPRITE))
        return false;
    // Anything else is kept as raw bytes by the loader.
    return true;
}

// One object with the properties in front of it.
static bool object_well_formed(byte_reader *reader, check_state *state) {
    uint32_t type = 0;
    for (;;) {
        if (!take_u32(reader, &type)) return false;
        if (type != id_of(DAT_PROPERTY)) break;
        uint32_t property_type = 0, length = 0;
        const unsigned char *text = nullptr;
        if (!take_u32(reader, &property_type) || !take_u32(reader, &length)) return false;
        if (length > INT32_MAX || !take_bytes(reader, length, &text)) return false;
        // The loader ends an object's list of properties with the end marker's
        // type: a property of that type would hide the rest and never be freed.
        if (property_type == END_MARKER) return false;
    }
    // The end marker as a type: the loader would call a loader that is not there.
    if (type == END_MARKER) return false;

    uint32_t stored = 0, unpacked_field = 0;
    if (!take_u32(reader, &stored) || !take_u32(reader, &unpacked_field)) return false;
    if (stored > INT32_MAX) return false;
    const unsigned char *data = nullptr;
    if (!take_bytes(reader, stored, &data)) return false;

    if (unpacked_field <= INT32_MAX) {
        // Stored as it is: both sizes say the same.
        return unpacked_field == stored && object_data_well_formed(type, data, stored, state);
    }
    // Packed by itself: the block in the file must unpack to exactly the size announced.
    const size_t unpacked = size_t{0u - unpacked_field};
    if (unpacked > state->unpack_budget) return false;
    std::vector<unsigned char> plain;
    if (!unpack_lzss(data, stored, unpacked, &plain) || plain.size() != unpacked) return false;
    state->unpack_budget -= unpacked;
    return object_data_well_formed(type, plain.data(), plain.size(), state);
}

// An object count and that many objects.
static bool objects_well_formed(byte_reader *reader, check_state *state) {
    uint32_t count = 0;
    if (!take_u32(reader, &count) || count > INT32_MAX) return false;
    for (uint32_t i = 0; i < count; i++)
        if (!object_well_formed(reader, state)) return false;
    return true;
}

// The content after the packfile magic: "ALL." and the objects, nothing after them.
static bool datafile_body_well_formed(const unsigned char *bytes, size_t size, check_state *state) {
    byte_reader reader = {bytes, size};
    uint32_t magic = 0;
    if (!take_u32(&reader, &magic) || magic != id_of(DAT_MAGIC)) return false;
    return objects_well_formed(&reader, state) && reader.left == 0;
}

bool datafile_bytes_well_formed(const unsigned char *bytes, size_t size) {
    if (size > DATAFILE_SIZE_LIMIT) return false;
    byte_reader reader = {bytes, size};
    uint32_t magic = 0;
    if (!take_u32(&reader, &magic)) return false;
    check_state state = {DATAFILE_SIZE_LIMIT, 0};
    if (magic == id_of(F_NOPACK_MAGIC)) return datafile_body_well_formed(reader.at, reader.left, &state);
    if (magic != id_of(F_PACK_MAGIC)) return false;
    std::vector<unsigned char> plain;
    if (!unpack_lzss(reader.at, reader.left, state.unpack_budget, &plain)) return false;
    state.unpack_budget -= plain.size();
    return datafile_body_well_formed(plain.data(), plain.size(), &state);
}

bool datafile_file_well_formed(const char *path) {
    std::vector<unsigned char> bytes;
    return read_regular_file(path, DATAFILE_SIZE_LIMIT, &bytes) &&
           datafile_bytes_well_formed(bytes.data(), bytes.size());
}
