// The end of an export run: writing the file the portal receives, packing it, and the
// delivery with its closing log lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace listelo {

class Run;

// Writes the file that is delivered: missing folders are created and the file is
// replaced in one step. When it cannot be written the run stops (IoError naming the file
// and the reason): delivering an old file, or none, as if it were this run's must not
// happen. Dated copies, which nobody receives, are written with WriteAnsiStringToFile.
void WriteDeliveryFile(const Run& run, std::string_view file_name, std::string_view content);

// Whether packing logs "Zip File : " + archive first.
enum class ZipLogLine { kLogged, kNotLogged };

// A fresh archive of the files that `file_specs` name (Windows-form paths, "*" and "?"
// allowed in the name): an existing archive is deleted first. Then "Fichier " + archive
// + " créé" goes to the window's message list (not to the log file). Zip failures raise
// ZipException.
void PackArchive(Run& run, std::string_view archive, const std::vector<std::string>& file_specs,
                 ZipLogLine zip_line = ZipLogLine::kLogged);

// Logs `result` (a delivery result text) + "Fichier VO actualisé sur site FTP : " +
// `shown_file` + " - " + VehicleCount + " VO" + `suffix`.
void LogDeliveryResult(Run& run, std::string_view result, std::string_view shown_file,
                       std::string_view suffix = {});

// Uploads the archive to the gateway, keeping the connection, and logs the result with
// the archive's file name (LogDeliveryResult). Returns the result text.
std::string SendArchive(Run& run, std::string_view archive, std::string_view suffix = {});

// The usual closing: logs "Début Transfert : " + archive, resets the log, logs the
// updated photos (LogUpdatedPhotos), then SendArchive.
std::string DeliverArchive(Run& run, std::string_view archive, std::string_view suffix = {});

}  // namespace listelo
