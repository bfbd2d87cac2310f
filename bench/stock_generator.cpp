#include "stock_generator.h"

#include <array>
#include <random>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace listelo::bench {
namespace {

constexpr int kSites = 12;
constexpr int kEquipmentCodes = 160;

constexpr std::array<std::string_view, 8> kMakes = {"Peugeot",    "Renault", "Citroën",  "Škoda",
                                                    "Volkswagen", "Opel",    "Mercedes", "Dacia"};
constexpr std::array<std::string_view, 8> kModels = {
    "308 SW 1.6 BlueHDi 120ch Allure", "Mégane IV Estate dCi 110 Intens",
    "C4 Picasso e-HDi 115 Exclusive",  "Octavia Combi 2.0 TDI 150 Élégance",
    "Golf VII 1.4 TSI 125 Carat",      "Astra 1.6 CDTi 136 Innovation",
    "Classe A 180 d Inspiration",      "Sandero Stepway TCe 90 Prestige"};
constexpr std::array<std::string_view, 6> kTowns = {"Besançon", "Orléans",   "Saint-Étienne",
                                                    "Nîmes",    "Périgueux", "Mâcon"};
constexpr std::array<std::string_view, 5> kColours = {"Gris Aluminium", "Blanc Nacré", "Noir Perla",
                                                      "Rouge Écarlate", "Bleu Île-de-France"};
constexpr std::array<std::string_view, 6> kLabelWords = {"Climatisation automatique",
                                                         "Régulateur de vitesse",
                                                         "Aide au stationnement arrière",
                                                         "Vitres électriques",
                                                         "Siège conducteur réglable en hauteur",
                                                         "Système de navigation"};

void Field(std::string& out, std::string_view name, std::string_view value) {
  out += "      <";
  out += name;
  out += '>';
  // Values are plain text here, but "&" and "<" occur in real data.
  for (char c : value) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else {
      out += c;
    }
  }
  out += "</";
  out += name;
  out += ">\n";
}

std::string Code(int i) { return "EQ" + std::to_string(i); }

// Codes of the AutoScout24 equipment columns, with a few the portal does not take.
constexpr std::array<std::string_view, 12> kInteriorCodes = {
    "Clim",   "ClimAuto", "SCuir",    "VitreElec", "GPS",    "SElect",
    "SChauf", "RadCD",    "OrdiBord", "DirAss",    "RegVit", "Accoudoir"};
constexpr std::array<std::string_view, 8> kExteriorCodes = {
    "PMat", "Tuning", "JantAll", "PorBag", "Radrecul", "AttRem", "Becquet", ""};
constexpr std::array<std::string_view, 10> kSafetyCodes = {
    "ABS",     "AirbagCond", "AirbagPass", "AirbagLat", "LXen",
    "VerCent", "Alarme",     "ESP",        "AntiBrou",  "Isofix"};
constexpr std::array<std::string_view, 4> kAvailability = {"res", "VEN", "", "Arrivage"};

template <size_t N>
std::string NamedCodes(std::mt19937& random, const std::array<std::string_view, N>& codes) {
  std::string list = ";";
  for (std::string_view code : codes) {
    if (std::uniform_int_distribution<int>(0, 1)(random) == 1) list += std::string(code) + ";";
  }
  return list == ";" ? "" : list;
}

void AutoScout24Fields(std::string& out, std::mt19937& random, const std::string& make,
                       const std::string& model) {
  auto any = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  const size_t blank = model.find(' ');
  Field(out, "IMarque", make);
  Field(out, "IModele", model.substr(0, blank));
  Field(out, "IVersion", model);
  Field(out, "TypeCarrosserie", any(2) ? "Berline" : "Break");
  Field(out, "MoisMEC", std::to_string(1 + any(12)));
  Field(out, "AnneeMEC", std::to_string(2010 + any(14)));
  const size_t list = 8000 + any(30000);
  Field(out, "PrixDuBien", any(4) ? std::to_string(list - any(2000)) + ",50" : "0");
  Field(out, "PrixConstructeur", std::to_string(list));
  Field(out, "InfoEquiInterieur", NamedCodes(random, kInteriorCodes));
  Field(out, "InfoEquiExterieur", NamedCodes(random, kExteriorCodes));
  Field(out, "InfoEquiSecurite", NamedCodes(random, kSafetyCodes));
  Field(out, "InfoVR", std::string(kAvailability[any(kAvailability.size())]));
  Field(out, "pPromo", any(5) ? "0" : std::to_string(7000 + any(20000)));
  Field(out, "pFlash", any(10) ? "0" : std::to_string(6000 + any(20000)));
}

void InfoPressFields(std::string& out, std::mt19937& random, const std::string& make,
                     const std::string& model) {
  auto any = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  Field(out, "InfoMarque", any(8) ? make : "VW");
  Field(out, "InfoModele", any(5) ? model.substr(0, model.find(' ')) : "");
  Field(out, "Carrosserie", any(2) ? "Berline" : "Break");
  Field(out, "contact", any(3) ? "STANDARD" : "Julien Mercier");
  Field(out, "LibelleSociete", "Garage de l'Exemple & Fils");
  Field(out, "MsgGarCons", any(2) ? "Garantie constructeur jusqu'en 2027." : "");
  Field(out, "SIREN", "812345678");
  Field(out, "CodePostal", std::to_string(25000 + any(999)));
  for (int n = 1; n <= 6; ++n) out += "      <photo" + std::to_string(n) + "/>\n";
}

std::string Codes(std::mt19937& random, int count) {
  std::string codes = ";";
  std::uniform_int_distribution<int> pick(0, kEquipmentCodes - 1);
  for (int i = 0; i < count; ++i) codes += Code(pick(random)) + ";";
  return codes;
}

// `extra` draws the exporter-specific fields, so that the common ones stay the same
// whichever fields are asked for.
void Vehicle(std::string& out, std::mt19937& random, std::mt19937& extra, int id,
             StockFields fields) {
  auto any = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  const std::string make(kMakes[any(kMakes.size())]);
  const std::string site = "SITE" + std::to_string(1 + any(kSites));
  const std::string day = std::to_string(10 + any(18));
  out += "    <DataVO>\n";
  Field(out, "idVO", std::to_string(id));
  Field(out, "idNVO", std::to_string(400000 + id));
  Field(out, "TypeVO", any(10) == 0 ? "1" : "2");
  Field(out, "Rubrique", any(2) ? "Berline" : "Break");
  Field(out, "RefSite", "AGENCE" + std::to_string(any(kSites)));
  Field(out, "RefExpo", any(3) ? "EXPO2" : "");
  Field(out, "id_Track", any(4) ? site : AnsiLowerCase(site));
  Field(out, "telephone", "03 81 " + std::to_string(10 + any(89)) + " 00 00");
  Field(out, "email", "vente" + std::to_string(any(kSites)) + "@garage-exemple.fr");
  Field(out, "nomvendeur", "Hélène Lefèvre");
  Field(out, "InfoVille", std::string(kTowns[any(kTowns.size())]));
  Field(out, "RefVille", std::to_string(25000 + any(999)));
  Field(out, "SousRubrique", make);
  Field(out, "Marque", make);
  Field(out, "ModeleVersion", make + " " + std::string(kModels[any(kModels.size())]));
  Field(out, "Modele", std::string(kModels[any(kModels.size())]));
  Field(out, "Version", "Finition spéciale « Édition » & options");
  Field(out, "Prix", std::to_string(8000 + any(30000)) + ",00");
  Field(out, "Kilometrage", std::to_string(any(180000)));
  Field(out, "MEC", day + "/0" + std::to_string(1 + any(9)) + "/20" + std::to_string(10 + any(14)));
  Field(out, "Energie", any(2) ? "Diesel" : "Essence");
  Field(out, "Puissance", std::to_string(5 + any(10)));
  Field(out, "Couleur", std::string(kColours[any(kColours.size())]));
  Field(out, "CouleurInt", "Tissu gris foncé");
  Field(out, "TypeBoiteVitesse", any(3) ? "Manuelle" : "Automatique");
  Field(out, "NombreDePortes", std::to_string(3 + 2 * any(2)) + " portes");
  Field(out, "NbPlaces", "5");
  Field(out, "Garantie", "12 mois pièces et main-d’œuvre");
  Field(out, "Immatriculation", "AB-" + std::to_string(100 + any(899)) + "-CD");
  Field(out, "NChassis", "VF3" + std::to_string(10000000 + id));
  Field(out, "CO2", std::to_string(95 + any(80)));
  Field(out, "EqutInterieur", Codes(random, 8));
  Field(out, "EqutExterieur", Codes(random, 7));
  Field(out, "EqutSecurite", Codes(random, 6));
  Field(out, "InfoComplement", Codes(random, 4));
  Field(out, "MsgAnnonce", "Véhicule révisé, contrôle technique à jour. Reprise possible.");
  Field(out, "HorairesCommercial", "Du lundi au samedi de 8h30 à 19h00");
  for (int n = 1; n <= 6; ++n) out += "      <NomPhoto" + std::to_string(n) + "/>\n";
  if (fields == StockFields::kAutoScout24) {
    AutoScout24Fields(out, extra, make,
                      std::string(kModels[static_cast<size_t>(id) % kModels.size()]));
  }
  if (fields == StockFields::kInfoPress) {
    InfoPressFields(out, extra, make,
                    std::string(kModels[static_cast<size_t>(id) % kModels.size()]));
  }
  out += "    </DataVO>\n";
}

}  // namespace

std::string MakeStockDocument(int vehicles, unsigned seed, StockFields fields) {
  std::mt19937 random(seed);
  std::mt19937 extra(seed + 1);
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document>\n";
  out += "  <COORDONNEESS EOF=\"False\" RecordName=\"COORDONNEES\">\n";
  for (int s = 1; s <= kSites; ++s) {
    out += "    <COORDONNEES>\n";
    Field(out, "CODECLIENT", "C" + std::to_string(7000 + s));
    Field(out, "InfoVille", std::string(kTowns[static_cast<size_t>(s) % kTowns.size()]));
    Field(out, "LIBELLEVILLE", std::string(kTowns[static_cast<size_t>(s) % kTowns.size()]));
    out += "    </COORDONNEES>\n";
  }
  out += "  </COORDONNEESS>\n  <DataVOS EOF=\"False\" RecordName=\"DataVO\">\n";
  for (int id = 1; id <= vehicles; ++id) Vehicle(out, random, extra, id, fields);
  out += "  </DataVOS>\n  <InfosSRS EOF=\"False\" Type=\"SR\" RecordName=\"InfosSR\">\n";
  for (int s = 1; s <= kSites; ++s) {
    out += "    <InfosSR>\n";
    Field(out, "idSite", "SITE" + std::to_string(s));
    Field(out, "Site", "SITE" + std::to_string(s));
    Field(out, "Telephone", "03 81 " + std::to_string(10 + s) + " 00 00");
    Field(out, "SRTel", "0 800 " + std::to_string(100 + s) + " 000");
    Field(out, "Mail", "vente" + std::to_string(s) + "@garage-exemple.fr");
    Field(out, "SRMail", "contact@garage-exemple.fr");
    out += "    </InfosSR>\n";
  }
  out += "  </InfosSRS>\n  <LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">\n";
  std::uniform_int_distribution<int> photos(4, 8);
  for (int id = 1; id <= vehicles + vehicles / 100; ++id) {
    for (int p = photos(random); p > 0; --p) {
      out += "    <LiensImages>\n";
      Field(out, "idVO", std::to_string(id));
      Field(out, "NomImage", "2024/" + std::to_string(id) + "/photo-" + std::to_string(p));
      out += "    </LiensImages>\n";
    }
  }
  out += "  </LiensImagesS>\n  <LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">\n";
  for (int i = 0; i < kEquipmentCodes; ++i) {
    out += "    <LiensEquipements>\n";
    Field(out, "AbbrEquip", Code(i));
    Field(out, "LibelleEquipement",
          std::string(kLabelWords[static_cast<size_t>(i) % kLabelWords.size()]) + " n°" +
              std::to_string(i));
    out += "    </LiensEquipements>\n";
  }
  out += "  </LiensEquipementsS>\n  <Aliases EOF=\"True\" RecordName=\"Alias\"/>\n</document>\n";
  return AnsiToUtf8(out);
}

}  // namespace listelo::bench
