// Bounded string operations, delimited parts and case-insensitive search.
//
// Beyond the plain contracts: null pointers are taken as empty texts (or give
// the failure result), and copies use memmove so that overlapping source and
// destination are safe. ReplaceAllBounded never writes past its work area:
// a result longer than 4095 characters is cut there.
#include "common/bounded_string.h"

#include <cstring>

namespace tallowmere {

namespace {

constexpr size_t kWorkArea = 4096;

// Upper case as the "C" locale has it: a-z only, whatever the process locale.
inline unsigned char UpperC(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// The next delimiter at or after `from`; with an escape character, a
// delimiter right after it is skipped unless it starts the part (partStart).
const char* FindDelimiter(const char* from, const char* partStart, const char* delim,
                          size_t delimLength, char escape) {
  const char* p = FindNoCase(from, -1, delim, static_cast<long>(delimLength));
  while (p != nullptr && escape != 0 && p > partStart && p[-1] == escape) {
    p = FindNoCase(p + 1, -1, delim, static_cast<long>(delimLength));
  }
  return p;
}

// Appends up to `length` bytes to the work area, never beyond 4095 characters.
void AppendToWork(char* work, size_t& used, const char* text, size_t length) {
  const size_t room = kWorkArea - 1 - used;
  const size_t n = length < room ? length : room;
  std::memcpy(work + used, text, n);
  used += n;
  work[used] = '\0';
}

}  // namespace

char* CopyBounded(char* dst, const char* src, size_t size) {
  if (dst == nullptr || size == 0) return nullptr;
  if (src == nullptr) src = "";
  const size_t length = std::strlen(src);
  if (length < size) {
    std::memmove(dst, src, length + 1);
    return dst;
  }
  std::memmove(dst, src, size - 1);
  dst[size - 1] = '\0';
  return nullptr;
}

char* AppendBounded(char* dst, const char* src, size_t size) {
  if (dst == nullptr || size == 0) return nullptr;
  if (src == nullptr) src = "";
  const size_t have = strnlen(dst, size);
  if (have == size) {  // not terminated inside the buffer
    dst[size - 1] = '\0';
    return nullptr;
  }
  const size_t length = std::strlen(src);
  if (have + length < size) {
    std::memmove(dst + have, src, length + 1);
    return dst + have;
  }
  std::memmove(dst + have, src, size - 1 - have);
  dst[size - 1] = '\0';
  return nullptr;
}

int ReplaceAllBounded(const char* src, char* dst, const char* pattern, const char* replacement,
                      size_t dstSize) {
  if (src == nullptr) src = "";
  if (replacement == nullptr) replacement = "";
  const size_t patternLength = pattern == nullptr ? 0 : std::strlen(pattern);
  const char* hit = patternLength == 0 ? nullptr : std::strstr(src, pattern);
  if (hit == nullptr) {
    CopyBounded(dst, src, dstSize);
    return 1;
  }
  char work[kWorkArea];
  size_t used = 0;
  work[0] = '\0';
  const size_t replacementLength = std::strlen(replacement);
  const char* rest = src;
  while (hit != nullptr) {
    AppendToWork(work, used, rest, static_cast<size_t>(hit - rest));
    AppendToWork(work, used, replacement, replacementLength);
    rest = hit + patternLength;
    hit = std::strstr(rest, pattern);
  }
  AppendToWork(work, used, rest, std::strlen(rest));
  CopyBounded(dst, work, dstSize);
  return 1;
}

int GetToken(const char* text, const char* delim, int part, char* dst, size_t size, char escape) {
  if (text == nullptr || dst == nullptr) return 0;
  if (delim == nullptr) delim = "";
  const size_t delimLength = std::strlen(delim);
  const char* start = text;
  const char* end = FindDelimiter(text, text, delim, delimLength, escape);
  if (end == nullptr && part > 1) return 0;  // no delimiter at all: dst untouched
  for (int k = 2; k <= part && end != nullptr; ++k) {
    start = end + delimLength;
    end = FindDelimiter(start, start, delim, delimLength, escape);
  }
  const size_t length = end != nullptr ? static_cast<size_t>(end - start) : std::strlen(start);
  if (length < size) {
    std::memmove(dst, start, length);
    dst[length] = '\0';
    return 1;
  }
  if (size > 0) dst[0] = '\0';
  return 0;
}

const char* FindNoCase(const char* text, long textLength, const char* pattern, long patternLength) {
  if (text == nullptr || pattern == nullptr) return nullptr;
  const size_t pl = patternLength < 0 ? std::strlen(pattern) : static_cast<size_t>(patternLength);
  if (pl == 0) return nullptr;
  const size_t tl = textLength < 0 ? std::strlen(text) : static_cast<size_t>(textLength);
  if (tl < pl) return nullptr;
  const auto* t = reinterpret_cast<const unsigned char*>(text);
  const auto* p = reinterpret_cast<const unsigned char*>(pattern);
  const unsigned char first = UpperC(p[0]);
  for (size_t i = 0; i + pl <= tl; ++i) {
    if (UpperC(t[i]) != first) continue;
    size_t j = 1;
    while (j < pl && UpperC(t[i + j]) == UpperC(p[j])) ++j;
    if (j == pl) return text + i;
  }
  return nullptr;
}

const char* FileNamePart(const char* path) {
  if (path == nullptr) return nullptr;
  const size_t length = std::strlen(path);
  for (size_t i = length; i > 1; --i) {
    if (path[i - 1] == '\\' || path[i - 1] == '/') return path + i;
  }
  return path;
}

int NormaliseRegistryPath(std::string& keyPath) {
  static constexpr char kFrom[] = "Software\\Wow6432Node\\Tallowmere";
  static constexpr char kTo[] = "Software\\Tallowmere";
  const char* hit = FindNoCase(keyPath.data(), static_cast<long>(keyPath.size()), kFrom,
                               static_cast<long>(sizeof kFrom - 1));
  if (hit == nullptr) return 0;
  keyPath.replace(static_cast<size_t>(hit - keyPath.data()), sizeof kFrom - 1, kTo);
  return 1;
}

}  // namespace tallowmere
