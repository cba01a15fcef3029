// Registry file reader: both .reg formats, UTF-8, value kinds, case rules,
// malformed lines and hostile files.
#include "platform/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace tallowmere::platform {
namespace {

namespace fs = std::filesystem;

// UTF-16LE bytes of UTF-8 text (BMP and surrogate pairs), without BOM.
std::string Utf16Le(std::string_view utf8) {
  std::string out;
  auto put = [&](char16_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    char32_t cp;
    size_t n;
    if (c < 0x80) { cp = c; n = 1; }
    else if (c < 0xE0) { cp = c & 0x1F; n = 2; }
    else if (c < 0xF0) { cp = c & 0x0F; n = 3; }
    else { cp = c & 0x07; n = 4; }
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(static_cast<char16_t>(0xD800 + (cp >> 10)));
      put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      put(static_cast<char16_t>(cp));
    }
  }
  return out;
}

// LF line ends to CR LF.
std::string Crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/registry_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    unsetenv("TALLOWMERE_REGISTRY");
    fs::remove_all(dir_);
  }

  // Installs a registry file with exactly these bytes. Every call writes a new
  // file, so the reader sees a new identity.
  void Use(const std::string& bytes) {
    const std::string path = dir_ + "/r" + std::to_string(++files_) + ".reg";
    std::ofstream(path, std::ios::binary) << bytes;
    setenv("TALLOWMERE_REGISTRY", path.c_str(), 1);
  }
  void UseVersion5(std::string_view utf8Body) {
    Use("\xFF\xFE" + Utf16Le(Crlf("Windows Registry Editor Version 5.00\n\n" + std::string(utf8Body))));
  }
  void UseRegedit4(std::string_view body) { Use(Crlf("REGEDIT4\n\n" + std::string(body))); }

  // The data of a value, or "<missing>".
  static std::string Data(std::string_view key, std::string_view name) {
    auto value = ReadRegistryValue(key, name);
    return value ? value->data : std::string("<missing>");
  }
  static uint32_t Type(std::string_view key, std::string_view name) {
    auto value = ReadRegistryValue(key, name);
    return value ? value->type : 0xFFFFFFFF;
  }

  std::string dir_;
  int files_ = 0;
};

using namespace std::string_literals;

// One body read in both formats must give the same values.
constexpr std::string_view kBody =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Provider]\n"
    "\"Server\"=\"db.example.com\"\n"
    "\"Empty\"=\"\"\n"
    "@=\"default text\"\n"
    "\"Quote\"=\"say \\\"hi\\\" to C:\\\\dir\\\\\"\n"
    "\"Odd Escape\"=\"a\\nb\"\n"
    "\"Port\"=dword:00000cea\n"
    "\"Upper\"=dword:DEADBEEF\n"
    "\"Bin\"=hex:0a,ff,00,7F\n"
    "\"EmptyBin\"=hex:\n"
    "\"Qword\"=hex(b):2a,00,00,00,00,00,00,00\n"
    "\"None\"=hex(0):\n"
    "  \"Blanks\"  =  \"x\"\n"
    "\"Removed\"=-\n"
    "; \"Comment\"=\"no\"\n"
    "\n"
    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\n"
    "\"AfterRemoval\"=\"no\"\n"
    "\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Tallowmere\\Provider]\n"
    "\"User\"=\"no\"\n"
    "\n"
    "[HKLM\\SOFTWARE\\Short]\n"
    "\"Name\"=\"short hive\"\n";

struct ValueCase {
  const char* key;
  const char* name;
  std::string data;
  uint32_t type;
};

const ValueCase kValueCases[] = {
    {"SOFTWARE\\Tallowmere\\Provider", "Server", "db.example.com\0"s, kRegSz},
    {"software\\TALLOWMERE\\provider", "SERVER", "db.example.com\0"s, kRegSz},
    {"SOFTWARE\\Tallowmere\\Provider", "Empty", "\0"s, kRegSz},
    {"SOFTWARE\\Tallowmere\\Provider", "", "default text\0"s, kRegSz},
    {"SOFTWARE\\Tallowmere\\Provider", "@", "default text\0"s, kRegSz},
    {"SOFTWARE\\Tallowmere\\Provider", "Quote", "say \"hi\" to C:\\dir\\\0"s, kRegSz},
    {"SOFTWARE\\Tallowmere\\Provider", "Odd Escape", "a\\nb\0"s, kRegSz},
    {"SOFTWARE\\Tallowmere\\Provider", "Port", "\xea\x0c\0\0"s, kRegDword},
    {"SOFTWARE\\Tallowmere\\Provider", "Upper", "\xef\xbe\xad\xde"s, kRegDword},
    {"SOFTWARE\\Tallowmere\\Provider", "Bin", "\x0a\xff\x00\x7f"s, kRegBinary},
    {"SOFTWARE\\Tallowmere\\Provider", "EmptyBin", "", kRegBinary},
    {"SOFTWARE\\Tallowmere\\Provider", "Qword", "\x2a\0\0\0\0\0\0\0"s, kRegQword},
    {"SOFTWARE\\Tallowmere\\Provider", "None", "", kRegNone},
    {"SOFTWARE\\Tallowmere\\Provider", "Blanks", "x\0"s, kRegSz},
    {"SOFTWARE\\Short", "name", "short hive\0"s, kRegSz},
};

const char* const kMissing[][2] = {
    {"SOFTWARE\\Tallowmere\\Provider", "Missing"},
    {"SOFTWARE\\Tallowmere\\Provider", "Removed"},
    {"SOFTWARE\\Tallowmere\\Provider", "Comment"},
    {"SOFTWARE\\Tallowmere\\Provider", "User"},
    {"SOFTWARE\\Gone", "AfterRemoval"},
    {"SOFTWARE\\Tallowmere", "Server"},
    {"SOFTWARE\\Tallowmere\\Provider\\Sub", "Server"},
};

TEST_F(RegistryTest, ValuesReadTheSameInBothFormats) {
  for (bool version5 : {false, true}) {
    SCOPED_TRACE(version5 ? "version 5.00" : "REGEDIT4");
    version5 ? UseVersion5(kBody) : UseRegedit4(kBody);
    for (const auto& c : kValueCases) {
      SCOPED_TRACE(std::string(c.key) + " / " + c.name);
      EXPECT_EQ(Data(c.key, c.name), c.data);
      EXPECT_EQ(Type(c.key, c.name), c.type);
    }
    for (const auto& m : kMissing) {
      SCOPED_TRACE(std::string(m[0]) + " / " + m[1]);
      EXPECT_FALSE(ReadRegistryValue(m[0], m[1]).has_value());
    }
  }
}

TEST_F(RegistryTest, KeysAndTheirParentsExist) {
  UseRegedit4(kBody);
  EXPECT_TRUE(RegistryKeyExists("SOFTWARE\\Tallowmere\\Provider"));
  EXPECT_TRUE(RegistryKeyExists("software\\tallowmere"));  // a parent
  EXPECT_TRUE(RegistryKeyExists("SOFTWARE"));
  EXPECT_FALSE(RegistryKeyExists("SOFTWARE\\Tallow"));  // a prefix, not a parent
  EXPECT_FALSE(RegistryKeyExists("SOFTWARE\\Gone"));
  EXPECT_FALSE(RegistryKeyExists("SOFTWARE\\Tallowmere\\Provider\\Sub"));
}

TEST_F(RegistryTest, TextIsConvertedToCodePage1252) {
  // é (E9 in 1252), € (80 in 1252), a character 1252 lacks, one outside the BMP.
  constexpr std::string_view body =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n\"Text\"=\"caf\xC3\xA9 \xE2\x82\xAC \xD0\x96 \xF0\x9F\x98\x80\"\n"
      "\"Caf\xC3\xA9\"=\"name\"\n";
  const std::string expected = "caf\xE9 \x80 ? ?\0"s;
  UseVersion5(body);
  EXPECT_EQ(Data("SOFTWARE\\T", "Text"), expected);
  EXPECT_EQ(Data("SOFTWARE\\T", "Caf\xE9"), "name\0"s);
  // UTF-8 with and without byte-order mark.
  Use("\xEF\xBB\xBF" + std::string(body));
  EXPECT_EQ(Data("SOFTWARE\\T", "Text"), expected);
  Use(std::string(body));
  EXPECT_EQ(Data("SOFTWARE\\T", "Text"), expected);
  // REGEDIT4 8-bit bytes stay as they are.
  UseRegedit4("[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n\"Text\"=\"caf\xE9 \x80\"\n");
  EXPECT_EQ(Data("SOFTWARE\\T", "Text"), "caf\xE9 \x80\0"s);
}

TEST_F(RegistryTest, HexTextTypesFollowTheFormat) {
  // "ab" as expandable text and "a","b" as multi-text.
  UseVersion5(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n"
      "\"Expand\"=hex(2):61,00,62,00,00,00\n"
      "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
      "\"Bytes\"=hex:61,00,62,00\n"
      "\"TextAsHex\"=hex(1):e9,00,ac,20,00,00\n");
  EXPECT_EQ(Data("SOFTWARE\\T", "Expand"), "ab\0"s);
  EXPECT_EQ(Type("SOFTWARE\\T", "Expand"), kRegExpandSz);
  EXPECT_EQ(Data("SOFTWARE\\T", "Multi"), "a\0b\0\0"s);
  EXPECT_EQ(Type("SOFTWARE\\T", "Multi"), kRegMultiSz);
  EXPECT_EQ(Data("SOFTWARE\\T", "Bytes"), "a\0b\0"s);
  EXPECT_EQ(Data("SOFTWARE\\T", "TextAsHex"), "\xE9\x80\0"s);
  EXPECT_EQ(Type("SOFTWARE\\T", "TextAsHex"), kRegSz);
  UseRegedit4(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n"
      "\"Expand\"=hex(2):61,62,00\n"
      "\"Multi\"=hex(7):61,00,62,00,00\n");
  EXPECT_EQ(Data("SOFTWARE\\T", "Expand"), "ab\0"s);
  EXPECT_EQ(Data("SOFTWARE\\T", "Multi"), "a\0b\0\0"s);
}

TEST_F(RegistryTest, HexDataContinuesOverLines) {
  for (bool version5 : {false, true}) {
    const std::string body =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n"
        "\"Long\"=hex:00,01,02,\\\n"
        "  03,04,\\\n"
        "  05\n"
        "\"Next\"=\"after\"\n"
        "\"Path\"=\"C:\\\\\"\n"
        "\"NotContinued\"=\"yes\"\n";
    version5 ? UseVersion5(body) : UseRegedit4(body);
    EXPECT_EQ(Data("SOFTWARE\\T", "Long"), "\0\1\2\3\4\5"s);
    EXPECT_EQ(Data("SOFTWARE\\T", "Next"), "after\0"s);
    // A text ending in a backslash does not swallow the next line.
    EXPECT_EQ(Data("SOFTWARE\\T", "Path"), "C:\\\0"s);
    EXPECT_EQ(Data("SOFTWARE\\T", "NotContinued"), "yes\0"s);
  }
}

TEST_F(RegistryTest, LineEndsAndHeadersAreOptional) {
  // LF only, no header at all, trailing blanks.
  Use("[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]   \n\"A\"=\"1\"\t\n\"B\"=dword:2");
  EXPECT_EQ(Data("SOFTWARE\\T", "A"), "1\0"s);
  EXPECT_EQ(Data("SOFTWARE\\T", "B"), "\2\0\0\0"s);
}

TEST_F(RegistryTest, LaterValuesAndSectionsMerge) {
  UseRegedit4(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n\"A\"=\"1\"\n\"B\"=\"1\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\U]\n\"A\"=\"u\"\n"
      "[hkey_local_machine\\software\\t]\n\"a\"=\"2\"\n");
  EXPECT_EQ(Data("SOFTWARE\\T", "A"), "2\0"s);
  EXPECT_EQ(Data("SOFTWARE\\T", "B"), "1\0"s);
  EXPECT_EQ(Data("SOFTWARE\\U", "A"), "u\0"s);
}

TEST_F(RegistryTest, MalformedLinesAreSkipped) {
  const char* const bad[] = {
      "\"Unclosed\"=\"text",
      "\"Trailing\"=\"text\" junk",
      "\"NoEquals\" \"text\"",
      "\"BadDword\"=dword:xyz",
      "\"LongDword\"=dword:123456789",
      "\"EmptyDword\"=dword:",
      "\"BadHex\"=hex:0g,01",
      "\"WideHex\"=hex:100",
      "\"HoleHex\"=hex:01,,02",
      "\"BadType\"=hex(zz):01",
      "\"NoColon\"=hex",
      "\"Bare\"=text",
      "Unquoted=\"text\"",
      "\"NoData\"=",
  };
  std::string body = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n";
  for (const char* line : bad) body += std::string(line) + "\n";
  body += "\"Good\"=\"kept\"\n";
  // A malformed section line ends the section before it: what follows
  // belongs to no key.
  for (const char* section : {"[HKEY_LOCAL_MACHINEX\\SOFTWARE\\T]", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T", "[]"}) {
    body += std::string(section) + "\n\"Lost\"=\"x\"\n";
  }
  UseRegedit4(body);
  EXPECT_FALSE(ReadRegistryValue("SOFTWARE\\T", "Lost").has_value());
  for (const char* name : {"Unclosed", "Trailing", "NoEquals", "BadDword", "LongDword", "EmptyDword",
                           "BadHex", "WideHex", "HoleHex", "BadType", "NoColon", "Bare", "NoData"}) {
    EXPECT_FALSE(ReadRegistryValue("SOFTWARE\\T", name).has_value()) << name;
  }
  EXPECT_EQ(Data("SOFTWARE\\T", "Good"), "kept\0"s);
}

TEST_F(RegistryTest, MissingOrUnreadableFileMeansNoValues) {
  setenv("TALLOWMERE_REGISTRY", (dir_ + "/absent.reg").c_str(), 1);
  EXPECT_FALSE(ReadRegistryValue("SOFTWARE\\T", "A").has_value());
  EXPECT_FALSE(RegistryKeyExists("SOFTWARE"));
  setenv("TALLOWMERE_REGISTRY", dir_.c_str(), 1);  // a directory
  EXPECT_FALSE(ReadRegistryValue("SOFTWARE\\T", "A").has_value());
}

TEST_F(RegistryTest, PathComesFromTheEnvironment) {
  unsetenv("TALLOWMERE_REGISTRY");
  EXPECT_EQ(RegistryFilePath(), "/etc/tallowmere/registry.reg");
  setenv("TALLOWMERE_REGISTRY", "", 1);
  EXPECT_EQ(RegistryFilePath(), "/etc/tallowmere/registry.reg");
  setenv("TALLOWMERE_REGISTRY", "/x/y.reg", 1);
  EXPECT_EQ(RegistryFilePath(), "/x/y.reg");
}

TEST_F(RegistryTest, ChangedFileIsReadAgain) {
  const std::string path = dir_ + "/same.reg";
  setenv("TALLOWMERE_REGISTRY", path.c_str(), 1);
  std::ofstream(path, std::ios::binary) << "[HKLM\\S]\n\"A\"=\"1\"\n";
  EXPECT_EQ(Data("S", "A"), "1\0"s);
  // Same path, other content of another size, written in place.
  std::ofstream(path, std::ios::binary | std::ios::trunc) << "[HKLM\\S]\n\"A\"=\"22\"\n";
  EXPECT_EQ(Data("S", "A"), "22\0"s);
  fs::remove(path);
  EXPECT_EQ(Data("S", "A"), "<missing>");
}

// Hostile files: the reader returns what it can and neither crashes nor hangs.
TEST_F(RegistryTest, HostileFilesAreSurvived) {
  std::string garbage;
  uint32_t seed = 12345;
  for (int i = 0; i < 1 << 20; ++i) {
    seed = seed * 1103515245 + 12345;
    garbage += static_cast<char>(seed >> 16);
  }
  const std::string big(10 << 20, 'a');
  const std::vector<std::string> files = {
      garbage,
      "\xFF\xFE" + garbage,
      "\xEF\xBB\xBF" + garbage,
      "\xFF\xFE\x41",  // odd UTF-16 length
      "\xFF\xFE",
      "",
      "[HKLM\\S]\n\"A\"=\"" + big + "\"\n\"B\"=\"ok\"\n",
      "[HKLM\\S]\n\"A\"=\"" + big,  // no line end, unclosed
      "[HKLM\\" + big + "]\n\"B\"=\"ok\"\n",
      "[HKLM\\S]\n\"A\"=hex:" + std::string(1 << 20, ',') + "\n\"B\"=\"ok\"\n",
      "[HKLM\\S]\n\"A\"=hex:00,\\\n" + std::string(1 << 20, '\\') + "\n\"B\"=\"ok\"\n",
      "[HKLM\\S]\n" + std::string(1 << 20, '\n') + "\"B\"=\"ok\"\n",
      "[HKLM\\S]\n\"A\0B\"=\"x\0y\"\n\"B\"=\"ok\"\n"s,
      std::string(1 << 20, '['),
      std::string(1 << 20, '"'),
      "[HKLM\\S]\n" + std::string(1 << 20, '\\'),
  };
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE("file " + std::to_string(i));
    Use(files[i]);
    (void)ReadRegistryValue("S", "A");
    (void)RegistryKeyExists("S\\T");
  }
  // The good lines around the bad ones still count.
  Use(files[6]);
  EXPECT_EQ(Data("S", "B"), "ok\0"s);
  EXPECT_EQ(Data("S", "A").size(), big.size() + 1);
  Use(files[9]);
  EXPECT_EQ(Data("S", "B"), "ok\0"s);
  Use(files[12]);
  EXPECT_EQ(Data("S", "B"), "ok\0"s);
  EXPECT_EQ(Data("S", "A\0B"s), "x\0y\0"s);
}

// Valid files with random bytes changed, cut or repeated: whatever comes out,
// the reader survives (the sanitizer build checks every access).
TEST_F(RegistryTest, MutatedFilesAreSurvived) {
  const std::string regedit4 = Crlf("REGEDIT4\n\n" + std::string(kBody));
  const std::string version5 =
      "\xFF\xFE" + Utf16Le(Crlf("Windows Registry Editor Version 5.00\n\n" + std::string(kBody)));
  uint32_t seed = 987654321;
  auto next = [&seed] {
    seed = seed * 1664525 + 1013904223;
    return seed >> 8;
  };
  const char interesting[] = {'\\', '"', '[', ']', '=', ',', ':', '\n', '\r', '\0', '@', '-'};
  for (int round = 0; round < 400; ++round) {
    std::string file = round % 2 ? version5 : regedit4;
    const int edits = 1 + static_cast<int>(next() % 8);
    for (int e = 0; e < edits; ++e) {
      const size_t at = next() % file.size();
      switch (next() % 4) {
        case 0: file[at] = static_cast<char>(next()); break;
        case 1: file[at] = interesting[next() % sizeof interesting]; break;
        case 2: file.resize(at + 1); break;
        case 3: file.insert(at, file.substr(at, next() % 64)); break;
      }
    }
    Use(file);
    for (const auto& c : kValueCases) (void)ReadRegistryValue(c.key, c.name);
    (void)RegistryKeyExists("SOFTWARE\\Tallowmere");
  }
}

TEST_F(RegistryTest, ConcurrentReadersSeeWholeFiles) {
  const std::string live = dir_ + "/live.reg";
  std::ofstream(live, std::ios::binary) << "[HKLM\\S]\n\"A\"=\"1\"\n";
  setenv("TALLOWMERE_REGISTRY", live.c_str(), 1);  // before any thread reads the environment
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      while (!stop) {
        std::string d = Data("S", "A");
        if (d != "1\0"s && d != "22\0"s) ++bad;
      }
    });
  }
  for (int i = 0; i < 50; ++i) {
    // Replace the file atomically with one of two contents.
    const std::string tmp = dir_ + "/tmp.reg";
    std::ofstream(tmp, std::ios::binary) << (i % 2 ? "[HKLM\\S]\n\"A\"=\"1\"\n" : "[HKLM\\S]\n\"A\"=\"22\"\n");
    fs::rename(tmp, live);
  }
  stop = true;
  for (auto& r : readers) r.join();
  EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace tallowmere::platform
