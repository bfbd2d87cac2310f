// L'Argus beyond the case folders: what the run tells the operator about each upload and
// each vehicle it leaves out, what it leaves on disk, and the CSV file that cannot be
// written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/errors.h"
#include "app/shell.h"
#include "support/ftp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::FtpServer;
using testing::ReadFile;
using testing::RunFixture;
using testing::WriteFile;

const fs::path kCases = fs::path(LISTELO_TEST_DATA) / "largus";

class LArgusRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gateway_ = server_.NewAccount();
    WriteFile(f_.tree().path() / "Listelo.ini",
              "[Options]\nDebug=0\nURLImages=http://photos.garage.invalid/voimages\n"
              "[LARGUS]\nServeurFTP=" +
                  server_.HostPort() + "\nUser=" + gateway_.user +
                  "\nPassWord=" + gateway_.password + "\n");
    testing::UseFastFtpTimeouts(f_.run());
  }

  void UseSource(const char* case_name) {
    const fs::path sources = f_.HostPath("c:\\projects\\Quarno\\data\\Listelo");
    fs::create_directories(sources);
    fs::copy_file(kCases / case_name / "ExpDatasLArgus.xml", sources / "ExpDatasLArgus.xml",
                  fs::copy_options::overwrite_existing);
  }

  // Every file below a folder, as paths relative to it, sorted.
  static std::vector<std::string> FilesBelow(const fs::path& folder) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
      if (e.is_regular_file()) files.push_back(fs::relative(e.path(), folder).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  // The memo lines from the one that ends with `text` on, without their time stamps.
  std::vector<std::string> MemoFrom(const std::string& text) {
    std::vector<std::string> lines;
    bool found = false;
    for (const std::string& line : f_.window().MemoLines()) {
      const size_t stamp_end = line.find(" - ");
      const std::string message = line.starts_with("-> ") && stamp_end != std::string::npos
                                      ? line.substr(stamp_end + 3)
                                      : line;
      found = found || message == text;
      if (found) lines.push_back(message);
    }
    return lines;
  }

  FtpServer& server_ = FtpServer::Shared();
  FtpServer::Account gateway_;
  RunFixture f_{nullptr};
};

// Each upload is followed by its own result; the closing line reports the failure even
// though the last file went through, and both files travel on one connection.
TEST_F(LArgusRunTest, LogsEachUploadAndClosesWithTheFirstFailure) {
  UseSource("refused_upload");
  server_.RefuseStore(gateway_, "1001.csv");
  StartExport(f_.run(), "LARGUS");
  ASSERT_TRUE(f_.run().state.run_finished);

  std::vector<std::string> uploads;
  for (const std::string& line : MemoFrom("après boucle 2 VO traités")) {
    if (line.starts_with("envoi") || line.starts_with("Transfert") ||
        line.starts_with("Fichier VO")) {
      uploads.push_back(line);
    }
  }
  const std::vector<std::string> expected = {
      "envoi fichier : c:\\windows\\Temp\\Argus\\1001.csv",
      "Transfert FTP : Erreur lors du transfert. 1001.csv",
      "envoi fichier : c:\\windows\\Temp\\Argus\\1002.csv",
      "Transfert FTP OK : 1002.csv",
      "Fichier VO actualisé sur site FTP - 2 VO - Transfert FTP : Erreur lors du transfert. ",
  };
  EXPECT_EQ(uploads, expected);
  EXPECT_EQ(FilesBelow(gateway_.home), std::vector<std::string>{"1002.csv"});
  const std::vector<std::string> commands = server_.Commands(gateway_.user);
  EXPECT_EQ(testing::Count(commands, "USER "), 1);
  EXPECT_EQ(testing::Count(commands, "STOR "), 2);
}

// A client identifier that cannot name a file of the working folder writes nothing
// anywhere: the vehicle is left out with a line naming it and the value.
TEST_F(LArgusRunTest, LeavesOutVehiclesWhoseClientCannotNameAFile) {
  UseSource("unsafe_client_ids");
  // The previous run's files go: the working folder is emptied first.
  WriteFile(f_.HostPath("c:\\windows\\TEMP\\Argus\\0999.csv"), "old line\r\n");
  StartExport(f_.run(), "LARGUS");
  ASSERT_TRUE(f_.run().state.run_finished);

  const std::vector<std::string> left = {"Argus/1001.csv", "Listelo/202612081403.xml",
                                         "Listelo/history.jsonl", "RadoveDuvudeLARGUS.log"};
  EXPECT_EQ(FilesBelow(f_.HostPath("c:\\windows\\TEMP")), left);
  EXPECT_EQ(FilesBelow(f_.HostPath("c:\\windows")).size(), left.size());
  EXPECT_EQ(FilesBelow(gateway_.home), std::vector<std::string>{"1001.csv"});

  std::vector<std::string> skipped;
  for (const std::string& line : MemoFrom("avant boucle")) {
    if (line.find(" non exporté : ") != std::string::npos) skipped.push_back(line);
  }
  ASSERT_EQ(skipped.size(), 17u);
  const char* control = " contient un caractère de contrôle";
  const char* forbidden =
      " contient un caractère interdit dans un nom de fichier (\\ / : * ? \" < > |)";
  const std::vector<std::string> some = {
      "VO 62 (annonce 56002) non exporté : id-Client \"..\\x\"" + std::string(forbidden),
      "VO 63 (annonce 56003) non exporté : id-Client \"\" vide",
      "VO 64 (annonce 56004) non exporté : id-Client \"\" vide",
      "VO 65 (annonce 56005) non exporté : id-Client \"..\" ne nomme pas un fichier",
      "VO 77 (annonce 56017) non exporté : id-Client \"x?y\"" + std::string(control),
      "VO 78 (annonce 56018) non exporté : id-Client \"x??y\"" + std::string(control),
  };
  for (const std::string& line : some) {
    EXPECT_NE(std::find(skipped.begin(), skipped.end(), line), skipped.end()) << line;
  }
  EXPECT_NE(MemoFrom("après boucle 1 VO traités"), std::vector<std::string>{});
}

// A file in the CSV file's place cannot be appended to: the run ends with the reason and
// sends nothing.
TEST_F(LArgusRunTest, CsvFileThatCannotBeWrittenStopsTheRun) {
  UseSource("refused_upload");
  // A folder survives the emptying of the working folder.
  fs::create_directories(f_.HostPath("c:\\windows\\TEMP\\Argus\\1001.csv"));
  try {
    StartExport(f_.run(), "LARGUS");
    ADD_FAILURE() << "the run went on";
  } catch (const IoError& error) {
    EXPECT_NE(std::string(error.what()).find("1001.csv"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(f_.run().state.run_finished);
  EXPECT_TRUE(FilesBelow(gateway_.home).empty());
}

}  // namespace
}  // namespace listelo
