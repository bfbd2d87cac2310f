#include "app/ini_file.h"

#include <fstream>
#include <iterator>

#include "platform/text.h"

namespace listelo {

IniFile IniFile::Open(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  IniFile ini = FromText(text);
  ini.path_ = path;
  return ini;
}

IniFile IniFile::FromText(std::string_view text) {
  IniFile ini;
  std::unordered_map<std::string, std::string>* current = nullptr;
  bool current_is_first = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = TrimBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      std::string name = AnsiUpperCase(TrimBlanks(
          line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
      auto [it, inserted] = ini.sections_.try_emplace(name);
      current = &it->second;
      current_is_first = inserted;
      continue;
    }
    // A repeated section is ignored: the first occurrence wins.
    if (current == nullptr || !current_is_first) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string key = AnsiUpperCase(TrimBlanks(line.substr(0, eq)));
    std::string_view value = TrimBlanks(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.size() > kMaxValueLength) value = value.substr(0, kMaxValueLength);
    current->try_emplace(std::move(key), value);
  }
  return ini;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
  auto s = sections_.find(AnsiUpperCase(section));
  if (s == sections_.end()) return std::string(default_value);
  auto k = s->second.find(AnsiUpperCase(key));
  if (k == s->second.end()) return std::string(default_value);
  return k->second;
}

}  // namespace listelo
