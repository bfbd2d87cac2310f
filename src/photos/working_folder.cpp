#include "photos/working_folder.h"

#include <filesystem>
#include <string>

#include "app/run.h"

namespace listelo {

namespace fs = std::filesystem;

namespace {

// "", "\", "c:" and "c:\": never a working folder.
bool IsDriveRoot(std::string_view path) {
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.remove_suffix(1);
  return path.empty() || (path.size() == 2 && path[1] == ':');
}

void EmptyHostFolder(const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code entry_ec;
    const fs::path& entry = it->path();
    if (it->is_directory(entry_ec) && !it->is_symlink(entry_ec)) {
      EmptyHostFolder(entry);  // the sub-folder itself stays
      continue;
    }
    // Clearing read-only, as the entry is made a plain archive file before deletion.
    if (!it->is_symlink(entry_ec)) {
      fs::permissions(entry, fs::perms::owner_write, fs::perm_options::add, entry_ec);
    }
    fs::remove(entry, entry_ec);
  }
}

}  // namespace

bool EmptyFolder(Run& run, std::string_view path) {
  if (IsDriveRoot(path)) return true;
  fs::path folder = run.HostPath(path);
  std::error_code ec;
  if (fs::is_directory(folder, ec)) EmptyHostFolder(folder);
  return true;
}

}  // namespace listelo
