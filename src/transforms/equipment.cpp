#include "transforms/equipment.h"

#include <algorithm>
#include <utility>

#include "platform/text.h"
#include "xml/stock_document.h"

namespace listelo {

namespace {

// The pieces of a list between its ";", the first before any and the last after all.
std::vector<std::string_view> Pieces(std::string_view list) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  for (size_t semicolon = list.find(';'); semicolon != std::string_view::npos;
       semicolon = list.find(';', start)) {
    pieces.push_back(list.substr(start, semicolon - start));
    start = semicolon + 1;
  }
  pieces.push_back(list.substr(start));
  return pieces;
}

// The label of each code in turn, each code looked up once.
std::vector<std::string> Labels(IXMLCursor& cursor, const std::vector<std::string_view>& codes) {
  std::vector<std::string> labels;
  labels.reserve(codes.size());
  for (size_t i = 0; i < codes.size(); ++i) {
    size_t seen = 0;
    while (seen < i && codes[seen] != codes[i]) ++seen;
    if (seen < i) {
      std::string again = labels[seen];
      labels.push_back(std::move(again));
      continue;
    }
    XmlCursorPtr match = SelectEquipmentLabel(cursor, AnsiUpperCase(codes[i]));
    labels.push_back(match->Eof() ? std::string() : match->GetValue("LibelleEquipement"));
  }
  return labels;
}

// Each ";code;" replaced in the whole text, code after code, as the definition reads.
std::string ReplaceCodeByCode(std::string_view list, const std::vector<std::string_view>& codes,
                              const std::vector<std::string>& labels) {
  std::string result(list);
  for (size_t i = 0; i < codes.size(); ++i) {
    const std::string code(codes[i]);
    result = AnsiReplaceAllIgnoreCase(result, ";" + code + ";", ";" + labels[i] + ";");
  }
  return result;
}

// The same without searching the text again for every code, when no label holds a ";":
// the ";" then stay where they are, and the text is the pieces between them. A code's
// pass replaces each inner piece equal to it (any letter case), except the piece right
// after one it has just replaced, whose leading ";" that match took.
std::string ReplacePieceByPiece(std::vector<std::string_view> pieces,
                                const std::vector<std::string_view>& codes,
                                const std::vector<std::string>& labels) {
  for (size_t i = 0; i < codes.size(); ++i) {
    for (size_t k = 1; k + 1 < pieces.size(); ++k) {
      if (AnsiSameText(pieces[k], codes[i])) {
        pieces[k] = labels[i];
        ++k;
      }
    }
  }
  std::string result;
  for (size_t k = 0; k < pieces.size(); ++k) {
    if (k > 0) result += ';';
    result += pieces[k];
  }
  return result;
}

}  // namespace

std::string ExpandEquipment(IXMLCursor& cursor, std::string_view codes) {
  if (codes.empty()) return {};
  const std::vector<std::string_view> pieces = Pieces(codes);
  // The codes: the pieces followed by a ";", when not empty.
  std::vector<std::string_view> found;
  for (size_t k = 0; k + 1 < pieces.size(); ++k) {
    if (!pieces[k].empty()) found.push_back(pieces[k]);
  }
  const std::vector<std::string> labels = Labels(cursor, found);
  const bool label_with_semicolon = std::any_of(
      labels.begin(), labels.end(), [](const auto& l) { return l.find(';') != std::string::npos; });
  std::string result = label_with_semicolon ? ReplaceCodeByCode(codes, found, labels)
                                            : ReplacePieceByPiece(pieces, found, labels);
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

namespace {

// The label text, with either of the two by-products a portal may want.
std::string LabelText(IXMLCursor& cursor, std::initializer_list<LabelSection> sections,
                      std::string* all_labels, std::vector<std::string_view>* labelled) {
  std::string text;
  if (all_labels != nullptr) all_labels->clear();
  for (const LabelSection& section : sections) {
    const std::string labels = ExpandEquipment(cursor, section.codes);
    if (labels.empty()) continue;
    text += section.before;
    text += labels;
    text += section.after;
    if (labelled != nullptr) labelled->push_back(section.codes);
    if (all_labels != nullptr) {
      if (!all_labels->empty()) *all_labels += ", ";
      *all_labels += labels;
    }
  }
  return text;
}

}  // namespace

std::string EquipmentLabelText(IXMLCursor& cursor, std::initializer_list<LabelSection> sections,
                               std::string* all_labels) {
  return LabelText(cursor, sections, all_labels, nullptr);
}

std::string EquipmentLabelText(IXMLCursor& cursor, std::initializer_list<LabelSection> sections,
                               std::vector<std::string_view>& labelled) {
  return LabelText(cursor, sections, nullptr, &labelled);
}

}  // namespace listelo
