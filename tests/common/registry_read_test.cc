// Registry readers through fixed buffers, over a registry file written here.
#include "common/registry_read.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace tallowmere {
namespace {

namespace fs = std::filesystem;

class RegistryReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/registry_read_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    const std::string path = dir_ + "/registry.reg";
    std::ofstream(path, std::ios::binary)
        << "REGEDIT4\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Provider]\r\n"
           "\"Nine\"=\"123456789\"\r\n"
           "\"Empty\"=\"\"\r\n"
           "\"Number\"=dword:0000002a\r\n"
           "\"Two\"=hex:34,12\r\n"
           "\"Five\"=hex:01,02,03,04,05\r\n"
           "\"NoBytes\"=hex:\r\n"
           "\"Embedded\"=hex:61,00,62\r\n"
           "\"Unterminated\"=hex:61,62\r\n"
           "\"Text\"=\"1\"\r\n"
           "@=\"default\"\r\n"
           "\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tallowmere\\Provider]\r\n"
           "\"Nine\"=\"wow\"\r\n"
           "\"Number\"=dword:00000007\r\n";
    setenv("TALLOWMERE_REGISTRY", path.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TALLOWMERE_REGISTRY");
    fs::remove_all(dir_);
  }
  std::string dir_;
};

constexpr const char* kKey = "SOFTWARE\\Tallowmere\\Provider";

TEST_F(RegistryReadTest, StringReadsFitOrFail) {
  struct Case {
    const char* key;
    const char* name;
    size_t size;
    int result;
    const char* expected;
  } cases[] = {
      {kKey, "Nine", 10, 1, "123456789"},  // exactly size - 1 characters
      {kKey, "Nine", 9, 0, ""},            // one longer
      {kKey, "nine", 64, 1, "123456789"},
      {kKey, "Empty", 64, 1, ""},          // present but empty: found
      {kKey, "Missing", 64, 0, ""},
      {"SOFTWARE\\Nowhere", "Nine", 64, 0, ""},
      {kKey, "NoBytes", 64, 0, ""},        // zero bytes of data
      {kKey, "Number", 64, 1, "*"},        // the type is not checked
      {kKey, "Embedded", 64, 1, "a"},      // up to the first NUL
      {kKey, "Unterminated", 64, 1, "ab"}, // never beyond the stored data
      {kKey, "Unterminated", 2, 1, "a"},   // 2 bytes fit size 2; 1 character copied
      {kKey, "Five", 4, 0, ""},            // 5 bytes do not fit size 4
      {kKey, "", 64, 1, "default"},
      {kKey, nullptr, 64, 1, "default"},
      // The Wow6432Node part is removed, in any letter case.
      {"SOFTWARE\\WOW6432NODE\\TALLOWMERE\\Provider", "Nine", 64, 1, "123456789"},
  };
  for (const auto& c : cases) {
    char dst[64];
    std::strcpy(dst, "old");
    EXPECT_EQ(ReadRegistryString(c.key, c.name, dst, c.size), c.result) << c.key << " " << (c.name ? c.name : "(null)") << " " << c.size;
    EXPECT_STREQ(dst, c.expected) << c.key << " " << (c.name ? c.name : "(null)") << " " << c.size;
  }
  char dst[4] = "old";
  EXPECT_EQ(ReadRegistryString(kKey, "Nine", dst, 0), 0);
  EXPECT_STREQ(dst, "old");
}

TEST_F(RegistryReadTest, DwordReadsRawBytes) {
  struct Case {
    const char* key;
    const char* name;
    int result;
    uint32_t expected;  // 0xFFFFFFFF: dst unchanged
  } cases[] = {
      {kKey, "Number", 1, 42},
      {kKey, "number", 1, 42},
      {kKey, "Two", 1, 0x1234},     // a shorter value fills the low bytes
      {kKey, "Text", 1, 0x31},      // "1" and its NUL
      {kKey, "NoBytes", 1, 0},
      {kKey, "Five", 0, 0xFFFFFFFF},  // more than 4 bytes
      {kKey, "Nine", 0, 0xFFFFFFFF},
      {kKey, "Missing", 0, 0xFFFFFFFF},
      {"", "Number", 0, 0xFFFFFFFF},
      {nullptr, "Number", 0, 0xFFFFFFFF},
      // The path is used unchanged: the Wow6432Node key itself is read.
      {"SOFTWARE\\Wow6432Node\\Tallowmere\\Provider", "Number", 1, 7},
  };
  for (const auto& c : cases) {
    uint32_t dst = 0xFFFFFFFF;
    EXPECT_EQ(ReadRegistryDword(c.key, c.name, &dst), c.result) << (c.key ? c.key : "(null)") << " " << c.name;
    EXPECT_EQ(dst, c.expected) << (c.key ? c.key : "(null)") << " " << c.name;
  }
  EXPECT_EQ(ReadRegistryDword(kKey, "Number", nullptr), 0);
}

}  // namespace
}  // namespace tallowmere
