#include "app/version_info.h"

#include <optional>

#include "platform/c_file.h"
#include "platform/text.h"

namespace listelo {
namespace {

// The keys in the order they are listed, spelled as they are listed.
constexpr std::array<std::string_view, 8> kListedKeys = {
    "FileDescription", "CompanyName",      "FileVersion", "InternalName",
    "LegalCopyRight",  "OriginalFileName", "ProductName", "ProductVersion"};

std::optional<std::size_t> ParseLength(std::string_view digits) {
  if (digits.size() != kVersionLengthDigits) return std::nullopt;
  std::size_t value = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * 16 + static_cast<std::size_t>(digit);
  }
  return value;
}

// Splits a payload into its strings; nullopt unless it is whole key/value pairs.
std::optional<std::vector<std::pair<std::string, std::string>>> ParsePayload(
    std::string_view payload) {
  std::vector<std::string_view> parts;
  while (!payload.empty()) {
    std::size_t end = payload.find('\0');
    if (end == std::string_view::npos) return std::nullopt;
    parts.push_back(payload.substr(0, end));
    payload.remove_prefix(end + 1);
  }
  if (parts.size() % 2 != 0) return std::nullopt;
  std::vector<std::pair<std::string, std::string>> strings;
  for (std::size_t i = 0; i < parts.size(); i += 2) {
    if (parts[i].empty()) return std::nullopt;
    strings.emplace_back(parts[i], parts[i + 1]);
  }
  return strings;
}

// The strings of the first well-formed block in `bytes`.
std::optional<std::vector<std::pair<std::string, std::string>>> FindVersionStrings(
    std::string_view bytes) {
  for (std::size_t at = bytes.find(kVersionBlockStart); at != std::string_view::npos;
       at = bytes.find(kVersionBlockStart, at + 1)) {
    std::string_view rest = bytes.substr(at + kVersionBlockStart.size());
    std::optional<std::size_t> length = ParseLength(rest.substr(0, kVersionLengthDigits));
    if (!length) continue;
    rest.remove_prefix(kVersionLengthDigits);
    if (*length > rest.size() ||
        rest.substr(*length, kVersionBlockEnd.size()) != kVersionBlockEnd) {
      continue;
    }
    if (auto strings = ParsePayload(rest.substr(0, *length))) return strings;
  }
  return std::nullopt;
}

}  // namespace

std::string VersionBlockBytes(std::span<const VersionString> strings) {
  std::string bytes(VersionBlockSize(strings), '\0');
  WriteVersionBlock(strings, bytes.data());
  return bytes;
}

void ListVersionInfo(const std::filesystem::path& file_name, std::vector<std::string>& lines) {
  std::optional<std::string> bytes = ReadWholeFile(file_name);
  if (!bytes) return;
  auto strings = FindVersionStrings(*bytes);
  if (!strings) return;
  for (std::string_view key : kListedKeys) {
    for (const auto& [found_key, value] : *strings) {
      if (AnsiSameText(found_key, key)) {
        lines.push_back(std::string(key) + " : " + value);
        break;
      }
    }
  }
}

}  // namespace listelo
