#include "statslog/stats/stats_purge.h"

#include <string>

#include "platform/file_system.h"
#include "statslog/stats/delete_file_or_tree.h"
#include "statslog/stats/file_iterator.h"
#include "statslog/stats/mail_root.h"
#include "statslog/stats/period_key.h"

namespace tallowmere::stats {
namespace {

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

// A key whose day positions hold no digit is a month key.
bool HasDay(std::string_view key) { return key.size() > 9 && key[9] >= '0' && key[9] <= '9'; }

long DayOrMonthEnd(std::string_view key) {
  if (HasDay(key)) return PeriodDay(key);
  const int days = DaysInMonth(PeriodYear(key), PeriodMonth(key));
  return days == 0 ? 31 : days;
}

}  // namespace

bool IsPeriodOnOrBefore(std::string_view stem, std::string_view date) {
  if (HasDay(stem) && HasDay(date)) return ComparePeriodKeys(stem, date) <= 0;
  if (const long d = PeriodYear(stem) - PeriodYear(date); d != 0) return d < 0;
  if (const long d = PeriodMonth(stem) - PeriodMonth(date); d != 0) return d < 0;
  return DayOrMonthEnd(stem) <= DayOrMonthEnd(date);
}

bool PurgeEntireStatsCacheCore() {
  const std::string root = GetMailRoot();
  FileIterator branches(root + "\\*", platform::kAttrDirectory);
  for (std::string branch = branches.First(); branches.IsValid(); branch = branches.Next()) {
    if (IsDotEntry(branch)) continue;
    DeleteFileOrTree(root + "\\" + branch + "\\STATSROOT", true, true);
  }
  return true;
}

bool IsPurgeDate(std::string_view date) {
  auto digits = [&](size_t position, size_t length) {
    if (date.size() < position + length) return false;
    for (size_t i = position; i < position + length; ++i) {
      if (date[i] < '0' || date[i] > '9') return false;
    }
    return true;
  };
  const long month = PeriodMonth(date);
  return digits(1, 4) && digits(6, 2) && month >= 1 && month <= 12;
}

bool PurgeStatsCacheBeforeDateCore(std::string_view date) {
  if (!IsPurgeDate(date)) return false;
  const std::string root = GetMailRoot();
  FileIterator branches(root + "\\*", platform::kAttrDirectory);
  for (std::string branch = branches.First(); branches.IsValid(); branch = branches.Next()) {
    if (IsDotEntry(branch)) continue;
    const std::string serversDirectory = root + "\\" + branch + "\\STATSROOT\\Servers";
    FileIterator servers(serversDirectory + "\\*", platform::kAttrDirectory);
    for (std::string server = servers.First(); servers.IsValid(); server = servers.Next()) {
      if (IsDotEntry(server)) continue;
      const std::string serverDirectory = serversDirectory + "\\" + server;
      FileIterator files(serverDirectory + "\\*.INI");
      for (std::string name = files.First(); files.IsValid(); name = files.Next()) {
        if (name.size() < 4) continue;
        const std::string_view stem(name.data(), name.size() - 4);
        if (IsPeriodOnOrBefore(stem, date)) DeleteFileOrTree(serverDirectory + "\\" + name, true, true);
      }
    }
  }
  return true;
}

}  // namespace tallowmere::stats
