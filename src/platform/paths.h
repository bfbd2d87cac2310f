// Paths are formed everywhere in Windows form ("c:\projects\...", Windows folder +
// "\TEMP\Listelo\...") and turned into host paths by PathMapper, at the moment a file
// or folder is touched. On Windows a path is used as it is.
//
// On POSIX hosts:
//   "c:\a\b"      -> <root>/c/a/b   (drive letter lower-cased)
//   "\TEMP\x"     -> <root>/c/TEMP/x  (rooted without a drive: drive c)
//   "/var/lib/x"  -> /var/lib/x      (already a native absolute path)
//   "a\b"         -> a/b             (relative to the working folder)
// Names are matched without regard to letter case, as on Windows: each component that
// exists under another spelling is used in that spelling; one that does not exist is
// used as written.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/host.h"

namespace listelo {

class PathMapper {
 public:
  // `root` stands for the drives on POSIX hosts; unused on Windows.
  explicit PathMapper(std::filesystem::path root);

  // The root from LISTELO_ROOT, else $XDG_DATA_HOME/listelo, else ~/.local/share/listelo.
  static PathMapper FromEnvironment(const Environment& env);

  std::filesystem::path ToHost(std::string_view windows_path) const {
    return Locate(windows_path).path;
  }

  // The host path together with what stands there (not_found when nothing does), for
  // callers that would otherwise ask the file system again at once.
  struct Entry {
    std::filesystem::path path;
    std::filesystem::file_status status;
  };
  Entry Locate(std::string_view windows_path) const;

  // A host path as Windows-1252 text, for messages; and back.
  static std::string ToText(const std::filesystem::path& host_path);
  static std::filesystem::path FromText(std::string_view host_path_text);

  const std::filesystem::path& root() const { return root_; }

 private:
  class FolderIndex;

  std::filesystem::path root_;
  // Letter-case look-ups read each folder once, not once per look-up; shared by the
  // copies of the mapper.
  std::shared_ptr<FolderIndex> folders_;
};

// The part of a Windows-form path before its last "\" (or "/"); empty when there is none.
std::string_view WindowsFolderPart(std::string_view windows_path);

// The last component of a Windows-form path.
std::string_view WindowsFileName(std::string_view windows_path);

}  // namespace listelo
