#include "transforms/fields.h"

#include <algorithm>
#include <cstdio>

#include "transforms/calendar.h"

namespace listelo {
namespace {

constexpr char kTab = '\t';

// A decimal number as its significant digits and a power of ten: digits x 10^exponent.
struct Decimal {
  bool negative = false;
  std::string digits;  // no leading zeros; empty for zero
  long long exponent = 0;
};

// Largest power of ten that the number reader of the original tooling could hold
// (an 80-bit float, about 1.19e4932); larger values do not read.
constexpr long long kLargestPowerOfTen = 4932;
// Exponents are read up to this size; further digits cannot change the outcome.
constexpr long long kExponentLimit = 1'000'000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; }

void SkipBlanks(std::string_view text, size_t& i) {
  while (i < text.size() && text[i] == ' ') ++i;
}

// Blanks, sign, digits with at most one decimal separator (at least one digit in all),
// an optional exponent ("E" or "e", sign, digits), blanks.
bool ReadDecimal(std::string_view text, char separator, Decimal& number) {
  size_t i = 0;
  SkipBlanks(text, i);
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.negative = text[i++] == '-';
  std::string mantissa;
  long long fraction_digits = 0;
  bool any_digit = false;
  for (; i < text.size() && IsDigit(text[i]); ++i, any_digit = true) mantissa += text[i];
  if (i < text.size() && text[i] == separator) {
    for (++i; i < text.size() && IsDigit(text[i]); ++i, any_digit = true) {
      mantissa += text[i];
      ++fraction_digits;
    }
  }
  if (!any_digit) return false;
  long long exponent = 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool negative_exponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negative_exponent = text[i++] == '-';
    }
    if (i == text.size() || !IsDigit(text[i])) return false;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      exponent = std::min(exponent * 10 + (text[i] - '0'), kExponentLimit);
    }
    if (negative_exponent) exponent = -exponent;
  }
  SkipBlanks(text, i);
  if (i != text.size()) return false;

  const size_t first = mantissa.find_first_not_of('0');
  number.digits = first == std::string::npos ? std::string() : mantissa.substr(first);
  number.exponent = exponent - fraction_digits;
  const long long integer_digits = static_cast<long long>(number.digits.size()) + number.exponent;
  return number.digits.empty() || integer_digits <= kLargestPowerOfTen;
}

// Adds one to a string of decimal digits.
void Increment(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// number x 100, rounded to an integer with halves away from zero, in decimal.
std::string HundredTimesRounded(const Decimal& number) {
  if (number.digits.empty()) return "0";
  const long long exponent = number.exponent + 2;
  std::string integer;
  if (exponent >= 0) {
    integer = number.digits + std::string(static_cast<size_t>(exponent), '0');
  } else {
    const long long dropped = -exponent;
    const long long kept = static_cast<long long>(number.digits.size()) - dropped;
    if (kept > 0) integer = number.digits.substr(0, static_cast<size_t>(kept));
    // The first dropped digit decides: 5 or more is at least one half.
    const bool round_up = kept >= 0 && number.digits[static_cast<size_t>(kept)] >= '5';
    if (integer.empty()) integer = "0";
    if (round_up) Increment(integer);
  }
  if (integer == "0") return integer;
  return number.negative ? "-" + integer : integer;
}

// Decimal digits (blanks before them allowed). Like the date reader of the original
// tooling, it stops taking digits once the number reaches 1000.
bool ScanNumber(std::string_view text, size_t& i, int& number, int& digit_count) {
  SkipBlanks(text, i);
  const size_t begin = i;
  number = 0;
  while (i < text.size() && IsDigit(text[i]) && number < 1000) {
    number = number * 10 + (text[i] - '0');
    ++i;
  }
  digit_count = static_cast<int>(i - begin);
  return digit_count > 0;
}

bool ScanChar(std::string_view text, size_t& i, char c) {
  SkipBlanks(text, i);
  if (i < text.size() && text[i] == c) {
    ++i;
    return true;
  }
  return false;
}

enum class DateOrder { kMonthDayYear, kDayMonthYear, kYearMonthDay };

DateOrder DateOrderOf(std::string_view format) {
  for (char c : format) {
    switch (AsciiUpper(c)) {
      case 'E':
      case 'Y':
        return DateOrder::kYearMonthDay;
      case 'M':
        return DateOrder::kMonthDayYear;
      case 'D':
        return DateOrder::kDayMonthYear;
      default:
        break;
    }
  }
  return DateOrder::kMonthDayYear;
}

// A year written with one or two digits, placed in the hundred years that begin 50 years
// before the current year.
int WidenYear(int year, int current_year) {
  const int century_base = current_year - 50;
  year += century_base / 100 * 100;
  if (year < century_base) year += 100;
  return year;
}

}  // namespace

bool ReadShortDate(std::string_view value, const RegionalSettings& regional, const DateTime& today,
                   CalendarDate& date) {
  const DateOrder order = DateOrderOf(regional.short_date_format);
  const char separator = regional.date_separator;
  size_t i = 0;
  int n1 = 0, n2 = 0, n3 = 0, l1 = 0, l2 = 0, l3 = 0;
  if (!ScanNumber(value, i, n1, l1) || !ScanChar(value, i, separator) ||
      !ScanNumber(value, i, n2, l2)) {
    return false;
  }
  int year = 0, month = 0, day = 0;
  if (ScanChar(value, i, separator)) {
    if (!ScanNumber(value, i, n3, l3)) return false;
    int year_length = l3;
    switch (order) {
      case DateOrder::kMonthDayYear:
        year = n3, month = n1, day = n2;
        break;
      case DateOrder::kDayMonthYear:
        year = n3, month = n2, day = n1;
        break;
      case DateOrder::kYearMonthDay:
        year = n1, month = n2, day = n3, year_length = l1;
        break;
    }
    if (year_length <= 2) year = WidenYear(year, today.year);
  } else {
    year = today.year;
    if (order == DateOrder::kYearMonthDay) {
      month = n1, day = n2;
    } else {
      month = n2, day = n1;
    }
  }
  ScanChar(value, i, separator);
  SkipBlanks(value, i);
  if (i != value.size()) return false;
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInMonth(year, month)) return false;
  date = {year, month, day};
  return true;
}

void AddCsvField(std::string& line, std::string_view value) {
  line += value;
  line += ';';
}

void AddTabField(std::string& line, std::string_view value) {
  const size_t at = line.size();
  line += value;
  std::replace(line.begin() + static_cast<std::ptrdiff_t>(at), line.end(), kTab, ' ');
  line += kTab;
}

void AddTabPrice(std::string& line, std::string_view value, const RegionalSettings& regional) {
  Decimal number;
  line +=
      ReadDecimal(value, regional.decimal_separator, number) ? HundredTimesRounded(number) : "0";
  line += kTab;
}

void AddTabDate(std::string& line, std::string_view value, const RegionalSettings& regional,
                const DateTime& today) {
  if (!value.empty()) {
    CalendarDate date;  // day 0 unless the value reads
    ReadShortDate(value, regional, today, date);
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", date.year, date.month, date.day);
    line += text;
  }
  line += kTab;
}

void AddTabYesNo(std::string& line, std::string_view value) {
  constexpr std::string_view kTrue = "TRUE";
  bool is_true = value.size() == kTrue.size();
  for (size_t i = 0; is_true && i < kTrue.size(); ++i) is_true = AsciiUpper(value[i]) == kTrue[i];
  line += is_true ? "oui" : "non";
  line += kTab;
}

CalendarDate AddMonths(CalendarDate date, int months) {
  const long long index = static_cast<long long>(date.year) * 12 + (date.month - 1) + months;
  const long long year = index >= 0 ? index / 12 : -((-index + 11) / 12);
  date.year = static_cast<int>(year);
  date.month = static_cast<int>(index - year * 12) + 1;
  date.day = std::min(date.day, 28);
  return date;
}

void AddQuotedField(std::string& line, std::string_view value, QuoteRule rule) {
  line += '"';
  for (char c : value) {
    if (c == '"') {
      if (rule == QuoteRule::kQuotesToBlanks) line += ' ';
    } else if (c == ';' && rule == QuoteRule::kDropQuotes) {
      line += '.';
    } else {
      line += c;
    }
  }
  line += "\";";
}

void QuotedCsvText::Add(std::string_view value, std::string_view header) {
  if (first_line_) AddQuotedField(header_, header, rule_);
  AddQuotedField(line_, value, rule_);
}

std::string QuotedCsvText::EndLine() {
  if (!line_.empty() && line_.back() == ';') line_.pop_back();
  lines_ += line_;
  lines_ += "\r\n";
  first_line_ = false;
  std::string line;
  line.swap(line_);
  return line;
}

std::string QuotedCsvText::Text() const {
  std::string text(header_);
  if (!text.empty() && text.back() == ';') text.pop_back();
  text += "\r\n";
  text += lines_;
  return text;
}

}  // namespace listelo
