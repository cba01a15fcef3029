// One INI file's text, parsed into lines with the Windows reading rules:
// section headers, key lines, comments and other lines, lookups of the first
// section of a name and the first key of a name, ignoring ASCII letter case.
// Pure (no I/O). Immutable after construction, so one parse can be shared
// by any number of threads. Nothing in the text can make it fail: bad bytes
// are data, lines may be of any length.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tallowmere::platform::ini {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
std::string_view TrimBlanks(std::string_view text);
bool EqualNoCase(std::string_view a, std::string_view b);

// Hashing and equality of names ignoring ASCII letter case.
struct NoCaseHash {
  size_t operator()(std::string_view name) const;
};
struct NoCaseEqual {
  bool operator()(std::string_view a, std::string_view b) const { return EqualNoCase(a, b); }
};

enum class LineKind : uint8_t {
  kBlank,    // nothing but blanks
  kComment,  // first non-blank character ";"
  kHeader,   // "[name]"
  kKey,      // "name=value" with a non-empty name
  kOther,    // anything else: kept by writes, never a key
};

struct Line {
  uint32_t start = 0;       // first byte
  uint32_t contentEnd = 0;  // end of the text before the line end
  uint32_t end = 0;         // after the line end (CR LF, LF or CR)
  uint32_t nameStart = 0;   // header: section name; key: key name
  uint32_t nameEnd = 0;
  uint32_t valueStart = 0;  // key: value with blanks trimmed, quotes kept
  uint32_t valueEnd = 0;
  LineKind kind = LineKind::kBlank;
};

// Lines [header + 1, end) of one "[name]" block.
struct SectionBlock {
  uint32_t header = 0;
  uint32_t end = 0;
};

class IniDocument {
 public:
  // Texts larger than 4 GiB are cut there (the file layer refuses them).
  explicit IniDocument(std::string text);
  IniDocument(const IniDocument&) = delete;
  IniDocument& operator=(const IniDocument&) = delete;

  const std::string& text() const { return text_; }
  const std::vector<Line>& lines() const { return lines_; }
  const std::vector<SectionBlock>& sections() const { return sections_; }

  // Index into sections() of the first section of that name (the argument's
  // blanks trimmed), or -1. The first lookup builds hash indexes of sections
  // and keys (once, thread-safe); later lookups cost O(1).
  int FindSection(std::string_view name) const;
  // Line index of the first key of that name in the section, or -1.
  int FindKey(int section, std::string_view key) const;
  // As FindSection, by a scan of the headers: for writers, which touch one
  // section once and need no index.
  int ScanForSection(std::string_view name) const;

  std::string_view Name(const Line& line) const;
  // The value as a read returns it: one matching pair of quotes removed.
  std::string_view Value(const Line& line) const;
  // The line end to use for new lines: the file's first one, else CR LF.
  std::string_view LineEnd() const;

 private:
  struct KeyRef {
    uint32_t section;
    std::string_view name;
  };
  struct KeyHash {
    size_t operator()(const KeyRef& key) const;
  };
  struct KeyEqual {
    bool operator()(const KeyRef& a, const KeyRef& b) const;
  };

  void Parse();
  void BuildIndexes() const;

  std::string text_;
  std::vector<Line> lines_;
  std::vector<SectionBlock> sections_;
  mutable std::once_flag indexOnce_;
  mutable std::unordered_map<std::string_view, uint32_t, NoCaseHash, NoCaseEqual> sectionIndex_;
  mutable std::unordered_map<KeyRef, uint32_t, KeyHash, KeyEqual> keyIndex_;
};

}  // namespace tallowmere::platform::ini
