// Equipment codes to readable labels, through the equipment table of the source stock
// document.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "xml/xml_cursor.h"

namespace listelo {

// `codes` is a ";"-delimited list with a ";" before and after every code
// (";CLIM;ABS;"). Every code met between two ";" is looked up upper-cased in the
// equipment table (any cursor of the document serves) and every ";code;" of the text,
// in any letter case, becomes ";label;" (empty label when the table lacks the code).
// The outer ";" are then dropped and the others become ", ":
//   ";CLIM;ABS;"    -> "Climatisation, Antiblocage"
//   ";CLIM;XX;ABS;" -> "Climatisation, , Antiblocage"
//   "CLIM;ABS;"     -> "CLIM, Antiblocage"   (CLIM never stands between two ";")
// A code holding "'" fails with XmlCursorError, as its selection would.
std::string ExpandEquipment(IXMLCursor& cursor, std::string_view codes);

// Whether the ";"-delimited list holds ";" + code + ";" (exact, letter case
// significant). A list without its leading ";" thus never holds its first code, and the
// empty code is held by a list that holds ";;".
bool HasEquipmentCode(std::string_view list, std::string_view code);

// The four equipment code lists of a vehicle record, codes between ";" (";Clim;GPS;"):
// interior, exterior, safety, and the options (non-smoker, warranty... codes).
struct EquipmentLists {
  std::string interior;  // EqutInterieur
  std::string exterior;  // EqutExterieur
  std::string safety;    // EqutSecurite
  std::string options;   // InfoComplement (where it is used, with the warranty worked in)
};

// The words an equipment flag is written with: `yes` when the list holds the code, `no`
// when it does not, `empty_list` when the list is empty (no answer).
struct FlagWords {
  std::string_view yes;
  std::string_view no;
  std::string_view empty_list;
};
inline constexpr FlagWords kOneZeroFlag = {"1", "0", ""};
inline constexpr FlagWords kYesNoFlag = {"O", "N", ""};
inline constexpr FlagWords kTrueFalseFlag = {"true", "false", ""};
// O/N columns that read an empty list as "N".
inline constexpr FlagWords kYesNoColumn = {"O", "N", "N"};
// 1/0 columns that read an empty list as "0".
inline constexpr FlagWords kOneZeroColumn = {"1", "0", "0"};

// The flag of `code` in `list` (see HasEquipmentCode), written with `words`.
std::string EquipmentFlag(std::string_view list, std::string_view code, const FlagWords& words);

// The labels of those of `codes` that `list` holds, in the order of `codes`, joined by
// ", " (ExpandEquipment of ";" + code + ";" for each held code); empty when none is held.
std::string HeldEquipmentLabels(IXMLCursor& cursor, std::string_view list,
                                std::initializer_list<std::string_view> codes);

// One equipment list of a composed text, with what stands before and after its labels.
struct LabelSection {
  std::string_view codes;   // ";"-delimited code list
  std::string_view before;  // " - Equipements Intérieurs : "
  std::string_view after;   // "\r\n\r\n"
};

// For each section in order whose codes give labels (ExpandEquipment not empty):
// before + labels + after. Sections without labels add nothing. When `all_labels` is
// given, it receives the labels of those sections alone, joined by ", ".
std::string EquipmentLabelText(IXMLCursor& cursor, std::initializer_list<LabelSection> sections,
                               std::string* all_labels = nullptr);

// The same, also appending to `labelled` the code list of every section that gave
// labels, in order: what a portal's own code columns are then searched in.
std::string EquipmentLabelText(IXMLCursor& cursor, std::initializer_list<LabelSection> sections,
                               std::vector<std::string_view>& labelled);

}  // namespace listelo
