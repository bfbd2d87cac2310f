#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <utility>
#include <vector>

#include "app/run.h"
#include "delivery/ftp_client.h"
#include "delivery/ftp_delivery.h"
#include "support/ftp_server.h"
#include "support/ssh_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::RunFixture;
using testing::SshServer;
using ::testing::StartsWith;
using testing::WriteFile;

constexpr const char* kExportFile = "c:\\windows\\TEMP\\Listelo\\export.zip";
constexpr const char* kConnectionError = "Transfert FTP : Erreur Connexion au serveur. ";
constexpr const char* kTransferError = "Transfert FTP : Erreur lors du transfert. ";
constexpr const char* kOk = "Transfert FTP OK : ";

// A PARUVENDU run whose gateway is the test SSH server, logging in with the authorized
// key into a fresh folder with an "in" folder in it.
class SftpSendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server_ = SshServer::Shared(&why);
    if (server_ == nullptr) GTEST_SKIP() << why;
    logins_before_ = server_->Logins();
    folder_ = server_->NewFolder();
    fs::create_directories(server_->login_folder() / folder_ / "in");
    UseSection(server_->SftpSection("PARUVENDU", server_->authorized_key()));
    f_.run().state.export_target = "PARUVENDU";
    testing::UseFastFtpTimeouts(f_.run());
    testing::UseSshServerAsGateway(f_.run(), *server_, folder_ + "/in");
    WriteFile(f_.HostPath(kExportFile), "x");
  }

  void UseSection(const std::string& section) {
    f_.run().set_ini(IniFile::FromText("[Options]\r\nDebug=0\r\n" + section));
  }
  fs::path Landed(const std::string& relative) const {
    return server_->login_folder() / folder_ / relative;
  }

  // Logins of this test: the server serves the whole test program.
  int NewLogins() const { return server_->Logins() - logins_before_; }

  SshServer* server_ = nullptr;
  int logins_before_ = 0;
  std::string folder_;
  RunFixture f_;
};

TEST_F(SftpSendTest, StoresTheFileByteForByteInTheConfiguredFolder) {
  std::string bytes;
  for (int round = 0; round < 400; ++round) {
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  }
  WriteFile(f_.HostPath(kExportFile), bytes);
  fs::create_directories(Landed("a/b"));
  struct Case {
    const char* what;
    std::string folder;  // the gateway's folder field
    fs::path lands_in;   // where the file must be
  };
  const Case cases[] = {
      {"relative", folder_ + "/in", Landed("in")},
      {"nested, with a trailing slash", folder_ + "/a/b/", Landed("a/b")},
      {"dot parts as configured", folder_ + "/a/../in", Landed("in")},
      {"absolute", Landed("a").string(), Landed("a")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(c.lands_in / "export.zip");
    f_.window().ClearMemo();
    testing::UseSshServerAsGateway(f_.run(), *server_, c.folder);
    EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false), kOk);
    EXPECT_EQ(ReadFile(c.lands_in / "export.zip"), bytes);
    EXPECT_THAT(f_.window().MemoLines(),
                ElementsAre("Connecting to " + server_->HostPort(), "Connected", "Transfer started",
                            "Transfer complete", "Disconnected"));
  }
  EXPECT_EQ(f_.window().Label(1), "Connexion PARUVENDU - on connection");
  EXPECT_THAT(f_.window().Label(2), HasSubstr(" - on transfert"));
}

TEST_F(SftpSendTest, AnEmptyFolderIsTheLoginFolder) {
  WriteFile(f_.HostPath("c:\\windows\\TEMP\\Listelo\\" + folder_ + ".zip"), "login");
  testing::UseSshServerAsGateway(f_.run(), *server_, "");
  EXPECT_EQ(SendFileFTP(f_.run(), "c:\\windows\\TEMP\\Listelo\\" + folder_ + ".zip", false), kOk);
  EXPECT_EQ(ReadFile(server_->login_folder() / (folder_ + ".zip")), "login");
}

TEST_F(SftpSendTest, AKeyWithItsPassphrase) {
  UseSection(server_->SftpSection("PARUVENDU", server_->passphrase_key()));
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false), kOk);
  EXPECT_EQ(ReadFile(Landed("in/export.zip")), "x");
}

// Each case spoils one thing of a working configuration.
TEST_F(SftpSendTest, ConnectionFailuresGiveTheConnectionErrorWithTheirReason) {
  testing::SilentServer silent;
  const std::string key = "SshKey=" + server_->authorized_key().file.string() + "\r\n";
  const std::string sftp = "[PARUVENDU]\r\nProtocol=SFTP\r\n";
  auto hosts = [&](SshServer::HostEntry entry) {
    return "SshKnownHosts=" + server_->KnownHosts(entry).string() + "\r\n";
  };
  const std::string right = hosts(SshServer::HostEntry::kRight);
  struct Case {
    const char* what;
    std::string section;
    std::string server;  // empty: the SSH server
    std::string folder;  // below the case's folder
    ::testing::Matcher<std::string> reason;
  };
  const Case cases[] = {
      {"a key the server does not know",
       sftp + right + "SshKey=" + server_->stranger_key().file.string() + "\r\n", "", "in",
       HasSubstr("Authentication failure")},
      {"the password, which the server refuses", sftp + right, "", "in",
       HasSubstr("Authentication failure")},
      {"a wrong passphrase",
       sftp + right + "SshKey=" + server_->passphrase_key().file.string() +
           "\r\nSshKeyPassphrase=wrong\r\n",
       "", "in", HasSubstr("Authentication failure")},
      {"an unknown host key", sftp + key + hosts(SshServer::HostEntry::kMissing), "", "in",
       StartsWith("Unknown host key: the server's ED25519 key is not in ")},
      {"a changed host key", sftp + key + hosts(SshServer::HostEntry::kChanged), "", "in",
       StartsWith("Host key changed: the server's ED25519 key is not the one in ")},
      {"no known_hosts file named", sftp + key, "", "in",
       "No known_hosts file (SshKnownHosts) to check the host key"},
      {"a known_hosts file that is not there", sftp + key + "SshKnownHosts=c:\\nowhere\r\n", "",
       "in", StartsWith("known_hosts file not found: ")},
      {"a key file that is not there", sftp + right + "SshKey=c:\\nokey\r\n", "", "in",
       StartsWith("Key file not found: ")},
      {"a missing folder", sftp + key + right, "", "nowhere", HasSubstr("No such file")},
      {"nothing listens", sftp + key + right, "127.0.0.1:" + std::to_string(testing::UnusedPort()),
       "in", ::testing::_},
      {"no SSH greeting", sftp + key + right, silent.HostPort(), "in", ::testing::_},
      {"an unknown protocol", "[PARUVENDU]\r\nProtocol=scp\r\n", "", "in", "Unknown Protocol: SCP"},
  };
  f_.run().ftp_timeouts().connect = std::chrono::milliseconds(500);
  std::vector<std::pair<fs::path, std::string>> known_hosts_files;
  for (auto entry : {SshServer::HostEntry::kRight, SshServer::HostEntry::kChanged,
                     SshServer::HostEntry::kMissing}) {
    const fs::path file = server_->KnownHosts(entry);
    known_hosts_files.emplace_back(file, ReadFile(file));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseSection(c.section);
    testing::UseSshServerAsGateway(f_.run(), *server_, folder_ + "/" + c.folder);
    if (!c.server.empty()) f_.window().SetField(Field::kServeur, c.server);
    f_.window().SetLabel(2, "Label2");
    f_.window().ClearMemo();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, true), kConnectionError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
    EXPECT_THAT(f_.run().GatewayFtp().last_error(), c.reason);
    EXPECT_THAT(f_.window().MemoLines(),
                Contains("Connection failed: " + f_.run().GatewayFtp().last_error()));
    EXPECT_EQ(f_.window().Label(1), "Connexion PARUVENDU - on connection");
    EXPECT_EQ(f_.window().Label(2), "Label2");
    EXPECT_FALSE(f_.run().GatewayFtp().connected());
    EXPECT_FALSE(fs::exists(Landed("in/export.zip")));
  }
  // A refused key is never written down as known.
  for (const auto& [file, text] : known_hosts_files) EXPECT_EQ(ReadFile(file), text);
  // Only the missing folder's case got as far as a login: no key or password was shown
  // to a server whose host key did not match.
  EXPECT_EQ(NewLogins(), 1);
}

TEST_F(SftpSendTest, TransferFailuresGiveTheTransferError) {
  EXPECT_EQ(SendFileFTP(f_.run(), "c:\\windows\\TEMP\\Listelo\\missing.zip", true), kTransferError);
  EXPECT_FALSE(fs::exists(Landed("in/missing.zip")));
  // The server cannot write a file where a folder of that name stands.
  fs::create_directories(Landed("in/export.zip"));
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, true), kTransferError);
  EXPECT_THAT(f_.window().MemoLines(), Contains(StartsWith("Transfer failed: ")));
  // The session stays usable after a failed transfer.
  fs::remove(Landed("in/export.zip"));
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false), kOk);
  EXPECT_EQ(ReadFile(Landed("in/export.zip")), "x");
  EXPECT_EQ(NewLogins(), 1);
}

TEST_F(SftpSendTest, AKeptSessionIsReusedWithoutReadingTheFieldsAgain) {
  WriteFile(f_.HostPath("c:\\windows\\TEMP\\Listelo\\second.csv"), "second");
  ASSERT_EQ(SendFileFTP(f_.run(), kExportFile, true), kOk);
  f_.window().SetField(Field::kServeur, "elsewhere.invalid");
  f_.window().SetField(Field::kRepert, "nowhere");
  EXPECT_EQ(SendFileFTP(f_.run(), "c:\\windows\\TEMP\\Listelo\\second.csv", false), kOk);
  EXPECT_EQ(ReadFile(Landed("in/second.csv")), "second");
  EXPECT_EQ(NewLogins(), 1);
  EXPECT_FALSE(f_.run().GatewayFtp().connected());
}

// A dealer site of SITAUTOPRO may move to SFTP before the others: its own section
// decides for it.
TEST_F(SftpSendTest, APerSiteSectionChoosesSftpForItsSite) {
  f_.run().state.export_target = "SITAUTOPRO";
  f_.run().state.site_code = "42";
  UseSection("[SITAUTOPRO]\r\nProtocol=FTP\r\n" +
             server_->SftpSection("SITAUTOPRO-42", server_->authorized_key()));
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false), kOk);
  EXPECT_EQ(ReadFile(Landed("in/export.zip")), "x");
}

TEST(ProtocolSettingTest, ProtocolAndSshKeysFromTheSections) {
  struct Case {
    const char* what;
    const char* ini;
    const char* site;  // empty: no per-site loop
    FileProtocol protocol;
    bool tls;
    const char* key;  // Windows form; empty: none
    const char* unusable;
  };
  const Case cases[] = {
      {"nothing set", "", "", FileProtocol::kFtp, false, "", ""},
      {"FTP", "[T]\r\nProtocol=FTP\r\n", "", FileProtocol::kFtp, false, "", ""},
      {"an empty value", "[T]\r\nProtocol=\r\n", "", FileProtocol::kFtp, false, "", ""},
      {"FTPS, any letter case", "[T]\r\nProtocol=ftps\r\n", "", FileProtocol::kFtp, true, "", ""},
      {"TLS=1 as before", "[T]\r\nTLS=1\r\n", "", FileProtocol::kFtp, true, "", ""},
      {"SFTP with a key", "[T]\r\nProtocol=Sftp\r\nSshKey=c:\\keys\\id\r\n", "",
       FileProtocol::kSftp, false, "c:\\keys\\id", ""},
      {"a key without SFTP is not used", "[T]\r\nSshKey=c:\\keys\\id\r\n", "", FileProtocol::kFtp,
       false, "", ""},
      {"an unknown protocol", "[T]\r\nProtocol=SCP\r\n", "", FileProtocol::kFtp, false, "",
       "Unknown Protocol: SCP"},
      {"a site inherits its target's", "[T]\r\nProtocol=SFTP\r\nSshKey=c:\\k\r\n", "7",
       FileProtocol::kSftp, false, "c:\\k", ""},
      {"a site's own wins", "[T]\r\nProtocol=SFTP\r\n[T-7]\r\nProtocol=FTP\r\n", "7",
       FileProtocol::kFtp, false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunFixture f;
    f.run().set_ini(IniFile::FromText(c.ini));
    f.run().state.export_target = "T";
    f.run().state.site_code = c.site;
    FtpEndpoint endpoint = GatewayEndpoint(f.run());
    EXPECT_EQ(endpoint.protocol, c.protocol);
    EXPECT_EQ(endpoint.tls, c.tls);
    EXPECT_EQ(endpoint.ssh.key_file, std::string(c.key).empty() ? fs::path() : f.HostPath(c.key));
    EXPECT_EQ(endpoint.unusable, c.unusable);
  }
}

TEST(ProtocolSettingTest, TheImageServerReadsItsOwnSection) {
  RunFixture f;
  f.run().set_ini(IniFile::FromText(
      "[VOImages]\r\nProtocol=SFTP\r\nSshKey=c:\\keys\\images\r\nSshKeyPassphrase=pp\r\n"
      "SshKnownHosts=c:\\keys\\known_hosts\r\n[PARUVENDU]\r\nProtocol=FTPS\r\n"));
  f.run().state.export_target = "PARUVENDU";
  FtpEndpoint images = ImageServerEndpoint(f.run());
  EXPECT_EQ(images.protocol, FileProtocol::kSftp);
  EXPECT_EQ(images.ssh.key_file, f.HostPath("c:\\keys\\images"));
  EXPECT_EQ(images.ssh.key_passphrase, "pp");
  EXPECT_EQ(images.ssh.known_hosts, f.HostPath("c:\\keys\\known_hosts"));
  EXPECT_EQ(GatewayEndpoint(f.run()).protocol, FileProtocol::kFtp);
  EXPECT_TRUE(GatewayEndpoint(f.run()).tls);
}

}  // namespace
}  // namespace listelo
