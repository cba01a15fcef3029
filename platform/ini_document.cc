// Parsing of INI text with the Windows reading rules. See ini_document.h.
#include "platform/ini_document.h"

#include <cstring>
#include <limits>

namespace tallowmere::platform::ini {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A NUL ends a name or a value as it ends a C string.
uint32_t CutAtNul(const std::string& text, uint32_t start, uint32_t end) {
  const void* nul = std::memchr(text.data() + start, '\0', end - start);
  return nul ? static_cast<uint32_t>(static_cast<const char*>(nul) - text.data()) : end;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

size_t NoCaseHash::operator()(std::string_view name) const {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a over the lower-cased bytes
  for (char c : name) {
    hash ^= static_cast<unsigned char>(Lower(c));
    hash *= 1099511628211ull;
  }
  return static_cast<size_t>(hash);
}

size_t IniDocument::KeyHash::operator()(const KeyRef& key) const {
  return NoCaseHash{}(key.name) ^ (static_cast<size_t>(key.section) * 0x9E3779B97F4A7C15ull);
}

bool IniDocument::KeyEqual::operator()(const KeyRef& a, const KeyRef& b) const {
  return a.section == b.section && EqualNoCase(a.name, b.name);
}

IniDocument::IniDocument(std::string text) : text_(std::move(text)) {
  if (text_.size() > std::numeric_limits<uint32_t>::max() - 1) text_.resize(std::numeric_limits<uint32_t>::max() - 1);
  Parse();
}

void IniDocument::Parse() {
  const char* data = text_.data();
  const uint32_t size = static_cast<uint32_t>(text_.size());
  uint32_t pos = 0;
  int currentSection = -1;  // lines before the first header belong to none
  while (pos < size) {
    Line line;
    line.start = pos;
    // Lines end at CR LF, LF or CR.
    uint32_t stop = pos;
    while (stop < size && data[stop] != '\n' && data[stop] != '\r') ++stop;
    line.contentEnd = stop;
    if (stop < size && data[stop] == '\r' && stop + 1 < size && data[stop + 1] == '\n') {
      line.end = stop + 2;
    } else {
      line.end = stop < size ? stop + 1 : size;
    }
    pos = line.end;

    uint32_t first = line.start;
    while (first < line.contentEnd && IsBlank(data[first])) ++first;
    uint32_t index = static_cast<uint32_t>(lines_.size());
    if (first == line.contentEnd) {
      line.kind = LineKind::kBlank;
    } else if (data[first] == ';') {
      line.kind = LineKind::kComment;
    } else {
      if (data[first] == '[') {
        // "[a]y] junk" names "a]y": up to the last "]".
        const char* close = nullptr;
        for (uint32_t i = line.contentEnd; i > first + 1; --i) {
          if (data[i - 1] == ']') {
            close = data + i - 1;
            break;
          }
        }
        if (close) {
          line.kind = LineKind::kHeader;
          uint32_t nameStart = first + 1, nameEnd = static_cast<uint32_t>(close - data);
          nameEnd = CutAtNul(text_, nameStart, nameEnd);
          while (nameStart < nameEnd && IsBlank(data[nameStart])) ++nameStart;
          while (nameEnd > nameStart && IsBlank(data[nameEnd - 1])) --nameEnd;
          line.nameStart = nameStart;
          line.nameEnd = nameEnd;
          currentSection = static_cast<int>(sections_.size());
          sections_.push_back(SectionBlock{index, index + 1});
          lines_.push_back(line);
          continue;
        }
      }
      const void* eq = std::memchr(data + first, '=', line.contentEnd - first);
      line.kind = LineKind::kOther;
      if (eq) {
        uint32_t equals = static_cast<uint32_t>(static_cast<const char*>(eq) - data);
        uint32_t nameEnd = CutAtNul(text_, first, equals);
        while (nameEnd > first && IsBlank(data[nameEnd - 1])) --nameEnd;
        if (nameEnd > first) {
          line.kind = LineKind::kKey;
          line.nameStart = first;
          line.nameEnd = nameEnd;
          uint32_t valueStart = equals + 1, valueEnd = CutAtNul(text_, equals + 1, line.contentEnd);
          while (valueStart < valueEnd && IsBlank(data[valueStart])) ++valueStart;
          while (valueEnd > valueStart && IsBlank(data[valueEnd - 1])) --valueEnd;
          line.valueStart = valueStart;
          line.valueEnd = valueEnd;
        }
      }
    }
    lines_.push_back(line);
    if (currentSection >= 0) sections_[static_cast<size_t>(currentSection)].end = index + 1;
  }
}

void IniDocument::BuildIndexes() const {
  sectionIndex_.reserve(sections_.size());
  keyIndex_.reserve(lines_.size());
  for (uint32_t s = 0; s < sections_.size(); ++s) {
    const SectionBlock& block = sections_[s];
    // Only the first section of a name is ever searched.
    if (!sectionIndex_.emplace(Name(lines_[block.header]), s).second) continue;
    for (uint32_t i = block.header + 1; i < block.end; ++i) {
      if (lines_[i].kind == LineKind::kKey) keyIndex_.emplace(KeyRef{s, Name(lines_[i])}, i);
    }
  }
}

int IniDocument::ScanForSection(std::string_view name) const {
  name = TrimBlanks(name);
  for (size_t s = 0; s < sections_.size(); ++s) {
    if (EqualNoCase(Name(lines_[sections_[s].header]), name)) return static_cast<int>(s);
  }
  return -1;
}

int IniDocument::FindSection(std::string_view name) const {
  std::call_once(indexOnce_, [this] { BuildIndexes(); });
  auto it = sectionIndex_.find(TrimBlanks(name));
  return it == sectionIndex_.end() ? -1 : static_cast<int>(it->second);
}

int IniDocument::FindKey(int section, std::string_view key) const {
  if (section < 0) return -1;
  key = TrimBlanks(key);
  if (key.empty()) return -1;
  std::call_once(indexOnce_, [this] { BuildIndexes(); });
  auto it = keyIndex_.find(KeyRef{static_cast<uint32_t>(section), key});
  return it == keyIndex_.end() ? -1 : static_cast<int>(it->second);
}

std::string_view IniDocument::Name(const Line& line) const {
  return std::string_view(text_).substr(line.nameStart, line.nameEnd - line.nameStart);
}

std::string_view IniDocument::Value(const Line& line) const {
  std::string_view value = std::string_view(text_).substr(line.valueStart, line.valueEnd - line.valueStart);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

std::string_view IniDocument::LineEnd() const {
  for (const Line& line : lines_) {
    if (line.end > line.contentEnd) {
      return std::string_view(text_).substr(line.contentEnd, line.end - line.contentEnd);
    }
  }
  return "\r\n";
}

}  // namespace tallowmere::platform::ini
