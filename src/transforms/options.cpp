#include "transforms/options.h"

#include <algorithm>

#include "platform/text.h"

namespace listelo {
namespace {

constexpr size_t kRestLimit = 20000;

bool IsUpperCase(std::string_view item) {
  return std::all_of(item.begin(), item.end(), [](char c) { return AnsiUpperChar(c) == c; });
}

}  // namespace

std::string UpperCaseItems(std::string_view list, std::string_view mark) {
  std::string kept;
  std::string_view rest = list;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    if (IsUpperCase(item)) {
      kept += item;
      kept += mark;
    }
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
    if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    // Cut after every item; only the first cut can shorten it.
    rest = rest.substr(0, kRestLimit);
  }
  return kept;
}

}  // namespace listelo
