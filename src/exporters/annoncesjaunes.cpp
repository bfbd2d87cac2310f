// AnnoncesJaunes: one line of 115 quoted, semicolon-separated columns per vehicle, behind
// a header line: identification, price and address, contact, a long row of O/N
// equipment columns read from the vehicle's code lists, the warranty's end date and six
// photo addresses. The file is written as a dated copy and as <idClient>.csv in the
// export folder, zipped alone into <idClient>.zip and uploaded to the target's gateway.
// Photos are only referred to by their address: nothing goes to the image server.
//
// Where the portal's description leaves the choice to us:
// - "Description véhicule" (column 5) carries the composed advertisement text
//   (ComposeDescription): the contact and the telephone have columns of their own.
// - "Anti-patinage" (column 61) tests the code AntiPat, the one the stock database
//   writes for traction control and the other exporters read.
// - A negative warranty has no end date; "Garantie garage" still shows the number read.
#include <string>
#include <string_view>

#include "app/run.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "exporters/quoted_advert.h"
#include "platform/regional.h"
#include "transforms/advert_text.h"
#include "transforms/contact.h"
#include "transforms/equipment.h"
#include "transforms/fields.h"
#include "transforms/values.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

const ConnectionDefaults kGatewayDefaults = {"images.concession.invalid", "xxx", "xxx", ""};
constexpr const char* kDefaultClientNumber = "000000";

// 1 for the driver's airbag, 1 for the passenger's, 2 for the side airbags.
int AirbagCount(std::string_view safety) {
  return (HasEquipmentCode(safety, "AirbagCond") ? 1 : 0) +
         (HasEquipmentCode(safety, "AirbagPass") ? 1 : 0) +
         (HasEquipmentCode(safety, "AirbagLat") ? 2 : 0);
}

// The end of the dealer's own warranty, in the short date format.
std::string WarrantyEnd(const Run& run, int months, const EquipmentLists& lists) {
  if (months == 0 || !HasEquipmentCode(lists.options, "Gar")) return "";
  const DateTime now = run.host().clock.Now();
  const std::optional<CalendarDate> end = WarrantyEndDate(months, now);
  if (!end) return "";
  DateTime day;
  day.year = end->year;
  day.month = end->month;
  day.day = end->day;
  return FormatDateTime("ddddd", day, run.regional());
}

// The vehicle's warranty: months as read and the end date, empty when there is none.
struct Warranty {
  int months = 0;
  std::string end;
};

void AddColumns(AdvertColumns& c, IXMLCursor& record, const AdvertVehicle& v,
                const Warranty& warranty, const std::string& client_number) {
  const EquipmentLists& l = v.lists;
  c.Value("Code agence", client_number);  // 1
  c.Value("Référence annonce", v.reference);
  c.Fields({{"Type véhicule", "TypeVehicule"}, {"Titre annonce", "TitreAnnonce"}});
  c.Value("Description véhicule", ComposeDescription(record, l, v.reference));  // 5
  c.Fields({{"Ancienneté", "Anciennete"},
            {"Prix", "Prix"},
            {"Adresse", "Adresse"},
            {"Code postal", "CodePostal"},
            {"Commune", "LibelleVille"},
            {"Pays", "Pays"}});
  c.Value("Url", v.photos.empty() ? "" : v.photos.front());  // 12
  c.Empty({"Description Url"});
  c.Value("Nom contact", ContactUnlessStandard(record.GetValue("NomContact")));
  c.Fields({{"Contact téléphone fixe", "telephone"},  // 15
            {"Contact téléphone mobile", "mobile"},
            {"Contact email", "email"},
            {"Couleur extérieure", "Couleur"},
            {"Couleur intérieure", "CouleurInt"}});
  c.Value("Audio", HeldEquipmentLabels(record, l.interior, {"RadCD", "RadMP3", "RadCass"}));  // 20
  c.Fields({{"Energie", "Energie"}});
  c.Empty({"Habitable utilitaire"});
  c.Value("Toit ouvrant", HeldEquipmentLabels(record, l.interior, {"ToitOuvr"}));
  c.Value("Climatisation", HeldEquipmentLabels(record, l.interior, {"Clim", "ClimAuto"}));
  c.Fields({{"Marque", "Marque"},  // 25
            {"Modèle", "Modele"},
            {"Version", "Version"},
            {"Mise en circulation", "MEC"},
            {"Année modèle", "AnneeMEC"},
            {"Immatriculation", "Immatriculation"}});
  c.Value("Numéro stock", v.reference);  // 31
  c.Fields({{"Kilométrage", "Kilometrage"}});
  c.Value("Kilométrage garanti", "O");
  c.Value("Date limite garantie", warranty.end);
  c.Flags(l.options, {{"Garantie constructeur", "GarCons"}});  // 35
  c.Value("Garantie garage", std::to_string(warranty.months));
  c.Fields({{"Chevaux fiscaux", "Puissance"}});
  c.Empty({"Puissance chevaux Din"});
  c.Flag("Collaborateur", record.GetValue("TypeVO") == "3");
  c.Empty({"Première main"});  // 40
  c.Flags(l.options, {{"Non fumeur", "VNF"}});
  c.Value("Carnet entretien à jour", "O");
  c.Flags(l.safety, {{"Alarme", "Alarme"}});
  c.Flags(l.interior, {{"GPS", "GPS"}});
  c.Flags(l.safety, {{"ABS", "ABS"}});
  c.Flags(l.interior, {{"Régulateur vitesse", "RegVit"}});
  c.Empty({"Rétroviseurs rabattables", "Rétroviseurs chauffants"});
  c.Flags(l.exterior, {{"Rétroviseurs électriques", "RetrElec"}});  // 50
  c.Flags(l.interior, {{"Ordinateur de bord", "OrdiBord"}});
  c.Value("Nombre airbags", std::to_string(AirbagCount(l.safety)));
  c.Flags(l.interior, {{"Direction assistée", "DirAss"}});
  c.Flags(l.safety, {{"Fermeture centralisée", "VerCent"}});
  c.Empty({"Fermeture distance"});
  c.Flags(l.interior, {{"Vitres électriques avant", "VitreElec"}});  // 55
  c.Empty({"Vitres électriques arrière", "Cylindrée"});
  c.Value("Nombre portes", std::to_string(LeadingNumber(record.GetValue("NombreDePortes"), 0)));
  c.Flag("Boite automatique", record.GetValue("TypeBoiteVitesse") == "Automatique");
  c.Flags(l.safety, {{"Anti-démarrage", "AntiDem"}, {"Anti-patinage", "AntiPat"}});
  c.Empty({"Chassis sport", "Contrôle pression pneus", "Détecteur pluie"});
  c.Flags(l.safety, {{"ESP", "ESP"}});  // 65
  c.Empty({"Lave-phares"});
  c.Flags(l.safety, {{"Phares anti-brouillard", "AntiBrou"}, {"Phares xénon", "LXen"}});
  c.Empty({"Phares allumage auto", "Pont auto-bloquant", "Siège enfant", "Quatre roues motrices",
           "Attelage", "Hard top"});                   // 69-74
  c.Flags(l.exterior, {{"Radar recul", "Radrecul"}});  // 75
  c.Empty({"Suspension sport", "Filet anti-remous", "Banquette deux tiers un tiers",
           "Barres de toit", "Aileron", "Marche-pied", "Pare-buffle", "Porte coulissante",
           "Rideaux arrière", "Rideaux paresoleil latéreaux"});  // 76-85
  c.Flags(l.interior, {{"Sièges chauffants", "SChauf"}, {"Sièges électriques", "SElect"}});
  c.Empty({"Sièges alcantara"});
  c.Flags(l.interior, {{"Sièges cuir", "SCuir"}});
  c.Empty({"Sièges mémoire", "Sièges sport", "Téléphone"});  // 90-92
  c.Flags(l.interior, {{"Vitres teintées", "VitreTeint"}});
  c.Empty({"Volant cuir"});
  c.Flags(l.interior, {{"Volant multifonctions", "VMFonct"}});  // 95
  c.Empty({"Volant réglable", "Accoudoir central", "Capote électrique", "Full cuir",
           "Insertion bois", "Pack électrique"});  // 96-101
  c.Flags(l.exterior, {{"Peinture métal", "PMat"}, {"Jantes alu", "JantAll"}});
  c.Empty({"Diamètre jantes pouces", "Cloison séparation", "Hayon élévateur",
           "Poids max kg"});  // 104-107
  c.Flags(l.interior, {{"Chauffage auxiliaire", "ChaufAux"}});
  c.Empty({"Réfrigéré"});
  c.Photos(v.photos, kAdvertPhotos);  // 110-115
}

void AddVehicle(Run& run, IXMLCursor& main, IXMLCursor& record, QuotedCsvText& csv,
                const std::string& client_number) {
  ++run.state.vehicle_count;
  const AdvertVehicle vehicle = PrepareAdvertVehicle(run, main, record);
  Warranty warranty;
  warranty.months = LeadingNumber(record.GetValue("Garantie"), 0);
  warranty.end = WarrantyEnd(run, warranty.months, vehicle.lists);
  AdvertColumns columns(csv, record, kYesNoColumn);
  AddColumns(columns, record, vehicle, warranty, client_number);
  csv.EndLine();
}

}  // namespace

void ExportAnnoncesJaunes(Run& run) {
  const std::string& target = run.state.export_target;
  LoadConnectionFields(run, kGatewayDefaults);
  const std::string client_number = run.Config(target, "idClient", kDefaultClientNumber);

  XmlCursorPtr main = LoadSourceDocument(run, target);
  XmlCursorPtr records = SelectVehicles(*main);
  ResetCounters(run);

  QuotedCsvText csv(QuoteRule::kDropQuotes);
  while (!records->Eof()) {
    AddVehicle(run, *main, *records, csv, client_number);
    records->Next();
    run.window().ProcessEvents();
  }

  DeliverQuotedFile(run, csv.Text(), ExportFolder(run) + "\\" + client_number);
  FinishRun(run);
}

}  // namespace listelo
