// AutoScout24 and VPN: one semicolon-separated line per vehicle, in a file named after the
// dealer's client number, with the vehicles' photos copied beside it as reference_n.jpg.
// The whole working folder is zipped into Windows folder + "\TEMP\Listelo\" + client
// number + ".zip" and that archive is uploaded to the target's gateway. The two targets
// differ only in their source document, the vehicle reference and four extra columns
// at the end of each VPN line.
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/run.h"
#include "exporters/export_output.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "photos/image_sync.h"
#include "photos/working_folder_files.h"
#include "platform/text.h"
#include "transforms/equipment.h"
#include "transforms/fields.h"
#include "transforms/values.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

const ConnectionDefaults kGatewayDefaults = {
    "images.concession.invalid", "as0000000000@passerelle.autoscout24.invalid", "placeho1", ""};
constexpr const char* kDefaultClientNumber = "0000000000";
constexpr const char* kDefaultPathTemp = "\\Temp\\AS24";

struct Settings {
  bool autoscout24;  // false: VPN, which has four more columns
  std::string client_number;
  std::string working_folder;
};

// The dealer's equipment lists: codes between ";" (";Clim;GPS;").
struct Equipment {
  std::string interior;  // InfoEquiInterieur
  std::string exterior;  // InfoEquiExterieur
  std::string safety;    // InfoEquiSecurite
};

void AddEmptyFields(std::string& line, int count) {
  for (int i = 0; i < count; ++i) AddCsvField(line, "");
}

void AddFlags(std::string& line, std::string_view list,
              std::initializer_list<std::string_view> codes) {
  for (std::string_view code : codes) AddCsvField(line, EquipmentFlag(list, code, kOneZeroFlag));
}

// AUTOSCOUT24: the advertisement reference (without the make for vehicles of type 1),
// "-", the advertisement number. VPN: the advertisement number alone.
std::string VehicleReference(Run& run, IXMLCursor& record, const Settings& settings) {
  if (!settings.autoscout24) return record.GetValue("idNVO");
  return RecordAdReference(run, record, record.GetValue("IMarque")) + "-" +
         record.GetValue("idNVO");
}

// Copies the vehicle's photos into the working folder as reference_1.jpg, _2, ... in
// document order; returns how many photo records the vehicle has.
int CopyPhotos(Run& run, IXMLCursor& main, IXMLCursor& record, const std::string& reference,
               WorkingFolderFiles& working_folder) {
  int number = 0;
  for (XmlCursorPtr photo = SelectPhotosOfVehicle(main, record.GetValue("idVO")); !photo->Eof();
       photo->Next()) {
    CopySyncImage(run, ++number, photo->GetValue("NomImage") + ".jpg", reference, working_folder);
  }
  return number;
}

// The list price when it is at least the sale price (a sale price of 0 stands for the
// list price), else nothing.
std::string ReferencePrice(const Run& run, IXMLCursor& record) {
  double sale = ReadNumber(record.GetValue("PrixDuBien"), run.regional(), 0);
  double list = ReadNumber(record.GetValue("PrixConstructeur"), run.regional(), 0);
  if (sale == 0) sale = list;
  if (!(list >= sale)) list = 0;
  return list > 0 ? FormatGeneralNumber(list, run.regional()) : "";
}

// "mm.yyyy" from month and year as the stock gives them: a "0" goes in front of a text
// shorter than 7 characters.
std::string FirstRegistration(IXMLCursor& record) {
  std::string text = record.GetValue("MoisMEC") + "." + record.GetValue("AnneeMEC");
  return text.size() < 7 ? "0" + text : text;
}

std::string EmptyWhenZero(std::string value) { return value == "0" ? "" : value; }

std::string Availability(IXMLCursor& record) {
  std::string state = record.GetValue("InfoVR");
  const std::string upper = AnsiUpperCase(state);
  if (upper == "RES") return "Réservé";
  if (upper == "VEN") return "Vendu";
  return state;
}

// Columns 4 to 92, common to both portals.
void AddDescription(std::string& line, IXMLCursor& record, const Equipment& equipment,
                    const std::string& reference_price) {
  const std::string& interior = equipment.interior;
  const std::string& exterior = equipment.exterior;
  const std::string& safety = equipment.safety;
  const std::string guarantee = record.GetValue("Garantie");

  AddCsvField(line, record.GetValue("IMarque"));  // 4
  AddCsvField(line, record.GetValue("IModele"));
  AddCsvField(line, StripMakeFromModel(record.GetValue("IVersion"), record.GetValue("IModele")));
  AddCsvField(line, "Voiture d’occasion");
  AddCsvField(line, record.GetValue("TypeBoiteVitesse"));
  AddCsvField(line, record.GetValue("TypeCarrosserie"));
  AddCsvField(line, record.GetValue("Couleur"));  // 10
  AddFlags(line, exterior, {"PMat"});
  AddEmptyFields(line, 1);
  AddCsvField(line, record.GetValue("Energie"));
  AddCsvField(line, FirstRegistration(record));
  AddCsvField(line, record.GetValue("Kilometrage"));  // 15
  AddCsvField(line, record.GetValue("PrixDuBien"));
  AddCsvField(line, std::to_string(LeadingNumber(record.GetValue("NombreDePortes"), 0)));
  AddCsvField(line, record.GetValue("NbPlaces"));
  AddEmptyFields(line, 1);
  AddCsvField(line, record.GetValue("Puissance"));  // 20
  AddEmptyFields(line, 7);
  AddCsvField(line, reference_price);  // 28
  AddCsvField(line, std::to_string(LeadingNumber(guarantee, 0)));
  AddEmptyFields(line, 2);
  AddFlags(
      line, interior,  // 32
      {"Clim", "ClimAuto", "SCuir", "VitreElec", "GPS", "SElect", "ToitOuvr", "SChauf", "RadCD"});
  AddFlags(line, safety,  // 41
           {"ABS", "AirbagCond", "AirbagPass", "AirbagLat", "LXen", "VerCent", "Alarme", "AntiDem",
            "AntiPat"});
  AddEmptyFields(line, 1);
  AddFlags(line, exterior, {"Tuning", "JantAll", "PorBag"});  // 51
  AddFlags(line, interior, {"OrdiBord"});
  AddFlags(line, exterior, {"Radrecul"});  // 55
  AddFlags(line, safety, {"AntiBrou"});
  AddFlags(line, interior, {"DirAss", "RadCass"});
  AddEmptyFields(line, 3);
  AddCsvField(line, "0");  // 62
  AddEmptyFields(line, 1);
  AddFlags(line, exterior, {"AttRem"});  // 64
  AddFlags(line, safety, {"ESP"});
  AddFlags(line, interior, {"RegVit", "EquHandi"});
  AddEmptyFields(line, 4);
  AddCsvField(line, EmptyWhenZero(record.GetValue("CO2")));  // 72
  AddCsvField(line, guarantee.empty() ? "0" : "1");
  AddEmptyFields(line, 8);
  AddCsvField(line, record.GetValue("NChassis"));  // 82
  AddEmptyFields(line, 3);
  AddFlags(line, exterior, {""});  // 86: a list holding ";;"
  AddEmptyFields(line, 3);
  AddCsvField(line, record.GetValue("Puissance"));  // 90
  AddCsvField(line, record.GetValue("Immatriculation"));
  AddEmptyFields(line, 1);  // 92
}

// Columns 93 to 96, VPN only.
void AddVpnColumns(std::string& line, IXMLCursor& record, const std::string& reference_price) {
  AddCsvField(line, reference_price);
  AddCsvField(line, Availability(record));
  AddCsvField(line, EmptyWhenZero(record.GetValue("pPromo")));
  AddCsvField(line, EmptyWhenZero(record.GetValue("pFlash")));
}

void AddVehicleLine(Run& run, IXMLCursor& main, IXMLCursor& record, const Settings& settings,
                    WorkingFolderFiles& working_folder, std::string& lines) {
  ++run.state.vehicle_count;
  AddCsvField(lines, settings.client_number);  // 1
  const std::string reference = VehicleReference(run, record, settings);
  AddCsvField(lines, reference);
  const int photos = CopyPhotos(run, main, record, reference, working_folder);
  AddCsvField(lines, photos > 0 ? reference + "_1.jpg" : "");  // 3
  const std::string reference_price = ReferencePrice(run, record);
  const Equipment equipment = {record.GetValue("InfoEquiInterieur"),
                               record.GetValue("InfoEquiExterieur"),
                               record.GetValue("InfoEquiSecurite")};
  AddDescription(lines, record, equipment, reference_price);
  if (!settings.autoscout24) AddVpnColumns(lines, record, reference_price);
  lines += "\r\n";
}

}  // namespace

void ExportAutoScout24(Run& run) {
  const std::string& target = run.state.export_target;
  LoadConnectionFields(run, kGatewayDefaults);

  Settings settings;
  settings.autoscout24 = target == "AUTOSCOUT24";
  settings.working_folder = WorkingFolder(run, kDefaultPathTemp);
  EnsureFolder(run, run.WindowsFolder() + "\\TEMP\\AS24");
  EnsureFolder(run, run.WindowsFolder() + "\\TEMP\\VPN");
  // A PathTemp other than those two must exist too, or the photo copies would be lost.
  std::error_code ec;
  std::filesystem::create_directories(run.HostPath(settings.working_folder), ec);
  settings.client_number = run.Config(target, "idClient", kDefaultClientNumber);
  // The folder ends the run holding this run's files alone, as if it had been emptied
  // first; the previous run's photo copies that are still right stay as they are.
  WorkingFolderFiles working_folder(run, settings.working_folder);

  XmlCursorPtr main = LoadSourceDocument(run, target);
  BackgroundSnapshot dated_copy(main);
  XmlCursorPtr records = SelectVehicles(*main);
  ResetCounters(run);

  std::string lines;
  while (!records->Eof()) {
    AddVehicleLine(run, *main, *records, settings, working_folder, lines);
    records->Next();
    run.window().ProcessEvents();
  }

  // The CSV file is the whole point of the archive: when it cannot be written the run
  // stops here, rather than upload the photos alone and report the stock as updated.
  const std::string csv_name = settings.client_number + ".csv";
  working_folder.ClaimFile(csv_name);
  working_folder.RemoveOthers();
  WriteDeliveryFile(run, settings.working_folder + "\\" + csv_name, lines);
  dated_copy.Save(run.WindowsFolder() + "\\Temp\\Listelo\\" + run.FormatNow("yyyymmddhhnn") +
                  ".xml");

  const std::string archive = ExportFolder(run) + "\\" + settings.client_number + ".zip";
  // The working folder, every file of it and nothing below it.
  PackArchive(run, archive, {settings.working_folder + "\\*.*"});
  DeliverArchive(run, archive);
  FinishRun(run);
}

}  // namespace listelo
