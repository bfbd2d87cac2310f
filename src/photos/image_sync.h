// Keeps the dealer's image server in step with the local photo folder while an export
// runs: each photo that an advertisement names, and its "m.jpg" thumbnail, is looked for
// locally and asked about on the image server (MDTM, or over SFTP an open of the
// file), and uploaded when only the local folder has it. Nothing here stops an export:
// problems become log lines or nothing.
//
// With the target's test switch off (RunState::test_ftp_vo_images) every photo counts as
// present on the server and the server is never contacted. Once a connection to the
// image server has failed, the rest of the run does not try again: every photo then
// counts as missing there and its upload is skipped. Uploads that fail or are skipped
// are counted for the run's closing lines.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace listelo {

class Run;
class WorkingFolderFiles;

// Whether the image server holds `name` (relative to the image folder): one MDTM (over
// SFTP one open of the file) on the run's image-server connection, opened on first need.
// Always true with the test switch off; false when the question could not be asked, the
// reply is not "213" with a valid time stamp, or the SFTP server has no such file.
bool ImageExistsFTP(Run& run, std::string_view name);

// Uploads the local file (a Windows-form path) to the image server as `server_name`,
// relative to the image folder, making missing folders of that name; the connection
// stays open. A failed upload is logged ("Pb Envoi : " + name + " - " + reason) and
// counted in RunState::unsent_photo_count. When the server proves unusable (no
// connection, a time-out, a broken transfer, no data connection) one line says so and
// the run's remaining uploads are skipped, and counted too.
void PutImageFTP(Run& run, std::string_view local_path, std::string_view server_name);

// Checks photo `name` (as the source document gives it, "/"-separated, with ".jpg") and
// its thumbnail: logs "Pb Existence : " for a photo that neither side has, and for one
// that only the local folder has raises UpdatedPhotoCount, logs "Update ", and uploads it.
// The photo is stored under `name` itself, the thumbnail under its bare file name.
void SyncImage(Run& run, std::string_view name);

// For exporters that ship photos in their own archive: copies photo `name` into
// `working_folder` as `reference` + "_" + `number` + ".jpg", counts it, and reports (without
// uploading) what is missing locally or on the image server, for the photo and its
// thumbnail.
void CopySyncImage(Run& run, int number, std::string_view name, std::string_view reference,
                   std::string_view working_folder);
// The same with the working folder already found on this host, for a run that copies
// many photos into one folder.
void CopySyncImageToHostFolder(Run& run, int number, std::string_view name,
                               std::string_view reference,
                               const std::filesystem::path& working_folder);
// The same for a run that brings its working folder to this run's files: a copy that is
// already there as it should be is kept (see WorkingFolderFiles).
void CopySyncImage(Run& run, int number, std::string_view name, std::string_view reference,
                   WorkingFolderFiles& working_folder);

// The server-relative name of a photo reference: a reference starting with "http://www"
// (any letter case) loses its host part and the "/" after it; any other is kept as it is.
std::string ImageServerPath(std::string_view name);

}  // namespace listelo
