#include "delivery/zip.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "app/run.h"
#include "app/window_port.h"
#include "delivery/deflate_ahead.h"
#include "delivery/zip_archive.h"
#include "delivery/zip_file_source.h"
#include "delivery/zip_wildcard.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace listelo {
namespace fs = std::filesystem;

namespace {

constexpr int kCompressionLevel = 9;
// MS-DOS attributes of a plain file ("archive" set), as the archives always carried.
constexpr zip_uint32_t kDosArchiveAttribute = 0x20;

// A file that a file pattern names, as it stood when the file patterns were read.
struct FoundFile {
  fs::path host;
  std::string name;        // Windows-1252, for the progress sink
  std::string entry_name;  // UTF-8, as stored in the archive
  std::uint64_t size = 0;
  std::time_t mtime = 0;
};

// `name` is the file's name, taken from `host` once by the caller.
bool IsHiddenOrSystem([[maybe_unused]] const fs::path& host,
                      [[maybe_unused]] const fs::path& name) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(host.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
#else
  return name.native().starts_with('.');
#endif
}

// The file at `host` when it is one to pack: a regular file (a link to one counts),
// neither hidden nor a system file.
std::optional<FoundFile> PackableFile(const fs::path& host) {
  const FileFacts facts = ReadFileFacts(host, LinkRule::kFollow);
  if (facts.type != fs::file_type::regular) return std::nullopt;
  const fs::path name = host.filename();
  if (IsHiddenOrSystem(host, name)) return std::nullopt;
  FoundFile file;
  file.host = host;
  file.name = PathMapper::ToText(name);
#ifdef _WIN32
  file.entry_name = AnsiToUtf8(file.name);
#else
  file.entry_name = name.native();
#endif
  file.size = facts.size;
  file.mtime = std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(
          std::chrono::file_clock::to_sys(facts.time)));
  return file;
}

// The folder part of a file pattern, ready to map; "\" for "\x.txt", "." for "x.txt".
std::string PatternFolder(std::string_view pattern) {
  std::string_view folder = WindowsFolderPart(pattern);
  if (!folder.empty()) return std::string(folder);
  if (!pattern.empty() && (pattern[0] == '\\' || pattern[0] == '/'))
    return std::string(pattern.substr(0, 1));
  return ".";
}

// The files of one folder whose names match `pattern`, in name order. Sub-folders are
// not entered.
void AddMatchingFiles(const fs::path& folder, std::string_view pattern,
                      std::vector<FoundFile>& found) {
  for (const fs::path& match : ListMatchingFiles(folder, pattern)) {
    if (auto file = PackableFile(match)) found.push_back(std::move(*file));
  }
}

// Every file that the file patterns name, once per bare name: archive names are
// unique, and the first file pattern that names a file wins.
std::vector<FoundFile> FindFiles(const PathMapper& paths,
                                 const std::vector<std::string>& patterns) {
  std::vector<FoundFile> found;
  for (const std::string& pattern : patterns) {
    const std::string_view name = WindowsFileName(pattern);
    if (name.empty()) continue;
    if (HasWildcards(name)) {
      AddMatchingFiles(paths.ToHost(PatternFolder(pattern)), name, found);
    } else if (auto file = PackableFile(paths.ToHost(pattern))) {
      found.push_back(std::move(*file));
    }
  }
  // Names that are the same text letter case aside have the same upper-case form.
  std::vector<FoundFile> unique;
  std::unordered_set<std::string> taken;
  taken.reserve(found.size());
  for (FoundFile& file : found) {
    if (taken.insert(AnsiUpperCase(file.name)).second) unique.push_back(std::move(file));
  }
  return unique;
}

// Entries keep the time in MS-DOS form, to the even second below.
std::time_t DosTimeResolution(std::time_t t) { return t - (t % 2 + 2) % 2; }

std::string AsciiLowerCase(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The archive's entries by name, letter case aside as libzip's own look-up compares them
// (ASCII letters only), the first entry of a name winning. libzip answers a look-up that
// ignores case by walking every entry, once per file packed: this index is built once.
class EntryIndex {
 public:
  explicit EntryIndex(zip_t* archive) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
      if (name != nullptr) index_.emplace(AsciiLowerCase(name), i);
    }
  }

  // The entry named `entry_name`, -1 when there is none.
  zip_int64_t Locate(std::string_view entry_name) const {
    const auto it = index_.find(AsciiLowerCase(entry_name));
    return it == index_.end() ? -1 : it->second;
  }

 private:
  std::unordered_map<std::string, zip_int64_t> index_;
};

// The index of the entry that `file` replaces, -1 when it is new, or nullopt when the
// archive already holds it at least as new (an update leaves such entries alone).
std::optional<zip_int64_t> UpdateTarget(zip_t* archive, const EntryIndex& entries,
                                        const FoundFile& file) {
  const zip_int64_t index = entries.Locate(file.entry_name);
  if (index < 0) return -1;
  zip_stat_t stat;
  if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) == 0 &&
      (stat.valid & ZIP_STAT_MTIME) != 0 && DosTimeResolution(file.mtime) <= stat.mtime) {
    return std::nullopt;
  }
  return index;
}

// Puts `file` into the archive in place of entry `target` (-1: as a new entry), deflated
// at the highest level. Returns the entry's index; -1, with the archive's error set, when
// libzip refuses.
zip_int64_t StageFile(zip_t* archive, PackedFileSource& packed, const FoundFile& file,
                      zip_int64_t target) {
  ZipSourceHandle source(packed.Create(archive));
  if (!source) return -1;
  zip_int64_t index = target;
  if (index < 0) {
    index = zip_file_add(archive, file.entry_name.c_str(), source.get(), ZIP_FL_ENC_UTF_8);
  } else if (zip_file_replace(archive, static_cast<zip_uint64_t>(index), source.get(), 0) != 0) {
    index = -1;
  }
  if (index < 0) return -1;
  source.release();  // the archive owns it now
  const auto entry = static_cast<zip_uint64_t>(index);
  const bool set =
      zip_set_file_compression(archive, entry, ZIP_CM_DEFLATE, kCompressionLevel) == 0 &&
      zip_file_set_mtime(archive, entry, file.mtime, 0) == 0 &&
      zip_file_set_external_attributes(archive, entry, 0, ZIP_OPSYS_DOS, kDosArchiveAttribute) == 0;
  return set ? index : -1;
}

// The small files handed to workers in the order libzip writes the entries: by index.
std::vector<DeflateAhead::File> FilesToDeflateAhead(
    std::vector<std::pair<zip_int64_t, PackedFileSource*>>& staged) {
  std::sort(staged.begin(), staged.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<DeflateAhead::File> files;
  for (const auto& [index, source] : staged) files.push_back({source->host(), source->size()});
  return files;
}

// The drive of a "x:\..." or "\..." path must be there; on hosts without drives, the
// folder that stands for it.
void CheckDrive(const PathMapper& paths, std::string_view path) {
  std::string drive_root;
  if (path.size() >= 2 && path[1] == ':') {
    drive_root = std::string(path.substr(0, 2)) + "\\";
  } else if (path.starts_with('\\')) {
    drive_root = "\\";
  }
  std::error_code ec;
  if (!drive_root.empty() && !fs::is_directory(paths.ToHost(drive_root), ec)) {
    throw ZipException("Unable to access the selected drive!");
  }
}

void CreateEmptyArchive(const fs::path& host, std::string_view shown_path) {
  const std::string empty = EmptyZipArchive();
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  out.write(empty.data(), static_cast<std::streamsize>(empty.size()));
  out.close();
  if (!out) throw ZipException("Unable to create \r\n" + QuotedPath(shown_path));
}

}  // namespace

TZip::TZip(Run& run)
    : paths_(run.paths()), progress_(run.window().Progress()), window_(&run.window()) {}

TZip::TZip(const PathMapper& paths, ProgressSink& progress) : paths_(paths), progress_(progress) {}

void TZip::OpenArchive(std::string_view path) {
  archive_path_ = std::string(path);
  if (archive_path_.empty()) return;

  CheckDrive(paths_, archive_path_);
  const fs::path host = paths_.ToHost(archive_path_);
  std::error_code ec;
  if (!fs::is_regular_file(host, ec)) CreateEmptyArchive(host, archive_path_);
  OpenZipArchive(host, archive_path_, ZIP_RDONLY);  // raises when it is no archive
}

std::vector<std::string> TZip::EntryNames() const {
  if (archive_path_.empty()) return {};
  ZipHandle archive = OpenZipArchive(paths_.ToHost(archive_path_), archive_path_, ZIP_RDONLY);
  return ZipEntryNames(archive.get());
}

int TZip::AddFiles() {
  if (archive_path_.empty()) {
    throw ZipException(
        "A Zip file must be openned or created before\r\n"
        "Adding, Deleting or Extracting files.");
  }
  const std::vector<std::string> patterns = std::exchange(file_specs_, {});
  if (patterns.empty()) return 0;
  const std::vector<FoundFile> files = FindFiles(paths_, patterns);

  // The progress, the sources and the workers are declared before the archive: libzip
  // calls the sources until the archive handle is gone.
  std::optional<PackingProgress> progress;
  std::vector<std::unique_ptr<PackedFileSource>> sources;
  std::optional<DeflateAhead> ahead;
  const fs::path host = paths_.ToHost(archive_path_);
  ZipHandle archive = OpenZipArchive(host, archive_path_, 0);

  std::vector<std::pair<const FoundFile*, zip_int64_t>> updates;
  std::uint64_t total_bytes = 0;
  const EntryIndex entries(archive.get());
  for (const FoundFile& file : files) {
    if (auto target = UpdateTarget(archive.get(), entries, file)) {
      updates.emplace_back(&file, *target);
      total_bytes += file.size;
    }
  }
  if (updates.empty()) return 0;  // nothing written: the archive stays as it is

  progress.emplace(progress_, window_, total_bytes);
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::pair<zip_int64_t, PackedFileSource*>> small_files;
  for (const auto& [file, target] : updates) {
    sources.push_back(std::make_unique<PackedFileSource>(*progress, threads, file->host, file->name,
                                                         file->size, file->mtime));
    const zip_int64_t index = StageFile(archive.get(), *sources.back(), *file, target);
    if (index < 0) {
      throw ZipException(QuotedPath(archive_path_) + "\r\n" +
                         ZipErrorText(zip_get_error(archive.get())));
    }
    if (DeflatedAhead(file->size)) small_files.emplace_back(index, sources.back().get());
  }
  ahead.emplace(FilesToDeflateAhead(small_files), threads);
  for (std::size_t i = 0; i < small_files.size(); ++i) {
    small_files[i].second->DeflateAheadBy(*ahead, i);
  }

  zip_register_cancel_callback_with_state(archive.get(), &PackingProgress::CancelCallback, nullptr,
                                          &*progress);
  // libzip writes a temporary file beside the archive and renames it over the archive
  // only on success; on failure it has removed it, and discarding leaves the old file.
  if (zip_close(archive.get()) != 0) {
    if (progress->Cancelled()) return 0;
    std::string reason = ZipErrorText(zip_get_error(archive.get()));
    for (const auto& source : sources) {
      if (source->failed()) reason += " (" + PathMapper::ToText(source->host()) + ")";
    }
    throw ZipException(QuotedPath(archive_path_) + "\r\n" + reason);
  }
  archive.release();  // closed and freed by zip_close
  return static_cast<int>(updates.size());
}

}  // namespace listelo
