// Regional settings (decimal separator, date and time formats) and date-time
// formatting with the pattern letters the program uses:
//   d dd ddd dddd ddddd(short date) dddddd(long date)  m mm mmm mmmm  yy yyyy
//   h hh  n nn  s ss  z zzz  t(short time) tt(long time)  am/pm a/p  / :  "text" 'text'
// As in the patterns of the original tooling, "m" right after an hour means minutes.
#pragma once

#include <string>
#include <string_view>

#include "platform/host.h"

namespace listelo {

struct RegionalSettings {
  char decimal_separator = '.';
  char date_separator = '/';
  char time_separator = ':';
  std::string short_date_format = "dd/mm/yyyy";
  std::string long_date_format = "dddd d mmmm yyyy";
  std::string short_time_format = "hh:nn";
  std::string long_time_format = "hh:nn:ss";

  // The settings of the host's locale (setlocale(LC_ALL, "")), turned into patterns.
  static RegionalSettings FromHost();

  bool operator==(const RegionalSettings&) const = default;
};

std::string FormatDateTime(std::string_view pattern, const DateTime& when,
                           const RegionalSettings& settings);

// A strftime format ("%H:%M:%S") as a pattern of the letters above ("hh:nn:ss").
std::string PatternFromStrftime(std::string_view format);

}  // namespace listelo
