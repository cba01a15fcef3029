// File faults injected under the platform layer: a disk that fills up or
// turns read-only in the middle of a write, a failing rename, a lock that
// cannot be taken, a file that cannot be opened, a registry file that
// vanishes. Each time the operation reports failure with the injected error,
// the old file stays byte for byte as it was and readable, and no temporary
// file is left behind. Countdown loops fail the 1st, 2nd, ... operation of a
// whole sequence of writes until none fails.
#include "platform/fault_injection.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/last_error.h"
#include "platform/registry.h"
#include "support/scratch_dir.h"

namespace tallowmere::platform {
namespace {

using testing::ScratchDir;

// Disarms whatever a test armed, also when an assertion returns early.
struct Disarm {
  ~Disarm() { DisarmFileFault(); }
};

std::string Value(const std::string& file, const char* section, const char* key) {
  char buffer[256];
  size_t n = IniGetString(file, section, key, "<missing>", buffer, sizeof buffer);
  return std::string(buffer, n);
}

class FileFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IniClearCache();
    ScratchDir::Write(file_, old_);
  }
  // The file as it was, read through the layer (cached and cold) and as bytes;
  // and nothing but the file in its directory.
  void ExpectUntouched() {
    EXPECT_EQ(ScratchDir::Read(file_), old_);
    EXPECT_EQ(Value(file_, "Totals", "Count"), "7");
    IniClearCache();
    EXPECT_EQ(Value(file_, "Totals", "Count"), "7");
    EXPECT_EQ(ScratchDir::List(dir_.path()), std::vector<std::string>{"F.INI"});
  }

  ScratchDir dir_;
  std::string file_ = dir_ / "F.INI";
  std::string old_ = "[Totals]\r\nCount=7\r\nBytes=1024\r\n[Other]\r\nx=1\r\n";
};

struct FaultCase {
  const char* name;
  FileOperation operation;
  int error;
};

class IniWriteFaultTest : public FileFaultTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(IniWriteFaultTest, WriteFailsAndOldFileStays) {
  Disarm disarm;
  const FaultCase& c = GetParam();
  ArmFileFault({.failAt = 1, .error = c.error, .operations = c.operation});
  SetLastError(0);
  EXPECT_FALSE(IniWriteString(file_, "Totals", "Count", "8"));
  EXPECT_EQ(LastError(), c.error);
  EXPECT_EQ(InjectedFileFaults(), 1u);
  DisarmFileFault();
  ExpectUntouched();

  // The same fault on a batch of edits, a removal and a new section.
  ArmFileFault({.failAt = 1, .error = c.error, .operations = c.operation});
  EXPECT_FALSE(IniWriteStrings(file_, "Totals", {{"Count", "9"}, {"New", "1"}, {"Bytes", std::nullopt}}));
  ArmFileFault({.failAt = 1, .error = c.error, .operations = c.operation});
  EXPECT_FALSE(IniWriteString(file_, "Totals", "Bytes", nullptr));
  ArmFileFault({.failAt = 1, .error = c.error, .operations = c.operation});
  EXPECT_FALSE(IniWriteString(file_, "Added", "k", "v"));
  DisarmFileFault();
  ExpectUntouched();

  // Once the fault is gone the same write succeeds.
  EXPECT_TRUE(IniWriteString(file_, "Totals", "Count", "8"));
  EXPECT_EQ(Value(file_, "Totals", "Count"), "8");
}

TEST_P(IniWriteFaultTest, NewFileIsNotCreatedHalfWay) {
  Disarm disarm;
  const FaultCase& c = GetParam();
  std::string fresh = dir_ / "NEW.INI";
  ArmFileFault({.failAt = 1, .error = c.error, .operations = c.operation});
  EXPECT_FALSE(IniWriteString(fresh, "S", "k", "v"));
  DisarmFileFault();
  EXPECT_FALSE(ScratchDir::Exists(fresh));
  EXPECT_EQ(Value(fresh, "S", "k"), "<missing>");
  ExpectUntouched();

  ArmFileFault({.failAt = 1, .error = c.error, .operations = c.operation});
  EXPECT_FALSE(ReplaceFileContents(fresh, "x"));
  ArmFileFault({.failAt = 1, .error = c.error, .operations = c.operation});
  EXPECT_FALSE(ReplaceFileContents(file_, "x"));
  DisarmFileFault();
  EXPECT_FALSE(ScratchDir::Exists(fresh));
  ExpectUntouched();
}

INSTANTIATE_TEST_SUITE_P(Faults, IniWriteFaultTest,
                         ::testing::Values(FaultCase{"DiskFullWhileWriting", kFileWrite, ENOSPC},
                                           FaultCase{"ReadOnlyWhenCreating", kFileCreate, EROFS},
                                           FaultCase{"DiskFullWhenCreating", kFileCreate, ENOSPC},
                                           FaultCase{"RenameFails", kFileRename, EIO},
                                           FaultCase{"ReadOnlyAtRename", kFileRename, EROFS},
                                           FaultCase{"LockNotObtained", kFileLock, ENOLCK}),
                         [](const auto& info) { return std::string(info.param.name); });

// A read that cannot open the file gives the default, and the next read,
// once the fault is gone, sees the file again (a failed read is not cached).
TEST_F(FileFaultTest, FailedOpenReadsAsMissingThenRecovers) {
  Disarm disarm;
  ArmFileFault({.failAt = 1, .error = EMFILE, .operations = kFileOpen, .persistent = true});
  EXPECT_EQ(Value(file_, "Totals", "Count"), "<missing>");
  EXPECT_FALSE(IniWriteString(file_, "Totals", "Count", "8"));  // reads the file before changing it
  DisarmFileFault();
  ExpectUntouched();
}

// Countdown: fail the Nth operation (and, for a disk that stays full, every
// later one) of a sequence of writes, for N = 1, 2, ... until no fault fires.
// After each run every value is either the old or the new one: no write is
// half done, the file always parses, and no temporary file is left.
TEST_F(FileFaultTest, CountdownOverASequenceOfWrites) {
  Disarm disarm;
  for (bool persistent : {false, true}) {
    bool done = false;
    for (uint64_t n = 1; !done && n < 1000; ++n) {
      IniClearCache();
      ScratchDir::Write(file_, old_);
      std::string other = dir_ / "SUB";
      ArmFileFault({.failAt = n, .error = ENOSPC, .persistent = persistent});
      std::vector<bool> ok;
      ok.push_back(IniWriteString(file_, "Totals", "Count", "8"));
      ok.push_back(IniWriteStrings(file_, "Totals", {{"Bytes", "2048"}, {"Added", "yes"}}));
      ok.push_back(IniWriteString(file_, "New", "k", "v"));
      ok.push_back(IniWriteString(file_, "Other", nullptr, nullptr));
      ok.push_back(MakeDirectory(other));
      ok.push_back(ok.back() && IniWriteString(other + "/S.INI", "S", "k", "v"));
      done = InjectedFileFaults() == 0;
      DisarmFileFault();
      SCOPED_TRACE("fault at operation " + std::to_string(n) + (persistent ? " (persistent)" : ""));
      if (done) {
        for (bool b : ok) EXPECT_TRUE(b);
      }
      IniClearCache();
      std::map<std::string, std::string> expect = {
          {"Count", ok[0] ? "8" : "7"}, {"Bytes", ok[1] ? "2048" : "1024"}, {"Added", ok[1] ? "yes" : "<missing>"}};
      for (const auto& [key, value] : expect) EXPECT_EQ(Value(file_, "Totals", key.c_str()), value) << key;
      EXPECT_EQ(Value(file_, "New", "k"), ok[2] ? "v" : "<missing>");
      EXPECT_EQ(Value(file_, "Other", "x"), ok[3] ? "<missing>" : "1");
      EXPECT_EQ(Value(other + "/S.INI", "S", "k"), ok[5] ? "v" : "<missing>");
      for (const std::string& name : ScratchDir::List(dir_.path())) {
        EXPECT_TRUE(name == "F.INI" || name == "SUB") << "left behind: " << name;
      }
      if (ScratchDir::Exists(other)) {
        for (const std::string& name : ScratchDir::List(other)) EXPECT_EQ(name, "S.INI");
        std::filesystem::remove_all(other);
      }
    }
    EXPECT_TRUE(done) << "the countdown never ran out of faults";
  }
}

// Deletion and directory creation report the injected error and change nothing.
TEST_F(FileFaultTest, DeleteAndMakeDirectoryFail) {
  Disarm disarm;
  ArmFileFault({.failAt = 1, .error = EROFS, .operations = kFileDelete | kFileMakeDirectory, .persistent = true});
  EXPECT_FALSE(DeleteFile(file_));
  EXPECT_EQ(LastError(), EROFS);
  EXPECT_FALSE(MakeDirectory(dir_ / "D"));
  EXPECT_EQ(LastError(), EROFS);
  DisarmFileFault();
  ExpectUntouched();
}

// A registry file that cannot be read, or vanishes, reads as absent values;
// once it can be read again its values are back.
TEST_F(FileFaultTest, RegistryFileUnreadableOrVanishingThenBack) {
  Disarm disarm;
  std::string reg = dir_ / "r.reg";
  std::string content = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n\"Mail Root\"=\"/srv/mail\"\r\n";
  ScratchDir::Write(reg, content);
  setenv("TALLOWMERE_REGISTRY", reg.c_str(), 1);
  ASSERT_TRUE(ReadRegistryValue("SOFTWARE\\T", "Mail Root"));
  ScratchDir::Write(reg, content + "\"Other\"=dword:00000001\r\n");  // changed: must be read again
  ArmFileFault({.failAt = 1, .error = EACCES, .operations = kFileOpen, .persistent = true});
  EXPECT_FALSE(ReadRegistryValue("SOFTWARE\\T", "Mail Root"));
  DisarmFileFault();
  auto value = ReadRegistryValue("SOFTWARE\\T", "Other");
  ASSERT_TRUE(value) << "a failed read of the registry file must not stick";
  EXPECT_EQ(value->type, kRegDword);

  ASSERT_TRUE(DeleteFile(reg));
  EXPECT_FALSE(ReadRegistryValue("SOFTWARE\\T", "Mail Root"));
  ScratchDir::Write(reg, content);
  EXPECT_TRUE(ReadRegistryValue("SOFTWARE\\T", "Mail Root"));
  unsetenv("TALLOWMERE_REGISTRY");
}

// The hook counts only the kinds asked for and is inert when disarmed.
TEST(FileFaultHook, CountsOnlyArmedKinds) {
  Disarm disarm;
  ScratchDir dir;
  ArmFileFault({.failAt = 0, .operations = kFileRename});
  ASSERT_TRUE(IniWriteString(dir / "A.INI", "S", "k", "v"));
  ASSERT_TRUE(IniWriteString(dir / "A.INI", "S", "k", "w"));
  EXPECT_EQ(CountedFileOperations(), 2u);
  EXPECT_EQ(InjectedFileFaults(), 0u);
  DisarmFileFault();
  ASSERT_TRUE(IniWriteString(dir / "A.INI", "S", "k", "x"));
  EXPECT_EQ(CountedFileOperations(), 2u);
}

}  // namespace
}  // namespace tallowmere::platform
