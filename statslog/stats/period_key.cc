#include "statslog/stats/period_key.h"

#include <cstdio>

namespace tallowmere::stats {

long PeriodField(std::string_view key, size_t position, size_t length) {
  if (position >= key.size()) return 0;
  std::string_view field = key.substr(position, length);
  size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  long value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) value = value * 10 + (field[i] - '0');
  return negative ? -value : value;
}

int ComparePeriodKeys(std::string_view a, std::string_view b) {
  if (const long d = PeriodYear(a) - PeriodYear(b); d != 0) return d < 0 ? -1 : 1;
  if (const long d = PeriodMonth(a) - PeriodMonth(b); d != 0) return d < 0 ? -1 : 1;
  const long d = PeriodDay(a) - PeriodDay(b);
  return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

bool IsLeapYear(long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(long year, long month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

std::string FormatDayKey(std::string_view monthKey, long day) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "D%2.2ld", day);
  std::string key(monthKey);
  key += digits;
  return key;
}

}  // namespace tallowmere::stats
