#include "statslog/logproc/results_writer.h"

#include <cinttypes>

#include "statslog/logproc/text_util.h"

namespace tallowmere::logproc {
namespace {

constexpr size_t kMaxKeyLength = 255;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void Print(std::FILE* console, const std::string& text) {
  if (console != nullptr) std::fwrite(text.data(), 1, text.size(), console);
}

}  // namespace

bool IsStorableKey(std::string_view key) {
  if (key.empty() || key[0] == '[' || key[0] == ';') return false;
  if (IsBlank(key.front()) || IsBlank(key.back())) return false;
  return key.find_first_of("\r\n=") == std::string_view::npos;
}

bool IsSafePostofficeName(std::string_view key) {
  if (key.empty() || key == "." || key == "..") return false;
  for (const char c : key) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '\\' || c == '/' || c == ':') return false;
  }
  return true;
}

std::string StoredKey(std::string_view key) {
  std::string stored(key.substr(0, kMaxKeyLength));
  for (char& c : stored) {
    if (c == '=') c = ':';
  }
  return stored;
}

std::vector<StatsEntry> GroupListEntries(const Aggregator& rows) {
  std::vector<StatsEntry> entries;
  entries.reserve(rows.rowCount());
  const auto n = static_cast<size_t>(rows.fieldCount());
  for (size_t r = 0; r < rows.rowCount(); ++r) {
    std::string key = StoredKey(rows.keys()[r]);
    if (!IsStorableKey(key)) continue;
    std::string value;
    const double* values = rows.values(r);
    for (size_t i = 0; i < n; ++i) {
      if (i > 0) value += ',';
      AppendFixed6(value, values[i]);
    }
    entries.push_back(StatsEntry{std::move(key), std::move(value)});
  }
  return entries;
}

std::string ReportFileText(const Aggregator& rows, const ReportDefinition& def) {
  std::string text = "Group\tCount";
  for (int32_t j = 1; j < def.fieldCount; ++j) {
    text += '\t';
    text += def.fields[static_cast<size_t>(j)].name;
  }
  text += '\n';
  const auto n = static_cast<size_t>(rows.fieldCount());
  for (size_t r = 0; r < rows.rowCount(); ++r) {
    text += rows.keys()[r];
    const double* values = rows.values(r);
    for (size_t i = 0; i < n; ++i) {
      text += '\t';
      AppendFixed6(text, values[i]);
    }
    text += '\n';
  }
  return text;
}

std::string TimeText(int64_t seconds) {
  // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04" PRId64 "-%02" PRId64 "-%02" PRId64 " %02" PRId64 ":%02" PRId64
                ":%02" PRId64 " UTC", year, month, day, rest / 3600, rest / 60 % 60, rest % 60);
  return buffer;
}

std::string StatusFileName(const ReportDefinition& def) {
  return def.statsRoot.empty() ? def.period : def.statsRoot + "\\" + def.period;
}

void WriteResults(const Aggregator& rows, const ReportDefinition& def, StatsWriter& writer, int64_t now,
                  std::FILE* console) {
  const auto n = static_cast<size_t>(rows.fieldCount());
  if (def.resultType == 1) {
    Print(console, "ResultsArray->Results.size():: " + std::to_string(rows.rowCount()) + "\n");
    const std::string& postoffice = def.statsRoot.empty() ? std::string("System") : def.statsRoot;
    std::vector<StatsEntry> entries = GroupListEntries(rows);
    if (!entries.empty() && IsSafePostofficeName(postoffice)) {
      writer.SetValues(def.server, postoffice, def.period, def.logSchema, entries);
    }
  } else {
    // Named fields in field order, each under its stored name.
    auto namedEntries = [&](const double* values, std::vector<StatsEntry>& entries) {
      for (size_t j = 1; j < n; ++j) {
        const std::string& name = def.fields[j].name;
        if (name.empty()) continue;
        std::string key = StoredKey(name);
        if (!IsStorableKey(key)) continue;
        std::string value;
        AppendFixed6(value, values[j]);
        entries.push_back(StatsEntry{std::move(key), std::move(value)});
      }
    };
    std::vector<StatsEntry> entries;
    for (size_t r = 0; r < rows.rowCount(); ++r) {
      const std::string& postoffice = rows.keys()[r];
      // Group keys come from the log: only plain names may become postoffice
      // directories, so nothing can reach outside the mail root.
      if (!IsSafePostofficeName(postoffice)) continue;
      entries.clear();
      std::string total;
      AppendFixed6(total, rows.values(r)[0]);
      entries.push_back(StatsEntry{"Total", std::move(total)});
      namedEntries(rows.values(r), entries);
      writer.SetValues(def.server, postoffice, def.period, def.logSchema, entries);
    }
    if (rows.hasTotals()) {
      entries.clear();
      namedEntries(rows.totals().data(), entries);
      std::string total;
      AppendFixed6(total, rows.totals()[0]);
      entries.push_back(StatsEntry{"Total", std::move(total)});
      writer.SetValues(def.server, "System", def.period, def.logSchema, entries);
    }
  }
  writer.SetFlag(def.server, def.statusScope, StatusFileName(def), def.logSchema, "LastModified",
                 std::to_string(static_cast<int32_t>(now)));
  Print(console, "Processed: " + std::to_string(rows.rowCount()) + " at " + TimeText(now) + "\n");
}

}  // namespace tallowmere::logproc
