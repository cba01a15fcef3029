#include "statslog/logproc/aggregation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "statslog/logproc/log_line.h"
#include "statslog/logproc/text_util.h"

namespace tallowmere::logproc {
namespace {

// Counts records (space-separated columns) under one header.
class Counting {
 public:
  Counting(const std::string& definition, const std::string& header)
      : def_(ParseReportDefinition(definition)), rows_(def_) {
    SplitColumns(header, ' ', header_);
    MapHeader(def_, header_, map_);
  }
  Counting& Add(const std::string& record) {
    std::vector<std::string_view> columns;
    SplitColumnsUpTo(record, ' ', map_.neededColumns, columns);
    rows_.AggregateRecord(columns, map_);
    return *this;
  }
  std::vector<std::string> Keys() const { return rows_.keys(); }
  std::vector<double> Row(const std::string& key) const {
    for (size_t r = 0; r < rows_.rowCount(); ++r) {
      if (rows_.keys()[r] == key) return {rows_.values(r), rows_.values(r) + rows_.fieldCount()};
    }
    ADD_FAILURE() << "no row " << key;
    return {};
  }
  const Aggregator& rows() const { return rows_; }

 private:
  ReportDefinition def_;
  Aggregator rows_;
  std::vector<std::string_view> header_;
  ColumnMap map_;
};

TEST(AggregationTest, RowsInFirstAppearanceOrderWithTotals) {
  Counting c("<GROUP>cs-username</GROUP>", "cs-username");
  c.Add("alice").Add("bob").Add("alice");
  EXPECT_EQ(c.Keys(), (std::vector<std::string>{"alice", "bob"}));
  EXPECT_EQ(c.Row("alice"), (std::vector<double>{2}));
  EXPECT_EQ(c.Row("bob"), (std::vector<double>{1}));
  EXPECT_EQ(c.rows().totals(), (std::vector<double>{3}));
  EXPECT_TRUE(c.rows().hasTotals());
}

TEST(AggregationTest, SortedArrivalKeepsOrderAndIsFast) {
  Counting c("<GROUP>cs-username</GROUP>", "cs-username");
  for (int i = 0; i < 200000; ++i) c.Add("user" + std::to_string(100000 + i));
  ASSERT_EQ(c.rows().rowCount(), 200000u);
  EXPECT_EQ(c.rows().keys()[0], "user100000");
  EXPECT_EQ(c.rows().keys()[199999], "user299999");
}

TEST(AggregationTest, KeysAreCaseSensitive) {
  Counting c("<GROUP>g</GROUP>", "g");
  c.Add("Z").Add("z").Add("Z");
  EXPECT_EQ(c.Keys(), (std::vector<std::string>{"Z", "z"}));
  EXPECT_EQ(c.Row("Z"), (std::vector<double>{2}));
}

TEST(AggregationTest, GroupValues) {
  struct Case {
    const char* name;
    std::string definition;
    std::string value;
    std::vector<std::string> keys;
    double totalCount;
  };
  const std::vector<Case> cases = {
      {"list", "<GROUP>g</GROUP>", "a,b,c", {"a", "b", "c"}, 3},
      {"empty items count nothing", "<GROUP>g</GROUP>", ",a,,b,", {"a", "b"}, 2},
      {"commas only", "<GROUP>g</GROUP>", std::string(100000, ','), {}, 0},
      {"repeated item counts twice", "<GROUP>g</GROUP>", "a,a", {"a"}, 2},
      {"url", "<GROUP>g</GROUP><GROUPAS>URL</GROUPAS>", "/dir/page.htm?id=7", {"/dir/page.htm"}, 1},
      {"domain http", "<GROUP>g</GROUP><GROUPAS>DOMAIN</GROUPAS>", "http://www.example.com/a/b", {"www.example.com"}, 1},
      {"domain https caps", "<GROUP>g</GROUP><GROUPAS>domain</GROUPAS>", "HTTPS://host.example?q=1", {"host.example"}, 1},
      {"domain plain cut", "<GROUP>g</GROUP><GROUPAS>DOMAIN</GROUPAS>", std::string(300, 'h'), {std::string(200, 'h')}, 1},
      {"domain slash after query", "<GROUP>g</GROUP><GROUPAS>DOMAIN</GROUPAS>", "host?q=/x", {"host?q="}, 1},
      {"filter then split", "<GROUP>g</GROUP><GROUPAS>URL</GROUPAS>", "a,b?c,d", {"a", "b"}, 2},
  };
  for (const Case& c : cases) {
    Counting counting(c.definition, "g");
    counting.Add(c.value);
    EXPECT_EQ(counting.Keys(), c.keys) << c.name;
    EXPECT_EQ(counting.rows().totals()[0], c.totalCount) << c.name;
  }
}

TEST(AggregationTest, EmptyGroupValueCountsNothing) {
  Counting c("<GROUP>g</GROUP>", "x g");
  c.Add("1");  // the group column is missing from this record
  c.Add("1 ");  // present but empty
  EXPECT_TRUE(c.Keys().empty());
  EXPECT_FALSE(c.rows().hasTotals());
}

TEST(AggregationTest, WithoutGroupColumnTheStatsRootIsTheKey) {
  struct Case {
    std::string definition;
    std::string key;
  };
  const std::vector<Case> cases = {
      {"<STATSROOT>Server1</STATSROOT>", "Server1"},
      {"", ""},
      {"<GROUP>cs-username</GROUP><STATSROOT>S</STATSROOT>", "S"},  // group column not in the header
  };
  for (const Case& c : cases) {
    Counting counting(c.definition, "x y");
    counting.Add("1 2").Add("3 4");
    EXPECT_EQ(counting.Keys(), (std::vector<std::string>{c.key})) << c.definition;
    EXPECT_EQ(counting.Row(c.key), (std::vector<double>{2})) << c.definition;
  }
}

TEST(AggregationTest, ConcatenatedKeys) {
  Counting c("<GROUP>CONCAT(c-ip \"-\" cs-username)</GROUP>", "c-ip cs-username");
  c.Add("10.0.0.1 alice").Add("10.0.0.2 alice").Add("10.0.0.1 alice");
  EXPECT_EQ(c.Keys(), (std::vector<std::string>{"10.0.0.1-alice", "10.0.0.2-alice"}));
  EXPECT_EQ(c.Row("10.0.0.1-alice"), (std::vector<double>{2}));

  // An operand column the header lacks adds nothing to the key.
  Counting missing("<GROUP>CONCAT(c-ip \"@\" nothere)</GROUP>", "c-ip");
  missing.Add("1.2.3.4");
  EXPECT_EQ(missing.Keys(), (std::vector<std::string>{"1.2.3.4@"}));
}

TEST(AggregationTest, FieldFunctions) {
  struct Case {
    const char* field;
    std::vector<std::string> records;  // columns: g method status uri bytes
    double expected;
  };
  const std::vector<Case> cases = {
      {"COUNT(method=DATA)", {"u DATA 250 / 1", "u data 250 / 1"}, 1},
      {"COUNT(method=DATA status=250)", {"u DATA 250 / 1", "u DATA 550 / 1", "u MAIL 250 / 1"}, 1},
      {"COUNT(uri*=.gif)", {"u x 1 /IMG/A.GIF 1", "u x 1 /a.htm 1"}, 1},
      {"COUNT(uri*=.gif method*=da)", {"u DATA 1 a.gif 1", "u MAIL 1 a.gif 1"}, 1},
      {"COUNT()", {"u a 1 / 1", "u b 2 / 2"}, 2},
      {"COUNT(uri*=)", {"u a 1 / 1"}, 0},  // an empty value never occurs
      {"COUNT(nothere=1)", {"u a 1 / 1"}, 0},
      {"COUNT(method)", {"u method 1 / 1"}, 0},  // no separator: never holds
      {"COUNT(method=DATA", {"u DATA 1 / 1"}, 0},  // no ")": counts nothing
      {"SUM(bytes)", {"u a 1 / 1500", "u a 1 / -", "u a 1 / 2.5e2"}, 1750},
      {"SUM(bytes status)", {"u a 7 / 3"}, 10},
      {"SUM(g)", {"12 a 1 / 1"}, 12},  // the first column is summed like any other
      {"SUM(nothere bytes)", {"u a 1 / 4"}, 4},
      {"bytes", {"u a 1 / 1", "u a 1 / 2"}, 3},
      {"nothere", {"u a 1 / 5"}, 0},
      {"CONCAT(method)", {"u a 1 / 5"}, 0},
  };
  for (const Case& c : cases) {
    Counting counting(std::string("<GROUP>g</GROUP><FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">") + c.field + "</FIELD>",
                      "g method status uri bytes");
    for (const std::string& record : c.records) counting.Add(record);
    const std::string key = counting.Keys().at(0);
    EXPECT_EQ(counting.Row(key)[1], c.expected) << c.field;
    EXPECT_EQ(counting.rows().totals()[1], c.expected) << c.field;
  }
}

TEST(AggregationTest, FieldsReadingTheGroupColumnSeeTheItem) {
  Counting c("<GROUP>g</GROUP><FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">COUNT(g=b)</FIELD>", "g");
  c.Add("a,b");
  EXPECT_EQ(c.Row("a"), (std::vector<double>{1, 0}));
  EXPECT_EQ(c.Row("b"), (std::vector<double>{1, 1}));
}

TEST(AggregationTest, MultiItemRecordsCountInEveryRowAndTheTotals) {
  Counting c("<GROUP>g</GROUP><FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">SUM(n)</FIELD>", "g n");
  c.Add("a,b 10").Add("b 1");
  EXPECT_EQ(c.Row("a"), (std::vector<double>{1, 10}));
  EXPECT_EQ(c.Row("b"), (std::vector<double>{2, 11}));
  EXPECT_EQ(c.rows().totals(), (std::vector<double>{3, 21}));
}

TEST(AggregationTest, LeadingNumbers) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {{"1500", 1500}, {"-", 0}, {"", 0}, {" 12abc", 12}, {"+3", 3}, {"-4.5", -4.5},
                        {"1e3", 1000}, {"1e", 1}, {".5", 0.5}, {"5.", 5}, {"0x10", 0}, {"inf", 0},
                        {"nan", 0}, {"12345678901234567890", 12345678901234567890.0}, {"1e400", HUGE_VAL},
                        {"1e-400", 0}, {"e5", 0}, {".", 0}, {"-.e1", 0}};
  for (const Case& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace tallowmere::logproc
