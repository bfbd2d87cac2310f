#include "platform/paths.h"

#include <unordered_map>
#include <vector>

#include "platform/text.h"

namespace listelo {
namespace fs = std::filesystem;

namespace {

fs::path FromAnsi(std::string_view ansi) {
#ifdef _WIN32
  return fs::path(std::string(ansi));
#else
  return fs::path(AnsiToUtf8(ansi));
#endif
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::vector<std::string_view> SplitComponents(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

}  // namespace

// The names of the folders that letter-case look-ups went through, upper-cased, each
// folder read again when its modification time shows that entries came or went. A
// photo folder of many thousand files is then read once per run, not once per photo
// that is missing from it.
class PathMapper::FolderIndex {
 public:
  // The entry of `folder` whose name equals `name` regardless of letter case; empty when
  // the folder holds none (or cannot be read).
  fs::path Find(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    const fs::file_time_type stamp = fs::last_write_time(folder, ec);
    if (ec) return {};
    Listing& listing = listings_[folder.native()];
    if (!listing.read || listing.stamp != stamp) Read(folder, stamp, listing);
    auto it = listing.names.find(AnsiUpperCase(name));
    return it == listing.names.end() ? fs::path() : it->second;
  }

 private:
  struct Listing {
    bool read = false;
    fs::file_time_type stamp;
    std::unordered_map<std::string, fs::path> names;  // upper-cased name -> entry
  };

  static constexpr size_t kMaxFolders = 4096;

  void Read(const fs::path& folder, fs::file_time_type stamp, Listing& listing) {
    if (listings_.size() > kMaxFolders) {
      listings_.clear();
      Read(folder, stamp, listings_[folder.native()]);
      return;
    }
    listing.names.clear();
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      fs::path entry = it->path().filename();
      // The first spelling found wins, as a directory scan would.
      listing.names.try_emplace(AnsiUpperCase(PathMapper::ToText(entry)), entry);
    }
    listing.read = true;
    listing.stamp = stamp;
  }

  std::unordered_map<std::string, Listing> listings_;
};

PathMapper::PathMapper(fs::path root)
    : root_(std::move(root)), folders_(std::make_shared<FolderIndex>()) {}

PathMapper PathMapper::FromEnvironment(const Environment& env) {
  if (auto root = env.Get("LISTELO_ROOT"); root && !root->empty())
    return PathMapper(FromAnsi(*root));
  if (auto data = env.Get("XDG_DATA_HOME"); data && !data->empty()) {
    return PathMapper(FromAnsi(*data) / "listelo");
  }
  auto home = env.Get("HOME");
  return PathMapper(FromAnsi(home ? *home : ".") / ".local" / "share" / "listelo");
}

std::string PathMapper::ToText(const fs::path& host_path) {
#ifdef _WIN32
  return host_path.string();
#else
  return Utf8ToAnsi(host_path.string());
#endif
}

fs::path PathMapper::FromText(std::string_view host_path_text) { return FromAnsi(host_path_text); }

fs::path PathMapper::ToHost(std::string_view windows_path) const {
#ifdef _WIN32
  return FromAnsi(windows_path);
#else
  std::string_view rest = windows_path;
  fs::path base;
  bool has_drive = rest.size() >= 2 && rest[1] == ':' &&
                   ((rest[0] >= 'a' && rest[0] <= 'z') || (rest[0] >= 'A' && rest[0] <= 'Z'));
  if (has_drive) {
    base = root_ / std::string(1, static_cast<char>(AnsiLowerChar(rest[0])));
    rest.remove_prefix(2);
  } else if (!rest.empty() && rest[0] == '\\') {
    base = root_ / "c";
  } else if (!rest.empty() && rest[0] == '/') {
    base = "/";
  } else {
    base = ".";
  }
  // "." and ".." are resolved on the text; ".." never climbs above the drive, as on Windows.
  std::vector<std::string_view> parts;
  for (std::string_view part : SplitComponents(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  // Most paths exist as written: one look-up.
  fs::path result = base;
  for (std::string_view part : parts) result /= FromAnsi(part);
  std::error_code ec;
  if (!fs::exists(result, ec)) {
    // The deepest folder that exists as written, looked for from the end: the missing
    // part of a path is mostly its last name or two.
    size_t existing = parts.size();
    while (existing > 0) {
      result = result.parent_path();
      --existing;
      if (existing == 0 || fs::is_directory(result, ec)) break;
    }
    // From there, each name in the spelling the folder holds.
    size_t i = existing;
    for (; i < parts.size(); ++i) {
      fs::path found = folders_->Find(result, parts[i]);
      if (found.empty()) break;
      result /= found;
    }
    for (; i < parts.size(); ++i) result /= FromAnsi(parts[i]);
  }
  if (base == "." && result.native().starts_with("./")) result = result.native().substr(2);
  return result;
#endif
}

std::string_view WindowsFolderPart(std::string_view windows_path) {
  size_t pos = windows_path.find_last_of("\\/");
  return pos == std::string_view::npos ? std::string_view() : windows_path.substr(0, pos);
}

std::string_view WindowsFileName(std::string_view windows_path) {
  size_t pos = windows_path.find_last_of("\\/");
  return pos == std::string_view::npos ? windows_path : windows_path.substr(pos + 1);
}

}  // namespace listelo
