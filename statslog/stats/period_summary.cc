// Every-key mode keeps one row per key name (first spelling met; later
// spellings that differ only in letter case add to it) in a hash table, with
// as many sums as the key's values have items, so no key and no item is lost
// whatever the month holds. Each day file is read in one section read and
// the month file written in one rewrite.
#include "statslog/stats/period_summary.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "statslog/stats/period_key.h"
#include "statslog/stats/stats_number.h"
#include "statslog/stats/stats_path.h"
#include "statslog/stats/stats_store.h"

namespace tallowmere::stats {
namespace {

constexpr size_t kMaxNameArgument = 255;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

struct NoCaseHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const {
    size_t hash = 14695981039346656037ull;  // FNV-1a over the lower-cased bytes
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(Lower(c))) * 1099511628211ull;
    return hash;
  }
};

struct NoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
  }
};

struct SummaryRow {
  std::string name;
  std::vector<double> sums;
  size_t valueCount = 0;  // items of the value on the latest day with the key
};

// The number of items of a list value: 0 when empty, else 1 plus the
// delimiters found from the second character on.
size_t CountListItems(std::string_view value) {
  if (value.empty()) return 0;
  size_t count = 1;
  for (size_t i = 1; i < value.size(); ++i) count += value[i] == ',';
  return count;
}

// Adds the first `count` items of `value` (split at every ",") to `sums`.
void AddItems(std::string_view value, size_t count, std::vector<double>& sums) {
  if (sums.size() < count) sums.resize(count, 0.0);
  size_t start = 0;
  for (size_t k = 0; k < count; ++k) {
    size_t end = value.find(',', start);
    if (end == std::string_view::npos) end = value.size();
    sums[k] += LeadingNumber(value.substr(start, end - start));
    start = end + 1;
  }
}

std::string FormatSums(const SummaryRow& row) {
  std::string text;
  for (size_t k = 0; k < row.valueCount; ++k) {
    if (k != 0) text += ',';
    AppendFixed(text, row.sums[k]);
  }
  return text;
}

size_t FirstSeparator(std::string_view text) {
  const size_t cut = text.find_first_of("\\/");
  return cut == std::string_view::npos ? text.size() : cut;
}

}  // namespace

int32_t NextSummaryState(int32_t state, bool dayHasData) {
  if (dayHasData) return state == kSummaryNoData ? kSummaryPartial : kSummaryComplete;
  return (state == kSummaryComplete || state == kSummaryPartial) ? kSummaryPartial : kSummaryNoData;
}

std::optional<int32_t> GeneratePeriodSummaryCore(const SummaryRequest& request) {
  if (!IsSafeFileName(request.periodPath)) return std::nullopt;
  const size_t folderEnd = FirstSeparator(request.periodPath);
  const std::string_view monthKey =
      folderEnd == request.periodPath.size() ? request.periodPath : request.periodPath.substr(folderEnd + 1);
  const int days = DaysInMonth(PeriodYear(monthKey), PeriodField(monthKey, 6, 3));
  if (days == 0) return std::nullopt;
  if (request.server.size() > kMaxNameArgument || request.postoffice.size() > kMaxNameArgument) return std::nullopt;

  const std::string server = ResolveServer(request.server);
  const std::string_view postoffice = request.postoffice.empty() ? std::string_view("SYSTEM") : request.postoffice;
  auto valuesFile = [&](std::string_view fileName) {
    return StatsFile{StatsTree::kValues, server, request.scope, postoffice, fileName, request.section};
  };

  if (!request.key.empty()) {
    double sum = 0.0;
    for (int day = 1; day <= days; ++day) {
      const std::string dayKey = FormatDayKey(monthKey, day);
      bool unreadable = false;
      sum += LeadingNumber(ReadStatsValue(valuesFile(dayKey), request.key, &unreadable));
      if (unreadable) return std::nullopt;  // a sum without that day would be wrong
    }
    std::string text;
    AppendFixed(text, sum);
    WriteStatsString(valuesFile(monthKey), request.key, text.c_str());
    return 0;
  }

  int32_t state = kSummaryNothingSeen;
  std::vector<SummaryRow> rows;
  std::unordered_map<std::string, size_t, NoCaseHash, NoCaseEqual> index;
  std::string console;
  for (int day = 1; day <= days; ++day) {
    const std::string dayKey = FormatDayKey(monthKey, day);
    bool unreadable = false;
    const auto entries = ReadStatsSection(valuesFile(dayKey), &unreadable);
    // A day file that is there but cannot be read is not a day without data:
    // the month would be reported complete (or partial) without it. Nothing
    // is written; the next summary, once the file reads, is whole.
    if (unreadable) return std::nullopt;
    const bool hasData = entries && !entries->empty();
    state = NextSummaryState(state, hasData);
    if (!hasData) continue;
    console.clear();
    for (const auto& [name, value] : *entries) {
      console.append("Section: ").append(name).append("\n");
      const size_t count = CountListItems(value);
      auto found = index.find(std::string_view(name));
      if (found == index.end()) {
        found = index.emplace(name, rows.size()).first;
        rows.push_back(SummaryRow{name, {}, 0});
      }
      SummaryRow& row = rows[found->second];
      row.valueCount = count;
      AddItems(value, count, row.sums);
    }
    std::fwrite(console.data(), 1, console.size(), stdout);
  }
  std::fflush(stdout);

  if (!rows.empty()) {
    std::vector<platform::IniEdit> edits;
    edits.reserve(rows.size());
    for (const SummaryRow& row : rows) {
      platform::IniEdit edit{row.name, FormatSums(row)};
      for (char& c : edit.key) {
        if (c == '=') c = ':';
      }
      // A name the INI writer cannot store (read from a hand-edited file)
      // is skipped rather than failing the whole month.
      if (IsStorableKey(edit.key)) edits.push_back(std::move(edit));
    }
    WriteStatsStrings(valuesFile(monthKey), edits);
  }

  // The flags of a month live in the "System" branch (for the nested scope,
  // "System" with the same level).
  std::string flagsPostoffice = "System";
  if (ScopeOf(request.scope) == Scope::kNested) {
    const size_t cut = FirstSeparator(postoffice);
    if (cut < postoffice.size()) flagsPostoffice.append("\\").append(postoffice.substr(cut + 1));
  }
  const StatsFile flags{StatsTree::kFlags, server, request.scope, flagsPostoffice, request.periodPath,
                        request.section};
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  WriteStatsString(flags, "LastModified", std::to_string(now).c_str());
  const char* stateText = state == kSummaryComplete  ? "[COMPLETE]"
                          : state == kSummaryPartial ? "[PARTIAL]"
                          : state == kSummaryNoData  ? "[NODATA]"
                                                     : nullptr;
  if (stateText != nullptr) WriteStatsString(flags, "State", stateText);
  return state;
}

}  // namespace tallowmere::stats
