// NeoWebCar beyond the case folders: what the send switch leaves out, and an output
// file that cannot be written, which must neither be uploaded nor announced.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "app/errors.h"
#include "app/shell.h"
#include "support/ftp_server.h"
#include "support/smtp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::FtpServer;
using testing::ReadFile;
using testing::RunFixture;
using testing::SmtpServers;
using testing::WriteFile;

const fs::path kSource =
    fs::path(LISTELO_TEST_DATA) / "neowebcar" / "vehicles" / "ExpDatasNeoWebCar.xml";
constexpr const char* kOutputFile = "c:\\windows\\Temp\\Listelo\\TestExportNWC.csv";

// A run against the test servers; `test_send` is the TestSend line, if any.
class NeoWebCarRun {
 public:
  explicit NeoWebCarRun(std::optional<std::string> test_send) {
    FtpServer& server = FtpServer::Shared();
    gateway_ = server.NewAccount();
    std::string ini =
        "[Options]\nURLImages=http://photos.garage.invalid/voimages\n"
        "[NEOWEBCAR]\nServeurFTP=" +
        server.HostPort() + "\nUser=" + gateway_.user + "\nPassWord=" + gateway_.password +
        "\nPathFTP=\n";
    if (test_send) ini += "TestSend=" + *test_send + "\n";
    ini += "[StrInfoLog]\nHost=127.0.0.1\nPort=" +
           std::to_string(SmtpServers::Shared().Port("noauth")) + "\nSendTO=flux@portail.test\n";
    WriteFile(f_.tree().path() / "Listelo.ini", ini);
    const fs::path sources = f_.HostPath("c:\\projects\\Quarno\\data\\Listelo");
    fs::create_directories(sources);
    fs::copy_file(kSource, sources / "ExpDatasNeoWebCar.xml");
    testing::UseFastFtpTimeouts(f_.run());
    mails_before_ = DeliveredMails();
  }

  size_t DeliveredMails() const {
    size_t delivered = 0;
    for (const auto& record : SmtpServers::Shared().Records("noauth")) {
      delivered += record.Delivered() ? 1 : 0;
    }
    return delivered;
  }

  bool Uploaded() const { return fs::exists(gateway_.home / "TestExportNWC.csv"); }
  bool Mailed() const { return DeliveredMails() > mails_before_; }

  RunFixture& fixture() { return f_; }

 private:
  RunFixture f_{nullptr};
  FtpServer::Account gateway_;
  size_t mails_before_ = 0;
};

// Only exactly "0" keeps the file at home; the file is written either way.
TEST(NeoWebCarRunTest, SendSwitchIsOffOnlyForZero) {
  const struct {
    std::optional<std::string> test_send;
    bool sends;
  } cases[] = {{"0", false}, {std::nullopt, true}, {"1", true}, {"00", true}, {"non", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE("TestSend=" + c.test_send.value_or("(absent)"));
    NeoWebCarRun run(c.test_send);
    StartExport(run.fixture().run(), "NEOWEBCAR");
    EXPECT_TRUE(run.fixture().run().state.run_finished);
    EXPECT_TRUE(fs::exists(run.fixture().HostPath(kOutputFile)));
    EXPECT_EQ(run.Uploaded(), c.sends);
    EXPECT_EQ(run.Mailed(), c.sends);
  }
}

// Uploading whatever stood at the path would announce yesterday's stock (or a missing
// file) to the portal: the run stops with the reason instead, and nothing goes out.
TEST(NeoWebCarRunTest, OutputFileThatCannotBeWrittenStopsTheRun) {
  NeoWebCarRun run(std::nullopt);
  RunFixture& f = run.fixture();
  fs::create_directories(f.HostPath(kOutputFile));  // a folder in the file's place
  try {
    StartExport(f.run(), "NEOWEBCAR");
    ADD_FAILURE() << "the run went on";
  } catch (const IoError& error) {
    EXPECT_NE(std::string(error.what()).find("TestExportNWC.csv"), std::string::npos)
        << error.what();
  }
  EXPECT_FALSE(f.run().state.run_finished);
  EXPECT_FALSE(run.Uploaded());
  EXPECT_FALSE(run.Mailed());
  EXPECT_EQ(ReadFile(f.HostPath(f.run().LogFileName())).find("Fichier Transf"), std::string::npos);
}

}  // namespace
}  // namespace listelo
