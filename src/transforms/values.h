// Small readings and cleanings of free-text fields of the stock database.
#pragma once

#include <string>
#include <string_view>

namespace listelo {

// The integer at the head of a free text such as "5 portes", "3p" or "120": the part
// before the first blank or the first lower-case "p" (the whole text when it has
// neither), read as decimal digits with an optional sign. `default_value` when that part
// is empty, holds anything else ("5P", "ch 90") or lies outside the 32-bit range.
int LeadingNumber(std::string_view text, int default_value);

// The model text without the make: every occurrence of the make followed by one blank
// is removed (letter case ignored), then again with "é"/"É" in the make written "e"
// (so a make "Citroén" also clears "Citroen "), and blanks and control characters are
// trimmed from both ends. An empty make removes nothing.
std::string StripMakeFromModel(std::string_view model, std::string_view make);

// The make as the portals spell it: "Volkswagen" for exactly "VW" (letter case
// significant: "vw" stays), any other make unchanged.
std::string FullMakeName(std::string_view make);

}  // namespace listelo
