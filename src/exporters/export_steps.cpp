#include "exporters/export_steps.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/errors.h"
#include "app/ini_file.h"
#include "app/run.h"
#include "delivery/zip_wildcard.h"
#include "platform/paths.h"
#include "platform/regional.h"
#include "platform/text.h"
#include "transforms/reference.h"
#include "xml/stock_document.h"

namespace listelo {

const ConnectionDefaults kImageServerDefaults = {
    "images.concession.invalid", "voimages@images.concession.invalid", "PlaceHo1", "www/voimages"};
const ConnectionDefaults kMakerImageServerDefaults = {"ftp.constructeur.invalid", "dorvane",
                                                      "PlaceHo2", "www/voimages"};
const ConnectionDefaults kMakerExportDefaults = {"ftp.constructeur.invalid", "dorvane", "PlaceHo2",
                                                 "www/dorvane/export"};

std::string ExportFolder(const Run& run) {
  std::string folder = run.WindowsFolder();
  folder += "\\TEMP\\Listelo";
  return folder;
}

void EnsureFolder(const Run& run, std::string_view windows_folder) {
  std::error_code ec;
  std::filesystem::create_directory(run.HostPath(windows_folder), ec);
}

namespace {

// Whether a PathTemp value, put after the Windows folder, names a folder strictly below
// it. ".." climbs; a name of dots and blanks only names the folder it stands in, since
// Windows drops trailing dots and blanks from names.
bool NamesFolderBelowWindows(std::string_view path_temp) {
  int depth = 0;
  for (size_t start = 0; start <= path_temp.size();) {
    size_t end = path_temp.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = path_temp.size();
    std::string_view name = path_temp.substr(start, end - start);
    start = end + 1;
    if (name == "..") {
      if (--depth < 0) return false;
      continue;
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    if (!name.empty()) ++depth;
  }
  return depth > 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string WorkingFolder(const Run& run, std::string_view default_path_temp) {
  const std::string& target = run.state.export_target;
  const std::string path_temp = run.Config(target, "PathTemp", default_path_temp);
  if (!NamesFolderBelowWindows(path_temp)) {
    // Emptying it would delete the files of the Windows folder, or of a whole drive.
    throw RunError("PathTemp de la section " + target + " (\"" + path_temp +
                   "\") ne désigne pas un sous-dossier du dossier Windows : le dossier de "
                   "travail ne peut pas être vidé, export arrêté sans rien supprimer.");
  }
  return run.WindowsFolder() + path_temp;
}

void LoadImageServerFields(Run& run, const ConnectionDefaults& image_server) {
  WindowPort& window = run.window();
  const ConnectionDefaults& images = image_server;
  window.SetField(Field::kServeurVOImages, run.Config("VOImages", "ServeurFTP", images.server));
  window.SetField(Field::kUserVOImages, run.Config("VOImages", "User", images.user));
  window.SetField(Field::kPasswordVOImages, run.Config("VOImages", "PassWord", images.password));
  window.SetField(Field::kRepertVOImages, run.Config("VOImages", "PathFTP", images.folder));
}

void LoadGatewayFields(Run& run, std::string_view section, const ConnectionDefaults& gateway) {
  WindowPort& window = run.window();
  window.SetField(Field::kServeur, run.Config(section, "ServeurFTP", gateway.server));
  window.SetField(Field::kUser, run.Config(section, "User", gateway.user));
  window.SetField(Field::kPassword, run.Config(section, "PassWord", gateway.password));
  window.SetField(Field::kRepert, run.Config(section, "PathFTP", gateway.folder));
}

void LoadConnectionFields(Run& run, const ConnectionDefaults& gateway,
                          const ConnectionDefaults& image_server) {
  const std::string& target = run.state.export_target;
  LoadImageServerFields(run, image_server);
  LoadGatewayFields(run, target, gateway);
  run.state.test_ftp_vo_images = OnUnlessZero(run.Config(target, "TestFTPVOImages", "0"));
}

void LoadConnectionFields(Run& run, const ConnectionDefaults& gateway) {
  LoadConnectionFields(run, gateway, kImageServerDefaults);
}

XmlCursorPtr LoadSourceDocument(Run& run, std::string_view file_target) {
  XmlCursorPtr cursor = CreateXmlCursor(run.paths());
  LoadStockDocument(*cursor, SourceDocumentPath(run.ini(), file_target));
  return cursor;
}

void ResetCounters(Run& run) {
  run.state.photo_count = 0;
  run.state.updated_photo_count = 0;
  run.state.vehicle_count = 0;
  run.state.unsent_photo_count = 0;
  run.state.first_unsent_photo_reason.clear();
}

void LogUpdatedPhotos(Run& run) {
  if (run.state.updated_photo_count != 0) {
    std::string line = "Nb Photos Mises à jour : ";
    line += std::to_string(run.state.updated_photo_count);
    line += " photos --- ";
    run.WriteLog(line);
  }
  // The run log keeps only the closing lines: this one tells that photos are missing on
  // the image server, the "Pb Envoi" lines of each upload being gone with the reset.
  if (run.state.unsent_photo_count != 0) {
    std::string line = "Nb Photos non envoyées au serveur d'images : ";
    line += std::to_string(run.state.unsent_photo_count);
    line += " photos --- première cause : ";
    line += run.state.first_unsent_photo_reason;
    run.WriteLog(line);
  }
}

int ReadInteger(std::string_view text, int default_value) {
  std::string_view digits = TrimBlanks(text);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
    return default_value;
  }
  return value;
}

double ReadNumber(std::string_view text, const RegionalSettings& regional, double default_value) {
  // Rewritten in the C locale's form for from_chars, which alone does not know the
  // locale's separator and would take "inf", "nan" and hexadecimal forms.
  std::string plain;
  size_t i = 0;
  const auto blanks = [&] {
    while (i < text.size() && text[i] == ' ') ++i;
  };
  const auto digits = [&] {
    const size_t begin = i;
    while (i < text.size() && IsDigit(text[i])) plain += text[i++];
    return i - begin;
  };
  blanks();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') plain += '-';
    ++i;
  }
  size_t mantissa_digits = digits();
  if (i < text.size() && text[i] == regional.decimal_separator) {
    plain += '.';
    ++i;
    mantissa_digits += digits();
  }
  if (mantissa_digits == 0) return default_value;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    plain += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    if (digits() == 0) return default_value;
  }
  blanks();
  if (i != text.size()) return default_value;
  double value = 0;
  const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (error != std::errc() || end != plain.data() + plain.size()) return default_value;
  return value;
}

std::string FormatGeneralNumber(double value, const RegionalSettings& regional) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";  // -0 too
  char buffer[40];
  // %G takes the exponent form exactly when the general format does; only the exponent
  // is written differently ("1E+15" here, "1E15" there).
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string text;
  for (const char* p = buffer; *p != '\0'; ++p) {
    if (*p == '.') {
      text += regional.decimal_separator;
    } else if (*p == 'E') {
      text += 'E';
      if (*++p == '-') text += '-';
      ++p;
      while (*p == '0' && p[1] != '\0') ++p;
      text += p;
      break;
    } else {
      text += *p;
    }
  }
  return text;
}

void ForEachVehicle(Run& run, IXMLCursor& main, const std::function<void(IXMLCursor&)>& rewrite) {
  XmlCursorPtr records = SelectVehicles(main);
  run.WriteLog("Après premier Select DataVO");
  for (; !records->Eof(); records->Next()) rewrite(*records);
}

void ForEachPhoto(Run& run, IXMLCursor& main, const std::function<void(IXMLCursor&)>& attach) {
  XmlCursorPtr photos = SelectPhotos(main);
  run.WriteLog("Après premier Select LiensImages");
  while (!photos->Eof()) {
    attach(*photos);
    photos->Next();
    run.window().ProcessEvents();
  }
}

namespace {

// The sections that go once the passes are done, in their order, each with the line
// logged before it goes.
struct AuxiliarySection {
  std::string_view path;
  const char* logged_before;
};
constexpr AuxiliarySection kAuxiliarySections[] = {
    {kPhotosSection, "Avant Suppression LiensImages"},
    {kEquipmentLabelsSection, "Avant Suppression LiensEquipements"},
    {kAliasesSection, "Après Suppression LiensImages & LiensEquipements & Aliases"}};
constexpr const char* kAuxiliarySectionsGone = "Après Aliases";

}  // namespace

void RemoveAuxiliarySections(Run& run, IXMLCursor& document) {
  for (const AuxiliarySection& section : kAuxiliarySections) {
    XmlCursorPtr found = document.Select(section.path);
    run.WriteLog(section.logged_before);
    if (!found->Eof()) found->Delete();
  }
  run.WriteLog(kAuxiliarySectionsGone);
}

std::string SaveThenTakeMarkup(Run& run, IXMLCursor& document, std::string_view file_name) {
  std::vector<std::string_view> paths;
  for (const AuxiliarySection& section : kAuxiliarySections) paths.push_back(section.path);
  std::string markup =
      document.SaveThenTakeXML(file_name, paths, IXMLCursor::FreedMemory::kReturned);
  for (const AuxiliarySection& section : kAuxiliarySections) run.WriteLog(section.logged_before);
  run.WriteLog(kAuxiliarySectionsGone);
  return markup;
}

std::string AdReferenceLead(std::string_view lead, std::string_view type_vo) {
  return ReadInteger(type_vo, 0) == 1 ? std::string() : std::string(lead);
}

std::string RecordAdReference(const Run& run, IXMLCursor& record, std::string_view lead) {
  return BuildAdReference(AdReferenceLead(lead, record.GetValue("TypeVO")),
                          record.GetValue("RefSite"), record.GetValue("RefExpo"),
                          run.host().clock.Now());
}

std::string PhotoAddress(const Run& run, std::string_view photo_name) {
  std::string address = run.state.url_images;
  address += '/';
  address += photo_name;
  address += ".jpg";
  return address;
}

std::vector<std::string> VehiclePhotoAddresses(const Run& run, IXMLCursor& document,
                                               std::string_view id_vo, size_t max_count) {
  std::vector<std::string> addresses;
  if (max_count == 0) return addresses;
  for (XmlCursorPtr photo = SelectPhotosOfVehicle(document, id_vo); !photo->Eof(); photo->Next()) {
    addresses.push_back(PhotoAddress(run, photo->GetValue("NomImage")));
    if (addresses.size() == max_count) break;
  }
  return addresses;
}

int FillFirstEmptySlot(IXMLCursor& record, std::string_view slot_prefix, int slot_count,
                       std::string_view value) {
  std::string name(slot_prefix);
  for (int slot = 1; slot <= slot_count; ++slot) {
    name.resize(slot_prefix.size());
    name += std::to_string(slot);
    if (record.GetValue(name).empty()) {
      record.SetValue(name, value);
      return slot;
    }
  }
  return 0;
}

std::vector<std::string> ListFolderFiles(const Run& run, std::string_view windows_folder,
                                         std::string_view pattern) {
  std::vector<std::string> files;
  for (const std::filesystem::path& file :
       ListMatchingFiles(run.HostPath(windows_folder), pattern)) {
    files.push_back(std::string(windows_folder) + "\\" + PathMapper::ToText(file.filename()));
  }
  return files;
}

void FinishRun(Run& run) { run.state.run_finished = true; }

BackgroundSnapshot::BackgroundSnapshot(XmlCursorPtr document)
    : document_(std::move(document)),
      snapshot_(std::async(std::launch::async,
                           [document = document_] { return document->TakeSnapshot(); })) {}

void BackgroundSnapshot::Save(std::string_view file_name) {
  document_->Save(file_name, snapshot_.get());
}

BackgroundMarkupCheck::BackgroundMarkupCheck(XmlCursorPtr cursor, std::string_view markup)
    : done_(std::async(std::launch::async,
                       [cursor = std::move(cursor), markup] { cursor->CheckXML(markup); })) {}

void BackgroundMarkupCheck::Wait() { done_.get(); }

void SaveRewrittenMarkup(Run& run, const XmlCursorPtr& document, std::string_view markup,
                         std::string_view replacements_done, const std::vector<std::string>& files,
                         std::string_view saved) {
  BackgroundMarkupCheck reads_back(document, markup);
  run.WriteLog("Result : ", markup);
  run.WriteLog(replacements_done);
  document->SaveMarkupToEach(files, saved, [&] {
    reads_back.Wait();
    run.WriteLog("Avant Enregistrement");
  });
}

}  // namespace listelo
