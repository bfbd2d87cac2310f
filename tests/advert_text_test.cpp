#include "transforms/advert_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace listelo {
namespace {

TEST(AdjustWarrantyCodesTest, WorksTheWarrantyIntoTheOptionList) {
  struct Case {
    const char* options;
    const char* warranty;
    const char* adjusted;
  };
  const Case cases[] = {
      {"", "", ""},
      {";VNF;", "", ";VNF;"},
      {"", "12 mois", ";Gar;"},
      {";VNF;", "12 mois", ";VNF;Gar;"},              // shares the closing ";"
      {"VNF", "12 mois", "VNF;Gar;"},                 // a list without its closing ";"
      {";Gar;VNF;", "12 mois", ";Gar;VNF;"},          // already there
      {";gar;", "12 mois", ";gar;Gar;"},              // the test for it is exact
      {";VNF;GarCons;", "12 mois", ";VNF;GarCons;"},  // added, then taken out again
      {";GarCons;", "", ";GarCons;"},
      {";Gar;GarCons;", "", ";GarCons;"},      // the dealer's own code goes too
      {";Gar;GarCons;gar;", "", ";GarCons;"},  // then in any letter case
      {";gar;GarCons;", "", ";gar;GarCons;"},  // but found only as written
      {";GarCons;", "24", ";GarCons;"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AdjustWarrantyCodes(c.options, c.warranty), c.adjusted)
        << '"' << c.options << "\" with \"" << c.warranty << '"';
  }
}

DateTime Today(int year, int month, int day) {
  DateTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = 14;
  return t;
}

TEST(WarrantyEndDateTest, MovesForwardByWholeMonthsToADayThatEveryMonthHas) {
  struct Case {
    int months;
    DateTime today;
    std::optional<CalendarDate> end;
  };
  const Case cases[] = {
      {24, Today(2011, 11, 15), CalendarDate{2013, 11, 15}},
      {3, Today(2011, 11, 15), CalendarDate{2012, 2, 15}},
      {12, Today(2011, 1, 31), CalendarDate{2012, 1, 28}},
      {1, Today(2011, 1, 29), CalendarDate{2011, 2, 28}},
      {1, Today(2011, 12, 28), CalendarDate{2012, 1, 28}},
      {11, Today(2011, 1, 1), CalendarDate{2011, 12, 1}},
      {12, Today(2011, 12, 31), CalendarDate{2012, 12, 28}},
      {95976, Today(2001, 12, 5), CalendarDate{9999, 12, 5}},  // the last year a date can have
      {95977, Today(2001, 12, 5), std::nullopt},
      {INT_MAX, Today(2011, 11, 15), std::nullopt},
      {0, Today(2011, 11, 15), std::nullopt},
      {-3, Today(2011, 11, 15), std::nullopt},
      {INT_MIN, Today(2011, 11, 15), std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WarrantyEndDate(c.months, c.today), c.end) << c.months << " months";
  }
}

}  // namespace
}  // namespace listelo
