// The pieces of a vehicle's advertisement that the quoted-column portals share: the
// equipment and option lists with the warranty code worked in, the warranty's end date,
// the composed description text, and the writer of a line's columns under their headers.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host.h"
#include "transforms/equipment.h"
#include "transforms/fields.h"
#include "xml/xml_cursor.h"

namespace listelo {

// The option list with the dealer's warranty as the code "Gar": a vehicle with a
// warranty text gets ";Gar;" when the list lacks it; a vehicle under the maker's warranty
// (";GarCons;") loses every ";Gar;" (any letter case) again, which the maker's replaces.
// The added code shares the list's closing ";" when there is one, so the list keeps one
// ";" between codes: ";VNF;" becomes ";VNF;Gar;", not ";VNF;;Gar;", whose empty code
// would read as an empty label (", ,") in the description.
std::string AdjustWarrantyCodes(std::string_view options, std::string_view warranty);

// The record's four lists, the options adjusted for its Garantie.
EquipmentLists ReadEquipmentLists(IXMLCursor& record);

// The date a warranty of `months` months taken today runs to: `today` moved forward by
// AddMonths (a day above 28 becomes 28). Nothing for fewer than one month, which names
// no end to come, or when the year would pass 9999, which no date reaches. Any count a
// field can give (up to 2^31 - 1) is answered at once.
std::optional<CalendarDate> WarrantyEndDate(int months, const DateTime& today);

// The advertisement text of a vehicle, CR LF between its lines:
//   make + " " + Version + " (ref:" + reference + ")", a blank line, then the body
//   style, power, colour, gearbox and first registration; the interior, exterior and
//   safety labels, each list only when it has labels; the option labels, where the
//   option "Sous Garantie" reads "Garantie : " + Garantie; and the contact:
//   ContactPhrase(NomContact) + telephone ("Tél : 04 78 60 12 34" for the standard line,
//   "Contactez Paul au 04 78 60 12 34" otherwise).
// The record's fields are read as they stand: the exporter has already written the
// make and telephone that the advertisement shows. Labels come from the document's
// equipment table (any cursor of the document serves as `record`).
std::string ComposeDescription(IXMLCursor& record, const EquipmentLists& lists,
                               std::string_view reference);

// The columns of one vehicle's line, each value under its header (collected into the
// header line while the first vehicle is written), yes/no columns in the portal's words.
class AdvertColumns {
 public:
  AdvertColumns(QuotedCsvText& csv, IXMLCursor& record, const FlagWords& flag_words)
      : csv_(csv), record_(record), flag_words_(flag_words) {}

  struct FieldColumn {
    std::string_view header;
    std::string_view field;
  };
  struct FlagColumn {
    std::string_view header;
    std::string_view code;
  };

  void Value(std::string_view header, std::string_view value) { csv_.Add(value, header); }
  // The record's fields as they stand.
  void Fields(std::initializer_list<FieldColumn> columns) {
    for (const FieldColumn& c : columns) csv_.Add(record_.GetValue(c.field), c.header);
  }
  void Empty(std::initializer_list<std::string_view> headers) {
    for (std::string_view header : headers) csv_.Add("", header);
  }
  // EquipmentFlag of each code in the list.
  void Flags(std::string_view list, std::initializer_list<FlagColumn> columns) {
    for (const FlagColumn& c : columns)
      csv_.Add(EquipmentFlag(list, c.code, flag_words_), c.header);
  }
  void Flag(std::string_view header, bool yes) {
    csv_.Add(yes ? flag_words_.yes : flag_words_.no, header);
  }
  // "Photo1" ... "Photo" + count: the addresses in order, empty for the missing ones.
  void Photos(const std::vector<std::string>& addresses, size_t count);

 private:
  QuotedCsvText& csv_;
  IXMLCursor& record_;
  const FlagWords& flag_words_;
};

}  // namespace listelo
