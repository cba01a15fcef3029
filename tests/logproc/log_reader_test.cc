#include "statslog/logproc/log_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "logproc/logproc_test_util.h"
#include "statslog/logproc/log_line.h"

namespace tallowmere::logproc {
namespace {

TEST(LogLineTest, Classes) {
  struct Case {
    const char* text;
    bool tab;
    LineClass expected;
  };
  const Case cases[] = {
      {"#Fields: date time", false, LineClass::kHeader},
      {"#fields: date time", false, LineClass::kHeader},
      {"#Fields:date", false, LineClass::kDirective},
      {"#Version: 1.0", false, LineClass::kDirective},
      {"2013-11-27 10:00:00 a", false, LineClass::kRecord},
      {"x y z", false, LineClass::kRecord},
      {"", false, LineClass::kBlank},
      {"   \t ", false, LineClass::kBlank},
      {" x", false, LineClass::kRecord},
      {"Date\tUser", true, LineClass::kHeader},
      {"#Fields: a", true, LineClass::kDirective},
      {"2013\talice", true, LineClass::kRecord},
      {"", true, LineClass::kBlank},
      {"\t\t", true, LineClass::kBlank},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyLine(c.text, c.tab), c.expected) << c.text;
}

TEST(LogLineTest, Splitting) {
  std::vector<std::string_view> out;
  SplitColumns("a  b ", ' ', out);
  EXPECT_EQ(out, (std::vector<std::string_view>{"a", "", "b", ""}));
  SplitColumns("", ' ', out);
  EXPECT_TRUE(out.empty());
  SplitColumns(" lead\ttab", '\t', out);
  EXPECT_EQ(out, (std::vector<std::string_view>{" lead", "tab"}));
  SplitColumnsUpTo("a b c d", ' ', 2, out);
  EXPECT_EQ(out, (std::vector<std::string_view>{"a", "b"}));
  SplitColumnsUpTo("a b", ' ', 4, out);
  EXPECT_EQ(out, (std::vector<std::string_view>{"a", "b", "", ""}));
  SplitColumnsUpTo("", ' ', 2, out);
  EXPECT_EQ(out, (std::vector<std::string_view>{"", ""}));
  std::string thirty;
  for (int i = 0; i < 31; ++i) thirty += "c" + std::to_string(i) + " ";
  SplitColumns(thirty, ' ', out);
  EXPECT_EQ(out.size(), 32u);  // every column counts, however many
}

TEST(LogLineTest, ResultTextNeverOverruns) {
  char buffer[8] = "XXXXXXX";
  ResultText small(buffer, 4);
  small.Set("abcdef");
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], 'X');
  ResultText none(nullptr, 100);
  none.Set("abc");
  none.Clear();
  ResultText zero(buffer, 0);
  zero.Set("zz");
  EXPECT_STREQ(buffer, "abc");
}

// Reads log text through a LogReader and returns the rows as key -> values.
struct ReadRun {
  ReadOutcome outcome;
  std::vector<std::string> keys;
  std::map<std::string, std::vector<double>> rows;
  std::string result;
  uint64_t records = 0;
};

ReadRun ReadLog(const std::string& definition, const std::vector<std::string>& files, size_t chunk = 1 << 20) {
  const ReportDefinition def = ParseReportDefinition(definition);
  Aggregator aggregator(def);
  char text[512] = "unset";
  ResultText result(text, sizeof text);
  result.Clear();
  LogReader reader(def, aggregator, result);
  ReadRun run{ReadOutcome::kRead, {}, {}, {}, 0};
  for (const std::string& file : files) {
    LineReader lines(testing::StringSource(file, chunk), 64);
    run.outcome = reader.ReadStream(lines);
  }
  for (size_t r = 0; r < aggregator.rowCount(); ++r) {
    const std::string& key = aggregator.keys()[r];
    run.keys.push_back(key);
    run.rows[key] = std::vector<double>(aggregator.values(r), aggregator.values(r) + aggregator.fieldCount());
  }
  run.result = text;
  run.records = reader.recordsCounted();
  return run;
}

const char* const kUserBytes =
    "<GROUP>cs-username</GROUP><FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">Bytes:SUM(sc-bytes)</FIELD>";

TEST(LogReaderTest, W3CDialect) {
  const ReadRun run = ReadLog(kUserBytes,
                          {"#Software: X\r\n#Version: 1.0\r\n#Date: 2013-11-27\r\n"
                           "#Fields: date time cs-username sc-bytes\r\n"
                           "2013-11-27 10:00:00 alice 100\r\n"
                           "\r\n"
                           "2013-11-27 10:00:01 bob 5\n"
                           "2013-11-27 10:00:02 alice 7"});
  EXPECT_EQ(run.outcome, ReadOutcome::kRead);
  EXPECT_EQ(run.keys, (std::vector<std::string>{"alice", "bob"}));
  EXPECT_EQ(run.rows.at("alice"), (std::vector<double>{2, 107}));
  EXPECT_EQ(run.rows.at("bob"), (std::vector<double>{1, 5}));
  EXPECT_EQ(run.records, 3u);
  EXPECT_EQ(run.result, "");
}

TEST(LogReaderTest, LastColumnCountsWhateverTheLineEnd) {
  for (const char* end : {"\r\n", "\n", ""}) {
    const ReadRun run = ReadLog(kUserBytes, {std::string("#Fields: cs-username sc-bytes\n") + "alice 42" + end});
    EXPECT_EQ(run.rows.at("alice"), (std::vector<double>{1, 42})) << "line end length " << strlen(end);
  }
}

TEST(LogReaderTest, ShortRecordsDoNotInheritColumns) {
  const ReadRun run = ReadLog(kUserBytes, {"#Fields: date cs-username sc-bytes\nd alice 10\nd bob\n"});
  EXPECT_EQ(run.rows.at("bob"), (std::vector<double>{1, 0}));
}

TEST(LogReaderTest, LongLineIsOneRecord) {
  const std::string agent(5000, 'a');
  const ReadRun run = ReadLog("<GROUP>cs-username</GROUP><FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">sc-bytes</FIELD>",
                          {"#Fields: cs(User-Agent) cs-username sc-bytes\r\n" + agent + " alice 3\r\n" + agent +
                           " bob 4\r\n"},
                          100);
  EXPECT_EQ(run.keys, (std::vector<std::string>{"alice", "bob"}));
  EXPECT_EQ(run.rows.at("alice"), (std::vector<double>{1, 3}));
}

TEST(LogReaderTest, NulPaddingCountsNothing) {
  std::string log = "#Fields: cs-username sc-bytes\r\nalice 1\r\n";
  log += std::string(1000, '\0');
  log += "bob 2\r\n";
  log += std::string(1000, '\0');
  const ReadRun run = ReadLog(kUserBytes, {log});
  EXPECT_EQ(run.keys, (std::vector<std::string>{"alice", "bob"}));
  EXPECT_EQ(run.records, 2u);
}

TEST(LogReaderTest, TabDialect) {
  const char* def =
      "<FORMAT>TAB</FORMAT><GROUP>Rule</GROUP><FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">Hits:SUM(Count)</FIELD>";
  const ReadRun run = ReadLog(def, {"Date\tRule\tCount\n2013\tspam\t3\n#comment\nxyz\tignored\n"
                                "Rule\tDate\tCount\n4\t2013\t1\n2013\tspam\t9\n"});
  // A line starting with a letter is a header; the last one puts Rule at
  // column 0, which groups like any other column.
  EXPECT_EQ(run.keys, (std::vector<std::string>{"spam", "4", "2013"}));
  EXPECT_EQ(run.rows.at("spam"), (std::vector<double>{1, 3}));
  EXPECT_EQ(run.rows.at("4"), (std::vector<double>{1, 1}));
}

TEST(LogReaderTest, HeaderMapping) {
  struct Case {
    const char* name;
    std::string header;
    std::string record;
    std::vector<double> expected;  // the one row's values
  };
  const char* def =
      "<GROUP>cs-username</GROUP><FIELDCOUNT>3</FIELDCOUNT>"
      "<FIELD ID=\"1\">sc-bytes</FIELD><FIELD ID=\"2\">Mail:COUNT(cs-method=DATA)</FIELD>"
      "<FIELD ID=\"3\">In:SUM(cs-bytes)</FIELD>";
  const std::vector<Case> cases = {
      {"plain order", "#Fields: cs-username sc-bytes cs-method cs-bytes", "u 10 DATA 5", {1, 10, 1, 5}},
      {"names ignore case", "#Fields: CS-USERNAME SC-Bytes CS-METHOD cs-bytes", "u 10 DATA 5", {1, 10, 1, 5}},
      {"last of repeated wins", "#Fields: cs-username sc-bytes sc-bytes cs-method cs-bytes", "u 1 20 DATA 5",
       {1, 20, 1, 5}},
      {"group at column 0", "#Fields: cs-username cs-method", "u DATA", {1, 0, 1, 0}},
      {"missing operand column counts nothing", "#Fields: cs-username sc-bytes", "u 10", {1, 10, 0, 0}},
  };
  for (const Case& c : cases) {
    const ReadRun run = ReadLog(def, {c.header + "\r\n" + c.record + "\r\n"});
    ASSERT_EQ(run.keys, (std::vector<std::string>{"u"})) << c.name;
    EXPECT_EQ(run.rows.at("u"), c.expected) << c.name;
  }
}

TEST(LogReaderTest, EveryHeaderRemapsOperands) {
  const char* def = "<GROUP>cs-username</GROUP><FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">B:SUM(sc-bytes)</FIELD>";
  // The second header lacks sc-bytes: its records add nothing rather than
  // summing whatever now stands where sc-bytes stood.
  const ReadRun run = ReadLog(def, {"#Fields: cs-username sc-bytes\nu 5\n#Fields: cs-username time\nu 99\n"});
  EXPECT_EQ(run.rows.at("u"), (std::vector<double>{2, 5}));
}

TEST(LogReaderTest, RecordsBeforeTheFilesHeaderCountNothing) {
  const ReadRun run = ReadLog(kUserBytes, {"alice 1\n#Fields: cs-username sc-bytes\nalice 2\n", "bob 5\n"});
  // The second file has no header of its own: none of its records count.
  EXPECT_EQ(run.keys, (std::vector<std::string>{"alice"}));
  EXPECT_EQ(run.rows.at("alice"), (std::vector<double>{1, 2}));
}

TEST(LogReaderTest, VersionCheck) {
  const std::string log =
      "#Software: X\r\n#Fields: cs-username sc-bytes\r\nalice 1\r\n#Version: 1.0\r\nbob 2\r\n";
  struct Case {
    std::string minVersion;
    ReadOutcome outcome;
    std::vector<std::string> keys;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"", ReadOutcome::kRead, {"alice", "bob"}, ""},
      {"1.0", ReadOutcome::kRead, {"alice", "bob"}, ""},
      {"2.0", ReadOutcome::kVersionFailed, {"alice"},
       "<FAILURE>Invalid File Version: Required [2.0]; Found [#Version: 1.0\r\n]</FAILURE>"},
  };
  for (const Case& c : cases) {
    const ReadRun run = ReadLog(std::string(kUserBytes) + "<MINVERSION>" + c.minVersion + "</MINVERSION>", {log});
    EXPECT_EQ(run.outcome, c.outcome) << c.minVersion;
    EXPECT_EQ(run.keys, c.keys) << c.minVersion;
    EXPECT_EQ(run.result, c.result) << c.minVersion;
  }
}

TEST(LogReaderTest, HostileInputCountsNothingWrong) {
  std::string garbage;
  uint32_t x = 12345;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1103515245 + 12345;
    garbage += static_cast<char>(x >> 24);
  }
  const std::string manyColumns = "#Fields: " + std::string(20000, ' ') + "cs-username\nu\n";
  const std::string commas = "#Fields: cs-username\n" + std::string(100000, ',') + "\n";
  for (const std::string& log : {garbage, manyColumns, commas, std::string(3 << 20, 'x')}) {
    const ReadRun run = ReadLog(kUserBytes, {log}, 4096);
    EXPECT_EQ(run.outcome, ReadOutcome::kRead);
  }
  EXPECT_TRUE(ReadLog(kUserBytes, {commas}).keys.empty());
}

}  // namespace
}  // namespace tallowmere::logproc
