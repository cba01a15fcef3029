// One self-contained HTML page for a month of statistics: the month's
// completeness, one chart per key (inline SVG, so the page needs no other
// file), the day values and the month summary as tables. Pure function.
#pragma once

#include <string>

#include "tools/tallowmere/stats_month.h"

namespace tallowmere::host {

std::string RenderHtmlReport(const MonthData& data, const std::string& title);

}  // namespace tallowmere::host
