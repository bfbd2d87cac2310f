// An exporter's working folder brought to the files of this run, without deleting and
// writing again what already stands there as it should.
//
// A run of a large stock copies tens of thousands of photos into its working folder;
// emptying the folder and copying them all again costs far more than the run itself when
// most of them have not changed since the previous run. The folder rather ends each run
// holding exactly this run's files: a photo copy that already matches its photo is kept,
// the others are made again, and whatever this run did not produce is deleted at the end.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace listelo {

class Run;

// Makes `target` a copy of the photo `source`. A regular file already at `target` that is
// the photo itself (a link to it) or has its size and modification time is kept as it is.
// Anything else there is deleted, never written through (it may be a link to a file
// elsewhere), and the copy made again: as a hard link where the file system allows it,
// else as a copy of the bytes carrying the photo's modification time, so that the archive
// dates the photo alike either way. False when no copy could be made.
bool PlaceCopy(const std::filesystem::path& source, const std::filesystem::path& target);

class WorkingFolderFiles {
 public:
  // `folder` is the working folder in Windows form; it is read once here. `run` maps the
  // paths and serves the emptying of sub-folders.
  WorkingFolderFiles(Run& run, std::string_view folder);

  const std::filesystem::path& host_folder() const { return host_folder_; }

  // Places a copy of the photo `source` as `name` (Windows-1252, no folder part); see
  // PlaceCopy. A file whose name differs from `name` in letter case only is deleted first,
  // so that the folder holds the name as this run writes it. False when no copy could be
  // made; the name then counts as not produced.
  bool CopyPhoto(const std::filesystem::path& source, std::string_view name);

  // Claims `name` for a file the caller is about to write itself (the exporter's own
  // output): any file of that name in any letter case is deleted, so that the caller
  // writes a fresh file under this spelling, and it is kept at the end.
  void ClaimFile(std::string_view name);

  // Deletes every file of the folder that neither CopyPhoto nor ClaimFile produced, and
  // empties its sub-folders as EmptyFolder does; the sub-folders themselves stay.
  void RemoveOthers();

 private:
  // Deletes the files that stand under `name` in any letter case but another spelling
  // than `name` itself.
  void RemoveOtherSpellings(const std::filesystem::path& name, const std::string& key);

  Run& run_;
  std::string folder_;
  std::filesystem::path host_folder_;
  // The folder's files when it was read, by their upper-cased name (several spellings
  // may stand under one on hosts whose names tell letter case apart).
  std::unordered_map<std::string, std::vector<std::filesystem::path>> spellings_;
  std::unordered_set<std::filesystem::path::string_type> produced_;
};

}  // namespace listelo
