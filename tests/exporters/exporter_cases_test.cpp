// Every folder tests/data/<exporter>/<case>/ holding a case.ini is one run of the program
// against a real FTP server (gateway and image server), compared with what it expects.
//
// A case folder holds:
//   case.ini        the configuration of the run; section [Case] key Target names the
//                   target. @GATEWAY@, @GATEWAY_USER@, @GATEWAY_PASSWORD@, @IMAGES@,
//                   @IMAGES_USER@ and @IMAGES_PASSWORD@ stand for the test servers.
//   ExpDatas*.xml   source stock documents, put in the stock database's folder; key
//                   Sources of [Case] names another case folder (rad1/infopress) whose
//                   documents are taken instead, so that two targets run one fixture
//   photos/         the local photo folder (c:\projects\Quarno\images)
//   server-photos/  what the image server holds before the run (in www/voimages)
//   expected/       what the run must leave, byte for byte:
//     gateway/...   files that reached the gateway account
//     images/...    files on the image server, below www/voimages
//     temp/...      files below Windir\TEMP (export folder, working folders)
//     log.txt       the run log (servers written as the placeholders above)
//     error.txt     the text of the error that ends the run (RunFinished stays false)
//   A folder whose name ends in ".zip" stands for an archive: its files are the entries.
//
// LISTELO_UPDATE_EXPECTED=1 rewrites the expected files from the run, to review by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include "app/run.h"
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
    gateway_ = server.NewAccount();
    images_ = server.NewAccount();
    placeholders_ = {{"@GATEWAY_USER@", gateway_.user},
                     {"@GATEWAY_PASSWORD@", gateway_.password},
                     {"@IMAGES_USER@", images_.user},
                     {"@IMAGES_PASSWORD@", images_.password},
                     {"@GATEWAY@", server.HostPort()},
                     {"@IMAGES@", server.HostPort()},
                     {"@UNUSED@", "127.0.0.1:" + std::to_string(testing::UnusedPort())}};
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
    for (auto it = fs::recursive_directory_iterator(expected); it != fs::end(it); ++it) {
      const fs::path relative = fs::relative(it->path(), expected);
      if (relative.string() == "log.txt" || relative.string() == "error.txt") continue;
      if (it->is_directory() && it->path().extension() == ".zip") {
        CompareArchive(ActualOf(f, relative), it->path());
        it.disable_recursion_pending();
      } else if (it->is_regular_file()) {
        const fs::path actual = ActualOf(f, relative);
        ASSERT_TRUE(fs::exists(actual)) << relative << " was not written";
        Compare(relative.string(), ReadFile(actual), it->path());
      }
    }
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
  std::vector<std::pair<std::string, std::string>> placeholders_;
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
