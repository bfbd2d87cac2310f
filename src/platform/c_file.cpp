#include "platform/c_file.h"

#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace listelo {

FileHandle OpenCFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  // The mode is plain ASCII: widened character by character.
  const std::string narrow(mode);
  const std::wstring wide_mode(narrow.begin(), narrow.end());
  return FileHandle(_wfopen(path.c_str(), wide_mode.c_str()));
#else
  return FileHandle(std::fopen(path.c_str(), mode));
#endif
}

bool FolderAcceptsFiles(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::path existing = folder;
  while (!std::filesystem::exists(existing, ec)) {
    if (!existing.has_relative_path()) return false;
    existing = existing.parent_path();
  }
  if (!std::filesystem::is_directory(existing, ec)) return false;
#ifdef _WIN32
  return _waccess(existing.c_str(), 2) == 0;
#else
  return access(existing.c_str(), W_OK | X_OK) == 0;
#endif
}

}  // namespace listelo
