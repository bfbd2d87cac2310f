#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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

// Several pairs cut in one scan give what cutting them in turn gives: on texts made of
// their markers, pieces of them and elements nested in one another, and on well-formed
// records, where the scan is what runs.
TEST(RemoveSpansInTurnTest, SameResultAsCuttingEachPairInTurn) {
  const std::vector<SpanMarkers> pairs = {
      {"<a>", "</a>"}, {"<b>", "</b>"}, {"<ab ", "</ab>"}, {"<c>", "</c>"}};
  const auto in_turn = [&](std::string text) {
    for (const SpanMarkers& pair : pairs) text = RemoveSpans(text, pair.start, pair.end, "");
    return text;
  };
  std::mt19937 random(15);
  const char* pieces[] = {"<a>", "</a>", "<b>", "</b>", "<ab ", "</ab>", "<c>", "</c>",
                          "<",   "a>",   "</",  "b",    "x",    "<d>",   "</d>"};
  std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(0, 24);
  std::string out;
  for (int i = 0; i < 100000; ++i) {
    std::string text;
    for (int k = length(random); k > 0; --k) text += pieces[pick(random)];
    RemoveSpansInTurn(text, pairs, out);
    ASSERT_EQ(out, in_turn(text)) << text;
  }
  std::string records;
  for (int i = 0; i < 2000; ++i) {
    records += "<r><a>" + std::to_string(i) + "</a><d>x</d><b></b><ab n=\"1\">y</ab>";
    records += i % 7 == 0 ? "<c>z" : "<c>z</c>";
    records += "</r>";
  }
  RemoveSpansInTurn(records, pairs, out);
  EXPECT_EQ(out, in_turn(records));
}

// One vehicle record as the cursor writes it, optionally without its last photo element.
std::string Record(int id, bool with_last_photo) {
  const std::string n = std::to_string(id);
  std::string record = "<DataVO><idVO>" + n + "</idVO><NOMPHOTO1>a" + n + "</NOMPHOTO1>";
  if (with_last_photo) record += "<NOMPHOTO6>f" + n + "</NOMPHOTO6>";
  return record + "<PRIX>" + n + "</PRIX></DataVO>";
}

TEST(RemoveSpansInRecordsTest, ARecordWithoutTheEndElementKeepsItsElements) {
  const std::string head = "<document><DataVOS EOF=\"False\" RecordName=\"DataVO\">";
  const std::string tail = "</DataVOS></document>";
  const std::string text = head + Record(1, true) + Record(2, false) + Record(3, true) + tail;
  EXPECT_EQ(RemoveSpansInRecords(text, "<NOMPHOTO1>", "</NOMPHOTO6>"),
            head + "<DataVO><idVO>1</idVO><PRIX>1</PRIX></DataVO>" + Record(2, false) +
                "<DataVO><idVO>3</idVO><PRIX>3</PRIX></DataVO>" + tail);
  // The cut over the whole markup runs from record 2 into record 3 and merges them.
  EXPECT_EQ(RemoveSpans(text, "<NOMPHOTO1>", "</NOMPHOTO6>", ""),
            head + "<DataVO><idVO>1</idVO><PRIX>1</PRIX></DataVO>" +
                "<DataVO><idVO>2</idVO><PRIX>3</PRIX></DataVO>" + tail);
}

TEST(RemoveSpansInRecordsTest, Cases) {
  struct Case {
    const char* text;
    const char* start;
    const char* end;
    const char* record_end;
    const char* result;
  };
  const Case cases[] = {
      // Every record's run goes, however many elements it spans.
      {"<r><a>1</a><b>2</b><c/></r><r><a>3</a><b>4</b></r>", "<a>", "</b>", "</r>",
       "<r><c/></r><r></r>"},
      // Several runs in one record.
      {"<r><a>1</b><a>2</b>x</r>", "<a>", "</b>", "</r>", "<r>x</r>"},
      // A record without its end element is left as it is.
      {"<r><a>1</b></r><r><a>2</r>", "<a>", "</b>", "</r>", "<r></r><r><a>2</r>"},
      // Text after the last record end is cut up to the end of the text.
      {"<r><a>1</b></r><a>2</b>", "<a>", "</b>", "</r>", "<r></r>"},
      // An end element of a later record does not close an earlier start.
      {"<r><a>1</r><r>2</b></r>", "<a>", "</b>", "</r>", "<r><a>1</r><r>2</b></r>"},
      // The renamed record end tag of a later rewrite.
      {"<annonces><a>1</b></annonces><annonces><a>2</annonces>", "<a>", "</b>", "</annonces>",
       "<annonces></annonces><annonces><a>2</annonces>"},
      // No record end at all: the whole text is one stretch.
      {"<a>1</b>x<a>2</b>", "<a>", "</b>", "</r>", "x"},
      {"<a>1</b>x<a>2</b>", "<a>", "</b>", "", "x"},
      {"<r><a>1</b></r>", "", "</b>", "</r>", "<r><a>1</b></r>"},
      {"<r><a>1</b></r>", "<a>", "", "</r>", "<r><a>1</b></r>"},
      {"", "<a>", "</b>", "</r>", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RemoveSpansInRecords(c.text, c.start, c.end, c.record_end), c.result)
        << c.text << " | " << c.start << " | " << c.end << " | " << c.record_end;
  }
}

// Records that each hold both markers, in any number and with text around them, give the
// bytes of the cut over the whole markup.
TEST(RemoveSpansInRecordsTest, SameResultAsRemoveSpansWhenEveryRecordHoldsBoth) {
  std::mt19937 random(12);
  const char* fillers[] = {"x", "<b>y</b>", "<NOMPHOTO3>z</NOMPHOTO3>", "<NOMPHOTO1/>", ""};
  std::uniform_int_distribution<size_t> pick(0, std::size(fillers) - 1);
  std::uniform_int_distribution<int> runs(1, 3);
  for (int i = 0; i < 500; ++i) {
    std::string text = "<document><DataVOS>";
    for (int record = 0; record < 1 + i % 7; ++record) {
      text += "<DataVO>";
      for (int run = runs(random); run > 0; --run) {
        text += fillers[pick(random)];
        text += "<NOMPHOTO1>";
        text += fillers[pick(random)];
        text += "</NOMPHOTO6>";
      }
      text += fillers[pick(random)];
      text += "</DataVO>";
    }
    text += "</DataVOS></document>";
    ASSERT_EQ(RemoveSpansInRecords(text, "<NOMPHOTO1>", "</NOMPHOTO6>"),
              RemoveSpans(text, "<NOMPHOTO1>", "</NOMPHOTO6>", ""))
        << text;
  }
}

}  // namespace
}  // namespace listelo
