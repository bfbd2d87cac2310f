// TZip: packs files into a zip archive for the portals that take one. Compression is
// done by libzip; the archive is written to a temporary file beside it and renamed into
// place only when everything succeeded, so a failed or cancelled AddFiles leaves the
// archive byte for byte as it was.
//
// The exporters use it once per archive:
//   TZip zip(run);
//   zip.OpenArchive(archive);               // creates the empty archive when none exists
//   zip.FileSpecs().push_back(folder + "\\*.*");
//   zip.AddFiles();
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/errors.h"

namespace listelo {

class PathMapper;
class ProgressSink;
class Run;
class WindowPort;

// A zip archive could not be opened, created, read or written. what() is the text the
// window shows.
class ZipException : public RunError {
 public:
  using RunError::RunError;
};

class TZip {
 public:
  // Paths go through the run's path mapper; progress goes to the window's progress sink,
  // and the window's pending events run while files are being packed.
  explicit TZip(Run& run);
  // Without a window: `paths` and `progress` must outlive the TZip.
  TZip(const PathMapper& paths, ProgressSink& progress);

  // Takes `path` (Windows form) as the archive worked on. When no file stands there, the
  // empty archive (the 22-byte end record) is written; then the archive's directory is
  // read. An empty path only forgets the archive. Raises ZipException:
  //   "Unable to access the selected drive!"
  //   "Unable to create " CR LF "\"<path>\""
  //   "\"<path>\"" CR LF "is not a valid Zip file."
  //   "Error reading CentralFileHeader."
  //   "Cannot Add, Delete or Extract from a multiple disk Zip file..." CR LF
  //   "Merge this Zip file onto the hard disk before retrying."
  //   "\"<path>\"" CR LF <the reason the file could not be read>
  void OpenArchive(std::string_view path);

  // What AddFiles packs: full paths of files, or a folder followed by a pattern with "*"
  // and "?" ("c:\x\*.*"), all in Windows form. Emptied by every AddFiles.
  std::vector<std::string>& FileSpecs() { return file_specs_; }

  // Packs every regular, non-hidden file that the file patterns name, deflated at level
  // 9, under its bare name, without folder entries and without looking into sub-folders.
  // A file whose name is already in the archive replaces that entry only when it is
  // newer. Returns the number of files added or replaced; 0 when nothing matched or the
  // progress sink cancelled (the archive is then untouched). Raises ZipException when no
  // archive is open, or, naming the archive and libzip's reason, when writing fails.
  int AddFiles();

  // The archive path as given to OpenArchive.
  const std::string& ArchivePath() const { return archive_path_; }
  // The names of the archive's entries (Windows-1252), read from the archive; none when
  // no archive is open. Raises ZipException as OpenArchive does.
  std::vector<std::string> EntryNames() const;

 private:
  const PathMapper& paths_;
  ProgressSink& progress_;
  WindowPort* window_ = nullptr;  // null: no events to let run
  std::string archive_path_;
  std::vector<std::string> file_specs_;
};

}  // namespace listelo
