// The real game started on damaged game datafiles: cut short at every
// hundredth of its length and at a few header sizes, empty, text, random
// bytes behind a valid magic, the packed forms cut short, and whole files
// made with the library's dat tool that lack an entry or hold a sample where
// a picture must be. Every one must end with the "Can not load pomme.bmp !"
// message and, once its OK is clicked, a failure status: no crash, no hang.
//
// Starting an X server costs more than starting the game, so the cases are
// dealt out over a few groups, each of which starts the game once per case
// on one X server; the groups run in parallel under ctest.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "harness.h"
#include "screen_reading.h"

namespace {

using namespace e2e;
namespace fs = std::filesystem;

const milliseconds MESSAGE_TIMEOUT(15000);
const milliseconds EXIT_TIMEOUT(5000);
const milliseconds WINDOW_TIMEOUT(20000);
const std::string MESSAGE = "Can not load pomme.bmp !";

// The datafile the build made, and beside its folder the pictures and the
// click it was packed from (build/game/snake.dat, build/art/).
fs::path built_datafile() { return fs::path(SNAKE_DAT_PATH); }
fs::path art_folder() { return built_datafile().parent_path().parent_path() / "art"; }

// The entries of the game's datafile, in index order, as the art folder holds them.
const std::vector<std::string> &entry_files() {
    static const std::vector<std::string> files = {"apple_0.bmp",
                                                   "apple_1.bmp",
                                                   "apple_2.bmp",
                                                   "apple_3.bmp",
                                                   "apple_4.bmp",
                                                   "apple_5.bmp",
                                                   "button_credits.bmp",
                                                   "button_play.bmp",
                                                   "menu_title.bmp",
                                                   "button_options.bmp",
                                                   "button_quit.bmp",
                                                   "icon.bmp",
                                                   "options_background.bmp",
                                                   "arrow_right.bmp",
                                                   "arrow_left.bmp",
                                                   "credits_background.bmp",
                                                   "click.wav"};
    return files;
}

std::string read_bytes(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path.string());
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Runs a program and waits for it; its output goes to `log`.
int run_program(const std::vector<std::string> &args, const fs::path &log) {
    std::vector<std::string> text = args;
    std::vector<char *> argv;
    for (std::string &s : text) argv.push_back(s.data());
    argv.push_back(nullptr);
    const std::string log_path = log.string();
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        std::FILE *out = std::freopen(log_path.c_str(), "a", stdout);
        if (out) dup2(fileno(out), 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The number of objects a plain datafile announces (after "slh.ALL."), or
// -1 when the file does not start so.
long announced_objects(const std::string &bytes) {
    if (bytes.size() < 12 || bytes.compare(0, 8, "slh.ALL.") != 0) return -1;
    long n = 0;
    for (int i = 8; i < 12; i++)
        n = (n << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
    return n;
}

// Packs the art folder's files into a new datafile with the library's dat
// tool, one entry per call so that the entries keep this order, as the
// build does. The tool adds an object of its own (its settings) at the end.
std::string pack_with_dat(const fs::path &scratch, const std::string &name,
                          const std::vector<std::string> &files) {
    fs::create_directories(scratch);
    const fs::path out = scratch / name;
    const fs::path log = scratch / (name + ".log");
    fs::remove(out);
    for (size_t i = 0; i < files.size(); i++) {
        const std::string &file = files[i];
        // The tool names an object after its file and replaces an object of
        // the same name: a file used twice goes in under a second name.
        const fs::path copy = scratch / (std::to_string(i) + "_" + file);
        fs::copy_file(art_folder() / file, copy, fs::copy_options::overwrite_existing);
        const bool sample = fs::path(file).extension() == ".wav";
        const int rc = run_program({"dat", "-n0", "-bpp", "16", "-transparency", "-t",
                                    sample ? "SAMP" : "BMP", out.string(), "-a", copy.string()},
                                   log);
        if (rc != 0)
            throw std::runtime_error("dat could not add " + file + " to " + out.string() +
                                     " (see " + log.string() + ")");
    }
    const std::string bytes = read_bytes(out);
    if (announced_objects(bytes) != static_cast<long>(files.size()) + 1)
        throw std::runtime_error(out.string() + " does not hold the " +
                                 std::to_string(files.size()) + " entries packed into it");
    return bytes;
}

// The game's datafile packed again by the dat tool: "-c1" packs every
// object by itself, "-c2" the whole file after its magic.
std::string repacked(const fs::path &scratch, const std::string &option) {
    fs::create_directories(scratch);
    const fs::path out = scratch / ("repacked" + option + ".dat");
    fs::copy_file(built_datafile(), out, fs::copy_options::overwrite_existing);
    const int rc = run_program({"dat", option, "-w", out.string()}, scratch / "repack.log");
    if (rc != 0) throw std::runtime_error("dat " + option + " failed on " + out.string());
    const std::string bytes = read_bytes(out);
    if (bytes.size() >= fs::file_size(built_datafile()))
        throw std::runtime_error("dat " + option + " did not pack " + out.string());
    return bytes;
}

// The entry files with entry `index` replaced by `file`.
std::vector<std::string> with_entry(size_t index, const std::string &file) {
    std::vector<std::string> files = entry_files();
    files.at(index) = file;
    return files;
}

// Bytes that are the same on every run: the failures must be repeatable.
std::string random_bytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string out(count, '\0');
    for (char &c : out) c = static_cast<char>(byte(generator));
    return out;
}

// Where a damaged file comes from: the case's bytes, made in `scratch`.
using Maker = std::function<std::string(const fs::path &scratch)>;

struct Damage {
    std::string name;
    Maker make;
};

// The first `count` bytes of what `source` makes.
Maker cut(Maker source, std::function<size_t(size_t)> count) {
    return [source, count](const fs::path &scratch) {
        const std::string whole = source(scratch);
        return whole.substr(0, count(whole.size()));
    };
}

// Every file is made at most once per test program: several cases cut the same one.
Maker cached(const std::string &key, Maker source) {
    return [key, source](const fs::path &scratch) {
        static std::map<std::string, std::string> made;
        auto it = made.find(key);
        if (it == made.end()) it = made.emplace(key, source(scratch)).first;
        return it->second;
    };
}

const Maker BUILT = cached("built", [](const fs::path &) { return read_bytes(built_datafile()); });
const Maker PACKED_WHOLE = cached("c2", [](const fs::path &s) { return repacked(s, "-c2"); });
const Maker PACKED_EACH = cached("c1", [](const fs::path &s) { return repacked(s, "-c1"); });

std::vector<Damage> all_damages() {
    std::vector<Damage> out;
    // The plain datafile cut at every hundredth of its length; 0 % is the empty file.
    for (int percent = 0; percent < 100; percent++) {
        out.push_back(
            {"cut_at_" + std::to_string(percent) + "_percent", cut(BUILT, [percent](size_t size) {
                 return size * static_cast<size_t>(percent) / 100;
             })});
    }
    // Inside the magic, the "ALL." mark, the object count and the first property.
    for (int bytes : {1, 3, 4, 7, 8, 11, 12, 16, 20}) {
        const size_t count = static_cast<size_t>(bytes);
        out.push_back({"first_" + std::to_string(bytes) + "_bytes",
                       cut(BUILT, [count](size_t) { return count; })});
    }
    // The two packed forms, cut at every tenth of their lengths and one byte short.
    for (const auto &packed : {std::make_pair(std::string("packed_whole"), PACKED_WHOLE),
                               std::make_pair(std::string("packed_each"), PACKED_EACH)}) {
        for (int tenth = 1; tenth < 10; tenth++) {
            out.push_back({packed.first + "_cut_at_" + std::to_string(tenth * 10) + "_percent",
                           cut(packed.second, [tenth](size_t size) {
                               return size * static_cast<size_t>(tenth) / 10;
                           })});
        }
        out.push_back({packed.first + "_one_byte_short",
                       cut(packed.second, [](size_t size) { return size - 1; })});
    }
    out.push_back({"text", [](const fs::path &) {
                       return std::string("This is not a datafile.\nJust some text.\n");
                   }});
    // Random bytes behind the first 4 bytes (the plain magic), the first 8
    // (the magic and "ALL.") and the packed magic; then behind the first
    // hundredth, tenth, half and nine tenths of the real file, up to its length.
    for (unsigned seed : {1u, 2u, 3u}) {
        const std::string s = std::to_string(seed);
        out.push_back({"random_after_4_bytes_seed_" + s, [seed](const fs::path &scratch) {
                           return BUILT(scratch).substr(0, 4) + random_bytes(65536, seed);
                       }});
        out.push_back({"random_after_8_bytes_seed_" + s, [seed](const fs::path &scratch) {
                           return BUILT(scratch).substr(0, 8) + random_bytes(65536, seed);
                       }});
        out.push_back({"random_after_packed_magic_seed_" + s, [seed](const fs::path &) {
                           return std::string("slh!") + random_bytes(65536, seed);
                       }});
    }
    for (int percent : {1, 10, 50, 90}) {
        out.push_back({"random_after_" + std::to_string(percent) + "_percent",
                       [percent](const fs::path &scratch) {
                           const std::string whole = BUILT(scratch);
                           const size_t keep = whole.size() * static_cast<size_t>(percent) / 100;
                           return whole.substr(0, keep) +
                                  random_bytes(whole.size() - keep, static_cast<unsigned>(percent));
                       }});
    }
    // Whole, well-made datafiles that do not hold what the screens read.
    out.push_back({"sixteen_entries", [](const fs::path &scratch) {
                       std::vector<std::string> files = entry_files();
                       files.pop_back();  // no click
                       return pack_with_dat(scratch, "sixteen.dat", files);
                   }});
    out.push_back({"three_entries", [](const fs::path &scratch) {
                       return pack_with_dat(scratch, "three.dat",
                                            {"apple_0.bmp", "apple_1.bmp", "apple_2.bmp"});
                   }});
    out.push_back({"sample_as_apple_3", [](const fs::path &scratch) {
                       return pack_with_dat(scratch, "sample_at_3.dat", with_entry(3, "click.wav"));
                   }});
    out.push_back({"sample_as_credits_background", [](const fs::path &scratch) {
                       return pack_with_dat(scratch, "sample_at_15.dat",
                                            with_entry(15, "click.wav"));
                   }});
    out.push_back({"picture_as_click", [](const fs::path &scratch) {
                       return pack_with_dat(scratch, "picture_at_16.dat",
                                            with_entry(16, "apple_0.bmp"));
                   }});
    return out;
}

// What went wrong with one case; empty when it behaved.
std::string try_damage(GameUnderX &game, const std::string &bytes) {
    game.write_file("snake.dat", bytes);
    game.start_game();
    const std::optional<MessageBox> box = game.wait_for_message(MESSAGE_TIMEOUT);
    if (!box) {
        const bool running = game.game_running();
        std::string what =
            running ? "no message box; the game " : "no message box; the game ended: ";
        what += running ? (game.has_window() || game.wait_for_window(milliseconds(0))
                               ? "opened its window and runs"
                               : "still runs")
                        : to_string(game.wait_for_exit(milliseconds(0)));
        game.kill_game();
        return what;
    }
    std::string problems;
    std::string text = box->text;
    if (!text.empty() && text.back() == '\n') text.pop_back();  // the library's own line end
    if (text != MESSAGE) problems += "the message reads \"" + text + "\"; ";
    if (!game.wait_for_message_window(MESSAGE_TIMEOUT))
        problems += "the xmessage program runs but shows no window; ";
    if (!game.game_running()) problems += "the game did not wait for the message to be dismissed; ";
    if (!game.click_message_ok()) {
        problems += "the box's OK could not be clicked; ";
        game.dismiss_message(*box);
    }
    const ExitResult result = game.wait_for_exit(EXIT_TIMEOUT);
    if (!result.finished) {
        problems += "the game still runs after OK was clicked; ";
        game.kill_game();
    } else if (!result.exited || result.status != 1) {
        problems += "the game " + to_string(result) + "; ";
    }
    if (game.file_exists("scores.txt")) problems += "a record file was written; ";
    return problems;
}

// The cases are dealt out over GROUPS tests, one X server each.
constexpr int GROUPS = 8;

class DamagedDatafiles : public ::testing::TestWithParam<int> {};

TEST_P(DamagedDatafiles, EachShowsTheMessageAndEndsWithAFailureStatus) {
    const std::vector<Damage> damages = all_damages();
    GameUnderX game;
    const fs::path scratch = fs::path(game.folder()) / "made";
    int tried = 0;
    for (size_t i = static_cast<size_t>(GetParam()); i < damages.size(); i += GROUPS) {
        const Damage &damage = damages[i];
        SCOPED_TRACE(damage.name);
        std::string bytes;
        try {
            bytes = damage.make(scratch);
        } catch (const std::exception &e) {
            ADD_FAILURE() << damage.name << ": the file could not be made: " << e.what();
            continue;
        }
        const std::string problems = try_damage(game, bytes);
        tried++;
        if (problems.empty()) continue;
        // Kept beside the game's log, to try again by hand.
        const std::string kept = "failed_" + damage.name + ".dat";
        game.write_file(kept, bytes);
        ADD_FAILURE() << damage.name << " (" << bytes.size() << " bytes, kept as "
                      << game.path_of(kept) << "): " << problems << "\ngame log:\n"
                      << game.game_log();
    }
    EXPECT_GT(tried, 0);
}

INSTANTIATE_TEST_SUITE_P(damaged_datafile_e2e, DamagedDatafiles, ::testing::Range(0, GROUPS),
                         [](const ::testing::TestParamInfo<int> &param) {
                             return "group_" + std::to_string(param.param);
                         });

// The files made above differ from these only by their damage: whole and
// in the right order, the same tool's files load and the menu comes up, so
// the damaged ones fail for their damage and not for the way they are made.
TEST(damaged_datafile_e2e, WholeFilesMadeTheSameWayLoad) {
    GameUnderX game;
    const fs::path scratch = fs::path(game.folder()) / "made";
    const std::vector<std::pair<std::string, Maker>> wholes = {
        {"packed by dat entry by entry",
         [](const fs::path &s) { return pack_with_dat(s, "whole.dat", entry_files()); }},
        {"packed whole", PACKED_WHOLE},
        {"packed object by object", PACKED_EACH},
    };
    for (const auto &whole : wholes) {
        SCOPED_TRACE(whole.first);
        game.write_file("snake.dat", whole.second(scratch));
        game.start_game();
        EXPECT_TRUE(game.wait_for_window(WINDOW_TIMEOUT))
            << whole.first << ": no game window; game log:\n"
            << game.game_log();
        EXPECT_TRUE(game.wait_until(menu_shown, WINDOW_TIMEOUT)) << whole.first << ": no menu\n"
                                                                 << game.screenshot("no_menu");
        EXPECT_FALSE(game.find_message().has_value()) << whole.first;
        EXPECT_TRUE(game.game_running()) << to_string(game.wait_for_exit(milliseconds(0)));
        game.kill_game();
    }
}

}  // namespace
