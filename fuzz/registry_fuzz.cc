// Fuzz target: the registry-file reader. The input is a whole .reg file; it
// is read through the public lookup (a fresh file name per input, so every
// input is parsed anew). Lookups of the names the input itself mentions and
// of the system's own values must stay well-formed through the readers the
// libraries use: a text read ends in its NUL inside the buffer, a DWORD read
// takes at most 4 bytes and leaves its target alone when it fails. (A value's
// raw data may have any length: "hex(4):" with five bytes is a DWORD value of
// five bytes, as the registry would store it.)
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/registry_read.h"
#include "fuzz/fuzz_check.h"
#include "platform/registry.h"

namespace tallowmere::fuzz {

namespace {

struct ScratchDirectory {
  ScratchDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/tallowmere-fuzz-reg-" + std::to_string(::getpid());
    ::mkdir(dir.c_str(), 0700);
  }
  ~ScratchDirectory() { ::rmdir(dir.c_str()); }
  std::string dir;
};

void CheckValue(const std::string& key, const std::string& name) {
  (void)platform::ReadRegistryValue(key, name);  // any name, NULs included
  platform::RegistryKeyExists(key);
  char text[16];
  std::memset(text, 'x', sizeof text);
  if (ReadRegistryString(key.c_str(), name.c_str(), text, sizeof text) == 1) {
    FUZZ_CHECK(std::memchr(text, '\0', sizeof text) != nullptr);
  } else {
    FUZZ_CHECK(text[0] == '\0');
  }
  uint32_t dword = 0xdeadbeef;
  if (ReadRegistryDword(key.c_str(), name.c_str(), &dword) == 1) {
    // The C readers see the names up to their first NUL.
    const auto seen = platform::ReadRegistryValue(key.c_str(), name.c_str());
    FUZZ_CHECK(seen.has_value() && seen->data.size() <= 4);
  } else {
    FUZZ_CHECK(dword == 0xdeadbeef);
  }
}

// Key paths ("[HKEY_LOCAL_MACHINE\...]") and value names ("name"=) as the
// input spells them, in 8-bit text (UTF-16 inputs give few; that is fine).
void CollectNames(std::string_view text, std::vector<std::string>& keys, std::vector<std::string>& names) {
  size_t pos = 0;
  while (pos < text.size() && keys.size() < 8) {
    size_t open = text.find('[', pos);
    if (open == std::string_view::npos) break;
    size_t close = text.find(']', open);
    if (close == std::string_view::npos) break;
    std::string_view inside = text.substr(open + 1, close - open - 1);
    size_t slash = inside.find('\\');
    keys.emplace_back(slash == std::string_view::npos ? std::string_view() : inside.substr(slash + 1));
    pos = close + 1;
  }
  pos = 0;
  while (pos < text.size() && names.size() < 8) {
    size_t quote = text.find('"', pos);
    if (quote == std::string_view::npos) break;
    size_t end = text.find('"', quote + 1);
    if (end == std::string_view::npos) break;
    names.emplace_back(text.substr(quote + 1, end - quote - 1));
    pos = end + 1;
  }
}

}  // namespace

int FuzzRegistryFile(const uint8_t* data, size_t size) {
  static ScratchDirectory scratch;
  static unsigned long counter = 0;
  std::string path = scratch.dir + "/r" + std::to_string(++counter) + ".reg";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ::setenv("TALLOWMERE_REGISTRY", path.c_str(), 1);

  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> keys{"SOFTWARE\\Tallowmere", ""}, names{"Mail Root", "", "@"};
  CollectNames(text, keys, names);
  for (const std::string& key : keys) {
    for (const std::string& name : names) CheckValue(key, name);
  }
  ::unlink(path.c_str());
  ::unsetenv("TALLOWMERE_REGISTRY");
  return 0;
}

}  // namespace tallowmere::fuzz
