// The version information of the program file: the eight texts that the "Version"
// button lists. Windows keeps them in a VERSIONINFO resource. Elsewhere the program
// carries them as a block of bytes in its own file (version_block.cpp.in, filled in
// when the build is configured), which ListVersionInfo finds by reading that file.
//
// Block: kVersionBlockStart, the payload length as eight hexadecimal digits, the
// payload (key, NUL, value, NUL, for each string) and kVersionBlockEnd. The start mark
// alone also occurs in any program that can read blocks; only a whole, well-formed
// frame counts.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace listelo {

inline constexpr std::string_view kVersionBlockStart = "\x01ListeloVersionInfo\x02";
inline constexpr std::string_view kVersionBlockEnd = "\x02ListeloVersionEnd\x01";
inline constexpr std::size_t kVersionLengthDigits = 8;

struct VersionString {
  std::string_view key;
  std::string_view value;
};

constexpr std::size_t VersionBlockSize(std::span<const VersionString> strings) {
  std::size_t size = kVersionBlockStart.size() + kVersionLengthDigits + kVersionBlockEnd.size();
  for (const VersionString& s : strings) size += s.key.size() + s.value.size() + 2;
  return size;
}

// Writes the block of `strings` to `out`, which holds VersionBlockSize(strings) bytes.
constexpr void WriteVersionBlock(std::span<const VersionString> strings, char* out) {
  auto put = [&out](std::string_view text) {
    for (char c : text) *out++ = c;
  };
  put(kVersionBlockStart);
  std::size_t payload = VersionBlockSize(strings) - kVersionBlockStart.size() -
                        kVersionLengthDigits - kVersionBlockEnd.size();
  for (std::size_t i = kVersionLengthDigits; i-- > 0;) {
    *out++ = "0123456789ABCDEF"[(payload >> (4 * i)) & 0xF];
  }
  for (const VersionString& s : strings) {
    put(s.key);
    *out++ = '\0';
    put(s.value);
    *out++ = '\0';
  }
  put(kVersionBlockEnd);
}

template <std::size_t N>
constexpr std::array<char, N> BuildVersionBlock(std::span<const VersionString> strings) {
  std::array<char, N> block{};
  WriteVersionBlock(strings, block.data());
  return block;
}

// The block as a string; for writing test files.
std::string VersionBlockBytes(std::span<const VersionString> strings);

// Appends key + " : " + value for each of the eight version keys, in the listing
// order, that the version block in `file_name` holds (keys compared without regard to
// letter case). A missing or unreadable file, or one without a block, adds nothing.
void ListVersionInfo(const std::filesystem::path& file_name, std::vector<std::string>& lines);

}  // namespace listelo
