// What a file system entry is, how big and when it last changed, in one call to the file
// system. A big stock's run asks this of tens of thousands of photos and their copies;
// asking the type, the size and the time one by one costs three path look-ups each.
#pragma once

#include <cstdint>
#include <filesystem>

namespace listelo {

struct FileFacts {
  std::filesystem::file_type type = std::filesystem::file_type::none;
  std::uintmax_t size = 0;                 // of a regular file
  std::filesystem::file_time_type time{};  // as std::filesystem::last_write_time gives it
};

// The entry at `path`: links followed with kFollow, the link itself with kLink. The type
// is not_found when there is nothing, none when it could not be asked.
enum class LinkRule { kFollow, kLink };
FileFacts ReadFileFacts(const std::filesystem::path& path, LinkRule links);

}  // namespace listelo
