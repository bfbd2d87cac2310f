#include "platform/file_facts.h"

#ifndef _WIN32
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#endif

namespace listelo {

namespace fs = std::filesystem;

#ifdef _WIN32
// The library's own calls: their answers are what the rest of the program compares with.
FileFacts ReadFileFacts(const fs::path& path, LinkRule links) {
  std::error_code ec;
  const fs::file_status status =
      links == LinkRule::kFollow ? fs::status(path, ec) : fs::symlink_status(path, ec);
  FileFacts facts;
  facts.type = status.type();
  if (!fs::is_regular_file(status)) return facts;
  facts.size = fs::file_size(path, ec);
  if (!ec) facts.time = fs::last_write_time(path, ec);
  if (ec) facts.type = fs::file_type::none;
  return facts;
}
#else
namespace {

fs::file_type TypeOf(mode_t mode) {
  if (S_ISREG(mode)) return fs::file_type::regular;
  if (S_ISDIR(mode)) return fs::file_type::directory;
  if (S_ISLNK(mode)) return fs::file_type::symlink;
  if (S_ISFIFO(mode)) return fs::file_type::fifo;
  if (S_ISSOCK(mode)) return fs::file_type::socket;
  if (S_ISBLK(mode)) return fs::file_type::block;
  if (S_ISCHR(mode)) return fs::file_type::character;
  return fs::file_type::unknown;
}

}  // namespace

FileFacts ReadFileFacts(const fs::path& path, LinkRule links) {
  struct stat st;
  const int result =
      links == LinkRule::kFollow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
  FileFacts facts;
  if (result != 0) {
    facts.type =
        errno == ENOENT || errno == ENOTDIR ? fs::file_type::not_found : fs::file_type::none;
    return facts;
  }
  facts.type = TypeOf(st.st_mode);
  facts.size = static_cast<std::uintmax_t>(st.st_size);
  using namespace std::chrono;
  const sys_time<nanoseconds> written{seconds(st.st_mtim.tv_sec) + nanoseconds(st.st_mtim.tv_nsec)};
  facts.time =
      time_point_cast<fs::file_time_type::duration>(fs::file_time_type::clock::from_sys(written));
  return facts;
}
#endif

}  // namespace listelo
