#include "transforms/values.h"

#include <climits>

#include "platform/text.h"

namespace listelo {
namespace {

// Optional sign and at least one decimal digit, nothing else, within the int range.
bool ReadInteger(std::string_view text, int& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  long long magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (!negative && magnitude > INT_MAX) return false;
  value = static_cast<int>(negative ? -magnitude : magnitude);
  return true;
}

}  // namespace

int LeadingNumber(std::string_view text, int default_value) {
  // find_first_of gives whichever of the two separators comes first.
  const std::string_view head = text.substr(0, text.find_first_of(" p"));
  int value = 0;
  return ReadInteger(head, value) ? value : default_value;
}

std::string StripMakeFromModel(std::string_view model, std::string_view make) {
  // Without a make, "make followed by a blank" would be every blank of the model.
  if (make.empty()) return std::string(TrimBlanks(model));
  std::string result = AnsiReplaceAllIgnoreCase(model, std::string(make) + ' ', "");
  std::string plain_make(make);
  for (char& c : plain_make) {
    if (c == '\xE9' || c == '\xC9') c = 'e';  // "é", "É"
  }
  result = AnsiReplaceAllIgnoreCase(result, plain_make + ' ', "");
  return std::string(TrimBlanks(result));
}

std::string FullMakeName(std::string_view make) {
  return make == "VW" ? "Volkswagen" : std::string(make);
}

}  // namespace listelo
