#include "statslog/logproc/results_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logproc/logproc_test_util.h"
#include "statslog/logproc/log_line.h"
#include "statslog/logproc/text_util.h"

namespace tallowmere::logproc {
namespace {

using testing::RecordingWriter;

// Aggregated rows of space-separated records under one header.
struct Rows {
  Rows(const std::string& definition, const std::string& header, const std::vector<std::string>& records)
      : def(ParseReportDefinition(definition)), rows(def) {
    std::vector<std::string_view> h;
    SplitColumns(header, ' ', h);
    MapHeader(def, h, map);
    for (const std::string& record : records) {
      std::vector<std::string_view> columns;
      SplitColumnsUpTo(record, ' ', map.neededColumns, columns);
      rows.AggregateRecord(columns, map);
    }
  }
  ReportDefinition def;
  Aggregator rows;
  ColumnMap map;
};

const char* const kBytesField = "<FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">Bytes:SUM(b)</FIELD>";

TEST(ResultsWriterTest, KeyRules) {
  struct Case {
    std::string key;
    bool storable;
    bool safePostoffice;
  };
  const std::vector<Case> cases = {
      {"alice", true, true},      {"a b", true, true},        {"", false, false},
      {"[x", false, true},        {";x", false, true},        {" x", false, true},
      {"x\t", false, false},       {"a\rb", false, false},     {"..", true, false},
      {".", true, false},         {"..\\..\\etc", true, false}, {"a/b", true, false},
      {"C:", true, false},        {"a=b", false, true},       {"x\x7f", true, false},
      {"...", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsStorableKey(c.key), c.storable) << c.key;
    EXPECT_EQ(IsSafePostofficeName(c.key), c.safePostoffice) << c.key;
  }
  EXPECT_EQ(StoredKey("a=b=c"), "a:b:c");
  EXPECT_EQ(StoredKey(std::string(300, 'k')), std::string(255, 'k'));
}

TEST(ResultsWriterTest, GroupListForm) {
  Rows r(std::string("<GROUP>u</GROUP><STATSROOT>acme</STATSROOT><SERVER>MX1</SERVER><PERIOD>D2013M11D27</PERIOD>"
                     "<LOGSCHEMA>SMTP</LOGSCHEMA>") + kBytesField,
         "u b", {"alice 4", "bob -", "alice 6", "[odd 1", "x=y 2"});
  RecordingWriter writer;
  WriteResults(r.rows, r.def, writer, 1385510400, nullptr);
  ASSERT_EQ(writer.calls.size(), 2u);
  const auto& values = writer.calls[0];
  EXPECT_EQ(values.kind, "values");
  EXPECT_EQ(values.server, "MX1");
  EXPECT_EQ(values.postoffice, "acme");
  EXPECT_EQ(values.fileName, "D2013M11D27");
  EXPECT_EQ(values.section, "SMTP");
  ASSERT_EQ(values.entries.size(), 3u);  // "[odd" cannot be kept as an INI key
  EXPECT_EQ(values.entries[0].key, "alice");
  EXPECT_EQ(values.entries[0].value, "2.000000,10.000000");
  EXPECT_EQ(values.entries[1].key, "bob");
  EXPECT_EQ(values.entries[1].value, "1.000000,0.000000");
  EXPECT_EQ(values.entries[2].key, "x:y");
  const auto& flag = writer.calls[1];
  EXPECT_EQ(flag.kind, "flag");
  EXPECT_EQ(flag.fileName, "acme\\D2013M11D27");
  EXPECT_EQ(flag.scope, 1);
  EXPECT_EQ(flag.entries[0].key, "LastModified");
  EXPECT_EQ(flag.entries[0].value, "1385510400");
}

TEST(ResultsWriterTest, GroupListKeepsLongValueLists) {
  std::string def = "<GROUP>u</GROUP><FIELDCOUNT>9</FIELDCOUNT>";
  for (int i = 1; i <= 9; ++i) def += "<FIELD ID=\"" + std::to_string(i) + "\">F" + std::to_string(i) + ":SUM(b)</FIELD>";
  Rows r(def, "u b", {"alice 123456789012"});
  RecordingWriter writer;
  WriteResults(r.rows, r.def, writer, 0, nullptr);
  const std::string& value = writer.calls[0].entries[0].value;
  EXPECT_EQ(value.size(), 8 + 9 * 20u);
  EXPECT_EQ(value.substr(value.size() - 20), ",123456789012.000000");
  EXPECT_EQ(writer.calls[0].postoffice, "System");  // no STATSROOT
  EXPECT_EQ(writer.calls[1].fileName, "");          // PERIOD empty, no folder
}

TEST(ResultsWriterTest, PerPostofficeForm) {
  Rows r(std::string("<GROUP>account</GROUP><PERIOD>D2013M11D27</PERIOD><SCOPE>x</SCOPE>") +
             "<FIELDCOUNT>2</FIELDCOUNT><FIELD ID=\"1\">Bytes:SUM(b)</FIELD><FIELD ID=\"2\">:SUM(b)</FIELD>",
         "account b", {"acme 4", "..\\..\\etc 1", "beta 2", "acme 1", "a/b 1", ". 1"});
  ASSERT_EQ(r.def.resultType, 0);
  RecordingWriter writer;
  WriteResults(r.rows, r.def, writer, 7, nullptr);
  std::vector<std::string> postoffices;
  for (const auto& call : writer.calls) postoffices.push_back(call.postoffice);
  // Keys that would leave the mail root are not stored; "System" gets the totals.
  EXPECT_EQ(postoffices, (std::vector<std::string>{"acme", "beta", "System", "System"}));
  EXPECT_EQ(writer.calls[0].entries.size(), 2u);  // "Total" and "Bytes"; field 2 has no name
  EXPECT_EQ(writer.calls[0].entries[0].key, "Total");
  EXPECT_EQ(writer.calls[0].entries[0].value, "2.000000");
  EXPECT_EQ(writer.calls[0].entries[1].key, "Bytes");
  EXPECT_EQ(writer.calls[0].entries[1].value, "5.000000");
  // Totals: the named fields first, then "Total"; every row counts in them.
  const auto& system = writer.calls[2];
  ASSERT_EQ(system.entries.size(), 2u);
  EXPECT_EQ(system.entries[0].key, "Bytes");
  EXPECT_EQ(system.entries[0].value, "10.000000");
  EXPECT_EQ(system.entries[1].key, "Total");
  EXPECT_EQ(system.entries[1].value, "6.000000");
  EXPECT_EQ(writer.calls[3].kind, "flag");
  EXPECT_EQ(writer.calls[3].scope, 0);
}

TEST(ResultsWriterTest, NoRowsStoresOnlyTheFlag) {
  for (const char* def : {"<GROUP>u</GROUP>", "<GROUP>account</GROUP>"}) {
    Rows r(def, "u", {});
    RecordingWriter writer;
    WriteResults(r.rows, r.def, writer, 0, nullptr);
    ASSERT_EQ(writer.calls.size(), 1u) << def;
    EXPECT_EQ(writer.calls[0].entries[0].key, "LastModified") << def;
  }
}

TEST(ResultsWriterTest, ReportFile) {
  Rows r(std::string("<GROUP>u</GROUP>") + kBytesField, "u b", {"alice 4", "bob 1.5"});
  EXPECT_EQ(ReportFileText(r.rows, r.def),
            "Group\tCount\tBytes\n"
            "alice\t1.000000\t4.000000\n"
            "bob\t1.000000\t1.500000\n");
}

TEST(ResultsWriterTest, ConsoleLines) {
  Rows r(std::string("<GROUP>u</GROUP>") + kBytesField, "u b", {"alice 4"});
  RecordingWriter writer;
  char* text = nullptr;
  size_t size = 0;
  std::FILE* console = open_memstream(&text, &size);
  WriteResults(r.rows, r.def, writer, 86400 * 365 + 3661, console);
  std::fclose(console);
  EXPECT_EQ(std::string(text, size),
            "ResultsArray->Results.size():: 1\n"
            "Processed: 1 at 1971-01-01 01:01:01 UTC\n");
  std::free(text);
}

TEST(ResultsWriterTest, TimeAndNumberTexts) {
  EXPECT_EQ(TimeText(0), "1970-01-01 00:00:00 UTC");
  EXPECT_EQ(TimeText(951782400), "2000-02-29 00:00:00 UTC");
  EXPECT_EQ(TimeText(-1), "1969-12-31 23:59:59 UTC");
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {{0, "0.000000"}, {1, "1.000000"}, {-2.5, "-2.500000"}, {1e20, "100000000000000000000.000000"},
                        {0.0000005, "0.000000"}, {0.0000015, "0.000002"}, {1.0 / 3, "0.333333"}};
  for (const Case& c : cases) {
    std::string out;
    AppendFixed6(out, c.value);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%f", c.value);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(out, c.text);
  }
}

}  // namespace
}  // namespace tallowmere::logproc
