// SitAutoPro and LeBonCoin: both portals are reached through one multi-portal gateway
// that keeps an FTP account per dealer site. The stock document is edited in place
// (portal vocabulary: category codes, O/N equipment flags, a composed free text, photo
// addresses), the auxiliary sections go, the markup is rewritten, and the result is kept
// as the whole-run file P. Each site then gets its share of P: the site's entries and
// the vehicles of its towns, under a CLIENT element, saved in ISO-8859-15, zipped and
// uploaded to the site's own account. The two targets differ only in their names.
#include <algorithm>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "app/errors.h"
#include "app/files.h"
#include "app/run.h"
#include "delivery/ftp_delivery.h"
#include "exporters/export_output.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "platform/text.h"
#include "transforms/contact.h"
#include "transforms/equipment.h"
#include "transforms/markup.h"
#include "transforms/reference.h"
#include "transforms/values.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

// EQUTINTERIEUR, EQUTEXTERIEUR, EQUTSECURITE and INFOCOMPLEMENT.
using Equipment = EquipmentLists;

// ---- Vehicle pass -------------------------------------------------------------------

// "O" when the list holds the code, "N" when it does not, empty when the list is empty.
std::string Flag(std::string_view list, std::string_view code) {
  return EquipmentFlag(list, code, kYesNoFlag);
}

std::string CategoryCode(std::string_view category) {
  std::string text(category);
  for (const char* accented : {"é", "è"}) text = AnsiReplaceAllIgnoreCase(text, accented, "e");
  text = AnsiUpperCase(text);
  static constexpr std::pair<const char*, const char*> kCodes[] = {
      {"BERLINE", "11100"}, {"CITADINE", "11100"}, {"BREAK", "11200"},   {"MONOSPACE", "11300"},
      {"4X2", "11400"},     {"4X4", "11400"},      {"PICK UP", "11400"}, {"CABRIOLET", "11500"},
      {"COUPE", "11500"},   {"FOURGON", "12000"},  {"SOCIETE", "11200"}};
  for (const auto& [name, code] : kCodes) {
    if (text == name) return code;
  }
  return "11100";
}

// Every occurrence of each word removed, letter case ignored, trimming after each.
std::string RemoveWords(std::string_view text, std::initializer_list<const char*> words) {
  std::string result(text);
  for (const char* word : words) {
    result = std::string(TrimBlanks(AnsiReplaceAllIgnoreCase(result, word, "")));
  }
  return result;
}

// The version, without the model's name, cut so that make + " " + model + " " + version
// stays within 47 characters, and always followed by "...".
std::string ShortVersion(std::string_view version, std::string_view make, std::string_view model) {
  const std::string rest = StripMakeFromModel(version, model);
  const long budget = 45 - static_cast<long>(make.size()) - static_cast<long>(model.size());
  const size_t kept = budget > 0 ? std::min(rest.size(), static_cast<size_t>(budget)) : 0;
  return rest.substr(0, kept) + "...";
}

std::string CarRadio(const Equipment& equipment) {
  std::string radio = Flag(equipment.interior, "RadCass");
  if (radio == "O") radio = "Radio K7";
  if (radio.size() <= 1) {
    radio = Flag(equipment.interior, "RadCD");
    if (radio == "O") radio = "Radio CD";
  }
  if (radio.size() <= 1) {
    radio = Flag(equipment.interior, "RadMP3");
    if (radio == "O") radio = "Radio MP3";
  }
  return radio;
}

std::string AirConditioning(const Equipment& equipment) {
  if (Flag(equipment.interior, "ClimAuto") == "O") return "Climatisation Automatique";
  if (Flag(equipment.interior, "Clim") == "O") return "Climatisation";
  return "";
}

// The salesperson whose advertisements name the branch rather than the company, and
// that branch. Placeholders: section Options sets the real ones.
constexpr const char* kBranchSalesperson = "VENDEURAGENCE";
constexpr const char* kBranchLabel = "Concession Agence, 1 rue de l'Agence, 00000 Ville";

struct FreeTextSettings {
  std::string salesperson;   // NomVendeurAgence: upper case, compared as written
  std::string branch_label;  // LibelleAgence, without its closing " --- "
};

// The advertisement's text: guarantee, message, who sells (the branch for its
// salesperson), opening hours and whom to call, on one line.
std::string FreeText(IXMLCursor& record, const FreeTextSettings& settings) {
  const std::string contact = record.GetValue("CONTACT_A_AFFICHER");
  std::string text = record.GetValue("MsgGarCons");
  if (!text.empty()) text += " --- ";
  text += record.GetValue("MsgAnnonce") + " --- ";
  if (Contains(contact, settings.salesperson)) {
    text += settings.branch_label + " --- ";
  } else {
    text += record.GetValue("LibelleSociete") + " --- ";
  }
  text += record.GetValue("HorairesCommercial") + " --- ";
  text += ContactPhrase(contact, "contactez");
  text += record.GetValue("TELEPHONE_A_AFFICHER");
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

// Each element gets the flag of its code in `list`.
void SetFlags(IXMLCursor& record, std::string_view list,
              std::initializer_list<std::pair<const char*, const char*>> elements_and_codes) {
  for (const auto& [element, code] : elements_and_codes) record.SetValue(element, Flag(list, code));
}

// Elements that SetValue adds go to the end of the record, but the markup rewrite
// tells a record without photos by its TUNING element coming last: TUNING is put back
// at the end when the pass added anything after it.
void KeepTuningLast(IXMLCursor& record) {
  const xmlNode* last = xmlLastElementChild(record.XMLDOMNode());
  if (last != nullptr && xmlStrcmp(last->name, BAD_CAST "TUNING") == 0) return;
  const std::string tuning = record.GetValue("TUNING");
  XmlCursorPtr element = record.Select("TUNING");
  if (!element->Eof()) element->Delete();
  record.SetValue("TUNING", tuning);
}

// Rewrites one vehicle record into the portal's vocabulary, element by element in
// the portal's order (an element the record lacks is added in that order).
void RewriteVehicle(Run& run, IXMLCursor& main, IXMLCursor& record,
                    const FreeTextSettings& settings) {
  ++run.state.vehicle_count;
  const Equipment equipment = {record.GetValue("EQUTINTERIEUR"), record.GetValue("EQUTEXTERIEUR"),
                               record.GetValue("EQUTSECURITE"), record.GetValue("INFOCOMPLEMENT")};

  ReplaceSiteContact(main, record, "TELEPHONE_A_AFFICHER", "EMAIL_A_AFFICHER");
  const std::string reference = RecordAdReference(run, record, record.GetValue("MARQUE"));
  record.SetValue("REFERENCE", reference + "-" + record.GetValue("REFERENCE"));
  record.SetValue("CATEGORIE", CategoryCode(record.GetValue("CATEGORIE")));
  record.SetValue("GARANTIE", RemoveWords(record.GetValue("GARANTIE"), {"MOIS"}));
  record.SetValue("NB_PORTES",
                  RemoveWords(record.GetValue("NB_PORTES"), {"hayon", "avec", "portes", "p"}));
  const std::string make = FullMakeName(record.GetValue("MARQUE"));
  record.SetValue("MARQUE", make);
  const std::string model = record.GetValue("MODELE");
  record.SetValue("VERSION", ShortVersion(record.GetValue("VERSION"), make, model));
  record.SetValue("PREMIERE_MAIN",
                  ReadInteger(record.GetValue("PREMIERE_MAIN"), 0) != 0 ? "O" : "N");
  record.SetValue("AUTO_RADIO", CarRadio(equipment));
  record.SetValue("CLIMATISATION", AirConditioning(equipment));
  const std::string& interior = equipment.interior;
  const std::string& exterior = equipment.exterior;
  const std::string& safety = equipment.safety;
  SetFlags(record, interior, {{"DIRECTION_ASSISTEE", "DirAss"}});
  SetFlags(record, safety, {{"FERMETURE_CENTRALISEE", "VerCent"}});
  SetFlags(record, interior, {{"GPS", "GPS"}, {"ORDINATEUR_DE_BORD", "OrdiBord"}});
  SetFlags(record, exterior,
           {{"PORTE_BAGAGE", "PorBag"}, {"RETROVISEURS_ELECTRIQUES", "RetrElec"}});
  SetFlags(record, interior, {{"SIEGES_CHAUFFANTS", "SChauf"}, {"SIEGES_ELECTRIQUES", "SElect"}});
  if (Flag(interior, "SCuir") == "O") record.SetValue("INTERIEUR", "cuir");
  SetFlags(record, interior,
           {{"TOIT_OUVRANT", "ToitOuvr"},
            {"TOIT_PANORAMIQUE", "ToitPano"},
            {"VITRES_ELECTRIQUES", "VitreElect"},
            {"VITRES_SURTEINTEES", "VitreTeint"},
            {"VOLANT_MULTIFONCTIONS", "VMFonct"}});
  SetFlags(record, safety,
           {{"ABS", "ABS"},
            {"AIRBAGS_FRONTAUX", "AirbagCond"},
            {"AIRBAGS_LATERAUX", "AirbagLat"},
            {"ALARME", "Alarme"},
            {"ANTI_DEMARRAGE", "AntiDem"},
            {"ANTI_PATINAGE", "AntiPat"},
            {"CONTROLE_PRESSION_DES_PNEUS", "CtPress"},
            {"ESP", "ESP"},
            {"PHARES_ANTIBROUILLARD", "AntiBrou"},
            {"PROJECTEURS_XENON", "LXen"}});
  SetFlags(record, exterior, {{"ATTELAGE", "AttRem"}});
  record.SetValue("JANTES", Flag(exterior, "JantAll") == "O" ? "alliage" : "");
  SetFlags(record, equipment.options, {{"NON_FUMEUR", "VNF"}});
  SetFlags(record, interior, {{"REGULATEUR_DE_VITESSE", "RegVit"}});
  SetFlags(record, exterior, {{"TUNING", "Tuning"}});
  record.SetValue("equipements", FreeText(record, settings));
  KeepTuningLast(record);
}

// ---- Photo pass ---------------------------------------------------------------------

constexpr const char* kPhotoSlot = "IDPHOTO";  // IDPHOTO1, IDPHOTO2...

// The photo's address goes into the vehicle's first empty IDPHOTOn, however many it
// already has. Returns that n, 0 when the vehicle is not in the stock.
int AttachPhoto(Run& run, IXMLCursor& main, IXMLCursor& photo) {
  ++run.state.photo_count;
  XmlCursorPtr vehicle = SelectVehicle(main, photo.GetValue("idVO"));
  if (vehicle->Eof()) return 0;
  return FillFirstEmptySlot(*vehicle, kPhotoSlot, std::numeric_limits<int>::max(),
                            PhotoAddress(run, photo.GetValue("NomImage")));
}

// ---- Markup rewrites ----------------------------------------------------------------

// The shared rewrite passes (letter case ignored, as every replacement here), and the
// renaming of the numbered photo slots.
class MarkupText : public MarkupRewrite {
 public:
  using MarkupRewrite::MarkupRewrite;
  void Replace(std::string_view from, std::string_view to) { ReplaceIgnoringCase(from, to); }
  // Every "IDPHOTO" + n + ">" (letter case ignored, n from 1 to `highest` as written in
  // decimal) becomes "PHOTO>": both tags of each slot, in one pass rather than one per n.
  // A replacement cannot form a new slot name, so this is the pass per n in effect.
  void RenamePhotoSlots(int highest) {
    static constexpr std::string_view kName = "IDPHOTO";
    scratch_.clear();
    size_t copied = 0;
    for (size_t i = 0; i + kName.size() < text_.size(); ++i) {
      if (!IsSlotNameAt(i, kName)) continue;
      size_t digits_end = i + kName.size();
      while (digits_end < text_.size() && text_[digits_end] >= '0' && text_[digits_end] <= '9') {
        ++digits_end;
      }
      const std::string_view digits(text_.data() + i + kName.size(), digits_end - i - kName.size());
      if (digits_end >= text_.size() || text_[digits_end] != '>' || digits.empty() ||
          digits[0] == '0' || digits.size() > 9 || std::stoi(std::string(digits)) > highest) {
        continue;
      }
      scratch_.append(text_, copied, i - copied);
      scratch_ += "PHOTO>";
      copied = digits_end + 1;
      i = digits_end;
    }
    scratch_.append(text_, copied);
    text_.swap(scratch_);
  }

 private:
  bool IsSlotNameAt(size_t i, std::string_view upper_name) const {
    if (text_.size() - i < upper_name.size()) return false;
    for (size_t k = 0; k < upper_name.size(); ++k) {
      if (AnsiUpperChar(text_[i + k]) != upper_name[k]) return false;
    }
    return true;
  }
};

// Photo slots become PHOTO elements inside one PHOTOS per vehicle that has photos; the
// slots, equipment lists and internal fields are cut out.
std::string RewriteStockMarkup(std::string text, int highest_photo) {
  MarkupText markup(std::move(text));
  markup.RemoveSpansInRecords("<NOMPHOTO1>", "</NOMPHOTO6>");
  markup.Replace("<IDPHOTO1>", "<PHOTOS><PHOTO>");
  markup.Replace("</DataVO>", "</IDPHOTOS>");
  markup.Replace("</IDPHOTOS>", "</PHOTOS></DataVO>");
  // A record without photos ends with its TUNING element: its PHOTOS end tag goes again.
  markup.Replace("TUNING></PHOTOS>", "TUNING>");
  markup.RenamePhotoSlots(highest_photo);
  markup.RemoveSpansInRecords("<EQUTINTERIEUR>", "</INFOCOMPLEMENT>");
  static constexpr std::pair<const char*, const char*> kSpans[] = {
      {"<TypeVO ", "</TypeVO>"},
      {"<InfosSRS ", "</InfosSRS>"},
      {"<id_Track>", "</id_Track>"},
      {"<RefVille>", "</RefVille>"},
      {"<RefSite>", "</RefSite>"},
      {"<RefExpo>", "</RefExpo>"},
      {"<MsgGarCons>", "</MsgGarCons>"},
      {"<MsgAnnonce>", "</MsgAnnonce>"},
      {"<HorairesCommercial>", "</HorairesCommercial>"},
      {"<LibelleSociete>", "</LibelleSociete>"}};
  for (const auto& [start, end] : kSpans) markup.RemoveSpans(start, end);
  return std::move(markup.text());
}

std::string EscapeAttribute(std::string_view value) {
  std::string escaped;
  for (char c : value) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// The site's document as the portal reads it: a CLIENT element with the site's code
// around the kept entries and one ANNONCE per kept vehicle.
std::string RewriteSiteMarkup(std::string text, std::string_view code) {
  const std::string client = "<CLIENT CODE=\"" + EscapeAttribute(code) + "\">";
  MarkupText markup(std::move(text));
  markup.RemoveSpans("<InfosSRS ", "</InfosSRS>");
  markup.RemoveSpans("<COORDONNEESS EOF=\"", "RecordName=\"COORDONNEES\"/>", client);
  markup.RemoveSpans("<COORDONNEESS EOF=\"", "RecordName=\"COORDONNEES\">", client);
  markup.Replace("</COORDONNEESS>", "");
  markup.RemoveSpans("<DataVOS EOF=\"", "RecordName=\"DataVO\">");
  markup.RemoveSpans("<DataVOS EOF=\"", "RecordName=\"DataVO\"/>");
  markup.Replace("</DataVOS>", "</CLIENT>");
  markup.RemoveSpans("<CODECLIENT>", "</CODECLIENT>");
  markup.Replace("<DataVO>", "<ANNONCE>");
  markup.Replace("</DataVO>", "</ANNONCE>");
  markup.Replace("<document>", "");
  markup.Replace("</document>", "");
  markup.Replace("<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>");
  for (const char* element : {"idVO", "InfoVille", "RefSite", "RefExpo"}) {
    const std::string name(element);
    markup.RemoveSpans("<" + name + ">", "</" + name + ">");
  }
  return ReplaceAll(markup.text(), "LIBELLEVILLE>", "VILLE>");
}

// ---- Per-site split -----------------------------------------------------------------

// A site section's built-in connection values; deployments set the real ones.
const ConnectionDefaults kSiteDefaults = {
    "images.concession.invalid", "concession@passerelle.multiportail.invalid", "placeho1", ""};

// Towns in upper case, compared as whole names (LILLE is not LILLERS). The empty town is
// never one of them.
class TownList {
 public:
  bool Has(std::string_view town) const {
    return !town.empty() && std::find(towns_.begin(), towns_.end(), town) != towns_.end();
  }
  void Add(std::string town) { towns_.push_back(std::move(town)); }

 private:
  std::vector<std::string> towns_;
};

// A client code names the site's files in the export folder: one that could name a
// file elsewhere, or no file at all on Windows, is refused.
bool IsSafeClientCode(std::string_view code) {
  if (code.find("..") != std::string_view::npos) return false;
  return std::none_of(code.begin(), code.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
           std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
  });
}

struct Site {
  std::string code;
  std::string section;       // ExportTarget + "-" + code
  std::string file_name;     // FileResult
  std::string archive_name;  // FileResultZip
  std::string town;          // InfoVille, upper case
};

Site ReadSite(const Run& run, const std::string& code) {
  Site site;
  site.code = code;
  site.section = run.state.export_target + "-" + code;
  site.file_name = run.Config(site.section, "FileResult", code + ".xml");
  site.archive_name = run.Config(site.section, "FileResultZip", code + ".zip");
  site.town = AnsiUpperCase(run.Config(site.section, "InfoVille", ""));
  return site;
}

// Where a record of the rewritten stock stands in its markup, and what the split reads
// of it (upper case).
struct RecordSpan {
  size_t begin;
  size_t end;
  std::string town;  // InfoVille
  std::string code;  // CODECLIENT, of the site entries
};

// The rewritten stock, from which every site's document is cut. A site's document is the
// whole stock less the entries and vehicles the site does not keep, and the document's
// markup is the stock's markup less those records' markup (no text stands between
// elements): so each site is cut out of this one text, rather than parsed again from the
// whole-run file, which would cost a parse of the whole stock per site.
struct SplitStock {
  std::string markup;
  std::vector<RecordSpan> entries;   // COORDONNEES, in document order
  std::vector<RecordSpan> vehicles;  // DataVO, in document order
};

std::vector<RecordSpan> LocateRecords(const std::string& markup, XmlCursorPtr records) {
  std::vector<RecordSpan> spans;
  size_t end = 0;
  for (; !records->Eof(); records->Next()) {
    const std::string record = records->XML();
    const size_t begin = markup.find(record, end);
    if (begin == std::string::npos) {
      throw RunError("Découpage par site impossible : un enregistrement manque au document");
    }
    end = begin + record.size();
    spans.push_back({begin, end, AnsiUpperCase(records->GetValue("InfoVille")),
                     AnsiUpperCase(records->GetValue("CODECLIENT"))});
  }
  return spans;
}

SplitStock ReadSplitStock(IXMLCursor& document) {
  SplitStock stock;
  stock.markup = document.XML();
  stock.entries = LocateRecords(stock.markup, SelectSites(document));
  stock.vehicles = LocateRecords(stock.markup, SelectVehicles(document));
  return stock;
}

// The markup of a site's document: the entries of the site's town, and the vehicles of
// every town of the site's client code. `kept` counts those vehicles.
std::string CutSite(const SplitStock& stock, const Site& site, int& kept) {
  TownList towns;
  const std::string code = AnsiUpperCase(site.code);
  std::vector<const RecordSpan*> left_out;
  for (const RecordSpan& entry : stock.entries) {
    if (entry.code == code) towns.Add(entry.town);
    if (entry.town != site.town) left_out.push_back(&entry);
  }
  kept = 0;
  for (const RecordSpan& vehicle : stock.vehicles) {
    if (towns.Has(vehicle.town)) {
      ++kept;
    } else {
      left_out.push_back(&vehicle);
    }
  }
  std::sort(left_out.begin(), left_out.end(),
            [](const RecordSpan* a, const RecordSpan* b) { return a->begin < b->begin; });
  std::string markup;
  size_t copied = 0;
  for (const RecordSpan* span : left_out) {
    markup.append(stock.markup, copied, span->begin - copied);
    copied = span->end;
  }
  markup.append(stock.markup, copied);
  return markup;
}

// One site's file, archive and upload to its own account. Adds the site's line to the
// summary; a site whose town an earlier site already delivered, or without vehicles,
// adds nothing.
void DeliverSite(Run& run, IXMLCursor& site_document, const Site& site, const SplitStock& stock,
                 const std::string& folder, TownList& handled_towns, std::string& summary) {
  LoadGatewayFields(run, site.section, kSiteDefaults);
  if (handled_towns.Has(site.town)) return;
  handled_towns.Add(site.town);
  int kept = 0;
  const std::string markup = CutSite(stock, site, kept);
  if (kept == 0) return;
  summary += site.town + " : " + std::to_string(kept) + " VO, ";

  site_document.LoadXML(RewriteSiteMarkup(markup, site.code));
  const std::string site_file = folder + "\\" + site.file_name;
  site_document.Save(site_file);
  site_document.Save(folder + "\\" + run.state.export_target + "-" + site.town + "-" +
                     run.FormatNow("yyyymmdd") + ".xml");
  const std::string archive = folder + "\\" + site.archive_name;
  PackArchive(run, archive, {site_file}, ZipLogLine::kNotLogged);
  // Each site has its own account: the connection is closed after every upload.
  summary += SendFileFTP(run, archive, false) + site.file_name + ", ";
}

}  // namespace

void ExportSitAutoPro(Run& run) {
  const std::string& target = run.state.export_target;
  const std::string folder = ExportFolder(run);
  EnsureFolder(run, folder);
  LoadImageServerFields(run);
  // Facts of the dealer rather than of a portal: both targets read them from Options.
  const FreeTextSettings free_text = {run.Config("Options", "NomVendeurAgence", kBranchSalesperson),
                                      run.Config("Options", "LibelleAgence", kBranchLabel)};

  XmlCursorPtr main = LoadSourceDocument(run, target);
  ResetCounters(run);
  ForEachVehicle(run, *main,
                 [&](IXMLCursor& record) { RewriteVehicle(run, *main, record, free_text); });

  int highest_photo = 0;
  ForEachPhoto(run, *main, [&](IXMLCursor& photo) {
    highest_photo = std::max(highest_photo, AttachPhoto(run, *main, photo));
  });

  // P's name is fixed once: a run that goes past midnight reads back the file it wrote.
  const std::string whole_run_file =
      folder + "\\" + target + "-" + run.FormatNow("yyyymmdd") + ".xml";
  main->Save(whole_run_file);
  RemoveAuxiliarySections(run, *main);
  std::string text = main->XML();
  main->Save(whole_run_file);
  text = RewriteStockMarkup(std::move(text), highest_photo);
  SaveStringToFile(run, whole_run_file, text);
  main->LoadXML(text);
  main->Save(whole_run_file);
  const SplitStock stock = ReadSplitStock(*main);

  XmlCursorPtr site_document = CreateXmlCursor(run.paths());
  TownList handled_towns;
  std::string summary;
  for (XmlCursorPtr entry = SelectSites(*main); !entry->Eof(); entry->Next()) {
    const std::string code = entry->GetValue("CODECLIENT");
    if (!IsSafeClientCode(code)) {
      const std::string refused = "Code client \"" + code +
                                  "\" refusé : il ne peut pas nommer un fichier du dossier " +
                                  "d'export, site ignoré";
      run.WriteLog(refused);
      summary += refused + ", ";
      continue;
    }
    run.state.site_code = code;
    DeliverSite(run, *site_document, ReadSite(run, code), stock, folder, handled_towns, summary);
  }
  run.state.site_code.clear();

  run.WriteLog("");
  run.WriteLog(summary + "Fichiers VO actualisés sur site FTP au total : " +
               std::to_string(run.state.vehicle_count) + " VO");
  FinishRun(run);
}

}  // namespace listelo
