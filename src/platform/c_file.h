// A C stream (for the libraries that read and write through one), closed when its owner
// goes.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace listelo {

struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileClose>;

// Opens a host file as a C stream ("rb", "wb"...); empty when it cannot be opened, with
// errno telling why. Host paths are wide on Windows, so a stream is never opened from a
// narrow path: every C stream of the program is opened here.
FileHandle OpenCFile(const std::filesystem::path& path, const char* mode);

// The whole content of a host file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file_name);

// Whether files can be made in `folder`: it is a folder this process may write in, or it
// does not exist yet and the deepest folder that does exist above it is one. Nothing is
// written to find out.
bool FolderAcceptsFiles(const std::filesystem::path& folder);

}  // namespace listelo
