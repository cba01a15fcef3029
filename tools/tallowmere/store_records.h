// The five store record families as the command-line host sees them: each
// field's name, place and kind in the public record, and the library and
// export prefix of the family. Constant data, thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tallowmere::host {

struct StoreField {
  const char* name;  // the record field, and the command-line option --name
  size_t offset;
  size_t width;  // bytes including the NUL for texts; 4 for integers
  bool text;
};

struct StoreFamily {
  const char* command;      // "lists", "members", "domains", "access", "blacklist"
  const char* description;  // for --help
  const char* library;      // "listprov" or "smtpprov"
  const char* prefix;       // export prefix: "List", "ListMember", "SMTPDomain", ...
  size_t recordSize;
  std::vector<StoreField> fields;
};

const std::vector<StoreFamily>& StoreFamilies();

// A record in a byte buffer, read and written by field.
class StoreRecord {
 public:
  explicit StoreRecord(const StoreFamily& family) : family_(&family), bytes_(family.recordSize, '\0') {}
  void* data() { return bytes_.data(); }
  const void* data() const { return bytes_.data(); }
  // Every field not given: texts empty, integers -1.
  void SetNotGiven();
  void SetText(const StoreField& field, const std::string& value);  // value fits width - 1
  void SetInteger(const StoreField& field, int32_t value);
  std::string Text(const StoreField& field) const;  // up to the NUL, at most width - 1
  int32_t Integer(const StoreField& field) const;

 private:
  const StoreFamily* family_;
  std::string bytes_;
};

}  // namespace tallowmere::host
