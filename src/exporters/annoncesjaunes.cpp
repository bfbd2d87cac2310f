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
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "app/files.h"
#include "app/run.h"
#include "exporters/export_output.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
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
constexpr size_t kPhotoColumns = 6;

// What the columns take from a vehicle besides its fields as they stand.
struct Vehicle {
  std::string reference;
  EquipmentLists lists;
  std::vector<std::string> photos;  // the first six addresses
  int warranty_months = 0;
  std::string warranty_end;  // "dd/mm/yyyy", or empty
};

// The columns of one line: every value goes in under its header, which the header line
// collects while the first vehicle is written.
class Columns {
 public:
  Columns(QuotedCsvText& csv, IXMLCursor& record) : csv_(csv), record_(record) {}

  void Value(std::string_view header, std::string_view value) { csv_.Add(value, header); }
  void Field(std::string_view header, std::string_view field) {
    csv_.Add(record_.GetValue(field), header);
  }
  void Empty(std::initializer_list<std::string_view> headers) {
    for (std::string_view header : headers) csv_.Add("", header);
  }
  // "O" when the list holds the code, "N" otherwise (an empty list too).
  void YesNo(std::string_view header, std::string_view list, std::string_view code) {
    csv_.Add(EquipmentFlag(list, code, kYesNoColumn), header);
  }
  void YesNo(std::string_view header, bool yes) { csv_.Add(yes ? "O" : "N", header); }

 private:
  QuotedCsvText& csv_;
  IXMLCursor& record_;
};

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

std::string Photo(const Vehicle& vehicle, size_t index) {
  return index < vehicle.photos.size() ? vehicle.photos[index] : "";
}

void AddColumns(Columns& c, IXMLCursor& record, const Vehicle& v,
                const std::string& client_number) {
  const EquipmentLists& l = v.lists;
  c.Value("Code agence", client_number);
  c.Value("Référence annonce", v.reference);
  c.Field("Type véhicule", "TypeVehicule");
  c.Field("Titre annonce", "TitreAnnonce");
  c.Value("Description véhicule", ComposeDescription(record, l, v.reference));  // 5
  c.Field("Ancienneté", "Anciennete");
  c.Field("Prix", "Prix");
  c.Field("Adresse", "Adresse");
  c.Field("Code postal", "CodePostal");
  c.Field("Commune", "LibelleVille");  // 10
  c.Field("Pays", "Pays");
  c.Value("Url", Photo(v, 0));
  c.Empty({"Description Url"});
  c.Value("Nom contact", ContactUnlessStandard(record.GetValue("NomContact")));
  c.Field("Contact téléphone fixe", "telephone");  // 15
  c.Field("Contact téléphone mobile", "mobile");
  c.Field("Contact email", "email");
  c.Field("Couleur extérieure", "Couleur");
  c.Field("Couleur intérieure", "CouleurInt");
  c.Value("Audio", HeldEquipmentLabels(record, l.interior, {"RadCD", "RadMP3", "RadCass"}));  // 20
  c.Field("Energie", "Energie");
  c.Empty({"Habitable utilitaire"});
  c.Value("Toit ouvrant", HeldEquipmentLabels(record, l.interior, {"ToitOuvr"}));
  c.Value("Climatisation", HeldEquipmentLabels(record, l.interior, {"Clim", "ClimAuto"}));
  c.Field("Marque", "Marque");  // 25
  c.Field("Modèle", "Modele");
  c.Field("Version", "Version");
  c.Field("Mise en circulation", "MEC");
  c.Field("Année modèle", "AnneeMEC");
  c.Field("Immatriculation", "Immatriculation");  // 30
  c.Value("Numéro stock", v.reference);
  c.Field("Kilométrage", "Kilometrage");
  c.Value("Kilométrage garanti", "O");
  c.Value("Date limite garantie", v.warranty_end);
  c.YesNo("Garantie constructeur", l.options, "GarCons");  // 35
  c.Value("Garantie garage", std::to_string(v.warranty_months));
  c.Field("Chevaux fiscaux", "Puissance");
  c.Empty({"Puissance chevaux Din"});
  c.YesNo("Collaborateur", record.GetValue("TypeVO") == "3");
  c.Empty({"Première main"});  // 40
  c.YesNo("Non fumeur", l.options, "VNF");
  c.Value("Carnet entretien à jour", "O");
  c.YesNo("Alarme", l.safety, "Alarme");
  c.YesNo("GPS", l.interior, "GPS");
  c.YesNo("ABS", l.safety, "ABS");  // 45
  c.YesNo("Régulateur vitesse", l.interior, "RegVit");
  c.Empty({"Rétroviseurs rabattables", "Rétroviseurs chauffants"});
  c.YesNo("Rétroviseurs électriques", l.exterior, "RetrElec");
  c.YesNo("Ordinateur de bord", l.interior, "OrdiBord");  // 50
  c.Value("Nombre airbags", std::to_string(AirbagCount(l.safety)));
  c.YesNo("Direction assistée", l.interior, "DirAss");
  c.YesNo("Fermeture centralisée", l.safety, "VerCent");
  c.Empty({"Fermeture distance"});
  c.YesNo("Vitres électriques avant", l.interior, "VitreElec");  // 55
  c.Empty({"Vitres électriques arrière", "Cylindrée"});
  c.Value("Nombre portes", std::to_string(LeadingNumber(record.GetValue("NombreDePortes"), 0)));
  c.YesNo("Boite automatique", record.GetValue("TypeBoiteVitesse") == "Automatique");
  c.YesNo("Anti-démarrage", l.safety, "AntiDem");  // 60
  c.YesNo("Anti-patinage", l.safety, "AntiPat");
  c.Empty({"Chassis sport", "Contrôle pression pneus", "Détecteur pluie"});
  c.YesNo("ESP", l.safety, "ESP");  // 65
  c.Empty({"Lave-phares"});
  c.YesNo("Phares anti-brouillard", l.safety, "AntiBrou");
  c.YesNo("Phares xénon", l.safety, "LXen");
  c.Empty({"Phares allumage auto", "Pont auto-bloquant", "Siège enfant", "Quatre roues motrices",
           "Attelage", "Hard top"});               // 69-74
  c.YesNo("Radar recul", l.exterior, "Radrecul");  // 75
  c.Empty({"Suspension sport", "Filet anti-remous", "Banquette deux tiers un tiers",
           "Barres de toit", "Aileron", "Marche-pied", "Pare-buffle", "Porte coulissante",
           "Rideaux arrière", "Rideaux paresoleil latéreaux"});  // 76-85
  c.YesNo("Sièges chauffants", l.interior, "SChauf");
  c.YesNo("Sièges électriques", l.interior, "SElect");
  c.Empty({"Sièges alcantara"});
  c.YesNo("Sièges cuir", l.interior, "SCuir");
  c.Empty({"Sièges mémoire", "Sièges sport", "Téléphone"});  // 90-92
  c.YesNo("Vitres teintées", l.interior, "VitreTeint");
  c.Empty({"Volant cuir"});
  c.YesNo("Volant multifonctions", l.interior, "VMFonct");  // 95
  c.Empty({"Volant réglable", "Accoudoir central", "Capote électrique", "Full cuir",
           "Insertion bois", "Pack électrique"});  // 96-101
  c.YesNo("Peinture métal", l.exterior, "PMat");
  c.YesNo("Jantes alu", l.exterior, "JantAll");
  c.Empty({"Diamètre jantes pouces", "Cloison séparation", "Hayon élévateur",
           "Poids max kg"});  // 104-107
  c.YesNo("Chauffage auxiliaire", l.interior, "ChaufAux");
  c.Empty({"Réfrigéré"});
  static constexpr const char* kPhotoHeaders[kPhotoColumns] = {"Photo1", "Photo2", "Photo3",
                                                               "Photo4", "Photo5", "Photo6"};
  for (size_t i = 0; i < kPhotoColumns; ++i) c.Value(kPhotoHeaders[i], Photo(v, i));  // 110-115
}

// One vehicle: its reference from the make as read, then the make and contact the
// advertisement shows, the lists, the warranty and the photos, and its line.
void AddVehicle(Run& run, IXMLCursor& main, IXMLCursor& record, QuotedCsvText& csv,
                const std::string& client_number) {
  ++run.state.vehicle_count;
  Vehicle vehicle;
  vehicle.reference = RecordAdReference(run, record, record.GetValue("Marque")) + "-" +
                      record.GetValue("refAnnonce");
  vehicle.lists = ReadEquipmentLists(record);
  const std::string make = record.GetValue("Marque");
  if (FullMakeName(make) != make) record.SetValue("Marque", FullMakeName(make));
  ReplaceSiteContact(main, record);
  vehicle.warranty_months = LeadingNumber(record.GetValue("Garantie"), 0);
  vehicle.warranty_end = WarrantyEnd(run, vehicle.warranty_months, vehicle.lists);
  vehicle.photos = VehiclePhotoAddresses(run, main, record.GetValue("idVO"), kPhotoColumns);
  Columns columns(csv, record);
  AddColumns(columns, record, vehicle, client_number);
  csv.EndLine();
}

}  // namespace

void ExportAnnoncesJaunes(Run& run) {
  const std::string& target = run.state.export_target;
  LoadConnectionFields(run, kGatewayDefaults);
  const std::string client_number = run.Config(target, "idClient", kDefaultClientNumber);
  const std::string folder = ExportFolder(run);
  const std::string delivery_file = folder + "\\" + client_number + ".csv";
  const std::string archive = folder + "\\" + client_number + ".zip";

  XmlCursorPtr main = LoadSourceDocument(run, target);
  XmlCursorPtr records = SelectVehicles(*main);
  ResetCounters(run);

  QuotedCsvText csv(QuoteRule::kDropQuotes);
  while (!records->Eof()) {
    AddVehicle(run, *main, *records, csv, client_number);
    records->Next();
    run.window().ProcessEvents();
  }

  const std::string text = csv.Text();
  WriteAnsiStringToFile(
      run, text, folder + "\\" + client_number + "-" + run.FormatNow("yyyymmddhhnn") + ".csv");
  // The archive carries this one file: when it cannot be written the run stops here,
  // rather than upload an old file, or an empty archive, as today's stock.
  WriteDeliveryFile(run, delivery_file, text);

  PackArchive(run, archive, {delivery_file});
  DeliverArchive(run, archive);
  FinishRun(run);
}

}  // namespace listelo
