// File-name patterns as Windows matches them when it lists a folder: "*" and "?" are
// wildcards, letters match regardless of case, and the dot rules of the Windows shell
// hold: "*.*" matches every name (dotless ones included), "x.*" matches "x" too, "*."
// matches the names without a dot, and "?" before a dot or the end may match nothing.
// Names and patterns are Windows-1252 text.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace listelo {

// True when the pattern holds "*" or "?".
bool HasWildcards(std::string_view pattern);

// True when `name` (one file name, no folder part) matches `pattern`.
bool MatchesWindowsPattern(std::string_view pattern, std::string_view name);

// The files (not folders) directly in `folder` whose names match `pattern`, sorted by
// name. Empty when the folder cannot be read.
std::vector<std::filesystem::path> ListMatchingFiles(const std::filesystem::path& folder,
                                                     std::string_view pattern);

}  // namespace listelo
