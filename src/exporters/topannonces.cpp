// TopAnnonces: one XML file for the dealer's whole stock, root `listepa`, one `annonce`
// per vehicle. Each vehicle record is edited in place (reference, headline, text, the
// agency's public contact, the portal's options as typed `complement` children of its
// `complements` element, the photo addresses), then the markup is rewritten into the
// portal's vocabulary. The file is named after the dealer's client code and the start
// time, zipped into client code + ".zip" and uploaded to the gateway. Every photo is
// checked on the image server on the way.
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/files.h"
#include "app/run.h"
#include "exporters/export_output.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "photos/image_sync.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "transforms/equipment.h"
#include "transforms/markup.h"
#include "transforms/values.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

const ConnectionDefaults kGatewayDefaults = {
    "images.concession.invalid", "annonceur@passerelle.topannonces.invalid", "PlaceHold01", ""};
constexpr const char* kDefaultClientCode = "000000";

struct Files {
  std::string export_folder;
  std::string result_file;  // client code + "-" + start time: what the portal receives
  std::string archive;      // client code + ".zip"
};

Files NameFiles(const Run& run, const std::string& client_code) {
  Files files;
  files.export_folder = ExportFolder(run);
  files.result_file =
      files.export_folder + "\\" + client_code + "-" + run.FormatNow("yyyymmddhhnnss") + ".xml";
  files.archive = files.export_folder + "\\" + client_code + ".zip";
  return files;
}

// The dated copy is named after the day of each save: a run across midnight leaves the
// copy of the new day.
std::string DatedCopy(const Run& run, const Files& files) {
  return files.export_folder + "\\TopAnnonces-" + run.FormatNow("yyyymmdd") + ".xml";
}

// The dated copy of the document as `markup` reloads it.
void SaveDatedCopyOfMarkup(const Run& run, IXMLCursor& main, const std::string& markup,
                           const Files& files) {
  main.SaveMarkup(DatedCopy(run, files), markup);
}

// EqutInterieur, EqutExterieur, EqutSecurite and InfoComplement.
using Equipment = EquipmentLists;

// "true" when the list holds ";" + code + ";", "false" when it does not, nothing when
// the list is empty.
std::string Flag(std::string_view list, std::string_view code) {
  return EquipmentFlag(list, code, kTrueFalseFlag);
}

// The flag of `code`, or of `second` when the list is known not to hold `code`.
std::string FlagOr(std::string_view list, std::string_view code, std::string_view second) {
  std::string flag = Flag(list, code);
  return flag == "false" ? Flag(list, second) : flag;
}

// The agency's public telephone and e-mail replace the internal ones they stand for.
// Only the first site record of the vehicle's town is looked at.
void ReplaceAgencyContact(IXMLCursor& main, IXMLCursor& record) {
  XmlCursorPtr site = SelectSiteContactsBySite(main, AnsiUpperCase(record.GetValue("InfoVille")));
  if (site->Eof()) return;
  if (site->GetValue("Telephone") == record.GetValue("tel_agence")) {
    record.SetValue("tel_agence", site->GetValue("SRTel"));
  }
  if (site->GetValue("Mail") == record.GetValue("email")) {
    record.SetValue("email", site->GetValue("SRMail"));
  }
}

// The advertisement text and the list of equipment labels. The further options of
// InfoComplement go into the text only; a vehicle under warranty gets the warranty
// option, whose label names the warranty.
struct Description {
  std::string text;
  std::string labels;
};

Description Describe(IXMLCursor& record, const Equipment& equipment) {
  Description description;
  description.text = EquipmentLabelText(record,
                                        {{equipment.interior, "- Equipements Intérieurs : ", ""},
                                         {equipment.exterior, " - Equipements Extérieurs : ", ""},
                                         {equipment.safety, " - Equipements Sécurité : ", ""}},
                                        &description.labels);

  const std::string warranty = record.GetValue("Garantie");
  std::string options = equipment.options;
  if (!warranty.empty() && !Contains(options, ";Gar;")) options += ";Gar;";
  const std::string labels = AnsiReplaceAllIgnoreCase(ExpandEquipment(record, options),
                                                      "Sous Garantie", "Garantie : " + warranty);
  if (!labels.empty()) description.text += " - " + labels;
  return description;
}

// The door count as a bare number: "5 portes avec hayon" gives "5", "3p" gives "3".
std::string Doors(std::string text) {
  for (const char* word : {"hayon", "avec", "portes", "p"}) {
    text = std::string(TrimBlanks(AnsiReplaceAllIgnoreCase(text, word, "")));
  }
  return text;
}

std::string Fuel(std::string_view energy) {
  return AnsiUpperCase(AnsiReplaceAllIgnoreCase(energy, "é", "e"));
}

// The warranty text ("12 mois") as a number of months; 0 when it does not read.
int WarrantyMonths(std::string_view warranty) {
  const std::string months =
      "0" + std::string(TrimBlanks(AnsiReplaceAllIgnoreCase(warranty, "MOIS", "")));
  return LeadingNumber(months, 0);
}

const char* TrueWhen(bool condition) { return condition ? "true" : "false"; }

// The portal's options, in the portal's order: one `complement` child each, its text the
// value and its attribute `type` the option. Options the stock does not record are sent
// empty.
void AddComplements(IXMLCursor& record, const Equipment& equipment, const std::string& labels) {
  std::vector<IXMLCursor::AttributedText> typed;
  const auto add = [&](std::string_view type, std::string value) {
    typed.push_back({type, std::move(value)});
  };
  const auto add_empty = [&](std::initializer_list<std::string_view> types) {
    for (std::string_view type : types) add(type, "");
  };
  const std::string& interior = equipment.interior;
  const std::string& exterior = equipment.exterior;
  const std::string& safety = equipment.safety;
  const int warranty_months = WarrantyMonths(record.GetValue("Garantie"));

  add("VS", StripMakeFromModel(record.GetValue("MODELEVERSION"), record.GetValue("modele")));
  add("S", labels);
  add("O1", FlagOr(interior, "Clim", "ClimAuto"));
  add("O2", Flag(interior, "VitreElect"));
  add("O3", FlagOr(safety, "AirbagCond", "AirbagLat"));
  add("O4", TrueWhen(AnsiUpperCase(record.GetValue("BOITE_DE_VITESSE")) == "AUTOMATIQUE"));
  add("O5", Flag(safety, "Alarme"));
  add("O6", Flag(interior, "DirAss"));
  add("O7", Flag(safety, "ABS"));
  add("O8", Flag(interior, "RadCass"));
  add("O9", Flag(interior, "RadCD"));
  add("NP", Doors(record.GetValue("NB_PORTES")));
  add("K", record.GetValue("Kilometrage"));
  add("E1", "");
  add("E2", "true");
  add("CO", record.GetValue("Couleur"));
  add("E", Fuel(record.GetValue("Energie")));
  add("A", record.GetValue("YearMEC"));
  add("B1", FlagOr(exterior, "Radrecul", "Radavant"));
  add_empty({"B2", "B3"});
  add("B4", Flag(interior, "SCuir"));
  add("B5", Flag(interior, "OrdiBord"));
  add("B6", Flag(interior, "RegVit"));
  add("B7", Flag(interior, "SElect"));
  add("B8", Flag(interior, "GPS"));
  add("B9", Flag(interior, "ToitOuvr"));
  add("S1", Flag(safety, "AntiDem"));
  add("S2", Flag(safety, "AntiBrou"));
  add("S3", Flag(safety, "AntiPat"));
  add_empty({"S4", "S5", "S6", "S7"});  // ContPneus, CorrAssiette, DetectPluie: not recorded
  add("S8", Flag(safety, "ESP"));
  add("S9", Flag(safety, "LXen"));
  add_empty({"S10"});  // PareBufl
  add("U1", Flag(exterior, "AttRem"));
  add_empty({"U2", "U3", "U4"});  // Boite6, BoiteSeq, BanqAR123
  add("U5", Flag(exterior, "PorBag"));
  add_empty({"U6"});  // HardTop
  add("U7", Flag(exterior, "JantAll"));
  add("U8", Flag(interior, "VitreTeint"));
  add("U9", Flag(exterior, "PMat"));
  add("U10", Flag(safety, "VerCent"));
  add("G1", TrueWhen(warranty_months == 6));
  add("G2", TrueWhen(warranty_months == 12));
  add("IM", record.GetValue("FirstMEC"));
  record.Select("complements")->AppendChildren("complement", "type", typed);
}

void RewriteVehicle(Run& run, IXMLCursor& main, IXMLCursor& record) {
  ++run.state.vehicle_count;
  const Equipment equipment = {record.GetValue("EqutInterieur"), record.GetValue("EqutExterieur"),
                               record.GetValue("EqutSecurite"), record.GetValue("InfoComplement")};
  const std::string town = record.GetValue("InfoVille");
  ReplaceAgencyContact(main, record);
  record.SetValue("reference", town.substr(0, 2) + "-" + record.GetValue("reference"));
  record.SetValue("accroche_url",
                  record.GetValue("marque") + " " + record.GetValue("MODELEVERSION"));
  const Description description = Describe(record, equipment);
  record.SetValue("texte", description.text);
  AddComplements(record, equipment, description.labels);
}

constexpr int kPhotoSlots = 6;  // NOMPHOTO1 to NOMPHOTO6

// The photo's web address goes into the vehicle's first empty slot; when all six are
// taken it goes nowhere. Every photo is checked on the image server all the same.
void AttachPhoto(Run& run, IXMLCursor& main, IXMLCursor& photo) {
  ++run.state.photo_count;
  const std::string name = photo.GetValue("NomImage");
  XmlCursorPtr vehicle = SelectVehicle(main, photo.GetValue("idVO"));
  if (!vehicle->Eof())
    FillFirstEmptySlot(*vehicle, "NOMPHOTO", kPhotoSlots, PhotoAddress(run, name));
  SyncImage(run, name + ".jpg");
}

std::string SlotName(int slot) { return "NOMPHOTO" + std::to_string(slot); }

// The six photo slots become one `liste_photos` of the filled ones. The slot renamings,
// in their order (end tags, then start tags), are made in one scan: each pattern is a
// whole tag, so no two matches can overlap, and no renamed tag is a slot's, so no
// renaming can make or break another's match. The empty photos they leave are cut after.
void RewritePhotoSlots(MarkupRewrite& markup) {
  markup.ReplaceExactly("<Carrosserie>", "<carrosserie>");
  markup.ReplaceExactly("</Carrosserie>", "</carrosserie>");
  std::vector<TextReplacement> renamings;
  for (int slot = 1; slot < kPhotoSlots; ++slot)
    renamings.push_back({"</" + SlotName(slot) + ">", "</photo>"});
  renamings.push_back({"</" + SlotName(kPhotoSlots) + ">", "</photo></liste_photos>"});
  renamings.push_back({"<" + SlotName(1) + ">", "<liste_photos><photo>"});
  for (int slot = 2; slot <= kPhotoSlots; ++slot)
    renamings.push_back({"<" + SlotName(slot) + ">", "<photo>"});
  markup.ReplaceEachIgnoringCase(renamings);
  markup.ReplaceIgnoringCase("<photo></photo>", "");
}

// The record sets become the portal's `listepa` of `annonce` elements, and the fields it
// does not take are cut out. The renamings of the record sets, the records, the root and
// the declaration are whole tags that none of them makes or breaks: one scan.
void RewriteVocabulary(MarkupRewrite& markup) {
  markup.RemoveSpans("<InfosSRS ", "</InfosSRS>");
  // The model text and the four equipment lists stand together in every record.
  markup.RemoveSpansInRecords("<MODELEVERSION>", "</InfoComplement>");
  markup.RemoveSpans("<DataVOS EOF=\"", "RecordName=\"DataVO\">", "<listepa>");
  // An empty record set written as one tag is an empty list, opened and closed.
  markup.RemoveSpans("<DataVOS EOF=\"", "RecordName=\"DataVO\"/>", "<listepa></listepa>");
  markup.ReplaceEachIgnoringCase(
      {{"</DataVOS>", "</listepa>"},
       {"<DataVO>", "<annonce>"},
       {"</DataVO>", "</annonce>"},
       {"<document>", ""},
       {"</document>", ""},
       {"<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"}});
  markup.RemoveSpansInTurn({{"<idVO>", "</idVO>"},
                            {"<TypeVO>", "</TypeVO>"},
                            {"<InfoVille>", "</InfoVille>"},
                            {"<RefSite>", "</RefSite>"},
                            {"<RefExpo>", "</RefExpo>"}});
}

// A stock without a vehicle section has no vehicle: it gets an empty one, so that the
// portal still receives its (empty) list.
void EnsureVehicleSection(IXMLCursor& main) {
  XmlCursorPtr root = main.Select("/document");
  if (root->Eof() || !root->Select("DataVOS")->Eof()) return;
  XmlCursorPtr section = root->AppendChild("DataVOS", "");
  section->SetAttribute("EOF", "True");
  section->SetAttribute("RecordName", "DataVO");
}

// The archive holds the result file alone. The log keeps only the closing lines: it is
// reset before and after packing, the first time unless photos were updated.
void PackAndDeliver(Run& run, const Files& files) {
  if (run.state.updated_photo_count == 0) run.WriteLog("");
  PackArchive(run, files.archive, {files.result_file}, ZipLogLine::kNotLogged);
  run.WriteLog("");
  LogUpdatedPhotos(run);
  SendArchive(run, files.archive);
}

}  // namespace

void ExportTopAnnonces(Run& run) {
  const std::string client_code = run.Config("TOPANNONCES", "CodeClient", kDefaultClientCode);
  const Files files = NameFiles(run, client_code);
  EnsureFolder(run, files.export_folder);
  LoadConnectionFields(run, kGatewayDefaults);

  XmlCursorPtr main = LoadSourceDocument(run, "TOPANNONCES");
  ResetCounters(run);
  EnsureVehicleSection(*main);
  ForEachVehicle(run, *main, [&](IXMLCursor& record) { RewriteVehicle(run, *main, record); });
  ForEachPhoto(run, *main, [&](IXMLCursor& photo) { AttachPhoto(run, *main, photo); });

  // The tree goes as its markup is made: the document is not held twice.
  MarkupRewrite markup(SaveThenTakeMarkup(run, *main, DatedCopy(run, files)));
  SaveDatedCopyOfMarkup(run, *main, markup.text(), files);
  RewritePhotoSlots(markup);
  {
    // Markup whose photo slots do not read back ends the run here, as reloading it would,
    // before the dated copy takes it. It is read back while the vocabulary is rewritten.
    const std::string with_photo_lists = markup.text();
    BackgroundMarkupCheck photo_lists_read_back(main, with_photo_lists);
    RewriteVocabulary(markup);
    photo_lists_read_back.Wait();
    SaveDatedCopyOfMarkup(run, *main, with_photo_lists, files);
  }
  // The result file and its dated copy: the same bytes, written to both as they are made.
  SaveRewrittenMarkup(run, main, markup.text(), "Après Remplacements",
                      {files.result_file, DatedCopy(run, files)}, markup.text());

  PackAndDeliver(run, files);
  FinishRun(run);
}

}  // namespace listelo
