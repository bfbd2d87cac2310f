#include "platform/paths.h"

#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#endif

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

#ifndef _WIN32
// A folder's modification time, to the nanosecond.
struct FolderStamp {
  long long seconds = 0;
  long nanoseconds = 0;
  bool operator==(const FolderStamp&) const = default;
};

// The modification time of `path` when it is a folder: one call to the file system
// answers both questions.
std::optional<FolderStamp> StampOfFolder(const char* path) {
  struct stat st;
  if (::stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return FolderStamp{static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec};
}

// Whether a folder last changed at `stamp` had been still for a while at `now`. File
// systems stamp changes with a coarse clock (up to two seconds on some), so a folder
// that changed just before it was read may change again without its stamp moving.
bool SettledBefore(FolderStamp stamp, const timespec& now) {
  constexpr long long kMargin = 2;
  return now.tv_sec - stamp.seconds > kMargin;
}

// What stands at `path`, links followed; one call to the file system.
fs::file_status StatusOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    return fs::file_status(errno == ENOENT || errno == ENOTDIR ? fs::file_type::not_found
                                                               : fs::file_type::none);
  }
  if (S_ISREG(st.st_mode)) return fs::file_status(fs::file_type::regular);
  if (S_ISDIR(st.st_mode)) return fs::file_status(fs::file_type::directory);
  return fs::file_status(fs::file_type::unknown);
}

void AppendName(std::string& path, std::string_view name) {
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
}

// The same for a name as the Windows-form path writes it.
void AppendAnsiName(std::string& path, std::string_view ansi_name) {
  if (!path.empty() && path.back() != '/') path += '/';
  AppendAnsiAsUtf8(path, ansi_name);
}
#endif

}  // namespace

#ifndef _WIN32
namespace {

// An entry's type as the listing gave it; the file system is asked only for a link (and
// where the listing could not tell), so that reading a folder of many thousand files
// costs no look-up per file.
fs::file_type TypeFollowingLinks(const fs::directory_entry& entry) {
  std::error_code ec;
  if (entry.is_regular_file(ec)) return fs::file_type::regular;
  if (entry.is_directory(ec)) return fs::file_type::directory;
  return entry.status(ec).type();
}

}  // namespace

// The names of the folders that letter-case look-ups went through, upper-cased, each
// folder read again when its modification time shows that entries came or went. A
// photo folder of many thousand files is then read once per run, not once per photo
// that is missing from it; and as long as it stays unchanged, one look at its time
// answers for any name in it.
class PathMapper::FolderIndex {
 public:
  struct Name {
    std::string host_name;
    fs::file_type type;
  };

  class Listing {
   public:
    // The entry named `name` regardless of letter case, or null.
    const Name* Find(std::string_view name) const {
      auto it = names_.find(AnsiUpperCase(name));
      return it == names_.end() ? nullptr : &it->second;
    }

   private:
    friend class FolderIndex;
    bool read_ = false;
    // Complete and unchanged since: it answers alone, even for names it lacks.
    bool settled_ = false;
    FolderStamp stamp_;
    std::unordered_map<std::string, Name> names_;  // upper-cased name -> entry
  };

  // The listing of `folder` (a host path) as it stands at `stamp`.
  const Listing& Current(const std::string& folder, FolderStamp stamp) {
    if (listings_.size() > kMaxFolders) listings_.clear();
    Listing& listing = listings_[folder];
    if (!listing.read_ || listing.stamp_ != stamp) Read(folder, stamp, listing);
    return listing;
  }

  // The listing of `folder` when it answers alone at `stamp`, else null.
  const Listing* Settled(std::string_view folder, FolderStamp stamp) const {
    auto it = listings_.find(folder);
    if (it == listings_.end()) return nullptr;
    const Listing& listing = it->second;
    return listing.settled_ && listing.stamp_ == stamp ? &listing : nullptr;
  }

  bool Listed(std::string_view folder) const { return listings_.contains(folder); }

 private:
  static constexpr size_t kMaxFolders = 4096;

  static void Read(const std::string& folder, FolderStamp stamp, Listing& listing) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    listing.names_.clear();
    bool complete = true;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
      fs::path name = it->path().filename();
      const fs::file_type type = TypeFollowingLinks(*it);
      // The first spelling found wins, as a directory scan would. With two spellings
      // of one name, only the file system can tell which one a path names exactly.
      complete &=
          listing.names_
              .try_emplace(AnsiUpperCase(PathMapper::ToText(name)), Name{name.native(), type})
              .second;
    }
    listing.read_ = true;
    listing.stamp_ = stamp;
    listing.settled_ = complete && !ec && SettledBefore(stamp, now);
  }

  // Looked up by the folder part of a path, without copying it out.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  std::unordered_map<std::string, Listing, TextHash, std::equal_to<>> listings_;
};
#else
class PathMapper::FolderIndex {};
#endif

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

PathMapper::Entry PathMapper::Locate(std::string_view windows_path) const {
#ifdef _WIN32
  std::error_code ec;
  fs::path path = FromAnsi(windows_path);
  fs::file_status status = fs::status(path, ec);
  return {std::move(path), status};
#else
  std::string_view rest = windows_path;
  std::string base;
  bool has_drive = rest.size() >= 2 && rest[1] == ':' &&
                   ((rest[0] >= 'a' && rest[0] <= 'z') || (rest[0] >= 'A' && rest[0] <= 'Z'));
  if (has_drive) {
    base = root_.native();
    AppendName(base, std::string(1, static_cast<char>(AnsiLowerChar(rest[0]))));
    rest.remove_prefix(2);
  } else if (!rest.empty() && rest[0] == '\\') {
    base = root_.native();
    AppendName(base, "c");
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
  // The path as written, and where each of its folders ends in it.
  std::string written = base;
  std::vector<size_t> ends = {written.size()};
  for (std::string_view part : parts) {
    AppendAnsiName(written, part);
    ends.push_back(written.size());
  }
  auto folder = [&](size_t depth) { return written.substr(0, ends[depth]); };
  auto finish = [&](std::string host, fs::file_status status) {
    if (base == "." && host.starts_with("./")) host.erase(0, 2);
    return Entry{fs::path(std::move(host)), status};
  };
  const size_t depth = parts.size();

  // A folder read before and unchanged since answers for the next name with one look at
  // it: the path's own entry, or a missing folder on the way to it.
  for (size_t k = depth; k-- > 0;) {
    const std::string_view parent = std::string_view(written).substr(0, ends[k]);
    if (!folders_->Listed(parent)) continue;
    // The folder's part of the path is asked about where it stands in the path.
    const char separator = std::exchange(written[ends[k]], '\0');
    const std::optional<FolderStamp> stamp = StampOfFolder(written.c_str());
    written[ends[k]] = separator;
    const FolderIndex::Listing* listing = stamp ? folders_->Settled(parent, *stamp) : nullptr;
    if (listing == nullptr) break;
    const FolderIndex::Name* found = listing->Find(parts[k]);
    if (found == nullptr) return finish(written, fs::file_status(fs::file_type::not_found));
    if (k + 1 < depth) break;
    std::string host(parent);
    AppendName(host, found->host_name);
    return finish(std::move(host), fs::file_status(found->type));
  }

  // Most paths exist as written: one look-up.
  fs::file_status status = StatusOf(written);
  if (fs::exists(status)) return finish(written, status);

  // The deepest folder that exists as written, looked for from the end: the missing
  // part of a path is mostly its last name or two.
  size_t existing = depth;
  std::optional<FolderStamp> stamp;
  while (existing > 0) {
    --existing;
    stamp = StampOfFolder(folder(existing).c_str());
    if (stamp) break;
  }
  // From there, each name in the spelling the folder holds.
  std::string host = folder(existing);
  size_t i = existing;
  for (; i < depth && stamp; ++i) {
    const FolderIndex::Name* found = folders_->Current(host, *stamp).Find(parts[i]);
    if (found == nullptr) break;
    AppendName(host, found->host_name);
    if (i + 1 < depth) stamp = StampOfFolder(host.c_str());
  }
  if (i == depth) return finish(host, StatusOf(host));
  for (; i < depth; ++i) AppendAnsiName(host, parts[i]);
  return finish(std::move(host), fs::file_status(fs::file_type::not_found));
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
