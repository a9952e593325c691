// The record file "scores.txt": what a load makes of every kind of text, what
// a save leaves on the disk, and that no failure (read-only file or folder,
// something else than a file in its place, a process killed or a call
// failing at any step of a save, a full disk) loses the old record. Every
// test works in a fresh folder of its own.
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
#include <utility>
#include <vector>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "record/record.h"
#include "rules/collide.h"

// This test program puts wrappers of its own in place of the C library's
// calls that make up the steps of a save: creating the temporary file,
// setting its permissions, writing, cutting, flushing, closing, renaming.
// They pass every call on, but in a child process that arms a fault: then
// the save's n-th such call kills the process before it is made, or fails
// with EIO, or (only writes are counted then) writes half of its bytes.
// Locking is a step too; RIVAL has another game save 30 at that step.
namespace save_faults {
enum Kind { NONE, KILL, FAIL, SHORT, RIVAL };
Kind kind = NONE;
int at_step = 0;
int steps = 0;
// mkstemp fails with EACCES, as in a folder that takes no new file.
bool folder_refuses_new_files = false;
// A folder's lock fails, as for a folder the player may not open.
bool folder_unlockable = false;
// The other game, whether it found the lock taken, and in it, where it says so.
pid_t rival = -1;
bool rival_waited = false;
int rival_report = -1;

void run_rival() {
    int channel[2];
    if (pipe(channel) != 0) raise(SIGABRT);
    fflush(nullptr);
    rival = fork();
    if (rival == 0) {
        // A process of its own, with none of this one's files (its lock).
        for (int fd = 3; fd < 1024; fd++)
            if (fd != channel[1]) close(fd);
        rival_report = channel[1];
        p1_score = 30;
        _exit(save_record() && record_save_failed == 0 ? 0 : 1);
    }
    close(channel[1]);
    char said = 0;
    rival_waited = read(channel[0], &said, 1) == 1 && said == 'w';
    close(channel[0]);
}

enum Action { PASS, FAIL_IT, HALVE };
Action strike(bool writes) {
    if (kind == NONE || (kind == SHORT && !writes) || ++steps != at_step) return PASS;
    if (kind == KILL) raise(SIGKILL);
    if (kind == SHORT) return HALVE;
    if (kind == RIVAL) {
        kind = NONE;
        run_rival();
        return PASS;
    }
    errno = EIO;
    return FAIL_IT;
}

template <typename Function>
Function real(const char *name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
}  // namespace save_faults

#define PASS_ON(name, type) static const auto next = save_faults::real<type>(name)

extern "C" {
int mkstemp(char *name) {
    PASS_ON("mkstemp", int (*)(char *));
    if (save_faults::folder_refuses_new_files) {
        errno = EACCES;
        return -1;
    }
    return save_faults::strike(false) == save_faults::FAIL_IT ? -1 : next(name);
}
int fchmod(int fd, mode_t mode) noexcept {
    PASS_ON("fchmod", int (*)(int, mode_t));
    return save_faults::strike(false) == save_faults::FAIL_IT ? -1 : next(fd, mode);
}
ssize_t write(int fd, const void *bytes, size_t size) {
    PASS_ON("write", ssize_t (*)(int, const void *, size_t));
    const save_faults::Action action = save_faults::strike(true);
    if (action == save_faults::FAIL_IT) return -1;
    return next(fd, bytes, action == save_faults::HALVE ? (size + 1) / 2 : size);
}
ssize_t pwrite(int fd, const void *bytes, size_t size, off_t offset) {
    PASS_ON("pwrite", ssize_t (*)(int, const void *, size_t, off_t));
    const save_faults::Action action = save_faults::strike(true);
    if (action == save_faults::FAIL_IT) return -1;
    return next(fd, bytes, action == save_faults::HALVE ? (size + 1) / 2 : size, offset);
}
int ftruncate(int fd, off_t size) noexcept {
    PASS_ON("ftruncate", int (*)(int, off_t));
    return save_faults::strike(false) == save_faults::FAIL_IT ? -1 : next(fd, size);
}
int fsync(int fd) {
    PASS_ON("fsync", int (*)(int));
    return save_faults::strike(false) == save_faults::FAIL_IT ? -1 : next(fd);
}
int close(int fd) {
    PASS_ON("close", int (*)(int));
    return save_faults::strike(false) == save_faults::FAIL_IT ? -1 : next(fd);
}
int rename(const char *from, const char *to) noexcept {
    PASS_ON("rename", int (*)(const char *, const char *));
    return save_faults::strike(false) == save_faults::FAIL_IT ? -1 : next(from, to);
}
int flock(int fd, int operation) noexcept {
    PASS_ON("flock", int (*)(int, int));
    struct stat info = {};
    if (save_faults::folder_unlockable && fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) return -1;
    // The other game tells whether it finds the lock taken, then waits for it.
    if (save_faults::rival_report >= 0) {
        const char said = next(fd, operation | LOCK_NB) == 0 ? 'g' : 'w';
        if (write(std::exchange(save_faults::rival_report, -1), &said, 1) != 1) _exit(1);
        if (said == 'g') return 0;
    }
    return save_faults::strike(false) == save_faults::FAIL_IT ? -1 : next(fd, operation);
}
}

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
    write_file(RECORD_FILE_NAME, "99");
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
    write_file(RECORD_FILE_NAME, "99");
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

TEST_F(RecordTest, FileThePlayerMayNotWriteOrReadIsNeverRewritten) {
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

    // Nor one they may write but not read, whose record is unknown: a lower
    // score is a failed save told as the others (the child's `record` is 1).
    ASSERT_EQ(chmod(RECORD_FILE_NAME, 0222), 0);
    p1_score = 10;
    testing::internal::CaptureStderr();
    const PlayerRun blind = run_as_player([] { record = save_record() && record_save_failed; });
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "snake: the record could not be saved in scores.txt: the record could not be read\n");
    EXPECT_EQ(blind.record_after, 1u);
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "500");
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
    testing::internal::CaptureStderr();
    save_record();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "snake: the record could not be saved in scores.txt: not a regular file\n");
    EXPECT_EQ(record_save_failed, 1);
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

// A write past the process's file-size limit, beside the record or in
// place: the old record stays, no temporary file is left, and the save
// reports its failure.
TEST_F(RecordTest, FailedWriteKeepsTheOldRecord) {
    for (const bool in_place : {false, true}) {
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
            save_faults::folder_refuses_new_files = in_place;
            p1_score = 123456780;
            save_record();
            _exit(record_save_failed == 1 ? 0 : 3);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "the save crashed";
        EXPECT_EQ(WEXITSTATUS(status), 0) << (in_place ? "in place" : "beside");
        EXPECT_EQ(read_file(RECORD_FILE_NAME), "99999");
        EXPECT_EQ(folder_entries("."), std::vector<std::string>{"scores.txt"});
    }
}

TEST_F(RecordTest, FullDiskKeepsTheOldRecord) {
    ASSERT_EQ(mkdir("disk", 0755), 0);
    if (mount("tmpfs", "disk", "tmpfs", 0, "size=16k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << strerror(errno)
                     << "); FailedWriteKeepsTheOldRecord covers failing writes";
    }
    mount_point_ = folder_ + "/disk";
    ASSERT_EQ(chdir("disk"), 0);
    write_file(RECORD_FILE_NAME, "99");

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
    EXPECT_EQ(record_save_failed, 1);
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "99");
    EXPECT_EQ(folder_entries("."), (std::vector<std::string>{"filler", "scores.txt"}));
}

// ---------------------------------------------------------------- a fault at each step

enum class SaveEnd { FINISHED, FAILED, LOWER, NO_SUCH_STEP, AT_ONCE, KILLED, CRASHED };

const char *name_of(SaveEnd end) {
    const char *const NAMES[] = {"finished", "failed", "lower than the record", "no such step",
                                 "saved at once with the other game", "killed", "crashed"};
    return NAMES[static_cast<int>(end)];
}

// One save of `score` in a child process with `kind` armed at `step`; a
// save in place when the folder is made to refuse new files (`way` 1) or
// its lock (2). With another
// game saving (RIVAL), the two must save one after the other: the other one
// finds the lock taken if and only if this one's record was saved first.
SaveEnd save_with_fault(save_faults::Kind kind, int step, int way, uint32_t score) {
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        // The save's own line on stderr would repeat for every step.
        if (freopen("/dev/null", "w", stderr) == nullptr) _exit(5);
        save_faults::folder_refuses_new_files = way == 1;
        save_faults::folder_unlockable = way == 2;
        save_faults::kind = kind;
        save_faults::at_step = step;
        p1_score = score;
        const bool beaten = save_record();
        const bool reached = save_faults::steps >= step;
        save_faults::kind = save_faults::NONE;
        int rival = 0;
        const bool apart = save_faults::rival < 0 || (waitpid(save_faults::rival, &rival, 0) > 0 &&
                           rival == 0 && beaten == save_faults::rival_waited);
        _exit(!reached ? 3 : record_save_failed != 0 ? 1 : !apart ? 4 : beaten ? 0 : 2);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return SaveEnd::CRASHED;
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return SaveEnd::KILLED;
    if (!WIFEXITED(status)) return SaveEnd::CRASHED;
    return WEXITSTATUS(status) <= 4 ? static_cast<SaveEnd>(WEXITSTATUS(status)) : SaveEnd::CRASHED;
}

// The ways of saving, beside the record, in place, and in place under the
// record file's own lock (a folder that cannot be locked), killed before each
// of their steps or with that step failing (or writing half): the file
// reads as the old record (7) or the new one (10) every time, a failure is
// reported unless the new record is whole, and the next save leaves the
// new record and nothing else. The old texts are the kinds an in-place
// rewrite could mix with the new digits ("0007" cut after "10" is "1007").
// Another game saving 30 at any step leaves 30, its higher record, also
// where there was no record file yet (read_file's "<missing>").
TEST_F(RecordTest, FaultAtEachStepOfASaveKeepsOneWholeRecord) {
    const char *const OLD_TEXTS[] = {"0007", "7 12345", "\xef\xbb\xbf  +7\n", "<missing>"};
    const char *const WAYS[] = {"beside", "in place", "in place under the file's lock"};
    const save_faults::Kind KINDS[] = {save_faults::KILL, save_faults::FAIL, save_faults::SHORT,
                                       save_faults::RIVAL};
    const char *const KIND_NAMES[] = {"", "killed", "failing", "writing half", "another saving"};
    const std::vector<std::string> ONLY_THE_RECORD = {"scores.txt"};
    for (const int way : {0, 1, 2}) {
        const bool in_place = way != 0;
        for (const char *old_text : OLD_TEXTS) {
            for (const save_faults::Kind kind : KINDS) {
                if (old_text == OLD_TEXTS[3] && (kind != save_faults::RIVAL || way == 1)) continue;
                int step = 1;
                for (;; ++step) {
                    ASSERT_LT(step, 40) << "a save of more steps than that?";
                    unlink(RECORD_FILE_NAME);
                    if (old_text != OLD_TEXTS[3]) write_file(RECORD_FILE_NAME, old_text);
                    const SaveEnd end = save_with_fault(kind, step, way, 10);
                    if (end == SaveEnd::NO_SUCH_STEP) break;
                    const std::string content = read_file(RECORD_FILE_NAME);
                    std::string where = std::string(WAYS[way]) + ", " +
                                        KIND_NAMES[kind] + " at step " + std::to_string(step) +
                                        ", " + name_of(end) + ", old text \"" + old_text +
                                        "\", now \"" + content + "\"";
                    ASSERT_NE(end, SaveEnd::CRASHED) << where;
                    EXPECT_EQ(end == SaveEnd::KILLED, kind == save_faults::KILL) << where;
                    if (kind == save_faults::RIVAL) {
                        EXPECT_TRUE(end == SaveEnd::FINISHED || end == SaveEnd::LOWER) << where;
                        EXPECT_EQ(content, "30") << where;
                        EXPECT_EQ(folder_entries("."), ONLY_THE_RECORD) << where;
                        continue;
                    }
                    record = SENTINEL;
                    load_record();
                    EXPECT_TRUE(record == 7u || record == 10u) << where << ": reads " << record;
                    if (end == SaveEnd::FINISHED) {
                        EXPECT_EQ(content, "10") << where;
                    }
                    if (!in_place) {
                        EXPECT_TRUE(content == old_text || content == "10") << where;
                    }
                    if (end == SaveEnd::FAILED && (!in_place || kind == save_faults::SHORT)) {
                        EXPECT_EQ(content, old_text) << where;
                    }
                    if (kind != save_faults::KILL) {
                        EXPECT_EQ(folder_entries("."), ONLY_THE_RECORD) << where;
                    }

                    // Whatever the fault left, the next save leaves the new
                    // record alone in the folder.
                    p1_score = 20;
                    save_record();
                    EXPECT_EQ(read_file(RECORD_FILE_NAME), "20") << where;
                    EXPECT_EQ(folder_entries("."), ONLY_THE_RECORD) << where;
                    EXPECT_EQ(record_save_failed, 0) << where;
                }
                EXPECT_GE(step, 2) << "no step reached: " << WAYS[way] << " " << KIND_NAMES[kind];
            }
        }
    }
}

// Anything but a regular file under the record's name is passed over: a
// load neither waits on it nor reads from it, a save never replaces it and
// says it failed. A child does it, so that a load that waits for ever ends
// with the alarm instead of holding the tests up.
TEST_F(RecordTest, FifoOrDeviceNamedLikeTheRecordFileIsPassedOver) {
    const struct {
        const char *name;
        bool fifo;
    } cases[] = {{"a FIFO", true}, {"a link to the device /dev/null", false}};
    for (const auto &odd : cases) {
        unlink(RECORD_FILE_NAME);
        int writer = -1;
        if (odd.fifo) {
            ASSERT_EQ(mkfifo(RECORD_FILE_NAME, 0644), 0) << strerror(errno);
        } else {
            ASSERT_EQ(symlink("/dev/null", RECORD_FILE_NAME), 0) << strerror(errno);
        }
        fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            alarm(10);
            record = SENTINEL;
            load_record();
            p1_score = 130;
            save_record();
            load_record();
            _exit(record == SENTINEL && record_save_failed == 1 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << odd.name << ": " << (WIFSIGNALED(status) ? strsignal(WTERMSIG(status)) : "");

        // With a writer at the other end and a number waiting in it, a
        // FIFO is still not read.
        if (odd.fifo) {
            writer = open(RECORD_FILE_NAME, O_RDWR | O_NONBLOCK);
            ASSERT_GE(writer, 0) << strerror(errno);
            ASSERT_EQ(write(writer, "42", 2), 2);
            record = SENTINEL;
            load_record();
            EXPECT_EQ(record, SENTINEL);
            char waiting[8] = {};
            EXPECT_EQ(read(writer, waiting, sizeof waiting), 2);
            EXPECT_STREQ(waiting, "42");
            close(writer);
        }
        struct stat info = {};
        ASSERT_EQ(lstat(RECORD_FILE_NAME, &info), 0);
        EXPECT_TRUE(odd.fifo ? S_ISFIFO(info.st_mode) : S_ISLNK(info.st_mode)) << odd.name;
        EXPECT_EQ(folder_entries("."), std::vector<std::string>{"scores.txt"}) << odd.name;
    }
    struct stat device = {};
    ASSERT_EQ(stat("/dev/null", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
}

std::string link_text(const char *name) {
    char text[256] = {};
    const ssize_t got = readlink(name, text, sizeof text - 1);
    return got < 0 ? "<no link>" : std::string(text, static_cast<size_t>(got));
}

// A record kept elsewhere through a symbolic link, even a chain of relative
// ones: the save writes beside the last link's target and renames over it,
// so every link stays. Leftovers go from the folder saved in, and only there;
// the player's own files beside the target stay.
TEST_F(RecordTest, SaveWritesThroughSymbolicLinks) {
    ASSERT_EQ(mkdir("a", 0755), 0);
    ASSERT_EQ(mkdir("sync", 0755), 0);
    write_file("sync/record.txt", "500");
    ASSERT_EQ(chmod("sync/record.txt", 0640), 0);
    ASSERT_EQ(symlink("a/hop", RECORD_FILE_NAME), 0);
    ASSERT_EQ(symlink("../sync/record.txt", "a/hop"), 0);
    write_file("sync/.scores.txt.snake-save-Ab12Cd", "1");
    write_file("sync/scores.txt.backup", "9990");
    // The record under another name of its own is no leftover.
    ASSERT_EQ(link("sync/record.txt", "sync/.scores.txt.snake-save-Rec0rd"), 0);
    write_file(".scores.txt.snake-save-Zz99Yy", "1");

    load_record();
    EXPECT_EQ(record, 500u);
    p1_score = 990;
    save_record();
    EXPECT_EQ(record_save_failed, 0);
    EXPECT_EQ(read_file("sync/record.txt"), "990");
    EXPECT_EQ(permissions_of("sync/record.txt"), 0640u);
    EXPECT_EQ(link_text(RECORD_FILE_NAME), "a/hop");
    EXPECT_EQ(link_text("a/hop"), "../sync/record.txt");
    EXPECT_EQ(folder_entries("sync"),
              (std::vector<std::string>{".scores.txt.snake-save-Rec0rd", "record.txt",
                                        "scores.txt.backup"}));
    EXPECT_EQ(read_file("sync/.scores.txt.snake-save-Rec0rd"), "500");
    EXPECT_EQ(folder_entries("."), (std::vector<std::string>{".scores.txt.snake-save-Zz99Yy", "a",
                                                             "scores.txt", "sync"}));
    load_record();
    EXPECT_EQ(record, 990u);

    // An absolute link is followed the same way.
    ASSERT_EQ(unlink(RECORD_FILE_NAME), 0);
    const std::string absolute = folder_ + "/sync/record.txt";
    ASSERT_EQ(symlink(absolute.c_str(), RECORD_FILE_NAME), 0);
    p1_score = 1000;
    save_record();
    EXPECT_EQ(read_file("sync/record.txt"), "1000");
    EXPECT_EQ(link_text(RECORD_FILE_NAME), absolute);
}

// When a link's target is missing (or even the target's folder),
// or the links go round in a loop, the save fails, says why, and creates
// nothing.
TEST_F(RecordTest, DanglingLinksAreReportedAndCreateNothing) {
    const struct {
        const char *link;
        const char *reason;  // the end of the line on stderr
    } cases[] = {
        {"sync/record.txt", "scores.txt: No such file or directory\n"},
        {"missing/record.txt", "scores.txt: No such file or directory\n"},
        {"scores.txt", "scores.txt: Too many levels of symbolic links\n"},
    };
    ASSERT_EQ(mkdir("sync", 0755), 0);
    for (const auto &dangling : cases) {
        unlink(RECORD_FILE_NAME);
        ASSERT_EQ(symlink(dangling.link, RECORD_FILE_NAME), 0);
        p1_score = 130;
        testing::internal::CaptureStderr();
        save_record();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(link_text(RECORD_FILE_NAME), dangling.link);
        EXPECT_EQ(record_save_failed, 1) << dangling.link;
        EXPECT_EQ(said, std::string("snake: the record could not be saved in ") +
                            dangling.reason);
    }
    EXPECT_EQ(folder_entries("."), (std::vector<std::string>{"scores.txt", "sync"}));
    EXPECT_TRUE(folder_entries("sync").empty());
}

// Only the leftovers of the game's own saves go: regular files named
// ".scores.txt.snake-save-" and six letters or digits (a save at work holds
// the lock). The player's own files stay, whatever their names.
TEST_F(RecordTest, SaveRemovesOnlyTheGamesOwnLeftovers) {
    write_file(RECORD_FILE_NAME, "500");
    const std::string temp = ".scores.txt.snake-save-";
    for (const char *end : {"Ab12Cd", "zzzzzz", "000000"}) write_file((temp + end).c_str(), "12");
    const std::vector<std::string> kept_files = {
        "scores.txt.backup", "scores.txt.before", "scores.txt.Ab12Cd", temp.substr(1) + "Ab12Cd",
        temp + "Ab12C",      temp + "Ab12Cde",    temp + "ab-123"};
    for (const std::string &name : kept_files) write_file(name.c_str(), "keep me");
    ASSERT_EQ(mkdir((temp + "FOLDER").c_str(), 0755), 0);
    ASSERT_EQ(symlink((temp + "Ab12C").c_str(), (temp + "LINK00").c_str()), 0);
    ASSERT_EQ(mkfifo((temp + "FIFO00").c_str(), 0644), 0);

    p1_score = 990;
    save_record();
    EXPECT_EQ(read_file(RECORD_FILE_NAME), "990");
    std::vector<std::string> expected = kept_files;
    expected.insert(expected.end(), {RECORD_FILE_NAME, temp + "FIFO00", temp + "FOLDER",
                                     temp + "LINK00"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder_entries("."), expected);
    for (const std::string &name : kept_files) EXPECT_EQ(read_file(name.c_str()), "keep me");
}

}  // namespace
