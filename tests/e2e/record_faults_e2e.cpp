// The record file "scores.txt" mistreated, end to end: missing, empty,
// read-only, a folder or a FIFO of that name, a symbolic link to a record
// kept elsewhere, in a folder the player may not write, and on a full disk.
// In each case a one-player game scores 10 (a new record over the 0 or 1
// the file holds) and ends on a wall, so that the game reads the file,
// tries to save, and shows the record again in the next game. The game
// never crashes nor waits, shows what the file holds, never loses an old
// record, and says on the end-of-game screen when the new one could not be
// saved.
//
// Tests run as root in CI, and root ignores permission bits: when it can,
// the test runs the game as the unprivileged user "nobody", in a folder of
// its own that the test prepares for it.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "harness.h"
#include "navigation.h"
#include "one_player.h"
#include "screen_reading.h"

namespace {

using namespace e2e;
namespace fs = std::filesystem;

// The user and group "nobody": no file of the test belongs to them but
// those the test gives them.
const uid_t PLAYER_UID = 65534;
const gid_t PLAYER_GID = 65534;

// The folder the game runs in, inside the test's folder.
const std::string PLAYER_FOLDER = "player";
const std::string RECORD = PLAYER_FOLDER + "/scores.txt";

const Rgb SNAKE = colour::GREEN;
// The end-of-game line saying that the new record could not be saved, on
// row 180 from x = 160, 38 characters long.
const Rgb NOT_SAVED_COLOUR{255, 128, 0};
const char NOT_SAVED_LOG[] = "the record could not be saved";
const GameTimeouts TIMEOUTS;
// Games played until one eats its apple.
const int ATTEMPTS = 3;

bool is_root() { return geteuid() == 0; }

// The entries of a folder, sorted.
std::vector<std::string> names_in(const fs::path &folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string listed(const std::vector<std::string> &names) {
    std::string out;
    for (const std::string &n : names) out += " " + n;
    return out.empty() ? " (nothing)" : out;
}

void give_to_player(const fs::path &path) {
    if (!is_root()) return;
    if (chown(path.c_str(), PLAYER_UID, PLAYER_GID) != 0)
        throw std::runtime_error("cannot give " + path.string() +
                                 " to the player: " + std::strerror(errno));
}

void set_mode(const fs::path &path, mode_t mode) {
    if (chmod(path.c_str(), mode) != 0)
        throw std::runtime_error("cannot chmod " + path.string() + ": " + std::strerror(errno));
}

// Makes the player's folder (when it is not already there, as a mount
// point) with a copy of the datafile, and has the game run in it as the
// player. The test's own folder is opened for the player to pass through.
void prepare_player_folder(GameUnderX &game) {
    set_mode(game.folder(), 0755);
    const fs::path folder = game.path_of(PLAYER_FOLDER);
    fs::create_directories(folder);
    const fs::path datafile = folder / "snake.dat";
    fs::copy_file(SNAKE_DAT_PATH, datafile, fs::copy_options::overwrite_existing);
    set_mode(datafile, 0644);
    give_to_player(datafile);
    give_to_player(folder);
    set_mode(folder, 0755);
    game.set_game_folder(PLAYER_FOLDER);
    if (is_root()) game.set_game_user(PLAYER_UID, PLAYER_GID);
}

// Takes a folder's write permission away for a test and gives it back at
// the end, so that the test's folder can be removed by a user who is not root.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const fs::path &folder) : folder_(folder) { set_mode(folder_, 0555); }
    ~ReadOnlyFolder() { chmod(folder_.c_str(), 0755); }
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

private:
    fs::path folder_;
};

// Writes a record file of the player's, with its permissions.
void write_player_file(GameUnderX &game, const std::string &content, mode_t mode) {
    game.write_file(RECORD, content);
    give_to_player(game.path_of(RECORD));
    set_mode(game.path_of(RECORD), mode);
}

// The temporary files a save may leave behind: any name holding
// "scores.txt.", hidden or not.
std::vector<std::string> leftovers(GameUnderX &game) {
    std::vector<std::string> out;
    for (const std::string &name : names_in(game.path_of(PLAYER_FOLDER)))
        if (name.find("scores.txt.") != name.npos) out.push_back(name);
    return out;
}

// What the record holds, as the play screen shows it.
enum class Shown { ZERO, ONE, TEN };

const char *text_of(Shown shown) {
    switch (shown) {
        case Shown::ZERO:
            return "0";
        case Shown::ONE:
            return "1";
        default:
            return "10";
    }
}

// Whether "RECORD : %d" of `frame` reads `shown`, with the digits read
// from the score row in the game: its "0" at the start and the "1" of 10.
bool record_reads(const Frame &frame, Shown shown, const GameOfTen &game) {
    const uint64_t first = glyph_mask(frame, RECORD_DIGIT_LEFT, STATUS_TOP, SNAKE);
    const uint64_t second = glyph_mask(frame, RECORD_DIGIT_LEFT + GLYPH_SIZE, STATUS_TOP, SNAKE);
    const uint64_t third = glyph_mask(frame, RECORD_DIGIT_LEFT + 2 * GLYPH_SIZE, STATUS_TOP, SNAKE);
    switch (shown) {
        case Shown::ZERO:
            return first == game.zero && second == 0;
        case Shown::ONE:
            return first == game.one && second == 0;
        default:
            return first == game.one && second == game.zero && third == 0;
    }
}

// Plays the game of 10 from the menu and checks what every record file
// case shares: the record shown at the start, the end-of-game screen of a
// new record with the score 10, the menu after ESC, and the record shown
// at the start of the next game. The game is left on that play screen.
// Whether the save worked, as the end-of-game screen and the log tell.
enum class Save { KEPT, FAILED };

void play_and_check(GameUnderX &game, Shown before, Shown after, Save save) {
    ASSERT_TRUE(game.start_game_with_window()) << "no game window; game log:\n" << game.game_log();
    const GameOfTen played = play_game_of_ten(game, SNAKE, TIMEOUTS, ATTEMPTS);
    ASSERT_TRUE(played.started) << played.story;
    ASSERT_NE(played.zero, 0u) << "no score digit\n" << game.screenshot("start");
    ASSERT_TRUE(played.ate) << "the snake did not eat the apple\n"
                            << played.story << game.screenshot("chase");
    ASSERT_TRUE(played.ended) << "no end-of-game screen\n"
                              << played.story << game.screenshot("no_game_over");

    EXPECT_TRUE(record_reads(played.start, before, played))
        << "the record at the start does not read " << text_of(before) << "\n"
        << game.screenshot("record_before");
    // 10 beats the 0 or 1 the file held: the banner, and the score 10.
    EXPECT_TRUE(new_record_banner_shown(played.game_over)) << "no NEW RECORD banner\n"
                                                           << game.screenshot("game_over");
    EXPECT_EQ(glyph_mask(played.game_over, FINAL_SCORE_DIGIT_LEFT, FINAL_SCORE_ROW, colour::YELLOW),
              played.one)
        << game.screenshot("final_score");
    EXPECT_EQ(glyph_mask(played.game_over, FINAL_SCORE_DIGIT_LEFT + GLYPH_SIZE, FINAL_SCORE_ROW,
                         colour::YELLOW),
              played.zero)
        << game.screenshot("final_score");
    // Some pixels of an apple beneath may come close to the line's colour;
    // the line itself has hundreds.
    const int not_saved_pixels = played.game_over.count(160, 180, 463, 187, NOT_SAVED_COLOUR);
    if (save == Save::FAILED) {
        EXPECT_GT(not_saved_pixels, 150) << "no line saying the record was not saved\n"
                                         << game.screenshot("not_saved");
        EXPECT_NE(game.game_log().find(NOT_SAVED_LOG), std::string::npos) << game.game_log();
    } else {
        EXPECT_LT(not_saved_pixels, 40) << "a saved record said to be lost\n"
                                        << game.screenshot("saved");
        EXPECT_EQ(game.game_log().find(NOT_SAVED_LOG), std::string::npos) << game.game_log();
    }

    ASSERT_TRUE(escape_to_main_menu(game, TIMEOUTS.screen)) << "no menu after ESC\n"
                                                            << game.screenshot("after_esc");
    std::string why;
    ASSERT_TRUE(start_playing(game, TIMEOUTS.screen, &why)) << why;
    Frame next;
    EXPECT_TRUE(game.wait_until(
        [&](const Frame &f) { return in_play(f) && record_reads(f, after, played); },
        TIMEOUTS.screen, &next))
        << "the next game's record does not read " << text_of(after) << "\n"
        << game.screenshot("record_after");
    EXPECT_TRUE(game.game_running()) << to_string(game.wait_for_exit(milliseconds(0))) << "\n"
                                     << game.game_log();
}

TEST(record_faults_e2e, MissingFileIsCreatedWithTheNewRecord) {
    GameUnderX game;
    prepare_player_folder(game);
    play_and_check(game, Shown::ZERO, Shown::TEN, Save::KEPT);
    if (HasFatalFailure()) return;
    EXPECT_EQ(game.read_file(RECORD).value_or("(missing)"), "10");
    EXPECT_TRUE(leftovers(game).empty()) << listed(leftovers(game));
}

TEST(record_faults_e2e, EmptyFileReadsAsNoRecordAndTakesTheNewOne) {
    GameUnderX game;
    prepare_player_folder(game);
    write_player_file(game, "", 0644);
    play_and_check(game, Shown::ZERO, Shown::TEN, Save::KEPT);
    if (HasFatalFailure()) return;
    EXPECT_EQ(game.read_file(RECORD).value_or("(missing)"), "10");
    EXPECT_TRUE(leftovers(game).empty()) << listed(leftovers(game));
}

// The record of a read-only file is shown, and the file is never rewritten
// nor replaced, although the player owns the folder and could replace it.
TEST(record_faults_e2e, ReadOnlyFileIsShownAndKept) {
    GameUnderX game;
    prepare_player_folder(game);
    write_player_file(game, "1", 0444);
    struct stat old_file {};
    ASSERT_EQ(stat(game.path_of(RECORD).c_str(), &old_file), 0);
    play_and_check(game, Shown::ONE, Shown::ONE, Save::FAILED);
    if (HasFatalFailure()) return;
    EXPECT_EQ(game.read_file(RECORD).value_or("(missing)"), "1");
    // The same file, not another one put in its place.
    struct stat info {};
    ASSERT_EQ(stat(game.path_of(RECORD).c_str(), &info), 0);
    EXPECT_EQ(info.st_ino, old_file.st_ino);
    EXPECT_EQ(info.st_mode & 0777, 0444u);
    EXPECT_TRUE(leftovers(game).empty()) << listed(leftovers(game));
}

TEST(record_faults_e2e, FolderNamedLikeTheFileStaysAFolder) {
    GameUnderX game;
    prepare_player_folder(game);
    fs::create_directory(game.path_of(RECORD));
    give_to_player(game.path_of(RECORD));
    play_and_check(game, Shown::ZERO, Shown::ZERO, Save::FAILED);
    if (HasFatalFailure()) return;
    EXPECT_TRUE(fs::is_directory(game.path_of(RECORD)));
    EXPECT_TRUE(names_in(game.path_of(RECORD)).empty()) << listed(names_in(game.path_of(RECORD)));
    EXPECT_TRUE(leftovers(game).empty()) << listed(leftovers(game));
}

// A FIFO under the record's name: the game starts and plays without waiting
// on it, reads no record from it and never replaces it.
TEST(record_faults_e2e, FifoNamedLikeTheFileIsPassedOver) {
    GameUnderX game;
    prepare_player_folder(game);
    ASSERT_EQ(mkfifo(game.path_of(RECORD).c_str(), 0666), 0) << std::strerror(errno);
    give_to_player(game.path_of(RECORD));
    play_and_check(game, Shown::ZERO, Shown::ZERO, Save::FAILED);
    if (HasFatalFailure()) return;
    EXPECT_EQ(fs::symlink_status(game.path_of(RECORD)).type(), fs::file_type::fifo);
    EXPECT_TRUE(leftovers(game).empty()) << listed(leftovers(game));
}

// A record kept in another folder through a symbolic link: the new record
// goes into the link's target, and the link stays.
TEST(record_faults_e2e, LinkedRecordIsSavedThroughTheLink) {
    GameUnderX game;
    prepare_player_folder(game);
    const fs::path sync = game.path_of("sync");
    fs::create_directory(sync);
    give_to_player(sync);
    set_mode(sync, 0755);
    game.write_file("sync/record.txt", "1");
    give_to_player(game.path_of("sync/record.txt"));
    set_mode(game.path_of("sync/record.txt"), 0644);
    fs::create_symlink("../sync/record.txt", game.path_of(RECORD));
    play_and_check(game, Shown::ONE, Shown::TEN, Save::KEPT);
    if (HasFatalFailure()) return;
    EXPECT_EQ(game.read_file("sync/record.txt").value_or("(missing)"), "10");
    EXPECT_TRUE(fs::is_symlink(game.path_of(RECORD)));
    EXPECT_EQ(fs::read_symlink(game.path_of(RECORD)), fs::path("../sync/record.txt"));
    EXPECT_EQ(names_in(sync), std::vector<std::string>{"record.txt"}) << listed(names_in(sync));
    EXPECT_TRUE(leftovers(game).empty()) << listed(leftovers(game));
}

// Without the right to write in the folder the game can create nothing:
// no record file and no temporary file appear.
TEST(record_faults_e2e, ReadOnlyFolderGetsNothingNew) {
    GameUnderX game;
    prepare_player_folder(game);
    const ReadOnlyFolder read_only(game.path_of(PLAYER_FOLDER));
    play_and_check(game, Shown::ZERO, Shown::ZERO, Save::FAILED);
    if (HasFatalFailure()) return;
    EXPECT_EQ(names_in(game.path_of(PLAYER_FOLDER)), std::vector<std::string>{"snake.dat"})
        << listed(names_in(game.path_of(PLAYER_FOLDER)));
}

// A record file the player may write, in a folder the player may not: the
// file can be opened for writing, so the new record is written over the old
// one, "0001" becoming "10" and never a mix such as "1001".
TEST(record_faults_e2e, WritableFileInAReadOnlyFolderTakesTheNewRecord) {
    GameUnderX game;
    prepare_player_folder(game);
    write_player_file(game, "0001", 0644);
    const ReadOnlyFolder read_only(game.path_of(PLAYER_FOLDER));
    play_and_check(game, Shown::ONE, Shown::TEN, Save::KEPT);
    if (HasFatalFailure()) return;
    EXPECT_EQ(game.read_file(RECORD).value_or("(missing)"), "10");
    EXPECT_EQ(names_in(game.path_of(PLAYER_FOLDER)),
              (std::vector<std::string>{"scores.txt", "snake.dat"}))
        << listed(names_in(game.path_of(PLAYER_FOLDER)));
}

// A small file system of its own, unmounted when the test ends, even while
// the game still has its working folder there.
class SmallDisk {
public:
    explicit SmallDisk(const std::string &where) : where_(where) {
        fs::create_directories(where_);
        const std::string options = "size=2m,mode=0755,uid=" + std::to_string(PLAYER_UID) +
                                    ",gid=" + std::to_string(PLAYER_GID);
        mounted_ = mount("tmpfs", where_.c_str(), "tmpfs", 0, options.c_str()) == 0;
        if (!mounted_) error_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_) umount2(where_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool mounted() const { return mounted_; }
    const std::string &error() const { return error_; }

private:
    std::string where_;
    bool mounted_ = false;
    std::string error_;
};

// Writes into `path` until the file system has no room left; true when it
// ended full (ENOSPC) rather than on another error.
bool fill_up(const fs::path &path) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::setvbuf(file, nullptr, _IONBF, 0);
    const std::vector<char> block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), file) == block.size()) {
    }
    // The last bytes one at a time, down to the last free one.
    while (std::fwrite(block.data(), 1, 1, file) == 1) {
    }
    const bool full = errno == ENOSPC;
    std::fclose(file);
    return full;
}

// On a full disk the new record cannot be written: the save fails, leaves
// no temporary file behind, and the old record stays whole.
TEST(record_faults_e2e, FullDiskKeepsTheOldRecord) {
    if (!is_root()) GTEST_SKIP() << "mounting a small file system needs root";
    GameUnderX game;
    SmallDisk disk(game.path_of(PLAYER_FOLDER));
    if (!disk.mounted())
        GTEST_SKIP() << "no small file system to fill: mount -t tmpfs failed: " << disk.error();
    prepare_player_folder(game);
    write_player_file(game, "1", 0644);
    ASSERT_TRUE(fill_up(game.path_of(PLAYER_FOLDER + "/filler")))
        << "the small file system did not fill up";
    const std::vector<std::string> before = names_in(game.path_of(PLAYER_FOLDER));

    play_and_check(game, Shown::ONE, Shown::ONE, Save::FAILED);
    if (HasFatalFailure()) return;
    EXPECT_EQ(game.read_file(RECORD).value_or("(missing)"), "1");
    EXPECT_EQ(names_in(game.path_of(PLAYER_FOLDER)), before)
        << listed(names_in(game.path_of(PLAYER_FOLDER)));
}

}  // namespace
