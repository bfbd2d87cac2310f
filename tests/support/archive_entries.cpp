#include "support/archive_entries.h"

#include <zip.h>

#include <memory>
#include <stdexcept>

namespace listelo::testing {
namespace {

struct ZipDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

std::map<std::string, std::string> ArchiveEntries(const std::filesystem::path& file) {
  int error = 0;
  std::unique_ptr<zip_t, ZipDiscard> archive(
      zip_open(file.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
  if (!archive) throw std::runtime_error("not a readable archive: " + file.string());
  std::map<std::string, std::string> entries;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive.get(), 0); ++i) {
    zip_stat_t st;
    zip_stat_index(archive.get(), i, 0, &st);
    std::string content(st.size, '\0');
    std::unique_ptr<zip_file_t, ZipFileClose> entry(zip_fopen_index(archive.get(), i, 0));
    if (!entry ||
        zip_fread(entry.get(), content.data(), st.size) != static_cast<zip_int64_t>(st.size)) {
      throw std::runtime_error("unreadable entry " + std::string(st.name) + " in " + file.string());
    }
    entries[st.name] = content;
  }
  return entries;
}

}  // namespace listelo::testing
