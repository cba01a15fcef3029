// A private statistics world for one test: a temporary directory holding the
// mail root, a registry file naming it, the drive directory and the event-log
// file, all passed to the library through its environment variables.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/ini_file.h"
#include "statslog/stats/mail_root.h"

namespace tallowmere::stats::testing {

namespace fs = std::filesystem;

class StatsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tallowmere-stats-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    base_ = pattern;
    mailRoot_ = base_ + "/mail";
    fs::create_directories(mailRoot_);
    fs::create_directories(base_ + "/drives");
    WriteRegistry("\"Mail Root\"=\"" + mailRoot_ + "\"\n");
    setenv("TALLOWMERE_REGISTRY", (base_ + "/registry.reg").c_str(), 1);
    setenv("TALLOWMERE_DRIVES", (base_ + "/drives").c_str(), 1);
    setenv("TALLOWMERE_EVENTLOG", (base_ + "/events.jsonl").c_str(), 1);
    ResetMailRootForTests();
    platform::IniClearCache();
  }

  void TearDown() override {
    std::error_code ignored;
    // Read-only files and directories must not keep the tree alive.
    for (auto it = fs::recursive_directory_iterator(base_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
      if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(base_, ignored);
  }

  // Replaces the registry file's Tallowmere key with `values` lines.
  void WriteRegistry(const std::string& values) {
    std::ofstream out(base_ + "/registry.reg", std::ios::binary | std::ios::trunc);
    out << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]\r\n" << values << "\r\n";
  }

  // A path below the mail root, "/" separated.
  std::string Native(const std::string& relative) const { return mailRoot_ + "/" + relative; }
  bool Exists(const std::string& relative) const { return fs::exists(fs::symlink_status(Native(relative))); }

  std::string ReadText(const std::string& relative) const {
    std::ifstream in(Native(relative), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  void WriteText(const std::string& relative, const std::string& text) const {
    fs::create_directories(fs::path(Native(relative)).parent_path());
    std::ofstream out(Native(relative), std::ios::binary | std::ios::trunc);
    out << text;
  }

  void MakeDirectories(const std::string& relative) const { fs::create_directories(Native(relative)); }

  // Every entry below the mail root, relative and sorted ("/" separated).
  std::vector<std::string> Tree() const {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(mailRoot_)) {
      entries.push_back(fs::relative(entry.path(), mailRoot_).string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
  }

  // The event-log entries written so far.
  std::vector<nlohmann::json> Events() const {
    std::vector<nlohmann::json> events;
    std::ifstream in(base_ + "/events.jsonl");
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) events.push_back(nlohmann::json::parse(line));
    }
    return events;
  }

  std::string base_;
  std::string mailRoot_;
};

}  // namespace tallowmere::stats::testing
