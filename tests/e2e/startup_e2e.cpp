// Start-up without a usable snake.dat: the game says so in a message box
// (the library shows it through the xmessage program) and, once the box is
// dismissed, ends with a failure status instead of crashing.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "harness.h"

namespace {

using namespace e2e;

const milliseconds MESSAGE_TIMEOUT(20000);
const milliseconds EXIT_TIMEOUT(5000);

struct DatafileCase {
    const char *name;
    bool present;         // false: no snake.dat at all
    const char *content;  // what snake.dat holds when present
};

// Names the case in test listings.
void PrintTo(const DatafileCase &c, std::ostream *os) { *os << c.name; }

class BadDatafile : public ::testing::TestWithParam<DatafileCase> {};

TEST_P(BadDatafile, ShowsTheMessageAndEndsWithAFailureStatus) {
    const DatafileCase &bad = GetParam();
    GameUnderX game;
    if (bad.present) game.write_file("snake.dat", bad.content);
    game.start_game();

    const std::optional<MessageBox> box = game.wait_for_message(MESSAGE_TIMEOUT);
    ASSERT_TRUE(box.has_value()) << "no message box; the game is "
                                 << (game.game_running() ? "still running" : "gone: ")
                                 << to_string(game.wait_for_exit(milliseconds(0)))
                                 << "\ngame log:\n"
                                 << game.game_log();
    // The library ends every message with a line end of its own.
    std::string text = box->text;
    ASSERT_FALSE(text.empty());
    if (text.back() == '\n') text.pop_back();
    EXPECT_EQ(text, "Can not load pomme.bmp !");
    EXPECT_TRUE(game.wait_for_message_window(MESSAGE_TIMEOUT))
        << "the xmessage program runs but shows no window";

    // The game waits for the box to be dismissed.
    EXPECT_TRUE(game.game_running());
    game.dismiss_message(*box);

    const ExitResult result = game.wait_for_exit(EXIT_TIMEOUT);
    ASSERT_TRUE(result.finished) << "the game still runs after the message was dismissed";
    EXPECT_TRUE(result.exited) << to_string(result) << "\ngame log:\n" << game.game_log();
    EXPECT_NE(result.status, 0) << to_string(result);
    // Nothing was played, so no record was written.
    EXPECT_FALSE(game.file_exists("scores.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    startup_e2e, BadDatafile,
    ::testing::Values(DatafileCase{"Missing", false, ""}, DatafileCase{"Empty", true, ""},
                      DatafileCase{"Text", true, "This is not a datafile.\nJust some text.\n"}),
    [](const ::testing::TestParamInfo<DatafileCase> &param) {
        return std::string(param.param.name);
    });

}  // namespace
