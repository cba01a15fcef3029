#include "statslog/logproc/log_processor.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "logproc/logproc_test_util.h"
#include "statslog/logproc/log_file_names.h"

namespace tallowmere::logproc {
namespace {

namespace fs = std::filesystem;
using testing::RecordingWriter;
using testing::WriteCall;

TEST(LogFileNamesTest, DailyAndHourlyNames) {
  struct Case {
    std::string definition;
    std::optional<int> hour;
    std::optional<std::string> name;
  };
  const std::vector<Case> cases = {
      {"<PERIOD>D2013M11D27</PERIOD>", std::nullopt, "ex131127.log"},
      {"<PERIOD>D2013M11D27</PERIOD>", 5, "ex13112705.log"},
      {"<PERIOD>D2013M11D27</PERIOD>", 23, "ex13112723.log"},
      {"<PERIOD>D2013M11D27</PERIOD><FORMAT>TAB</FORMAT><LOGSCHEMA>MTA_Filters</LOGSCHEMA>", std::nullopt,
       "MTAFILTER-Report-131127.log"},
      {"<PERIOD>D2013M11D27</PERIOD><FORMAT>TAB</FORMAT><LOGSCHEMA>MTA_Filters</LOGSCHEMA>", 5,
       "MTAFILTER-Report-13112705.log"},
      {"<PERIOD>D2013M11D27</PERIOD><FORMAT>TAB</FORMAT><LOGSCHEMA>SMTP</LOGSCHEMA>", std::nullopt, "ex131127.log"},
      {"<PERIOD>D2013M11D27</PERIOD><FORMAT>tab</FORMAT><LOGSCHEMA>MTA_Filters</LOGSCHEMA>", std::nullopt,
       "ex131127.log"},
      {"<PERIOD>D2013M11D2</PERIOD>", std::nullopt, std::nullopt},
      {"<PERIOD></PERIOD>", std::nullopt, std::nullopt},
      {"<PERIOD>D20/.M11D27</PERIOD>", std::nullopt, std::nullopt},
      {"<PERIOD>D2013M11D27</PERIOD>", 24, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LogFileName(ParseReportDefinition(c.definition), c.hour), c.name) << c.definition;
  }
}

TEST(LogFileNamesTest, LogDirectory) {
  struct Case {
    std::string fileName;
    std::optional<std::string> directory;
  };
  const std::vector<Case> cases = {
      {"C:\\logs\\smtp\\ex131127.log", "C:\\logs\\smtp"},
      {"/var/log/smtp/any.log", "/var/log/smtp"},
      {"C:\\logs/mixed\\x", "C:\\logs/mixed"},
      {"ex131127.log", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LogDirectory(ParseReportDefinition("<FILENAME>" + c.fileName + "</FILENAME>")), c.directory)
        << c.fileName;
  }
}

// A temporary log directory and one call of the driver with a recording
// writer, a fixed clock and the console captured.
class LogProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/logproc_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteLog(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }

  std::string Definition(const std::string& extra) const {
    return "<FILENAME>" + (dir_ / "any.log").string() +
           "</FILENAME><SERVER>MX1</SERVER><PERIOD>D2013M11D27</PERIOD><LOGSCHEMA>SMTP</LOGSCHEMA>"
           "<GROUP>cs-username</GROUP><FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">Bytes:SUM(sc-bytes)</FIELD>" +
           extra;
  }

  ProcessSummary Process(const std::string& definition, size_t resultSize = sizeof result_) {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* console = open_memstream(&text, &size);
    ResultText result(result_, resultSize);
    ProcessOptions options;
    options.console = console;
    options.clock = [] { return int64_t{1385553600}; };
    writer_.calls.clear();
    const ProcessSummary summary = ProcessLogFiles(definition, result, writer_, options);
    std::fclose(console);
    console_.assign(text, size);
    std::free(text);
    return summary;
  }

  // "values:postoffice" or "flag:key=value:scope" per call, in order.
  std::vector<std::string> Calls() const {
    std::vector<std::string> out;
    for (const WriteCall& c : writer_.calls) {
      if (c.kind == "values") {
        out.push_back("values:" + c.postoffice);
      } else {
        out.push_back("flag:" + c.entries[0].key + "=" + c.entries[0].value + ":" + std::to_string(c.scope));
      }
    }
    return out;
  }

  fs::path dir_;
  RecordingWriter writer_;
  std::string console_;
  char result_[512] = "unset";
};

const char* const kHeader = "#Software: X\r\n#Version: 1.0\r\n#Fields: date cs-username sc-bytes\r\n";

TEST_F(LogProcessorTest, DailyFile) {
  WriteLog("ex131127.log", std::string(kHeader) + "d alice 10\r\nd bob -\r\nd alice 0\r\n");
  WriteLog("ex13112705.log", std::string(kHeader) + "d carol 1\r\n");  // not read: a daily file exists
  const ProcessSummary summary = Process(Definition(""));
  EXPECT_TRUE(summary.resultsStored);
  EXPECT_STREQ(result_, "");
  EXPECT_EQ(Calls(), (std::vector<std::string>{"values:System", "flag:LastModified=1385553600:1",
                                               "flag:State=[COMPLETE]:1"}));
  const WriteCall& values = writer_.calls[0];
  EXPECT_EQ(values.server, "MX1");
  EXPECT_EQ(values.fileName, "D2013M11D27");
  EXPECT_EQ(values.section, "SMTP");
  ASSERT_EQ(values.entries.size(), 2u);
  EXPECT_EQ(values.entries[0].key, "alice");
  EXPECT_EQ(values.entries[0].value, "2.000000,10.000000");
  EXPECT_EQ(values.entries[1].key, "bob");
  EXPECT_EQ(values.entries[1].value, "1.000000,0.000000");
  EXPECT_EQ(writer_.calls[1].fileName, "D2013M11D27");
  EXPECT_EQ(console_,
            "ProcessW3CLogFile::Processing: ex131127.log \n"
            "Element: alice\n"
            "Element: bob\n"
            "ResultsArray->Results.size():: 2\n"
            "Processed: 2 at 2013-11-27 12:00:00 UTC\n");
}

TEST_F(LogProcessorTest, DailyFileFoundInAnyLetterCase) {
  WriteLog("EX131127.LOG", std::string(kHeader) + "d alice 10\r\n");
  EXPECT_TRUE(Process(Definition("")).resultsStored);
  EXPECT_TRUE(console_.starts_with("ProcessW3CLogFile::Processing: EX131127.LOG \n")) << console_;
  EXPECT_EQ(writer_.calls[0].entries[0].value, "1.000000,10.000000");
}

TEST_F(LogProcessorTest, HourlyFilesAddUp) {
  WriteLog("ex13112705.log", std::string(kHeader) + "d alice 10\r\n");
  WriteLog("ex13112706.log", std::string(kHeader) + "d alice 5\r\nd bob 1\r\n");
  Process(Definition("<STATSROOT>Server1</STATSROOT><SCOPE>x</SCOPE>"));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"values:Server1", "flag:LastModified=1385553600:0",
                                               "flag:State=[COMPLETE]:0"}));
  EXPECT_EQ(writer_.calls[0].entries[0].value, "2.000000,15.000000");
  EXPECT_EQ(writer_.calls[1].fileName, "Server1\\D2013M11D27");
  size_t processing = 0;
  for (size_t at = console_.find("ProcessW3CLogFile::Processing: "); at != std::string::npos;
       at = console_.find("ProcessW3CLogFile::Processing: ", at + 1)) {
    ++processing;
  }
  EXPECT_EQ(processing, 24u);
  EXPECT_NE(console_.find("ProcessW3CLogFile::Processing: ex13112700.log \n"), std::string::npos);
}

TEST_F(LogProcessorTest, NoDataPaths) {
  struct Case {
    const char* name;
    std::string definition;
    std::vector<std::string> calls;
  };
  const std::vector<std::string> noData = {"flag:LastModified=1385553600:1", "flag:State=[NODATA]:1"};
  const std::vector<Case> cases = {
      {"no files", Definition("<SCOPE>x</SCOPE>"), noData},
      {"FILENAME without directory", "<FILENAME>ex.log</FILENAME><PERIOD>D2013M11D27</PERIOD>", noData},
      {"PERIOD too short", Definition("<PERIOD>D13</PERIOD>"), noData},
      {"no PERIOD at all", "<FILENAME>" + dir_.string() + "/x</FILENAME>", {}},
  };
  WriteLog("ex13.log", kHeader);  // what a short PERIOD would otherwise reach
  for (const Case& c : cases) {
    const ProcessSummary summary = Process(c.definition);
    EXPECT_FALSE(summary.resultsStored) << c.name;
    EXPECT_EQ(Calls(), c.calls) << c.name;
    EXPECT_TRUE(console_.ends_with("Processed: No Data Available\n")) << c.name << ": " << console_;
  }
  Process(Definition(""));
  EXPECT_EQ(writer_.calls[1].fileName, "D2013M11D27");
}

TEST_F(LogProcessorTest, DailyDirectoryMeansNoDataWithoutHours) {
  fs::create_directory(dir_ / "ex131127.log");
  WriteLog("ex13112705.log", std::string(kHeader) + "d alice 10\r\n");
  Process(Definition(""));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"flag:LastModified=1385553600:1", "flag:State=[NODATA]:1"}));
  EXPECT_EQ(console_, "Processed: No Data Available\n");
}

TEST_F(LogProcessorTest, HeaderOnlyDayStoresNoValues) {
  WriteLog("ex131127.log", kHeader);
  const std::string report = (dir_ / "report.tsv").string();
  for (const char* group : {"cs-username", "account"}) {
    std::string def = Definition("<OUTPUTFILENAME>" + report + "</OUTPUTFILENAME>");
    def.replace(def.find("<GROUP>cs-username"), 18, std::string("<GROUP>") + group);
    Process(def);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"flag:LastModified=1385553600:1", "flag:State=[COMPLETE]:1"}))
        << group;
    std::stringstream text;
    text << std::ifstream(report).rdbuf();
    EXPECT_EQ(text.str(), "Group\tCount\tBytes\n") << group;
  }
}

TEST_F(LogProcessorTest, VersionFailures) {
  const std::string badVersion = "#Version: 0.9\r\n#Fields: date cs-username sc-bytes\r\nd alice 1\r\n";
  WriteLog("ex131127.log", badVersion);
  Process(Definition("<MINVERSION>1.0</MINVERSION>"));
  EXPECT_STREQ(result_, "<FAILURE>Invalid File Version: Required [1.0]; Found [#Version: 0.9\r\n]</FAILURE>");
  EXPECT_EQ(Calls(), (std::vector<std::string>{"flag:LastModified=1385553600:1", "flag:State=[NODATA]:1"}));

  // An hourly file that fails costs only itself; records read before its
  // version line stay counted.
  fs::remove(dir_ / "ex131127.log");
  WriteLog("ex13112701.log", "#Fields: date cs-username sc-bytes\r\nd early 1\r\n" + badVersion);
  WriteLog("ex13112702.log", std::string(kHeader) + "d bob 2\r\n");
  Process(Definition("<MINVERSION>1.0</MINVERSION>"));
  EXPECT_NE(std::string(result_).find("<FAILURE>"), std::string::npos);
  ASSERT_EQ(Calls().front(), "values:System");
  ASSERT_EQ(writer_.calls[0].entries.size(), 2u);
  EXPECT_EQ(writer_.calls[0].entries[0].key, "early");
  EXPECT_EQ(writer_.calls[0].entries[1].key, "bob");
  EXPECT_EQ(Calls().back(), "flag:State=[COMPLETE]:1");

  // A result buffer too small for the message gets as much as fits.
  memset(result_, 'X', sizeof result_);
  Process(Definition("<MINVERSION>1.0</MINVERSION>"), 10);
  EXPECT_STREQ(result_, "<FAILURE>");
  EXPECT_EQ(result_[10], 'X');
}

TEST_F(LogProcessorTest, ReportFile) {
  WriteLog("ex131127.log", std::string(kHeader) + "d alice 10\r\nd bob 1.5\r\n");
  const std::string report = (dir_ / "report.tsv").string();
  Process(Definition("<OUTPUTFILENAME>" + report + "</OUTPUTFILENAME>"));
  std::stringstream text;
  text << std::ifstream(report).rdbuf();
  EXPECT_EQ(text.str(), "Group\tCount\tBytes\nalice\t1.000000\t10.000000\nbob\t1.000000\t1.500000\n");
  // An unwritable report file is skipped; the flags still follow.
  Process(Definition("<OUTPUTFILENAME>" + dir_.string() + "/missing/dir/r.tsv</OUTPUTFILENAME>"));
  EXPECT_EQ(Calls().back(), "flag:State=[COMPLETE]:1");
}

TEST_F(LogProcessorTest, FilterReportNamesAndTabDialect) {
  WriteLog("MTAFILTER-Report-131127.log", "Date\tRule\tHits\n20131127\tspam\t3\n20131127\tvirus\t1\n");
  Process("<FILENAME>" + dir_.string() +
          "\\x</FILENAME><PERIOD>D2013M11D27</PERIOD><FORMAT>TAB</FORMAT><LOGSCHEMA>MTA_Filters</LOGSCHEMA>"
          "<GROUP>Rule</GROUP><FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">Hits</FIELD>");
  ASSERT_EQ(Calls().front(), "values:System");
  EXPECT_EQ(writer_.calls[0].entries[0].key, "spam");
  EXPECT_EQ(writer_.calls[0].entries[0].value, "1.000000,3.000000");
  EXPECT_TRUE(console_.starts_with("ProcessW3CLogFile::Processing: MTAFILTER-Report-131127.log \n")) << console_;
}

TEST_F(LogProcessorTest, HostileLogsCountNothingWrong) {
  std::string garbage;
  uint32_t x = 99;
  for (int i = 0; i < 1 << 20; ++i) {
    x = x * 1664525 + 1013904223;
    garbage += static_cast<char>(x >> 24);
  }
  const std::string oneLongLine = std::string(kHeader) + "d " + std::string(50 << 20, 'u') + " 5";
  const std::string nulRuns = std::string(kHeader) + "d alice 1\r\n" + std::string(4096, '\0') + "d bob 2\r\n" +
                              std::string(4096, '\0');
  for (const std::string* log : std::vector<const std::string*>{&garbage, &oneLongLine, &nulRuns}) {
    WriteLog("ex131127.log", *log);
    const ProcessSummary summary = Process(Definition(""));
    EXPECT_TRUE(summary.resultsStored);
    EXPECT_EQ(Calls().back(), "flag:State=[COMPLETE]:1");
  }
  ASSERT_EQ(writer_.calls[0].entries.size(), 2u);
  EXPECT_EQ(writer_.calls[0].entries[1].key, "bob");
}

}  // namespace
}  // namespace tallowmere::logproc
