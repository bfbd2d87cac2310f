// The configuration file, read with the rules of Windows private-profile files:
// section and key names match without regard to letter case, blanks around a value
// are dropped, a value wrapped in a matching pair of double quotes loses them, a key
// present with an empty value reads as empty (not as the default), values are cut at
// 2047 characters, and the first occurrence of a section or key wins. Read only.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

namespace listelo {

class IniFile {
 public:
  static constexpr size_t kMaxValueLength = 2047;

  IniFile() = default;  // no file: every read gives its default

  // Reads `path`; a file that is missing or cannot be read reads as empty.
  static IniFile Open(const std::filesystem::path& path);
  static IniFile FromText(std::string_view text);

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  // Upper-cased section name -> upper-cased key -> value.
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> sections_;
};

// The three switch rules of the configuration. Comparisons are exact.
inline bool OnUnlessZero(std::string_view value) { return value != "0"; }
inline bool OnOnlyWhenOne(std::string_view value) { return value == "1"; }
inline bool OffOnlyWhenZero(std::string_view value) { return value != "0"; }

}  // namespace listelo
