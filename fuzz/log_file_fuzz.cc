// Fuzz target: a whole day's log file through the reader and the aggregation.
//
// Input: a selector byte, then the log file. The selector picks one of a few
// fixed definitions (W3C with SUM, COUNT and contains-COUNT fields, a domain
// and a URL group filter, a CONCAT group, the tab-separated filter report,
// per-postoffice totals); the file is written as that day's log in a private
// directory and processed with a writer that keeps the results in memory.
// Checks: no crash, hang or undefined behaviour; no more records than lines;
// every stored key and value is one line of text. (A record may make several
// groups: a group value is split at ",".)
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "statslog/logproc/log_processor.h"
#include "statslog/logproc/result_text.h"

namespace tallowmere::fuzz {

namespace {

struct ScratchDirectory {
  ScratchDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/tallowmere-fuzz-log-" + std::to_string(::getpid());
    ::mkdir(dir.c_str(), 0700);
  }
  ~ScratchDirectory() { ::rmdir(dir.c_str()); }
  std::string dir;
};

class MemoryWriter : public logproc::StatsWriter {
 public:
  bool SetValues(const std::string&, const std::string& postoffice, const std::string& fileName,
                 const std::string& section, const std::vector<logproc::StatsEntry>& entries) override {
    CheckText(postoffice);
    CheckText(fileName);
    CheckText(section);
    for (const auto& entry : entries) {
      CheckText(entry.key);
      CheckText(entry.value);
    }
    return true;
  }
  bool SetFlag(const std::string&, int32_t, const std::string& fileName, const std::string& section,
               const std::string& key, const std::string& value) override {
    CheckText(fileName);
    CheckText(section);
    CheckText(key);
    CheckText(value);
    return true;
  }

 private:
  static void CheckText(const std::string& text) {
    FUZZ_CHECK(text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
  }
};

const char* const kDefinitions[] = {
    "<FILENAME>{dir}/x.log</FILENAME><SERVER>MX1</SERVER><PERIOD>D2013M11D27</PERIOD>"
    "<LOGSCHEMA>SMTP</LOGSCHEMA><MINVERSION>1.0</MINVERSION><GROUP>cs-username</GROUP><FIELDCOUNT>4</FIELDCOUNT>"
    "<FIELD ID=\"1\">Bytes:SUM(sc-bytes cs-bytes)</FIELD><FIELD ID=\"2\">Delivered:COUNT(cs-method=DATA sc-status=250)"
    "</FIELD><FIELD ID=\"3\">Spam:COUNT(cs-uri-query*=x-spam-flag:yes)</FIELD><FIELD ID=\"4\">time-taken</FIELD>",
    "<FILENAME>{dir}\\x.log</FILENAME><PERIOD>D2013M11D27</PERIOD><LOGSCHEMA>SMTP</LOGSCHEMA>"
    "<GROUP>cs-username</GROUP><GROUPAS>DOMAIN</GROUPAS><RESULTTYPE>1</RESULTTYPE><FIELDCOUNT>1</FIELDCOUNT>"
    "<FIELD ID=\"1\">n:COUNT(sc-status=250)</FIELD>",
    "<FILENAME>{dir}/x.log</FILENAME><PERIOD>D2013M11D27</PERIOD><LOGSCHEMA>WWW</LOGSCHEMA>"
    "<GROUP>cs-uri-stem</GROUP><GROUPAS>URL</GROUPAS><FIELDCOUNT>2</FIELDCOUNT>"
    "<FIELD ID=\"1\">sc-bytes</FIELD><FIELD ID=\"2\">s:SUM(time-taken</FIELD>",
    "<FILENAME>{dir}/x.log</FILENAME><PERIOD>D2013M11D27</PERIOD><LOGSCHEMA>SMTP</LOGSCHEMA>"
    "<GROUP>CONCAT(c-ip \"-\" cs-username)</GROUP><RESULTTYPE>1</RESULTTYPE><FIELDCOUNT>2</FIELDCOUNT>"
    "<FIELD ID=\"1\">b:SUM(sc-bytes)</FIELD><FIELD ID=\"3\">c:COUNT(cs-method)</FIELD>",
    "<FILENAME>{dir}/x.log</FILENAME><PERIOD>D2013M11D27</PERIOD><FORMAT>TAB</FORMAT>"
    "<LOGSCHEMA>MTA_Filters</LOGSCHEMA><GROUP>Recipient</GROUP><FIELDCOUNT>2</FIELDCOUNT>"
    "<FIELD ID=\"1\">hits:COUNT(Action=Delete)</FIELD><FIELD ID=\"2\">Size</FIELD>",
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
  return text;
}

}  // namespace

int FuzzLogFile(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static ScratchDirectory scratch;
  constexpr size_t kCount = sizeof kDefinitions / sizeof kDefinitions[0];
  std::string definition = Replace(kDefinitions[data[0] % kCount], "{dir}", scratch.dir);
  bool filterReport = definition.find("MTA_Filters") != std::string::npos;
  std::string log = scratch.dir + (filterReport ? "/MTAFILTER-Report-131127.log" : "/ex131127.log");
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  {
    std::ofstream out(log, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  char resultBuffer[64];
  logproc::ResultText result(resultBuffer, sizeof resultBuffer);
  MemoryWriter writer;
  logproc::ProcessOptions options;
  options.clock = [] { return int64_t{1385510400}; };
  logproc::ProcessSummary summary = logproc::ProcessLogFiles(definition, result, writer, options);
  FUZZ_CHECK(std::memchr(resultBuffer, '\0', sizeof resultBuffer) != nullptr);
  size_t lines = 1;
  for (char c : text) lines += (c == '\n' || c == '\r');
  FUZZ_CHECK(summary.records <= lines);
  ::unlink(log.c_str());
  return 0;
}

}  // namespace tallowmere::fuzz
