// The record file "scores.txt": what a load makes of every kind of text, what
// a save leaves on the disk, and that no failure (read-only file or folder, a
// folder in the file's place, a killed process, a full disk) loses the old
// record. Every test works in a fresh folder of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "record/record.h"
#include "rules/collide.h"

namespace {

// A value no test case reads from a file, to see that a load left `record` alone.
const uint32_t SENTINEL = 31415u;
// The ordinary player the child processes become when the tests run as root.
const uid_t PLAYER_UID = 65534;
const gid_t PLAYER_GID = 65534;
// Exit status of a child that could not give up root.
const int CANNOT_BECOME_PLAYER = 77;

void write_file(const char *name, const std::string &content) {
    FILE *file = fopen(name, "wb");
    ASSERT_NE(file, nullptr) << name << ": " << strerror(errno);
    ASSERT_EQ(fwrite(content.data(), 1, content.size(), file), content.size());
    ASSERT_EQ(fclose(file), 0);
}

// The whole content of a file, or "<missing>" when it cannot be read.
std::string read_file(const char *name) {
    FILE *file = fopen(name, "rb");
    if (file == nullptr) {
        return "<missing>";
    }
    std::string content;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, got);
    }
    fclose(file);
    return content;
}

// The names in a folder, sorted, without "." and "..".
std::vector<std::string> folder_entries(const char *folder) {
    std::vector<std::string> names;
    DIR *dir = opendir(folder);
    if (dir == nullptr) {
        return names;
    }
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

mode_t permissions_of(const char *name) {
    struct stat info = {};
    if (stat(name, &info) != 0) {
        return static_cast<mode_t>(-1);
    }
    return info.st_mode & 07777;
}

bool running_as_root() {
    return geteuid() == 0;
}

// Gives a file or folder to the ordinary player, when the tests run as root.
bool hand_to_player(const char *name) {
    if (!running_as_root()) {
        return true;
    }
    return chown(name, PLAYER_UID, PLAYER_GID) == 0;
}

// In a child process: drops root for the ordinary player's account.
bool become_player() {
    if (!running_as_root()) {
        return true;
    }
    if (setgroups(0, nullptr) != 0 || setgid(PLAYER_GID) != 0 || setuid(PLAYER_UID) != 0) {
        return false;
    }
    return geteuid() == PLAYER_UID;
}

// What a child run as the ordinary player reports back.
struct PlayerRun {
    bool became_player = false;
    bool finished = false;
    uint32_t record_after = 0;
};

// Runs `body` in a child process as the ordinary player (root ignores
// permission bits) in the current folder; the child sends `record` back.
PlayerRun run_as_player(const std::function<void()> &body) {
    PlayerRun run;
    int channel[2];
    if (pipe(channel) != 0) {
        return run;
    }
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (!become_player()) {
            _exit(CANNOT_BECOME_PLAYER);
        }
        body();
        const uint32_t value = record;
        const bool sent = write(channel[1], &value, sizeof value) == sizeof value;
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    if (child < 0) {
        close(channel[0]);
        return run;
    }
    uint32_t value = 0;
    const ssize_t got = read(channel[0], &value, sizeof value);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.became_player = !(WIFEXITED(status) && WEXITSTATUS(status) == CANNOT_BECOME_PLAYER);
    run.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == sizeof value;
    run.record_after = value;
    return run;
}

class RecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_record_ = record;
        old_score_ = p1_score;
        record = 0;
        p1_score = 0;
        char name[] = "/tmp/record_test.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr) << strerror(errno);
        folder_ = name;
        old_folder_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(old_folder_, 0) << strerror(errno);
        ASSERT_EQ(chdir(folder_.c_str()), 0) << strerror(errno);
    }

    void TearDown() override {
        if (old_folder_ >= 0) {
            EXPECT_EQ(fchdir(old_folder_), 0);
            close(old_folder_);
        }
        if (!mount_point_.empty()) {
            EXPECT_EQ(umount2(mount_point_.c_str(), MNT_DETACH), 0) << strerror(errno);
        }
        if (!folder_.empty()) {
            chmod(folder_.c_str(), 0700);
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
        record = old_record_;
        p1_score = old_score_;
    }

    std::string folder_;
    std::string mount_point_;
    int old_folder_ = -1;
    uint32_t old_record_ = 0;
    uint32_t old_score_ = 0;
};

// ---------------------------------------------------------------- parsing

struct ParseCase {
    const char *name;
    std::string text;
    bool has_number;
    uint32_t expected;
};

void PrintTo(const ParseCase &parse_case, std::ostream *out) {
    *out << parse_case.name;
}

class RecordParseTest : public RecordTest, public ::testing::WithParamInterface<ParseCase> {};

TEST_P(RecordParseTest, LoadReadsTheFirstNumberOrKeepsTheRecord) {
    const ParseCase &parse_case = GetParam();
    write_file(RECORD_FILE_NAME, parse_case.text);
    record = SENTINEL;
    load_record();
    if (parse_case.has_number) {
        EXPECT_EQ(record, parse_case.expected);
    } else {
        EXPECT_EQ(record, SENTINEL) << "a text without a number must leave the record alone";
    }
    EXPECT_EQ(read_file(RECORD_FILE_NAME), parse_case.text) << "loading must not change the file";
}

std::string parse_case_name(const ::testing::TestParamInfo<ParseCase> &case_info) {
    return case_info.param.name;
}

ParseCase number(const char *name, const std::string &text, uint32_t expected) {
    return ParseCase{name, text, true, expected};
}

ParseCase no_number(const char *name, const std::string &text) {
    return ParseCase{name, text, false, 0};
}

INSTANTIATE_TEST_SUITE_P(
    RecordNumbers, RecordParseTest,
    ::testing::Values(
        number("plain", "120", 120u),
        number("blanks_and_line_ends", "  120\n\n", 120u),
        number("letters_after", "120abc", 120u),
        number("minus_five", "-5", 4294967291u),
        number("plus_seven", "+7", 7u),
        number("every_kind_of_blank", "\t\n\v\f\r 42", 42u),
        number("leading_zeros", "000000000000000000000000042", 42u),
        number("minus_zero", "-0", 0u),
        number("second_number_ignored", "12 34", 12u),
        number("nul_after_digits", std::string("12\0" "34", 5), 12u),
        number("largest", "2147483647", 0x7fffffffu),
        number("smallest", "-2147483648", 0x80000000u),
        number("one_too_large", "2147483648", 0x7fffffffu),
        number("twenty_nines", "99999999999999999999", 0x7fffffffu),
        number("two_to_the_32", "4294967296", 0x7fffffffu),
        number("one_too_small", "-2147483649", 0x80000000u),
        number("huge_negative", "-" + std::string(60, '9'), 0x80000000u),
        number("byte_order_mark", "\xef\xbb\xbf" "120", 120u),
        number("byte_order_mark_then_blanks_and_sign", "\xef\xbb\xbf \t-5\n", 4294967291u),
        // The reader looks at the first 4096 bytes and no further.
        number("digit_at_the_read_limit", std::string(4095, ' ') + "7", 7u),
        number("number_cut_at_the_read_limit", std::string(4095, '0') + "12", 1u)),
    parse_case_name);

INSTANTIATE_TEST_SUITE_P(
    RecordNoNumber, RecordParseTest,
    ::testing::Values(
        no_number("empty", ""),
        no_number("letters", "abc"),
        no_number("lone_minus", "-"),
        no_number("lone_plus", "+"),
        no_number("blank_after_sign", " - 5"),
        no_number("two_signs", "+-5"),
        no_number("only_blanks", "   \n\t"),
        no_number("nul_before_digits", std::string("\0" "42", 3)),
        no_number("high_bytes_before_digits", "\xff\xfe" "42"),
        no_number("control_bytes", "\x01\x02\x7f"),
        no_number("half_a_byte_order_mark", "\xef\xbb" "42"),
        no_number("two_byte_order_marks", "\xef\xbb\xbf\xef\xbb\xbf" "42"),
        no_number("byte_order_mark_after_blanks", " \xef\xbb\xbf" "42"),
        no_number("digit_past_the_read_limit", std::string(4096, ' ') + "7")),
    parse_case_name);

// Bytes the process has read from files so far, or -1 where the system
// does not say.
long long bytes_read_so_far() {
    FILE *io = fopen("/proc/self/io", "r");
    long long bytes = -1;
    if (io != nullptr) {
        if (fscanf(io, "rchar: %lld", &bytes) != 1) bytes = -1;
        fclose(io);
    }
    return bytes;
}

// A record file of 50 MB costs a load no more than its first 4 KB: the main
// loop reads the file on every pass.
TEST_F(RecordTest, HugeFilesAreReadOnlyAsFarAsTheLimit) {
    const size_t MB = 1 << 20;
    const struct {
        const char *name;
        std::string head;
        char fill;
        bool has_number;
        uint32_t expected;
    } cases[] = {
        {"nines", "", '9', true, 0x7fffffffu},
        {"minus and nines", "-", '9', true, 0x80000000u},
        {"blanks", "", ' ', false, 0},
    };
    for (const auto &huge : cases) {
        write_file(RECORD_FILE_NAME, huge.head);
        FILE *file = fopen(RECORD_FILE_NAME, "ab");
        ASSERT_NE(file, nullptr);
        const std::string fill(MB, huge.fill);
        for (int i = 0; i < 50; i++) ASSERT_EQ(fwrite(fill.data(), 1, MB, file), MB);
        ASSERT_EQ(fclose(file), 0);

        record = SENTINEL;
        const long long before = bytes_read_so_far();
        load_record();
        const long long after = bytes_read_so_far();
        EXPECT_EQ(record, huge.has_number ? huge.expected : SENTINEL) << huge.name;
        if (before >= 0 && after >= 0) {
            // The limit, and the few bytes of the count's own first reading.
            EXPECT_LT(after - before, 8192) << huge.name << ": the load read that many bytes";
        }

        file = fopen(RECORD_FILE_NAME, "rb");
        ASSERT_NE(file, nullptr);
        uint32_t value = SENTINEL;
        EXPECT_EQ(read_record_number(file, &value), huge.has_number) << huge.name;
        EXPECT_EQ(ftell(file), 4096) << huge.name << ": the reader took that many bytes";
        fclose(file);
    }
}

TEST_F(RecordTest, ReadRecordNumberStopsAfterTheDigits) {
    FILE *file = tmpfile();
    ASSERT_NE(file, nullptr);
    fputs("  -17x 23", file);
    rewind(file);
    uint32_t value = 0;
    ASSERT_TRUE(read_record_number(file, &value));
    EXPECT_EQ(value, 0xffffffefu);
    // The character after the digits has been looked at, nothing beyond it.
    EXPECT_EQ(getc(file), ' ');
    fclose(file);
}

// ---------------------------------------------------------------- missing file

TEST_F(RecordTest, MissingFileKeepsTheRecord) {
    load_record();
    EXPECT_EQ(record, 0u);
    record = SENTINEL;
    load_record();
    EXPECT_EQ(record, SENTINEL);
    EXPECT_EQ(folder_entries("."), std::vector<std::string>{}) << "loading must create nothing";
}

// ---------------------------------------------------------------- saving

TEST_F(RecordTest, SaveWritesTheDigitsOnly) {
    struct SaveCase {
        const char *old_text;  // nullptr: no file yet
        uint32_t score;
        const char *expected;
    };
    const SaveCase cases[] = {
        {nullptr, 130u, "130"},
        {"99999", 130u, "130"},
        {"  120\nabc\n", 130u, "130"},
        {"5", 123456780u, "123456780"},
        {"130", 0u, "0"},
        {"7", 4294967286u, "-10"},
        {"7", 0x80000000u, "-2147483648"},
        {"7", 0x7fffffffu, "2147483647"},
    };
    for (const SaveCase &save_case : cases) {
        unlink(RECORD_FILE_NAME);
        if (save_case.old_text != nullptr) {
            write_file(RECORD_FILE_NAME, save_case.old_text);
        }
        p1_score = save_case.score;
        record = SENTINEL;
        save_record();
        EXPECT_EQ(read_file(RECORD_FILE_NAME), save_case.expected) << "score " << save_case.score;
        EXPECT_EQ(folder_entries("."), std::vector<std::string>{"scores.txt"})
            << "a save must leave no temporary file";
        EXPECT_EQ(record, SENTINEL) << "a save does not change the record in memory";
    }
}

TEST_F(RecordTest, SavedRecordIsLoadedBack) {
    load_record();
    EXPECT_EQ(record, 0u);
    p1_score = 250;
    save_record();
    load_record();
    EXPECT_EQ(record, 250u);
}

class RecordUmaskTest : public RecordTest, public ::testing::WithParamInterface<mode_t> {};

TEST_P(RecordUmaskTest, NewFileFollowsTheUmask) {
    const mode_t mask = GetParam();
    const mode_t old_mask = umask(mask);
    p1_score = 130;
    save_record();
    umask(old_mask);
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "130");
    EXPECT_EQ(permissions_of(RECORD_FILE_NAME), 0666 & ~mask);
}

INSTANTIATE_TEST_SUITE_P(RecordMasks, RecordUmaskTest, ::testing::Values(0000, 0002, 0022, 0027, 0077));

TEST_F(RecordTest, SaveKeepsTheModeOfAnExistingFile) {
    write_file(RECORD_FILE_NAME, "99999");
    ASSERT_EQ(chmod(RECORD_FILE_NAME, 0640), 0);
    const mode_t old_mask = umask(0);
    p1_score = 130;
    save_record();
    umask(old_mask);
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "130");
    EXPECT_EQ(permissions_of(RECORD_FILE_NAME), 0640u);
}

TEST_F(RecordTest, SaveByRootKeepsThePlayersOwnership) {
    if (!running_as_root()) {
        GTEST_SKIP() << "only root can give a file to someone else";
    }
    write_file(RECORD_FILE_NAME, "99999");
    ASSERT_TRUE(hand_to_player(RECORD_FILE_NAME));
    p1_score = 130;
    save_record();
    struct stat info = {};
    ASSERT_EQ(stat(RECORD_FILE_NAME, &info), 0);
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "130");
    EXPECT_EQ(info.st_uid, PLAYER_UID);
    EXPECT_EQ(info.st_gid, PLAYER_GID);
}

// ---------------------------------------------------------------- read-only

// The child processes below really are unprivileged: a save in a folder the
// player owns does work, so the refusals further down are not just failures
// of the child.
TEST_F(RecordTest, PlayerSavesInTheirOwnFolder) {
    write_file(RECORD_FILE_NAME, "500");
    ASSERT_TRUE(hand_to_player(".") && hand_to_player(RECORD_FILE_NAME))
        << "cannot hand the folder to uid " << PLAYER_UID;
    const PlayerRun run = run_as_player([] {
        load_record();
        p1_score = 990;
        save_record();
    });
    if (!run.became_player) {
        GTEST_SKIP() << "cannot switch to uid " << PLAYER_UID << " here";
    }
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.record_after, 500u);
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "990");
    struct stat info = {};
    ASSERT_EQ(stat(RECORD_FILE_NAME, &info), 0);
    EXPECT_EQ(info.st_uid, running_as_root() ? PLAYER_UID : geteuid());
}

TEST_F(RecordTest, ReadOnlyFileIsLoadedButNeverRewritten) {
    write_file(RECORD_FILE_NAME, "500");
    ASSERT_EQ(chmod(RECORD_FILE_NAME, 0444), 0);
    // The folder itself is the player's: only the file's own bits forbid the save.
    ASSERT_TRUE(hand_to_player(".")) << "cannot hand the folder to uid " << PLAYER_UID;
    const PlayerRun run = run_as_player([] {
        record = 0;
        load_record();
        p1_score = 990;
        save_record();
    });
    if (!run.became_player) {
        GTEST_SKIP() << "cannot switch to uid " << PLAYER_UID << " here";
    }
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.record_after, 500u) << "a read-only record file must still be read";
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "500");
    EXPECT_EQ(permissions_of(RECORD_FILE_NAME), 0444u);
    EXPECT_EQ(folder_entries("."), std::vector<std::string>{"scores.txt"});
}

// A folder the player may not add to: the record file they may write still
// takes the new record, and nothing else appears beside it.
TEST_F(RecordTest, WritableFileInAReadOnlyFolderTakesTheNewRecord) {
    write_file(RECORD_FILE_NAME, "500\n\n");
    ASSERT_TRUE(hand_to_player(".") && hand_to_player(RECORD_FILE_NAME))
        << "cannot hand the folder to uid " << PLAYER_UID;
    ASSERT_EQ(chmod(".", 0555), 0);
    const PlayerRun run = run_as_player([] {
        record = 0;
        load_record();
        p1_score = 990;
        save_record();
        load_record();
    });
    if (!run.became_player) {
        GTEST_SKIP() << "cannot switch to uid " << PLAYER_UID << " here";
    }
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.record_after, 990u);
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "990");
    EXPECT_EQ(folder_entries("."), std::vector<std::string>{"scores.txt"});
}

TEST_F(RecordTest, ReadOnlyFolderWithoutARecordFileGetsNone) {
    ASSERT_TRUE(hand_to_player(".")) << "cannot hand the folder to uid " << PLAYER_UID;
    ASSERT_EQ(chmod(".", 0555), 0);
    const PlayerRun run = run_as_player([] {
        record = SENTINEL;
        p1_score = 990;
        save_record();
        load_record();
    });
    if (!run.became_player) {
        GTEST_SKIP() << "cannot switch to uid " << PLAYER_UID << " here";
    }
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.record_after, SENTINEL);
    EXPECT_TRUE(folder_entries(".").empty());
}

TEST_F(RecordTest, FolderNamedLikeTheRecordFile) {
    ASSERT_EQ(mkdir(RECORD_FILE_NAME, 0755), 0);
    write_file("scores.txt/inside", "1");
    record = SENTINEL;
    load_record();
    EXPECT_EQ(record, SENTINEL);
    p1_score = 130;
    save_record();
    struct stat info = {};
    ASSERT_EQ(stat(RECORD_FILE_NAME, &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(folder_entries(RECORD_FILE_NAME), std::vector<std::string>{"inside"});
    EXPECT_EQ(read_file("scores.txt/inside"), "1");
    EXPECT_EQ(folder_entries("."), std::vector<std::string>{"scores.txt"});
}

// ---------------------------------------------------------------- crashes and full disks

TEST_F(RecordTest, KilledSaveLeavesAWholeRecord) {
    const char *const OLD_RECORD = "99999";
    const uint32_t SHORT_SCORE = 10;
    const uint32_t LONG_SCORE = 123456780;
    const int ROUNDS = 200;
    write_file(RECORD_FILE_NAME, OLD_RECORD);

    std::random_device seed_source;
    const unsigned seed = seed_source();
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> delay_us(0, 3000);

    int rounds_with_new_record = 0;
    for (int round = 0; round < ROUNDS; ++round) {
        fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0) << strerror(errno);
        if (child == 0) {
            // Saves until killed; gives up on its own should the test be gone.
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            bool use_short = (round % 2) == 0;
            while (std::chrono::steady_clock::now() < give_up) {
                p1_score = use_short ? SHORT_SCORE : LONG_SCORE;
                save_record();
                use_short = !use_short;
            }
            _exit(0);
        }
        // The last round waits long enough for at least one save to finish.
        const int wait_us = (round == ROUNDS - 1) ? 50000 : delay_us(generator);
        usleep(static_cast<useconds_t>(wait_us));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);

        const std::string content = read_file(RECORD_FILE_NAME);
        ASSERT_TRUE(content == OLD_RECORD || content == "10" || content == "123456780")
            << "round " << round << " (seed " << seed << ", killed after " << wait_us
            << " us): scores.txt holds \"" << content << "\"";
        if (content != OLD_RECORD) {
            ++rounds_with_new_record;
        }
    }
    EXPECT_GT(rounds_with_new_record, 0) << "no save ever finished, so nothing was tested";
}

// A write that fails half-way (here: past the process's file-size limit)
// must leave the old record and no temporary file.
TEST_F(RecordTest, FailedWriteKeepsTheOldRecord) {
    write_file(RECORD_FILE_NAME, "99999");
    fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0) << strerror(errno);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit two_bytes = {2, 2};
        if (setrlimit(RLIMIT_FSIZE, &two_bytes) != 0) {
            _exit(2);
        }
        p1_score = 123456780;
        save_record();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the save crashed";
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "99999");
    EXPECT_EQ(folder_entries("."), std::vector<std::string>{"scores.txt"});
}

TEST_F(RecordTest, FullDiskKeepsTheOldRecord) {
    ASSERT_EQ(mkdir("disk", 0755), 0);
    if (mount("tmpfs", "disk", "tmpfs", 0, "size=16k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << strerror(errno)
                     << "); FailedWriteKeepsTheOldRecord covers failing writes";
    }
    mount_point_ = folder_ + "/disk";
    ASSERT_EQ(chdir("disk"), 0);
    write_file(RECORD_FILE_NAME, "99999");

    const int filler = open("filler", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(filler, 0) << strerror(errno);
    const std::string block(4096, 'x');
    int last_errno = 0;
    for (size_t chunk = block.size(); chunk > 0; chunk /= 2) {
        while (write(filler, block.data(), chunk) == static_cast<ssize_t>(chunk)) {
        }
        last_errno = errno;
    }
    close(filler);
    ASSERT_EQ(last_errno, ENOSPC) << "the small disk did not fill up";

    p1_score = 130;
    save_record();
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "99999");
    EXPECT_EQ(folder_entries("."), (std::vector<std::string>{"filler", "scores.txt"}));
}

}  // namespace
