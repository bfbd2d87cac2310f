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
#include "delivery/zip_wildcard.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "photos/working_folder.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "transforms/equipment.h"
#include "transforms/reference.h"
#include "transforms/values.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

const ConnectionDefaults kGatewayDefaults = {
    "images.concession.invalid", "dorvane@passerelle.paruvendu.invalid", "PlaceHold2", ""};
constexpr const char* kDefaultPathTemp = "\\Temp\\Argus";
constexpr int kPhotoColumns = 8;

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

// The equipment lists that go into the free text, each behind its heading.
struct EquipmentList {
  const char* field;
  const char* heading;
};
constexpr EquipmentList kEquipmentLists[] = {
    {"EqutInterieur", " - Equipements Intérieurs : "},
    {"EqutExterieur", " - Equipements Extérieurs : "},
    {"EqutSecurite", " - Equipements Sécurité : "},
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

// The portal's quoting: every value between double quotes, a double quote inside it
// turned into a blank, so that the value keeps its length; ";" between values.
class QuotedLine {
 public:
  void Add(std::string_view value) {
    if (!text_.empty()) text_ += ';';
    text_ += '"';
    for (char c : value) text_ += c == '"' ? ' ' : c;
    text_ += '"';
  }
  void AddEmpty(int count) {
    for (int i = 0; i < count; ++i) Add("");
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

bool ContainsIgnoreCase(std::string_view text_upper, std::string_view code) {
  return !code.empty() && text_upper.find(AnsiUpperCase(code)) != std::string_view::npos;
}

// The marks whose codes occur in the code text (any letter case), ","-separated.
template <size_t N>
std::string Marks(const Mark (&marks)[N], std::string_view code_text) {
  const std::string upper = AnsiUpperCase(code_text);
  std::string list;
  for (const Mark& mark : marks) {
    if (std::any_of(std::begin(mark.codes), std::end(mark.codes),
                    [&](std::string_view code) { return ContainsIgnoreCase(upper, code); })) {
      if (!list.empty()) list += ',';
      list += mark.mark;
    }
  }
  return list;
}

std::string BodyTypeLabel(std::string_view body_type) {
  for (const BodyType& type : kBodyTypes) {
    if (AnsiSameText(body_type, type.key)) return std::string(type.label);
  }
  return AnsiUpperCase(body_type);
}

// Public telephone and e-mail of the vehicle's site replace the internal ones they
// stand for. When several site records match, the last one wins.
void ReplaceSiteContact(IXMLCursor& main, IXMLCursor& record) {
  const std::string site_key = AnsiUpperCase(record.GetValue("id_Track"));
  const std::string telephone = record.GetValue("telephone");
  const std::string email = record.GetValue("email");
  for (XmlCursorPtr site = SelectSiteContacts(main, site_key); !site->Eof(); site->Next()) {
    if (site->GetValue("Telephone") == telephone) {
      record.SetValue("telephone", site->GetValue("SRTel"));
    }
    if (site->GetValue("Mail") == email) record.SetValue("email", site->GetValue("SRMail"));
  }
}

bool IsStandardSeller(std::string_view seller) { return AnsiUpperCase(seller) == "STANDARD"; }

// The advertisement text (column 25) and the raw codes of the lists that gave it labels
// (the code text that columns 28 and 29 are searched in).
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
  const std::string seller = record.GetValue("nomvendeur");
  Description description;
  description.free_text = IsStandardSeller(seller) ? "Tél : " : "Contactez " + seller + " au ";
  description.free_text += record.GetValue("telephone");
  for (const EquipmentList& list : kEquipmentLists) {
    const std::string codes = record.GetValue(list.field);
    const std::string labels = ExpandEquipment(record, codes);
    if (labels.empty()) continue;
    description.free_text += list.heading + labels;
    AddCodes(description.code_text, codes);
  }
  return description;
}

std::string Reference(Run& run, IXMLCursor& record) {
  const std::string make =
      ReadInteger(record.GetValue("TypeVO"), 0) == 1 ? "" : record.GetValue("Marque");
  return BuildAdReference(make, record.GetValue("RefSite"), record.GetValue("RefExpo"),
                          run.host().clock.Now()) +
         "-" + record.GetValue("idNVO");
}

std::string PhotoAddress(const Run& run, IXMLCursor& photo) {
  return run.state.url_images + "/" + photo.GetValue("NomImage") + ".jpg";
}

// Columns 44 to 51: the first eight photos in document order, then empty columns.
void AddPhotos(Run& run, IXMLCursor& main, IXMLCursor& record, QuotedLine& line) {
  int column = 0;
  for (XmlCursorPtr photo = SelectPhotosOfVehicle(main, record.GetValue("idVO"));
       !photo->Eof() && column < kPhotoColumns; photo->Next(), ++column) {
    line.Add(PhotoAddress(run, *photo));
  }
  line.AddEmpty(kPhotoColumns - column);
}

std::string EmptyWhenZero(int number) { return number == 0 ? "" : std::to_string(number); }

std::string VehicleLine(Run& run, IXMLCursor& main, IXMLCursor& record) {
  const std::string seller = record.GetValue("nomvendeur");
  Description description = Describe(record);
  QuotedLine line;
  line.Add("Dorvane");  // 1
  line.Add(BodyTypeLabel(record.GetValue("TypeCarrosserie")));
  line.Add(Reference(run, record));
  line.Add(record.GetValue("id-Client"));
  line.Add(record.GetValue("Marque"));  // 5
  line.Add(record.GetValue("Modele"));
  line.Add(StripMakeFromModel(record.GetValue("Version"), record.GetValue("Modele")));
  line.AddEmpty(1);
  line.Add(record.GetValue("Energie"));
  line.AddEmpty(1);  // 10
  line.Add(record.GetValue("Puissance"));
  line.Add(record.GetValue("Immatriculation"));
  line.Add(record.GetValue("Chassis"));
  line.AddEmpty(1);
  line.Add(record.GetValue("MEC"));  // 15
  line.AddEmpty(1);
  line.Add(record.GetValue("Kilometrage"));
  line.Add(record.GetValue("Couleur"));
  line.Add(AnsiSameText(record.GetValue("TypeBoiteVitesse"), "Automatique") ? "1" : "0");
  line.Add(ContainsIgnoreCase(AnsiUpperCase(record.GetValue("EqutInterieur")), "Clim") ? "1" : "0");
  line.Add(std::to_string(LeadingNumber(record.GetValue("NombreDePortes"), 0)));
  line.AddEmpty(1);
  line.Add(EmptyWhenZero(LeadingNumber(record.GetValue("Garantie"), 0)));
  line.AddEmpty(1);
  line.Add(description.free_text);  // 25
  line.AddEmpty(1);
  const std::string options = record.GetValue("InfoComplement");
  line.Add(ExpandEquipment(record, options));
  if (!options.empty()) AddCodes(description.code_text, options);
  line.Add(Marks(kSafetyDigits, description.code_text));  // 28
  line.Add(Marks(kEquipmentLetters, description.code_text));
  line.Add(record.GetValue("CodePostal"));  // 30
  line.Add(record.GetValue("Ville"));
  line.Add("France");
  line.Add(IsStandardSeller(seller) ? "" : seller);
  line.Add(record.GetValue("telephone"));
  line.AddEmpty(1);  // 35
  line.Add(record.GetValue("email"));
  line.Add(record.GetValue("PrixDuBien"));
  line.AddEmpty(6);                    // 38 to 43
  AddPhotos(run, main, record, line);  // 44 to 51
  line.AddEmpty(1);                    // 52
  return line.text();
}

// One vehicle: its dealer account's file gets one more line. A vehicle whose account
// cannot name a file of the working folder is left out, and the log says so.
void ExportVehicle(Run& run, IXMLCursor& main, IXMLCursor& record,
                   const std::string& working_folder) {
  const std::string client = record.GetValue("id-Client");
  if (const char* reason = UnusableFileName(client)) {
    run.WriteLog("VO " + record.GetValue("idVO") + " (annonce " + record.GetValue("idNVO") +
                 ") non exporté : id-Client \"" + Printable(client) + "\" " + reason);
    return;
  }
  ++run.state.vehicle_count;
  if (record.GetValue("Marque") == "VW") record.SetValue("Marque", "Volkswagen");
  ReplaceSiteContact(main, record);
  const std::string line = VehicleLine(run, main, record);
  // The folder is made again when something removed it during the run.
  std::error_code ec;
  std::filesystem::create_directories(run.HostPath(working_folder), ec);
  AppendLineToFile(run, working_folder + "\\" + client + ".csv", line);
}

// The CSV files of the working folder, in name order.
std::vector<std::string> CsvFiles(Run& run, const std::string& working_folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(run.HostPath(working_folder), ec)) {
    const std::string name = PathMapper::ToText(entry.path().filename());
    if (entry.is_regular_file(ec) && MatchesWindowsPattern("*.csv", name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Sends every file on one connection and logs each file's outcome. The result is the
// first failure, so that the closing line does not report a run where an account got
// nothing as a success; the last file's result when all went through.
std::string SendCsvFiles(Run& run, const std::string& working_folder) {
  std::string result;
  bool failed = false;
  for (const std::string& name : CsvFiles(run, working_folder)) {
    const std::string path = working_folder + "\\" + name;
    run.WriteLog("envoi fichier : " + path);
    const std::string sent = SendFileFTP(run, path, true);
    run.WriteLog(sent + name);
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
  LogConnectionFields(run);

  XmlCursorPtr main = LoadSourceDocument(run, run.state.export_target);
  ResetCounters(run);
  XmlCursorPtr records = SelectVehicles(*main);
  run.WriteLog("avant boucle");
  for (; !records->Eof(); records->Next()) {
    ExportVehicle(run, *main, *records, working_folder);
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
