#include "tools/tallowmere/stats_month.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <set>

#include "tallowmere/statslog.h"

namespace tallowmere::host {
namespace {

using GetFunction = decltype(&::GetStatsString);

bool TwoDigits(const std::string& text, size_t at, int& out) {
  if (at + 2 > text.size() || !std::isdigit(static_cast<unsigned char>(text[at])) ||
      !std::isdigit(static_cast<unsigned char>(text[at + 1]))) {
    return false;
  }
  out = (text[at] - '0') * 10 + (text[at + 1] - '0');
  return true;
}

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// One value read whole (the buffer grows until it fits); nullopt when none.
std::optional<std::string> Read(GetFunction get, const StatsAddress& a, const std::string& file, const std::string& key) {
  for (int32_t size = 4096; size <= (1 << 24); size *= 4) {
    std::vector<char> buffer(static_cast<size_t>(size), '\0');
    if (get(OrNull(a.server), a.scope, a.postoffice.c_str(), a.section.c_str(), file.c_str(), key.c_str(),
            buffer.data(), size) != 1) {
      return std::nullopt;
    }
    const size_t length = strnlen(buffer.data(), buffer.size());
    if (length + 1 < buffer.size()) return std::string(buffer.data(), length);
  }
  return std::nullopt;
}

// The key names of the section in `file` (empty when none).
std::vector<std::string> Keys(GetFunction get, const StatsAddress& a, const std::string& file) {
  for (int32_t size = 16384; size <= (1 << 24); size *= 4) {
    std::vector<char> buffer(static_cast<size_t>(size), '\0');
    if (get(OrNull(a.server), a.scope, a.postoffice.c_str(), a.section.c_str(), file.c_str(), "", buffer.data(),
            size) != 1) {
      return {};
    }
    std::vector<std::string> names;
    size_t position = 0;
    while (position < buffer.size() && buffer[position] != '\0') {
      const size_t length = strnlen(buffer.data() + position, buffer.size() - position);
      names.emplace_back(buffer.data() + position, length);
      position += length + 1;
    }
    if (position + 2 < buffer.size()) return names;  // not cut
  }
  return {};
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

MonthKey ParseMonth(const std::string& text) {
  MonthKey month;
  int century = 0, years = 0;
  if (text.size() != 8 && !(text.size() == 11 && (text[8] == 'D' || text[8] == 'd'))) {
    throw HostError(kExitUsage, "--month \"" + text + "\": expected a month key such as D2026M11 (or a day key D2026M11D05)");
  }
  if (!TwoDigits(text, 1, century) || !TwoDigits(text, 3, years) || !TwoDigits(text, 6, month.month) ||
      month.month < 1 || month.month > 12) {
    throw HostError(kExitUsage, "--month \"" + text + "\": the year (positions 1-4) and month (positions 6-7, 01-12) "
                                "must be digits, as in D2026M11");
  }
  month.key = text.substr(0, 8);
  month.year = century * 100 + years;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  month.days = kDays[month.month - 1];
  const bool leap = (month.year % 4 == 0 && month.year % 100 != 0) || month.year % 400 == 0;
  if (month.month == 2 && leap) month.days = 29;
  return month;
}

std::string DayKey(const MonthKey& month, int day) {
  char text[16];
  std::snprintf(text, sizeof text, "%sD%02d", month.key.c_str(), day);
  return text;
}

std::optional<double> ValueItem(const std::string& value, int item) {
  size_t begin = 0;
  for (int i = 1; i < item; ++i) {
    begin = value.find(',', begin);
    if (begin == std::string::npos) return std::nullopt;
    ++begin;
  }
  if (value.empty()) return std::nullopt;
  size_t end = value.find(',', begin);
  if (end == std::string::npos) end = value.size();
  const char* first = value.data() + begin;
  while (first < value.data() + end && (*first == ' ' || *first == '\t')) ++first;
  double number = 0;
  if (first < value.data() + end && *first == '+') ++first;
  const auto result = std::from_chars(first, value.data() + end, number);
  if (result.ec != std::errc()) return 0.0;
  return number;
}

std::string MonthData::CompletenessText() const {
  if (monthState == "[COMPLETE]") return "complete";
  if (monthState == "[PARTIAL]") return "partial";
  if (monthState == "[NODATA]") return "no data";
  return monthState.empty() ? "not summarised" : monthState;
}

MonthData ReadMonth(HostContext& context, const StatsAddress& address, const MonthKey& month,
                    const std::vector<std::string>& keys, int item, const std::string& statusFolder) {
  Library& library = context.Load("statslog");
  const auto get = library.Function<GetFunction>("GetStatsString");
  const auto getFlag = library.Function<GetFunction>("GetStatsStatusString");
  MonthData data;
  data.month = month;
  data.address = address;
  data.item = item;

  // Flags live in the System branch (the log processing and the summary
  // write them there).
  StatsAddress flags = address;
  flags.postoffice = "System";
  if (flags.scope == TALLOWMERE_POSTOFFICE_SCOPE || flags.scope == TALLOWMERE_NESTED_SCOPE) {
    flags.scope = TALLOWMERE_POSTOFFICE_SCOPE;
  }
  const std::string folder = statusFolder.empty() ? "" : statusFolder + "\\";

  std::vector<std::string> order = keys;
  std::set<std::string> seen;
  for (const std::string& k : keys) seen.insert(Lower(k));
  std::vector<std::vector<std::string>> dayKeys(static_cast<size_t>(month.days));
  for (int day = 1; day <= month.days; ++day) {
    const std::string file = DayKey(month, day);
    data.dayState.push_back(Read(getFlag, flags, folder + file, "State").value_or(""));
    dayKeys[static_cast<size_t>(day - 1)] = Keys(get, address, file);
    data.dayHasKeys.push_back(!dayKeys[static_cast<size_t>(day - 1)].empty());
    if (keys.empty()) {
      for (const std::string& k : dayKeys[static_cast<size_t>(day - 1)]) {
        if (seen.insert(Lower(k)).second) order.push_back(k);
      }
    }
  }
  for (const std::string& key : order) {
    MonthSeries series{key, {}};
    for (int day = 1; day <= month.days; ++day) {
      const std::optional<std::string> value = Read(get, address, DayKey(month, day), key);
      series.values.push_back(value ? ValueItem(*value, item) : std::nullopt);
    }
    data.series.push_back(std::move(series));
  }
  data.monthState = Read(getFlag, flags, folder + month.key, "State").value_or("");
  data.monthLastModified = Read(getFlag, flags, folder + month.key, "LastModified").value_or("");
  for (const std::string& key : Keys(get, address, month.key)) {
    data.summary.emplace_back(key, Read(get, address, month.key, key).value_or(""));
  }
  return data;
}

}  // namespace tallowmere::host
