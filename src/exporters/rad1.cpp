// Rad1 and InfoPress: both portals take the stock as one XML file in ISO-8859-15, zipped
// and uploaded to the target's gateway. Both read the InfoPress stock document. Each
// vehicle record is edited in place (title, composed advertisement text, telephone,
// warranty, photo addresses; for Rad1 a block of portal fields), then the serialised
// markup is reshaped into the portal's vocabulary by a fixed sequence of replacements.
// The portals fetch the photos from their addresses: nothing goes to the image server.
//
// The two targets differ in four places: Rad1's mileage line in the text, Rad1's block
// of portal fields, Rad1's extra cut and root names in the markup, and the file names.
#include <string>
#include <string_view>
#include <utility>

#include "app/errors.h"
#include "app/run.h"
#include "exporters/export_output.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "platform/text.h"
#include "transforms/contact.h"
#include "transforms/equipment.h"
#include "transforms/markup.h"
#include "transforms/values.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

// The advertisement password of Rad1 is a fixed capital letter, the town's initial and a
// fixed seven-character suffix. The real letter and suffix are set in the RAD1 section;
// these placeholders only have their form.
constexpr const char* kDefaultPasswordLetter = "X";
constexpr const char* kDefaultPasswordSuffix = "0000000";
constexpr size_t kPasswordSuffixLength = 7;

constexpr const char* kSeparator = "____________________________________________";
constexpr const char* kCrLf = "\r\n";
constexpr size_t kTitleLength = 50;
constexpr int kPhotoSlots = 6;
constexpr int kRad1PhotoSlots = 10;

struct Settings {
  bool rad1;  // false: InfoPress
  std::string password_letter;
  std::string password_suffix;
};

bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The letter and suffix as the RAD1 section gives them. A value of another form would
// give the portal passwords it does not expect: the run stops before anything is done.
void ReadPasswordParts(const Run& run, Settings& settings) {
  const std::string& section = run.state.export_target;
  settings.password_letter = run.Config(section, "PasswordLetter", kDefaultPasswordLetter);
  settings.password_suffix = run.Config(section, "PasswordSuffix", kDefaultPasswordSuffix);
  const std::string& letter = settings.password_letter;
  if (letter.size() != 1 || !IsCapital(letter[0])) {
    throw RunError("PasswordLetter de la section " + section + " (\"" + letter +
                   "\") n'est pas une lettre majuscule : export arrêté.");
  }
  const std::string& suffix = settings.password_suffix;
  bool suffix_ok = suffix.size() == kPasswordSuffixLength;
  for (char c : suffix) suffix_ok = suffix_ok && (IsCapital(c) || IsDigit(c));
  if (!suffix_ok) {
    throw RunError("PasswordSuffix de la section " + section + " (\"" + suffix +
                   "\") n'est pas formé de sept chiffres ou lettres majuscules : export "
                   "arrêté.");
  }
}

// The values of a vehicle record that the title, the text and the Rad1 block share.
struct Vehicle {
  std::string town;       // InfoVille, upper-cased
  std::string telephone;  // after the site substitutions
  std::string email;      // as the record had it
  std::string make;       // InfoMarque
  std::string reference;
};

// The site records of the vehicle's site, in document order. The telephone is compared
// with its value so far, so one substitution may lead to the next; a match makes the
// reference upper case. The e-mail is compared with the record's own.
void ApplySiteContacts(IXMLCursor& main, IXMLCursor& record, Vehicle& vehicle) {
  const std::string site_key = AnsiUpperCase(record.GetValue("id_Track"));
  for (XmlCursorPtr site = SelectSiteContacts(main, site_key); !site->Eof(); site->Next()) {
    if (site->GetValue("Telephone") == vehicle.telephone) {
      vehicle.telephone = site->GetValue("SRTel");
      vehicle.reference = AnsiUpperCase(vehicle.reference);
    }
    if (site->GetValue("Mail") == vehicle.email) record.SetValue("email", site->GetValue("SRMail"));
  }
}

// Make, model and version, then " (ref:" + reference + ")"; at most 50 characters, the
// model text shortened behind "..." to make room for the whole reference.
std::string Title(IXMLCursor& record, const Vehicle& vehicle) {
  const std::string version = record.GetValue("ModeleVersion");
  const std::string model = record.GetValue("InfoModele");
  std::string text = version;
  if (!AnsiContainsIgnoreCase(version, model)) text = model + " " + version;
  text = vehicle.make + " " + text;
  const std::string reference_part = " (ref:" + vehicle.reference + ")";
  if (text.size() + reference_part.size() > kTitleLength) {
    const size_t room = kTitleLength - 3;
    text = text.substr(0, room > reference_part.size() ? room - reference_part.size() : 0) + "...";
  }
  return text + reference_part;
}

// The warranty the text announces: the record's, or "Constructeur" when it has none and
// the options say the maker's warranty runs. `options` is the record's option list, which
// this adjusts (";Gar;" marks a warranty) for the option tests that follow.
std::string Warranty(IXMLCursor& record, std::string& options) {
  std::string warranty = record.GetValue("Garantie");
  if (warranty.empty() && Contains(options, ";GarCons;")) warranty = "Constructeur";
  if (!warranty.empty() && !Contains(options, ";Gar;")) options += ";Gar;";
  if (Contains(options, ";Gar;") && Contains(options, ";GarCons;")) {
    options = AnsiReplaceAllIgnoreCase(options, ";Gar;", ";");
  }
  return warranty;
}

void AddLine(std::string& text, std::string_view line) {
  text += line;
  text += kCrLf;
}

void AddSeparator(std::string& text) {
  AddLine(text, kSeparator);
  text += kCrLf;
}

std::string AdvertisementText(IXMLCursor& record, const Vehicle& vehicle,
                              const std::string& warranty, const std::string& options,
                              const Settings& settings) {
  std::string text;
  AddSeparator(text);
  AddLine(text, FullMakeName(vehicle.make) + " " + record.GetValue("ModeleVersion"));
  if (!warranty.empty()) {
    AddLine(text, AnsiContainsIgnoreCase(warranty, "MOIS") ? "Garantie Européenne de " + warranty
                                                           : "Garantie " + warranty);
  }
  AddSeparator(text);

  AddLine(text, "Carrosserie : " + record.GetValue("Carrosserie"));
  AddLine(text, "Puissance : " + record.GetValue("Puissance") + " CV");
  AddLine(text, "Couleur : " + record.GetValue("Couleur"));
  AddLine(text, "Mise en Circulation : " + record.GetValue("MEC"));
  if (settings.rad1) AddLine(text, "Kilométrage : " + record.GetValue("Kilometrage"));
  const std::string doors_and_seats =
      record.GetValue("NbPortes") + ", " + record.GetValue("NbPlaces") + " places";
  AddLine(text, AnsiReplaceAllIgnoreCase(doors_and_seats, "p avec", " portes avec"));
  if (Contains(options, ";VNF;")) AddLine(text, "Véhicule Non Fumeur");
  if (Contains(options, ";StatGar;")) AddLine(text, "Stationnement dans un garage");
  text += kCrLf;
  const std::string interior = record.GetValue("EqutInterieur");
  const std::string exterior = record.GetValue("EqutExterieur");
  const std::string safety = record.GetValue("EqutSecurite");
  text += EquipmentLabelText(record, {{interior, " + Equipements Intérieurs : ", "\r\n\r\n"},
                                      {exterior, " + Equipements Extérieurs : ", "\r\n\r\n"},
                                      {safety, " + Equipements Sécurité : ", "\r\n\r\n"}});
  AddSeparator(text);

  AddLine(text, ContactPhrase(record.GetValue("contact")) + vehicle.telephone);
  AddLine(text, record.GetValue("LibelleSociete"));
  text += kCrLf;
  AddLine(text, record.GetValue("HorairesCommercial"));
  AddSeparator(text);
  AddLine(text, record.GetValue("MsgAnnonce"));
  const std::string maker_warranty = record.GetValue("MsgGarCons");
  if (!maker_warranty.empty()) AddLine(text, maker_warranty);
  text += kSeparator;
  return text;
}

std::string WithoutDots(std::string text) {
  std::erase(text, '.');
  return text;
}

// The portal fields of Rad1, in the portal's order after Ref. The markup pass drops the
// "Rad1_" of their names.
void WriteRad1Fields(IXMLCursor& record, const Vehicle& vehicle, const Settings& settings) {
  const std::string postcode = record.GetValue("CodePostal");
  const std::string company = record.GetValue("LibelleSociete");
  const std::string password =
      settings.password_letter + vehicle.town.substr(0, 1) + settings.password_suffix;
  record.SetValue("Ref", vehicle.reference);
  record.SetValue("Rad1_id_reg", "nord-pas-de-calais");
  record.SetValue("Rad1_id_dep", postcode.substr(0, 2));
  record.SetValue("Rad1_id_cat", "1");
  record.SetValue("Rad1_email", vehicle.email);
  record.SetValue("Rad1_password", password);
  record.SetValue("Rad1_code_pos", postcode);
  record.SetValue("Rad1_ville", vehicle.town);
  record.SetValue("Rad1_statut", "2");
  record.SetValue("Rad1_societe", company);
  record.SetValue("Rad1_siret", record.GetValue("SIREN"));
  record.SetValue("Rad1_type", "1");
  record.SetValue("Rad1_nom", company);
  record.SetValue("Rad1_tel", record.GetValue("telephone"));
  record.SetValue("Rad1_titre", record.GetValue("Titre"));
  record.SetValue("Rad1_texte", record.GetValue("Texte"));
  record.SetValue("Rad1_prix", record.GetValue("PrixDuBien"));
  record.SetValue("Rad1_tel_cache", "N");
  // Empty slots for the photo pass; one the source already fills keeps its address.
  for (int slot = 1; slot <= kRad1PhotoSlots; ++slot) {
    const std::string name = "Rad1_photo" + std::to_string(slot);
    record.SetValue(name, record.GetValue(name));
  }
}

void RewriteVehicle(Run& run, IXMLCursor& main, IXMLCursor& record, const Settings& settings) {
  ++run.state.vehicle_count;
  Vehicle vehicle;
  vehicle.town = AnsiUpperCase(record.GetValue("InfoVille"));
  vehicle.telephone = record.GetValue("telephone");
  vehicle.email = record.GetValue("email");
  vehicle.make = record.GetValue("InfoMarque");
  vehicle.reference = RecordAdReference(run, record, vehicle.make) + "-" + record.GetValue("idNVO");
  ApplySiteContacts(main, record, vehicle);

  record.SetValue("Titre", Title(record, vehicle));
  std::string options = record.GetValue("InfoComplement");
  const std::string warranty = Warranty(record, options);
  record.SetValue("Texte", AdvertisementText(record, vehicle, warranty, options, settings));
  record.SetValue("telephone", WithoutDots(vehicle.telephone));
  record.SetValue("Garantie", std::string(TrimBlanks(record.GetValue("Garantie"))));
  if (settings.rad1) WriteRad1Fields(record, vehicle, settings);
}

// The photo's address goes into the vehicle's first empty photo slot and, apart from
// that, into its first empty Rad1 photo slot; a photo beyond the slots goes nowhere.
void AttachPhoto(const Run& run, IXMLCursor& main, IXMLCursor& photo) {
  XmlCursorPtr vehicle = SelectVehicle(main, photo.GetValue("idVO"));
  if (vehicle->Eof()) return;
  const std::string address = PhotoAddress(run, photo.GetValue("NomImage"));
  FillFirstEmptySlot(*vehicle, "photo", kPhotoSlots, address);
  FillFirstEmptySlot(*vehicle, "Rad1_photo", kRad1PhotoSlots, address);
}

// The markup in the portal's vocabulary: the fields the portal does not take cut out,
// the records and the root renamed, the ISO-8859-15 declaration, the "Rad1_" of the
// portal fields' names dropped.
std::string RewriteMarkup(std::string text, bool rad1) {
  MarkupRewrite markup(std::move(text));
  // Runs of several elements are cut record by record: a record that lacks the end
  // element keeps its elements instead of losing the records after it.
  std::string_view record_end = kVehicleRecordEnd;
  markup.RemoveSpansInTurn({{"<InfosSRS ", "</InfosSRS>"},
                            {"<idVO>", "</idVO>"},
                            {"<TypeVO>", "</TypeVO>"},
                            {"<InfoVille>", "</InfoVille>"},
                            {"<RefVille>", "</RefVille>"},
                            {"<id_Track>", "</id_Track>"}});
  if (rad1) {
    // Unclosed: the company's element may carry attributes.
    markup.RemoveSpansInRecords("<LibelleSociete", "</Ref>", record_end);
    markup.ReplaceEachIgnoringCase({{"<document>", "<TRAQUEANNONCES_XML>"},
                                    {"</document>", "</TRAQUEANNONCES_XML>"},
                                    {"<DataVO>", "<annonces>"},
                                    {"</DataVO>", "</annonces>"}});
    record_end = "</annonces>";
  }
  markup.RemoveSpansInTurn({{"<RefSite>", "</RefSite>"}, {"<RefExpo>", "</RefExpo>"}});
  markup.RemoveSpansInRecords("<EqutInterieur>", "</InfoComplement>", record_end);
  markup.RemoveSpans("<DataVOS EOF=\"", "RecordName=\"DataVO\">");
  markup.RemoveSpans("<DataVOS EOF=\"", "RecordName=\"DataVO\"/>");
  markup.RemoveSpansInRecords("<HorairesCommercial>", "</MsgGarCons>", record_end);
  // The last renamings are whole tags, or the start of one, that none of them makes or
  // breaks: one scan. "Rad1_" goes from element names only: a value holding it (a photo
  // name, an e-mail) stays as the dealer wrote it.
  markup.ReplaceEachIgnoringCase(
      {{"</DataVOS>", ""},
       {"<DataVO>", "<annonce>"},
       {"</DataVO>", "</annonce>"},
       {"<document>", "<annonces>"},
       {"</document>", "</annonces>"},
       {"<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"},
       {"<Rad1_", "<"},
       {"</Rad1_", "</"}});
  return std::move(markup.text());
}

void PackAndDeliver(Run& run, const std::string& output_path, const std::string& archive) {
  run.WriteLog("");
  PackArchive(run, archive, {output_path}, ZipLogLine::kNotLogged);
  run.WriteLog("");
  if (!run.window().GetField(Field::kUser).empty()) SendArchive(run, archive);
}

}  // namespace

void ExportRad1(Run& run, std::string_view label) {
  Settings settings;
  settings.rad1 = AnsiUpperCase(label) == "RAD1";
  const std::string stamp = run.FormatNow("yyyymmdd");
  const std::string export_folder = ExportFolder(run);
  const std::string output_path = export_folder + "\\" + std::string(label) + "_" + stamp + ".xml";
  const std::string archive = export_folder + "\\" + std::string(label) + "_" + stamp + ".zip";
  EnsureFolder(run, export_folder);
  // The gateway account is the deployment's to set: without a User nothing is uploaded.
  const ConnectionDefaults gateway = {kImageServerDefaults.server, "", "", ""};
  LoadConnectionFields(run, gateway);
  if (settings.rad1) ReadPasswordParts(run, settings);

  XmlCursorPtr main = LoadSourceDocument(run, AnsiUpperCase(label));
  ResetCounters(run);

  ForEachVehicle(run, *main,
                 [&](IXMLCursor& record) { RewriteVehicle(run, *main, record, settings); });
  ForEachPhoto(run, *main, [&](IXMLCursor& photo) { AttachPhoto(run, *main, photo); });

  // The tree goes as its markup is made: the document is not held twice.
  std::string text = SaveThenTakeMarkup(run, *main, output_path);
  main->SaveMarkup(output_path, text);
  text = RewriteMarkup(std::move(text), settings.rad1);
  SaveRewrittenMarkup(run, main, text, "Après Remplacements", {output_path}, text);

  PackAndDeliver(run, output_path, archive);
  FinishRun(run);
}

}  // namespace listelo
