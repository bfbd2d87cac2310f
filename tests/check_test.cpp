// "listelo --check TARGET" against real FTP, SSH and SMTP servers: every point reported, the
// failing ones with their reason, and nothing stored, written or reset on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>

#include "app/check.h"
#include "platform/text.h"
#include "support/ftp_server.h"
#include "support/smtp_server.h"
#include "support/ssh_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::FtpServer;
using testing::ReadFile;
using testing::RunFixture;
using testing::WriteFile;

constexpr const char* kStock =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document><DataVOS>"
    "<DataVO><idVO>1</idVO></DataVO><DataVO><idVO>2</idVO></DataVO></DataVOS>"
    "<LiensImagesS><LiensImages><idVO>1</idVO><NomImage>a</NomImage></LiensImages>"
    "</LiensImagesS></document>\n";
constexpr const char* kSourceFolder = "c:\\projects\\Quarno\\data\\Listelo\\";

// Members are public: the table of failures spoils them from its lambdas.
class CheckTest : public ::testing::Test {
 public:
  void SetUp() override {
    FtpServer& server = FtpServer::Shared();
    gateway_ = server.NewAccount();
    images_ = server.NewAccount();
    fs::create_directories(gateway_.home / "in");
    fs::create_directories(images_.home / "www" / "voimages");
    fs::remove_all(f_.HostPath("c:\\windows\\TEMP\\Listelo"));
    WriteFile(f_.HostPath(std::string(kSourceFolder) + "ExpDatasPARUVENDU.xml"), kStock);
    WriteFile(f_.HostPath("c:\\windows\\TEMP\\RadoveDuvudePARUVENDU.log"), "yesterday's log");
    WriteIni("");
  }

  // The configuration of a run that can go through, plus `extra` lines.
  void WriteIni(const std::string& extra) {
    const std::string server = FtpServer::Shared().HostPort();
    WriteFile(f_.tree().path() / "Listelo.ini",
              "[VOImages]\nServeurFTP=" + server + "\nUser=" + images_.user +
                  "\nPassWord=" + images_.password + "\nPathFTP=www/voimages\n" +
                  "[PARUVENDU]\nServeurFTP=" + server + "\nUser=" + gateway_.user +
                  "\nPassWord=" + gateway_.password + "\nPathFTP=in\nTestFTPVOImages=1\n" + extra);
  }

  int Check(const std::string& target) {
    std::ostringstream out;
    const int status = RunCheck(f_.run().host(), target, out);
    output_ = Utf8ToAnsi(out.str());
    return status;
  }

  // The first line that names `what`, empty when none.
  std::string LineOf(const std::string& what) const {
    std::istringstream lines(output_);
    for (std::string line; std::getline(lines, line);) {
      if (line.find(what) != std::string::npos) return line;
    }
    return "";
  }

  RunFixture f_{nullptr};
  FtpServer::Account gateway_;
  FtpServer::Account images_;
  std::string output_;
};

TEST_F(CheckTest, EveryPointHoldsAndNothingIsStoredOrWritten) {
  const auto listing = [this] {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(f_.tree().path()))
      files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
  };
  const std::vector<std::string> before = listing();
  EXPECT_EQ(Check("paruvendu"), 0) << output_;
  EXPECT_TRUE(LineOf("Configuration").starts_with("OK")) << output_;
  EXPECT_TRUE(LineOf("ExpDatasPARUVENDU.xml").ends_with(": 2 véhicules, 1 photos")) << output_;
  EXPECT_TRUE(LineOf("Dossier d'export").starts_with("OK")) << output_;
  EXPECT_TRUE(LineOf("Passerelle").starts_with("OK")) << output_;
  EXPECT_TRUE(LineOf("Serveur d'images").starts_with("OK")) << output_;
  EXPECT_EQ(listing(), before);
  EXPECT_EQ(ReadFile(f_.HostPath("c:\\windows\\TEMP\\RadoveDuvudePARUVENDU.log")),
            "yesterday's log");
  for (const FtpServer::Account* account : {&gateway_, &images_}) {
    for (const std::string& command : FtpServer::Shared().Commands(account->user)) {
      EXPECT_FALSE(command.starts_with("STOR") || command.starts_with("MKD")) << command;
    }
  }
}

TEST_F(CheckTest, EachFailureGivesItsReason) {
  struct Case {
    const char* name;
    std::function<void(CheckTest&)> spoil;
    const char* point;   // the line that fails
    const char* reason;  // found in that line
  };
  const std::string source = std::string(kSourceFolder) + "ExpDatasPARUVENDU.xml";
  const Case cases[] = {
      {"wrong password",
       [](CheckTest& t) {
         t.gateway_.password = "wrong";
         t.WriteIni("");
       },
       "Passerelle", "530"},
      {"missing remote folder", [](CheckTest& t) { fs::remove(t.gateway_.home / "in"); },
       "Passerelle", "directory"},
      {"missing source", [&](CheckTest& t) { fs::remove(t.f_.HostPath(source)); },
       "ExpDatasPARUVENDU.xml", "absent"},
      {"malformed source",
       [&](CheckTest& t) { WriteFile(t.f_.HostPath(source), "<document><DataVOS>"); },
       "ExpDatasPARUVENDU.xml", "Premature end of data"},
      {"not a stock document",
       [&](CheckTest& t) { WriteFile(t.f_.HostPath(source), "<html><body/></html>"); },
       "ExpDatasPARUVENDU.xml", "document de stock"},
      {"unwritable export folder",
       [](CheckTest& t) {
         WriteFile(t.f_.HostPath("c:\\windows\\TEMP\\Listelo"), "a file where the folder goes");
       },
       "Dossier d'export", "impossible d'y écrire"},
      {"missing configuration",
       [](CheckTest& t) { fs::remove(t.f_.tree().path() / "Listelo.ini"); }, "Configuration",
       "absent"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.spoil(*this);
    EXPECT_EQ(Check("PARUVENDU"), 1) << output_;
    const std::string line = LineOf(c.point);
    EXPECT_TRUE(line.starts_with("ÉCHEC")) << output_;
    EXPECT_NE(line.find(c.reason), std::string::npos) << output_;
    EXPECT_EQ(testing::Count(FtpServer::Shared().Commands(gateway_.user), "STOR"), 0);
  }
}

TEST_F(CheckTest, TheMailTargetAsksTheSmtpServerToo) {
  const int port = testing::SmtpServers::Shared().Port("login");
  WriteFile(f_.HostPath(std::string(kSourceFolder) + "ExpDatasNEOWEBCAR.xml"), kStock);
  const std::string server = FtpServer::Shared().HostPort();
  const auto ini = [&](const std::string& password) {
    WriteFile(f_.tree().path() / "Listelo.ini",
              "[NEOWEBCAR]\nServeurFTP=" + server + "\nUser=" + gateway_.user +
                  "\nPassWord=" + gateway_.password + "\nPathFTP=in\nTestSend=1\n" +
                  "[StrInfoLog]\nHost=127.0.0.1\nPort=" + std::to_string(port) +
                  "\nUsername=robot\nPassword=" + password + "\n");
  };
  ini("s3cret");
  EXPECT_EQ(Check("NEOWEBCAR"), 0) << output_;
  EXPECT_TRUE(LineOf("Serveur SMTP").starts_with("OK")) << output_;
  ini("wrong");
  EXPECT_EQ(Check("NEOWEBCAR"), 1) << output_;
  EXPECT_TRUE(LineOf("Serveur SMTP").starts_with("ÉCHEC")) << output_;
  for (const testing::SmtpRecord& record : testing::SmtpServers::Shared().Records("login")) {
    EXPECT_FALSE(record.Delivered());
  }
}

// An SFTP gateway is asked as a run would connect to it, so a host key that is missing
// from the known_hosts file shows before the first run; nothing is stored there.
TEST_F(CheckTest, AnSftpGatewayIsAskedWithItsHostKey) {
  std::string why;
  testing::SshServer* ssh = testing::SshServer::Shared(&why);
  if (ssh == nullptr) GTEST_SKIP() << why;
  const std::string folder = ssh->NewFolder();
  const auto ini = [&](testing::SshServer::HostEntry entry) {
    WriteFile(f_.tree().path() / "Listelo.ini",
              "[PARUVENDU]\nServeurFTP=" + ssh->HostPort() + "\nUser=" + ssh->user() +
                  "\nPathFTP=" + folder +
                  "\nProtocol=SFTP\nSshKey=" + ssh->authorized_key().file.string() +
                  "\nSshKnownHosts=" + ssh->KnownHosts(entry).string() + "\n");
  };
  ini(testing::SshServer::HostEntry::kRight);
  EXPECT_EQ(Check("PARUVENDU"), 0) << output_;
  EXPECT_TRUE(LineOf("Passerelle").starts_with("OK")) << output_;
  ini(testing::SshServer::HostEntry::kMissing);
  EXPECT_EQ(Check("PARUVENDU"), 1) << output_;
  EXPECT_TRUE(LineOf("Passerelle").starts_with("ÉCHEC")) << output_;
  EXPECT_NE(LineOf("Passerelle").find("Unknown host key"), std::string::npos) << output_;
  EXPECT_TRUE(fs::is_empty(ssh->login_folder() / folder));
}

TEST_F(CheckTest, AnUnknownTargetIsABadCommandLine) {
  EXPECT_EQ(Check("NOPE"), 2);
  EXPECT_NE(output_.find("NOPE"), std::string::npos);
}

}  // namespace
}  // namespace listelo
