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

bool HasEquipmentCode(std::string_view list, std::string_view code) {
  std::string delimited;
  delimited.reserve(code.size() + 2);
  delimited += ';';
  delimited += code;
  delimited += ';';
  return list.find(delimited) != std::string_view::npos;
}

std::string EquipmentFlag(std::string_view list, std::string_view code, const FlagWords& words) {
  if (list.empty()) return std::string(words.empty_list);
  return std::string(HasEquipmentCode(list, code) ? words.yes : words.no);
}

std::string HeldEquipmentLabels(IXMLCursor& cursor, std::string_view list,
                                std::initializer_list<std::string_view> codes) {
  std::string held = ";";
  for (std::string_view code : codes) {
    if (HasEquipmentCode(list, code)) {
      held += code;
      held += ';';
    }
  }
  return held.size() == 1 ? std::string() : ExpandEquipment(cursor, held);
}

std::string EquipmentLabelText(IXMLCursor& cursor, std::initializer_list<LabelSection> sections) {
  std::string text;
  for (const LabelSection& section : sections) {
    const std::string labels = ExpandEquipment(cursor, section.codes);
    if (labels.empty()) continue;
    text += section.before;
    text += labels;
    text += section.after;
  }
  return text;
}

}  // namespace listelo
