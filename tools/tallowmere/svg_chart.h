// Draws a month of day values as one self-contained SVG image: one line per
// key over the days of the month, labelled axes, a legend, and the month's
// completeness (days without data are shaded). Every point carries its day
// and value as data attributes and a tooltip, so the picture can be checked
// by a program as well as read by a person. Pure functions; never fail.
#pragma once

#include <string>

#include "tools/tallowmere/stats_month.h"

namespace tallowmere::host {

struct ChartOptions {
  int width = 860;
  int height = 380;
  std::string title;  // empty: "<section> <month> (<branch>, <server>)"
};

std::string RenderSvgChart(const MonthData& data, const ChartOptions& options);

// Text escaped for XML/HTML content and attribute values.
std::string XmlEscape(const std::string& text);

// A number as the charts print it: up to 6 significant decimals, no trailing
// zeros ("1234", "0.5", "1.5e+09" for very large values).
std::string FormatNumber(double value);

}  // namespace tallowmere::host
