// The advertisement reference that every portal receives, and the week number inside it.
#pragma once

#include <string>
#include <string_view>

#include "platform/host.h"

namespace listelo {

// The week of the year of `when`, 1..53. Weeks begin on Sunday and week 1 is the week
// that holds at least four days of January. The day is counted from 1 January to the
// moment rounded to the nearest whole day, an exact half to the even day: from 12:00 on
// (12:00 itself on an odd day count) a date already counts as the following day.
// `when.day_of_week` is not used; the weekday comes from the date.
int WeekNumber(const DateTime& when);

// The first two characters of `lead` + the first and last character of `ref_site`
// (+ the first and last character of `ref_expo` when it is not empty and differs from
// `ref_site`) + the two-digit week number of `now`. `now` is the clock's local time
// (run.host().clock.Now()). Exporters pass the category or the make as `lead`, and an
// empty lead for vehicles of type 1.
std::string BuildAdReference(std::string_view lead, std::string_view ref_site,
                             std::string_view ref_expo, const DateTime& now);

}  // namespace listelo
