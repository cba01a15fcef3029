#include "tools/tallowmere/html_report.h"

#include <ctime>

#include "tools/tallowmere/svg_chart.h"

namespace tallowmere::host {
namespace {

std::string TimeText(const std::string& seconds) {
  char* end = nullptr;
  const long long value = std::strtoll(seconds.c_str(), &end, 10);
  if (seconds.empty() || end == nullptr || *end != '\0') return seconds;
  const std::time_t t = static_cast<std::time_t>(value);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
  return text;
}

}  // namespace

std::string RenderHtmlReport(const MonthData& data, const std::string& title) {
  const std::string branch = data.address.scope == 1 || data.address.scope == 2 ? data.address.postoffice : "System";
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + XmlEscape(title) +
      "</title>\n<style>\n"
      "body{font-family:sans-serif;margin:2em;color:#222;max-width:1100px}\n"
      "h1{font-size:1.5em}h2{font-size:1.15em;margin-top:2em}\n"
      "table{border-collapse:collapse;font-size:.85em;margin:.5em 0}\n"
      "th,td{border:1px solid #ccc;padding:.2em .5em;text-align:right}\n"
      "th:first-child,td:first-child{text-align:left}\n"
      "tr.no-data td{background:#f3f3f3;color:#888}\n"
      ".state{display:inline-block;padding:.1em .6em;border-radius:.3em;background:#eee}\n"
      ".state.complete{background:#d8f0d8}.state.partial{background:#fbe7c6}.state.no-data{background:#f6d0d0}\n"
      ".charts svg{display:block;margin:1em 0;border:1px solid #ddd}\n"
      "</style>\n</head>\n<body>\n";
  html += "<h1>" + XmlEscape(title) + "</h1>\n";
  const std::string completeness = data.CompletenessText();
  std::string stateClass = completeness;
  for (char& c : stateClass) c = c == ' ' ? '-' : c;
  html += "<p>Section <b>" + XmlEscape(data.address.section) + "</b>, branch <b>" + XmlEscape(branch) +
          "</b>, server <b>" + XmlEscape(data.address.server.empty() ? "(this computer)" : data.address.server) +
          "</b>, month <b>" + data.month.key + "</b>. Month summary: <span id=\"completeness\" class=\"state " +
          stateClass + "\">" + XmlEscape(completeness) + "</span>";
  if (!data.monthLastModified.empty()) html += ", made " + XmlEscape(TimeText(data.monthLastModified));
  html += ".</p>\n";

  html += "<h2>Day values</h2>\n<div class=\"charts\">\n";
  for (const MonthSeries& series : data.series) {
    MonthData one = data;
    one.series = {series};
    ChartOptions options;
    options.title = series.key + " per day, " + data.month.key + " (" + branch + ")";
    html += RenderSvgChart(one, options);
  }
  if (data.series.empty()) html += "<p>No values are stored for this month.</p>\n";
  html += "</div>\n";

  html += "<h2>Day values as numbers</h2>\n<table id=\"day-values\">\n<tr><th>Day</th><th>State</th>";
  for (const MonthSeries& series : data.series) html += "<th>" + XmlEscape(series.key) + "</th>";
  html += "</tr>\n";
  for (int d = 1; d <= data.month.days; ++d) {
    const size_t i = static_cast<size_t>(d - 1);
    html += std::string("<tr") + (data.dayHasKeys[i] ? "" : " class=\"no-data\"") + " data-day=\"" +
            std::to_string(d) + "\"><td>" + DayKey(data.month, d) + "</td><td>" +
            XmlEscape(data.dayState[i].empty() ? "-" : data.dayState[i]) + "</td>";
    for (const MonthSeries& series : data.series) {
      html += "<td>" + (series.values[i] ? FormatNumber(*series.values[i]) : std::string("")) + "</td>";
    }
    html += "</tr>\n";
  }
  html += "</table>\n";

  html += "<h2>Month summary (" + data.month.key + ")</h2>\n";
  if (data.summary.empty()) {
    html += "<p>The month has not been summarised yet: run <code>tallowmere stats summary --section " +
            XmlEscape(data.address.section) + " --period " + data.month.key + "</code>.</p>\n";
  } else {
    html += "<table id=\"month-summary\">\n<tr><th>Key</th><th>Value as stored</th></tr>\n";
    for (const auto& [key, value] : data.summary) {
      html += "<tr><td>" + XmlEscape(key) + "</td><td>" + XmlEscape(value) + "</td></tr>\n";
    }
    html += "</table>\n";
  }
  html += "</body>\n</html>\n";
  return html;
}

}  // namespace tallowmere::host
