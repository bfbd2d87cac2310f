#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/host.h"
#include "platform/regional.h"
#include "transforms/contact.h"
#include "transforms/fields.h"
#include "transforms/reference.h"
#include "transforms/values.h"

namespace listelo {
namespace {

DateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
            int millisecond = 0) {
  DateTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  t.millisecond = millisecond;
  return t;
}

TEST(WeekNumberTest, WeeksBeginOnSundayAndWeekOneHoldsFourDaysOfJanuary) {
  struct Case {
    DateTime when;
    int week;
  };
  const Case cases[] = {
      {At(2026, 12, 8), 49},
      {At(2020, 12, 31), 53},  // year that began on a Wednesday
      {At(2021, 1, 1), 53},
      {At(2008, 12, 28), 53},
      {At(2008, 12, 31, 23, 59), 53},
      {At(2009, 1, 1), 53},
      {At(2009, 1, 3), 53},
      {At(2009, 1, 4), 1},
      {At(2024, 1, 1), 1},
      {At(2026, 2, 15), 7},
      {At(2026, 2, 14, 23, 0), 7},  // a Saturday evening already counts as Sunday
      {At(2026, 2, 14, 11, 59), 6},
      // Saturday 3 January 2026 is day 2 of the year: a half rounds down to the even 2.
      {At(2026, 1, 3, 12, 0), 53},
      {At(2026, 1, 3, 12, 0, 0, 1), 1},
      {At(2026, 1, 3, 13, 0), 1},
      // Saturday 10 January 2026 is day 9: a half rounds up to the even 10, a Sunday.
      {At(2026, 1, 10, 11, 59, 59, 999), 1},
      {At(2026, 1, 10, 12, 0), 2},
      // Leap year that began on a Tuesday, followed by a year beginning on a Thursday.
      {At(2036, 12, 28), 53},
      {At(2037, 1, 3), 53},
      {At(2037, 1, 4), 1},
      // A week 53 that is week 1 of the next year.
      {At(2019, 12, 29), 1},  // 2020 begins on a Wednesday
      {At(2019, 12, 31, 23), 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WeekNumber(c.when), c.week)
        << c.when.year << "-" << c.when.month << "-" << c.when.day << " " << c.when.hour << ":"
        << c.when.minute << ":" << c.when.second << "." << c.when.millisecond;
  }
}

TEST(WeekNumberTest, EveryDayAroundTheTurnOfTheYearEndsWithinRange) {
  for (int year = 1901; year <= 2100; ++year) {
    for (DateTime when : {At(year - 1, 12, 28), At(year - 1, 12, 29), At(year - 1, 12, 30),
                          At(year - 1, 12, 31), At(year, 1, 1), At(year, 1, 2), At(year, 1, 3)}) {
      for (int hour : {0, 12, 23}) {
        when.hour = hour;
        const int week = WeekNumber(when);
        EXPECT_TRUE(week >= 1 && week <= 53) << year << " " << when.month << "/" << when.day;
        if (when.month == 1 && when.day == 1 && hour == 0 && week != 1) {
          // 1 January outside week 1 shares its week with 31 December.
          EXPECT_EQ(week, WeekNumber(At(year - 1, 12, 31))) << year;
        }
      }
    }
  }
}

TEST(BuildAdReferenceTest, LeadSiteExpoAndWeek) {
  const DateTime week7 = At(2026, 2, 15, 9, 30);
  const DateTime week49 = At(2026, 12, 8);
  struct Case {
    const char* lead;
    const char* site;
    const char* expo;
    DateTime now;
    const char* reference;
  };
  const Case cases[] = {
      {"Berline", "AGENCE", "AGENCE", week7, "BeAE07"},
      {"Berline", "AGENCE", "EXPO2", week7, "BeAEE207"},
      {"Berline", "AGENCE", "", week7, "BeAE07"},
      {"Berline", "AGENCE", "agence", week7, "BeAEae07"},  // exact comparison
      {"", "AGENCE", "", week7, "AE07"},                   // vehicles of type 1
      {"B", "AGENCE", "", week49, "BAE49"},
      {"Berline", "", "", week7, "Be07"},
      {"Berline", "", "EXPO2", week7, "BeE207"},
      {"Berline", "A", "X", week7, "BeAAXX07"},
      {"Écurie", "Sète", "", week7, "ÉcSe07"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildAdReference(c.lead, c.site, c.expo, c.now), c.reference)
        << c.lead << "|" << c.site << "|" << c.expo;
  }
}

TEST(LeadingNumberTest, NumberBeforeTheFirstBlankOrLowerCaseP) {
  struct Case {
    const char* text;
    int number;
  };
  const int kDefault = -7;
  const Case cases[] = {
      {"5 portes", 5},
      {"3p", 3},
      {"120", 120},
      {"", kDefault},
      {"5P", kDefault},
      {"ch 90", kDefault},
      {" 5", kDefault},
      {"p5", kDefault},
      {"-3 portes", -3},
      {"+4p", 4},
      {"12x p", kDefault},
      {"-", kDefault},
      {"5\tportes", kDefault},  // a tab is not a blank
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"2147483648", kDefault},
      {"99999999999999999999", kDefault},
      {"007 ans", 7},
  };
  for (const Case& c : cases) EXPECT_EQ(LeadingNumber(c.text, kDefault), c.number) << c.text;
}

TEST(StripMakeFromModelTest, RemovesMakeFollowedByBlank) {
  struct Case {
    const char* model;
    const char* make;
    const char* stripped;
  };
  const Case cases[] = {
      {"Peugeot 307 SW HDi", "PEUGEOT", "307 SW HDi"},
      {"Citroen C3", "Citroén", "C3"},
      {"CITROÉN C3", "citroén", "C3"},
      {"Peugeot307", "Peugeot", "Peugeot307"},  // no blank after the make
      {"308 Peugeot", "Peugeot", "308 Peugeot"},
      {"Peugeot Peugeot 308", "Peugeot", "308"},
      {"  Clio\t\r\n", "Renault", "Clio"},
      {"Mégane Renault Sport", "Renault", "Mégane Sport"},
      // The second pass sees what the first one joined.
      {"PePeugeot ugeot 308", "Peugeot", "308"},
      // Without a make nothing is removed (not every blank).
      {" Clio 1.5 dCi ", "", "Clio 1.5 dCi"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StripMakeFromModel(c.model, c.make), c.stripped) << c.model << "|" << c.make;
  }
}

TEST(FieldsTest, CsvTabAndYesNoFields) {
  std::string csv = "A;";
  AddCsvField(csv, "x\"y;z");
  AddCsvField(csv, "");
  EXPECT_EQ(csv, "A;x\"y;z;;");

  std::string tab = "A\t";
  AddTabField(tab, "a\tb\t");
  AddTabField(tab, "");
  EXPECT_EQ(tab, "A\ta b \t\t");

  struct Case {
    const char* value;
    const char* word;
  };
  const Case cases[] = {{"True", "oui"},  {"TRUE", "oui"}, {"tRuE", "oui"}, {"False", "non"},
                        {"True ", "non"}, {"1", "non"},    {"", "non"},     {"Vrai", "non"}};
  for (const Case& c : cases) {
    std::string line = "x\t";
    AddTabYesNo(line, c.value);
    EXPECT_EQ(line, std::string("x\t") + c.word + "\t") << c.value;
  }
}

TEST(FieldsTest, PriceInCentsRoundedHalfAwayFromZero) {
  RegionalSettings comma;
  comma.decimal_separator = ',';
  RegionalSettings point;
  point.decimal_separator = '.';
  struct Case {
    const RegionalSettings& regional;
    const char* value;
    const char* cents;
  };
  const Case cases[] = {
      {comma, "125", "12500"},
      {comma, "0,5", "50"},
      {comma, "", "0"},
      {comma, "abc", "0"},
      {comma, "12.5", "0"},  // not the decimal separator
      {point, "12.5", "1250"},
      {point, "12,5", "0"},
      {comma, "1,005", "101"},  // exact decimal: 100.5 rounds up
      {comma, "-1,005", "-101"},
      {comma, "1,00499", "100"},
      {comma, "0,005", "1"},
      {comma, "-0,004", "0"},
      {comma, "99,995", "10000"},
      {comma, " 7 ", "700"},
      {comma, "+3", "300"},
      {comma, "5,", "500"},
      {comma, ",5", "50"},
      {comma, ",", "0"},
      {comma, "1 234", "0"},  // no thousands grouping
      {comma, "1E3", "100000"},
      {comma, "1,5e-2", "2"},
      {comma, "2e", "0"},
      {comma, "0012500,00", "1250000"},
      {comma, "123456789012345678901234567890", "12345678901234567890123456789000"},
      {comma, "1e4933", "0"},  // beyond what the number reader holds
      {comma, "1e-999999999999", "0"},
      {comma, "- 5", "0"},
  };
  for (const Case& c : cases) {
    std::string line = "x\t";
    AddTabPrice(line, c.value, c.regional);
    EXPECT_EQ(line, std::string("x\t") + c.cents + "\t") << c.value;
  }
}

TEST(FieldsTest, DateReadAsTheShortDateFormat) {
  RegionalSettings french;  // "dd/mm/yyyy", "/"
  RegionalSettings us;
  us.short_date_format = "MM/dd/yyyy";
  RegionalSettings dotted;
  dotted.date_separator = '.';
  const DateTime today = At(2026, 5, 20, 10, 0);
  struct Case {
    const RegionalSettings& regional;
    const char* value;
    const char* written;
  };
  const Case cases[] = {
      {french, "", ""},
      {french, "25/12/2024", "20241225"},
      {french, "1/2/2024", "20240201"},
      {french, " 1 / 2 / 2024 ", "20240201"},
      {french, "25/12/2024/", "20241225"},
      {french, "29/02/2024", "20240229"},
      {french, "29/02/2023", "18991230"},
      {french, "31/04/2024", "18991230"},
      {french, "00/01/2024", "18991230"},
      {french, "25/13/2024", "18991230"},
      {french, "25/12/2024 10:00", "18991230"},  // a time part does not read
      {french, "25/12/2024 10:00:00", "18991230"},
      {french, "25/12/20245", "18991230"},
      {french, "2024-12-25", "18991230"},
      {french, "25.12.2024", "18991230"},
      {french, "abc", "18991230"},
      {french, " ", "18991230"},
      {french, "25/12", "20261225"},     // the current year
      {french, "25/12/24", "20241225"},  // two-digit years: 1976..2075
      {french, "25/12/76", "19761225"},
      {french, "25/12/75", "20751225"},
      {french, "1/1/0001", "00010101"},
      {french, "1/1/0", "20000101"},
      {french, "1/1/0000", "18991230"},
      {french, "01/01/0002024", "20240101"},
      {us, "12/25/2024", "20241225"},
      {us, "25/12/2024", "18991230"},
      {dotted, "25.12.2024", "20241225"},
      {dotted, "25/12/2024", "18991230"},
  };
  for (const Case& c : cases) {
    std::string line = "x\t";
    AddTabDate(line, c.value, c.regional, today);
    EXPECT_EQ(line, std::string("x\t") + c.written + "\t") << "'" << c.value << "'";
  }
}

TEST(FieldsTest, MonthsAddedWithTheDayKeptAtMost28) {
  struct Case {
    CalendarDate from;
    int months;
    CalendarDate to;
  };
  const Case cases[] = {
      {{2011, 11, 15}, 24, {2013, 11, 15}},
      {{2011, 11, 15}, 3, {2012, 2, 15}},
      {{2011, 1, 31}, 1, {2011, 2, 28}},
      {{2011, 1, 31}, 12, {2012, 1, 28}},  // above 28 even where the month has 31 days
      {{2012, 1, 29}, 1, {2012, 2, 28}},   // a leap year too
      {{2011, 3, 30}, 0, {2011, 3, 28}},
      {{2011, 12, 28}, 1, {2012, 1, 28}},
      {{2011, 12, 1}, 12, {2012, 12, 1}},
      {{2011, 12, 1}, 13, {2013, 1, 1}},
      {{2011, 6, 10}, 120, {2021, 6, 10}},
      // A negative count (a warranty read as "-3 mois") counts back across the year.
      {{2011, 2, 10}, -3, {2010, 11, 10}},
      {{2011, 1, 10}, -12, {2010, 1, 10}},
      {{2011, 1, 10}, -13, {2009, 12, 10}},
  };
  for (const Case& c : cases) {
    const CalendarDate to = AddMonths(c.from, c.months);
    EXPECT_EQ(to, c.to) << c.from.day << "/" << c.from.month << "/" << c.from.year << " + "
                        << c.months << " gives " << to.day << "/" << to.month << "/" << to.year;
  }
}

TEST(FieldsTest, QuotedFieldsKeepTheirQuotesOut) {
  struct Case {
    const char* value;
    const char* dropped;
    const char* blanked;
  };
  const Case cases[] = {
      {"", "\"\";", "\"\";"},
      {"Clio \"RS\"", "\"Clio RS\";", "\"Clio  RS \";"},
      {"a;b", "\"a.b\";", "\"a;b\";"},
      {"l1\r\nl2", "\"l1\r\nl2\";", "\"l1\r\nl2\";"},
  };
  for (const Case& c : cases) {
    std::string dropped = "x;";
    AddQuotedField(dropped, c.value, QuoteRule::kDropQuotes);
    EXPECT_EQ(dropped, std::string("x;") + c.dropped) << c.value;
    std::string blanked;
    AddQuotedField(blanked, c.value, QuoteRule::kQuotesToBlanks);
    EXPECT_EQ(blanked, c.blanked) << c.value;
  }
}

TEST(FieldsTest, QuotedTextHasItsHeaderOnceAndNoTrailingSeparator) {
  QuotedCsvText csv(QuoteRule::kDropQuotes);
  EXPECT_EQ(csv.Text(), "\r\n");  // no line: a lone line end
  csv.Add("1", "Code");
  csv.Add("a;b", "Nom");
  EXPECT_EQ(csv.EndLine(), "\"1\";\"a.b\"");
  csv.Add("2", "ignored");
  csv.Add("", "ignored");
  EXPECT_EQ(csv.EndLine(), "\"2\";\"\"");
  EXPECT_EQ(csv.Text(), "\"Code\";\"Nom\"\r\n\"1\";\"a.b\"\r\n\"2\";\"\"\r\n");
  EXPECT_EQ(csv.Lines(), "\"1\";\"a.b\"\r\n\"2\";\"\"\r\n");
}

TEST(ValuesTest, VwIsWrittenInFull) {
  EXPECT_EQ(FullMakeName("VW"), "Volkswagen");
  EXPECT_EQ(FullMakeName("vw"), "vw");
  EXPECT_EQ(FullMakeName("VW "), "VW ");
  EXPECT_EQ(FullMakeName("Peugeot"), "Peugeot");
  EXPECT_EQ(FullMakeName(""), "");
}

TEST(ContactTest, TheStandardContactNamesNobody) {
  struct Case {
    const char* contact;
    const char* shown;
    const char* phrase;
  };
  const Case cases[] = {
      {"STANDARD", "", "Tél : "},
      {"Standard", "", "Tél : "},
      {"standard ", "standard ", "Contactez standard  au "},
      {"Paul", "Paul", "Contactez Paul au "},
      {"", "", "Contactez  au "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ContactUnlessStandard(c.contact), c.shown) << c.contact;
    EXPECT_EQ(ContactPhrase(c.contact), c.phrase) << c.contact;
  }
  EXPECT_EQ(ContactPhrase("Paul", "contactez"), "contactez Paul au ");
}

}  // namespace
}  // namespace listelo
