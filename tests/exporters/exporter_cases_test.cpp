// Every folder tests/data/<exporter>/<case>/ holding a case.ini is one run of the program
// against a real FTP server (gateway and image server), compared with what it expects.
//
// A case folder holds:
//   case.ini        the configuration of the run; section [Case] key Target names the
//                   target, GatewayPermissions (pyftpdlib's letters, all by default)
//                   what the gateway account may do, and RefuseStore a file that the
//                   gateway refuses to store. @GATEWAY@, @GATEWAY_USER@,
//                   @GATEWAY_PASSWORD@, @IMAGES@, @IMAGES_USER@ and @IMAGES_PASSWORD@
//                   stand for the test servers; @SMTP_PORT@ for the port of an SMTP
//                   server on 127.0.0.1 that takes AUTH LOGIN from "robot", password
//                   "s3cret". @GATEWAY1_USER@, @GATEWAY1_PASSWORD@, @GATEWAY2_USER@...
//                   are further accounts of the gateway, one per number the file names
//                   (the exporters that deliver each dealer site to its own account).
//   ExpDatas*.xml   source stock documents, put in the stock database's folder; key
//                   Sources of [Case] names another case folder (rad1/infopress) whose
//                   documents are taken instead, so that two targets run one fixture
//   photos/         the local photo folder (c:\projects\Quarno\images)
//   server-photos/  what the image server holds before the run (in www/voimages)
//   expected/       what the run must leave, byte for byte:
//     gateway/...   files that reached the gateway account
//     gateway<n>/...  files that reached numbered account n: exactly these, so an account
//                   without such a folder must have received nothing
//     images/...    files on the image server, below www/voimages
//     temp/...      files below Windir\TEMP (export folder, working folders)
//     log.txt       the run log (servers written as the placeholders above)
//     error.txt     the text of the error that ends the run (RunFinished stays false)
//     mail.txt      the mails that reached the SMTP server, as a reader sees them
//                   (UTF-8; empty: none); each one's .eml copy must be what was sent
//   A folder whose name ends in ".zip" stands for an archive: its files are the entries.
//
// LISTELO_UPDATE_EXPECTED=1 rewrites the expected files from the run, to review by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>

#include "app/run.h"
#include "app/shell.h"
#include "support/archive_entries.h"
#include "support/ftp_server.h"
#include "support/smtp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::FtpServer;
using testing::ReadFile;
using testing::RunFixture;
using testing::SmtpRecord;
using testing::SmtpServers;
using testing::WriteFile;

// The mail server of the cases, and where a run of the fixed clock keeps its copies.
constexpr const char* kSmtpMode = "login";
constexpr const char* kMailCopy = "c:\\windows\\TEMP\\VOMail\\20261208140309.eml";

std::vector<std::string> CaseFolders() {
  std::vector<std::string> cases;
  for (const auto& exporter : fs::directory_iterator(LISTELO_TEST_DATA)) {
    if (!exporter.is_directory()) continue;
    for (const auto& c : fs::directory_iterator(exporter.path())) {
      if (fs::exists(c.path() / "case.ini")) {
        cases.push_back(fs::relative(c.path(), LISTELO_TEST_DATA).string());
      }
    }
  }
  std::sort(cases.begin(), cases.end());
  return cases;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (size_t pos = text.find(from); pos != std::string::npos;
       pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
  return text;
}

void CopyTree(const fs::path& from, const fs::path& to) {
  if (!fs::exists(from)) return;
  fs::create_directories(to);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

// The numbers n of the @GATEWAY<n>_...@ placeholders that a configuration names.
std::set<int> NumberedAccounts(const std::string& ini) {
  static const std::regex kPlaceholder("@GATEWAY([0-9]+)_");
  std::set<int> numbers;
  for (std::sregex_iterator it(ini.begin(), ini.end(), kPlaceholder), end; it != end; ++it) {
    numbers.insert(std::stoi((*it)[1].str()));
  }
  return numbers;
}

// The files below a folder, by their path relative to it; none when it does not exist.
std::set<std::string> FilesBelow(const fs::path& folder) {
  std::set<std::string> files;
  if (!fs::exists(folder)) return files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.is_regular_file()) files.insert(fs::relative(e.path(), folder).string());
  }
  return files;
}

std::map<std::string, std::string> ReadFolder(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(folder))
    files[e.path().filename().string()] = ReadFile(e.path());
  return files;
}

class ExporterCaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    folder_ = fs::path(LISTELO_TEST_DATA) / GetParam();
    FtpServer& server = FtpServer::Shared();
    const std::string permissions =
        IniFile::FromText(ReadFile(folder_ / "case.ini"))
            .ReadString("Case", "GatewayPermissions", testing::kFtpAllPermissions);
    gateway_ = server.NewAccount(permissions);
    images_ = server.NewAccount();
    const std::string refused = CaseSetting("RefuseStore");
    if (!refused.empty()) server.RefuseStore(gateway_, refused);
    placeholders_ = {{"@GATEWAY_USER@", gateway_.user},
                     {"@GATEWAY_PASSWORD@", gateway_.password},
                     {"@IMAGES_USER@", images_.user},
                     {"@IMAGES_PASSWORD@", images_.password},
                     {"@GATEWAY@", server.HostPort()},
                     {"@IMAGES@", server.HostPort()},
                     {"@UNUSED@", "127.0.0.1:" + std::to_string(testing::UnusedPort())}};
    for (int n : NumberedAccounts(ReadFile(folder_ / "case.ini"))) {
      const FtpServer::Account& account = numbered_[n] = server.NewAccount();
      const std::string name = "@GATEWAY" + std::to_string(n);
      placeholders_.push_back({name + "_USER@", account.user});
      placeholders_.push_back({name + "_PASSWORD@", account.password});
    }
    // Only the cases that mail start the SMTP server.
    if (ReadFile(folder_ / "case.ini").find("@SMTP_PORT@") != std::string::npos) {
      placeholders_.emplace_back("@SMTP_PORT@",
                                 std::to_string(SmtpServers::Shared().Port(kSmtpMode)));
      mails_before_ = SmtpServers::Shared().Records(kSmtpMode).size();
      mails_ = true;
    }
  }

  // The configuration with the test servers put in.
  std::string CaseIni() const {
    std::string ini = ReadFile(folder_ / "case.ini");
    for (const auto& [name, value] : placeholders_) ini = ReplaceAll(ini, name, value);
    return ini;
  }

  // The run log with the test servers written back as placeholders: the addresses, and
  // the account in the delivery's diagnostic lines.
  std::string Neutral(std::string text) const {
    const auto value = [this](const char* name) {
      for (const auto& [n, v] : placeholders_) {
        if (n == name) return v;
      }
      return std::string();
    };
    text = ReplaceAll(text, ":" + value("@GATEWAY@") + "\r\n", ":@GATEWAY@\r\n");
    text = ReplaceAll(text, ":" + value("@UNUSED@") + "\r\n", ":@UNUSED@\r\n");
    text =
        ReplaceAll(text, "User :" + value("@GATEWAY_USER@") + "\r\n", "User :@GATEWAY_USER@\r\n");
    text = ReplaceAll(text, "pwd  :" + value("@GATEWAY_PASSWORD@") + "\r\n",
                      "pwd  :@GATEWAY_PASSWORD@\r\n");
    for (const auto& [n, account] : numbered_) {
      const std::string name = "@GATEWAY" + std::to_string(n);
      text = ReplaceAll(text, "User :" + account.user + "\r\n", "User :" + name + "_USER@\r\n");
      text = ReplaceAll(text, "pwd  :" + account.password + "\r\n",
                        "pwd  :" + name + "_PASSWORD@\r\n");
    }
    return text;
  }

  void LayOut(RunFixture& f) const {
    const std::string ini = CaseIni();
    WriteFile(f.tree().path() / "Listelo.ini", ini);
    const fs::path sources = f.HostPath("c:\\projects\\Quarno\\data\\Listelo");
    fs::create_directories(sources);
    const std::string shared = CaseSetting("Sources");
    const fs::path documents = shared.empty() ? folder_ : fs::path(LISTELO_TEST_DATA) / shared;
    for (const auto& e : fs::directory_iterator(documents)) {
      if (e.path().filename().string().starts_with("ExpDatas")) {
        fs::copy_file(e.path(), sources / e.path().filename());
      }
    }
    fs::create_directories(f.HostPath("c:\\projects\\Quarno\\images"));
    CopyTree(folder_ / "photos", f.HostPath("c:\\projects\\Quarno\\images"));
    fs::create_directories(images_.home / "www" / "voimages");
    CopyTree(folder_ / "server-photos", images_.home / "www" / "voimages");
  }

  std::string CaseSetting(std::string_view key) const {
    return IniFile::FromText(ReadFile(folder_ / "case.ini")).ReadString("Case", key, "");
  }

  std::string Target(const RunFixture&) const { return CaseSetting("Target"); }

  // The file or archive that an expected file stands for.
  fs::path ActualOf(RunFixture& f, const fs::path& relative) const {
    auto it = relative.begin();
    const std::string area = it->string();
    fs::path rest;
    for (++it; it != relative.end(); ++it) rest /= *it;
    if (area == "gateway") return gateway_.home / rest;
    for (const auto& [n, account] : numbered_) {
      if (area == "gateway" + std::to_string(n)) return account.home / rest;
    }
    if (area == "images") return images_.home / "www" / "voimages" / rest;
    if (area == "temp") return f.HostPath("c:\\windows\\TEMP") / rest;
    ADD_FAILURE() << "unknown area in expected/: " << area;
    return {};
  }

  void Compare(const std::string& what, const std::string& actual,
               const fs::path& expected_file) const {
    if (std::getenv("LISTELO_UPDATE_EXPECTED") != nullptr) {
      WriteFile(expected_file, actual);
      return;
    }
    EXPECT_EQ(actual, ReadFile(expected_file)) << what;
  }

  void CompareExpected(RunFixture& f, const std::string& error) const {
    const fs::path expected = folder_ / "expected";
    if (fs::exists(expected / "error.txt")) {
      Compare("error", error + "\n", expected / "error.txt");
      EXPECT_FALSE(f.run().state.run_finished);
    } else {
      EXPECT_EQ(error, "");
      EXPECT_TRUE(f.run().state.run_finished);
    }
    if (fs::exists(expected / "log.txt")) {
      const fs::path log = f.HostPath(f.run().LogFileName());
      Compare("log", fs::exists(log) ? Neutral(ReadFile(log)) : "", expected / "log.txt");
    }
    if (fs::exists(expected / "mail.txt")) {
      Compare("mail", ReceivedMails(f), expected / "mail.txt");
    }
    for (auto it = fs::recursive_directory_iterator(expected); it != fs::end(it); ++it) {
      const fs::path relative = fs::relative(it->path(), expected);
      if (relative == "log.txt" || relative == "error.txt" || relative == "mail.txt") continue;
      if (it->is_directory() && it->path().extension() == ".zip") {
        CompareArchive(ActualOf(f, relative), it->path());
        it.disable_recursion_pending();
      } else if (it->is_regular_file()) {
        const fs::path actual = ActualOf(f, relative);
        ASSERT_TRUE(fs::exists(actual)) << relative << " was not written";
        Compare(relative.string(), ReadFile(actual), it->path());
      }
    }
    CompareNumberedAccounts();
  }

  // Each numbered account holds what its expected folder lists and nothing else: which
  // account received which file is part of what a per-site delivery must get right.
  void CompareNumberedAccounts() const {
    for (const auto& [n, account] : numbered_) {
      const fs::path expected = folder_ / "expected" / ("gateway" + std::to_string(n));
      if (std::getenv("LISTELO_UPDATE_EXPECTED") != nullptr) {
        WriteAccount(account.home, expected);
        continue;
      }
      std::set<std::string> listed;
      for (const std::string& file : FilesBelow(expected)) {
        // An archive stands as a folder of its entries.
        const fs::path path(file);
        listed.insert(path.has_parent_path() && path.parent_path().extension() == ".zip"
                          ? path.parent_path().string()
                          : file);
      }
      EXPECT_EQ(FilesBelow(account.home), listed) << "account " << n;
    }
  }

  // The expected folder of an account, from what it holds (archives as their entries).
  static void WriteAccount(const fs::path& home, const fs::path& expected) {
    fs::remove_all(expected);
    for (const std::string& file : FilesBelow(home)) {
      if (fs::path(file).extension() == ".zip") {
        for (const auto& [name, content] : testing::ArchiveEntries(home / file))
          WriteFile(expected / file / name, content);
      } else {
        WriteFile(expected / file, ReadFile(home / file));
      }
    }
  }

  // Sender, recipients, subject and body of every mail delivered during the run. The
  // message identifier changes at each run, so the .eml copy is compared with the mail
  // as it was received rather than with an expected file.
  std::string ReceivedMails(RunFixture& f) const {
    std::string text;
    if (!mails_) return text;
    std::vector<SmtpRecord> records = SmtpServers::Shared().Records(kSmtpMode);
    for (size_t i = mails_before_; i < records.size(); ++i) {
      const SmtpRecord& mail = records[i];
      if (!mail.Delivered()) continue;
      text += "MAIL FROM: " + mail.Text("envelope_from") + "\n";
      for (const std::string& to : mail.Lines("envelope_rcpt")) text += "RCPT TO: " + to + "\n";
      text += "Subject: " + mail.Text("header_Subject") + "\n";
      text += "Content-Type: " + mail.Text("header_Content-Type") + "\n";
      text += mail.Text("body") + "\n";
      EXPECT_EQ(ReadFile(f.HostPath(kMailCopy)), mail.Text("raw.eml")) << "the .eml copy";
    }
    return text;
  }

  void CompareArchive(const fs::path& actual, const fs::path& expected_folder) const {
    ASSERT_TRUE(fs::exists(actual)) << actual << " was not written";
    const auto entries = testing::ArchiveEntries(actual);
    if (std::getenv("LISTELO_UPDATE_EXPECTED") != nullptr) {
      fs::remove_all(expected_folder);
      for (const auto& [name, content] : entries) WriteFile(expected_folder / name, content);
      return;
    }
    EXPECT_EQ(entries, ReadFolder(expected_folder)) << actual;
  }

  fs::path folder_;
  FtpServer::Account gateway_;
  FtpServer::Account images_;
  std::map<int, FtpServer::Account> numbered_;
  std::vector<std::pair<std::string, std::string>> placeholders_;
  bool mails_ = false;  // the case has the SMTP server
  size_t mails_before_ = 0;
};

TEST_P(ExporterCaseTest, LeavesTheExpectedFiles) {
  RunFixture f(nullptr);
  LayOut(f);
  testing::UseFastFtpTimeouts(f.run());
  std::string error;
  try {
    StartExport(f.run(), Target(f));
  } catch (const std::exception& e) {
    error = e.what();
  }
  CompareExpected(f, error);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExporterCaseTest, ::testing::ValuesIn(CaseFolders()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace listelo
