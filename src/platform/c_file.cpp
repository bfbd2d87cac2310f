#include "platform/c_file.h"

#include <fstream>
#include <iterator>
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

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file_name) {
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return std::nullopt;
  try {
    // A read error (a folder opens, then fails to read) is raised by the stream buffer.
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) return std::nullopt;
    return bytes;
  } catch (const std::ios_base::failure&) {
    return std::nullopt;
  }
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
