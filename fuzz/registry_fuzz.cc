// Fuzz target: the registry-file reader. The input is a whole .reg file; it
// is read through the public lookup (a fresh file name per input, so every
// input is parsed anew). Lookups of the names the input itself mentions and
// of the system's own values must return well-formed values: text values end
// in their NUL, DWORD values have 4 bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

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

void CheckValue(std::string_view key, std::string_view name) {
  auto value = platform::ReadRegistryValue(key, name);
  platform::RegistryKeyExists(key);
  if (!value) return;
  if (value->type == platform::kRegSz) FUZZ_CHECK(!value->data.empty() && value->data.back() == '\0');
  if (value->type == platform::kRegDword) FUZZ_CHECK(value->data.size() == 4);
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
