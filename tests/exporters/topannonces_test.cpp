// TopAnnonces beyond the case folders, whose log keeps only the closing lines: the run's
// steps reach the message list in their order and with their exact texts.
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

const fs::path kVehiclesCase = fs::path(LISTELO_TEST_DATA) / "topannonces" / "vehicles";

// A run over the vehicles case's stock, its first `from` replaced by `to`.
void SetUpRun(RunFixture& f, const FtpServer::Account& gateway, const std::string& from = "",
              const std::string& to = "") {
  WriteFile(f.tree().path() / "Listelo.ini",
            "[Options]\nDebug=0\nURLImages=http://photos.garage.invalid/voimages\n"
            "[TOPANNONCES]\nCodeClient=123456\nServeurFTP=" +
                FtpServer::Shared().HostPort() + "\nUser=" + gateway.user +
                "\nPassWord=" + gateway.password + "\n");
  const fs::path sources = f.HostPath("c:\\projects\\Quarno\\data\\Listelo");
  fs::create_directories(sources);
  std::string stock = ReadFile(kVehiclesCase / "ExpDatasTopAnnonces.xml");
  if (!from.empty()) stock.replace(stock.find(from), from.size(), to);
  WriteFile(sources / "ExpDatasTopAnnonces.xml", stock);
  testing::UseFastFtpTimeouts(f.run());
}

TEST(TopAnnoncesRunTest, MemoShowsEveryStepInOrder) {
  RunFixture f(nullptr);
  const FtpServer::Account gateway = FtpServer::Shared().NewAccount();
  SetUpRun(f, gateway);

  StartExport(f.run(), "TOPANNONCES");
  ASSERT_TRUE(f.run().state.run_finished);

  const std::vector<std::string> memo = f.window().MemoLines();
  size_t at = 0;
  for (const char* step :
       {"Après premier Select DataVO", "Après premier Select LiensImages",
        "Avant Suppression LiensImages", "Avant Suppression LiensEquipements",
        "Après Suppression LiensImages & LiensEquipements & Aliases", "Après Aliases",
        "Result : <?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n<listepa><annonce>",
        "Après Remplacements", "Avant Enregistrement",
        "Fichier c:\\windows\\TEMP\\Listelo\\123456.zip créé",
        "Transfert FTP OK : Fichier VO actualisé sur site FTP : 123456.zip - 5 VO"}) {
    while (at < memo.size() && memo[at].find(step) == std::string::npos) ++at;
    ASSERT_LT(at, memo.size()) << "missing or out of order: " << step;
  }
  for (const std::string& line : memo) {
    EXPECT_EQ(line.find("Début Transfert"), std::string::npos) << line;
    EXPECT_EQ(line.find("Zip File"), std::string::npos) << line;
    EXPECT_EQ(line.find("Replacements"), std::string::npos) << line;
  }
}

// Markup that does not read back ends the run where reloading it would: after the photo
// slots are rewritten (a slot's start tag with an attribute is not renamed, its end tag
// is), or after the vocabulary (a record's likewise). The dated copy then holds the last
// markup that read back; no result file, archive or upload follows.
TEST(TopAnnoncesRunTest, MarkupThatDoesNotReadBackEndsTheRunBeforeTheNextSave) {
  struct Case {
    const char* what;
    const char* from;
    const char* to;
    const char* last_step;  // in the memo
    const char* not_reached;
    const char* dated_copy_holds;
  };
  const Case cases[] = {
      {"photo slot", "<NOMPHOTO1></NOMPHOTO1>", "<NOMPHOTO1 n=\"1\"></NOMPHOTO1>", "Après Aliases",
       "Result : ", "<NOMPHOTO1 n=\"1\">"},
      {"record", "<DataVO>", "<DataVO n=\"1\">", "Après Remplacements", "Avant Enregistrement",
       "<liste_photos>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunFixture f(nullptr);
    const FtpServer::Account gateway = FtpServer::Shared().NewAccount();
    SetUpRun(f, gateway, c.from, c.to);
    std::string error;
    try {
      StartExport(f.run(), "TOPANNONCES");
    } catch (const RunError& e) {
      error = e.what();
    }
    EXPECT_NE(error.find("mismatch"), std::string::npos) << error;
    const std::vector<std::string> memo = f.window().MemoLines();
    const auto has = [&](const char* text) {
      return std::any_of(memo.begin(), memo.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
      });
    };
    EXPECT_TRUE(has(c.last_step));
    EXPECT_FALSE(has(c.not_reached));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(f.HostPath("c:\\windows\\TEMP\\Listelo")))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"TopAnnonces-20261208.xml", "history.jsonl"}));
    const std::string dated =
        ReadFile(f.HostPath("c:\\windows\\TEMP\\Listelo\\TopAnnonces-20261208.xml"));
    EXPECT_NE(dated.find(c.dated_copy_holds), std::string::npos);
    EXPECT_TRUE(FtpServer::Shared().Commands(gateway.user).empty());
  }
}

}  // namespace
}  // namespace listelo
