// The record file and the datafile check through Windows calls: the save's
// temporary file and its move over the old record, the read-only attribute,
// leftovers of killed saves, and names that are no file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/datafile.h"
#include "game_fixture.h"
#include "record/record.h"
#include "rules/collide.h"

// After allegro.h, through the library's own header: both name a type BITMAP.
#include <winalleg.h>

namespace {

std::vector<std::string> folder_entries() {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator("."))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void write_small_file(const char *name) {
    FILE *file = std::fopen(name, "wb");
    ASSERT_NE(file, nullptr) << name;
    std::fputs("1", file);
    std::fclose(file);
}

class FilesOnWindows : public GameTest {
protected:
    void TearDown() override {
        // A read-only file would keep its folder from being removed.
        for (const auto &entry : std::filesystem::directory_iterator("."))
            SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        GameTest::TearDown();
    }
};

TEST_F(FilesOnWindows, SaveMovesAWholeRecordOverTheOldOne) {
    write_scores("99");
    // The old file's hidden attribute stays with the record.
    SetFileAttributesA(RECORD_FILE_NAME, FILE_ATTRIBUTE_HIDDEN);
    p1_score = 140;
    save_record();
    EXPECT_EQ(read_scores(), "140");
    EXPECT_NE(GetFileAttributesA(RECORD_FILE_NAME) & FILE_ATTRIBUTE_HIDDEN, 0u);
    record = 0;
    load_record();
    EXPECT_EQ(record, 140u);
}

TEST_F(FilesOnWindows, RecordThePlayerMayNotWriteIsLeftAlone) {
    // The read-only attribute: shown, never rewritten.
    write_scores("500");
    ASSERT_TRUE(SetFileAttributesA(RECORD_FILE_NAME, FILE_ATTRIBUTE_READONLY));
    load_record();
    EXPECT_EQ(record, 500u);
    p1_score = 900;
    save_record();
    EXPECT_EQ(read_scores(), "500");
    EXPECT_EQ(record_save_failed, 1);
    EXPECT_NE(GetFileAttributesA(RECORD_FILE_NAME) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(folder_entries(), std::vector<std::string>{"scores.txt"});
    ASSERT_TRUE(SetFileAttributesA(RECORD_FILE_NAME, FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(DeleteFileA(RECORD_FILE_NAME));

    // A folder under the record's name stays a folder.
    ASSERT_TRUE(CreateDirectoryA(RECORD_FILE_NAME, nullptr));
    record = 3;
    load_record();
    EXPECT_EQ(record, 3u);
    save_record();
    EXPECT_EQ(record_save_failed, 1);
    EXPECT_NE(GetFileAttributesA(RECORD_FILE_NAME) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(folder_entries(), std::vector<std::string>{"scores.txt"});
}

// The player's own files stay, whatever their names.
TEST_F(FilesOnWindows, LeftoversOfKilledSavesGoAndNothingElse) {
    write_scores("10");
    for (const char *name : {".scores.txt.snake-save-ab12CD", ".scores.txt.snake-save-abc",
                             ".scores.txt.snake-save-a-12cd", "scores.txt.backup", "scores.txt.zz99zz"})
        write_small_file(name);
    p1_score = 20;
    save_record();
    EXPECT_EQ(read_scores(), "20");
    EXPECT_EQ(folder_entries(), (std::vector<std::string>{".scores.txt.snake-save-a-12cd",
                                                          ".scores.txt.snake-save-abc", "scores.txt",
                                                          "scores.txt.backup", "scores.txt.zz99zz"}));
}

TEST_F(FilesOnWindows, RecordUnderALeftoversNameIsNeverSweptAway) {
    // The record file also known by a name a save's temporary file could
    // have: a hard link to it.
    write_scores("7");
    ASSERT_TRUE(CreateHardLinkA(".scores.txt.snake-save-ab12cd", RECORD_FILE_NAME, nullptr))
        << GetLastError();
    p1_score = 30;
    save_record();
    EXPECT_EQ(record_save_failed, 0);
    EXPECT_EQ(read_scores(), "30");
    EXPECT_NE(GetFileAttributesA(".scores.txt.snake-save-ab12cd"), INVALID_FILE_ATTRIBUTES)
        << "the record was taken for a leftover";
}

TEST_F(FilesOnWindows, DatafileCheckRefusesWhatIsNoFile) {
    // A device: refused without a read that could wait.
    EXPECT_FALSE(datafile_file_well_formed("NUL"));
    EXPECT_FALSE(datafile_file_well_formed("CONIN$"));
    EXPECT_FALSE(datafile_file_well_formed("."));
    write_small_file("snake.dat");
    EXPECT_FALSE(datafile_file_well_formed("snake.dat"));
}

}  // namespace
