// tallowmere stats chart / stats report: pictures of a month of statistics.
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <iostream>

#include "tallowmere/statslog.h"
#include "tools/tallowmere/commands.h"
#include "tools/tallowmere/html_report.h"
#include "tools/tallowmere/product_commands.h"
#include "tools/tallowmere/svg_chart.h"

namespace tallowmere::host {
namespace {

struct MonthOptions {
  std::string server;
  std::string scope;
  std::string postoffice;
  std::string section;
  std::string month;
  std::vector<std::string> keys;
  int item = 1;
  std::string statusFolder;
  std::string output = "-";
  std::string title;
};

void AddOptions(CLI::App* command, MonthOptions& o) {
  command->add_option("--section", o.section, "INI section (the report's log schema), e.g. SMTP")->required();
  command->add_option("--month", o.month, "Month key, e.g. D2026M11 (a day key of the month works too)")
      ->required();
  command->add_option("--server", o.server, "Mail server name (default: this computer's name)");
  command->add_option("--scope", o.scope, "system, postoffice or nested (default: postoffice when --postoffice is given)");
  command->add_option("--postoffice", o.postoffice, "Postoffice whose statistics to draw (default: System)");
  command->add_option("--key", o.keys, "Key to draw (repeat for several; default: every key of the month)");
  command->add_option("--item", o.item, "Which number of a value list to draw (1 = the first)")
      ->check(CLI::Range(1, 1000));
  command->add_option("--status-folder", o.statusFolder,
                      "Folder of the flag files (the report's STATSROOT, when it had one)");
  command->add_option("--title", o.title, "Title of the picture or page");
}

MonthData Read(HostContext& context, const MonthOptions& o) {
  const MonthKey month = ParseMonth(o.month);
  StatsAddress address{o.server, ParseScope(o.scope, o.postoffice), o.postoffice, o.section};
  if ((address.scope == TALLOWMERE_POSTOFFICE_SCOPE || address.scope == TALLOWMERE_NESTED_SCOPE) &&
      o.postoffice.empty()) {
    throw HostError(kExitUsage, "--postoffice is required with --scope " + o.scope);
  }
  const bool progress = isatty(STDERR_FILENO) == 1 && !context.json;
  if (progress) std::cerr << "reading " << o.section << " " << month.key << " ..." << std::flush;
  MonthData data = ReadMonth(context, address, month, o.keys, o.item, o.statusFolder);
  if (progress) std::cerr << "\r\033[K";
  return data;
}

void Write(const std::string& path, const std::string& content) {
  if (path == "-") {
    std::cout << content;
    return;
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  file.close();
  if (!file) throw HostError(kExitFailed, "cannot write " + path + ": " + std::strerror(errno));
}

nlohmann::json Summary(const MonthData& data, const std::string& output) {
  nlohmann::json keys = nlohmann::json::array();
  for (const MonthSeries& s : data.series) keys.push_back(s.key);
  int daysWithData = 0;
  for (bool has : data.dayHasKeys) daysWithData += has ? 1 : 0;
  return {{"output", output},        {"section", data.address.section}, {"month", data.month.key},
          {"keys", keys},            {"daysWithData", daysWithData},    {"days", data.month.days},
          {"completeness", data.CompletenessText()}};
}

}  // namespace

void RegisterChartCommands(CLI::App& stats, HostContext& context) {
  auto chart = std::make_shared<MonthOptions>();
  CLI::App* chartCommand = stats.add_subcommand(
      "chart", "Draw the day values of a month as an SVG picture (one line per key, with legend and the month's "
               "completeness)");
  AddOptions(chartCommand, *chart);
  chartCommand->add_option("--output,-o", chart->output, "SVG file to write (default: standard output)");
  chartCommand->callback([&context, chart] {
    const MonthData data = Read(context, *chart);
    ChartOptions options;
    options.title = chart->title;
    Write(chart->output, RenderSvgChart(data, options));
    if (chart->output != "-") {
      context.Report(true, Summary(data, chart->output),
                     "wrote " + chart->output + " (" + std::to_string(data.series.size()) + " key(s), month " +
                         data.CompletenessText() + ")");
    }
    if (data.series.empty()) std::cerr << "tallowmere: no values stored for " << chart->section << " in " << data.month.key << '\n';
  });

  auto report = std::make_shared<MonthOptions>();
  report->output = "";
  CLI::App* reportCommand = stats.add_subcommand(
      "report", "Write one self-contained HTML page for a month: a chart per key, the day values and the month "
                "summary as tables");
  AddOptions(reportCommand, *report);
  reportCommand->add_option("--output,-o", report->output, "HTML file to write")->required();
  reportCommand->callback([&context, report] {
    const MonthData data = Read(context, *report);
    const std::string title = report->title.empty()
                                  ? "Statistics " + report->section + " " + data.month.key
                                  : report->title;
    Write(report->output, RenderHtmlReport(data, title));
    context.Report(true, Summary(data, report->output),
                   "wrote " + report->output + " (" + std::to_string(data.series.size()) + " key(s), month " +
                       data.CompletenessText() + ")");
  });
}

}  // namespace tallowmere::host
