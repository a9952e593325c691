#include "compact_png.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace e2e {

namespace {

// Bits go out least significant first; Huffman codes are sent from their
// most significant bit.
class BitWriter {
public:
    void bits(uint32_t value, int count) {
        buffer_ |= value << filled_;
        filled_ += count;
        while (filled_ >= 8) {
            out_.push_back(static_cast<uint8_t>(buffer_ & 0xff));
            buffer_ >>= 8;
            filled_ -= 8;
        }
    }
    void code(uint32_t value, int length) {
        uint32_t reversed = 0;
        for (int i = 0; i < length; i++) reversed = (reversed << 1) | ((value >> i) & 1u);
        bits(reversed, length);
    }
    std::vector<uint8_t> finish() {
        if (filled_ > 0) out_.push_back(static_cast<uint8_t>(buffer_ & 0xff));
        buffer_ = 0;
        filled_ = 0;
        return std::move(out_);
    }

private:
    std::vector<uint8_t> out_;
    uint32_t buffer_ = 0;
    int filled_ = 0;
};

// The fixed literal/length code.
void put_symbol(BitWriter &w, int symbol) {
    if (symbol < 144)
        w.code(static_cast<uint32_t>(0x30 + symbol), 8);
    else if (symbol < 256)
        w.code(static_cast<uint32_t>(0x190 + symbol - 144), 9);
    else if (symbol < 280)
        w.code(static_cast<uint32_t>(symbol - 256), 7);
    else
        w.code(static_cast<uint32_t>(0xc0 + symbol - 280), 8);
}

const int LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int DISTANCE_BASE[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                               33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int DISTANCE_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void put_match(BitWriter &w, int length, int distance) {
    int i = 28;
    while (LENGTH_BASE[i] > length) i--;
    put_symbol(w, 257 + i);
    if (LENGTH_EXTRA[i]) w.bits(static_cast<uint32_t>(length - LENGTH_BASE[i]), LENGTH_EXTRA[i]);
    int j = 29;
    while (DISTANCE_BASE[j] > distance) j--;
    w.code(static_cast<uint32_t>(j), 5);
    if (DISTANCE_EXTRA[j])
        w.bits(static_cast<uint32_t>(distance - DISTANCE_BASE[j]), DISTANCE_EXTRA[j]);
}

constexpr int WINDOW = 32768;
constexpr int MIN_MATCH = 3;
constexpr int MAX_MATCH = 258;
constexpr int MAX_CHAIN = 64;
constexpr int HASH_BITS = 15;

uint32_t hash_at(const std::vector<uint8_t> &data, size_t i) {
    const uint32_t v = static_cast<uint32_t>(data[i]) | (static_cast<uint32_t>(data[i + 1]) << 8) |
                       (static_cast<uint32_t>(data[i + 2]) << 16);
    return (v * 2654435761u) >> (32 - HASH_BITS);
}

uint32_t crc32_of(const uint8_t *bytes, size_t size) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    uint32_t c = 0xffffffffu;
    for (size_t i = 0; i < size; i++) c = table[(c ^ bytes[i]) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

void put_u32(std::vector<uint8_t> &out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void put_chunk(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &data) {
    put_u32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put_u32(out, crc32_of(out.data() + start, out.size() - start));
}

int paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// One row filtered by each of the five PNG filters; the one whose bytes,
// read as signed, add up to the least is kept (the usual rule of thumb).
void filter_row(const uint8_t *row, const uint8_t *above, size_t size, int bpp,
                std::vector<uint8_t> &out) {
    std::vector<uint8_t> best, trial(size);
    long best_cost = 0;
    for (int type = 0; type <= 4; type++) {
        long cost = 0;
        for (size_t i = 0; i < size; i++) {
            const int a = i >= static_cast<size_t>(bpp) ? row[i - static_cast<size_t>(bpp)] : 0;
            const int b = above ? above[i] : 0;
            const int c = (above && i >= static_cast<size_t>(bpp)) ? above[i - static_cast<size_t>(bpp)] : 0;
            int predicted = 0;
            switch (type) {
                case 1:
                    predicted = a;
                    break;
                case 2:
                    predicted = b;
                    break;
                case 3:
                    predicted = (a + b) / 2;
                    break;
                case 4:
                    predicted = paeth(a, b, c);
                    break;
                default:
                    break;
            }
            trial[i] = static_cast<uint8_t>((row[i] - predicted) & 0xff);
            cost += std::abs(static_cast<int8_t>(trial[i]));
        }
        if (type == 0 || cost < best_cost) {
            best_cost = cost;
            best = trial;
            best.insert(best.begin(), static_cast<uint8_t>(type));
        }
    }
    out.insert(out.end(), best.begin(), best.end());
}

}  // namespace

std::vector<uint8_t> deflate_fixed(const std::vector<uint8_t> &data) {
    BitWriter w;
    w.bits(1, 1);  // the last block
    w.bits(1, 2);  // of fixed codes
    const size_t n = data.size();
    std::vector<int> head(size_t(1) << HASH_BITS, -1);
    std::vector<int> previous(n, -1);
    auto insert = [&](size_t i) {
        if (i + MIN_MATCH > n) return;
        const uint32_t h = hash_at(data, i);
        previous[i] = head[h];
        head[h] = static_cast<int>(i);
    };
    size_t i = 0;
    while (i < n) {
        int best_length = 0, best_distance = 0;
        if (i + MIN_MATCH <= n) {
            const size_t longest = std::min<size_t>(MAX_MATCH, n - i);
            int candidate = head[hash_at(data, i)];
            for (int chain = 0; candidate >= 0 && chain < MAX_CHAIN; chain++) {
                const size_t from = static_cast<size_t>(candidate);
                if (i - from > static_cast<size_t>(WINDOW)) break;
                size_t length = 0;
                while (length < longest && data[from + length] == data[i + length]) length++;
                if (static_cast<int>(length) > best_length) {
                    best_length = static_cast<int>(length);
                    best_distance = static_cast<int>(i - from);
                    if (length == longest) break;
                }
                candidate = previous[from];
            }
        }
        if (best_length >= MIN_MATCH) {
            put_match(w, best_length, best_distance);
            for (int k = 0; k < best_length; k++) insert(i + static_cast<size_t>(k));
            i += static_cast<size_t>(best_length);
        } else {
            put_symbol(w, data[i]);
            insert(i);
            i++;
        }
    }
    put_symbol(w, 256);  // end of block
    return w.finish();
}

bool write_compact_png(const Frame &frame, const std::string &path) {
    if (frame.empty()) return false;
    const int width = frame.width(), height = frame.height();
    const size_t stride = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> pixels(stride * static_cast<size_t>(height));
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            const Rgb p = frame.at(x, y);
            uint8_t *q = &pixels[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
            q[0] = static_cast<uint8_t>(p.r);
            q[1] = static_cast<uint8_t>(p.g);
            q[2] = static_cast<uint8_t>(p.b);
        }
    }
    std::vector<uint8_t> filtered;
    filtered.reserve((stride + 1) * static_cast<size_t>(height));
    for (int y = 0; y < height; y++) {
        const uint8_t *row = &pixels[static_cast<size_t>(y) * stride];
        filter_row(row, y > 0 ? row - stride : nullptr, stride, 3, filtered);
    }

    // zlib wrapping: deflate with a 32 KiB window, then the Adler-32 sum.
    std::vector<uint8_t> z{0x78, 0x01};
    const std::vector<uint8_t> deflated = deflate_fixed(filtered);
    z.insert(z.end(), deflated.begin(), deflated.end());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : filtered) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put_u32(z, (b << 16) | a);

    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> header;
    put_u32(header, static_cast<uint32_t>(width));
    put_u32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, no interlace
    put_chunk(png, "IHDR", header);
    put_chunk(png, "IDAT", z);
    put_chunk(png, "IEND", {});
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file);
}

}  // namespace e2e
