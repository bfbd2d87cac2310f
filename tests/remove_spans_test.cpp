#include <gtest/gtest.h>

#include <random>
#include <string>

#include "transforms/markup.h"

namespace listelo {
namespace {

// The removal done the plain way: search both markers from the beginning after every
// replacement. An end marker ahead of the start marker is looked for again from the start
// marker on, the choice RemoveSpans documents. Gives up after `max_rounds` replacements.
bool PlainRemoveSpans(std::string text, const std::string& start, const std::string& end,
                      const std::string& replacement, int max_rounds, std::string& result) {
  for (int round = 0; round <= max_rounds; ++round) {
    const size_t s = start.empty() ? std::string::npos : text.find(start);
    size_t e = end.empty() ? std::string::npos : text.find(end);
    if (e != std::string::npos && s != std::string::npos && e < s) e = text.find(end, s);
    if (s == std::string::npos || e == std::string::npos) {
      result = text;
      return true;
    }
    text = text.substr(0, s) + replacement + text.substr(e + end.size());
  }
  return false;
}

TEST(RemoveSpansTest, Cases) {
  struct Case {
    const char* text;
    const char* start;
    const char* end;
    const char* replacement;
    const char* result;
  };
  const Case cases[] = {
      {"<a><RefSite>12</RefSite><b/></a>", "<RefSite>", "</RefSite>", "", "<a><b/></a>"},
      {"<v><RefSite>1</RefSite></v><v><RefSite>2</RefSite></v>", "<RefSite>", "</RefSite>", "",
       "<v></v><v></v>"},
      {"<v><RefSite/></v>", "<RefSite>", "</RefSite>", "", "<v><RefSite/></v>"},
      {"no markers", "<RefSite>", "</RefSite>", "", "no markers"},
      {"<RefSite>open only", "<RefSite>", "</RefSite>", "", "<RefSite>open only"},
      {"</RefSite>close only", "<RefSite>", "</RefSite>", "", "</RefSite>close only"},
      {"x<a>1</a>y", "<a>", "</a>", "<b/>", "x<b/>y"},
      {"<a>1</a>", "", "</a>", "", "<a>1</a>"},
      {"<a>1</a>", "<a>", "", "", "<a>1</a>"},
      // Nested: the first end marker closes the outer start marker.
      {"<a>1<a>2</a>3</a>4", "<a>", "</a>", "", "3</a>4"},
      // A removal joins "<" and "a>" into a new start marker, then its span goes too.
      {"<<a>x</a>a>y</a>z", "<a>", "</a>", "", "z"},
      {"</<a>x</a>a>y", "<a>", "</a>", "", "</a>y"},
      // An end marker ahead of the first start marker closes nothing.
      {"</a>x<a>y</a>z", "<a>", "</a>", "", "</a>xz"},
      {"</a>x<a>y", "<a>", "</a>", "", "</a>x<a>y"},
      // End marker overlapping the start marker's text.
      {"x<ab>y", "<ab>", "b>", "", "xy"},
      // Markers spanning several elements, as the exporters use them.
      {"<DataVOS EOF=\"1\" RecordName=\"DataVO\"><DataVO/></DataVOS>", "<DataVOS EOF=\"",
       "RecordName=\"DataVO\">", "", "<DataVO/></DataVOS>"},
      // A replacement that rebuilds the span out of itself: stopped, not endless.
      {"x<a>y</a>z", "<a>", "</a>", "<a></a>", "x<a></a>z"},
      {"x<a>y</a>z", "<a>", "</a>", "<a>-</a>", "x<a>-</a>z"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RemoveSpans(c.text, c.start, c.end, c.replacement), c.result)
        << c.text << " | " << c.start << " | " << c.end << " | " << c.replacement;
  }
  // A replacement that grows by feeding on itself stops after 1,000 such removals (the
  // first removal takes text of the original and does not count).
  EXPECT_EQ(RemoveSpans("x<a>y</a>z", "<a>", "</a>", "<a></a>-"),
            "x<a></a>" + std::string(1001, '-') + "z");
}

// Random texts over a few characters, so that markers overlap, nest, come in the wrong
// order and form across the junctions of removals.
TEST(RemoveSpansTest, SameResultAsThePlainRemovalOnRandomTexts) {
  std::mt19937 random(20240611);
  const std::string alphabet = "<a/>b";
  auto random_text = [&](size_t max_length, size_t min_length) {
    std::uniform_int_distribution<size_t> length(min_length, max_length);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::string text(length(random), ' ');
    for (char& c : text) c = alphabet[pick(random)];
    return text;
  };
  int compared = 0;
  for (int i = 0; i < 200000; ++i) {
    const std::string text = random_text(i % 4 == 0 ? 60 : 16, 0);
    const std::string start = random_text(3, 1);
    const std::string end = random_text(3, 1);
    // Mostly the replacements that shorten every removal, sometimes any replacement.
    const std::string replacement = i % 3 == 0 ? random_text(4, 0) : random_text(end.size() - 1, 0);
    const std::string fast = RemoveSpans(text, start, end, replacement);
    std::string plain;
    if (!PlainRemoveSpans(text, start, end, replacement, 200, plain)) continue;
    ++compared;
    ASSERT_EQ(fast, plain) << "text '" << text << "' start '" << start << "' end '" << end
                           << "' replacement '" << replacement << "'";
  }
  EXPECT_GT(compared, 150000);
}

TEST(RemoveSpansTest, SameResultOnLongMarkup) {
  std::mt19937 random(7);
  const char* pieces[] = {"<RefSite>", "</RefSite>", "<RefSite/>", "<Ref", "Site>", "</Ref",
                          "x",         "<v>",        "</v>",       "<",    "/"};
  std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
  for (int i = 0; i < 2000; ++i) {
    std::string text;
    for (int k = 0; k < 300; ++k) text += pieces[pick(random)];
    std::string plain;
    ASSERT_TRUE(PlainRemoveSpans(text, "<RefSite>", "</RefSite>", "", 100000, plain));
    ASSERT_EQ(RemoveSpans(text, "<RefSite>", "</RefSite>", ""), plain) << text;
  }
}

}  // namespace
}  // namespace listelo
