#include "platform/regional.h"

#include <clocale>
#include <cstdio>

#ifndef _WIN32
#include <langinfo.h>
#endif

#include "platform/text.h"

namespace listelo {
namespace {

constexpr const char* kShortMonths[] = {"janv.", "févr.", "mars",  "avr.", "mai",  "juin",
                                        "juil.", "août",  "sept.", "oct.", "nov.", "déc."};
constexpr const char* kLongMonths[] = {"janvier",   "février", "mars",     "avril",
                                       "mai",       "juin",    "juillet",  "août",
                                       "septembre", "octobre", "novembre", "décembre"};
constexpr const char* kShortDays[] = {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."};
constexpr const char* kLongDays[] = {"dimanche", "lundi",    "mardi", "mercredi",
                                     "jeudi",    "vendredi", "samedi"};

void AppendNumber(std::string& out, int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  out += buf;
}

size_t CountRun(std::string_view p, size_t i) {
  size_t n = 1;
  char lower = AnsiLowerChar(p[i]);
  while (i + n < p.size() && AnsiLowerChar(p[i + n]) == lower) ++n;
  return n;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix) {
  return text.size() - at >= prefix.size() && AnsiSameText(text.substr(at, prefix.size()), prefix);
}

class Formatter {
 public:
  Formatter(const DateTime& when, const RegionalSettings& settings)
      : when_(when), settings_(settings) {}

  void Format(std::string_view p, std::string& out, int depth = 0) {
    size_t i = 0;
    while (i < p.size()) {
      char c = p[i];
      char lower = AnsiLowerChar(c);
      if (c == '"' || c == '\'') {
        size_t end = p.find(c, i + 1);
        if (end == std::string_view::npos) end = p.size();
        out.append(p.substr(i + 1, end - i - 1));
        i = end + 1;
        continue;
      }
      if (StartsWithNoCase(p, i, "am/pm")) {
        out += when_.hour < 12 ? "am" : "pm";
        i += 5;
        continue;
      }
      if (StartsWithNoCase(p, i, "a/p")) {
        out += when_.hour < 12 ? "a" : "p";
        i += 3;
        continue;
      }
      size_t n = CountRun(p, i);
      switch (lower) {
        case 'd':
          FormatDay(n, out, depth);
          break;
        case 'm':
          FormatMonthOrMinute(n, out);
          break;
        case 'y':
          n <= 2 ? AppendNumber(out, when_.year % 100, 2) : AppendNumber(out, when_.year, 4);
          break;
        case 'h':
          AppendNumber(out, when_.hour, n >= 2 ? 2 : 1);
          after_hour_ = true;
          i += n;
          continue;
        case 'n':
          AppendNumber(out, when_.minute, n >= 2 ? 2 : 1);
          break;
        case 's':
          AppendNumber(out, when_.second, n >= 2 ? 2 : 1);
          break;
        case 'z':
          AppendNumber(out, when_.millisecond, n >= 3 ? 3 : 1);
          break;
        case 't':
          if (depth < 2)
            Format(n >= 2 ? settings_.long_time_format : settings_.short_time_format, out,
                   depth + 1);
          break;
        case '/':
          out.append(n, settings_.date_separator);
          i += n;
          continue;
        case ':':
          out.append(n, settings_.time_separator);
          i += n;
          continue;
        default:
          out.append(p.substr(i, n));
          i += n;
          continue;
      }
      after_hour_ = false;
      i += n;
    }
  }

 private:
  void FormatDay(size_t n, std::string& out, int depth) {
    switch (n) {
      case 1:
        AppendNumber(out, when_.day, 1);
        break;
      case 2:
        AppendNumber(out, when_.day, 2);
        break;
      case 3:
        out += kShortDays[when_.day_of_week % 7];
        break;
      case 4:
        out += kLongDays[when_.day_of_week % 7];
        break;
      case 5:
        if (depth < 2) Format(settings_.short_date_format, out, depth + 1);
        break;
      default:
        if (depth < 2) Format(settings_.long_date_format, out, depth + 1);
        break;
    }
  }

  void FormatMonthOrMinute(size_t n, std::string& out) {
    if (after_hour_ && n <= 2) {
      AppendNumber(out, when_.minute, n == 2 ? 2 : 1);
      return;
    }
    int m = (when_.month + 11) % 12;
    if (n == 1)
      AppendNumber(out, when_.month, 1);
    else if (n == 2)
      AppendNumber(out, when_.month, 2);
    else if (n == 3)
      out += kShortMonths[m];
    else
      out += kLongMonths[m];
  }

  const DateTime& when_;
  const RegionalSettings& settings_;
  bool after_hour_ = false;
};

}  // namespace

std::string FormatDateTime(std::string_view pattern, const DateTime& when,
                           const RegionalSettings& settings) {
  std::string out;
  Formatter(when, settings).Format(pattern, out);
  return out;
}

std::string PatternFromStrftime(std::string_view format) {
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      char c = format[i];
      bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      if (letter)
        out += std::string("\"") + c + "\"";
      else
        out += c;
      continue;
    }
    char conversion = format[++i];
    while ((conversion == 'E' || conversion == 'O' || conversion == '-' || conversion == '_' ||
            conversion == '0') &&
           i + 1 < format.size()) {
      conversion = format[++i];
    }
    switch (conversion) {
      case 'H':
      case 'I':
        out += "hh";
        break;
      case 'k':
      case 'l':
        out += "h";
        break;
      case 'M':
        out += "nn";
        break;
      case 'S':
        out += "ss";
        break;
      case 'p':
      case 'P':
        out += "am/pm";
        break;
      case 'T':
        out += "hh:nn:ss";
        break;
      case 'R':
        out += "hh:nn";
        break;
      case 'r':
        out += "hh:nn:ss am/pm";
        break;
      case 'd':
        out += "dd";
        break;
      case 'e':
        out += "d";
        break;
      case 'm':
        out += "mm";
        break;
      case 'y':
        out += "yy";
        break;
      case 'Y':
        out += "yyyy";
        break;
      case 'D':
        out += "mm/dd/yy";
        break;
      case 'F':
        out += "yyyy-mm-dd";
        break;
      case 'b':
      case 'h':
        out += "mmm";
        break;
      case 'B':
        out += "mmmm";
        break;
      case 'a':
        out += "ddd";
        break;
      case 'A':
        out += "dddd";
        break;
      case '%':
        out += '%';
        break;
      default:
        break;
    }
  }
  return out;
}

RegionalSettings RegionalSettings::FromHost() {
  RegionalSettings s;
  std::setlocale(LC_ALL, "");
  if (const std::lconv* lc = std::localeconv(); lc && lc->decimal_point && lc->decimal_point[0]) {
    s.decimal_separator = lc->decimal_point[0];
  }
#ifndef _WIN32
  std::string time_fmt = PatternFromStrftime(nl_langinfo(T_FMT));
  if (!time_fmt.empty()) s.long_time_format = time_fmt;
  std::string date_fmt = PatternFromStrftime(nl_langinfo(D_FMT));
  if (!date_fmt.empty()) s.short_date_format = date_fmt;
  // The short time is the long one without its seconds.
  std::string short_time = s.long_time_format;
  if (size_t pos = short_time.find(":ss"); pos != std::string::npos) short_time.erase(pos, 3);
  s.short_time_format = short_time;
#endif
  // Numbers are formatted by our own code; the C library keeps "." for what it parses.
  std::setlocale(LC_NUMERIC, "C");
  return s;
}

}  // namespace listelo
