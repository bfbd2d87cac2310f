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

constexpr int kLArgusAccounts = 50;
constexpr std::array<std::string_view, 5> kBodyTypes = {"Citadine", "coupé", "Break", "Société",
                                                        "Limousine"};

void LArgusFields(std::string& out, std::mt19937& random, int id) {
  auto any = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  Field(out, "id-Client", std::to_string(300000 + any(kLArgusAccounts)));
  Field(out, "TypeCarrosserie", std::string(kBodyTypes[any(kBodyTypes.size())]));
  Field(out, "Chassis", "VF3" + std::to_string(10000000 + id));
  Field(out, "CodePostal", std::to_string(25000 + any(999)));
  Field(out, "Ville", std::string(kTowns[any(kTowns.size())]));
}

// The town of the dealer's site s (1-based) in a SitAutoPro document.
std::string SiteTown(int s) { return "Ville-" + std::to_string(s) + "-sur-Lys"; }

// The SitAutoPro and LeBonCoin fields, TUNING last as the stock database writes it.
void SitAutoProFields(std::string& out, std::mt19937& random, int id, const std::string& make,
                      const std::string& model) {
  auto any = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  static constexpr std::array<std::string_view, 6> kCategories = {"Berline", "Break", "Monospace",
                                                                  "4x4",     "Coupé", "Société"};
  static constexpr std::array<std::string_view, 4> kContacts = {"STANDARD", "Julie Roussel",
                                                                "Marc DELAPORTE", "standard"};
  static constexpr const char* kFlags[] = {"AUTO_RADIO",
                                           "CLIMATISATION",
                                           "DIRECTION_ASSISTEE",
                                           "FERMETURE_CENTRALISEE",
                                           "GPS",
                                           "ORDINATEUR_DE_BORD",
                                           "PORTE_BAGAGE",
                                           "RETROVISEURS_ELECTRIQUES",
                                           "SIEGES_CHAUFFANTS",
                                           "SIEGES_ELECTRIQUES",
                                           "INTERIEUR",
                                           "TOIT_OUVRANT",
                                           "TOIT_PANORAMIQUE",
                                           "VITRES_ELECTRIQUES",
                                           "VITRES_SURTEINTEES",
                                           "VOLANT_MULTIFONCTIONS",
                                           "ABS",
                                           "AIRBAGS_FRONTAUX",
                                           "AIRBAGS_LATERAUX",
                                           "ALARME",
                                           "ANTI_DEMARRAGE",
                                           "ANTI_PATINAGE",
                                           "CONTROLE_PRESSION_DES_PNEUS",
                                           "ESP",
                                           "PHARES_ANTIBROUILLARD",
                                           "PROJECTEURS_XENON",
                                           "ATTELAGE",
                                           "JANTES",
                                           "NON_FUMEUR",
                                           "REGULATEUR_DE_VITESSE"};
  const size_t blank = model.find(' ');
  Field(out, "REFERENCE", std::to_string(900000 + id));
  Field(out, "MARQUE", any(8) ? make : "VW");
  Field(out, "MODELE", model.substr(0, blank));
  Field(out, "VERSION", model);
  Field(out, "CATEGORIE", std::string(kCategories[any(kCategories.size())]));
  Field(out, "GARANTIE", std::to_string(6 * (1 + any(4))) + " mois");
  Field(out, "NB_PORTES", any(2) ? "5 portes avec hayon" : "3p");
  Field(out, "PREMIERE_MAIN", any(2) ? "1" : "0");
  Field(out, "TELEPHONE_A_AFFICHER", "03 81 " + std::to_string(10 + any(89)) + " 00 00");
  Field(out, "EMAIL_A_AFFICHER", "vente" + std::to_string(any(kSites)) + "@garage-exemple.fr");
  Field(out, "CONTACT_A_AFFICHER", std::string(kContacts[any(kContacts.size())]));
  Field(out, "MsgGarCons", any(2) ? "Garantie 12 mois pièces et main-d’œuvre" : "");
  Field(out, "LibelleSociete", "Garage Exemple");
  for (int n = 1; n <= 6; ++n)
    out += "      <NOMPHOTO" + std::to_string(n) + "></NOMPHOTO" + std::to_string(n) + ">\n";
  Field(out, "EQUTINTERIEUR", NamedCodes(random, kInteriorCodes));
  Field(out, "EQUTEXTERIEUR", NamedCodes(random, kExteriorCodes));
  Field(out, "EQUTSECURITE", NamedCodes(random, kSafetyCodes));
  Field(out, "INFOCOMPLEMENT", any(2) ? ";VNF;" : ";");
  for (const char* flag : kFlags) Field(out, flag, "");
  Field(out, "equipements", "");
  Field(out, "TUNING", "");
}

// The fields of the TopAnnonces document, after the common ones.
void TopAnnoncesFields(std::string& out, std::mt19937& random, int id) {
  auto any = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  const std::string make(kMakes[any(kMakes.size())]);
  const std::string model(kModels[static_cast<size_t>(id) % kModels.size()]);
  Field(out, "reference", std::to_string(500000 + id));
  Field(out, "marque", make);
  Field(out, "modele", model.substr(0, model.find(' ')));
  Field(out, "tel_agence", "03 81 " + std::to_string(10 + any(kSites)) + " 00 00");
  Field(out, "accroche_url", "");
  Field(out, "texte", "");
  Field(out, "Carrosserie", any(2) ? "Berline" : "Break");
  Field(out, "BOITE_DE_VITESSE", any(3) ? "Manuelle" : "automatique");
  Field(out, "NB_PORTES", any(2) ? "5 portes avec hayon" : "3p");
  Field(out, "YearMEC", std::to_string(2010 + any(14)));
  Field(out, "FirstMEC",
        "0" + std::to_string(1 + any(9)) + "/0" + std::to_string(1 + any(9)) + "/20" +
            std::to_string(10 + any(14)));
  Field(out, "complements", "");
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

// The maker's option list: codes in capitals among free texts.
std::string CatalogueOptions(std::mt19937& random) {
  auto any = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  std::string list;
  for (int i = 0; i < 12; ++i) {
    if (i > 0) list += ", ";
    list += any(2) ? "OPT" + std::to_string(any(400)) : "Peinture métallisée " + std::to_string(i);
  }
  return list;
}

void NeoWebCarFields(std::string& out, std::mt19937& random) {
  auto any = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  Field(out, "StatutVD", any(3) ? "VD occasion" : (any(2) ? "VN" : ""));
  const size_t catalogue = 9000 + any(30000);
  Field(out, "PrixCatalogue", std::to_string(catalogue));
  Field(out, "MontantAideReprise", any(4) ? "" : "1500");
  Field(out, "InfoOptions", Codes(random, 3));
  Field(out, "InfoEquiInterieur", Codes(random, 8));
  Field(out, "InfoEquiExterieur", Codes(random, 6));
  Field(out, "InfoEquiSecurite", Codes(random, 6));
  Field(out, "Options3270", CatalogueOptions(random));
  Field(out, "NbPortes", std::to_string(3 + 2 * any(2)));
  Field(out, "Contact", any(2) ? "Standard" : "Hélène Lefèvre");
}

std::string Date(std::mt19937& random, int first_year) {
  auto any = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  return std::to_string(10 + any(18)) + "/0" + std::to_string(1 + any(9)) + "/" +
         std::to_string(first_year + any(5));
}

void PvoFields(std::string& out, std::mt19937& random, const std::string& make,
               const std::string& model) {
  auto any = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  const size_t state = any(4);  // delivered, ordered, consignment, in stock
  Field(out, "DateLivraison", state == 0 ? Date(random, 2024) : "");
  Field(out, "DateOrdre", state <= 1 ? Date(random, 2024) : "");
  Field(out, "DateEntree", Date(random, 2023));
  Field(out, "DateCarteGrise", Date(random, 2012));
  Field(out, "DateControleTechnique", Date(random, 2025));
  Field(out, "FlagDepotVente", state == 2 ? "True" : "False");
  Field(out, "FlagAccident", "False");
  Field(out, "Origine", any(2) ? "VO" : "AC");
  Field(out, "Destination", any(2) ? "Particuliers" : "Marchands");
  Field(out, "Provenance", "Reprise");
  Field(out, "CNIT", "m10vwgvp" + std::to_string(any(100000)));
  Field(out, "CV", std::to_string(4 + any(10)));
  Field(out, "KW", std::to_string(50 + any(150)));
  Field(out, "Cylindree", std::to_string(1000 + any(2000)));
  Field(out, "NbVitesses", "6");
  Field(out, "InfoCouleur", "Gris Aluminium");
  Field(out, "InfoCouleurInt", "Tissu gris foncé");
  Field(out, "TypeSellerie", "Tissu");
  Field(out, "TypeGarantie", "Constructeur");
  Field(out, "SegmentArgus", "M1");
  Field(out, "CodeAutoRadio", std::to_string(1000 + any(9000)));
  Field(out, "CodeAntiDemarrage", std::to_string(1000 + any(9000)));
  Field(out, "PremiereMain", any(2) ? "True" : "False");
  const size_t price = 8000 + any(30000);
  Field(out, "PrixReprise", std::to_string(price * 7 / 10));
  Field(out, "TVAReprise", "0");
  Field(out, "TPVO", any(2) ? "" : "350,50");
  Field(out, "PrixVente", std::to_string(price) + ",00");
  Field(out, "TVAVente", std::to_string(price / 6) + ",67");
  Field(out, "MtComVendeur", "150");
  Field(out, "MtComIntermediaire", any(5) ? "" : "200");
  Field(out, "Frevo", "420,5");
  Field(out, "FrevoPrevision", "500");
  Field(out, "FrevoTotal", "620,25");
  Field(out, "LibSoc", "Garage Exemple SAS");
  Field(out, "LibSocExpo", "Besançon Expo");
  Field(out, "LieuStockage", "Parc B");
  Field(out, "OrigineVendeur", "REP");
  Field(out, "OrigineVendeurNom", any(2) ? "Reprise client" : "");
  Field(out, "Vendeur", any(5) ? "HLEFEVRE" : "SELECT");
  Field(out, "VendeurNom", "Hélène Lefèvre");
  const bool sold = state <= 1;
  Field(out, "Acheteur", sold ? "Durand" : "");
  Field(out, "CliCivilite", sold ? std::to_string(1 + any(5)) : "");
  Field(out, "CliNom", sold ? "Durand" : "");
  Field(out, "CliPrenom", sold ? "Éric" : "");
  Field(out, "CliAdresse1", sold ? "12 rue des Lilas" : "");
  Field(out, "CliAdresse2", sold ? "Bât. C" : "");
  Field(out, "CliCP", sold ? "25000" : "");
  Field(out, "CliVille", sold ? "Besançon" : "");
  Field(out, "CliPays", sold ? (any(10) ? "France" : "Suisse") : "");
  Field(out, "CliTelDom", sold ? "03 81 00 00 00" : "");
  Field(out, "CliMobile", sold ? "06 00 00 00 00" : "");
  Field(out, "CliEmail", sold ? "eric.durand@exemple.fr" : "");
  Field(out, "CliDateNaissance", sold ? Date(random, 1960) : "");
  Field(out, "IMarque", make);
  Field(out, "IVersion", model);
  Field(out, "TypeCarrosserie", any(8) ? "Berline" : "Fourgon");
  Field(out, "NbPortes", std::to_string(3 + 2 * any(2)) + " portes");
  Field(out, "InfoEquiInterieur", Codes(random, 8));
  Field(out, "InfoEquiExterieur", Codes(random, 6));
  Field(out, "InfoEquiSecurite", Codes(random, 6));
  Field(out, "Options3270", CatalogueOptions(random));
}

// `extra` draws the exporter-specific fields, so that the common ones stay the same
// whichever fields are asked for.
void Vehicle(std::string& out, std::mt19937& random, std::mt19937& extra, int id,
             StockFields fields, int sites) {
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
  const std::string town(kTowns[any(kTowns.size())]);
  Field(out, "InfoVille", fields == StockFields::kSitAutoPro ? SiteTown(1 + id % sites) : town);
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
  if (fields == StockFields::kTopAnnonces) {
    // The model text stands just before the equipment lists in that document.
    Field(out, "MODELEVERSION",
          make + " " + std::string(kModels[static_cast<size_t>(id) % kModels.size()]));
  }
  Field(out, "EqutInterieur", Codes(random, 8));
  Field(out, "EqutExterieur", Codes(random, 7));
  Field(out, "EqutSecurite", Codes(random, 6));
  Field(out, "InfoComplement", Codes(random, 4));
  Field(out, "MsgAnnonce", "Véhicule révisé, contrôle technique à jour. Reprise possible.");
  Field(out, "HorairesCommercial", "Du lundi au samedi de 8h30 à 19h00");
  const char* slot = fields == StockFields::kTopAnnonces ? "NOMPHOTO" : "NomPhoto";
  for (int n = 1; n <= 6; ++n) out += "      <" + (slot + std::to_string(n)) + "/>\n";
  if (fields == StockFields::kTopAnnonces) TopAnnoncesFields(out, extra, id);
  const std::string model(kModels[static_cast<size_t>(id) % kModels.size()]);
  if (fields == StockFields::kAutoScout24) AutoScout24Fields(out, extra, make, model);
  if (fields == StockFields::kNeoWebCar) NeoWebCarFields(out, extra);
  if (fields == StockFields::kPvo) PvoFields(out, extra, make, model);
  if (fields == StockFields::kLArgus) LArgusFields(out, extra, id);
  if (fields == StockFields::kSitAutoPro) SitAutoProFields(out, extra, id, make, model);
  if (fields == StockFields::kInfoPress) InfoPressFields(out, extra, make, model);
  out += "    </DataVO>\n";
}

}  // namespace

std::string MakeStockDocument(int vehicles, unsigned seed, StockFields fields, int sites) {
  std::mt19937 random(seed);
  std::mt19937 extra(seed + 1);
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document>\n";
  // The TopAnnonces document has no dealer-site section: under its root stand only the
  // sections that its markup rewrites know.
  if (fields != StockFields::kTopAnnonces) {
    out += "  <COORDONNEESS EOF=\"False\" RecordName=\"COORDONNEES\">\n";
    for (int s = 1; s <= sites; ++s) {
      const std::string town = fields == StockFields::kSitAutoPro
                                   ? SiteTown(s)
                                   : std::string(kTowns[static_cast<size_t>(s) % kTowns.size()]);
      out += "    <COORDONNEES>\n";
      Field(out, "CODECLIENT", "C" + std::to_string(7000 + s));
      Field(out, "InfoVille", town);
      Field(out, "LIBELLEVILLE", town);
      out += "    </COORDONNEES>\n";
    }
    out += "  </COORDONNEESS>\n";
  }
  out += "  <DataVOS EOF=\"False\" RecordName=\"DataVO\">\n";
  for (int id = 1; id <= vehicles; ++id) Vehicle(out, random, extra, id, fields, sites);
  out += "  </DataVOS>\n  <InfosSRS EOF=\"False\" Type=\"SR\" RecordName=\"InfosSR\">\n";
  for (int s = 1; s <= kSites; ++s) {
    out += "    <InfosSR>\n";
    Field(out, "idSite", "SITE" + std::to_string(s));
    Field(out, "Site",
          fields == StockFields::kTopAnnonces
              ? AnsiUpperCase(kTowns[static_cast<size_t>(s) % kTowns.size()])
              : "SITE" + std::to_string(s));
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
