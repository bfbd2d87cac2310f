// Appending fields to the lines of the delimited text files that exporters write.
// Each call adds the field and its delimiter to the end of `line`.
#pragma once

#include <string>
#include <string_view>

#include "platform/host.h"
#include "platform/regional.h"

namespace listelo {

// value + ";". The value is neither quoted nor escaped.
void AddCsvField(std::string& line, std::string_view value);

// value with every tab turned into a blank, + tab.
void AddTabField(std::string& line, std::string_view value);

// A price in cents + tab: value read as a number with the decimal separator of
// `regional` (blanks around it, a sign and an exponent allowed, no thousands grouping;
// 0 when it does not read), times 100, rounded to the nearest integer with halves away
// from zero. The decimal digits are worked exactly, so "1,005" gives 101.
void AddTabPrice(std::string& line, std::string_view value, const RegionalSettings& regional);

// A date written "yyyymmdd" + tab; an empty value adds only the tab. The value is read
// as the short date format reads: see ReadShortDate. A value that does not read (one
// with a time part, too) is written 18991230, day 0 of the date system.
void AddTabDate(std::string& line, std::string_view value, const RegionalSettings& regional,
                const DateTime& today);

// "oui" when value is "TRUE" in any (ASCII) letter case, else "non"; + tab.
void AddTabYesNo(std::string& line, std::string_view value);

struct CalendarDate {
  int year = 1899;
  int month = 12;
  int day = 30;
  bool operator==(const CalendarDate&) const = default;
};

// Reads a date as the short date format of `regional` orders day, month and year
// (whichever of d, m, y comes first in it: day first for "dd/mm/yyyy"), with its date
// separator: blanks allowed before each number and separator, two or three numbers.
// Without a year the year of `today` is taken; a year of one or two digits falls in the
// hundred years from 50 years before `today`'s year. One separator and blanks may
// follow; anything else after the date (a time, a letter) makes it not read. False when
// it does not read or names no day of the calendar.
bool ReadShortDate(std::string_view value, const RegionalSettings& regional, const DateTime& today,
                   CalendarDate& date);

// The date `months` months later (earlier for a negative count): the months are added
// to the month number, which then carries into the year, and a day above 28 becomes 28,
// so the result is always a day of the calendar ("31/01/2011" + 1 gives "28/02/2011",
// "30/04/2011" + 2 gives "28/06/2011").
CalendarDate AddMonths(CalendarDate date, int months);

// How a quoted field keeps its quotes out of the value.
enum class QuoteRule {
  kDropQuotes,      // every " removed and every ";" made ".": a value never holds either
  kQuotesToBlanks,  // every " made one blank; ";" stays (the quotes enclose it)
};

// value between double quotes, after `rule`, + ";".
void AddQuotedField(std::string& line, std::string_view value, QuoteRule rule);

// A text file of quoted, semicolon-separated lines, optionally behind a header line that
// is collected while the first line is built. Every value and every header stands
// between double quotes; the ";" after a line's last value is not written, and every
// line (the header's too) ends with CR LF.
class QuotedCsvText {
 public:
  explicit QuotedCsvText(QuoteRule rule) : rule_(rule) {}

  // Appends a value to the current line; while the first line is built, `header` is
  // appended to the header line too.
  void Add(std::string_view value, std::string_view header = {});
  // Closes the current line and returns it, without its last ";" and without CR LF
  // (for files that take one line at a time); it is kept for Text() too.
  std::string EndLine();
  // The header line with CR LF (a lone CR LF when no line was built) followed by the
  // lines, each with CR LF. Without headers, use Lines().
  std::string Text() const;
  // The lines alone, each with CR LF.
  const std::string& Lines() const { return lines_; }

 private:
  QuoteRule rule_;
  bool first_line_ = true;
  std::string header_;
  std::string line_;
  std::string lines_;
};

}  // namespace listelo
