// File-name patterns as Windows matches them when it lists a folder: "*" and "?" are
// wildcards, letters match regardless of case, and the dot rules of the Windows shell
// hold: "*.*" matches every name (dotless ones included), "x.*" matches "x" too, "*."
// matches the names without a dot, and "?" before a dot or the end may match nothing.
// Names and patterns are Windows-1252 text.
#pragma once

#include <string_view>

namespace listelo {

// True when the pattern holds "*" or "?".
bool HasWildcards(std::string_view pattern);

// True when `name` (one file name, no folder part) matches `pattern`.
bool MatchesWindowsPattern(std::string_view pattern, std::string_view name);

}  // namespace listelo
