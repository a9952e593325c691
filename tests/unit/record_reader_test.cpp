// What a load of the record file "scores.txt" makes of every kind of text:
// blanks, a sign, the digits, and the first number alone; a number past the
// 32-bit range saturates. What a save leaves in place of each kind of text.
// Nothing here needs more than the C library's files, so the same tables
// run on every system the game is built for.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <ostream>
#include <string>

#include "game_fixture.h"
#include "record/record.h"
#include "rules/collide.h"

namespace {

// A value no test case reads from a file, to see that a load left `record` alone.
const uint32_t SENTINEL = 31415u;

struct ParseCase {
    const char *name;
    std::string text;
    bool has_number;
    uint32_t expected;
};

void PrintTo(const ParseCase &parse_case, std::ostream *out) {
    *out << parse_case.name;
}

class RecordParseTest : public GameTest, public ::testing::WithParamInterface<ParseCase> {};

TEST_P(RecordParseTest, LoadReadsTheFirstNumberOrKeepsTheRecord) {
    const ParseCase &parse_case = GetParam();
    write_scores(parse_case.text);
    record = SENTINEL;
    load_record();
    if (parse_case.has_number) {
        EXPECT_EQ(record, parse_case.expected);
    } else {
        EXPECT_EQ(record, SENTINEL) << "a text without a number must leave the record alone";
    }
    EXPECT_EQ(read_scores(), parse_case.text) << "loading must not change the file";
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

class RecordSaveTest : public GameTest {};

// The digits alone replace any old text the score beats; a record it does
// not beat (another game saved it meanwhile) stays, and that is no failure.
TEST_F(RecordSaveTest, SaveWritesTheDigitsOverARecordItBeats) {
    const struct {
        const char *old_text;  // nullptr: no file yet
        uint32_t score;
        const char *expected;  // the old text when the score does not beat it
    } cases[] = {
        {nullptr, 130u, "130"}, {"99\r\n", 130u, "130"}, {"  120\nabc\n", 130u, "130"},
        {"5", 123456780u, "123456780"}, {"abc", 0u, "0"}, {"7", 4294967286u, "-10"},
        {"7", 0x80000000u, "-2147483648"}, {"7", 0x7fffffffu, "2147483647"},
        {"500", 130u, "500"}, {"130", 130u, "130"}, {"-5", 4000000000u, "-5"},
    };
    for (const auto &c : cases) {
        std::filesystem::remove(RECORD_FILE_NAME);
        if (c.old_text != nullptr) write_scores(c.old_text);
        p1_score = c.score;
        record = SENTINEL;
        const bool beaten = c.old_text == nullptr || c.expected != std::string(c.old_text);
        EXPECT_EQ(save_record(), beaten) << "score " << c.score;
        EXPECT_EQ(read_scores(), c.expected) << "score " << c.score;
        EXPECT_EQ(record_save_failed, 0);
        EXPECT_EQ(record, SENTINEL) << "a save does not change the record in memory";
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1)
            << "a save must leave no other file";
    }
}

}  // namespace
