// Times storing the results of N groups (the group-list form: one INI file,
// one key per group, one rewrite) through the statistics store, as the log
// processing does after its last file.
//   bench_store_results MAILROOT N [N ...]
// Prints "groups wall-seconds CPU-seconds" per N.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "statslog/logproc/aggregation.h"
#include "statslog/logproc/log_line.h"
#include "statslog/logproc/results_writer.h"
#include "statslog/logproc/store_stats_writer.h"

using namespace tallowmere::logproc;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s MAILROOT N [N ...]\n", argv[0]);
    return 2;
  }
  const std::string mailRoot = argv[1];
  const std::string registry = mailRoot + ".reg";
  std::ofstream(registry) << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]\r\n\"Mail Root\"=\""
                          << mailRoot << "\"\r\n";
  setenv("TALLOWMERE_REGISTRY", registry.c_str(), 1);

  for (int a = 2; a < argc; ++a) {
    const long groups = std::atol(argv[a]);
    const ReportDefinition def = ParseReportDefinition(
        "<GROUP>cs-username</GROUP><SERVER>MX1</SERVER><PERIOD>D2013M11D27</PERIOD><LOGSCHEMA>N" +
        std::to_string(groups) + "</LOGSCHEMA><FIELDCOUNT>3</FIELDCOUNT><FIELD ID=\"1\">B:SUM(sc-bytes)</FIELD>"
        "<FIELD ID=\"2\">D:COUNT(cs-method=DATA)</FIELD><FIELD ID=\"3\">S:COUNT(q*=spam)</FIELD>");
    Aggregator rows(def);
    ColumnMap map;
    std::vector<std::string_view> header;
    SplitColumns("cs-username sc-bytes cs-method q", ' ', header);
    MapHeader(def, header, map);
    std::vector<std::string_view> columns;
    for (long g = 0; g < groups; ++g) {
      const std::string record = "user" + std::to_string(g) + "@example.com 1234 DATA x-spam";
      SplitColumnsUpTo(record, ' ', map.neededColumns, columns);
      rows.AggregateRecord(columns, map);
    }
    StoreStatsWriter writer;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    WriteResults(rows, def, writer, 0, nullptr);
    const std::clock_t cpuStop = std::clock();
    const auto stop = std::chrono::steady_clock::now();
    std::printf("%ld %.6f %.6f\n", groups, std::chrono::duration<double>(stop - start).count(),
                static_cast<double>(cpuStop - cpuStart) / CLOCKS_PER_SEC);
  }
  return 0;
}
