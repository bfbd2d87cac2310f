// TopAnnonces beyond the case folders, whose log keeps only the closing lines: the run's
// steps reach the message list in their order and with their exact texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/shell.h"
#include "support/ftp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::FtpServer;
using testing::RunFixture;
using testing::WriteFile;

const fs::path kVehiclesCase = fs::path(LISTELO_TEST_DATA) / "topannonces" / "vehicles";

TEST(TopAnnoncesRunTest, MemoShowsEveryStepInOrder) {
  RunFixture f(nullptr);
  FtpServer& server = FtpServer::Shared();
  const FtpServer::Account gateway = server.NewAccount();
  WriteFile(f.tree().path() / "Listelo.ini",
            "[Options]\nDebug=0\nURLImages=http://photos.garage.invalid/voimages\n"
            "[TOPANNONCES]\nCodeClient=123456\nServeurFTP=" +
                server.HostPort() + "\nUser=" + gateway.user + "\nPassWord=" + gateway.password +
                "\n");
  const fs::path sources = f.HostPath("c:\\projects\\Quarno\\data\\Listelo");
  fs::create_directories(sources);
  fs::copy_file(kVehiclesCase / "ExpDatasTopAnnonces.xml", sources / "ExpDatasTopAnnonces.xml");
  testing::UseFastFtpTimeouts(f.run());

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

}  // namespace
}  // namespace listelo
