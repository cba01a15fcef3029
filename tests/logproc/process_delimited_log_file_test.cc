// End to end: libstatslog.so loaded with dlopen as a host loads it, a small
// day of logs in a temporary tree, and the stored INI files read back.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

using ProcessFn = int32_t (*)(const char*, int32_t, char*, const int32_t*);
using GetFn = int32_t (*)(const char*, int32_t, const char*, const char*, const char*, const char*, char*, int32_t);

std::string ReadFile(const fs::path& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

class ProcessDelimitedLogFileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/logproc_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = new fs::path(pattern);
    fs::create_directories(*root_ / "drives" / "l" / "logs");
    fs::create_directories(*root_ / "mailroot" / "acme");
    std::ofstream(*root_ / "registry.reg")
        << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]\r\n\"Mail Root\"=\""
        << (*root_ / "mailroot").string() << "\"\r\n";
    setenv("TALLOWMERE_REGISTRY", (*root_ / "registry.reg").c_str(), 1);
    setenv("TALLOWMERE_DRIVES", (*root_ / "drives").c_str(), 1);
    const char* build = getenv("TALLOWMERE_BUILD_DIR");
    const std::string library = std::string(build ? build : "build") + "/lib/libstatslog.so";
    handle_ = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    process_ = reinterpret_cast<ProcessFn>(dlsym(handle_, "ProcessDelimitedLogFile"));
    getValue_ = reinterpret_cast<GetFn>(dlsym(handle_, "GetStatsString"));
    getFlag_ = reinterpret_cast<GetFn>(dlsym(handle_, "GetStatsStatusString"));
    ASSERT_NE(process_, nullptr);
    ASSERT_NE(getValue_, nullptr);
    ASSERT_NE(getFlag_, nullptr);
    // The day's log, reached through a drive-letter path as a Windows host
    // would write it.
    std::ofstream(*root_ / "drives" / "l" / "logs" / "ex131127.log", std::ios::binary)
        << "#Software: Tallowmere SMTP Service\r\n#Version: 1.0\r\n#Date: 2013-11-27 00:00:00\r\n"
           "#Fields: date time c-ip cs-username cs-method sc-status sc-bytes cs-uri-query\r\n"
           "2013-11-27 00:00:01 192.0.2.1 acme MAIL 250 100 +FROM:<a@acme>\r\n"
           "2013-11-27 00:00:02 192.0.2.1 acme DATA 250 5000 +X-SPAM:yes\r\n"
           "2013-11-27 00:00:03 192.0.2.2 ghost DATA 550 70 -\r\n"
           "\r\n"
           "2013-11-27 00:00:04 192.0.2.3 ..\\..\\etc DATA 250 1 -\r\n"
           "2013-11-27 00:00:05 192.0.2.1 acme DATA 250 300 -\n";
  }
  static void TearDownTestSuite() {
    // The library stays loaded until the process ends, as in a service:
    // its process-wide caches are built to outlive any unload.
    if (root_ != nullptr) fs::remove_all(*root_);
    delete root_;
  }

  static std::string Definition(const std::string& extra) {
    return "<FILENAME>L:\\logs\\any.log</FILENAME><SERVER>MX1</SERVER><PERIOD>D2013M11D27</PERIOD>"
           "<LOGSCHEMA>SMTP</LOGSCHEMA><FIELDCOUNT>3</FIELDCOUNT>"
           "<FIELD ID=\"1\">Bytes:SUM(sc-bytes)</FIELD><FIELD ID=\"2\">Sent:COUNT(cs-method=DATA sc-status=250)</FIELD>"
           "<FIELD ID=\"3\">Spam:COUNT(cs-uri-query*=x-spam)</FIELD>" +
           extra;
  }

  static std::string Value(const char* postoffice, const char* key) {
    char buffer[256];
    getValue_("MX1", 1, postoffice, "SMTP", "D2013M11D27", key, buffer, sizeof buffer);
    return buffer;
  }
  static std::string Flag(const char* fileName, const char* key) {
    char buffer[256];
    getFlag_("MX1", 1, "System", "SMTP", fileName, key, buffer, sizeof buffer);
    return buffer;
  }
  static fs::path Servers(const std::string& postoffice, bool flags = false) {
    return *root_ / "mailroot" / postoffice / "STATSROOT" / (flags ? "Flags/Servers" : "Servers") / "MX1";
  }

  static fs::path* root_;
  static void* handle_;
  static ProcessFn process_;
  static GetFn getValue_;
  static GetFn getFlag_;
};

fs::path* ProcessDelimitedLogFileTest::root_ = nullptr;
void* ProcessDelimitedLogFileTest::handle_ = nullptr;
ProcessFn ProcessDelimitedLogFileTest::process_ = nullptr;
GetFn ProcessDelimitedLogFileTest::getValue_ = nullptr;
GetFn ProcessDelimitedLogFileTest::getFlag_ = nullptr;

TEST_F(ProcessDelimitedLogFileTest, GroupListDay) {
  const std::string report = (*root_ / "report.tsv").string();
  char result[256] = "unset";
  const int32_t size = sizeof result;
  EXPECT_EQ(process_(Definition("<GROUP>cs-username</GROUP><STATSROOT>acme</STATSROOT><OUTPUTFILENAME>" + report +
                                "</OUTPUTFILENAME>")
                         .c_str(),
                     12345, result, &size),
            0);
  EXPECT_STREQ(result, "");
  EXPECT_EQ(Value("acme", "acme"), "3.000000,5400.000000,2.000000,1.000000");
  EXPECT_EQ(Value("acme", "ghost"), "1.000000,70.000000,0.000000,0.000000");
  EXPECT_EQ(Value("acme", "..\\..\\etc"), "1.000000,1.000000,1.000000,0.000000");  // a key, not a path
  EXPECT_EQ(ReadFile(Servers("acme") / "D2013M11D27.INI"),
            "[SMTP]\r\nacme=3.000000,5400.000000,2.000000,1.000000\r\nghost=1.000000,70.000000,0.000000,0.000000\r\n"
            "..\\..\\etc=1.000000,1.000000,1.000000,0.000000\r\n");
  EXPECT_EQ(Flag("acme\\D2013M11D27", "State"), "[COMPLETE]");
  const std::string lastModified = Flag("acme\\D2013M11D27", "LastModified");
  EXPECT_NEAR(std::stol(lastModified), static_cast<long>(time(nullptr)), 60);
  EXPECT_TRUE(fs::exists(Servers("System", true) / "acme" / "D2013M11D27.INI"));
  EXPECT_EQ(ReadFile(report),
            "Group\tCount\tBytes\tSent\tSpam\n"
            "acme\t3.000000\t5400.000000\t2.000000\t1.000000\n"
            "ghost\t1.000000\t70.000000\t0.000000\t0.000000\n"
            "..\\..\\etc\t1.000000\t1.000000\t1.000000\t0.000000\n");
}

TEST_F(ProcessDelimitedLogFileTest, PerPostofficeDay) {
  int32_t size = 0;
  EXPECT_EQ(process_(Definition("<GROUP>cs-username</GROUP><RESULTTYPE>0</RESULTTYPE>").c_str(), 0, nullptr, &size), 0);
  EXPECT_EQ(Value("acme", "Total"), "3.000000");
  EXPECT_EQ(Value("acme", "Bytes"), "5400.000000");
  EXPECT_EQ(Value("acme", "Sent"), "2.000000");
  EXPECT_EQ(Value("System", "Total"), "5.000000");
  EXPECT_EQ(Value("System", "Bytes"), "5471.000000");
  EXPECT_EQ(Value("System", "Spam"), "1.000000");
  // A group key naming no postoffice is left out, and one that would climb
  // out of the mail root reaches nothing.
  EXPECT_FALSE(fs::exists(*root_ / "mailroot" / "ghost"));
  EXPECT_FALSE(fs::exists(*root_ / "etc"));
  EXPECT_FALSE(fs::exists(*root_ / "mailroot" / "..\\..\\etc"));
  EXPECT_EQ(Flag("D2013M11D27", "State"), "[COMPLETE]");
}

TEST_F(ProcessDelimitedLogFileTest, NoDataDay) {
  char result[8] = "x";
  const int32_t size = sizeof result;
  EXPECT_EQ(process_("<FILENAME>L:\\logs\\x</FILENAME><SERVER>MX1</SERVER><PERIOD>D2013M11D26</PERIOD>"
                     "<LOGSCHEMA>SMTP</LOGSCHEMA><GROUP>cs-username</GROUP>",
                     0, result, &size),
            0);
  EXPECT_STREQ(result, "");
  EXPECT_FALSE(fs::exists(Servers("System") / "D2013M11D26.INI"));
  char state[64];
  getFlag_("MX1", 1, "System", "SMTP", "D2013M11D26", "State", state, sizeof state);
  EXPECT_STREQ(state, "[NODATA]");
}

TEST_F(ProcessDelimitedLogFileTest, BadArgumentsReturnZero) {
  char result[4] = "abc";
  const int32_t tiny = 1;
  const int32_t negative = -5;
  EXPECT_EQ(process_(nullptr, 0, result, &tiny), 0);
  EXPECT_EQ(result[0], '\0');
  EXPECT_EQ(result[1], 'b');
  EXPECT_EQ(process_(Definition("<GROUP>cs-username</GROUP><MINVERSION>9</MINVERSION>").c_str(), 0, result, &negative),
            0);
  EXPECT_EQ(process_(Definition("<GROUP>cs-username</GROUP><MINVERSION>9</MINVERSION>").c_str(), 0, result, nullptr),
            0);
  EXPECT_EQ(process_(Definition("<GROUP>cs-username</GROUP><MINVERSION>9</MINVERSION>").c_str(), 0, nullptr, &tiny),
            0);
  const int32_t four = 4;
  EXPECT_EQ(process_(Definition("<GROUP>cs-username</GROUP><MINVERSION>9</MINVERSION>").c_str(), 0, result, &four),
            0);
  EXPECT_STREQ(result, "<FA");
}

}  // namespace
