#include "transforms/equipment.h"

#include "platform/text.h"
#include "xml/stock_document.h"

namespace listelo {

std::string ExpandEquipment(IXMLCursor& cursor, std::string_view codes) {
  if (codes.empty()) return {};
  std::string result(codes);
  std::string token;
  for (char c : codes) {
    if (c != ';') {
      token += c;
      continue;
    }
    if (!token.empty()) {
      XmlCursorPtr match = SelectEquipmentLabel(cursor, AnsiUpperCase(token));
      const std::string label = match->Eof() ? std::string() : match->GetValue("LibelleEquipement");
      result = AnsiReplaceAllIgnoreCase(result, ";" + token + ";", ";" + label + ";");
    }
    token.clear();
  }
  if (!result.empty() && result.front() == ';') result.erase(0, 1);
  if (!result.empty() && result.back() == ';') result.pop_back();
  std::string out;
  out.reserve(result.size() + result.size() / 4);
  for (char c : result) {
    if (c == ';') {
      out += ", ";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace listelo
