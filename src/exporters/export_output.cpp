#include "exporters/export_output.h"

#include <filesystem>

#include "app/files.h"
#include "app/run.h"
#include "delivery/ftp_delivery.h"
#include "delivery/zip.h"
#include "exporters/export_steps.h"
#include "platform/paths.h"

namespace listelo {

void WriteDeliveryFile(const Run& run, std::string_view file_name, std::string_view content,
                       FilePrivacy privacy) {
  ReplaceFileAtomically(run.HostPath(file_name), content, privacy);
}

void PackArchive(Run& run, std::string_view archive, const std::vector<std::string>& file_specs,
                 ZipLogLine zip_line) {
  if (zip_line == ZipLogLine::kLogged) run.WriteLog("Zip File : " + std::string(archive));
  TZip zip(run);
  std::error_code ec;
  std::filesystem::remove(run.HostPath(archive), ec);
  zip.OpenArchive(archive);
  zip.FileSpecs().insert(zip.FileSpecs().end(), file_specs.begin(), file_specs.end());
  zip.AddFiles();
  run.window().AddLine("Fichier " + std::string(archive) + " créé");
}

void LogDeliveryResult(Run& run, std::string_view result, std::string_view shown_file,
                       std::string_view suffix) {
  std::string line(result);
  line += "Fichier VO actualisé sur site FTP : ";
  line += shown_file;
  line += " - ";
  line += std::to_string(run.state.vehicle_count);
  line += " VO";
  line += suffix;
  run.WriteLog(line);
}

std::string SendArchive(Run& run, std::string_view archive, std::string_view suffix) {
  std::string result = SendFileFTP(run, archive, true);
  LogDeliveryResult(run, result, WindowsFileName(archive), suffix);
  return result;
}

std::string DeliverArchive(Run& run, std::string_view archive, std::string_view suffix) {
  run.WriteLog("Début Transfert : " + std::string(archive));
  run.WriteLog("");
  LogUpdatedPhotos(run);
  return SendArchive(run, archive, suffix);
}

}  // namespace listelo
