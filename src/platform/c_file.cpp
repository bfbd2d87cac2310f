#include "platform/c_file.h"

#include <string>

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

}  // namespace listelo
