// Reads and writes of the statistics tree. A write first makes sure the
// directory chain exists: when the deepest directory is already there (the
// usual case on a warm tree) one lookup replaces the level-by-level creation;
// otherwise each level is created in order, an existing one being no error.
#include "statslog/stats/stats_store.h"

#include "platform/file_system.h"
#include "statslog/stats/mail_root.h"
#include "statslog/stats/stats_path.h"

namespace tallowmere::stats {
namespace {

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

std::string StoredKey(std::string_view key) {
  std::string stored(key);
  for (char& c : stored) {
    if (c == '=') c = ':';
  }
  return stored;
}

// Creates the directories of `location`; false when the existence rule
// refuses the postoffice.
bool PrepareDirectories(const StatsLocation& location) {
  if (!location.chain.empty() && platform::DirectoryExists(location.chain.back())) return true;
  if (!platform::DirectoryExists(location.branchDirectory)) {
    if (location.existenceRule && !location.branchIsSystem) return false;
    platform::MakeDirectory(location.branchDirectory);
  }
  for (const std::string& directory : location.chain) platform::MakeDirectory(directory);
  return true;
}

std::optional<StatsLocation> Locate(const StatsFile& file) {
  if (HasLineBreak(file.section)) return std::nullopt;
  return LocateStatsFile(file, GetMailRoot());
}

}  // namespace

bool IsStorableKey(std::string_view key) {
  if (key.empty() || HasLineBreak(key)) return false;
  if (key.front() == '[' || key.front() == ';') return false;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return !blank(key.front()) && !blank(key.back());
}

int ReadStatsString(const StatsFile& file, const char* key, char* result, size_t size) {
  if (result == nullptr || size == 0) return 0;
  result[0] = '\0';
  const auto location = Locate(file);
  if (!location) return 0;
  const std::string section(file.section);
  const char* asked = (key != nullptr && key[0] != '\0') ? key : nullptr;
  const size_t copied = platform::IniGetString(location->filePath, section.c_str(), asked, "", result, size);
  if (copied == 0) {
    result[0] = '\0';
    return 0;
  }
  return 1;
}

std::string ReadStatsValue(const StatsFile& file, std::string_view key, bool* unreadable) {
  if (unreadable != nullptr) *unreadable = false;
  const auto location = Locate(file);
  if (!location || key.empty()) return {};
  return platform::IniGetValue(location->filePath, file.section, key, unreadable).value_or(std::string());
}

std::optional<std::vector<std::pair<std::string, std::string>>> ReadStatsSection(const StatsFile& file,
                                                                                 bool* unreadable) {
  if (unreadable != nullptr) *unreadable = false;
  const auto location = Locate(file);
  if (!location) return std::nullopt;
  return platform::IniReadSection(location->filePath, file.section, unreadable);
}

bool WriteStatsString(const StatsFile& file, std::string_view key, const char* value) {
  const std::string stored = StoredKey(key);
  if (!IsStorableKey(stored) || (value != nullptr && HasLineBreak(value))) return false;
  const auto location = Locate(file);
  if (!location || !PrepareDirectories(*location)) return false;
  const std::string section(file.section);
  return platform::IniWriteString(location->filePath, section.c_str(), stored.c_str(), value);
}

bool WriteStatsStrings(const StatsFile& file, const std::vector<platform::IniEdit>& edits) {
  std::vector<platform::IniEdit> stored;
  stored.reserve(edits.size());
  for (const platform::IniEdit& edit : edits) {
    platform::IniEdit copy{StoredKey(edit.key), edit.value};
    if (!IsStorableKey(copy.key) || (copy.value && HasLineBreak(*copy.value))) return false;
    stored.push_back(std::move(copy));
  }
  const auto location = Locate(file);
  if (!location || !PrepareDirectories(*location)) return false;
  return platform::IniWriteStrings(location->filePath, file.section, stored);
}

}  // namespace tallowmere::stats
