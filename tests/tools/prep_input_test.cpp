// The pieces of tavrel-prep in this process: CSV records, timestamp order,
// the three readers, repeats and numbering, and the item table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "common/item_table.h"
#include "common/output_sink.h"
#include "prep/csv_records.h"
#include "prep/database.h"
#include "prep/event_log.h"
#include "prep/pairs_reader.h"
#include "prep/spmf_reader.h"
#include "prep/text_reader.h"
#include "prep/timestamp_order.h"

namespace tavrel::tools {
namespace {

using Fields = std::vector<std::string>;

struct Record {
  Fields fields;
  long line;
};

// Every record of `text`; stops at the first error, which goes to `error`.
std::vector<Record> allRecords(const std::string& text, std::string* error, long* errorLine) {
  CsvCursor cursor{text};
  std::vector<Record> records;
  Fields fields;
  long line = 0;
  int status;
  while ((status = readCsvRecord(&cursor, &fields, &line)) > 0) {
    records.push_back({fields, line});
  }
  *error = cursor.failure.message();
  *errorLine = status < 0 ? line : 0;
  return records;
}

// The database as label lists, one per string.
std::vector<std::vector<std::string>> labelled(const Database& database) {
  std::vector<std::vector<std::string>> strings;
  for (size_t s = 0; s < stringCount(database); ++s) {
    strings.emplace_back();
    for (int item : databaseString(database, s)) {
      strings.back().push_back(database.labels[static_cast<size_t>(item)]);
    }
  }
  return strings;
}

// The database's strings of item numbers.
std::vector<std::vector<int>> numbers(const Database& database) {
  std::vector<std::vector<int>> strings;
  for (size_t s = 0; s < stringCount(database); ++s) {
    std::span<const int> items = databaseString(database, s);
    strings.emplace_back(items.begin(), items.end());
  }
  return strings;
}

TEST(CsvRecordsTest, QuotedFieldsHoldCommasQuotesAndLineEnds) {
  std::string error;
  long errorLine = 0;
  std::vector<Record> records =
      allRecords("a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",,\"\"\n\r\n  x ,y,\nlast", &error,
                 &errorLine);
  EXPECT_EQ(errorLine, 0) << error;
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0].fields, (Fields{"a", "b,c", "say \"hi\""}));
  EXPECT_EQ(records[1].fields, (Fields{"two\nlines", "", ""}));
  EXPECT_EQ(records[2].fields, (Fields{""}));  // the blank line
  EXPECT_EQ(records[3].fields, (Fields{"  x ", "y", ""}));
  EXPECT_EQ(records[4].fields, (Fields{"last"}));
  std::vector<long> lines;
  for (const Record& record : records) lines.push_back(record.line);
  EXPECT_EQ(lines, (std::vector<long>{1, 2, 4, 5, 6}));
}

TEST(CsvRecordsTest, MalformedRecordsNameTheLineOfTheFault) {
  struct Case {
    std::string text;
    long line;
    std::string error;
  };
  for (const Case& c : std::vector<Case>{
           {"a,b\n\"open\nstill open\n", 2, "a quoted field is not closed"},
           {"a,\"b\"c\n", 1, "text after the closing quote of a field"},
           {"x\n\"two\nlines\"x,y\n", 3, "text after the closing quote of a field"},
           {"a\nb\"c\n", 2,
            "a quote inside an unquoted field (quote the whole field and double the quote)"}}) {
    std::string error;
    long errorLine = 0;
    allRecords(c.text, &error, &errorLine);
    EXPECT_EQ(errorLine, c.line) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(TimestampOrderTest, DecimalNumbersCompareByValue) {
  for (const char* number : {"10", "-3", "+2", "1.50", "007", "0.0"}) {
    EXPECT_TRUE(isDecimalNumber(number)) << number;
  }
  for (const char* other : {"", "-", "1.", ".5", "1e3", "1,5", " 1", "2024-03-01", "12:00"}) {
    EXPECT_FALSE(isDecimalNumber(other)) << other;
  }
  struct Pair {
    const char* a;
    const char* b;
    int order;
  };
  for (const Pair& p : std::vector<Pair>{{"9", "10", -1},
                                         {"10.5", "9", 1},
                                         {"1.5", "1.50", 0},
                                         {"007", "7", 0},
                                         {"-0", "0.000", 0},
                                         {"-2", "-1", -1},
                                         {"-1.5", "1", -1},
                                         {"0.5", "0.51", -1},
                                         {"0.5", "0.49", 1},
                                         {"10.01", "9.999", 1},
                                         {"123456789012345678901", "123456789012345678900", 1}}) {
    EXPECT_EQ(compareDecimalNumbers(p.a, p.b), p.order) << p.a << " vs " << p.b;
    EXPECT_EQ(compareDecimalNumbers(p.b, p.a), -p.order) << p.b << " vs " << p.a;
  }
}

TEST(TimestampOrderTest, ShapesAndStrptimeFormats) {
  EXPECT_EQ(timestampShape("2024-03-05T10:07Z"), "9999-99-99T99:99Z");
  EXPECT_EQ(timestampShape("4/3/2024"), "9/9/9999");
  EXPECT_TRUE(startsWithYear("9999-99-99"));
  EXPECT_TRUE(startsWithYear("99999999T999999"));
  EXPECT_FALSE(startsWithYear("99/99/9999"));
  EXPECT_FALSE(startsWithYear("999"));
  long long seconds = 0;
  EXPECT_TRUE(parseTimestamp("1970-01-02 00:00", "%Y-%m-%d %H:%M", &seconds));
  EXPECT_EQ(seconds, 86400);
  EXPECT_TRUE(parseTimestamp("02/01/1970 01:00 +0100", "%d/%m/%Y %H:%M %z", &seconds));
  EXPECT_EQ(seconds, 86400);
  EXPECT_TRUE(parseTimestamp("Mar 1970", "%b %Y", &seconds));  // the first day of the month
  EXPECT_EQ(seconds, 59 * 86400);
  for (const char* other : {"1970-01-02 00:00:00", "1970-13-02 00:00", "", "1970-01-02"}) {
    EXPECT_FALSE(parseTimestamp(other, "%Y-%m-%d %H:%M", &seconds)) << other;
  }
}

TEST(EventLogTest, SortsEachCaseByTimeKeepingTiesInFileOrder) {
  EventLogFormat format{{"id", "step", "t"}};
  struct Case {
    std::string text;
    TimeOrder order;
    std::vector<std::vector<std::string>> strings;
  };
  for (const Case& c :
       std::vector<Case>{// numbers: 9 before 10, although "10" < "9" as text; b and c tie at 2.0
                         {"id,step,t\nx,b,10\nx,a,9\ny,z,1\nx,c,2.0\nx,d,2\n",
                          TimeOrder::kNumeric,
                          {{"c", "d", "a", "b"}, {"z"}}},
                         {"id,step,t\nx,b,2024-01-02T08:00\nx,a,2024-01-01T23:59\n",
                          TimeOrder::kText,
                          {{"a", "b"}}}}) {
    SequenceSet set;
    TimeOrder order = TimeOrder::kFileOrder;
    Result read = readEventLog(c.text, "log.csv", "", format, &set, &order);
    ASSERT_TRUE(read.ok()) << read.message();
    EXPECT_EQ(order, c.order) << c.text;
    Database database;
    buildDatabase(set, &database);
    EXPECT_EQ(labelled(database), c.strings) << c.text;
  }
  // Without a time column the file order is the time order.
  SequenceSet set;
  TimeOrder order = TimeOrder::kNumeric;
  ASSERT_TRUE(
      readEventLog("step,id\nb,x\na,x\n", "log.csv", "", {{"id", "step", ""}}, &set, &order).ok());
  EXPECT_EQ(order, TimeOrder::kFileOrder);
  Database database;
  buildDatabase(set, &database);
  EXPECT_EQ(labelled(database), (std::vector<std::vector<std::string>>{{"b", "a"}}));
}

TEST(EventLogTest, TextTimestampsMustShareAShapeOrBeReadWithAFormat) {
  struct Case {
    std::string times;  // of events a, b, c
    std::string format;
    std::string error;  // empty: sorted into c, a, b
  };
  for (const Case& c : std::vector<Case>{
           {"2024-03-05 10:00,2024-03-05 10:01,2024-03-04 23:00", "", ""},
           {"4/3/2024 9:05,5/3/2024 9:05,10/2/2024 9:05", "%d/%m/%Y %H:%M", ""},
           {"2024-03-05T10:00:00+0100,2024-03-05T09:30:00+0000,2024-03-05T08:59:00+0000",
            "%Y-%m-%dT%H:%M:%S%z", ""},
           {"4/3/2024 9:05,10/3/2024 9:05,2024-03-05", "",
            "log:3: timestamps of different shapes, '4/3/2024 9:05' (line 2) and '10/3/2024 "
            "9:05', cannot be compared as text; give their format with --time-format (strptime "
            "style, e.g. '%d/%m/%Y %H:%M')"},
           {"10,9,T", "",
            "log:4: timestamps of different shapes, '10' (line 2) and 'T', cannot be compared as "
            "text; give their format with --time-format (strptime style, e.g. '%d/%m/%Y %H:%M')"},
           {"04/03/2024,05/03/2024,10/02/2024", "",
            "log:2: timestamps such as '04/03/2024' do not start with a four-digit year, so their "
            "text order is not their time order; give their format with --time-format (strptime "
            "style, e.g. '%d/%m/%Y %H:%M')"},
           {"04/03/2024,2024-03-05,10/02/2024", "%d/%m/%Y",
            "log:3: timestamp '2024-03-05' does not match --time-format '%d/%m/%Y'"}}) {
    std::string text = "id,step,t\n";
    std::string times = c.times;
    for (const char* step : {"a", "b", "c"}) {
      std::size_t comma = times.find(',');
      text += std::string("x,") + step + ",\"" + times.substr(0, comma) + "\"\n";
      times.erase(0, comma == std::string::npos ? times.size() : comma + 1);
    }
    EventLogFormat format{{"id", "step", "t"}, ',', true, c.format};
    SequenceSet set;
    TimeOrder order;
    Result read = readEventLog(text, "log", "", format, &set, &order);
    EXPECT_EQ(read.ok(), c.error.empty()) << c.times;
    EXPECT_EQ(read.message(), c.error);
    if (!read.ok()) continue;
    EXPECT_EQ(order, c.format.empty() ? TimeOrder::kText : TimeOrder::kFormatted);
    Database database;
    buildDatabase(set, &database);
    EXPECT_EQ(labelled(database), (std::vector<std::vector<std::string>>{{"c", "a", "b"}}));
  }
}

TEST(EventLogTest, ASeparatorOtherThanCommaAndColumnsByNumber) {
  // No header: the first row is an event; a comment line before it.
  EventLogFormat format{{"2", "3", ""}, ';', false};
  SequenceSet set;
  TimeOrder order;
  Result read = readEventLog("// exported\n1;x;\"a;b\"\n2;y;c\n3;x;d\n// end\n", "log", "//",
                             format, &set, &order);
  ASSERT_TRUE(read.ok()) << read.message();
  Database database;
  buildDatabase(set, &database);
  EXPECT_EQ(labelled(database), (std::vector<std::vector<std::string>>{{"a;b", "d"}, {"c"}}));
  EXPECT_EQ(set.sequenceLines[1], 3);
  format.columns.activityColumn = "4";
  EXPECT_EQ(readEventLog("1;x;a\n", "log", "", format, &set, &order).message(),
            "log:1: there is no column 4; the first row has 3 fields");
  format = EventLogFormat{{"id", "step", ""}, '\t', true};
  ASSERT_TRUE(readEventLog("id\tstep\nx\ta,b\n", "log", "", format, &set, &order).ok());
  EXPECT_EQ(set.labels.back(), "a,b");
}

TEST(EventLogTest, MalformedLogsAreReportedWithFileAndLine) {
  EventLogFormat format{{"id", "step", "t"}};
  struct Case {
    std::string text;
    std::string error;
  };
  for (const Case& c : std::vector<Case>{
           {"", "log.csv:1: the file is empty; expected a header row"},
           {"id,action,t\n",
            "log.csv:1: no column named 'step'; the columns are: 'id', 'action', 't'"},
           {"id,step,t,step\n", "log.csv:1: two columns are named 'step'"},
           {"id,step,t\nx,a,1\nx,b\n", "log.csv:3: expected 3 fields, found 2"},
           {"id,step,t\nx,\"a\nb\",1,extra\n", "log.csv:2: expected 3 fields, found 4"},
           {"id,step,t\n,a,1\n", "log.csv:2: the case id is empty"},
           {"id,step,t\nx,,1\n", "log.csv:2: the activity is empty"},
           {"id,step,t\nx,a,\n", "log.csv:2: the timestamp is empty"},
           {"id,step,t\nx,a,1\nx,\"b,1\n", "log.csv:3: a quoted field is not closed"}}) {
    SequenceSet set;
    TimeOrder order;
    EXPECT_EQ(readEventLog(c.text, "log.csv", "", format, &set, &order).message(), c.error)
        << c.text;
  }
}

TEST(SpmfReaderTest, FlattensItemsetsNumbersByIdAndNamesItems) {
  SequenceSet set;
  Result read = readSpmf(
      "@CONVERTED_FROM_TEXT\n@ITEM=20=b c\n"
      "20 5 -1 100 -1 -2\n# note\n\n%x\n -2\n// 7 -2\n100 -1 20 -1 -2\n",
      "in.spmf", "//", &set);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(set.emptyDropped, 1);
  Database database;
  buildDatabase(set, &database);
  // Ascending ids: 5 -> 0, 20 -> 1, 100 -> 2; only 20 has a name.
  EXPECT_EQ(database.labels, (std::vector<std::string>{"5", "b c", "100"}));
  EXPECT_EQ(numbers(database), (std::vector<std::vector<int>>{{1, 0, 2}, {2, 1}}));

  struct Case {
    std::string text;
    std::string error;
  };
  for (const Case& c : std::vector<Case>{
           {"1 -1 -2\n2 x -1 -2\n", "in.spmf:2: 'x' is not an item id, -1 or -2"},
           {"1 -3 -2\n", "in.spmf:1: '-3' is not an item id, -1 or -2"},
           {"<0> 1 -1 -2\n", "in.spmf:1: '<0>' is not an item id, -1 or -2"},
           {"1 -1 2 -1\n", "in.spmf:1: the sequence does not end with -2"},
           {"1 -1 -2 2 -1 -2\n", "in.spmf:1: text after -2, the end of the sequence"},
           {"@ITEM=x=name\n", "in.spmf:1: expected @ITEM=<id>=<name>"},
           {"99999999999 -1 -2\n", "in.spmf:1: '99999999999' is not an item id, -1 or -2"}}) {
    SequenceSet bad;
    EXPECT_EQ(readSpmf(c.text, "in.spmf", "", &bad).message(), c.error) << c.text;
  }
}

TEST(PairsReaderTest, GroupsEventsByCaseAndWantsTwoColumns) {
  SequenceSet set;
  Result read = readPairs("s2 b\n% s1 x\ns1 a\n\ns2\tc\n \t\ns1  b \n", "log", "%", &set);
  ASSERT_TRUE(read.ok()) << read.message();
  Database database;
  buildDatabase(set, &database);
  EXPECT_EQ(labelled(database), (std::vector<std::vector<std::string>>{{"b", "c"}, {"a", "b"}}));
  EXPECT_EQ(set.caseNames[1], "s1");
  EXPECT_EQ(std::vector<long>(set.keyLines.begin() + 2, set.keyLines.end()),
            (std::vector<long>{3, 7}));
  for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
           {"s1 a\ns2\n", "log:2: expected two columns, a case id and an item, found one"},
           {"s1 a 10:05\n", "log:1: expected two columns, a case id and an item, found more"}}) {
    SequenceSet bad;
    EXPECT_EQ(readPairs(text, "log", "", &bad).message(), message) << text;
  }
}

TEST(DatabaseTest, RepeatsAreDroppedRefusedOrNumberedAndItemsNumberedByFirstAppearance) {
  SequenceSet set;
  readTextSequences("b a,b\n\n c ,, a\tb a\r\n;; d e\n,", ";;", &set);
  EXPECT_EQ(set.emptyDropped, 2);
  SequenceSet strictCopy = set;
  SequenceSet numberedCopy = set;
  RepeatCount count;
  ASSERT_TRUE(resolveRepeats(&set, RepeatMode::kDrop, "in.txt", &count).ok());
  EXPECT_EQ(count.occurrences, 2);
  EXPECT_EQ(count.sequences, 2);
  Database database;
  buildDatabase(set, &database);
  EXPECT_EQ(database.labels, (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(numbers(database), (std::vector<std::vector<int>>{{0, 1}, {2, 1, 0}}));
  EXPECT_EQ(database.longest, 3u);

  RepeatCount strictCount;
  EXPECT_EQ(resolveRepeats(&strictCopy, RepeatMode::kRefuse, "in.txt", &strictCount).message(),
            "in.txt:1: item 'b' occurs again in the same sequence");

  RepeatCount numberedCount;
  ASSERT_TRUE(resolveRepeats(&numberedCopy, RepeatMode::kNumber, "in.txt", &numberedCount).ok());
  EXPECT_EQ(numberedCount.occurrences, 2);
  EXPECT_EQ(numberedCount.sequences, 2);
  buildDatabase(numberedCopy, &database);
  EXPECT_EQ(database.labels, (std::vector<std::string>{"b", "a", "b#2", "c", "a#2"}));
  EXPECT_EQ(numbers(database), (std::vector<std::vector<int>>{{0, 1, 2}, {3, 1, 0, 4}}));

  // A name that the input already uses is not given to a repeat.
  SequenceSet clash;
  readTextSequences("a#2 x\nx a a\n", "", &clash);
  EXPECT_EQ(resolveRepeats(&clash, RepeatMode::kNumber, "in.txt", &count).message(),
            "in.txt:2: the input holds an item 'a#2', the name that --repeats number gives to "
            "occurrence 2 of 'a' in a sequence");
}

TEST(DatabaseTest, NumberedRepeatsOfSpmfIdsComeAfterTheIds) {
  SequenceSet set;
  ASSERT_TRUE(readSpmf("5 -1 3 5 -1 -2\n3 -1 3 -1 3 -1 -2\n", "in", "", &set).ok());
  RepeatCount count;
  ASSERT_TRUE(resolveRepeats(&set, RepeatMode::kNumber, "in", &count).ok());
  Database database;
  buildDatabase(set, &database);
  EXPECT_EQ(database.labels, (std::vector<std::string>{"3", "5", "3#2", "5#2", "3#3"}));
  EXPECT_EQ(numbers(database), (std::vector<std::vector<int>>{{1, 0, 3}, {0, 2, 4}}));
}

TEST(ItemTableTest, AnyLabelSurvivesTheRoundTrip) {
  std::vector<std::string> labels{"plain",          "tab\there", "two\nlines\r",
                                  "back\\slash\\t", "",          "Zürich, \"CH\""};
  std::string text;
  for (size_t i = 0; i < labels.size(); ++i) {
    std::string line = std::to_string(i) + "\t" + escapeLabel(labels[i]);
    EXPECT_EQ(line.find_first_of("\n\r"), std::string::npos);
    EXPECT_EQ(line.find('\t'), line.rfind('\t'));
    text += line + "\n";
  }
  ItemTable table;
  Result parsed = parseItemTable(text, "items.tsv", &table);
  ASSERT_TRUE(parsed.ok()) << parsed.message();
  for (size_t i = 0; i < labels.size(); ++i) {
    ASSERT_NE(findLabel(table, static_cast<int>(i)), nullptr);
    EXPECT_EQ(*findLabel(table, static_cast<int>(i)), labels[i]);
  }
  EXPECT_EQ(findLabel(table, 6), nullptr);
  EXPECT_EQ(labelOrNumber(&table, 6), "6");
  EXPECT_EQ(labelOrNumber(nullptr, 1), "1");
  // A backslash before another character stands for itself.
  ASSERT_TRUE(parseItemTable("3\tC:\\path\\\n", "t", &table).ok());
  EXPECT_EQ(*findLabel(table, 3), "C:\\path\\");

  EXPECT_FALSE(table.fingerprint.has_value());  // an older table has none

  // The fingerprint line is read back; other lines starting with '#' are comments.
  DatabaseFingerprint fingerprint{40, 0xd5e5553e};
  ASSERT_EQ(fingerprintLine(fingerprint), "# database fingerprint: strings=40 crc32=d5e5553e");
  ASSERT_TRUE(parseItemTable(fingerprintLine(fingerprint) + "\n# note\n0\ta\n", "t", &table).ok());
  ASSERT_TRUE(table.fingerprint.has_value());
  EXPECT_EQ(table.fingerprint->strings, 40);
  EXPECT_EQ(table.fingerprint->crc32, 0xd5e5553eu);
  EXPECT_EQ(table.labels.size(), 1u);

  for (const auto& [bad, message] : std::vector<std::pair<std::string, std::string>>{
           {"# database fingerprint: strings=40 crc32=D5E5553E\n",
            "t:1: expected \"# database fingerprint: strings=<count> crc32=<8 hex digits>\""},
           {"# database fingerprint: strings=-4 crc32=d5e5553e\n",
            "t:1: expected \"# database fingerprint: strings=<count> crc32=<8 hex digits>\""},
           {"0\ta\n1 b\n", "t:2: expected an item number, a tab and a label"},
           {"0\ta\n-1\tb\n", "t:2: '-1' is not an item number"},
           {"x\ta\n", "t:1: 'x' is not an item number"},
           {"0\ta\n\n", "t:2: expected an item number, a tab and a label"},
           {"4\ta\n4\tb\n", "t:2: item 4 is listed twice"}}) {
    EXPECT_EQ(parseItemTable(bad, "t", &table).message(), message) << bad;
  }
}

TEST(OutputSinkTest, AFailedWriteIsRememberedAndReported) {
  int fd = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  OutputSink sink;
  sink.fd = fd;
  sinkPut(&sink, "a line\n");
  EXPECT_EQ(sinkFlush(&sink), -1);
  EXPECT_EQ(sink.error, ENOSPC);
  sinkPut(&sink, std::string(1 << 17, 'x'));  // dropped, not retried
  EXPECT_TRUE(sink.pending.empty());
  EXPECT_EQ(sinkFlush(&sink), -1);
  ::close(fd);
}

TEST(OutputSinkTest, AFullNonBlockingPipeIsWaitedFor) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ASSERT_EQ(::fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
  // Fill the pipe, so that the sink's first write finds it full.
  std::string filler(4096, 'f');
  size_t filled = 0;
  for (ssize_t n; (n = ::write(ends[1], filler.data(), filler.size())) > 0;) {
    filled += static_cast<size_t>(n);
  }
  ASSERT_EQ(errno, EAGAIN);
  std::string received;
  std::thread reader([&] {
    char buffer[8192];
    for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;) {
      received.append(buffer, static_cast<size_t>(n));
    }
  });
  OutputSink sink;
  sink.fd = ends[1];
  std::string payload(1 << 20, 'p');
  sinkPut(&sink, payload);
  int status = sinkFlush(&sink);
  ::close(ends[1]);
  reader.join();
  ::close(ends[0]);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(received.size(), filled + payload.size());
  EXPECT_TRUE(received.compare(filled, std::string::npos, payload) == 0);
}

}  // namespace
}  // namespace tavrel::tools
