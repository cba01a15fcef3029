// Period keys: file names of fixed character positions, a marker at 0, the
// year at 1-4, a marker at 5, the month at 6-7, then (day keys only) "D" at 8
// and the day at 9-10. Month keys are the first 8 characters of a day key.
// Pure functions; thread-safe; nothing fails (missing digits read as 0).
#pragma once

#include <string>
#include <string_view>

namespace tallowmere::stats {

// The decimal conversion of at most `length` characters from `position` (as
// atoi reads them: leading blanks, a sign, then digits up to the first other
// character); 0 when no digit leads or the key is shorter.
long PeriodField(std::string_view key, size_t position, size_t length);

inline long PeriodYear(std::string_view key) { return PeriodField(key, 1, 4); }
inline long PeriodMonth(std::string_view key) { return PeriodField(key, 6, 2); }
inline long PeriodDay(std::string_view key) { return PeriodField(key, 9, 2); }

// Negative, zero or positive as a is earlier than, the same day as, or later
// than b: years, then months, then days compared.
int ComparePeriodKeys(std::string_view a, std::string_view b);

// True for years divisible by 4 and not by 100, or by 400.
bool IsLeapYear(long year);

// 31, 28 (29 in leap years), 31, 30, ... for months 1 to 12; 0 for any other.
int DaysInMonth(long year, long month);

// The month key, "D" and the day with two digits ("%sD%2.2ld").
std::string FormatDayKey(std::string_view monthKey, long day);

}  // namespace tallowmere::stats
