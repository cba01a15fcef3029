// Registry stand-in: parses a .reg export into a table of HKEY_LOCAL_MACHINE
// keys and values, cached by the file's identity.
//
// Encoding: a file that starts with FF FE is UTF-16LE; one that starts with
// EF BB BF is UTF-8; a file without a byte-order mark is UTF-8 when all of it
// is well-formed UTF-8 and it holds at least one non-ASCII character, else
// 8-bit code page 1252. Everything is turned into 8-bit text (code page 1252,
// '?' for characters it lacks) before parsing. The header line decides how
// hex(1)/hex(2)/hex(7) data is read: "Windows Registry Editor Version 5.00"
// means UTF-16LE bytes (converted to 8-bit text, as the registry's 8-bit read
// converts them), "REGEDIT4" 8-bit bytes; without a header a UTF-16 file counts
// as version 5 and any other as REGEDIT4.
//
// Parsing is one pass over the lines, linear in the file size; a line that
// fits no rule is skipped. Files above kMaxFileBytes are read up to that size.
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/code_page.h"
#include "platform/fault_injection.h"

namespace tallowmere::platform {

namespace {

constexpr size_t kMaxFileBytes = 64u << 20;
constexpr const char* kDefaultPath = "/etc/tallowmere/registry.reg";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// Key paths are stored and looked up lower-cased, without surrounding "\".
std::string KeyOf(std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return Lower(path);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hex digits, nothing else.
bool ParseHex32(std::string_view text, uint32_t& value) {
  if (text.empty() || text.size() > 8) return false;
  value = 0;
  for (char c : text) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    value = (value << 4) | static_cast<uint32_t>(d);
  }
  return true;
}

struct Tree {
  // key -> value name -> value (all lower-cased; "" is the default value).
  // Ordered, so that a parent key is found as a prefix of its children
  // without storing every parent.
  std::map<std::string, std::unordered_map<std::string, RegistryValue>, std::less<>> keys;
};

class Parser {
 public:
  explicit Parser(Tree& tree) : tree_(tree) {}

  void Parse(std::string_view text, bool utf16) {
    versionFive_ = utf16;
    bool first = true;
    size_t pos = 0;
    while (pos < text.size()) {
      std::string_view line = NextLine(text, pos);
      std::string_view trimmed = TrimBlanks(line);
      if (first && !trimmed.empty()) {
        first = false;
        if (trimmed == "REGEDIT4") {
          versionFive_ = false;
          continue;
        }
        if (trimmed == "Windows Registry Editor Version 5.00") {
          versionFive_ = true;
          continue;
        }
      }
      if (trimmed.empty() || trimmed.front() == ';') continue;
      if (trimmed.front() == '[') {
        Section(trimmed);
      } else if (current_ != nullptr) {
        Value(trimmed, text, pos);
      }
    }
  }

 private:
  static std::string_view NextLine(std::string_view text, size_t& pos) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end < text.size() ? end + 1 : end;
    return line;
  }

  void Section(std::string_view line) {
    current_ = nullptr;
    if (line.size() < 2 || line.back() != ']') return;
    std::string_view path = line.substr(1, line.size() - 2);
    if (!path.empty() && path.front() == '-') return;  // key removal: ignored
    std::string_view rest;
    if (StartsWithNoCase(path, "HKEY_LOCAL_MACHINE")) {
      rest = path.substr(18);
    } else if (StartsWithNoCase(path, "HKLM")) {
      rest = path.substr(4);
    } else {
      return;  // another hive
    }
    if (!rest.empty() && rest.front() != '\\') return;  // HKEY_LOCAL_MACHINEX
    current_ = &tree_.keys[KeyOf(rest)];
  }

  // A quoted text starting at text[pos] == '"' with \" and \\ escapes; pos
  // ends after the closing quote. False when it is not closed.
  static bool Quoted(std::string_view text, size_t& pos, std::string& out) {
    ++pos;
    while (pos < text.size()) {
      const char c = text[pos];
      if (c == '"') {
        ++pos;
        return true;
      }
      if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '"' || text[pos + 1] == '\\')) {
        out += text[pos + 1];
        pos += 2;
      } else {
        out += c;
        ++pos;
      }
    }
    return false;
  }

  void Value(std::string_view line, std::string_view text, size_t& pos) {
    std::string name;
    size_t at = 0;
    if (line.front() == '@') {
      at = 1;
    } else if (line.front() == '"') {
      if (!Quoted(line, at, name)) return;
    } else {
      return;
    }
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at >= line.size() || line[at] != '=') return;
    ++at;
    while (at < line.size() && IsBlank(line[at])) ++at;
    std::string_view data = line.substr(at);

    RegistryValue value;
    if (data == "-") {
      return;  // value removal: ignored
    } else if (!data.empty() && data.front() == '"') {
      size_t end = 0;
      if (!Quoted(data, end, value.data)) return;
      if (end != data.size()) return;  // text after the closing quote
      value.type = kRegSz;
      value.data += '\0';
    } else if (StartsWithNoCase(data, "dword:")) {
      uint32_t number;
      if (!ParseHex32(data.substr(6), number)) return;
      value.type = kRegDword;
      for (int i = 0; i < 4; ++i) value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
    } else if (StartsWithNoCase(data, "hex")) {
      if (!Hex(data, text, pos, value)) return;
    } else {
      return;
    }
    (*current_)[Lower(name)] = std::move(value);
  }

  // hex:bytes or hex(N):bytes, continued on following lines after ",\".
  bool Hex(std::string_view data, std::string_view text, size_t& pos, RegistryValue& value) {
    size_t colon = data.find(':');
    if (colon == std::string_view::npos) return false;
    std::string_view head = data.substr(0, colon);
    uint32_t type = kRegBinary;
    if (head.size() > 3) {
      if (head[3] != '(' || head.back() != ')') return false;
      if (!ParseHex32(head.substr(4, head.size() - 5), type)) return false;
    }
    // Gather the continuation lines first so that a bad byte anywhere still
    // consumes the whole value.
    std::string bytesText(data.substr(colon + 1));
    bool continued = !bytesText.empty() && bytesText.back() == '\\';
    while (continued) {
      bytesText.pop_back();
      if (pos >= text.size()) break;
      std::string_view next = TrimBlanks(NextLine(text, pos));
      bytesText.append(next);
      continued = !next.empty() && next.back() == '\\';
    }

    std::string bytes;
    std::string_view rest = bytesText;
    while (!rest.empty()) {
      size_t comma = rest.find(',');
      std::string_view item = TrimBlanks(rest.substr(0, comma));
      uint32_t byte;
      if (item.size() > 2 || !ParseHex32(item, byte)) {
        // Tolerate one trailing comma ("0a,ff," before a cut continuation).
        if (item.empty() && comma == std::string_view::npos) break;
        return false;
      }
      bytes += static_cast<char>(byte);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }

    value.type = type;
    if (versionFive_ && (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz)) {
      value.data = Utf16LeToCp1252(bytes);
    } else {
      value.data = std::move(bytes);
    }
    return true;
  }

  Tree& tree_;
  std::unordered_map<std::string, RegistryValue>* current_ = nullptr;
  bool versionFive_ = false;
};

bool AllUtf8WithNonAscii(std::string_view text) {
  bool nonAscii = false;
  size_t i = 0;
  while (i < text.size()) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t cp;
    const size_t n = DecodeUtf8(text.substr(i), cp);
    if (n == 0) return false;
    nonAscii = true;
    i += n;
  }
  return nonAscii;
}

std::shared_ptr<const Tree> ParseFile(std::string_view raw) {
  auto tree = std::make_shared<Tree>();
  Parser parser(*tree);
  if (raw.size() >= 2 && raw[0] == '\xFF' && raw[1] == '\xFE') {
    parser.Parse(Utf16LeToCp1252(raw.substr(2)), true);
  } else if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF") {
    parser.Parse(Utf8ToCp1252(raw.substr(3)), false);
  } else if (AllUtf8WithNonAscii(raw)) {
    parser.Parse(Utf8ToCp1252(raw), false);
  } else {
    parser.Parse(raw, false);
  }
  return tree;
}

struct Identity {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec mtime{};
  timespec ctime{};

  bool operator==(const Identity& o) const {
    return present == o.present && device == o.device && inode == o.inode && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
           ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

Identity IdentityOf(const struct stat& st) {
  Identity id;
  id.present = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.mtime = st.st_mtim;
  id.ctime = st.st_ctim;
  return id;
}

// Reads up to kMaxFileBytes; identity of what was read, or absent.
bool ReadFile(const std::string& path, std::string& content, Identity& identity) {
  const int fd = FileFaultFires(kFileOpen) ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    identity = IdentityOf(st);
    const size_t want = static_cast<size_t>(std::min<off_t>(st.st_size, kMaxFileBytes));
    content.resize(want);
    size_t got = 0;
    while (got < want) {
      const ssize_t n = read(fd, content.data() + got, want - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    content.resize(got);
  }
  close(fd);
  return ok;
}

struct Cache {
  std::mutex mutex;
  std::string path;
  Identity identity;
  std::shared_ptr<const Tree> tree;
};

Cache& TheCache() {
  static Cache* cache = new Cache;  // never destroyed: usable during unload
  return *cache;
}

std::shared_ptr<const Tree> CurrentTree() {
  const std::string path = RegistryFilePath();
  Identity now;
  if (struct stat st; stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) now = IdentityOf(st);

  Cache& cache = TheCache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  if (cache.tree && cache.path == path && cache.identity == now) return cache.tree;

  std::string content;
  Identity read;
  if (!now.present || !ReadFile(path, content, read)) {
    static const auto empty = std::make_shared<const Tree>();
    cache.tree = empty;
    // A file that is there but could not be read (no descriptor left, no
    // permission for a moment) is tried again at the next lookup, rather
    // than reading as empty until it changes.
    cache.identity = now.present ? Identity{} : now;
  } else {
    cache.tree = ParseFile(content);
    cache.identity = read;
  }
  cache.path = path;
  return cache.tree;
}

}  // namespace

std::string RegistryFilePath() {
  const char* path = std::getenv("TALLOWMERE_REGISTRY");
  return (path != nullptr && *path != '\0') ? std::string(path) : std::string(kDefaultPath);
}

std::optional<RegistryValue> ReadRegistryValue(std::string_view keyPath, std::string_view valueName) {
  auto tree = CurrentTree();
  auto key = tree->keys.find(KeyOf(keyPath));
  if (key == tree->keys.end()) return std::nullopt;
  auto value = key->second.find(valueName == "@" ? std::string() : Lower(valueName));
  if (value == key->second.end()) return std::nullopt;
  return value->second;
}

bool RegistryKeyExists(std::string_view keyPath) {
  auto tree = CurrentTree();
  const std::string key = KeyOf(keyPath);
  if (key.empty()) return !tree->keys.empty();
  if (tree->keys.find(key) != tree->keys.end()) return true;
  // A parent of a key in the file exists too.
  const std::string prefix = key + '\\';
  auto child = tree->keys.lower_bound(prefix);
  return child != tree->keys.end() && child->first.starts_with(prefix);
}

}  // namespace tallowmere::platform
