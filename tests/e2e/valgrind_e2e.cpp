// The real game under Valgrind's memcheck, driven as a player would: the
// options screen (with the click sound), a one-player game to its end, the
// whole credits, and the quit button, so that the program ends normally and
// memcheck gives its full report. No invalid read or write, no use of an
// uninitialised value and no block definitely lost may show; what the
// libraries underneath do themselves is suppressed in valgrind.supp, each
// suppression with its reason.
//
// Under memcheck the game runs many times slower, so every wait is long,
// and the test carries the ctest label "valgrind" to be run alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "harness.h"
#include "navigation.h"
#include "one_player.h"
#include "screen_reading.h"

namespace {

using namespace e2e;
namespace fs = std::filesystem;
using std::chrono::steady_clock;

const milliseconds START_TIMEOUT(180000);
const milliseconds SCREEN_TIMEOUT(60000);
const milliseconds POINTER_TIMEOUT(60000);
// The credits last 390 frames of at least 70 ms: 27.3 seconds on their
// own, and much longer when every frame is drawn under memcheck.
const milliseconds CREDITS_TIMEOUT(300000);
const milliseconds CREDITS_LEAST(27000);
const milliseconds EXIT_TIMEOUT(180000);

GameTimeouts slow_timeouts() {
    GameTimeouts t;
    t.screen = SCREEN_TIMEOUT;
    t.chase = milliseconds(90000);
    t.wall = milliseconds(90000);
    return t;
}

fs::path suppressions() { return fs::path(SNAKE_VALGRIND_SUPPRESSIONS); }

// Memcheck's report up to its heap summary, where the errors found while
// the game ran stand (the first MOST_LINES of it), then its summaries: the
// part of the report a failure message shows.
constexpr size_t MOST_LINES = 400;

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The summaries at the end of memcheck's report, each line marked as the
// harness marks its own output.
std::string summary_lines(const std::string &log) {
    std::string out;
    bool in_summary = false;
    for (const std::string &line : lines_of(log)) {
        if (line.find("LEAK SUMMARY") != std::string::npos) in_summary = true;
        if (in_summary) out += "[ e2e      ] " + line + "\n";
    }
    return out;
}

std::string report_excerpt(const std::string &log, const std::string &path) {
    std::string out = "memcheck's report (all of it in " + path + "):\n";
    size_t count = 0;
    for (const std::string &line : lines_of(log)) {
        if (line.find("HEAP SUMMARY") != std::string::npos) break;
        if (++count > MOST_LINES) {
            out += "...\n";
            break;
        }
        out += line + "\n";
    }
    return out + summary_lines(log);
}

// True when `program` is an executable file in one of the PATH's folders.
bool on_path(const std::string &program) {
    const char *path = std::getenv("PATH");
    std::string folders = path ? path : "";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const fs::path candidate = fs::path(folders.substr(start, end - start)) / program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// A build with a sanitizer instruments the game the same way: memcheck
// cannot run such a binary, and the sanitizer checks its memory instead.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SANITIZER_BUILD = true;
#else
constexpr bool SANITIZER_BUILD = false;
#endif

TEST(valgrind_e2e, MenuOptionsGameCreditsAndQuitAreMemoryClean) {
    if (SANITIZER_BUILD)
        GTEST_SKIP() << "the game is built with a sanitizer, which memcheck cannot run";
    ASSERT_TRUE(on_path("valgrind")) << "valgrind is not installed (scripts/deps.sh installs it)";
    ASSERT_TRUE(fs::exists(suppressions())) << suppressions();
    GameUnderX game;
    game.install_datafile();
    const std::string log = game.path_of("valgrind.log");
    // Valgrind runs one thread at a time, and by default the thread that
    // gives the lock up may take it straight back: the main loop, which spins
    // without sleeping, would then starve the library's input thread and the
    // game would never see the pointer move. Fair scheduling hands the lock
    // round in turn, as the real system's scheduler does.
    game.set_game_wrapper(
        {"valgrind", "--tool=memcheck", "--fair-sched=yes", "--error-exitcode=99",
         "--track-origins=yes",
         "--leak-check=full", "--show-leak-kinds=definite,possible",
         "--errors-for-leak-kinds=definite", "--num-callers=40", "--gen-suppressions=all",
         "--suppressions=" + suppressions().string(), "--log-file=" + log});
    ASSERT_TRUE(game.start_game_with_window(START_TIMEOUT)) << "no game window; game log:\n"
                                                            << game.game_log();
    ASSERT_TRUE(game.wait_until(menu_shown, START_TIMEOUT)) << game.screenshot("no_menu");

    // ---- the options screen: the colour's left arrow plays the click and
    // turns the snake from red (the screen's first frame) to green ----
    std::string why;
    ASSERT_TRUE(open_options(game, SCREEN_TIMEOUT, &why)) << why;
    ASSERT_TRUE(click_arrow_until(
        game, LEFT_ARROW_X, arrow_y(COLOUR_ROW),
        [](const Frame &f) { return options_shown(f) && preview_is(f, colour::GREEN); },
        SCREEN_TIMEOUT))
        << "the colour's left arrow did not turn the preview green\n"
        << game.screenshot("colour");
    ASSERT_TRUE(leave_options(game, SCREEN_TIMEOUT)) << "no menu after ESC on the options screen\n"
                                                     << game.screenshot("options_esc");

    // ---- a one-player game, to its end ----
    const GameOfTen played = play_game_of_ten(game, colour::GREEN, slow_timeouts());
    ASSERT_TRUE(played.started) << played.story;
    ASSERT_TRUE(played.ended) << "no end-of-game screen\n"
                              << played.story << game.screenshot("game_over");
    // Eating is only a bonus here: at this speed the steering may miss.
    std::cout << "[ e2e      ] under memcheck the snake " << (played.ate ? "ate" : "missed")
              << " the apple" << std::endl;
    ASSERT_TRUE(escape_to_main_menu(game, SCREEN_TIMEOUT)) << "no menu after ESC\n"
                                                           << game.screenshot("after_esc");

    // ---- the credits, from start to end: they cannot be cut short ----
    ASSERT_TRUE(move_pointer_seen(game, 300, 340, POINTER_TIMEOUT)) << game.screenshot("pointer");
    const auto credits_start = steady_clock::now();
    ASSERT_TRUE(game.click_until(
        300, 340, [](const Frame &f) { return !menu_shown(f); }, SCREEN_TIMEOUT))
        << "the credits did not start\n"
        << game.screenshot("credits");
    ASSERT_TRUE(game.wait_until(menu_shown, CREDITS_TIMEOUT, nullptr, milliseconds(500)))
        << "the menu did not come back after the credits\n"
        << game.screenshot("after_credits");
    EXPECT_GE(steady_clock::now() - credits_start, CREDITS_LEAST);

    // ---- quit: a normal end, after which memcheck reports ----
    ASSERT_TRUE(move_pointer_seen(game, 300, 440, POINTER_TIMEOUT)) << game.screenshot("pointer");
    EXPECT_TRUE(game.click_until(
        300, 440, [](const Frame &) { return false; }, EXIT_TIMEOUT, /*done_when_ended=*/true))
        << "the game still runs after the quit button was clicked\n"
        << game.screenshot("quit");
    const ExitResult result = game.wait_for_exit(EXIT_TIMEOUT);
    ASSERT_TRUE(result.finished) << "the game did not end";

    const std::string report = game.read_file("valgrind.log").value_or("");
    ASSERT_FALSE(report.empty()) << "memcheck wrote no report to " << log;
    std::cout << summary_lines(report) << std::flush;
    // The report is the game's: memcheck ran the game's binary.
    EXPECT_TRUE(report.find(std::string("Command: ") + SNAKE_BINARY) != std::string::npos)
        << report_excerpt(report, log);
    // 99 is memcheck's own status for errors found; 0 the game's own.
    EXPECT_TRUE(result.exited && result.status == 0) << to_string(result) << "\n"
                                                     << report_excerpt(report, log);
    EXPECT_TRUE(report.find("ERROR SUMMARY: 0 errors") != std::string::npos)
        << report_excerpt(report, log);
    // The game's own blocks live as long as the program: reachable, never lost.
    const std::regex definitely_lost("definitely lost: ([0-9,]+) bytes");
    std::smatch lost;
    if (std::regex_search(report, lost, definitely_lost)) {
        EXPECT_EQ(lost[1].str(), "0") << report_excerpt(report, log);
    }
}

}  // namespace
