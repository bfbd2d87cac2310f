#include "transforms/reference.h"

#include "transforms/calendar.h"

namespace listelo {
namespace {

constexpr long long kMillisecondsPerDay = 24LL * 60 * 60 * 1000;

// Whole days from 1 January of `when`'s year at 00:00 to `when`, rounded to the
// nearest day with an exact half going to the even count.
long long RoundedDaysIntoYear(const DateTime& when) {
  const long long days =
      DaysFromCivil(when.year, when.month, when.day) - DaysFromCivil(when.year, 1, 1);
  const long long ms_into_day =
      ((when.hour * 60LL + when.minute) * 60 + when.second) * 1000 + when.millisecond;
  const long long twice = 2 * ms_into_day;
  if (twice > kMillisecondsPerDay) return days + 1;
  if (twice == kMillisecondsPerDay) return days % 2 == 0 ? days : days + 1;
  return days;
}

bool StartsSundayToWednesday(int year) { return DayOfWeek(year, 1, 1) <= 3; }

}  // namespace

int WeekNumber(const DateTime& when) {
  const int first_weekday = DayOfWeek(when.year, 1, 1);
  const long long day = RoundedDaysIntoYear(when);
  long long week = (day + first_weekday) / 7;
  if (first_weekday <= 3) ++week;
  if (first_weekday == 3) return static_cast<int>(week);
  if (week == 0) {
    // The first days of a year that starts late in the week belong to the last week of
    // the year before. 31 December at 00:00 never gives week 0, so this ends at once.
    DateTime last_day;
    last_day.year = when.year - 1;
    last_day.month = 12;
    last_day.day = 31;
    return WeekNumber(last_day);
  }
  if (week == 53) return StartsSundayToWednesday(when.year + 1) ? 1 : 53;
  return static_cast<int>(week);
}

std::string BuildAdReference(std::string_view lead, std::string_view ref_site,
                             std::string_view ref_expo, const DateTime& now) {
  const int week_number = WeekNumber(now);
  std::string week;
  if (week_number < 10) week += '0';
  week += std::to_string(week_number);
  if (ref_expo == ref_site) ref_expo = {};
  if (!ref_expo.empty()) week = std::string{ref_expo.front(), ref_expo.back()} + week;

  std::string reference(lead.substr(0, 2));
  if (!ref_site.empty()) {
    reference += ref_site.front();
    reference += ref_site.back();
  }
  return reference + week;
}

}  // namespace listelo
