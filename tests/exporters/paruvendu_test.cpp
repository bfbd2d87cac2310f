// ParuVendu beyond the case folders: the memo keeps the whole run while the log keeps
// its end, and the uploaded file is a document a portal's XML reader takes.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <filesystem>
#include <memory>

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

const fs::path kBasicCase = fs::path(LISTELO_TEST_DATA) / "paruvendu" / "basic";

class ParuVenduRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FtpServer& server = FtpServer::Shared();
    gateway_ = server.NewAccount();
    images_ = server.NewAccount();
    fs::create_directories(images_.home / "www" / "voimages");
    WriteFile(f_.tree().path() / "Listelo.ini",
              "[Options]\nDebug=0\n[VOImages]\nServeurFTP=" + server.HostPort() +
                  "\nUser=" + images_.user + "\nPassWord=" + images_.password +
                  "\n[PARUVENDU]\nServeurFTP=" + server.HostPort() + "\nUser=" + gateway_.user +
                  "\nPassWord=" + gateway_.password + "\nFlgInfoEquip=1\n");
    const fs::path sources = f_.HostPath("c:\\projects\\Quarno\\data\\Listelo");
    fs::create_directories(sources);
    fs::copy_file(kBasicCase / "ExpDatasPARUVENDU.xml", sources / "ExpDatasPARUVENDU.xml");
    testing::UseFastFtpTimeouts(f_.run());
  }

  RunFixture f_{nullptr};
  FtpServer::Account gateway_;
  FtpServer::Account images_;
};

bool MemoHas(const std::vector<std::string>& memo, const std::string& text) {
  return std::any_of(memo.begin(), memo.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

TEST_F(ParuVenduRunTest, MemoKeepsTheWholeRunAndTheLogItsEnd) {
  StartExport(f_.run(), "PARUVENDU");
  ASSERT_TRUE(f_.run().state.run_finished);
  const auto memo = f_.window().MemoLines();
  for (const char* line : {"Après premier Select DataVO", "Après premier Select LiensImages",
                           "Après Aliases", "Result : <?xml", "Avant Enregistrement",
                           "Début Transfert :  - 2 VO - 9 photos", "Transfert FTP OK : "}) {
    EXPECT_TRUE(MemoHas(memo, line)) << line;
  }
  const std::string log = ReadFile(f_.HostPath(f_.run().LogFileName()));
  EXPECT_EQ(log.find("Après premier Select"), std::string::npos);
  EXPECT_NE(log.find("Début Transfert"), std::string::npos);
}

TEST_F(ParuVenduRunTest, UploadedFileReadsAsTheStockWithNumberedPhotos) {
  StartExport(f_.run(), "PARUVENDU");
  const std::string uploaded = ReadFile(gateway_.home / "DorvaneDatasVO-20261208.xml");
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
      xmlReadMemory(uploaded.data(), static_cast<int>(uploaded.size()), "upload.xml", nullptr,
                    XML_PARSE_NONET),
      xmlFreeDoc);
  ASSERT_NE(doc, nullptr);
  std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> xpath(
      xmlXPathNewContext(doc.get()), xmlXPathFreeContext);
  const auto count = [&](const char* expression) {
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression), xpath.get()),
        xmlXPathFreeObject);
    return result->nodesetval ? result->nodesetval->nodeNr : 0;
  };
  EXPECT_EQ(count("/document/DataVOS/DataVO"), 2);
  EXPECT_EQ(count("/document/DataVOS/DataVO[1]/Photo[@Num]"), 6);
  EXPECT_EQ(count("/document/DataVOS/DataVO[2]/Photo[@Num='1']"), 1);
  EXPECT_EQ(
      count("//idVO | //TypeVO | //InfoVille | //RefSite | //RefExpo | //id_Track | //RefVille"),
      0);
  EXPECT_EQ(count("/document/*"), 1);  // the auxiliary sections are gone
  EXPECT_EQ(count("/document/DataVOS/DataVO[id-VO='BeAE49-501']"), 1);
}

// The run log keeps only the closing lines: they must tell that photos did not reach the
// image server, as well as how many were found missing there.
TEST_F(ParuVenduRunTest, ClosingLinesTellThatPhotosDidNotReachTheImageServer) {
  FtpServer& server = FtpServer::Shared();
  FtpServer::Account full = server.NewFaultyAccount(FtpServer::Fault::kQuotaAfterData);
  fs::create_directories(full.home / "www" / "voimages");
  WriteFile(f_.tree().path() / "Listelo.ini",
            "[Options]\nDebug=0\nPathImages=c:\\projects\\Quarno\\images\n[VOImages]\nServeurFTP=" +
                server.HostPort() + "\nUser=" + full.user + "\nPassWord=" + full.password +
                "\n[PARUVENDU]\nServeurFTP=" + server.HostPort() + "\nUser=" + gateway_.user +
                "\nPassWord=" + gateway_.password + "\nTestFTPVOImages=1\n");
  const fs::path photos = f_.HostPath("c:\\projects\\Quarno\\images");
  fs::create_directories(photos);
  fs::copy(kBasicCase / "photos", photos, fs::copy_options::recursive);
  StartExport(f_.run(), "PARUVENDU");
  ASSERT_TRUE(f_.run().state.run_finished);
  const std::string log = ReadFile(f_.HostPath(f_.run().LogFileName()));
  const std::string stamp = "08/12/2026 14:03:09 - ";
  EXPECT_EQ(log.substr(0, log.find("Début Transfert")),
            stamp + "Nb Photos Mises à jour : 8 photos --- \r\n" + stamp +
                "Nb Photos non envoyées au serveur d'images : 8 photos --- première cause : 552 "
                "Disk quota exceeded.\r\n" +
                stamp);
  // Each failed upload is in the memo, which keeps the whole run.
  EXPECT_TRUE(MemoHas(f_.window().MemoLines(), "Pb Envoi : v11-2.jpg - 552 Disk quota exceeded."));
}

// Markup that does not read back (a photo slot whose start tag has an attribute is not
// renamed, its end tag is) ends the run where reloading it would: after it is logged,
// before "Avant Enregistrement", and before either file is written.
TEST_F(ParuVenduRunTest, MarkupThatDoesNotReadBackEndsTheRunBeforeAnyFile) {
  const fs::path source = f_.HostPath("c:\\projects\\Quarno\\data\\Listelo\\ExpDatasPARUVENDU.xml");
  std::string stock = ReadFile(source);
  stock.replace(stock.find("<NomPhoto1/>"), 12, "<NomPhoto1 n=\"1\"/>");
  WriteFile(source, stock);
  std::string error;
  try {
    StartExport(f_.run(), "PARUVENDU");
  } catch (const RunError& e) {
    error = e.what();
  }
  EXPECT_NE(error.find("mismatch"), std::string::npos) << error;
  const auto memo = f_.window().MemoLines();
  EXPECT_TRUE(MemoHas(memo, "Après Replacements"));
  EXPECT_FALSE(MemoHas(memo, "Avant Enregistrement"));
  for (const auto& e : fs::directory_iterator(f_.HostPath("c:\\windows\\TEMP\\Listelo"))) {
    EXPECT_EQ(e.path().filename(), "history.jsonl");
  }
  EXPECT_TRUE(FtpServer::Shared().Commands(gateway_.user).empty());
}

TEST_F(ParuVenduRunTest, ASourceThatIsNoStockDocumentEndsTheRunBeforeAnyOutput) {
  WriteFile(f_.HostPath("c:\\projects\\Quarno\\data\\Listelo\\ExpDatasPARUVENDU.xml"),
            "<html><head><title>502 Bad Gateway</title></head><body/></html>");
  try {
    StartExport(f_.run(), "PARUVENDU");
    ADD_FAILURE() << "the run went on";
  } catch (const RunError& error) {
    EXPECT_NE(std::string(error.what())
                  .find("ExpDatasPARUVENDU.xml\" n'est pas un document de "
                        "stock : son élément racine est <html>"),
              std::string::npos)
        << error.what();
  }
  EXPECT_FALSE(f_.run().state.run_finished);
  // Nothing but the run history's line for the stopped run.
  const fs::path exports = f_.HostPath("c:\\windows\\TEMP\\Listelo");
  for (const auto& e : fs::directory_iterator(exports)) {
    EXPECT_EQ(e.path().filename(), "history.jsonl");
  }
  EXPECT_TRUE(FtpServer::Shared().Commands(gateway_.user).empty());
}

}  // namespace
}  // namespace listelo
