#include "photos/image_sync.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "app/run.h"
#include "delivery/ftp_client.h"
#include "delivery/ftp_delivery.h"
#include "photos/working_folder_files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace listelo {

namespace fs = std::filesystem;

namespace {

// Whether a photo name, relative to the photo folder ("/" or "\\" separated), stays in
// that folder. The names come from the stock database: one that climbs out of it
// ("../x", "2026/../../x") or names a drive would make the run read, copy into an archive
// or upload a file that is no photo of the dealer's. ".." may only leave a sub-folder the
// name went into; as Windows drops trailing dots and blanks from names, any part of only
// dots and blanks with two dots or more counts as "..".
bool StaysInPhotoFolder(std::string_view name) {
  if (name.find(':') != std::string_view::npos) return false;
  int depth = 0;
  for (size_t start = 0; start <= name.size();) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    start = end + 1;
    const bool dots_and_blanks = part.find_first_not_of(". ") == std::string_view::npos;
    if (dots_and_blanks && std::count(part.begin(), part.end(), '.') >= 2) {
      if (--depth < 0) return false;
    } else if (!dots_and_blanks) {
      ++depth;
    }
  }
  return true;
}

bool LocalFileExists(const Run& run, const std::string& windows_path) {
  return fs::is_regular_file(run.paths().Locate(windows_path).status);
}

// The image-server connection, opened with `label_suffix` added to Label1 when it is
// not open yet. A connection that failed once is not tried again in this run.
bool ImageServerReady(Run& run, const std::string& label_suffix) {
  FtpClient& server = run.ImageServerFtp();
  if (server.connected()) return true;
  if (server.connect_failed()) return false;
  WindowPort& window = run.window();
  window.SetLabel(1, window.Label(1) + label_suffix);
  return server.Connect(ImageServerEndpoint(run));
}

// A name that climbs out of the image folder, starts at the server's root or has an
// empty part is never stored.
bool IsSafeServerName(std::string_view name) {
  return !name.empty() && name.front() != '/' && name.find("//") == std::string_view::npos &&
         name.back() != '/' && StaysInPhotoFolder(name);
}

// A photo that did not reach the image server, for the run's closing lines.
void NotSent(Run& run, const std::string& reason) {
  if (run.state.unsent_photo_count++ == 0) run.state.first_unsent_photo_reason = reason;
}

void UploadFailed(Run& run, std::string_view server_name, const std::string& reason) {
  run.WriteLog("Pb Envoi : " + std::string(server_name) + " - " + reason);
  NotSent(run, reason);
}

// The rest of the run's uploads are skipped; the run log says so once.
void GiveUpImageServer(Run& run, const std::string& reason) {
  run.state.image_server_given_up = true;
  run.state.image_server_failure = reason;
  run.WriteLog("Serveur d'images inutilisable (" + reason +
               ") : les photos suivantes ne lui sont pas envoyées");
}

std::string UpdateText(const Run& run, std::string_view what) {
  return "Update " + std::to_string(run.state.updated_photo_count) + " : " + std::string(what);
}

std::string ImageText(const Run& run, const std::string& local_path) {
  return "Image " + std::to_string(run.state.photo_count) + " : " + local_path;
}

// What SyncImage does with one file, given where it was found.
void SyncOne(Run& run, bool local, bool on_server, std::string_view missing_name,
             const std::string& local_path, std::string_view server_name) {
  if (!local && !on_server) {
    run.WriteLog("Pb Existence : " + std::string(missing_name));
  } else if (local && !on_server) {
    ++run.state.updated_photo_count;
    run.WriteLog(UpdateText(run, WindowsFileName(local_path)));
    run.window().SetLabel(2, UpdateText(run, local_path));
    PutImageFTP(run, local_path, server_name);
  }
}

// What CopySyncImage reports for one file, `local` telling whether the local folder has
// it; nothing is uploaded.
void ReportOne(Run& run, const std::string& server_name, const std::string& local_path,
               bool local) {
  if (!local) {
    run.WriteLog("Pb Existence : " + server_name);
  } else if (!ImageExistsFTP(run, server_name)) {
    ++run.state.updated_photo_count;
    run.WriteLog(UpdateText(run, server_name));
    run.window().SetLabel(2, UpdateText(run, local_path));
  }
}

}  // namespace

bool ImageExistsFTP(Run& run, std::string_view name) {
  // With the switch off the answer is "present" whatever the server would say, so it is
  // not asked at all.
  if (!run.state.test_ftp_vo_images) return true;
  if (!ImageServerReady(run, " - on connection " + std::string(name))) return false;
  return run.ImageServerFtp().HasFile(name).value_or(false);
}

void PutImageFTP(Run& run, std::string_view local_path, std::string_view server_name) {
  FtpClient& server = run.ImageServerFtp();
  if (run.state.image_server_given_up) {
    NotSent(run, run.state.image_server_failure);
    return;
  }
  if (!ImageServerReady(run, " - on connection")) {
    GiveUpImageServer(run, server.last_error());
    NotSent(run, server.last_error());
    return;
  }
  if (!IsSafeServerName(server_name)) {
    UploadFailed(run, server_name, "Invalid file name");
    return;
  }
  WindowPort& window = run.window();
  window.SetLabel(2, window.Label(2) + " - on transfert");
  if (server.Store(run.HostPath(local_path), server_name, /*create_folders=*/true) ==
      FtpStoreResult::kStored) {
    return;
  }
  UploadFailed(run, server_name, server.last_error());
  // A connection that broke or timed out, or no data connection at all: every further
  // upload would fail the same way, most after a time-out of their own.
  if (server.connect_failed() || server.data_connection_failed()) {
    GiveUpImageServer(run, server.last_error());
  }
}

void SyncImage(Run& run, std::string_view name) {
  std::string local_path = run.state.path_images + "\\" + std::string(name);
  std::replace(local_path.begin(), local_path.end(), '/', '\\');
  run.window().SetLabel(1, ImageText(run, local_path));
  if (!run.state.test_ftp_vo_images) {
    // The server then counts as holding every photo, so whether the local folder has it
    // changes nothing: neither "Pb Existence" nor an update. Only the labels move on.
    local_path = AnsiReplaceAllIgnoreCase(local_path, ".jpg", "m.jpg");
    run.window().SetLabel(1, ImageText(run, local_path));
    return;
  }
  // A name that leaves the photo folder counts as missing on both sides: nothing outside
  // the folder is read, and the server is not asked about it.
  const bool confined = StaysInPhotoFolder(name);
  bool local = confined && LocalFileExists(run, local_path);
  bool on_server = confined && ImageExistsFTP(run, name);
  // The photo is stored under the name it was asked about, so that the address the
  // advertisement carries exists.
  SyncOne(run, local, on_server, name, local_path, name);

  local_path = AnsiReplaceAllIgnoreCase(local_path, ".jpg", "m.jpg");
  run.window().SetLabel(1, ImageText(run, local_path));
  std::string thumbnail(WindowsFileName(local_path));
  local = confined && LocalFileExists(run, local_path);
  on_server = confined && ImageExistsFTP(run, thumbnail);
  SyncOne(run, local, on_server, thumbnail, local_path, thumbnail);
}

void CopySyncImage(Run& run, int number, std::string_view name, std::string_view reference,
                   std::string_view working_folder) {
  CopySyncImageToHostFolder(run, number, name, reference, run.HostPath(working_folder));
}

namespace {

// CopySyncImage's steps, `place(source, file_name)` making the copy.
template <typename Place>
void CopyAndReport(Run& run, int number, std::string_view name, std::string_view reference,
                   Place place) {
  std::string server_name = ImageServerPath(name);
  std::string source = run.state.path_images + "\\" + server_name;
  // A name that leaves the photo folder is a missing photo: never copied, never asked.
  const bool confined = StaysInPhotoFolder(server_name);
  const PathMapper::Entry source_file = confined ? run.paths().Locate(source) : PathMapper::Entry{};
  const bool local = fs::is_regular_file(source_file.status);
  if (local) {
    // The reference comes from the stock database: a separator in it must not lead the
    // copy out of the working folder.
    std::string file_name = std::string(reference) + "_" + std::to_string(number) + ".jpg";
    for (char& c : file_name) {
      if (c == '\\' || c == '/' || c == ':') c = '_';
    }
    // A copy that fails leaves the photo out of the archive, as a photo missing locally
    // would be, and the run goes on.
    place(source_file.path, file_name);
  }
  ++run.state.photo_count;
  run.window().SetLabel(1, ImageText(run, source));
  ReportOne(run, server_name, source, local);

  server_name = ImageServerPath(AnsiReplaceAllIgnoreCase(name, ".jpg", "m.jpg"));
  const std::string thumbnail = run.state.path_images + "\\" + server_name;
  ReportOne(run, server_name, thumbnail,
            StaysInPhotoFolder(server_name) && LocalFileExists(run, thumbnail));
}

}  // namespace

void CopySyncImageToHostFolder(Run& run, int number, std::string_view name,
                               std::string_view reference, const fs::path& working_folder) {
  // The copy's name is ours: it is joined to the folder as it is, not matched against the
  // folder's entries, which change with every copy and would have to be read again each
  // time.
  CopyAndReport(run, number, name, reference,
                [&](const fs::path& source, const std::string& file_name) {
                  PlaceCopy(source, working_folder / PathMapper::FromText(file_name));
                });
}

void CopySyncImage(Run& run, int number, std::string_view name, std::string_view reference,
                   WorkingFolderFiles& working_folder) {
  CopyAndReport(run, number, name, reference,
                [&](const fs::path& source, const std::string& file_name) {
                  working_folder.CopyPhoto(source, file_name);
                });
}

std::string ImageServerPath(std::string_view name) {
  if (name.size() >= 10 && AnsiUpperCase(name.substr(0, 10)) == "HTTP://WWW") {
    size_t slash = name.find('/', 10);
    return slash == std::string_view::npos ? std::string() : std::string(name.substr(slash + 1));
  }
  return std::string(name);
}

}  // namespace listelo
