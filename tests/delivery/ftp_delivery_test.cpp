#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/run.h"
#include "delivery/ftp_client.h"
#include "delivery/ftp_delivery.h"
#include "support/ftp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {

namespace fs = std::filesystem;
using ::testing::AnyOf;
using ::testing::Contains;
using testing::Count;
using ::testing::ElementsAre;
using testing::FtpServer;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadFile;
using testing::RunFixture;
using testing::WriteFile;

constexpr const char* kExportFile = "c:\\windows\\TEMP\\Listelo\\export.zip";
constexpr const char* kStamp = "08/12/2026 14:03:09 - ";

std::string AllByteValues() {
  std::string bytes;
  for (int round = 0; round < 40; ++round) {
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  }
  return bytes + "\r\n\n\r";
}

// A PARUVENDU run whose gateway fields name an account of the test server.
class SendFileTest : public ::testing::Test {
 protected:
  explicit SendFileTest(const char* ini = "[Options]\r\nDebug=0\r\n") {
    f_.run().set_ini(IniFile::FromText(ini));
    f_.run().state.export_target = "PARUVENDU";
    testing::UseFastFtpTimeouts(f_.run());
    testing::UseGateway(f_.run(), server_, account_, "in");
    fs::create_directories(account_.home / "in");
  }

  void WriteExport(const std::string& windows_path, const std::string& bytes) {
    WriteFile(f_.HostPath(windows_path), bytes);
  }
  std::string Label(int which) { return f_.window().Label(which); }
  std::string LogFile() {
    return ReadFile(f_.HostPath("c:\\windows\\TEMP\\RadoveDuvudePARUVENDU.log"));
  }

  FtpServer& server_ = FtpServer::Shared();
  FtpServer::Account account_ = server_.NewAccount();
  RunFixture f_;
};

TEST_F(SendFileTest, StoresTheFileByteForByteUnderItsOwnName) {
  const std::string bytes = AllByteValues();
  WriteExport(kExportFile, bytes);
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, true), "Transfert FTP OK : ");
  EXPECT_EQ(ReadFile(account_.home / "in" / "export.zip"), bytes);
  EXPECT_EQ(Label(1), "Connexion PARUVENDU - on connection");
  EXPECT_EQ(Label(2), "Label2 - on transfert");
  EXPECT_THAT(server_.Commands(account_.user),
              ElementsAre("USER " + account_.user, "PASS " + account_.password, "PWD", "CWD in",
                          HasSubstr("PORT 127,0,0,1,"), "TYPE I", "STOR export.zip"));
}

TEST_F(SendFileTest, StatusLinesGoToTheMemoOnly) {
  WriteExport(kExportFile, "x");
  f_.run().WriteLog("");
  ASSERT_EQ(SendFileFTP(f_.run(), kExportFile, false), "Transfert FTP OK : ");
  EXPECT_THAT(f_.window().MemoLines(),
              ElementsAre("-> ", "Connecting to " + server_.HostPort(), "Connected",
                          "Transfer started", "Transfer complete", "Disconnected"));
  EXPECT_EQ(LogFile(), "");
  EXPECT_GT(f_.window().process_events_calls(), 0);
}

TEST_F(SendFileTest, LoginDirectoryWhenTheFolderIsEmpty) {
  f_.window().SetField(Field::kRepert, "");
  WriteExport(kExportFile, "x");
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, true), "Transfert FTP OK : ");
  EXPECT_EQ(ReadFile(account_.home / "export.zip"), "x");
  EXPECT_THAT(server_.Commands(account_.user), Not(Contains(HasSubstr("CWD"))));
}

TEST_F(SendFileTest, ConnectionFailuresGiveTheConnectionErrorAndTryNoUpload) {
  testing::SilentServer silent;
  f_.run().ftp_timeouts().connect = std::chrono::milliseconds(300);
  struct Case {
    const char* what;
    Field field;
    std::string value;
  };
  const Case cases[] = {
      {"nothing listens", Field::kServeur, "127.0.0.1:" + std::to_string(testing::UnusedPort())},
      {"no greeting", Field::kServeur, silent.HostPort()},
      {"not a host", Field::kServeur, "127.0.0.1/x"},
      {"wrong password", Field::kPassword, "wrong"},
      {"missing folder", Field::kRepert, "nowhere"},
  };
  WriteExport(kExportFile, "x");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::UseGateway(f_.run(), server_, account_, "in");
    f_.window().SetField(c.field, c.value);
    f_.window().SetLabel(2, "Label2");
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, true),
              "Transfert FTP : Erreur Connexion au serveur. ");
    // Bounded by the connect time-out, not by the product's long defaults (a loaded machine
    // may be slow, so the bound only tells a time-out from a hang).
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
    EXPECT_EQ(Label(1), "Connexion PARUVENDU - on connection");
    EXPECT_EQ(Label(2), "Label2");
    EXPECT_FALSE(f_.run().GatewayFtp().connected());
  }
  EXPECT_EQ(Count(server_.Commands(account_.user), "STOR"), 0);
  EXPECT_EQ(Count(server_.Commands(account_.user), "PORT"), 0);
}

TEST_F(SendFileTest, TransferFailuresGiveTheTransferError) {
  FtpServer::Account reader = server_.NewAccount("elr");  // refuses STOR
  fs::create_directories(reader.home / "in");
  WriteExport(kExportFile, "x");
  EXPECT_EQ(SendFileFTP(f_.run(), "c:\\windows\\TEMP\\Listelo\\missing.zip", true),
            "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_EQ(Label(2), "Label2 - on transfert");
  EXPECT_EQ(Count(server_.Commands(account_.user), "STOR"), 0);
  EXPECT_FALSE(fs::exists(account_.home / "in" / "missing.zip"));
  // The connection stays usable after a failed transfer.
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false), "Transfert FTP OK : ");

  testing::UseGateway(f_.run(), server_, reader, "in");
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false),
            "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_THAT(server_.Commands(reader.user), Contains("STOR export.zip"));

  FtpServer::Account no_active = server_.NewAccount(testing::kFtpAllPermissions, true);
  testing::UseGateway(f_.run(), server_, no_active);
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false),
            "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_EQ(Count(server_.Commands(no_active.user), "STOR"), 0);
}

TEST_F(SendFileTest, AFailedActiveTransferSaysWhatFailed) {
  struct Case {
    const char* what;
    FtpServer::Account account;
    ::testing::Matcher<std::string> reason;
  };
  const Case cases[] = {
      {"552 after the data", server_.NewFaultyAccount(FtpServer::Fault::kQuotaAfterData),
       std::string("552 Disk quota exceeded.")},
      {"PORT refused", server_.NewAccount(testing::kFtpAllPermissions, true),
       std::string("500 Active data connections are refused.")},
      {"connection reset", server_.NewFaultyAccount(FtpServer::Fault::kReset),
       // Which of its two ends notices the reset first is the system's choice.
       AnyOf("Failed sending data to the peer", "Failure when receiving data from the peer")},
  };
  WriteExport(kExportFile, std::string(200'000, 'x'));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    f_.window().ClearMemo();
    testing::UseGateway(f_.run(), server_, c.account);
    EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false),
              "Transfert FTP : Erreur lors du transfert. ");
    const std::string reason = f_.run().GatewayFtp().last_error();
    EXPECT_THAT(reason, c.reason);
    EXPECT_THAT(f_.window().MemoLines(), Contains("Transfer failed: " + reason));
  }
}

TEST_F(SendFileTest, AKeptConnectionIsReusedWithoutReadingTheFieldsAgain) {
  WriteExport(kExportFile, "first");
  WriteExport("c:\\windows\\TEMP\\Listelo\\second.csv", "second");
  ASSERT_EQ(SendFileFTP(f_.run(), kExportFile, true), "Transfert FTP OK : ");
  f_.window().SetField(Field::kServeur, "elsewhere.invalid");
  f_.window().SetLabel(1, "Label1");
  EXPECT_EQ(SendFileFTP(f_.run(), "c:\\windows\\TEMP\\Listelo\\second.csv", true),
            "Transfert FTP OK : ");
  EXPECT_EQ(Label(1), "Label1");
  EXPECT_EQ(ReadFile(account_.home / "in" / "second.csv"), "second");
  std::vector<std::string> commands = server_.Commands(account_.user);
  EXPECT_EQ(Count(commands, "USER"), 1);
  EXPECT_EQ(Count(commands, "PASS"), 1);
  EXPECT_EQ(Count(commands, "CWD"), 1);
  EXPECT_THAT(std::vector<std::string>(commands.end() - 2, commands.end()),
              ElementsAre(HasSubstr("PORT "), "STOR second.csv"));
}

TEST_F(SendFileTest, NotKeepingTheConnectionClosesItAfterSuccessAndFailure) {
  WriteExport(kExportFile, "x");
  ASSERT_EQ(SendFileFTP(f_.run(), kExportFile, false), "Transfert FTP OK : ");
  EXPECT_TRUE(server_.WaitForClosedSessions(account_.user, 1));
  EXPECT_EQ(SendFileFTP(f_.run(), "c:\\missing.zip", false),
            "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_TRUE(server_.WaitForClosedSessions(account_.user, 2));
  EXPECT_EQ(Count(server_.Commands(account_.user), "QUIT"), 2);

  // The next site connects with its own fields.
  FtpServer::Account next_site = server_.NewAccount();
  testing::UseGateway(f_.run(), server_, next_site);
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false), "Transfert FTP OK : ");
  EXPECT_EQ(ReadFile(next_site.home / "export.zip"), "x");
}

TEST_F(SendFileTest, ARefusedFolderIsRefusedAgainOnTheNextCall) {
  f_.window().SetField(Field::kRepert, "nowhere");
  WriteExport(kExportFile, "x");
  for (int call = 0; call < 2; ++call) {
    EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, true),
              "Transfert FTP : Erreur Connexion au serveur. ");
  }
  EXPECT_FALSE(fs::exists(account_.home / "export.zip"));
}

// The account starts in home/login, so "../in" is home/in and "in" would be home/login/in.
TEST_F(SendFileTest, AFolderWithDotsIsSentAsConfigured) {
  WriteExport(kExportFile, "x");
  struct Case {
    const char* folder;
    const char* cwd;
    const char* lands_in;  // below the account's home
  };
  const Case cases[] = {
      {"../in", "CWD ../in", "in"},
      {"in/../../in", "CWD in/../../in", "in"},
      {"./in", "CWD ./in", "login/in"},
      {"in", "CWD in", "login/in"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    FtpServer::Account account = server_.NewAccountStartingIn("login");
    fs::create_directories(account.home / "in");
    fs::create_directories(account.home / "login" / "in");
    testing::UseGateway(f_.run(), server_, account, c.folder);
    EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false), "Transfert FTP OK : ");
    EXPECT_THAT(server_.Commands(account.user), Contains(c.cwd));
    EXPECT_TRUE(fs::exists(account.home / c.lands_in / "export.zip"));
    EXPECT_EQ(fs::exists(account.home / "in" / "export.zip") +
                  fs::exists(account.home / "login" / "in" / "export.zip"),
              1);
  }
}

TEST_F(SendFileTest, PassiveModeWhenTheTargetAsksForIt) {
  f_.run().set_ini(IniFile::FromText("[Options]\r\nDebug=0\r\n[PARUVENDU]\r\nPassive=1\r\n"));
  WriteExport(kExportFile, "x");
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, true), "Transfert FTP OK : ");
  std::vector<std::string> commands = server_.Commands(account_.user);
  EXPECT_EQ(Count(commands, "PORT"), 0);
  EXPECT_EQ(Count(commands, "EPSV") + Count(commands, "PASV"), 1);
}

TEST_F(SendFileTest, TlsNeverFallsBackToClearText) {
  // The per-site section decides for its site.
  f_.run().set_ini(IniFile::FromText(
      "[Options]\r\nDebug=0\r\n[PARUVENDU]\r\nTLS=0\r\n[PARUVENDU-42]\r\nTLS=1\r\n"));
  f_.run().state.site_code = "42";
  WriteExport(kExportFile, "x");
  EXPECT_EQ(SendFileFTP(f_.run(), kExportFile, false),
            "Transfert FTP : Erreur Connexion au serveur. ");
  std::vector<std::string> commands = server_.Commands(account_.user);
  EXPECT_EQ(Count(commands, "USER"), 0);
  EXPECT_EQ(Count(commands, "PASS"), 0);
}

TEST(SendFileDiagnosticsTest, FourLinesUnlessDebugIsOtherThanOne) {
  struct Case {
    const char* ini;
    bool lines;
  };
  const Case cases[] = {
      {"", true},
      {"[Options]\r\nDebug=1\r\n", true},
      {"[Options]\r\nDebug=0\r\n", false},
      {"[Options]\r\nDebug=yes\r\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    RunFixture f;
    f.run().set_ini(IniFile::FromText(c.ini));
    f.run().state.export_target = "SITAUTOPRO";
    f.run().state.site_code = "0042";
    testing::UseFastFtpTimeouts(f.run());
    f.window().SetField(Field::kServeur, "127.0.0.1:" + std::to_string(testing::UnusedPort()));
    f.window().SetField(Field::kUser, "site@gateway");
    f.window().SetField(Field::kPassword, "s3cret");
    f.run().WriteLog("");
    SendFileFTP(f.run(), "c:\\x.zip", false);
    std::string expected = std::string(kStamp) + "param serveur pour :SITAUTOPRO - 0042\r\n" +
                           kStamp + "FTP  :" + f.window().GetField(Field::kServeur) + "\r\n" +
                           kStamp + "User :site@gateway\r\n" + kStamp + "pwd  :s3cret\r\n";
    EXPECT_EQ(ReadFile(f.HostPath("c:\\windows\\TEMP\\RadoveDuvudeSITAUTOPRO.log")),
              c.lines ? expected : "");
  }
}

}  // namespace
}  // namespace listelo
