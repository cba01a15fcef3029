// Fuzz target: the INI reader and writer.
//
// Input: a flags byte, then "section\nkey\nvalue\n", then the file text.
// - The text is parsed; every section and key line must be found again by
//   name (the first of duplicates), within the text's bounds.
// - The text is read through the file layer into a buffer of exactly the
//   size the flags choose: the result fits, is terminated, a key list ends
//   in two NULs.
// - The write of (section, key, value), when the layer accepts those names,
//   must read back as written, and every other first key of every section
//   must keep its value; a removal must leave every other key alone.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/ini_document.h"
#include "platform/ini_edit.h"
#include "platform/ini_file.h"

namespace tallowmere::fuzz {

namespace {

using platform::ini::EqualNoCase;
using platform::ini::IniDocument;
using platform::ini::LineKind;

// (lower-cased section, lower-cased key) → value, first occurrences only, as
// a reader sees them.
std::map<std::pair<std::string, std::string>, std::string> VisibleValues(const IniDocument& doc) {
  auto lower = [](std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
  };
  std::map<std::pair<std::string, std::string>, std::string> values;
  for (size_t s = 0; s < doc.sections().size(); ++s) {
    const auto& block = doc.sections()[s];
    std::string section = lower(doc.Name(doc.lines()[block.header]));
    if (doc.FindSection(doc.Name(doc.lines()[block.header])) != static_cast<int>(s)) continue;  // a duplicate
    for (uint32_t i = block.header + 1; i < block.end; ++i) {
      const auto& line = doc.lines()[i];
      if (line.kind != LineKind::kKey) continue;
      values.emplace(std::make_pair(section, lower(doc.Name(line))), std::string(doc.Value(line)));
    }
  }
  return values;
}

void CheckParse(const IniDocument& doc) {
  const std::string& text = doc.text();
  for (const auto& line : doc.lines()) {
    FUZZ_CHECK(line.start <= line.contentEnd && line.contentEnd <= line.end && line.end <= text.size());
    if (line.kind == LineKind::kKey || line.kind == LineKind::kHeader) {
      FUZZ_CHECK(line.nameStart <= line.nameEnd && line.nameEnd <= line.contentEnd);
    }
  }
  for (size_t s = 0; s < doc.sections().size(); ++s) {
    const auto& block = doc.sections()[s];
    FUZZ_CHECK(block.header < block.end && block.end <= doc.lines().size());
    std::string_view name = doc.Name(doc.lines()[block.header]);
    int found = doc.FindSection(name);
    FUZZ_CHECK(found >= 0 && found <= static_cast<int>(s));
    FUZZ_CHECK(EqualNoCase(doc.Name(doc.lines()[doc.sections()[static_cast<size_t>(found)].header]),
                           platform::ini::TrimBlanks(name)));
    if (found != static_cast<int>(s)) continue;
    for (uint32_t i = block.header + 1; i < block.end; ++i) {
      const auto& line = doc.lines()[i];
      if (line.kind != LineKind::kKey) continue;
      int key = doc.FindKey(found, doc.Name(line));
      FUZZ_CHECK(key >= static_cast<int>(block.header) && key <= static_cast<int>(i));
      FUZZ_CHECK(EqualNoCase(doc.Name(doc.lines()[static_cast<size_t>(key)]), doc.Name(line)));
    }
  }
}

// A private directory for the file-layer reads, removed at exit.
struct ScratchDirectory {
  ScratchDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/tallowmere-fuzz-ini-" + std::to_string(::getpid());
    ::mkdir(dir.c_str(), 0700);
  }
  ~ScratchDirectory() { ::rmdir(dir.c_str()); }
  std::string dir;
};

std::string ScratchFile() {
  static ScratchDirectory scratch;
  return scratch.dir + "/F.INI";
}

void CheckFileRead(const std::string& text, const std::string& section, const std::string& key, uint8_t flags) {
  std::string file = ScratchFile();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  static const size_t kSizes[8] = {1, 2, 3, 5, 8, 16, 64, 4096};
  size_t size = kSizes[flags & 7];
  std::vector<char> buffer(size);  // exactly that size: ASan sees any write past it
  size_t n = platform::IniGetString(file, section.c_str(), key.c_str(), "dflt", buffer.data(), size);
  FUZZ_CHECK(n < size && buffer[n] == '\0');
  n = platform::IniGetString(file, section.c_str(), nullptr, "", buffer.data(), size);
  FUZZ_CHECK(n < size && buffer[n] == '\0');
  n = platform::IniGetString(file, nullptr, nullptr, "", buffer.data(), size);
  FUZZ_CHECK(n < size && buffer[n] == '\0');
  platform::IniReadSection(file, section);
  ::unlink(file.c_str());
}

void CheckWrite(const IniDocument& doc, const std::string& section, const std::string& key,
                const std::optional<std::string>& value) {
  namespace ini = platform::ini;
  if (!ini::SectionWritable(section) || !ini::KeyWritable(key) || (value && !ini::ValueWritable(*value))) return;
  std::vector<ini::KeyChange> changes{{key, value ? std::optional<std::string_view>(*value) : std::nullopt}};
  IniDocument after(ini::ApplyChanges(&doc, section, changes));
  CheckParse(after);

  int s = after.FindSection(section);
  if (value) {
    FUZZ_CHECK(s >= 0);
    int k = after.FindKey(s, key);
    FUZZ_CHECK(k >= 0);
    FUZZ_CHECK(after.Value(after.lines()[static_cast<size_t>(k)]) == *value);
  }
  auto lower = [](std::string_view t) {
    std::string out(ini::TrimBlanks(t));
    for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
  };
  auto before = VisibleValues(doc);
  auto now = VisibleValues(after);
  std::pair<std::string, std::string> target{lower(section), lower(key)};
  for (const auto& [where, old] : before) {
    if (where == target) continue;
    auto it = now.find(where);
    FUZZ_CHECK(it != now.end());
    FUZZ_CHECK(it->second == old);
  }
  for (const auto& [where, fresh] : now) {
    if (where == target) continue;
    FUZZ_CHECK(before.count(where) == 1);
  }
}

}  // namespace

int FuzzIniFile(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t flags = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string section(TakeLine(rest));
  std::string key(TakeLine(rest));
  std::string value(TakeLine(rest));
  std::string text(rest);

  IniDocument doc(text);
  CheckParse(doc);
  if (flags & 0x08) CheckFileRead(text, section, key, flags);
  CheckWrite(doc, section, key, (flags & 0x10) ? std::nullopt : std::optional<std::string>(value));
  return 0;
}

}  // namespace tallowmere::fuzz
