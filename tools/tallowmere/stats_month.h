// A month of statistics read through libstatslog's exports for charts and
// reports: the day values of chosen keys of one section, which days have
// data, the month summary's values and completeness. Not thread-safe (one
// reader per command). Read failures are "no value", never exceptions;
// ParseMonth throws HostError naming the bad value.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/tallowmere/host_context.h"

namespace tallowmere::host {

// Where the statistics live, as the stats commands take it.
struct StatsAddress {
  std::string server;      // empty: this computer's name
  int32_t scope = 0;       // StatsScope
  std::string postoffice;  // for the postoffice scope
  std::string section;
};

struct MonthKey {
  std::string key;  // 8 characters, e.g. D2026M11
  int year = 0;
  int month = 0;
  int days = 0;  // February 29 counts in leap years
};

// Accepts a month key (D2026M11) or a day key of it (D2026M11D05).
MonthKey ParseMonth(const std::string& text);

// The day key of `day` in the month ("D2026M11D05").
std::string DayKey(const MonthKey& month, int day);

struct MonthSeries {
  std::string key;
  std::vector<std::optional<double>> values;  // one per day; nullopt: no value stored
};

struct MonthData {
  MonthKey month;
  StatsAddress address;
  int item = 1;                       // which item of a value list is charted (1 = first)
  std::vector<std::string> dayState;  // per day: "[COMPLETE]", "[NODATA]" or "" (never processed)
  std::vector<bool> dayHasKeys;       // per day: the section holds at least one key
  std::string monthState;             // the summary's "State" flag, "" when never summarised
  std::string monthLastModified;      // the summary's "LastModified" flag (seconds since 1970)
  std::vector<std::pair<std::string, std::string>> summary;  // month file: key, value as stored
  std::vector<MonthSeries> series;

  // "complete", "partial", "no data" or "not summarised".
  std::string CompletenessText() const;
};

// Reads the month. `keys` empty: every key found on any day, in the order
// first met. `statusFolder` is the folder of the flag files ("" when the
// report wrote them without one).
MonthData ReadMonth(HostContext& context, const StatsAddress& address, const MonthKey& month,
                    const std::vector<std::string>& keys, int item, const std::string& statusFolder);

// Item `item` (1-based) of a stored value list as a number ("12.5,3" item 2
// is 3); nullopt when the list has fewer items. Text that is not a number
// reads as 0, as the month summary counts it.
std::optional<double> ValueItem(const std::string& value, int item);

}  // namespace tallowmere::host
