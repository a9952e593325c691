// The datafile structure check: the game's own snake.dat and its packed forms
// pass, and no damaged file (cut short, lying sizes, wrong kinds, garbage)
// ever reaches the library's loader, which would crash on it.
#include <allegro.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/datafile.h"

namespace {

using bytes = std::vector<unsigned char>;

// One object of a datafile, without its properties.
struct entry {
    uint32_t type;
    bytes data;
};

const uint32_t BMP = DAT_BITMAP;
const uint32_t SAMP = DAT_SAMPLE;
const uint32_t FILE_TYPE = DAT_FILE;

bytes read_file(const std::string &path) {
    bytes content;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) return content;
    unsigned char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.insert(content.end(), buffer, buffer + got);
    std::fclose(file);
    return content;
}

void write_file(const std::string &path, const unsigned char *data, size_t size) {
    FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    if (size > 0) {
        ASSERT_EQ(std::fwrite(data, 1, size, file), size);
    }
    ASSERT_EQ(std::fclose(file), 0);
}

void put_u32(bytes &out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void put_u16(bytes &out, uint32_t value) {
    out.push_back(static_cast<unsigned char>(value >> 8));
    out.push_back(static_cast<unsigned char>(value));
}

uint32_t get_u32(const bytes &in, size_t at) {
    return (uint32_t{in[at]} << 24) | (uint32_t{in[at + 1]} << 16) | (uint32_t{in[at + 2]} << 8) | in[at + 3];
}

void set_u32(bytes &in, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++) in[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

// A count and the objects, stored as they are: the body of a datafile, or
// the data of a datafile nested in another.
bytes objects_of(const std::vector<entry> &entries) {
    bytes out;
    put_u32(out, static_cast<uint32_t>(entries.size()));
    for (const entry &e : entries) {
        put_u32(out, e.type);
        put_u32(out, static_cast<uint32_t>(e.data.size()));
        put_u32(out, static_cast<uint32_t>(e.data.size()));
        out.insert(out.end(), e.data.begin(), e.data.end());
    }
    return out;
}

bytes datafile_of(const std::vector<entry> &entries) {
    bytes out;
    put_u32(out, static_cast<uint32_t>(F_NOPACK_MAGIC));
    put_u32(out, DAT_MAGIC);
    const bytes objects = objects_of(entries);
    out.insert(out.end(), objects.begin(), objects.end());
    return out;
}

// The objects of a plain datafile, read here with no help from the check;
// `landmarks` gets where each property, object header and data begins.
std::vector<entry> entries_of(const bytes &file, std::vector<size_t> *landmarks = nullptr) {
    std::vector<entry> entries;
    size_t at = 8;
    const uint32_t count = get_u32(file, at);
    at += 4;
    while (entries.size() < count) {
        if (landmarks) landmarks->push_back(at);
        uint32_t type = get_u32(file, at);
        at += 4;
        if (type == DAT_PROPERTY) {
            at += 8 + get_u32(file, at + 4);
            continue;
        }
        const uint32_t size = get_u32(file, at);
        at += 8;
        if (landmarks) landmarks->push_back(at);
        entries.push_back({type, bytes(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + size))});
        at += size;
    }
    if (landmarks) landmarks->push_back(at);
    return entries;
}

bytes bitmap_data(int bits, uint32_t width, uint32_t height, size_t bytes_per_pixel) {
    bytes out;
    put_u16(out, static_cast<uint32_t>(bits) & 0xffffu);
    put_u16(out, width);
    put_u16(out, height);
    out.resize(out.size() + width * height * bytes_per_pixel, 0x5a);
    return out;
}

bytes sample_data(int bits, uint32_t frequency, uint32_t length, size_t data_size) {
    bytes out;
    put_u16(out, static_cast<uint32_t>(bits) & 0xffffu);
    put_u16(out, frequency);
    put_u32(out, length);
    out.resize(out.size() + data_size, 0x80);
    return out;
}

bytes without_last_byte(bytes b) {
    b.pop_back();
    return b;
}

bool sound(const bytes &b) { return datafile_bytes_well_formed(b.data(), b.size()); }

int entry_count(const DATAFILE *data) {
    int n = 0;
    while (data[n].type != DAT_END) n++;
    return n;
}

class DatafileCheckTest : public ::testing::Test {
protected:
    static bytes game_file;  // the built snake.dat
    std::string path;

    static void SetUpTestSuite() { game_file = read_file(SNAKE_DAT_PATH); }

    void SetUp() override {
        ASSERT_GT(game_file.size(), 1000u) << "cannot read " << SNAKE_DAT_PATH;
        path = (std::filesystem::temp_directory_path() /
                ("snake_check_" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".dat"))
                   .string();
    }

    void TearDown() override { std::filesystem::remove(path); }

    void write(const bytes &content) { write_file(path, content.data(), content.size()); }

    // The first `length` bytes, written out and handed to the game's loader:
    // refused by the check, and so never a crash.
    void expect_cut_refused(const bytes &whole, size_t length) {
        write_file(path, whole.data(), length);
        EXPECT_FALSE(datafile_file_well_formed(path.c_str())) << "cut at " << length;
        EXPECT_EQ(load_game_datafile(path.c_str()), nullptr) << "cut at " << length;
    }

    // Cuts at every byte of the first `head` bytes and of the last 16, at
    // every byte within 24 of each landmark, and at `parts` even steps through
    // the file; the loader itself gets the first 512 and every twentieth.
    void expect_cuts_refused(const bytes &whole, size_t head, size_t parts,
                             const std::vector<size_t> &landmarks = {}) {
        const size_t size = whole.size();
        std::vector<size_t> cuts;
        for (size_t length = 0; length < std::min(head, size); length++) cuts.push_back(length);
        for (size_t length = size > 16 ? size - 16 : 0; length < size; length++) cuts.push_back(length);
        for (size_t mark : landmarks)
            for (size_t length = mark > 24 ? mark - 24 : 0; length < std::min(mark + 24, size); length++)
                cuts.push_back(length);
        for (size_t part = 0; part < parts; part++) cuts.push_back(size * part / parts);
        for (size_t length : cuts) ASSERT_FALSE(datafile_bytes_well_formed(whole.data(), length)) << "cut at " << length;

        for (size_t length = 0; length < std::min<size_t>(512, size); length++) expect_cut_refused(whole, length);
        for (size_t part = 1; part < 20; part++) expect_cut_refused(whole, size * part / 20);
    }

    // The same datafile written by the library itself, packed as a whole.
    bytes packed_whole(const bytes &plain) {
        PACKFILE *file = pack_fopen(path.c_str(), F_WRITE_PACKED);
        EXPECT_NE(file, nullptr);
        if (!file) return {};
        pack_fwrite(plain.data() + 4, static_cast<long>(plain.size() - 4), file);
        pack_fclose(file);
        return read_file(path);
    }

    // The same objects written by the library, each packed by itself.
    bytes packed_objects(const std::vector<entry> &entries) {
        PACKFILE *file = pack_fopen(path.c_str(), F_WRITE_NOPACK);
        EXPECT_NE(file, nullptr);
        if (!file) return {};
        pack_mputl(DAT_MAGIC, file);
        pack_mputl(static_cast<long>(entries.size()), file);
        for (const entry &e : entries) {
            pack_mputl(static_cast<long>(e.type), file);
            PACKFILE *chunk = pack_fopen_chunk(file, TRUE);
            pack_fwrite(e.data.data(), static_cast<long>(e.data.size()), chunk);
            file = pack_fclose_chunk(chunk);
        }
        pack_fclose(file);
        return read_file(path);
    }
};

bytes DatafileCheckTest::game_file;

TEST_F(DatafileCheckTest, TheGameFilePassesAndLoads) {
    EXPECT_TRUE(sound(game_file));
    EXPECT_TRUE(datafile_file_well_formed(SNAKE_DAT_PATH));
    DATAFILE *data = load_game_datafile(SNAKE_DAT_PATH);
    ASSERT_NE(data, nullptr);
    EXPECT_GE(entry_count(data), DATAFILE_ENTRIES_USED);
    unload_datafile(data);
}

TEST_F(DatafileCheckTest, EveryCutOfTheGameFileIsRefused) {
#ifndef __SANITIZE_ADDRESS__
    // The plain form is checked without unpacking: every length is cheap,
    // except in the much slower sanitizer build, which takes the cuts below.
    for (size_t length = 0; length < game_file.size(); length++)
        ASSERT_FALSE(datafile_bytes_well_formed(game_file.data(), length)) << "cut at " << length;
#endif
    // Around every header and every start of data, where the reading changes.
    std::vector<size_t> landmarks;
    entries_of(game_file, &landmarks);
    ASSERT_GE(landmarks.size(), 2u * DATAFILE_ENTRIES_USED);
    expect_cuts_refused(game_file, 8192, 1000, landmarks);
}

TEST_F(DatafileCheckTest, PackedFormsPassAndTheirCutsAreRefused) {
    const bytes whole = packed_whole(game_file);
    ASSERT_EQ(get_u32(whole, 0), static_cast<uint32_t>(F_PACK_MAGIC));
    ASSERT_LT(whole.size(), game_file.size());
    EXPECT_TRUE(sound(whole));
    write(whole);
    DATAFILE *data = load_game_datafile(path.c_str());
    ASSERT_NE(data, nullptr);
    unload_datafile(data);
    expect_cuts_refused(whole, 2048, 100);

    const bytes objects = packed_objects(entries_of(game_file));
    ASSERT_EQ(get_u32(objects, 0), static_cast<uint32_t>(F_NOPACK_MAGIC));
    ASSERT_LT(objects.size(), game_file.size());
    EXPECT_TRUE(sound(objects));
    write(objects);
    data = load_game_datafile(path.c_str());
    ASSERT_NE(data, nullptr);
    unload_datafile(data);
    expect_cuts_refused(objects, 2048, 100);
}

TEST_F(DatafileCheckTest, UnpackingAgreesWithTheLibrary) {
    const bytes whole = packed_whole(game_file);
    bytes ours;
    ASSERT_TRUE(unpack_lzss(whole.data() + 4, whole.size() - 4, game_file.size(), &ours));
    EXPECT_TRUE(std::equal(ours.begin(), ours.end(), game_file.begin() + 4, game_file.end()));
    EXPECT_EQ(ours.size(), game_file.size() - 4);
    // One byte less room than it needs, and it gives up.
    EXPECT_FALSE(unpack_lzss(whole.data() + 4, whole.size() - 4, game_file.size() - 5, &ours));

    // A copy from the end of the ring before anything was written there.
    const unsigned char early_copy[] = {0x00, 0xf0, 0xff};
    EXPECT_FALSE(unpack_lzss(early_copy, sizeof early_copy, 100, &ours));
    // From the zeroed start of the ring it is fine: three zeros.
    const unsigned char zeros[] = {0x00, 0x00, 0x00};
    ASSERT_TRUE(unpack_lzss(zeros, sizeof zeros, 100, &ours));
    EXPECT_EQ(ours, bytes(3, 0));
    // Half a reference, or a flag byte with nothing after it.
    const unsigned char half[] = {0x00, 0x00};
    EXPECT_FALSE(unpack_lzss(half, sizeof half, 100, &ours));
    const unsigned char bare_flag[] = {0xff, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0xff};
    EXPECT_FALSE(unpack_lzss(bare_flag, sizeof bare_flag, 100, &ours));
    EXPECT_TRUE(unpack_lzss(bare_flag, sizeof bare_flag - 1, 100, &ours));
    EXPECT_EQ(ours.size(), 8u);
}

TEST_F(DatafileCheckTest, FilesThatAreNoDatafileAreRefused) {
    EXPECT_FALSE(datafile_file_well_formed("/nonexistent/snake.dat"));
    EXPECT_EQ(load_game_datafile("/nonexistent/snake.dat"), nullptr);
    EXPECT_FALSE(datafile_file_well_formed(std::filesystem::temp_directory_path().string().c_str()));

    const std::vector<bytes> not_datafiles = {
        {},
        {'s', 'l', 'h'},
        bytes({'s', 'l', 'h', '.'}),
        bytes({'s', 'l', 'h', '!'}),
        bytes({'s', 'l', 'h', '.', 'A', 'L', 'L', '.'}),
        bytes({'R', 'I', 'F', 'F', 0, 0, 0, 0}),
    };
    for (const bytes &b : not_datafiles) {
        write(b);
        EXPECT_FALSE(sound(b)) << b.size() << " bytes";
        EXPECT_EQ(load_game_datafile(path.c_str()), nullptr) << b.size() << " bytes";
    }

    const std::string text = "Ceci n'est pas un fichier de donnees.\nIl n'y a que du texte ici.\n";
    write(bytes(text.begin(), text.end()));
    EXPECT_FALSE(datafile_file_well_formed(path.c_str()));
    EXPECT_EQ(load_game_datafile(path.c_str()), nullptr);

    // Random bytes behind each valid start: the magic, the packed magic, "ALL.".
    std::mt19937 noise(20240607);
    const bytes starts[] = {{'s', 'l', 'h', '.'}, {'s', 'l', 'h', '!'}, {'s', 'l', 'h', '.', 'A', 'L', 'L', '.'}};
    for (const bytes &start : starts)
        for (int trial = 0; trial < 200; trial++) {
            bytes b = start;
            const size_t length = 1 + noise() % 3000;
            for (size_t i = 0; i < length; i++) b.push_back(static_cast<unsigned char>(noise()));
            ASSERT_FALSE(sound(b)) << "trial " << trial;
            if (trial % 20 == 0) {
                write(b);
                EXPECT_EQ(load_game_datafile(path.c_str()), nullptr);
            }
        }
}

TEST_F(DatafileCheckTest, SoundFilesWithoutTheGameEntriesLoadButAreNotUsed) {
    const std::vector<entry> entries = entries_of(game_file);
    ASSERT_GE(entries.size(), static_cast<size_t>(DATAFILE_ENTRIES_USED));

    // Sixteen entries: the sample is missing.
    const std::vector<entry> too_few(entries.begin(), entries.begin() + DATAFILE_ENTRIES_USED - 1);
    // The sample where the first apple must be, and that apple where the sample must be.
    std::vector<entry> swapped = entries;
    std::swap(swapped[IMG_APPLE_0], swapped[SND_CLICK]);

    for (const auto &[name, file] : {std::make_pair("too few", datafile_of(too_few)),
                                     std::make_pair("swapped", datafile_of(swapped))}) {
        EXPECT_TRUE(sound(file)) << name;
        write(file);
        // The library's loader reads them well; the game turns them down.
        DATAFILE *data = load_datafile(path.c_str());
        ASSERT_NE(data, nullptr) << name;
        EXPECT_FALSE(datafile_complete(data)) << name;
        unload_datafile(data);
        EXPECT_EQ(load_game_datafile(path.c_str()), nullptr) << name;
    }
    // Rebuilt with every entry, the same way, it is used again.
    write(datafile_of(entries));
    DATAFILE *data = load_game_datafile(path.c_str());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[SND_CLICK].type, DAT_SAMPLE);
    unload_datafile(data);
}

TEST_F(DatafileCheckTest, SizesThatClaimMoreThanTheFileHoldsAreRefused) {
    const bytes apple = bitmap_data(16, 13, 13, 2);
    const bytes base = datafile_of({{BMP, apple}});
    ASSERT_TRUE(sound(base));
    const size_t count_at = 8, type_at = 12, stored_at = 16, unpacked_at = 20, data_at = 24;

    bytes b = base;
    set_u32(b, count_at, 2);  // a second object that is not there
    EXPECT_FALSE(sound(b));
    b = base;
    set_u32(b, count_at, 0xffffffffu);
    EXPECT_FALSE(sound(b));
    b = base;
    set_u32(b, count_at, 0);  // an object after the end of the list
    EXPECT_FALSE(sound(b));

    for (uint32_t size : {uint32_t(apple.size() + 1), uint32_t(apple.size() - 1), 0x7fffffffu, 0xfffffff0u}) {
        b = base;
        set_u32(b, stored_at, size);
        set_u32(b, unpacked_at, size);
        EXPECT_FALSE(sound(b)) << size;
    }
    b = base;
    set_u32(b, unpacked_at, static_cast<uint32_t>(apple.size() + 4));  // the two sizes disagree
    EXPECT_FALSE(sound(b));

    b = base;
    set_u32(b, type_at, 0xffffffffu);  // the end marker as a type
    EXPECT_FALSE(sound(b));
    b = base;
    b.push_back(0);  // a byte after the last object
    EXPECT_FALSE(sound(b));

    // A property longer than what is left.
    bytes with_property(base.begin(), base.begin() + type_at);
    put_u32(with_property, DAT_PROPERTY);
    put_u32(with_property, DAT_NAME);
    put_u32(with_property, 5);
    for (char c : std::string("APPLE")) with_property.push_back(static_cast<unsigned char>(c));
    with_property.insert(with_property.end(), base.begin() + type_at, base.end());
    EXPECT_TRUE(sound(with_property));
    for (uint32_t length : {4u, 6u, 0x7fffffffu, 0xffffffffu}) {
        b = with_property;
        set_u32(b, type_at + 8, length);
        EXPECT_FALSE(sound(b)) << length;
    }
    // A property of the end marker's type, which the library would never free.
    b = with_property;
    set_u32(b, type_at + 4, 0xffffffffu);
    EXPECT_FALSE(sound(b));

    // The picture's own header against its pixels.
    b = base;
    b[data_at + 3] = 14;  // one pixel wider than the pixels stored
    EXPECT_FALSE(sound(b));
    b = base;
    b[data_at + 1] = 12;  // a depth the library does not have
    EXPECT_FALSE(sound(b));
}

TEST_F(DatafileCheckTest, PicturesAndSamplesMustHoldWhatTheirHeadersSay) {
    struct kind_case {
        const char *name;
        entry object;
        bool accepted;
    };
    const kind_case cases[] = {
        {"8-bit picture", {BMP, bitmap_data(8, 5, 3, 1)}, true},
        {"15-bit picture", {BMP, bitmap_data(15, 5, 3, 2)}, true},
        {"16-bit picture", {BMP, bitmap_data(16, 5, 3, 2)}, true},
        {"24-bit picture", {BMP, bitmap_data(24, 5, 3, 3)}, true},
        {"32-bit picture", {BMP, bitmap_data(32, 5, 3, 3)}, true},
        {"32-bit picture with alpha", {BMP, bitmap_data(-32, 5, 3, 4)}, true},
        {"16-bit picture short of a byte", {BMP, without_last_byte(bitmap_data(16, 5, 3, 2))}, false},
        {"picture of no width", {BMP, bitmap_data(16, 0, 3, 2)}, false},
        {"picture of no height", {BMP, bitmap_data(16, 5, 0, 2)}, false},
        {"picture of 12 bits", {BMP, bitmap_data(12, 5, 3, 2)}, false},
        {"picture header cut", {BMP, bytes{0, 16, 0}}, false},
        {"16-bit mono sample", {SAMP, sample_data(16, 44100, 10, 20)}, true},
        {"8-bit mono sample", {SAMP, sample_data(8, 8000, 10, 10)}, true},
        {"16-bit stereo sample", {SAMP, sample_data(-16, 22050, 10, 40)}, true},
        {"8-bit stereo sample", {SAMP, sample_data(-8, 22050, 10, 20)}, true},
        {"sample short of a byte", {SAMP, sample_data(16, 44100, 10, 19)}, false},
        {"sample with a byte too many", {SAMP, sample_data(16, 44100, 10, 21)}, false},
        {"sample of no length", {SAMP, sample_data(16, 44100, 0, 0)}, false},
        {"sample of no frequency", {SAMP, sample_data(16, 0, 10, 20)}, false},
        {"sample of 12 bits", {SAMP, sample_data(12, 44100, 10, 20)}, false},
        {"sample of a negative length", {SAMP, sample_data(8, 44100, 0x80000000u, 0)}, false},
        {"raw data", {DAT_ID('D', 'A', 'T', 'A'), bytes{1, 2, 3}}, true},
        {"palette", {DAT_PALETTE, bytes(1024, 7)}, true},
        {"font", {DAT_FONT, bytes{0, 0, 0, 0}}, false},
        {"tune", {DAT_MIDI, bytes{0, 0}}, false},
        {"run-length sprite", {DAT_RLE_SPRITE, bitmap_data(16, 1, 1, 2)}, false},
        {"compiled sprite", {DAT_C_SPRITE, bitmap_data(16, 1, 1, 2)}, false},
    };
    for (const kind_case &c : cases) {
        const entry &object = c.object;
        const bytes file = datafile_of({object});
        ASSERT_EQ(sound(file), c.accepted) << c.name;
        if (!c.accepted) continue;
        // Whatever passes, the library loads, and as the kind it was.
        write(file);
        DATAFILE *data = load_datafile(path.c_str());
        ASSERT_NE(data, nullptr) << c.name;
        ASSERT_EQ(entry_count(data), 1) << c.name;
        EXPECT_EQ(static_cast<uint32_t>(data[0].type), object.type) << c.name;
        if (object.type == BMP) {
            EXPECT_EQ(static_cast<BITMAP *>(data[0].dat)->w, 5) << c.name;
            EXPECT_EQ(static_cast<BITMAP *>(data[0].dat)->h, 3) << c.name;
        }
        if (object.type == SAMP) {
            EXPECT_EQ(static_cast<SAMPLE *>(data[0].dat)->len, 10u) << c.name;
        }
        unload_datafile(data);
    }
}

TEST_F(DatafileCheckTest, NestedDatafilesAreFollowedToTheBottom) {
    const entry apple = {BMP, bitmap_data(16, 13, 13, 2)};
    std::vector<entry> level = {apple};
    for (int depth = 1; depth <= 16; depth++) level = {{FILE_TYPE, objects_of(level)}};
    const bytes deep = datafile_of(level);  // sixteen datafiles down
    EXPECT_TRUE(sound(deep));
    write(deep);
    DATAFILE *data = load_datafile(path.c_str());
    ASSERT_NE(data, nullptr);
    unload_datafile(data);
    EXPECT_FALSE(sound(datafile_of({{FILE_TYPE, objects_of(level)}})));  // one more is too deep

    // A nested datafile whose picture is one pixel short, or with a byte left over.
    entry short_apple = apple;
    short_apple.data.resize(short_apple.data.size() - 2);
    EXPECT_FALSE(sound(datafile_of({{FILE_TYPE, objects_of({short_apple})}})));
    bytes left_over = objects_of({apple});
    left_over.push_back(0);
    EXPECT_FALSE(sound(datafile_of({{FILE_TYPE, left_over}})));
    // Its count promising one object more.
    bytes one_more = objects_of({apple});
    set_u32(one_more, 0, 2);
    EXPECT_FALSE(sound(datafile_of({{FILE_TYPE, one_more}})));
}

TEST_F(DatafileCheckTest, AnObjectPackedByItselfMustUnpackToItsSize) {
    const std::vector<entry> entries = {{BMP, bitmap_data(16, 20, 20, 2)}, {SAMP, sample_data(8, 8000, 100, 100)}};
    const bytes file = packed_objects(entries);
    ASSERT_TRUE(sound(file));
    const size_t stored_at = 16, unpacked_at = 20;
    ASSERT_EQ(get_u32(file, unpacked_at), 0u - static_cast<uint32_t>(entries[0].data.size()));

    bytes b = file;
    set_u32(b, unpacked_at, 0u - static_cast<uint32_t>(entries[0].data.size() + 1));  // a byte more than it holds
    EXPECT_FALSE(sound(b));
    b = file;
    set_u32(b, unpacked_at, 0u - static_cast<uint32_t>(entries[0].data.size() - 1));  // a byte less
    EXPECT_FALSE(sound(b));
    b = file;
    set_u32(b, unpacked_at, 0x80000000u);  // two gigabytes
    EXPECT_FALSE(sound(b));
    b = file;
    set_u32(b, stored_at, get_u32(file, stored_at) + 1);  // the block runs into the next object
    EXPECT_FALSE(sound(b));
    b = file;
    set_u32(b, stored_at, static_cast<uint32_t>(file.size()));  // past the end of the file
    EXPECT_FALSE(sound(b));
}

}  // namespace
