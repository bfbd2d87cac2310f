// The catalogue options of a vehicle ("Options3270"): the maker's option list, of which
// the portals take the items written in capitals (the maker's codes), not the free text.
#pragma once

#include <string>
#include <string_view>

namespace listelo {

// The items of `list` (separated by ",", one blank after a comma skipped) that equal
// their own upper-cased form, each followed by `mark`, in order: an empty item or one
// without letters is kept too. "ABS, Climatisation, GPS" with "|" gives "ABS|GPS|".
// Once the first item is cut off, what follows it is taken up to 20000 characters only.
std::string UpperCaseItems(std::string_view list, std::string_view mark);

}  // namespace listelo
