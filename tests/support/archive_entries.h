// Reading back an archive the program wrote, with libzip's own consistency check.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace listelo::testing {

// Entry name -> content. Throws std::runtime_error when the file is not a readable archive.
std::map<std::string, std::string> ArchiveEntries(const std::filesystem::path& file);

}  // namespace listelo::testing
