// Equipment codes to readable labels, through the equipment table of the source stock
// document.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace listelo
