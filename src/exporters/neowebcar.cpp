// NeoWebCar: one semicolon-separated file with a header line and one line per vehicle,
// put by FTP into the dealer's export folder on the maker's web server; the portal is
// then told by mail where to fetch it. Photos are web addresses on the image server, up
// to seven per vehicle, attached to the vehicle records of the loaded document first
// (the dated copy shows them). Nothing here talks to the image server.
#include <string>
#include <string_view>

#include "app/ini_file.h"
#include "app/run.h"
#include "delivery/ftp_delivery.h"
#include "delivery/mail.h"
#include "exporters/export_output.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "transforms/contact.h"
#include "transforms/equipment.h"
#include "transforms/fields.h"
#include "transforms/options.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

constexpr const char* kDefaultClientName = "TestExportNWC";
// Where the portal fetches the file from: the export folder as the web server shows it.
constexpr const char* kDefaultExportAddress = "http://www.constructeur.invalid/dorvane/export/";

constexpr const char* kPhotoSlot = "LienImage";
constexpr int kPhotoSlots = 7;

constexpr const char* kHeader =
    "N° Châssis;Marque;Modele;TypeVehicule;Version;Couleur;Sellerie;Options;Options3270;"
    "PrixCatalogue;Remise;AideReprise;Prix;KM;MEC;NbPortes;Photo01;Photo02;Photo03;Photo04;"
    "Photo05;Photo06;Photo07;Immatriculation;RefAnnonce;RefSite;Contact;telephone;email;\r\n";

struct Counts {
  int new_vehicles = 0;   // type column "VN"
  int used_vehicles = 0;  // type column "VD"
  int without_photo = 0;
};

// Each photo goes into the first empty address slot of its vehicle; past seven, and
// without a vehicle, it goes nowhere.
void AttachPhotos(Run& run, IXMLCursor& main) {
  XmlCursorPtr photos = SelectPhotos(main);
  run.WriteLog("Après premier Select LiensImages");
  for (; !photos->Eof(); photos->Next()) {
    XmlCursorPtr vehicle = SelectVehicle(main, photos->GetValue("idVO"));
    if (!vehicle->Eof()) {
      FillFirstEmptySlot(*vehicle, kPhotoSlot, kPhotoSlots,
                         PhotoAddress(run, photos->GetValue("NomImage")));
    }
  }
}

// "VD" for "vd occasion"; a vehicle without status is new.
std::string VehicleType(IXMLCursor& record) {
  const std::string type = AnsiUpperCase(record.GetValue("StatutVD").substr(0, 2));
  return type.empty() ? "VN" : type;
}

// The version without the model name. The model is looked for in its own letter case,
// but the first occurrence in any case is the one removed.
std::string VersionWithoutModel(IXMLCursor& record) {
  std::string version = record.GetValue("Version");
  const std::string model = record.GetValue("Modele");
  if (!Contains(version, model)) return version;
  version = ReplaceAll(AnsiReplaceFirstIgnoreCase(version, model, ""), "  ", " ");
  if (!version.empty() && version.front() == ' ') version = version.substr(1, 100);
  return version;
}

// The labels of the options and the three equipment lists, each list closed by "|",
// every label too.
std::string EquipmentLabels(IXMLCursor& record) {
  const std::string options = record.GetValue("InfoOptions");
  const std::string interior = record.GetValue("InfoEquiInterieur");
  const std::string exterior = record.GetValue("InfoEquiExterieur");
  const std::string safety = record.GetValue("InfoEquiSecurite");
  const std::string labels = EquipmentLabelText(
      record, {{options, "", "|"}, {interior, "", "|"}, {exterior, "", "|"}, {safety, "", "|"}});
  return ReplaceAll(labels, ", ", "|");
}

struct Prices {
  std::string discount;  // share of the catalogue price taken off
  std::string sale;
};

// A sale price of 0 stands for the catalogue price.
Prices SalePrices(const Run& run, IXMLCursor& record) {
  const double catalogue = ReadNumber(record.GetValue("PrixCatalogue"), run.regional(), 0);
  double sale = ReadNumber(record.GetValue("Prix"), run.regional(), 0);
  if (sale == 0) sale = catalogue;
  double discount = 0;
  if (sale > 0 && catalogue > sale) discount = (catalogue - sale) / catalogue;
  return {FormatGeneralNumber(discount, run.regional()), FormatGeneralNumber(sale, run.regional())};
}

std::string AdReference(const Run& run, IXMLCursor& record) {
  return RecordAdReference(run, record, record.GetValue("Marque")) + "-" + record.GetValue("idNVO");
}

std::string Mileage(IXMLCursor& record) {
  const std::string mileage = record.GetValue("Kilometrage");
  return mileage == "0" ? "10" : mileage;
}

std::string FirstRegistration(const Run& run, IXMLCursor& record) {
  const std::string date = record.GetValue("MEC");
  return date.empty() ? run.FormatNow("dd/mm/yyyy") : date;
}

std::string Registration(IXMLCursor& record) {
  const std::string registration = record.GetValue("Immatriculation");
  return registration.empty() ? "AA000AA" : registration;
}

void AddVehicleLine(Run& run, IXMLCursor& record, std::string& lines, Counts& counts) {
  ++run.state.vehicle_count;
  if (record.GetValue("LienImage1").empty()) ++counts.without_photo;
  const std::string reference = AdReference(run, record);
  const Prices prices = SalePrices(run, record);
  const std::string type = VehicleType(record);

  AddCsvField(lines, record.GetValue("NChassis"));  // 1
  AddCsvField(lines, record.GetValue("Marque"));
  AddCsvField(lines, record.GetValue("Modele"));
  AddCsvField(lines, type);
  AddCsvField(lines, VersionWithoutModel(record));  // 5
  AddCsvField(lines, record.GetValue("Couleur"));
  AddCsvField(lines, record.GetValue("CouleurInt"));
  AddCsvField(lines, EquipmentLabels(record));
  AddCsvField(lines, UpperCaseItems(record.GetValue("Options3270"), "|"));
  AddCsvField(lines, record.GetValue("PrixCatalogue"));  // 10
  AddCsvField(lines, prices.discount);
  AddCsvField(lines, record.GetValue("MontantAideReprise"));
  AddCsvField(lines, prices.sale);
  AddCsvField(lines, Mileage(record));
  AddCsvField(lines, FirstRegistration(run, record));  // 15
  AddCsvField(lines, record.GetValue("NbPortes"));
  for (int slot = 1; slot <= kPhotoSlots; ++slot) {  // 17 to 23
    AddCsvField(lines, record.GetValue(kPhotoSlot + std::to_string(slot)));
  }
  AddCsvField(lines, Registration(record));  // 24
  AddCsvField(lines, reference);
  AddCsvField(lines, record.GetValue("RefSite"));
  AddCsvField(lines, ContactUnlessStandard(record.GetValue("Contact")));
  AddCsvField(lines, record.GetValue("telephone"));
  AddCsvField(lines, record.GetValue("email"));  // 29
  lines += "\r\n";

  if (type == "VN") ++counts.new_vehicles;
  if (type == "VD") ++counts.used_vehicles;
}

// "3 Véhicules, 1 VN, 2 VD, 1 sans photo": the counts that are not 0; empty without
// vehicles.
std::string Summary(int vehicles, const Counts& counts) {
  std::string summary;
  if (vehicles > 0) summary = std::to_string(vehicles) + " Véhicule" + (vehicles > 1 ? "s" : "");
  if (counts.new_vehicles > 0) summary += ", " + std::to_string(counts.new_vehicles) + " VN";
  if (counts.used_vehicles > 0) summary += ", " + std::to_string(counts.used_vehicles) + " VD";
  if (counts.without_photo > 0) {
    summary += ", " + std::to_string(counts.without_photo) + " sans photo";
  }
  return summary;
}

}  // namespace

void ExportNeoWebCar(Run& run) {
  const std::string& target = run.state.export_target;
  // The export folder lives on the maker's web server, under the image server's account.
  LoadConnectionFields(run, kMakerExportDefaults, kMakerImageServerDefaults);
  const bool send = OnUnlessZero(run.Config(target, "TestSend", "1"));
  const std::string client_name = run.Config(target, "idClient", kDefaultClientName);
  const std::string export_address = run.Config(target, "URLExport", kDefaultExportAddress);
  const std::string folder = run.WindowsFolder() + "\\Temp\\Listelo\\";
  const std::string output_file = folder + client_name + ".csv";
  EnsureFolder(run, ExportFolder(run));

  XmlCursorPtr main = LoadSourceDocument(run, target);
  XmlCursorPtr records = SelectVehicles(*main);
  ResetCounters(run);
  std::string lines = kHeader;

  AttachPhotos(run, *main);
  // The vehicle pass only reads the document: it is copied out meanwhile.
  BackgroundSnapshot dated_copy(main);
  Counts counts;
  for (; !records->Eof(); records->Next()) {
    AddVehicleLine(run, *records, lines, counts);
    run.window().ProcessEvents();
  }

  dated_copy.Save(folder + run.FormatNow("yyyymmddhhnn") + ".xml");
  // Uploaded and announced only once it is really there.
  WriteDeliveryFile(run, output_file, lines);
  const std::string summary = Summary(run.state.vehicle_count, counts);

  run.WriteLog("");
  run.WriteLog("Fichier Transféré par Mail : " + output_file);
  if (send) {
    const std::string result = SendFileFTP(run, output_file, true);
    run.WriteLog(result + "Fichier VO actualisé sur site FTP : " + summary);
    SendMail(run, export_address + std::string(WindowsFileName(output_file)), summary);
  }
  FinishRun(run);
}

}  // namespace listelo
