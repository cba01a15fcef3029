// Registry readers: the platform registry seen through fixed-size buffers.
#include "common/registry_read.h"

#include <cstring>
#include <string>

#include "common/bounded_string.h"
#include "platform/registry.h"

namespace tallowmere {

int ReadRegistryString(const char* keyPath, const char* valueName, char* dst, size_t size) {
  if (dst == nullptr || size == 0) return 0;
  dst[0] = '\0';
  std::string key = keyPath != nullptr ? keyPath : "";
  NormaliseRegistryPath(key);
  auto value = platform::ReadRegistryValue(key, valueName != nullptr ? valueName : "");
  // The data must fit `size` bytes (the registry read is given a work buffer
  // of size + 1 bytes but allowed only size of them).
  if (!value || value->data.empty() || value->data.size() > size) return 0;
  const std::string& data = value->data;
  size_t length = std::strlen(data.c_str());  // up to the first NUL...
  if (length > data.size()) length = data.size();  // ...never beyond the stored data
  if (length > size - 1) length = size - 1;
  std::memcpy(dst, data.data(), length);
  dst[length] = '\0';
  return 1;
}

int ReadRegistryDword(const char* keyPath, const char* valueName, uint32_t* dst) {
  if (keyPath == nullptr || *keyPath == '\0' || dst == nullptr) return 0;
  auto value = platform::ReadRegistryValue(keyPath, valueName != nullptr ? valueName : "");
  // A value longer than the 4-byte buffer fails, as the registry read reports
  // "more data" for it; a shorter one fills the low bytes.
  if (!value || value->data.size() > 4) return 0;
  uint32_t number = 0;
  for (size_t i = 0; i < value->data.size(); ++i) {
    number |= static_cast<uint32_t>(static_cast<unsigned char>(value->data[i])) << (8 * i);
  }
  *dst = number;
  return 1;
}

}  // namespace tallowmere
