// AnnoncesJaunes and AxeCibles beyond the case folders: a file to deliver that cannot be
// written ends the run before anything is packed or sent; AxeCibles' own gateway folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/errors.h"
#include "app/shell.h"
#include "support/ftp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::FtpServer;
using testing::RunFixture;
using testing::WriteFile;

struct Export {
  const char* target;
  const char* source;  // in tests/data/<exporter>/vehicles
  const char* file;    // the file to deliver, in the export folder
  const char* archive;
};

class QuotedExportTest : public ::testing::TestWithParam<Export> {
 protected:
  void SetUp() override {
    const Export& e = GetParam();
    FtpServer& server = FtpServer::Shared();
    gateway_ = server.NewAccount();
    WriteFile(f_.tree().path() / "Listelo.ini",
              std::string("[Options]\nDebug=0\n[") + e.target +
                  "]\nServeurFTP=" + server.HostPort() + "\nUser=" + gateway_.user +
                  "\nPassWord=" + gateway_.password + "\nPathFTP=\nidClient=123456\n");
    const fs::path sources = f_.HostPath("c:\\projects\\Quarno\\data\\Listelo");
    fs::create_directories(sources);
    fs::copy_file(fs::path(LISTELO_TEST_DATA) / e.source, sources / fs::path(e.source).filename());
    testing::UseFastFtpTimeouts(f_.run());
  }

  fs::path ExportFile(const std::string& name) const {
    return f_.HostPath("c:\\windows\\TEMP\\Listelo\\" + name);
  }

  RunFixture f_{nullptr};
  FtpServer::Account gateway_;
};

// The archive would carry an old file, or none, while the log says the stock was
// updated: the run stops with the file and the reason instead.
TEST_P(QuotedExportTest, FileThatCannotBeWrittenStopsTheRunBeforePacking) {
  const Export& e = GetParam();
  fs::create_directories(ExportFile(e.file));  // a folder in the file's place
  WriteFile(ExportFile(e.archive), "the previous run's archive");
  try {
    StartExport(f_.run(), e.target);
    ADD_FAILURE() << "the run went on";
  } catch (const IoError& error) {
    EXPECT_NE(std::string(error.what()).find(e.file), std::string::npos) << error.what();
  }
  EXPECT_FALSE(f_.run().state.run_finished);
  EXPECT_TRUE(fs::is_empty(gateway_.home));
  EXPECT_EQ(testing::ReadFile(ExportFile(e.archive)), "the previous run's archive");
  // The dated copy is no delivery: it was written all the same.
  int dated_copies = 0;
  for (const auto& entry : fs::directory_iterator(ExportFile(""))) {
    dated_copies += entry.path().filename().string().ends_with("-202612081403.csv");
  }
  EXPECT_EQ(dated_copies, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, QuotedExportTest,
    ::testing::Values(Export{"ANNONCESJAUNES", "annoncesjaunes/vehicles/ExpDatasAnnoncesJaunes.xml",
                             "123456.csv", "123456.zip"},
                      Export{"AXECIBLES", "axecibles/vehicles/ExpDatasAxeCibles.xml",
                             "AxeCibles.csv", "AxeCibles.zip"}),
    [](const ::testing::TestParamInfo<Export>& info) { return std::string(info.param.target); });

// Without PathFTP the AxeCibles file goes to the dealer's export folder on the host.
TEST(AxeCiblesTest, DeliversToTheDealersExportFolderByDefault) {
  FtpServer& server = FtpServer::Shared();
  const FtpServer::Account gateway = server.NewAccount();
  fs::create_directories(gateway.home / "www" / "dorvane" / "export");
  RunFixture f(nullptr);
  WriteFile(f.tree().path() / "Listelo.ini",
            "[Options]\nDebug=0\n[AXECIBLES]\nServeurFTP=" + server.HostPort() +
                "\nUser=" + gateway.user + "\nPassWord=" + gateway.password + "\n");
  const fs::path sources = f.HostPath("c:\\projects\\Quarno\\data\\Listelo");
  fs::create_directories(sources);
  fs::copy_file(fs::path(LISTELO_TEST_DATA) / "axecibles/empty_source/ExpDatasAxeCibles.xml",
                sources / "ExpDatasAxeCibles.xml");
  testing::UseFastFtpTimeouts(f.run());
  StartExport(f.run(), "AXECIBLES");
  EXPECT_TRUE(f.run().state.run_finished);
  EXPECT_TRUE(fs::exists(gateway.home / "www" / "dorvane" / "export" / "AxeCibles.zip"));
}

}  // namespace
}  // namespace listelo
