// The pieces of the month charts that do not need a browser: month keys,
// value items, number text, escaping, and the SVG's data for a small month.
#include <gtest/gtest.h>

#include "tools/tallowmere/stats_month.h"
#include "tools/tallowmere/svg_chart.h"

namespace tallowmere::host {
namespace {

TEST(ParseMonthTest, AcceptsMonthAndDayKeys) {
  struct Case {
    const char* text;
    const char* key;
    int days;
  } cases[] = {
      {"D2026M11", "D2026M11", 30}, {"D2026M11D05", "D2026M11", 30}, {"D2024M02", "D2024M02", 29},
      {"D2100M02", "D2100M02", 28}, {"D2000M02", "D2000M02", 29},    {"X2026Y12", "X2026Y12", 31},
  };
  for (const Case& c : cases) {
    const MonthKey month = ParseMonth(c.text);
    EXPECT_EQ(month.key, c.key) << c.text;
    EXPECT_EQ(month.days, c.days) << c.text;
  }
}

TEST(ParseMonthTest, RefusesMalformedKeysNamingThem) {
  for (const char* text : {"", "D2026M1", "D2026M13", "D2026M00", "D20a6M11", "D2026M11X05", "D2026M11D0"}) {
    try {
      ParseMonth(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const HostError& error) {
      EXPECT_EQ(error.exitCode(), kExitUsage);
      EXPECT_NE(std::string(error.what()).find(std::string("\"") + text + "\""), std::string::npos) << error.what();
    }
  }
}

TEST(ValueItemTest, PicksTheItemOfAList) {
  struct Case {
    const char* value;
    int item;
    std::optional<double> expected;
  } cases[] = {
      {"12.500000", 1, 12.5}, {"1.000000,2.000000,3.000000", 2, 2.0}, {"1,2,3", 3, 3.0}, {"1,2", 3, std::nullopt},
      {"", 1, std::nullopt},  {"abc", 1, 0.0},                         {"1,,3", 2, 0.0}, {"-4.25,1", 1, -4.25},
  };
  for (const Case& c : cases) EXPECT_EQ(ValueItem(c.value, c.item), c.expected) << c.value << " item " << c.item;
}

TEST(FormatNumberTest, DropsTrailingZeros) {
  EXPECT_EQ(FormatNumber(1234), "1234");
  EXPECT_EQ(FormatNumber(0.5), "0.5");
  EXPECT_EQ(FormatNumber(-0.0), "0");
  EXPECT_EQ(FormatNumber(2.125), "2.125");
}

TEST(XmlEscapeTest, EscapesMarkupAndControlBytes) {
  EXPECT_EQ(XmlEscape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
  EXPECT_EQ(XmlEscape(std::string("x\x01y\xe9")), "x y?");
}

TEST(SvgChartTest, CarriesEveryValueAndMarksDaysWithoutData) {
  MonthData data;
  data.month = ParseMonth("D2026M02");
  data.address.section = "SMTP";
  data.monthState = "[PARTIAL]";
  data.dayState.assign(28, "");
  data.dayHasKeys.assign(28, true);
  data.dayHasKeys[2] = false;
  MonthSeries series{"Mail<s>", std::vector<std::optional<double>>(28)};
  series.values[0] = 5;
  series.values[27] = 7.5;
  data.series = {series};
  const std::string svg = RenderSvgChart(data, {});
  EXPECT_NE(svg.find("data-completeness=\"partial\""), std::string::npos);
  EXPECT_NE(svg.find("data-key=\"Mail&lt;s&gt;\""), std::string::npos);
  EXPECT_NE(svg.find("data-day=\"1\" data-value=\"5\""), std::string::npos);
  EXPECT_NE(svg.find("data-day=\"28\" data-value=\"7.5\""), std::string::npos);
  EXPECT_NE(svg.find("<rect class=\"no-data\" data-day=\"3\""), std::string::npos);
  EXPECT_EQ(svg.find("data-day=\"2\" data-value"), std::string::npos);  // no value, no point
  EXPECT_NE(svg.find("days with data: 27 of 28"), std::string::npos);
}

}  // namespace
}  // namespace tallowmere::host
