// Rad1 and InfoPress beyond the case folders: the delivered file read back by an XML
// reader, the order of the run's steps in the memo, and the Rad1 password settings.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "app/shell.h"
#include "platform/text.h"
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

const fs::path kStock =
    fs::path(LISTELO_TEST_DATA) / "rad1" / "infopress" / "ExpDatasInfoPress.xml";

// One run against a real gateway, on the stock of the infopress case.
struct Rad1Run {
  Rad1Run() {
    const fs::path sources = fixture.HostPath("c:\\projects\\Quarno\\data\\Listelo");
    fs::create_directories(sources);
    fs::copy_file(kStock, sources / "ExpDatasInfoPress.xml");
    testing::UseFastFtpTimeouts(fixture.run());
    gateway = FtpServer::Shared().NewAccount();
  }

  // Runs `target` with `section_keys` added to its section; the error that ended the
  // run, or "".
  std::string Start(const std::string& target, const std::string& section_keys = "") {
    WriteFile(fixture.tree().path() / "Listelo.ini",
              "[Options]\nDebug=0\nURLImages=http://photos.invalid/vo\n[" + target +
                  "]\nServeurFTP=" + FtpServer::Shared().HostPort() + "\nUser=" + gateway.user +
                  "\nPassWord=" + gateway.password + "\n" + section_keys);
    try {
      StartExport(fixture.run(), target);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }

  RunFixture fixture{nullptr};
  FtpServer::Account gateway;
};

using XmlDoc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

// The text of the first node `expression` selects, in Windows-1252 as the literals here.
std::string TextOf(xmlDoc* doc, const char* expression) {
  std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> xpath(xmlXPathNewContext(doc),
                                                                         xmlXPathFreeContext);
  std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
      xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression), xpath.get()),
      xmlXPathFreeObject);
  if (result == nullptr || result->nodesetval == nullptr || result->nodesetval->nodeNr == 0) {
    return "<none>";
  }
  std::unique_ptr<xmlChar, decltype(xmlFree)> text(
      xmlNodeGetContent(result->nodesetval->nodeTab[0]), xmlFree);
  return Utf8ToAnsi(reinterpret_cast<const char*>(text.get()));
}

TEST(Rad1Test, ReaderGetsTheAdvertisementTextWithItsLineEnds) {
  Rad1Run run;
  ASSERT_EQ(run.Start("INFOPRESS"), "");
  const auto entries = testing::ArchiveEntries(run.gateway.home / "InfoPress_20261208.zip");
  ASSERT_EQ(entries.count("InfoPress_20261208.xml"), 1u);
  const std::string& delivered = entries.at("InfoPress_20261208.xml");
  XmlDoc doc(xmlReadMemory(delivered.data(), static_cast<int>(delivered.size()), "annonces.xml",
                           nullptr, XML_PARSE_NONET),
             xmlFreeDoc);
  ASSERT_NE(doc, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(doc->encoding), "ISO-8859-15");
  const std::string separator(44, '_');
  const char* lines[] = {separator.c_str(),
                         "",
                         "VW Golf VIII 1.5 TSI Édition 150",
                         "Garantie Constructeur",
                         separator.c_str(),
                         "",
                         "Carrosserie : Berline",
                         "Puissance : 8 CV",
                         "Couleur : Blanc Pur",
                         "Mise en Circulation : 02/09/2021",
                         "5 portes, 5 places",
                         "",
                         " + Equipements Intérieurs : Climatisation",
                         "",
                         " + Equipements Sécurité : Contrôle de stabilité",
                         "",
                         separator.c_str(),
                         "",
                         "Contactez Marc Dubois au 03.20.55.66.77",
                         "Garage du Nord & Fils",
                         "",
                         "Du lundi au vendredi, 8h-18h",
                         separator.c_str(),
                         "",
                         "Véhicule révisé, carnet d’entretien à jour.",
                         separator.c_str()};
  std::string expected;
  for (const char* line : lines) expected += std::string(expected.empty() ? "" : "\r\n") + line;
  // The make is written out in the text only.
  expected.replace(expected.find("VW Golf"), 2, "Volkswagen");
  EXPECT_EQ(TextOf(doc.get(), "/annonces/annonce[2]/Texte"), expected);
  EXPECT_EQ(TextOf(doc.get(), "/annonces/annonce[2]/Titre"),
            "VW  Golf VIII 1.5 TSI Édition 150 (ref:RXEO49-702)");
}

bool Has(const std::string& line, const std::string& text) {
  return line.find(text) != std::string::npos;
}

TEST(Rad1Test, MemoShowsEveryStepInOrderAndTheLogKeepsTheClosingLine) {
  Rad1Run run;
  ASSERT_EQ(run.Start("RAD1"), "");
  RunFixture& f = run.fixture;
  EXPECT_TRUE(f.run().state.run_finished);
  const auto memo = f.window().MemoLines();
  auto at = memo.begin();
  for (const char* step :
       {"Après premier Select DataVO", "Après premier Select LiensImages",
        "Avant Suppression LiensImages", "Avant Suppression LiensEquipements",
        "Après Suppression LiensImages & LiensEquipements & Aliases", "Après Aliases",
        "Result : <?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>", "Après Remplacements",
        "Avant Enregistrement", "Fichier c:\\windows\\TEMP\\Listelo\\Rad1_20261208.zip créé",
        "Transfert FTP OK : Fichier VO actualisé sur site FTP : "
        "Rad1_20261208.zip - 4 VO"}) {
    at = std::find_if(at, memo.end(), [&](const std::string& line) { return Has(line, step); });
    EXPECT_NE(at, memo.end()) << step << " missing or out of order";
    if (at == memo.end()) break;
  }
  // The counters of photos stay 0: the portals fetch the photos themselves.
  EXPECT_EQ(f.run().state.photo_count, 0);
  EXPECT_EQ(f.run().state.updated_photo_count, 0);
  const std::string log = ReadFile(f.HostPath(f.run().LogFileName()));
  EXPECT_EQ(log.find("créé"), std::string::npos) << log;
  EXPECT_NE(log.find("Rad1_20261208.zip - 4 VO"), std::string::npos) << log;
}

TEST(Rad1Test, PasswordSettingsOfAnotherFormStopTheRunBeforeItStarts) {
  struct Case {
    const char* keys;
    const char* error;
  };
  const Case cases[] = {
      {"PasswordLetter=k\n", "PasswordLetter de la section RAD1 (\"k\")"},
      {"PasswordLetter=KL\n", "PasswordLetter de la section RAD1 (\"KL\")"},
      {"PasswordLetter=\n", "PasswordLetter de la section RAD1 (\"\")"},
      {"PasswordLetter=É\n", "PasswordLetter de la section RAD1 (\"É\")"},
      {"PasswordSuffix=7Q4ZP2\n", "PasswordSuffix de la section RAD1 (\"7Q4ZP2\")"},
      {"PasswordSuffix=7Q4ZP2M9\n", "PasswordSuffix de la section RAD1 (\"7Q4ZP2M9\")"},
      {"PasswordSuffix=7q4zp2m\n", "PasswordSuffix de la section RAD1 (\"7q4zp2m\")"},
      {"PasswordSuffix=7Q4-P2M\n", "PasswordSuffix de la section RAD1 (\"7Q4-P2M\")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    Rad1Run run;
    const std::string error = run.Start("RAD1", c.keys);
    EXPECT_TRUE(Has(error, c.error)) << error;
    EXPECT_FALSE(run.fixture.run().state.run_finished);
    EXPECT_FALSE(fs::exists(run.fixture.HostPath("c:\\windows\\TEMP\\Listelo\\Rad1_20261208.xml")));
    EXPECT_FALSE(fs::exists(run.gateway.home / "Rad1_20261208.zip"));
  }
}

}  // namespace
}  // namespace listelo
