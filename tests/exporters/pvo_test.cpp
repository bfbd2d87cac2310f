// PVO beyond the case folders: where the text file goes and who may read it, and a text
// file that cannot be written, which must not be packed and uploaded.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/errors.h"
#include "app/shell.h"
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

const fs::path kSource = fs::path(LISTELO_TEST_DATA) / "pvo" / "vehicles" / "ExpDatasPVO.xml";
constexpr const char* kArchive = "c:\\windows\\TEMP\\Listelo\\GARAGE69.zip";

class PvoRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FtpServer& server = FtpServer::Shared();
    gateway_ = server.NewAccount();
    WriteFile(f_.tree().path() / "Listelo.ini",
              "[PVO]\nServeurFTP=" + server.HostPort() + "\nUser=" + gateway_.user +
                  "\nPassWord=" + gateway_.password + "\nidClient=GARAGE69\n");
    const fs::path sources = f_.HostPath("c:\\projects\\Quarno\\data\\Listelo");
    fs::create_directories(sources);
    fs::copy_file(kSource, sources / "ExpDatasPVO.xml");
    testing::UseFastFtpTimeouts(f_.run());
  }

  RunFixture f_{nullptr};
  FtpServer::Account gateway_;
};

// The file holds buyers' names, addresses and dates of birth.
TEST_F(PvoRunTest, TextFileGoesToTheUsersTempFolderReadableByItsOwnerOnly) {
  f_.environment().Set("TEMP", "c:\\Users\\vendeur\\AppData\\Local\\Temp");
  StartExport(f_.run(), "PVO");
  ASSERT_TRUE(f_.run().state.run_finished);
  const fs::path text_file = f_.HostPath("c:\\Users\\vendeur\\AppData\\Local\\Temp\\GARAGE69.txt");
  ASSERT_TRUE(fs::exists(text_file));
  struct stat status {};
  ASSERT_EQ(stat(text_file.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_EQ(testing::ArchiveEntries(gateway_.home / "GARAGE69.zip").at("GARAGE69.txt"),
            ReadFile(text_file));
}

// Packing whatever file stood there would upload yesterday's stock (or an empty archive)
// as "Transfert FTP OK": the run stops with the reason before the archive is made.
TEST_F(PvoRunTest, TextFileThatCannotBeWrittenStopsTheRunBeforePacking) {
  fs::create_directories(f_.HostPath("c:\\windows\\TEMP\\GARAGE69.txt"));  // a folder there
  try {
    StartExport(f_.run(), "PVO");
    ADD_FAILURE() << "the run went on";
  } catch (const IoError& error) {
    EXPECT_NE(std::string(error.what()).find("GARAGE69.txt"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(f_.run().state.run_finished);
  EXPECT_FALSE(fs::exists(f_.HostPath(kArchive)));
  EXPECT_FALSE(fs::exists(gateway_.home / "GARAGE69.zip"));
}

}  // namespace
}  // namespace listelo
