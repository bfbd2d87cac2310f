// The libzip side of TZip: owned handles, opening an archive with the component's error
// texts, reading its entry names and the empty archive.
#pragma once

#include <zip.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace listelo {

struct ZipDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
// An open archive. Dropping it discards every pending change; zip_close is the only way
// to write, after which the handle must be released.
using ZipHandle = std::unique_ptr<zip_t, ZipDiscard>;

struct ZipSourceFree {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};
// A source not yet handed to an archive (the archive frees the ones it took).
using ZipSourceHandle = std::unique_ptr<zip_source_t, ZipSourceFree>;

// The zip end record of an archive without entries: signature, then 18 zero bytes.
std::string EmptyZipArchive();

// A path between double quotes, as the messages show it.
std::string QuotedPath(std::string_view path);

// libzip's text for an error, as Windows-1252.
std::string ZipErrorText(zip_error_t* error);

// Opens the archive at `host` with libzip. `shown_path` is the path as the caller wrote
// it, for messages. Raises ZipException with the component's texts.
ZipHandle OpenZipArchive(const std::filesystem::path& host, std::string_view shown_path, int flags);

// The entry names (Windows-1252) of an open archive, in directory order.
std::vector<std::string> ZipEntryNames(zip_t* archive);

}  // namespace listelo
