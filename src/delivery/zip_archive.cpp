#include "delivery/zip_archive.h"

#include <cstdint>
#include <fstream>

#include "delivery/zip.h"
#include "platform/text.h"

namespace listelo {
namespace fs = std::filesystem;

namespace {

constexpr size_t kEndRecordSize = 22;
// The end record may be followed by a comment of up to 65535 bytes.
constexpr size_t kEndRecordSearch = 65535 + kEndRecordSize;
// Disk numbers above this are not taken for a disk set but for garbage.
constexpr unsigned kMaxDiskNumber = 1000;

enum class EndRecord { kMissing, kSingleDisk, kMultiDisk };

unsigned ReadU16(const std::string& bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// Looks for the end record the way the archive reader of this component always did:
// in the last 22 bytes, else backwards through the last 64 KiB. libzip does the real
// reading; this only tells "no archive at all" from "an archive with a broken directory".
EndRecord FindEndRecord(const fs::path& host) {
  std::ifstream in(host, std::ios::binary | std::ios::ate);
  if (!in) return EndRecord::kMissing;
  const std::streamoff size = in.tellg();
  if (size < static_cast<std::streamoff>(kEndRecordSize)) return EndRecord::kMissing;
  const size_t tail_size = std::min(static_cast<size_t>(size), kEndRecordSearch);
  std::string tail(tail_size, '\0');
  in.seekg(size - static_cast<std::streamoff>(tail_size));
  if (!in.read(tail.data(), static_cast<std::streamsize>(tail_size))) return EndRecord::kMissing;
  for (size_t at = tail_size - kEndRecordSize + 1; at-- > 0;) {
    if (tail.compare(at, 4, "PK\x05\x06") != 0) continue;
    const unsigned this_disk = ReadU16(tail, at + 4);
    const unsigned directory_disk = ReadU16(tail, at + 6);
    if (this_disk > kMaxDiskNumber || directory_disk > kMaxDiskNumber) return EndRecord::kMissing;
    return this_disk == 0 && directory_disk == 0 ? EndRecord::kSingleDisk : EndRecord::kMultiDisk;
  }
  return EndRecord::kMissing;
}

[[noreturn]] void RaiseOpenError(const fs::path& host, std::string_view shown_path, int code) {
  if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS || code == ZIP_ER_MULTIDISK) {
    switch (FindEndRecord(host)) {
      case EndRecord::kMissing:
        throw ZipException(QuotedPath(shown_path) + "\r\nis not a valid Zip file.");
      case EndRecord::kMultiDisk:
        throw ZipException(
            "Cannot Add, Delete or Extract from a multiple disk Zip file...\r\n"
            "Merge this Zip file onto the hard disk before retrying.");
      case EndRecord::kSingleDisk:
        throw ZipException("Error reading CentralFileHeader.");
    }
  }
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string reason = ZipErrorText(&error);
  zip_error_fini(&error);
  throw ZipException(QuotedPath(shown_path) + "\r\n" + reason);
}

}  // namespace

std::string EmptyZipArchive() {
  std::string record(kEndRecordSize, '\0');
  record.replace(0, 4, "PK\x05\x06");
  return record;
}

std::string QuotedPath(std::string_view path) {
  std::string quoted;
  quoted.reserve(path.size() + 2);
  quoted += '"';
  quoted += path;
  quoted += '"';
  return quoted;
}

std::string ZipErrorText(zip_error_t* error) { return Utf8ToAnsi(zip_error_strerror(error)); }

ZipHandle OpenZipArchive(const fs::path& host, std::string_view shown_path, int flags) {
  int code = ZIP_ER_OK;
  ZipHandle archive(zip_open(host.string().c_str(), flags, &code));
  if (!archive) RaiseOpenError(host, shown_path, code);
  return archive;
}

std::vector<std::string> ZipEntryNames(zip_t* archive) {
  std::vector<std::string> names;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
    if (name != nullptr) names.push_back(Utf8ToAnsi(name));
  }
  return names;
}

}  // namespace listelo
