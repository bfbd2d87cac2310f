// AxeCibles: one line of 59 quoted, semicolon-separated columns per vehicle, behind a
// header line, close to the AnnoncesJaunes file but shorter: 1/0 instead of O/N, the
// sale's state (type of sale, order date, reservation, business vehicle) and the site's
// AxeCibles identifier at the end. The file is written as a dated copy and as
// AxeCibles.csv in the export folder, zipped alone into AxeCibles.zip and uploaded, by
// default to the dealer's export folder on the maker's FTP host. The closing line counts
// the business, reserved and sold vehicles.
//
// "Description véhicule" (column 11) carries the composed advertisement text, as in the
// AnnoncesJaunes file: the contact and the telephone have columns of their own.
#include <string>
#include <string_view>

#include "app/run.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "exporters/quoted_advert.h"
#include "transforms/advert_text.h"
#include "transforms/contact.h"
#include "transforms/equipment.h"
#include "transforms/fields.h"
#include "transforms/values.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

// The run's sales counts, for the closing line.
struct SalesCounts {
  int business = 0;  // InfoVA exactly "VA"
  int reserved = 0;  // CptReservation exactly "1"
  int sold = 0;      // a DateOrdre
};

// "5" for a vehicle sold to the trade (StatutVD "VDZ"), "3" for a new one (TypeVO 2),
// "2" for the others.
std::string SaleType(IXMLCursor& record) {
  if (record.GetValue("StatutVD") == "VDZ") return "5";
  return record.GetValue("TypeVO") == "2" ? "3" : "2";
}

void AddColumns(AdvertColumns& c, IXMLCursor& record, const AdvertVehicle& v, SalesCounts& counts) {
  const EquipmentLists& l = v.lists;
  c.Value("Référence", v.reference);  // 1
  c.Fields({{"Site", "RefVille"}});
  c.Value("Nom contact", ContactUnlessStandard(record.GetValue("NomContact")));
  c.Fields({{"Contact téléphone", "telephone"},
            {"Contact email", "email"},  // 5
            {"Type véhicule", "TypeVehicule"}});
  c.Value("Type de Vente", SaleType(record));
  c.Fields({{"Marque", "Marque"}, {"Modèle", "Modele"}, {"Version", "Version"}});
  c.Value("Description véhicule", ComposeDescription(record, l, v.reference));  // 11
  c.Fields({{"Prix", "Prix"},
            {"Année", "AnneeMEC"},
            {"MEC", "MEC"},
            {"Kilométrage", "Kilometrage"},  // 15
            {"Date Commande", "DateOrdre"}});
  c.Flag("Réservation", record.GetValue("CptReservation") == "1");
  const bool business = record.GetValue("InfoVA") == "VA";
  c.Flag("Véhicule Affaire", business);
  if (business) ++counts.business;
  c.Flag("Garantie constructeur",
         HasEquipmentCode(l.options, "GarCons") || record.GetValue("TypeVO") == "2");
  c.Value("Garantie garage", std::to_string(LeadingNumber(record.GetValue("Garantie"), 0)));  // 20
  c.Fields({{"Chevaux fiscaux", "Puissance"},
            {"Energie", "Energie"},
            {"Couleur extérieure", "Couleur"},
            {"Couleur intérieure", "CouleurInt"},
            {"Boite Vitesse", "TypeBoiteVitesse"},
            {"Nombre Places", "NbPlaces"}});  // 21-26
  c.Value("Nombre portes", std::to_string(LeadingNumber(record.GetValue("NombreDePortes"), 0)));
  c.Flags(l.safety, {{"Anti-démarrage", "AntiDem"}});
  c.Value("Climatisation", HeldEquipmentLabels(record, l.interior, {"Clim", "ClimAuto"}));
  c.Value("Toit ouvrant", HeldEquipmentLabels(record, l.interior, {"ToitOuvr"}));  // 30
  c.Value("Audio", HeldEquipmentLabels(record, l.interior, {"RadCD", "RadMP3", "RadCass"}));
  c.Flags(l.options, {{"Non fumeur", "VNF"}});  // 32-39
  c.Flags(l.safety, {{"Alarme", "Alarme"}});
  c.Flags(l.interior, {{"GPS", "GPS"}});
  c.Flags(l.safety, {{"ABS", "ABS"}, {"ESP", "ESP"}});
  c.Flags(l.interior, {{"Régulateur vitesse", "RegVit"}});
  c.Flags(l.exterior, {{"Rétroviseurs électriques", "RetrElec"}});
  c.Flags(l.interior, {{"Ordinateur de bord", "OrdiBord"}});
  c.Value("Airbags",
          HeldEquipmentLabels(record, l.safety, {"AirbagCond", "AirbagPass", "AirbagLat"}));
  c.Flags(l.interior, {{"Direction assistée", "DirAss"}});  // 41-52
  c.Flags(l.safety, {{"Fermeture centralisée", "VerCent"},
                     {"Phares anti-brouillard", "AntiBrou"},
                     {"Phares xénon", "LXen"}});
  c.Flags(l.interior, {{"Sièges chauffants", "SChauf"},
                       {"Sièges électriques", "SElect"},
                       {"Sièges cuir", "SCuir"},
                       {"Vitres électriques", "VitreElec"},
                       {"Vitres teintées", "VitreTeint"},
                       {"Volant multifonctions", "VMFonct"}});
  c.Flags(l.exterior, {{"Peinture métal", "PMat"}, {"Jantes alu", "JantAll"}});
  c.Photos(v.photos, kAdvertPhotos);  // 53-58
  c.Fields({{"idSite", "ID_AxeCibles"}});
}

void AddVehicle(Run& run, IXMLCursor& main, IXMLCursor& record, QuotedCsvText& csv,
                SalesCounts& counts) {
  ++run.state.vehicle_count;
  const AdvertVehicle vehicle = PrepareAdvertVehicle(run, main, record);
  if (record.GetValue("CptReservation") == "1") ++counts.reserved;
  if (!record.GetValue("DateOrdre").empty()) ++counts.sold;
  AdvertColumns columns(csv, record, kOneZeroColumn);
  AddColumns(columns, record, vehicle, counts);
  csv.EndLine();
}

// " - b Affaires - r Réservés - s Vendus".
std::string SalesSummary(const SalesCounts& counts) {
  return " - " + std::to_string(counts.business) + " Affaires - " +
         std::to_string(counts.reserved) + " Réservés - " + std::to_string(counts.sold) + " Vendus";
}

}  // namespace

void ExportAxeCibles(Run& run) {
  LoadConnectionFields(run, kMakerExportDefaults, kMakerImageServerDefaults);

  XmlCursorPtr main = LoadSourceDocument(run, run.state.export_target);
  XmlCursorPtr records = SelectVehicles(*main);
  ResetCounters(run);

  QuotedCsvText csv(QuoteRule::kDropQuotes);
  SalesCounts counts;
  while (!records->Eof()) {
    AddVehicle(run, *main, *records, csv, counts);
    records->Next();
    run.window().ProcessEvents();
  }

  DeliverQuotedFile(run, csv.Text(), ExportFolder(run) + "\\AxeCibles", SalesSummary(counts));
  FinishRun(run);
}

}  // namespace listelo
