#include "tools/tallowmere/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tallowmere::host {
namespace {

// Colour-blind-safe palette.
constexpr const char* kColours[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                    "#E69F00", "#56B4E9", "#000000", "#F0E442"};

std::string Fixed(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// A "nice" step (1, 2 or 5 times a power of ten) giving about `ticks` steps.
double NiceStep(double range, int ticks) {
  if (range <= 0) return 1;
  const double raw = range / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (raw <= factor * power) return factor * power;
  }
  return 10 * power;
}

}  // namespace

std::string XmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        // Control characters are not allowed in XML; bytes above 127 are
        // 8-bit text of unknown code page: shown as code page 1252 would be
        // lost, so they are replaced rather than producing invalid UTF-8.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
          out += ' ';
        } else if (static_cast<unsigned char>(c) >= 0x80) {
          out += '?';
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string FormatNumber(double value) {
  char text[64];
  if (std::fabs(value) >= 1e12) {
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
  }
  std::snprintf(text, sizeof text, "%.6f", value);
  std::string out = text;
  out.erase(out.find_last_not_of('0') + 1);
  if (!out.empty() && out.back() == '.') out.pop_back();
  if (out == "-0") out = "0";
  return out;
}

std::string RenderSvgChart(const MonthData& data, const ChartOptions& options) {
  const int width = options.width, height = options.height;
  const int left = 80, right = 180, top = 56, bottom = 56;
  const int plotWidth = width - left - right, plotHeight = height - top - bottom;
  const int days = data.month.days;

  double maximum = 0, minimum = 0;
  for (const MonthSeries& s : data.series) {
    for (const auto& v : s.values) {
      if (v) {
        maximum = std::max(maximum, *v);
        minimum = std::min(minimum, *v);
      }
    }
  }
  const double step = NiceStep(maximum - minimum, 5);
  const double yMin = std::floor(minimum / step) * step;
  double yMax = std::ceil(maximum / step) * step;
  if (yMax <= yMin) yMax = yMin + step;
  auto x = [&](int day) { return left + (days == 1 ? plotWidth / 2.0 : (day - 1) * plotWidth / double(days - 1)); };
  auto y = [&](double v) { return top + plotHeight - (v - yMin) / (yMax - yMin) * plotHeight; };

  const std::string branch =
      data.address.scope == 1 || data.address.scope == 2 ? data.address.postoffice : std::string("System");
  const std::string title = options.title.empty()
                                ? data.address.section + " " + data.month.key + " (" + branch +
                                      (data.address.server.empty() ? "" : ", server " + data.address.server) + ")"
                                : options.title;
  char header[512];
  std::snprintf(header, sizeof header,
                "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"tallowmere-chart\" width=\"%d\" height=\"%d\" "
                "viewBox=\"0 0 %d %d\" font-family=\"sans-serif\" font-size=\"12\" ",
                width, height, width, height);
  std::string svg = header;
  svg += "data-section=\"" + XmlEscape(data.address.section) + "\" data-month=\"" + data.month.key +
         "\" data-item=\"" + std::to_string(data.item) + "\" data-completeness=\"" +
         XmlEscape(data.CompletenessText()) + "\">\n";
  svg += "<title>" + XmlEscape(title) + "</title>\n";
  svg += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) +
         "\" fill=\"#ffffff\"/>\n";
  svg += "<text class=\"chart-title\" x=\"" + std::to_string(left) + "\" y=\"22\" font-size=\"15\" font-weight=\"bold\">" +
         XmlEscape(title) + "</text>\n";
  int missingDays = 0;
  for (int d = 1; d <= days; ++d) missingDays += data.dayHasKeys[static_cast<size_t>(d - 1)] ? 0 : 1;
  svg += "<text class=\"completeness\" x=\"" + std::to_string(left) + "\" y=\"40\" fill=\"#444\">Month: " +
         XmlEscape(data.CompletenessText()) + "; days with data: " + std::to_string(days - missingDays) + " of " +
         std::to_string(days) + (data.item > 1 ? "; item " + std::to_string(data.item) + " of each value" : "") +
         "</text>\n";

  // Days without data, shaded.
  const double dayWidth = days > 1 ? plotWidth / double(days - 1) : plotWidth;
  for (int d = 1; d <= days; ++d) {
    if (data.dayHasKeys[static_cast<size_t>(d - 1)]) continue;
    svg += "<rect class=\"no-data\" data-day=\"" + std::to_string(d) + "\" x=\"" + Fixed(x(d) - dayWidth / 2) +
           "\" y=\"" + std::to_string(top) + "\" width=\"" + Fixed(dayWidth) + "\" height=\"" +
           std::to_string(plotHeight) + "\" fill=\"#eeeeee\"><title>day " + std::to_string(d) +
           ": no data</title></rect>\n";
  }

  // Axes, grid and labels.
  svg += "<g class=\"y-axis\" stroke=\"#cccccc\">\n";
  for (double v = yMin; v <= yMax + step / 2; v += step) {
    svg += "<line x1=\"" + std::to_string(left) + "\" x2=\"" + std::to_string(left + plotWidth) + "\" y1=\"" +
           Fixed(y(v)) + "\" y2=\"" + Fixed(y(v)) + "\"/>";
    svg += "<text x=\"" + std::to_string(left - 6) + "\" y=\"" + Fixed(y(v) + 4) +
           "\" text-anchor=\"end\" stroke=\"none\" fill=\"#333\">" + FormatNumber(v) + "</text>\n";
  }
  svg += "</g>\n<g class=\"x-axis\">\n";
  svg += "<line x1=\"" + std::to_string(left) + "\" x2=\"" + std::to_string(left + plotWidth) + "\" y1=\"" +
         std::to_string(top + plotHeight) + "\" y2=\"" + std::to_string(top + plotHeight) + "\" stroke=\"#333\"/>\n";
  for (int d = 1; d <= days; ++d) {
    if (days > 16 && d % 2 == 0 && d != days) continue;
    svg += "<text x=\"" + Fixed(x(d)) + "\" y=\"" + std::to_string(top + plotHeight + 16) +
           "\" text-anchor=\"middle\" fill=\"#333\">" + std::to_string(d) + "</text>";
  }
  svg += "\n<text class=\"x-label\" x=\"" + std::to_string(left + plotWidth / 2) + "\" y=\"" +
         std::to_string(height - 12) + "\" text-anchor=\"middle\">Day of " + data.month.key + " (" +
         std::to_string(data.month.year) + "-" + (data.month.month < 10 ? "0" : "") +
         std::to_string(data.month.month) + ")</text>\n</g>\n";
  svg += "<text class=\"y-label\" transform=\"translate(18," + std::to_string(top + plotHeight / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">Value per day</text>\n";

  // One line per key; gaps where a day has no value.
  for (size_t i = 0; i < data.series.size(); ++i) {
    const MonthSeries& s = data.series[i];
    const char* colour = kColours[i % (sizeof kColours / sizeof *kColours)];
    svg += "<g class=\"series\" data-key=\"" + XmlEscape(s.key) + "\" stroke=\"" + colour + "\" fill=\"" + colour +
           "\">\n";
    std::string path;
    bool pen = false;
    for (int d = 1; d <= days; ++d) {
      const auto& v = s.values[static_cast<size_t>(d - 1)];
      if (!v) {
        pen = false;
        continue;
      }
      path += (pen ? " L" : " M") + Fixed(x(d)) + " " + Fixed(y(*v));
      pen = true;
    }
    if (!path.empty()) svg += "<path d=\"" + path.substr(1) + "\" fill=\"none\" stroke-width=\"2\"/>\n";
    for (int d = 1; d <= days; ++d) {
      const auto& v = s.values[static_cast<size_t>(d - 1)];
      if (!v) continue;
      svg += "<circle class=\"point\" data-day=\"" + std::to_string(d) + "\" data-value=\"" + FormatNumber(*v) +
             "\" cx=\"" + Fixed(x(d)) + "\" cy=\"" + Fixed(y(*v)) + "\" r=\"3\"><title>" + XmlEscape(s.key) +
             ", day " + std::to_string(d) + ": " + FormatNumber(*v) + "</title></circle>\n";
    }
    svg += "</g>\n";
  }

  // Legend.
  svg += "<g class=\"legend\">\n";
  for (size_t i = 0; i < data.series.size(); ++i) {
    const int ly = top + 8 + static_cast<int>(i) * 20;
    const char* colour = kColours[i % (sizeof kColours / sizeof *kColours)];
    double total = 0;
    for (const auto& v : data.series[i].values) total += v.value_or(0);
    svg += "<rect x=\"" + std::to_string(left + plotWidth + 16) + "\" y=\"" + std::to_string(ly - 9) +
           "\" width=\"12\" height=\"12\" fill=\"" + colour + "\"/><text class=\"legend-key\" data-key=\"" +
           XmlEscape(data.series[i].key) + "\" data-total=\"" + FormatNumber(total) + "\" x=\"" +
           std::to_string(left + plotWidth + 34) + "\" y=\"" + std::to_string(ly + 1) + "\">" +
           XmlEscape(data.series[i].key) + "</text>\n";
  }
  if (data.series.empty()) {
    svg += "<text x=\"" + std::to_string(left + plotWidth / 2) + "\" y=\"" + std::to_string(top + plotHeight / 2) +
           "\" text-anchor=\"middle\" fill=\"#888\">no values in this month</text>\n";
  }
  svg += "</g>\n</svg>\n";
  return svg;
}

}  // namespace tallowmere::host
