#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/errors.h"
#include "app/files.h"
#include "app/run.h"
#include "platform/text.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunFixture;

constexpr const char* kStamp = "08/12/2026 14:03:09";

TEST(WriteLogTest, ResetCreatesAnEmptyFileAndAnArrowLine) {
  RunFixture f;
  f.run().state.export_target = "PARUVENDU";
  f.run().WriteLog("");
  const fs::path log = f.HostPath("c:\\windows\\TEMP\\RadoveDuvudePARUVENDU.log");
  EXPECT_EQ(ReadFile(log), "");
  EXPECT_EQ(f.window().MemoLines(), std::vector<std::string>{"-> "});
  EXPECT_EQ(fs::status(log).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

// A whole document logged as one line stays whole in the log file; the memo (and with it
// the headless echo) shows its start and says how much it left out.
TEST(WriteLogTest, TheMemoCutsHugeLinesTheLogKeepsThem) {
  const std::string prefix = std::string("-> ") + kStamp + " - ";
  struct Case {
    size_t message_size;
    size_t left_out;  // 0: shown whole
  };
  const Case cases[] = {
      {100, 0},
      {kMemoLineLimit - prefix.size(), 0},
      {kMemoLineLimit - prefix.size() + 1, 1},
      {50'000'000, 50'000'000 - (kMemoLineLimit - prefix.size())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message_size);
    std::ostringstream echo;
    RunFixture f;
    HeadlessWindow window(&echo);
    listelo::Run run(f.run().host(), window);
    run.regional().long_time_format = "hh:nn:ss";
    const std::string message = "Result : " + std::string(c.message_size - 9, 'x');
    // A whole document is handed over as a second piece, not joined to the first.
    run.WriteLog("Result : ", std::string_view(message).substr(9));
    EXPECT_EQ(ReadFile(f.HostPath("c:\\windows\\TEMP\\RadoveDuvude.log")),
              std::string(kStamp) + " - " + message + "\r\n");
    const std::string shown = window.MemoLines().at(0);
    if (c.left_out == 0) {
      EXPECT_EQ(shown, prefix + message);
    } else {
      EXPECT_EQ(shown, (prefix + message).substr(0, kMemoLineLimit) + "… (" +
                           std::to_string(c.left_out) +
                           " caractères non affichés, la ligne entière est dans le journal)");
    }
    EXPECT_EQ(echo.str(), AnsiToUtf8(shown) + "\n");
  }
}

TEST(WriteLogTest, LinesCarryTheStampInFileAndMemo) {
  RunFixture f;
  f.run().state.export_target = "PARUVENDU";
  f.run().WriteLog("Avant Aliases");
  f.run().WriteLog("");  // a reset in the middle of a run
  f.run().WriteLog("Après Aliases");
  EXPECT_EQ(ReadFile(f.HostPath("c:\\windows\\temp\\RadoveDuvudePARUVENDU.log")),
            std::string(kStamp) + " - Après Aliases\r\n");
  const std::vector<std::string> memo = {std::string("-> ") + kStamp + " - Avant Aliases", "-> ",
                                         std::string("-> ") + kStamp + " - Après Aliases"};
  EXPECT_EQ(f.window().MemoLines(), memo);
}

TEST(WriteLogTest, FollowsTheTargetAndTheWindowsFolder) {
  RunFixture f;
  f.run().WriteLog("x");
  EXPECT_TRUE(fs::exists(f.HostPath("c:\\windows\\TEMP\\RadoveDuvude.log")));
  f.environment().Unset("Windir");
  EXPECT_EQ(f.run().LogFileName(), "\\TEMP\\RadoveDuvude.log");
  fs::create_directories(f.tree().path() / "c" / "TEMP");
  f.run().WriteLog("y");
  EXPECT_TRUE(fs::exists(f.tree().path() / "c" / "TEMP" / "RadoveDuvude.log"));
}

TEST(WriteLogTest, MissingFolderRaisesAndAddsNoMemoLine) {
  RunFixture f;
  f.environment().Set("Windir", "c:\\nowhere");
  EXPECT_THROW(f.run().WriteLog("x"), IoError);
  EXPECT_TRUE(f.window().MemoLines().empty());
}

TEST(WriteLogTest, ALogRemovedDuringTheRunIsMadeAgainAndAFolderRemovedRaises) {
  RunFixture f;
  f.run().state.export_target = "AS24";
  const fs::path log = f.HostPath("c:\\windows\\TEMP\\RadoveDuvudeAS24.log");
  f.run().WriteLog("un");
  fs::remove(log);  // an operator clearing old logs while the run goes on
  f.run().WriteLog("deux");
  EXPECT_EQ(ReadFile(log), std::string(kStamp) + " - deux\r\n");
  fs::remove(log);
  f.run().WriteLog("");
  f.run().WriteLog("trois");
  EXPECT_EQ(ReadFile(log), std::string(kStamp) + " - trois\r\n");

  fs::remove_all(log.parent_path());
  EXPECT_THROW(f.run().WriteLog("quatre"), IoError);
  EXPECT_EQ(f.window().MemoLines().back(), std::string("-> ") + kStamp + " - trois");
}

TEST(WriteLogTest, EachLineCarriesTheTimeOfItsOwnWriting) {
  RunFixture f;
  f.run().state.export_target = "AS24";
  f.run().WriteLog("un");
  DateTime later = f.clock().Now();
  later.second += 1;
  f.clock().Set(later);
  f.run().WriteLog("deux");
  f.run().regional().long_time_format = "hh.nn.ss";
  f.run().WriteLog("trois");
  EXPECT_EQ(ReadFile(f.HostPath("c:\\windows\\TEMP\\RadoveDuvudeAS24.log")),
            std::string(kStamp) +
                " - un\r\n08/12/2026 14:03:10 - deux\r\n08/12/2026 14.03.10 - trois\r\n");
}

TEST(WriteLogTest, OddBytesAndLongMessagesAreWrittenAsTheyAre) {
  RunFixture f;
  std::string message(100000, 'a');
  message[10] = '\0';
  message[11] = '\xFF';
  f.run().WriteLog(message);
  EXPECT_EQ(ReadFile(f.HostPath("c:\\windows\\TEMP\\RadoveDuvude.log")),
            std::string(kStamp) + " - " + message + "\r\n");
}

TEST(FileWritersTest, AppendAndSave) {
  RunFixture f;
  AppendLineToFile(f.run(), "c:\\windows\\TEMP\\a.csv", "x;y");
  AppendLineToFile(f.run(), "c:\\windows\\TEMP\\a.csv", "");
  EXPECT_EQ(ReadFile(f.HostPath("c:\\windows\\TEMP\\a.csv")), "x;y\r\n\r\n");
  SaveStringToFile(f.run(), "c:\\windows\\TEMP\\b.xml", "long content");
  SaveStringToFile(f.run(), "c:\\windows\\TEMP\\b.xml", "");
  EXPECT_EQ(fs::file_size(f.HostPath("c:\\windows\\TEMP\\b.xml")), 0u);
  EXPECT_THROW(SaveStringToFile(f.run(), "c:\\missing\\b.xml", "x"), IoError);
  EXPECT_THROW(AppendLineToFile(f.run(), "c:\\missing\\a.csv", "x"), IoError);
}

TEST(FileWritersTest, WriteAnsiStringCreatesFoldersAndReplacesWholly) {
  RunFixture f;
  const std::string name = "c:\\windows\\TEMP\\AS24\\deep\\0123456789.csv";
  WriteAnsiStringToFile(f.run(), "first;version;é\r\n", name);
  WriteAnsiStringToFile(f.run(), "second", name);
  const fs::path file = f.HostPath(name);
  EXPECT_EQ(ReadFile(file), "second");
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);
  EXPECT_TRUE(f.window().MemoLines().empty());
}

TEST(FileWritersTest, WriteAnsiStringOverAFolderFailsQuietly) {
  RunFixture f;
  fs::create_directories(f.HostPath("c:\\windows\\TEMP\\taken\\x"));
  WriteAnsiStringToFile(f.run(), "data", "c:\\windows\\TEMP\\taken");
  EXPECT_TRUE(fs::is_directory(f.HostPath("c:\\windows\\TEMP\\taken")));
  ASSERT_EQ(f.window().MemoLines().size(), 1u);
  EXPECT_NE(f.window().MemoLines()[0].find("taken"), std::string::npos);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(f.HostPath("c:\\windows\\TEMP")),
                          fs::directory_iterator()),
            1);
}

}  // namespace
}  // namespace listelo
