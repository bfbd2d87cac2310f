// Emptying an exporter's working folder before it is filled again.
#pragma once

#include <string_view>

namespace listelo {

class Run;

// Deletes every file below the folder (a Windows-form path), read-only and hidden ones
// included; sub-folders are emptied the same way but stay. Symbolic links inside are
// removed themselves, never followed. A missing folder, an empty path or a drive root is left
// alone. Failures to delete are silent. Returns true.
bool EmptyFolder(Run& run, std::string_view path);

}  // namespace listelo
