// L'Argus: one line of quoted, semicolon-separated text per vehicle, appended to a CSV
// file named after the vehicle's dealer account (id-Client), so that every account gets
// a file of its own in the working folder. Every CSV file of that folder is then
// uploaded, unzipped, to the gateway. Photos are given as their addresses on the image
// server; none is copied or checked.
#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/files.h"
#include "app/run.h"
#include "delivery/ftp_delivery.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "photos/working_folder.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "transforms/contact.h"
#include "transforms/equipment.h"
#include "transforms/fields.h"
#include "transforms/values.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

constexpr size_t kPhotoColumns = 8;
constexpr const char* kDefaultPathTemp = "\\Temp\\Argus";
// The default account is the dealer's one at the ParuVendu gateway's host (user@host).
const ConnectionDefaults kGatewayDefaults = {
    "images.concession.invalid", "dorvane@passerelle.paruvendu.invalid", "PlaceHold2", ""};

// Body-type labels: the first key equal to the vehicle's body type, letter case aside.
struct BodyType {
  std::string_view key;
  std::string_view label;
};
constexpr BodyType kBodyTypes[] = {
    {"4X2", "Tous Terrains"},
    {"4X4", "Tous Terrains"},
    {"Berline", "Berline"},
    {"Citadine", "Berline"},
    {"Break", "Break - Monospace"},
    {"Monospace", "Break - Monospace"},
    {"Cabriolet", "Cabriolet"},
    {"Coupé", "Coupé"},
    {"Fourgon", "Utilitaires et véhicules de société"},
    {"Pick Up", "Utilitaires et véhicules de société"},
    {"Société", "Utilitaires et véhicules de société"},
};

// A mark of the portal's safety or equipment column: written once when any of its codes
// occurs in the vehicle's code text.
struct Mark {
  std::string_view mark;
  std::string_view codes[3];
};
constexpr Mark kSafetyDigits[] = {
    {"1", {"AirbagCond"}}, {"2", {"AirbagPass"}}, {"3", {"ABS"}},
    {"4", {"AirbagLat"}},  {"6", {"ESP"}},
};
// The portal's letters in its own order; there is no "N". A code that another code
// contains is found in it too: "Clim" in "ClimAuto", "Alarm" in "Alarme".
constexpr Mark kEquipmentLetters[] = {
    {"A", {"RadCass"}},
    {"B", {"RadCD"}},
    {"C", {"ToitOuvr"}},
    {"D", {"PMat"}},
    {"E", {"Alarm"}},
    {"F", {"PNeige"}},
    {"G", {"AntiDem"}},
    {"H", {"PorBag"}},
    {"I", {"AntiPat"}},
    {"J", {"PotCat"}},
    {"K", {"AttRem"}},
    {"L", {"RegVit"}},
    {"M", {"RadCD", "RadCass", "RadMP3"}},
    {"O", {"RetrElec"}},
    {"P", {"Clim"}},
    {"Q", {"DirAss"}},
    {"R", {"SCuir"}},
    {"S", {"S1/3"}},
    {"T", {"EquHandi"}},
    {"U", {"SChauf"}},
    {"V", {"VerCent"}},
    {"W", {"SElect"}},
    {"X", {"AntiBrou"}},
    {"Y", {"GPS"}},
    {"Z", {"JantAll"}},
    {"H1", {"VitreElect"}},  // the dealer's code is spelt so, unlike AutoScout24's
    {"J1", {"ToitPano"}},
    {"K1", {"BluToo"}},
    {"L1", {"RPS"}},
    {"M1", {"FiltPart"}},
};

// Why a client identifier cannot name a CSV file of the working folder, or nullptr when
// it can. The name is put between the folder and ".csv" as it stands, so anything that
// would climb out of the folder, name another folder or make Windows refuse the name
// is turned away.
const char* UnusableFileName(std::string_view client) {
  if (client.empty()) return "vide";
  if (client == "." || client == "..") return "ne nomme pas un fichier";
  for (char c : client) {
    if (static_cast<unsigned char>(c) < 0x20) return "contient un caractère de contrôle";
    if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) {
      return "contient un caractère interdit dans un nom de fichier (\\ / : * ? \" < > |)";
    }
  }
  return nullptr;
}

// The identifier as the log shows it: control characters as "?", so that the line
// stays one line.
std::string Printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  }
  return shown;
}

void LogConnectionFields(Run& run) {
  WindowPort& window = run.window();
  run.WriteLog("Param Serveur : " + window.GetField(Field::kServeur));
  run.WriteLog("Param Utilisateur : " + window.GetField(Field::kUser));
  // In clear, as the operator set it: the run log is readable by its owner only.
  run.WriteLog("Param MDP : " + window.GetField(Field::kPassword));
  run.WriteLog("Param Répertoire : " + window.GetField(Field::kRepert));
}

std::string BodyTypeLabel(std::string_view body_type) {
  for (const BodyType& type : kBodyTypes) {
    if (AnsiSameText(body_type, type.key)) return std::string(type.label);
  }
  return AnsiUpperCase(body_type);
}

// The marks whose codes occur in the code text (any letter case), ","-separated.
template <size_t N>
std::string Marks(const Mark (&marks)[N], std::string_view code_text) {
  std::string list;
  for (const Mark& mark : marks) {
    if (std::any_of(std::begin(mark.codes), std::end(mark.codes), [&](std::string_view code) {
          return AnsiContainsIgnoreCase(code_text, code);
        })) {
      if (!list.empty()) list += ',';
      list += mark.mark;
    }
  }
  return list;
}

// The advertisement text (column 25) and the code text that columns 28 and 29 are
// searched in: the raw lists whose labels went into the text, joined by ", ".
struct Description {
  std::string free_text;
  std::string code_text;
};

void AddCodes(std::string& code_text, std::string_view codes) {
  if (!code_text.empty()) code_text += ", ";
  code_text += codes;
}

// The free text is sent whole: the portal's limit, if it has one (300 characters have
// been mentioned), is not known.
Description Describe(IXMLCursor& record) {
  const std::string interior = record.GetValue("EqutInterieur");
  const std::string exterior = record.GetValue("EqutExterieur");
  const std::string safety = record.GetValue("EqutSecurite");
  std::vector<std::string_view> labelled;
  Description description;
  description.free_text = ContactPhrase(record.GetValue("nomvendeur")) +
                          record.GetValue("telephone") +
                          EquipmentLabelText(record,
                                             {{interior, " - Equipements Intérieurs : ", ""},
                                              {exterior, " - Equipements Extérieurs : ", ""},
                                              {safety, " - Equipements Sécurité : ", ""}},
                                             labelled);
  for (std::string_view codes : labelled) AddCodes(description.code_text, codes);
  return description;
}

void AddEmpty(QuotedCsvText& line, size_t count) {
  for (size_t i = 0; i < count; ++i) line.Add("");
}

// Columns 44 to 51: the first eight photos in document order, then empty columns.
void AddPhotos(const Run& run, IXMLCursor& main, IXMLCursor& record, QuotedCsvText& line) {
  const std::vector<std::string> addresses =
      VehiclePhotoAddresses(run, main, record.GetValue("idVO"), kPhotoColumns);
  for (const std::string& address : addresses) line.Add(address);
  AddEmpty(line, kPhotoColumns - addresses.size());
}

std::string EmptyWhenZero(int number) { return number == 0 ? "" : std::to_string(number); }

std::string VehicleLine(Run& run, IXMLCursor& main, IXMLCursor& record) {
  const std::string seller = record.GetValue("nomvendeur");
  Description description = Describe(record);
  QuotedCsvText line(QuoteRule::kQuotesToBlanks);
  line.Add("Dorvane");  // 1
  line.Add(BodyTypeLabel(record.GetValue("TypeCarrosserie")));
  line.Add(RecordAdReference(run, record, record.GetValue("Marque")) + "-" +
           record.GetValue("idNVO"));
  line.Add(record.GetValue("id-Client"));
  line.Add(record.GetValue("Marque"));  // 5
  line.Add(record.GetValue("Modele"));
  line.Add(StripMakeFromModel(record.GetValue("Version"), record.GetValue("Modele")));
  AddEmpty(line, 1);
  line.Add(record.GetValue("Energie"));
  AddEmpty(line, 1);  // 10
  line.Add(record.GetValue("Puissance"));
  line.Add(record.GetValue("Immatriculation"));
  line.Add(record.GetValue("Chassis"));
  AddEmpty(line, 1);
  line.Add(record.GetValue("MEC"));  // 15
  AddEmpty(line, 1);
  line.Add(record.GetValue("Kilometrage"));
  line.Add(record.GetValue("Couleur"));
  line.Add(AnsiSameText(record.GetValue("TypeBoiteVitesse"), "Automatique") ? "1" : "0");
  line.Add(AnsiContainsIgnoreCase(record.GetValue("EqutInterieur"), "Clim") ? "1" : "0");  // 20
  line.Add(std::to_string(LeadingNumber(record.GetValue("NombreDePortes"), 0)));
  AddEmpty(line, 1);
  line.Add(EmptyWhenZero(LeadingNumber(record.GetValue("Garantie"), 0)));
  AddEmpty(line, 1);
  line.Add(description.free_text);  // 25
  AddEmpty(line, 1);
  const std::string options = record.GetValue("InfoComplement");
  line.Add(ExpandEquipment(record, options));
  if (!options.empty()) AddCodes(description.code_text, options);
  line.Add(Marks(kSafetyDigits, description.code_text));
  line.Add(Marks(kEquipmentLetters, description.code_text));
  line.Add(record.GetValue("CodePostal"));  // 30
  line.Add(record.GetValue("Ville"));
  line.Add("France");
  line.Add(ContactUnlessStandard(seller));
  line.Add(record.GetValue("telephone"));
  AddEmpty(line, 1);  // 35
  line.Add(record.GetValue("email"));
  line.Add(record.GetValue("PrixDuBien"));
  AddEmpty(line, 6);                   // 38 to 43
  AddPhotos(run, main, record, line);  // 44 to 51
  AddEmpty(line, 1);                   // 52
  return line.EndLine();
}

// The working folder as the log names it, and where it lies on this host: looked up once,
// not for each of the run's lines.
struct WorkingFolderPaths {
  std::string windows;
  std::filesystem::path host;
};

// One vehicle: its dealer account's file gets one more line. A vehicle whose account
// cannot name a file of the working folder is left out, and the log says so.
void ExportVehicle(Run& run, IXMLCursor& main, IXMLCursor& record,
                   const WorkingFolderPaths& folder) {
  const std::string client = record.GetValue("id-Client");
  if (const char* reason = UnusableFileName(client)) {
    run.WriteLog("VO " + record.GetValue("idVO") + " (annonce " + record.GetValue("idNVO") +
                 ") non exporté : id-Client \"" + Printable(client) + "\" " + reason);
    return;
  }
  ++run.state.vehicle_count;
  // Before the reference, which is built from the make as rewritten.
  const std::string make = record.GetValue("Marque");
  if (FullMakeName(make) != make) record.SetValue("Marque", FullMakeName(make));
  ReplaceSiteContact(main, record);
  const std::string line = VehicleLine(run, main, record);
  // The folder is made again when something removed it during the run.
  std::error_code ec;
  if (!std::filesystem::is_directory(folder.host, ec)) {
    std::filesystem::create_directories(folder.host, ec);
  }
  AppendLineToFile(run, folder.windows + "\\" + client + ".csv", line);
}

// Sends every file on one connection and logs each file's outcome. The result is the
// first failure, so that the closing line does not report a run where an account got
// nothing as a success; the last file's result when all went through.
std::string SendCsvFiles(Run& run, const std::string& working_folder) {
  std::string result;
  bool failed = false;
  for (const std::string& path : ListFolderFiles(run, working_folder, "*.csv")) {
    run.WriteLog("envoi fichier : " + path);
    const std::string sent = SendFileFTP(run, path, true);
    run.WriteLog(sent + std::string(WindowsFileName(path)));
    if (failed) continue;
    result = sent;
    failed = sent != kFtpOkText;
  }
  return result;
}

}  // namespace

void ExportLArgus(Run& run) {
  EnsureFolder(run, ExportFolder(run));
  LoadConnectionFields(run, kGatewayDefaults);
  const std::string working_folder = WorkingFolder(run, kDefaultPathTemp);
  EmptyFolder(run, working_folder);
  const WorkingFolderPaths folder = {working_folder, run.HostPath(working_folder)};
  LogConnectionFields(run);

  XmlCursorPtr main = LoadSourceDocument(run, run.state.export_target);
  ResetCounters(run);
  XmlCursorPtr records = SelectVehicles(*main);
  run.WriteLog("avant boucle");
  for (; !records->Eof(); records->Next()) {
    ExportVehicle(run, *main, *records, folder);
    run.window().ProcessEvents();
  }
  const std::string count = std::to_string(run.state.vehicle_count);
  run.WriteLog("après boucle " + count + " VO traités");

  const std::string result = SendCsvFiles(run, working_folder);
  // The copy carries the run's edits (makes, site contacts): it shows what was sent.
  main->Save(run.WindowsFolder() + "\\Temp\\Listelo\\" + run.FormatNow("yyyymmddhhnn") + ".xml");
  run.WriteLog("");
  run.WriteLog("Fichier VO actualisé sur site FTP - " + count + " VO - " + result);
  FinishRun(run);
}

}  // namespace listelo
