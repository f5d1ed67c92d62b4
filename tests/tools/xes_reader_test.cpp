// The XES reader of tavrel-prep in this process: traces to sequences in
// time order, the attributes that count, xs:dateTime values, and the
// messages for malformed and hostile logs.
#include "prep/xes_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrel::tools {
namespace {

// The sequences of `set` as labels, one string per sequence.
std::vector<std::string> sequencesOf(const SequenceSet& set) {
  std::vector<std::string> out;
  for (std::size_t s = 0; s < sequenceCount(set); ++s) {
    std::string text;
    for (std::size_t k = set.starts[s]; k < set.starts[s + 1]; ++k) {
      text += (text.empty() ? "" : " ") + set.labels[static_cast<std::size_t>(set.keys[k])];
    }
    out.push_back(text);
  }
  return out;
}

// Reads `text` as the XES file "log.xes"; the error text, empty on success.
std::string readXes(const std::string& text, SequenceSet* set) {
  InputLines input(text, "log.xes");
  Result read = readXesLog(&input, "log.xes", set);
  return std::string(read.message());
}

TEST(XesReaderTest, TracesBecomeSequencesInTimeOrder) {
  SequenceSet set;
  ASSERT_EQ(readXes(R"(<?xml version="1.0"?>
<log xes.version="1.0">
 <global scope="event"><string key="concept:name" value="g"/></global>
 <string key="concept:name" value="the log"/>
 <trace><string key="concept:name" value="c1"/>
  <event><string key="concept:name" value="b"/><date key="time:timestamp" value="2024-01-01T10:00:00+01:00"/></event>
  <event><string key="concept:name" value="a"/><date key="time:timestamp" value="2024-01-01T09:30:00Z"/>
   <list key="l"><values><string key="concept:name" value="nested"/></values></list></event>
  <event><date key="time:timestamp" value="2024-01-01T09:00:00Z"/><string key="concept:name" value="c"/></event>
 </trace>
 <trace><string key="concept:name" value="c&amp;2"/>
  <event><string key="concept:name" value="y"/></event><event><string key="concept:name" value="x"/></event>
 </trace>
 <trace><string key="concept:name" value="empty"/></trace>
</log>
)",
                    &set),
            "");
  // b at 09:00 UTC ties with c and stays before it; a at 09:30 is last.
  EXPECT_EQ(sequencesOf(set), (std::vector<std::string>{"b c a", "y x"}));
  EXPECT_EQ(set.caseNames, (std::vector<std::string>{"c1", "c&2"}));
  EXPECT_EQ(set.emptyDropped, 1);
}

TEST(XesReaderTest, DateTimesReadIntoMicroseconds) {
  long long micros = 0;
  ASSERT_TRUE(parseXesTime("1970-01-01T00:00:01.5", &micros));
  EXPECT_EQ(micros, 1'500'000);
  ASSERT_TRUE(parseXesTime("2000-03-01T00:00:00.0000019-01:30", &micros));
  EXPECT_EQ(micros, (951'868'800LL + 5400) * 1'000'000 + 1);
  ASSERT_TRUE(parseXesTime("1969-12-31T23:59:59Z", &micros));
  EXPECT_EQ(micros, -1'000'000);
  for (const char* bad :
       {"2024-13-01T00:00:00", "2024-01-01", "2024-01-01T00:00", "2024-01-01T00:00:00.",
        "2024-01-01T00:00:00+1:00", "2024-01-01T00:00:00Zx", "24-01-01T00:00:00"}) {
    EXPECT_FALSE(parseXesTime(bad, &micros)) << bad;
  }
}

TEST(XesReaderTest, MalformedAndHostileLogsNameTheLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<log><trace>\n<event></trace>\n",
       "log.xes:2: Opening and ending tag mismatch: event line 2 and trace"},
      {"<log>\n<trace>\n<event><string key=\"x\" value=\"a\"/></event>\n</trace></log>\n",
       "log.xes:3: an event without a concept:name (or with an empty one)"},
      {"<log><trace>\n<event><string key=\"concept:name\" value=\"a\"/>\n<date "
       "key=\"time:timestamp\" "
       "value=\"soon\"/></event></trace></log>\n",
       "log.xes:3: the time:timestamp 'soon' is not an xs:dateTime"},
      {"<log>\n<trace><event><string key=\"concept:name\" value=\"a\"/></event>\n<event><string "
       "key=\"concept:name\" value=\"b\"/><date key=\"time:timestamp\" "
       "value=\"2024-01-01T00:00:00\"/>"
       "</event></trace></log>\n",
       "log.xes:2: a trace with events with and without a time:timestamp"},
      {"<html/>\n", "log.xes:1: the root element is <html>, not the <log> of an XES file"},
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE log [<!ENTITY a \"aaaa\">]>\n<log/>\n",
       "log.xes:2: a DOCTYPE, which an XES log has no use for: refused, its entities are not "
       "expanded"},
  };
  for (const auto& [text, message] : cases) {
    SequenceSet set;
    EXPECT_EQ(readXes(text, &set), message) << text;
  }
}

}  // namespace
}  // namespace tavrel::tools
