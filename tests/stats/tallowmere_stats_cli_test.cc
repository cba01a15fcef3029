// The tallowmere program's stats commands, run as an administrator runs them:
// results on stdout (text or JSON), errors on stderr, and the exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "stats/stats_fixture.h"

namespace tallowmere::stats::testing {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class TallowmereStatsCliTest : public StatsFixture {
 protected:
  Outcome Run(const std::vector<std::string>& args) {
    const char* buildDir = std::getenv("TALLOWMERE_BUILD_DIR");
    EXPECT_NE(buildDir, nullptr);
    std::string command = "'" + std::string(buildDir ? buildDir : ".") + "/bin/tallowmere'";
    for (const std::string& arg : args) {
      std::string quoted;
      for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
      command += " '" + quoted + "'";
    }
    command += " 2>'" + base_ + "/stderr.txt'";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) outcome.out.append(chunk, n);
    const int status = pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(base_ + "/stderr.txt");
    std::stringstream text;
    text << err.rdbuf();
    outcome.err = text.str();
    return outcome;
  }
};

TEST_F(TallowmereStatsCliTest, SetGetAndListValues) {
  Outcome set = Run({"stats", "set", "--server", "MX1", "--section", "SMTP", "--file", "M2026M05D01", "--key",
                     "Hits", "--value", "42"});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(set.out, "");
  EXPECT_EQ(ReadText("System/STATSROOT/Servers/MX1/M2026M05D01.INI"), "[SMTP]\r\nHits=42\r\n");
  Run({"stats", "set", "--server", "MX1", "--section", "SMTP", "--file", "M2026M05D01", "--key", "a=b", "--value",
       "x y"});

  Outcome get = Run({"stats", "get", "--server", "MX1", "--section", "SMTP", "--file", "M2026M05D01", "--key", "Hits"});
  EXPECT_EQ(get.exitCode, 0);
  EXPECT_EQ(get.out, "42\n");

  Outcome list = Run({"stats", "get", "--server", "MX1", "--section", "SMTP", "--file", "M2026M05D01"});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.out, "Hits\na:b\n");

  Outcome json = Run({"--json", "stats", "get", "--server", "MX1", "--section", "SMTP", "--file", "M2026M05D01",
                      "--key", "a:b"});
  EXPECT_EQ(json.exitCode, 0);
  const auto object = nlohmann::json::parse(json.out);
  EXPECT_EQ(object["ok"], true);
  EXPECT_EQ(object["value"], "x y");
  // --json may also follow the command.
  Outcome listJson = Run({"stats", "get", "--server", "MX1", "--section", "SMTP", "--file", "M2026M05D01", "--json"});
  EXPECT_EQ(nlohmann::json::parse(listJson.out)["keys"], (std::vector<std::string>{"Hits", "a:b"}));

  Outcome missing = Run({"stats", "get", "--server", "MX1", "--section", "SMTP", "--file", "M2026M05D01", "--key", "none"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("no value"), std::string::npos);

  Outcome remove = Run({"stats", "set", "--server", "MX1", "--section", "SMTP", "--file", "M2026M05D01", "--key",
                        "Hits", "--remove"});
  EXPECT_EQ(remove.exitCode, 0);
  EXPECT_EQ(ReadText("System/STATSROOT/Servers/MX1/M2026M05D01.INI"), "[SMTP]\r\na:b=x y\r\n");
}

TEST_F(TallowmereStatsCliTest, LongValuesComeBackWhole) {
  const std::string value(5000, 'v');
  EXPECT_EQ(Run({"stats", "set", "--server", "MX1", "--section", "S", "--file", "F", "--key", "k", "--value", value})
                .exitCode,
            0);
  EXPECT_EQ(Run({"stats", "get", "--server", "MX1", "--section", "S", "--file", "F", "--key", "k"}).out, value + "\n");
}

TEST_F(TallowmereStatsCliTest, FlagsAndPostoffices) {
  Outcome refused = Run({"stats", "set", "--server", "MX1", "--postoffice", "acme", "--section", "S", "--file", "F",
                         "--key", "k", "--value", "1"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("refused"), std::string::npos);
  EXPECT_FALSE(Exists("acme"));

  EXPECT_EQ(Run({"stats", "flag", "set", "--server", "MX1", "--postoffice", "acme", "--section", "S", "--file", "F",
                 "--key", "State", "--value", "[COMPLETE]"})
                .exitCode,
            0);
  EXPECT_EQ(ReadText("acme/STATSROOT/Flags/Servers/MX1/F.INI"), "[S]\r\nState=[COMPLETE]\r\n");
  Outcome flag = Run({"stats", "flag", "get", "--server", "MX1", "--scope", "1", "--postoffice", "acme", "--section",
                      "S", "--file", "F", "--key", "State"});
  EXPECT_EQ(flag.out, "[COMPLETE]\n");
  // Explicit system scope ignores the postoffice.
  EXPECT_EQ(Run({"stats", "flag", "get", "--server", "MX1", "--scope", "system", "--postoffice", "acme", "--section",
                 "S", "--file", "F", "--key", "State"})
                .exitCode,
            1);
}

TEST_F(TallowmereStatsCliTest, SummaryAndPurge) {
  for (const char* day : {"M2026M05D01", "M2026M05D02"}) {
    Run({"stats", "set", "--server", "MX1", "--section", "SMTP", "--file", day, "--key", "k", "--value", "1,2"});
  }
  Outcome summary = Run({"--json", "stats", "summary", "--server", "MX1", "--section", "SMTP", "--period", "M2026M05"});
  EXPECT_EQ(summary.exitCode, 0);
  const auto object = nlohmann::json::parse(summary.out);  // the library's console lines are on stderr
  EXPECT_EQ(object["state"], -1);
  EXPECT_EQ(object["stateName"], "partial");
  EXPECT_NE(summary.err.find("Section: k"), std::string::npos);
  EXPECT_EQ(Run({"stats", "get", "--server", "MX1", "--section", "SMTP", "--file", "M2026M05", "--key", "k"}).out,
            "2.000000,4.000000\n");
  EXPECT_EQ(Run({"stats", "flag", "get", "--server", "MX1", "--section", "SMTP", "--file", "M2026M05", "--key",
                 "State"})
                .out,
            "[PARTIAL]\n");

  Outcome bad = Run({"stats", "summary", "--server", "MX1", "--section", "SMTP", "--period", "nonsense"});
  EXPECT_EQ(bad.exitCode, 1);

  EXPECT_EQ(Run({"stats", "purge", "--before", "X2026X05D01"}).exitCode, 0);
  EXPECT_FALSE(Exists("System/STATSROOT/Servers/MX1/M2026M05D01.INI"));
  EXPECT_TRUE(Exists("System/STATSROOT/Servers/MX1/M2026M05D02.INI"));
  EXPECT_EQ(Run({"stats", "purge", "--before", "yesterday"}).exitCode, 1);
  EXPECT_EQ(Run({"stats", "purge", "--all"}).exitCode, 0);
  EXPECT_FALSE(Exists("System/STATSROOT"));
}

TEST_F(TallowmereStatsCliTest, UsageErrorsAndHelp) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {{}, 2},
      {{"stats"}, 2},
      {{"stats", "purge"}, 2},
      {{"stats", "purge", "--all", "--before", "X2026X05D01"}, 2},
      {{"stats", "get", "--file", "F"}, 2},
      {{"stats", "set", "--section", "S", "--file", "F", "--key", "k"}, 2},
      {{"stats", "get", "--section", "S", "--file", "F", "--scope", "galaxy"}, 2},
      {{"stats", "frobnicate"}, 2},
  };
  for (const Case& c : cases) {
    Outcome outcome = Run(c.args);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << ::testing::PrintToString(c.args);
    EXPECT_FALSE(outcome.err.empty()) << ::testing::PrintToString(c.args);
  }
  const std::vector<std::vector<std::string>> helps = {
      {"--help"},           {"stats", "--help"},          {"stats", "get", "--help"},
      {"stats", "set", "--help"}, {"stats", "flag", "--help"}, {"stats", "flag", "get", "--help"},
      {"stats", "flag", "set", "--help"}, {"stats", "summary", "--help"}, {"stats", "purge", "--help"},
  };
  for (const auto& args : helps) {
    Outcome outcome = Run(args);
    EXPECT_EQ(outcome.exitCode, 0) << ::testing::PrintToString(args);
    EXPECT_NE(outcome.out.find("Usage"), std::string::npos) << ::testing::PrintToString(args);
  }
}

TEST_F(TallowmereStatsCliTest, MissingLibraryIsExitCodeThree) {
  Outcome outcome = Run({"--library-dir", base_ + "/nowhere", "stats", "purge", "--all"});
  EXPECT_EQ(outcome.exitCode, 3);
  EXPECT_NE(outcome.err.find("libstatslog.so"), std::string::npos);
  setenv("TALLOWMERE_LIBRARY_DIR", (base_ + "/nowhere").c_str(), 1);
  EXPECT_EQ(Run({"stats", "purge", "--all"}).exitCode, 3);
  unsetenv("TALLOWMERE_LIBRARY_DIR");
}

}  // namespace
}  // namespace tallowmere::stats::testing
