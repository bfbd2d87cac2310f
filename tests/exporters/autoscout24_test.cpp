// AutoScout24 and VPN beyond the case folders: what a run leaves alone or clears away
// (files outside the working folder, the previous run's photos), the CSV failure, and
// the number reading and writing that the price columns share with other exporters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>

#include "app/errors.h"
#include "app/shell.h"
#include "exporters/export_steps.h"
#include "photos/working_folder.h"
#include "platform/regional.h"
#include "support/archive_entries.h"
#include "support/ftp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::FtpServer;
using testing::ReadFile;
using testing::RunFixture;
using testing::WriteFile;

const fs::path kCases = fs::path(LISTELO_TEST_DATA) / "autoscout24";

RegionalSettings French() {
  RegionalSettings french;
  french.decimal_separator = ',';
  return french;
}

TEST(GeneralNumberFormatTest, WritesUpToFifteenSignificantDigits) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {15000, "15000"},
      {14990.5, "14990,5"},
      {0.1 + 0.2, "0,3"},  // the binary noise lies beyond the 15th digit
      {1234567.891234567, "1234567,89123457"},
      {123456789012345, "123456789012345"},
      {1e15, "1E15"},
      {-2.5e20, "-2,5E20"},
      {0.0001, "0,0001"},
      {0.000015, "1,5E-5"},
      {0, "0"},
      {-0.0, "0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatGeneralNumber(c.value, French()), c.text) << c.value;
  }
  EXPECT_EQ(FormatGeneralNumber(14990.5, RegionalSettings()), "14990.5");
}

TEST(ReadNumberTest, ReadsWithTheLocaleSeparatorOnly) {
  const struct {
    const char* text;
    double value;  // NAN: does not read
  } cases[] = {
      {"15000", 15000}, {" 14990,5 ", 14990.5},
      {"-3", -3},       {"+3", 3},
      {",5", 0.5},      {"5,", 5},
      {"1,5E3", 1500},  {"2e-1", 0.2},
      {"14990.5", NAN}, {"1 000", NAN},
      {"", NAN},        {",", NAN},
      {"1e", NAN},      {"inf", NAN},
      {"0x10", NAN},    {"1e999", NAN},
      {"12 €", NAN},
  };
  for (const auto& c : cases) {
    const double read = ReadNumber(c.text, French(), NAN);
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(read)) << c.text << " read as " << read;
    } else {
      EXPECT_DOUBLE_EQ(read, c.value) << c.text;
    }
  }
}

// A PathTemp that does not name a folder below the Windows folder would have the run
// empty the Windows folder or a whole drive: the run stops before touching anything.
TEST(AutoScout24WorkingFolderTest, RefusesAPathTempOutsideTheWindowsFolder) {
  for (const char* path_temp : {"", "\\", "/", "\\.", "\\ .", "\\..", "\\Temp\\..",
                                "\\Temp\\AS24\\..\\..", "\\..\\Users"}) {
    RunFixture f(("[AUTOSCOUT24]\nPathTemp=" + std::string(path_temp) + "\n").c_str());
    const std::vector<std::string> planted = {"c:\\keep.txt", "c:\\windows\\win.ini",
                                              "c:\\windows\\TEMP\\keep.txt",
                                              "c:\\windows\\TEMP\\AS24\\old_1.jpg"};
    for (const std::string& file : planted) WriteFile(f.HostPath(file), "kept");
    try {
      StartExport(f.run(), "AUTOSCOUT24");
      ADD_FAILURE() << "PathTemp=" << path_temp << " was accepted";
    } catch (const RunError& error) {
      EXPECT_NE(std::string(error.what()).find("PathTemp de la section AUTOSCOUT24"),
                std::string::npos)
          << error.what();
    }
    for (const std::string& file : planted) {
      EXPECT_TRUE(fs::exists(f.HostPath(file))) << file << " deleted with PathTemp=" << path_temp;
    }
    EXPECT_FALSE(f.run().state.run_finished);
  }
}

class AutoScout24RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FtpServer& server = FtpServer::Shared();
    gateway_ = server.NewAccount();
    WriteFile(f_.tree().path() / "Listelo.ini",
              "[Options]\nPathImages=c:\\projects\\Quarno\\images\nDebug=0\n"
              "DecimalSeparator=,\n[AUTOSCOUT24]\nServeurFTP=" +
                  server.HostPort() + "\nUser=" + gateway_.user +
                  "\nPassWord=" + gateway_.password + "\nidClient=0123456789\n");
    fs::create_directories(f_.HostPath("c:\\projects\\Quarno"));
    fs::copy(kCases / "vehicles" / "photos", f_.HostPath("c:\\projects\\Quarno\\images"),
             fs::copy_options::recursive);
    UseSource("vehicles");
    testing::UseFastFtpTimeouts(f_.run());
  }

  void UseSource(const char* case_name) {
    const fs::path sources = f_.HostPath("c:\\projects\\Quarno\\data\\Listelo");
    fs::create_directories(sources);
    fs::copy_file(kCases / case_name / "ExpDatasAutoScout24.xml",
                  sources / "ExpDatasAutoScout24.xml", fs::copy_options::overwrite_existing);
  }

  std::vector<std::string> FileNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  RunFixture f_{nullptr};
  FtpServer::Account gateway_;
};

// The archive is made anew from the working folder, which holds this run's files alone: a stock
// that has shrunk to nothing ships an empty CSV file and none of the previous run's photos.
TEST_F(AutoScout24RunTest, NextRunShipsOnlyItsOwnFiles) {
  StartExport(f_.run(), "AUTOSCOUT24");
  ASSERT_TRUE(f_.run().state.run_finished);
  EXPECT_EQ(testing::ArchiveEntries(gateway_.home / "0123456789.zip").size(), 5u);

  UseSource("empty_source");
  f_.window().ClearMemo();
  StartExport(f_.run(), "AUTOSCOUT24");
  ASSERT_TRUE(f_.run().state.run_finished);
  const std::map<std::string, std::string> only_csv = {{"0123456789.csv", ""}};
  EXPECT_EQ(testing::ArchiveEntries(gateway_.home / "0123456789.zip"), only_csv);
  EXPECT_EQ(testing::ArchiveEntries(f_.HostPath("c:\\windows\\TEMP\\Listelo\\0123456789.zip")),
            only_csv);
  EXPECT_EQ(FileNames(f_.HostPath("c:\\windows\\TEMP\\AS24")),
            std::vector<std::string>{"0123456789.csv"});

  // The archive steps show in the memo; the log file keeps only the run's last lines.
  const auto memo = f_.window().MemoLines();
  const std::string archive = "c:\\windows\\TEMP\\Listelo\\0123456789.zip";
  const auto at = [&memo](const std::string& text) {
    return std::find_if(memo.begin(), memo.end(),
                        [&](const std::string& line) { return line.ends_with(text); });
  };
  const auto zip_line = at(" - Zip File : " + archive);
  const auto created = at("Fichier " + archive + " créé");
  const auto transfer = at(" - Début Transfert : " + archive);
  EXPECT_TRUE(zip_line < created && created < transfer && transfer != memo.end());
  EXPECT_EQ(*created, "Fichier " + archive + " créé");  // not a log line
  const std::string log = ReadFile(f_.HostPath(f_.run().LogFileName()));
  EXPECT_EQ(log.find("Zip File"), std::string::npos);
  EXPECT_EQ(log.find("créé"), std::string::npos);
}

// What a working folder holds: name -> bytes and, but for the CSV file that every run
// writes anew, modification time.
using FolderState = std::map<std::string, std::pair<std::string, fs::file_time_type>>;
FolderState StateOf(const fs::path& folder) {
  FolderState state;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(e.path(), folder).generic_string();
    const bool file = e.is_regular_file();
    state[name] = {file ? ReadFile(e.path()) : "",
                   file && !name.ends_with(".csv") ? e.last_write_time() : fs::file_time_type()};
  }
  return state;
}

// A second run over the first one's folder keeps the copies that are still right, and
// ends with the folder and the archive that a run over an emptied folder makes: a photo
// changed since is copied again, one removed is gone, stray files are deleted.
TEST_F(AutoScout24RunTest, SecondRunEndsAsAFreshRun) {
  StartExport(f_.run(), "AUTOSCOUT24");
  ASSERT_TRUE(f_.run().state.run_finished);
  const fs::path folder = f_.HostPath("c:\\windows\\TEMP\\AS24");
  const fs::path photos = f_.HostPath("c:\\projects\\Quarno\\images\\2026");
  const auto kept_time = fs::last_write_time(folder / "L749-48213_1.jpg");
  const std::string dealer_photo = ReadFile(photos / "11-1.jpg");

  WriteFile(photos / "11-2.jpg", "the photo taken again");
  fs::remove(photos / "13-1.jpg");
  WriteFile(folder / "stray.jpg", "s");
  WriteFile(folder / "l749-48213_3.JPG", "another spelling");
  WriteFile(folder / "sub" / "old.jpg", "o");
  StartExport(f_.run(), "AUTOSCOUT24");
  ASSERT_TRUE(f_.run().state.run_finished);
  const FolderState second = StateOf(folder);
  const auto second_archive = testing::ArchiveEntries(gateway_.home / "0123456789.zip");

  EXPECT_EQ(fs::last_write_time(folder / "L749-48213_1.jpg"), kept_time);
  EXPECT_EQ(ReadFile(folder / "L749-48213_2.jpg"), "the photo taken again");
  EXPECT_FALSE(fs::exists(folder / "CiVS49-48215_1.jpg"));
  EXPECT_EQ(ReadFile(photos / "11-1.jpg"), dealer_photo);

  EmptyFolder(f_.run(), "c:\\windows\\TEMP\\AS24");
  StartExport(f_.run(), "AUTOSCOUT24");
  ASSERT_TRUE(f_.run().state.run_finished);
  EXPECT_EQ(second, StateOf(folder));
  EXPECT_EQ(second_archive, testing::ArchiveEntries(gateway_.home / "0123456789.zip"));
}

// Without its CSV file the archive would carry photos alone, and the log would still say
// the stock was updated: the run stops with the reason instead, and nothing is sent.
TEST_F(AutoScout24RunTest, CsvFileThatCannotBeWrittenStopsTheRun) {
  // A folder in the CSV file's place survives the emptying of the working folder.
  fs::create_directories(f_.HostPath("c:\\windows\\TEMP\\AS24\\0123456789.csv"));
  try {
    StartExport(f_.run(), "AUTOSCOUT24");
    ADD_FAILURE() << "the run went on";
  } catch (const IoError& error) {
    EXPECT_NE(std::string(error.what()).find("0123456789.csv"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(f_.run().state.run_finished);
  EXPECT_TRUE(FileNames(gateway_.home).empty());
  EXPECT_FALSE(fs::exists(f_.HostPath("c:\\windows\\TEMP\\Listelo\\0123456789.zip")));
}

}  // namespace
}  // namespace listelo
