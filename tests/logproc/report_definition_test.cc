#include "statslog/logproc/report_definition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallowmere::logproc {
namespace {

struct KeyCase {
  const char* text;
  std::string ReportDefinition::*member;
  std::string expected;
};

TEST(ReportDefinitionTest, CommonKeys) {
  const std::string longName = "C:\\" + std::string(1097, 'a');  // 1100 characters
  const std::string longFileName = "<FILENAME>" + longName + "</FILENAME>";
  const std::vector<KeyCase> cases = {
      {"<FILENAME>C:\\logs\\x.log</FILENAME>", &ReportDefinition::fileName, "C:\\logs\\x.log"},
      {"junk<SERVER>MX1</SERVER>junk<SERVER>MX2</SERVER>", &ReportDefinition::server, "MX1"},
      {"<filename>x</filename>", &ReportDefinition::fileName, ""},
      {"<PERIOD>D2013M11D27", &ReportDefinition::period, ""},  // no closing tag
      {"<PERIOD></PERIOD>", &ReportDefinition::period, ""},
      // An empty element reads up to the next closing tag of its key.
      {"<STATSROOT></STATSROOT> x <STATSROOT>y</STATSROOT>", &ReportDefinition::statsRoot,
       "</STATSROOT> x <STATSROOT>y"},
      {longFileName.c_str(), &ReportDefinition::fileName, longName.substr(0, 1022)},
      {"<PERIOD>" "0123456789012345678901234567890123456789012345678901234567890123456789" "</PERIOD>",
       &ReportDefinition::period, "01234567890123456789012345678901234567890123456789012345678901"},
      {"<LOGSCHEMA>SMTP</LOGSCHEMA><FORMAT>tab</FORMAT>", &ReportDefinition::logSchema, "SMTP"},
  };
  for (const KeyCase& c : cases) {
    const ReportDefinition def = ParseReportDefinition(c.text);
    EXPECT_EQ(def.*c.member, c.expected) << c.text;
  }
}

TEST(ReportDefinitionTest, DerivedValues) {
  struct Case {
    const char* text;
    int32_t fieldCount;
    int32_t resultType;
    int32_t statusScope;
    char delimiter;
    GroupValueFilter filter;
  };
  const Case cases[] = {
      {"", 1, 0, 1, ' ', GroupValueFilter::kNone},
      {"<GROUP>account</GROUP>", 1, 0, 1, ' ', GroupValueFilter::kNone},
      {"<GROUP>ACCOUNT</GROUP>", 1, 0, 1, ' ', GroupValueFilter::kNone},
      {"<GROUP>cs-uri-stem</GROUP>", 1, 1, 1, ' ', GroupValueFilter::kNone},
      {"<GROUP>account</GROUP><RESULTTYPE>1</RESULTTYPE>", 1, 1, 1, ' ', GroupValueFilter::kNone},
      {"<GROUP>x</GROUP><RESULTTYPE> -7z</RESULTTYPE>", 1, -7, 1, ' ', GroupValueFilter::kNone},
      {"<FIELDCOUNT>3</FIELDCOUNT>", 4, 0, 1, ' ', GroupValueFilter::kNone},
      {"<FIELDCOUNT> +2abc</FIELDCOUNT>", 3, 0, 1, ' ', GroupValueFilter::kNone},
      {"<FIELDCOUNT>abc</FIELDCOUNT>", 1, 0, 1, ' ', GroupValueFilter::kNone},
      {"<FIELDCOUNT>-5</FIELDCOUNT>", 1, 0, 1, ' ', GroupValueFilter::kNone},
      {"<FIELDCOUNT>1000</FIELDCOUNT>", 10, 0, 1, ' ', GroupValueFilter::kNone},
      {"<FIELDCOUNT>99999999999999999999</FIELDCOUNT>", 10, 0, 1, ' ', GroupValueFilter::kNone},
      {"<SCOPE>any</SCOPE>", 1, 0, 0, ' ', GroupValueFilter::kNone},
      {"<FORMAT>tab</FORMAT>", 1, 0, 1, '\t', GroupValueFilter::kNone},
      {"<GROUPAS>domain</GROUPAS>", 1, 0, 1, ' ', GroupValueFilter::kDomain},
      {"<GROUPAS>Url</GROUPAS>", 1, 0, 1, ' ', GroupValueFilter::kUrl},
      {"<GROUPAS>host</GROUPAS>", 1, 0, 1, ' ', GroupValueFilter::kNone},
  };
  for (const Case& c : cases) {
    const ReportDefinition def = ParseReportDefinition(c.text);
    EXPECT_EQ(def.fieldCount, c.fieldCount) << c.text;
    EXPECT_EQ(def.resultType, c.resultType) << c.text;
    EXPECT_EQ(def.statusScope, c.statusScope) << c.text;
    EXPECT_EQ(def.delimiter, c.delimiter) << c.text;
    EXPECT_EQ(def.groupFilter, c.filter) << c.text;
  }
}

struct FieldCase {
  const char* text;
  std::string name;
  FieldKind kind;
  std::vector<std::pair<std::string, std::string>> operands;  // name, value
  bool malformed = false;
  std::vector<bool> malformedOperands = {};
};

TEST(ReportDefinitionTest, FieldTexts) {
  const std::vector<FieldCase> cases = {
      {"Received:COUNT(cs-method=DATA sc-status=250)", "Received", FieldKind::kCountEqual,
       {{"cs-method", "DATA"}, {"sc-status", "250"}}},
      {"Images:COUNT(cs-uri-stem*=.gif)", "Images", FieldKind::kCountContains, {{"cs-uri-stem", ".gif"}}},
      {"sc-bytes", "sc-bytes", FieldKind::kPlain, {}},
      {"Bytes:sc-bytes", "Bytes", FieldKind::kPlain, {}},
      {"Traffic:SUM(sc-bytes cs-bytes)", "Traffic", FieldKind::kSum, {{"sc-bytes", "sc-bytes"}, {"cs-bytes", "cs-bytes"}}},
      {"Hits:count(cs-method=DATA)", "Hits", FieldKind::kPlain, {}},
      {"CONCAT(c-ip \"-\" cs-username)", "CONCAT(c-ip \"-\" cs-username)", FieldKind::kConcat,
       {{"c-ip", "c-ip"}, {"\"-\"", "\"-\""}, {"cs-username", "cs-username"}}},
      // COUNT is tested before SUM.
      {"X:SUM(a) COUNT(b=1)", "X", FieldKind::kCountEqual, {{"b", "1"}}},
      {"X:COUNT()", "X", FieldKind::kCountEqual, {}},
      {"X:COUNT(a=1=2)", "X", FieldKind::kCountEqual, {{"a", "1"}}},
      // Two spaces give an empty operand; a leading space one before the first.
      {"X:SUM(a  b)", "X", FieldKind::kSum, {{"a", "a"}, {"", ""}, {"b", "b"}}},
      {"X:SUM( a)", "X", FieldKind::kSum, {{"", ""}, {"a", "a"}}},
      {"X:COUNT(a", "X", FieldKind::kCountEqual, {}, true},
      {"X:COUNT(flag)", "X", FieldKind::kCountEqual, {{"flag", ""}}, false, {true}},
      {"", "", FieldKind::kPlain, {}},
  };
  for (const FieldCase& c : cases) {
    const FieldDefinition field = ParseFieldText(c.text);
    EXPECT_EQ(field.name, c.name) << c.text;
    EXPECT_EQ(field.kind, c.kind) << c.text;
    EXPECT_EQ(field.malformed, c.malformed) << c.text;
    ASSERT_EQ(field.operands.size(), c.operands.size()) << c.text;
    for (size_t j = 0; j < c.operands.size(); ++j) {
      EXPECT_EQ(field.operands[j].name, c.operands[j].first) << c.text << " operand " << j;
      EXPECT_EQ(field.operands[j].value, c.operands[j].second) << c.text << " operand " << j;
      const bool malformed = j < c.malformedOperands.size() && c.malformedOperands[j];
      EXPECT_EQ(field.operands[j].malformed, malformed) << c.text << " operand " << j;
    }
  }
}

TEST(ReportDefinitionTest, NumberedFieldsAndCarryOver) {
  const ReportDefinition def = ParseReportDefinition(
      "<GROUP>cs-username</GROUP><FIELDCOUNT>3</FIELDCOUNT>"
      "<FIELD ID=\"1\">Bytes:SUM(sc-bytes)</FIELD><FIELD ID=\"3\">Mails:COUNT(cs-method=DATA)</FIELD>"
      "<FIELD ID=\"1\">ignored:SUM(x)</FIELD><FIELD ID=\"4\">beyond</FIELD>");
  ASSERT_EQ(def.fieldCount, 4);
  EXPECT_EQ(def.fields[0].name, "cs-username");
  EXPECT_EQ(def.fields[1].name, "Bytes");
  // Field 2 is absent and takes field 1's text.
  EXPECT_EQ(def.fields[2].name, "Bytes");
  EXPECT_EQ(def.fields[2].kind, FieldKind::kSum);
  EXPECT_EQ(def.fields[3].name, "Mails");
  EXPECT_EQ(def.fields[3].kind, FieldKind::kCountEqual);
  EXPECT_TRUE(def.fields[4].name.empty());
}

TEST(ReportDefinitionTest, FieldOneCarriesTheGroupText) {
  const ReportDefinition def = ParseReportDefinition("<GROUP>cs-username</GROUP><FIELDCOUNT>1</FIELDCOUNT>");
  EXPECT_EQ(def.fields[1].name, "cs-username");
  EXPECT_EQ(def.fields[1].kind, FieldKind::kPlain);
}

TEST(ReportDefinitionTest, HostileDefinitionsParse) {
  std::string manyFields = "<FIELDCOUNT>9</FIELDCOUNT>";
  for (int i = 0; i < 10000; ++i) manyFields += "<FIELD ID=\"" + std::to_string(i) + "\">f" + std::to_string(i) + "</FIELD>";
  std::string longGroup = "<GROUP>" + std::string(100000, ',') + "</GROUP>";
  std::string binary;
  for (int i = 1; i < 256 * 40; ++i) binary += static_cast<char>(i % 255 + 1);
  const std::string texts[] = {
      manyFields, longGroup, binary, "<GROUP><GROUP></GROUP></GROUP>", "</GROUP><GROUP>",
      "<FIELD ID=\"1\">a</FIELD><FIELDCOUNT>1</FIELDCOUNT><FIELD ID=\"1\">", "<", "<FIELDCOUNT>",
      "<FIELDCOUNT></FIELDCOUNT>", std::string(5000, '<') + "COUNT(" + std::string(5000, ' '),
  };
  for (const std::string& text : texts) {
    const ReportDefinition def = ParseReportDefinition(text);
    EXPECT_GE(def.fieldCount, 1);
    EXPECT_LE(def.fieldCount, kMaxFields);
  }
  const ReportDefinition def = ParseReportDefinition(manyFields);
  EXPECT_EQ(def.fields[9].name, "f9");
}

}  // namespace
}  // namespace tallowmere::logproc
