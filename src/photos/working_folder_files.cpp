#include "photos/working_folder_files.h"

#include <algorithm>

#include "app/run.h"
#include "photos/working_folder.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace listelo {

namespace fs = std::filesystem;

namespace {

// Deletes a file (or a link) of the working folder; a folder stays. A read-only file is made
// writable first, as the folder is emptied, but only when it is read-only: a hard-linked photo
// shares its permissions with the dealer's own file.
void RemoveFile(const fs::path& file) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(file, ec);
  if (ec || !fs::exists(status) || fs::is_directory(status)) return;
  if (!fs::is_symlink(status) &&
      (status.permissions() & fs::perms::owner_write) == fs::perms::none) {
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove(file, ec);
}

bool MakeCopy(const fs::path& source, bool linkable, fs::file_time_type source_time,
              const fs::path& target) {
  std::error_code ec;
  if (linkable) {
    fs::create_hard_link(source, target, ec);
    if (!ec) return true;
  }
  if (fs::copy_file(source, target, ec) && !ec) {
    fs::last_write_time(target, source_time, ec);
    if (!ec) return true;
  }
  RemoveFile(target);  // a part of a copy is no copy
  return false;
}

}  // namespace

bool PlaceCopy(const fs::path& source, const fs::path& target) {
  const FileFacts source_entry = ReadFileFacts(source, LinkRule::kLink);
  // The size and time of a link's photo are those of the photo itself.
  const FileFacts photo = source_entry.type == fs::file_type::symlink
                              ? ReadFileFacts(source, LinkRule::kFollow)
                              : source_entry;
  if (photo.type != fs::file_type::regular) return false;

  const FileFacts copy = ReadFileFacts(target, LinkRule::kLink);
  if (copy.type == fs::file_type::directory) return false;
  if (copy.type == fs::file_type::regular && copy.size == photo.size && copy.time == photo.time) {
    return true;
  }
  RemoveFile(target);
  // A link to a link would be resolved from the working folder, not from the photo's.
  return MakeCopy(source, source_entry.type == fs::file_type::regular, photo.time, target);
}

WorkingFolderFiles::WorkingFolderFiles(Run& run, std::string_view folder)
    : run_(run), folder_(folder), host_folder_(run.HostPath(folder)) {
  std::error_code ec;
  for (fs::directory_iterator it(host_folder_, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code entry_ec;
    if (it->is_directory(entry_ec) && !it->is_symlink(entry_ec)) continue;
    const fs::path name = it->path().filename();
    spellings_[AnsiUpperCase(PathMapper::ToText(name))].push_back(name);
  }
}

void WorkingFolderFiles::RemoveOtherSpellings(const fs::path& name, const std::string& key) {
  std::vector<fs::path>& spellings = spellings_[key];
  for (const fs::path& spelling : spellings) {
    if (spelling != name && !produced_.contains(spelling.native()))
      RemoveFile(host_folder_ / spelling);
  }
  // What stays under the key: this run's spellings, and `name` that the caller now makes.
  std::erase_if(spellings, [&](const fs::path& spelling) {
    return spelling != name && !produced_.contains(spelling.native());
  });
  if (std::find(spellings.begin(), spellings.end(), name) == spellings.end()) {
    spellings.push_back(name);
  }
}

bool WorkingFolderFiles::CopyPhoto(const fs::path& source, std::string_view name) {
  const fs::path file = PathMapper::FromText(name);
  RemoveOtherSpellings(file, AnsiUpperCase(name));
  const bool placed = PlaceCopy(source, host_folder_ / file);
  if (placed) {
    produced_.insert(file.native());
  } else {
    produced_.erase(file.native());
  }
  return placed;
}

void WorkingFolderFiles::ClaimFile(std::string_view name) {
  const fs::path file = PathMapper::FromText(name);
  RemoveOtherSpellings(file, AnsiUpperCase(name));
  if (!produced_.contains(file.native())) RemoveFile(host_folder_ / file);
  produced_.insert(file.native());
}

void WorkingFolderFiles::RemoveOthers() {
  std::vector<fs::path> others;
  std::vector<fs::path> sub_folders;
  std::error_code ec;
  for (fs::directory_iterator it(host_folder_, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code entry_ec;
    const fs::path name = it->path().filename();
    if (it->is_directory(entry_ec) && !it->is_symlink(entry_ec)) {
      sub_folders.push_back(name);
    } else if (!produced_.contains(name.native())) {
      others.push_back(name);
    }
  }
  for (const fs::path& name : others) RemoveFile(host_folder_ / name);
  for (const fs::path& name : sub_folders) {
    EmptyFolder(run_, folder_ + "\\" + PathMapper::ToText(name));
  }
}

}  // namespace listelo
