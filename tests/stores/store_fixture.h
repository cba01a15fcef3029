// Test fixture for the store libraries: per test, a fresh database on one
// backend (engine and connection mode), a registry file pointing at it, the
// library loaded from it with a logging callback that collects the lines,
// and a direct ODBC connection to the same database.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "store_library.h"
#include "tallowmere/listprov.h"
#include "tallowmere/logging_callback.h"
#include "tallowmere/smtpprov.h"

namespace tallowmere::testing {

// Lines handed to the logging callback of every library loaded in the process.
struct LoggedLine {
  int32_t level;
  std::string text;
};
std::vector<LoggedLine> TakeLoggedLines();
int32_t CollectLine(int32_t ctx1, int32_t ctx2, int32_t ctx3, int32_t level, const char* text);

class StoreTest : public ::testing::TestWithParam<Backend> {
 protected:
  explicit StoreTest(std::string library) : library_(std::move(library)) {}
  void SetUp() override;
  void TearDown() override;

  bool Shared() const { return GetParam().mode == ConnectionMode::kShared; }
  Engine engine() const { return GetParam().engine; }
  // Database rejections in shared mode cost the library a 20-second recycle
  // of its connection; tests that provoke one run in per-call mode only.
  bool SkipRejectionInSharedMode() const { return Shared(); }

  template <typename F>
  F Fn(const char* name) {
    auto fn = lib_->Get<F>(name);
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  int64_t Count(const std::string& table) { return db_->QueryInt("SELECT COUNT(*) FROM " + table); }
  bool Sqlite() const { return engine() == Engine::kSqlite; }
  // Drops a unique index of the schema, so that a test can hold rows that
  // would collide with it.
  void DropIndex(const std::string& table, const std::string& index) {
    ASSERT_TRUE(db_->Exec(Sqlite() ? "DROP INDEX " + index : "ALTER TABLE " + table + " DROP INDEX " + index))
        << db_->lastError();
  }

  std::string library_;
  // Appended to the SQLite connection string of the library and of db_ (for
  // example ";SyncPragma=OFF" for a test that writes many rows and does not
  // test durability).
  std::string sqliteOptions_;
  TempDir dir_;
  std::string connection_;
  std::unique_ptr<StoreLibrary> lib_;
  std::unique_ptr<DirectOdbc> db_;
};

// Text helpers for fixed-size record fields.
template <size_t N>
void Put(char (&field)[N], const std::string& value) {
  std::memset(field, 0, N);
  std::memcpy(field, value.data(), std::min(value.size(), N - 1));
}
template <size_t N>
std::string Text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// A list record with no field given: texts empty, every integer -1.
ListRecord NoListCriteria();

// Records with the given fields set; integers not named are -1 (not given).
ListMemberRecord Member(const std::string& address, const std::string& postoffice, const std::string& mailbox);
SMTPAccessRecord Rule(int32_t mode, const std::string& mask, int32_t status = -1, const std::string& account = "",
                      const std::string& right = "");
SMTPBlacklistRecord Entry(const std::string& target, const std::string& banned, int32_t status = -1,
                          const std::string& account = "");

// The six exports of a record family, found in a loaded library by their
// name prefix ("List", "SMTPAccess", ...); a missing one fails the test.
template <typename R>
struct FamilyExports {
  int32_t (*add)(const R*) = nullptr;
  int32_t (*get)(R*) = nullptr;
  int32_t (*edit)(const R*, const R*) = nullptr;
  int32_t (*remove)(const R*) = nullptr;
  int32_t (*findFirst)(R*) = nullptr;
  int32_t (*findNext)(R*) = nullptr;
};
template <typename R>
FamilyExports<R> ResolveFamily(const StoreLibrary& lib, const std::string& prefix) {
  FamilyExports<R> f{lib.Get<int32_t (*)(const R*)>((prefix + "Add").c_str()),
                     lib.Get<int32_t (*)(R*)>((prefix + "Get").c_str()),
                     lib.Get<int32_t (*)(const R*, const R*)>((prefix + "Edit").c_str()),
                     lib.Get<int32_t (*)(const R*)>((prefix + "Remove").c_str()),
                     lib.Get<int32_t (*)(R*)>((prefix + "FindFirst").c_str()),
                     lib.Get<int32_t (*)(R*)>((prefix + "FindNext").c_str())};
  EXPECT_TRUE(f.add && f.get && f.edit && f.remove && f.findFirst && f.findNext) << prefix;
  return f;
}

// All bytes 1..255 in order, cut into pieces of at most `width - 1`.
std::vector<std::string> EveryByteIn(size_t width);
// Values that try to end the literal or the statement.
const std::vector<std::string>& HostileValues();

}  // namespace tallowmere::testing
