// Proleptic Gregorian day arithmetic for the transforms that read or number dates.
#pragma once

namespace listelo {

constexpr bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1 January 1970 to the given date (negative before it).
constexpr long long DaysFromCivil(int year, int month, int day) {
  const long long y = month <= 2 ? year - 1 : year;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long year_of_era = y - era * 400;
  const long long day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

// 0 = Sunday .. 6 = Saturday.
constexpr int DayOfWeek(int year, int month, int day) {
  const long long days = DaysFromCivil(year, month, day);  // 1 January 1970 was a Thursday
  return static_cast<int>(((days + 4) % 7 + 7) % 7);
}

}  // namespace listelo
