#include "exporters/export_steps.h"

#include <charconv>
#include <filesystem>

#include "app/ini_file.h"
#include "app/run.h"
#include "platform/text.h"
#include "xml/stock_document.h"

namespace listelo {

const ConnectionDefaults kImageServerDefaults = {
    "images.concession.invalid", "voimages@images.concession.invalid", "PlaceHo1", "www/voimages"};

std::string ExportFolder(const Run& run) {
  std::string folder = run.WindowsFolder();
  folder += "\\TEMP\\Listelo";
  return folder;
}

void EnsureFolder(const Run& run, std::string_view windows_folder) {
  std::error_code ec;
  std::filesystem::create_directory(run.HostPath(windows_folder), ec);
}

void LoadConnectionFields(Run& run, const ConnectionDefaults& gateway) {
  const std::string& target = run.state.export_target;
  WindowPort& window = run.window();
  const ConnectionDefaults& images = kImageServerDefaults;
  window.SetField(Field::kServeurVOImages, run.Config("VOImages", "ServeurFTP", images.server));
  window.SetField(Field::kUserVOImages, run.Config("VOImages", "User", images.user));
  window.SetField(Field::kPasswordVOImages, run.Config("VOImages", "PassWord", images.password));
  window.SetField(Field::kRepertVOImages, run.Config("VOImages", "PathFTP", images.folder));
  window.SetField(Field::kServeur, run.Config(target, "ServeurFTP", gateway.server));
  window.SetField(Field::kUser, run.Config(target, "User", gateway.user));
  window.SetField(Field::kPassword, run.Config(target, "PassWord", gateway.password));
  window.SetField(Field::kRepert, run.Config(target, "PathFTP", gateway.folder));
  run.state.test_ftp_vo_images = OnUnlessZero(run.Config(target, "TestFTPVOImages", "0"));
}

XmlCursorPtr LoadSourceDocument(Run& run, std::string_view file_target) {
  XmlCursorPtr cursor = CreateXmlCursor(run.paths());
  cursor->Load(SourceDocumentPath(run.ini(), file_target));
  return cursor;
}

void ResetCounters(Run& run) {
  run.state.photo_count = 0;
  run.state.updated_photo_count = 0;
  run.state.vehicle_count = 0;
}

void LogUpdatedPhotos(Run& run) {
  if (run.state.updated_photo_count != 0) {
    std::string line = "Nb Photos Mises à jour : ";
    line += std::to_string(run.state.updated_photo_count);
    line += " photos --- ";
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

void FinishRun(Run& run) { run.state.run_finished = true; }

}  // namespace listelo
