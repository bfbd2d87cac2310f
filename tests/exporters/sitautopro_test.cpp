// SitAutoPro beyond the case folders: the portal's value rules, one vehicle per rule
// in a single site's file, read back with a real XML reader.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/shell.h"
#include "platform/text.h"
#include "support/ftp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::FtpServer;
using testing::ReadFile;
using testing::RunFixture;
using testing::WriteFile;

using Fields = std::map<std::string, std::string>;

// Source fields of one vehicle (beyond its defaults) and what its ANNONCE must hold.
struct Rule {
  const char* what;
  Fields source;
  Fields expected;
};

const std::vector<Rule>& Rules() {
  static const std::vector<Rule> rules = {
      {"category with an accent", {{"CATEGORIE", "Coupé"}}, {{"CATEGORIE", "11500"}}},
      {"category upper-case accent", {{"CATEGORIE", "COUPÈ"}}, {{"CATEGORIE", "11500"}}},
      {"company car", {{"CATEGORIE", "Société"}}, {{"CATEGORIE", "11200"}}},
      {"trailing blank is no match", {{"CATEGORIE", "Berline "}}, {{"CATEGORIE", "11100"}}},
      {"estate", {{"CATEGORIE", "break"}}, {{"CATEGORIE", "11200"}}},
      {"people carrier", {{"CATEGORIE", "Monospace"}}, {{"CATEGORIE", "11300"}}},
      {"pick-up", {{"CATEGORIE", "Pick up"}}, {{"CATEGORIE", "11400"}}},
      {"two-wheel drive", {{"CATEGORIE", "4x2"}}, {{"CATEGORIE", "11400"}}},
      {"convertible", {{"CATEGORIE", "Cabriolet"}}, {{"CATEGORIE", "11500"}}},
      {"van", {{"CATEGORIE", "Fourgon"}}, {{"CATEGORIE", "12000"}}},
      {"unknown category", {{"CATEGORIE", "Utilitaire"}}, {{"CATEGORIE", "11100"}}},
      {"empty category", {{"CATEGORIE", ""}}, {{"CATEGORIE", "11100"}}},
      {"short title keeps the whole version",
       {{"MARQUE", "Peugeot"}, {"MODELE", "308"}, {"VERSION", "308 1.6 HDi 110 Premium"}},
       {{"VERSION", "1.6 HDi 110 Premium..."}}},
      {"make and model of 23 characters leave no version",
       {{"MARQUE", "Automobiles Exemplaires"},
        {"MODELE", "Grand Tourisme Familial"},
        {"VERSION", "GTF 2.0"}},
       {{"VERSION", "..."}}},
      {"long version cut at 47 characters of title",
       {{"MARQUE", "Peugeot"},
        {"MODELE", "5008"},
        {"VERSION", "1.5 BlueHDi 130 EAT8 GT Pack Toit panoramique Hayon"}},
       {{"VERSION", "1.5 BlueHDi 130 EAT8 GT Pack Toit ..."}}},
      {"VW counts as Volkswagen in the budget",
       {{"MARQUE", "VW"}, {"MODELE", "Golf"}, {"VERSION", "2.0 TDI 150 Carat DSG7 Toit ouvrant"}},
       {{"MARQUE", "Volkswagen"}, {"VERSION", "2.0 TDI 150 Carat DSG7 Toit ouv..."}}},
      {"vw in lower case stays",
       {{"MARQUE", "vw"}, {"MODELE", "Polo"}, {"VERSION", "1.0"}},
       {{"MARQUE", "vw"}, {"VERSION", "1.0..."}}},
      {"reference opens with the make before its rewrite",
       {{"MARQUE", "VW"}, {"REFERENCE", "77"}},
       {{"REFERENCE", "VWTT49-77"}}},
      {"no make in the reference of type 1",
       {{"MARQUE", "Audi"}, {"TypeVO", "1"}, {"REFERENCE", "78"}},
       {{"REFERENCE", "TT49-78"}}},
      {"guarantee in months", {{"GARANTIE", "12 mois"}}, {{"GARANTIE", "12"}}},
      {"guarantee in capitals", {{"GARANTIE", " 6 MOIS "}}, {{"GARANTIE", "6"}}},
      {"doors with tailgate", {{"NB_PORTES", "5 portes avec hayon"}}, {{"NB_PORTES", "5"}}},
      {"doors short form", {{"NB_PORTES", "3p"}}, {{"NB_PORTES", "3"}}},
      {"doors in capitals", {{"NB_PORTES", "3 PORTES"}}, {{"NB_PORTES", "3"}}},
      {"first hand", {{"PREMIERE_MAIN", "1"}}, {{"PREMIERE_MAIN", "O"}}},
      {"not first hand", {{"PREMIERE_MAIN", "x"}}, {{"PREMIERE_MAIN", "N"}}},
      {"empty interior list",
       {{"EQUTINTERIEUR", ""}},
       {{"AUTO_RADIO", ""}, {"CLIMATISATION", ""}, {"GPS", ""}, {"INTERIEUR", "velours"}}},
      {"CD radio",
       {{"EQUTINTERIEUR", ";RadCD;"}},
       {{"AUTO_RADIO", "Radio CD"}, {"CLIMATISATION", ""}, {"GPS", "N"}}},
      {"cassette radio comes first",
       {{"EQUTINTERIEUR", ";RadMP3;RadCass;"}},
       {{"AUTO_RADIO", "Radio K7"}}},
      {"no radio", {{"EQUTINTERIEUR", ";GPS;"}}, {{"AUTO_RADIO", "N"}, {"GPS", "O"}}},
      {"automatic air conditioning wins",
       {{"EQUTINTERIEUR", ";ClimAuto;Clim;SCuir;"}},
       {{"CLIMATISATION", "Climatisation Automatique"}, {"INTERIEUR", "cuir"}}},
      {"codes are case-sensitive", {{"EQUTINTERIEUR", ";clim;"}}, {{"CLIMATISATION", ""}}},
      {"alloy wheels",
       {{"EQUTEXTERIEUR", ";JantAll;"}},
       {{"JANTES", "alliage"}, {"TUNING", "N"}, {"ATTELAGE", "N"}}},
      {"no alloy wheels", {{"EQUTEXTERIEUR", ";AttRem;"}}, {{"JANTES", ""}, {"ATTELAGE", "O"}}},
      {"non-smoker", {{"INFOCOMPLEMENT", ";VNF;"}}, {{"NON_FUMEUR", "O"}}},
      {"safety flags",
       {{"EQUTSECURITE", ";ABS;LXen;VerCent;"}},
       {{"ABS", "O"}, {"PROJECTEURS_XENON", "O"}, {"FERMETURE_CENTRALISEE", "O"}, {"ESP", "N"}}},
      {"contact by name",
       {{"CONTACT_A_AFFICHER", "Julie Roussel"}, {"MsgGarCons", "Garantie 6 mois"}},
       {{"equipements",
         "Garantie 6 mois --- Révisé --- Garage Test --- 9h-19h --- contactez Julie Roussel au "
         "01 02 03 04 05"}}},
      {"standard in any case, lines joined",
       {{"CONTACT_A_AFFICHER", "Standard"}, {"MsgAnnonce", "Révisé\r\nCarnet\nà jour"}},
       {{"equipements",
         "Révisé Carnet à jour --- Garage Test --- 9h-19h --- Tél : 01 02 03 04 05"}}},
      {"the branch's salesperson",
       {{"CONTACT_A_AFFICHER", "M. DELAPORTE"}},
       {{"equipements",
         "Révisé --- Agence de Test, 2 rue Haute --- 9h-19h --- contactez M. DELAPORTE au 01 02 "
         "03 04 05"}}},
      {"the surname is compared in its case",
       {{"CONTACT_A_AFFICHER", "M. Delaporte"}},
       {{"equipements",
         "Révisé --- Garage Test --- 9h-19h --- contactez M. Delaporte au 01 02 03 04 05"}}},
  };
  return rules;
}

// Defaults of every vehicle; a rule's fields replace them. TUNING comes last, as the
// stock database writes it.
const std::vector<std::pair<std::string, std::string>> kDefaultFields = {
    {"idVO", ""},
    {"REFERENCE", ""},
    {"TypeVO", "2"},
    {"MARQUE", "Renault"},
    {"MODELE", "Clio"},
    {"VERSION", "1.0 TCe"},
    {"CATEGORIE", "Citadine"},
    {"GARANTIE", ""},
    {"NB_PORTES", "5"},
    {"PREMIERE_MAIN", "0"},
    {"TELEPHONE_A_AFFICHER", "01 02 03 04 05"},
    {"EMAIL_A_AFFICHER", "vente@garage.invalid"},
    {"CONTACT_A_AFFICHER", "STANDARD"},
    {"RefSite", "TEST"},
    {"RefExpo", ""},
    {"id_Track", "TEST"},
    {"InfoVille", "Testville"},
    {"MsgGarCons", ""},
    {"MsgAnnonce", "Révisé"},
    {"LibelleSociete", "Garage Test"},
    {"HorairesCommercial", "9h-19h"},
    {"EQUTINTERIEUR", ";"},
    {"EQUTEXTERIEUR", ";"},
    {"EQUTSECURITE", ";"},
    {"INFOCOMPLEMENT", ";"},
    {"INTERIEUR", "velours"},
    {"TUNING", ""}};

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '\r') {
      out += "&#13;";
    } else {
      out += c;
    }
  }
  return out;
}

constexpr int kPhotosOfFirstVehicle = 12;

std::string StockDocument() {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<document>"
      "<COORDONNEESS EOF=\"False\" RecordName=\"COORDONNEES\"><COORDONNEES>"
      "<CODECLIENT>9001</CODECLIENT><LIBELLEVILLE>Testville</LIBELLEVILLE>"
      "<InfoVille>Testville</InfoVille></COORDONNEES></COORDONNEESS>"
      "<DataVOS EOF=\"False\" RecordName=\"DataVO\">";
  int id = 0;
  for (const Rule& rule : Rules()) {
    Fields fields = rule.source;
    fields["idVO"] = std::to_string(++id);
    if (!fields.contains("REFERENCE")) fields["REFERENCE"] = std::to_string(id);
    xml += "<DataVO>";
    for (const auto& [name, value] : kDefaultFields) {
      const std::string text = fields.contains(name) ? fields.at(name) : value;
      const std::string attributes = name == "TypeVO" ? " Type=\"int\"" : "";
      xml += "<" + name + attributes + ">" + Escaped(text) + "</" + name + ">";
    }
    xml += "</DataVO>";
  }
  // The first vehicle has more photos than one digit numbers.
  xml += "</DataVOS><LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">";
  for (int n = 1; n <= kPhotosOfFirstVehicle; ++n) {
    xml +=
        "<LiensImages><idVO>1</idVO><NomImage>p" + std::to_string(n) + "</NomImage></LiensImages>";
  }
  return xml + "</LiensImagesS></document>\n";
}

class SitAutoProRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FtpServer& server = FtpServer::Shared();
    account_ = server.NewAccount();
    WriteFile(f_.tree().path() / "Listelo.ini",
              std::string("[Options]\nDebug=1\nURLImages=http://photos.invalid\n"
                          "NomVendeurAgence=DELAPORTE\n"
                          "LibelleAgence=Agence de Test, 2 rue Haute\n"
                          "[SITAUTOPRO-9001]\nServeurFTP=") +
                  server.HostPort() + "\nUser=" + account_.user +
                  "\nPassWord=" + account_.password + "\nInfoVille=Testville\n");
    const fs::path sources = f_.HostPath("c:\\projects\\Quarno\\data\\Listelo");
    fs::create_directories(sources);
    WriteFile(sources / "ExpDatasSITAUTOPRO.xml", StockDocument());
    testing::UseFastFtpTimeouts(f_.run());
  }

  RunFixture f_{nullptr};
  FtpServer::Account account_;
};

// The ANNONCE elements of a site file, each as its fields (Windows-1252 values).
std::vector<Fields> Advertisements(const std::string& file_bytes) {
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
      xmlReadMemory(file_bytes.data(), static_cast<int>(file_bytes.size()), "site.xml", nullptr,
                    XML_PARSE_NONET),
      xmlFreeDoc);
  std::vector<Fields> result;
  if (!doc) return result;
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  for (const xmlNode* ad = xmlFirstElementChild(const_cast<xmlNode*>(root)); ad != nullptr;
       ad = xmlNextElementSibling(const_cast<xmlNode*>(ad))) {
    if (xmlStrcmp(ad->name, BAD_CAST "ANNONCE") != 0) continue;
    Fields fields;
    for (xmlNode* field = xmlFirstElementChild(const_cast<xmlNode*>(ad)); field != nullptr;
         field = xmlNextElementSibling(field)) {
      std::unique_ptr<xmlChar, decltype(xmlFree)> text(xmlNodeGetContent(field), xmlFree);
      fields[reinterpret_cast<const char*>(field->name)] =
          Utf8ToAnsi(reinterpret_cast<const char*>(text.get()));
    }
    result.push_back(fields);
  }
  return result;
}

TEST_F(SitAutoProRulesTest, EveryVehicleGetsThePortalsValues) {
  StartExport(f_.run(), "SITAUTOPRO");
  ASSERT_TRUE(f_.run().state.run_finished);
  const std::vector<Fields> ads =
      Advertisements(ReadFile(f_.HostPath("c:\\windows\\TEMP\\Listelo\\9001.xml")));
  ASSERT_EQ(ads.size(), Rules().size());
  for (size_t i = 0; i < ads.size(); ++i) {
    const Rule& rule = Rules()[i];
    for (const auto& [name, value] : rule.expected) {
      ASSERT_TRUE(ads[i].contains(name)) << rule.what << ": " << name;
      EXPECT_EQ(ads[i].at(name), value) << rule.what << ": " << name;
    }
  }
}

TEST_F(SitAutoProRulesTest, EveryPhotoBecomesOnePhotoElementInOrder) {
  StartExport(f_.run(), "SITAUTOPRO");
  const std::string site_file = ReadFile(f_.HostPath("c:\\windows\\TEMP\\Listelo\\9001.xml"));
  const std::vector<Fields> ads = Advertisements(site_file);
  ASSERT_FALSE(ads.empty());
  std::string addresses;
  for (int n = 1; n <= kPhotosOfFirstVehicle; ++n) {
    addresses += "http://photos.invalid/p" + std::to_string(n) + ".jpg";
  }
  EXPECT_EQ(ads[0].at("PHOTOS"), addresses);
  EXPECT_EQ(site_file.find("IDPHOTO"), std::string::npos);
  EXPECT_FALSE(ads[1].contains("PHOTOS"));
}

TEST_F(SitAutoProRulesTest, SiteDeliveryNamesTheSiteAndForgetsItAfterwards) {
  StartExport(f_.run(), "SITAUTOPRO");
  const auto memo = f_.window().MemoLines();
  const auto has = [&](const std::string& text) {
    return std::any_of(memo.begin(), memo.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
  };
  EXPECT_TRUE(has("param serveur pour :SITAUTOPRO - 9001"));
  EXPECT_TRUE(has("Fichier c:\\windows\\TEMP\\Listelo\\9001.zip créé"));
  EXPECT_EQ(f_.run().state.site_code, "");
  EXPECT_TRUE(fs::exists(account_.home / "9001.zip"));
}

}  // namespace
}  // namespace listelo
