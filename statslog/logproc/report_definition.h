// The report definition: the tagged text a host passes to name one day's log
// files, where their statistics go, the group column and up to nine numbers
// per group. ParseReportDefinition never fails: absent or malformed elements
// give empty values, no numbered fields or fields that count nothing.
// Re-entrant; the parsed form is a plain value.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tallowmere::logproc {

// How a field's number is computed; the values are the stored kind numbers.
enum class FieldKind : int32_t {
  kPlain = 0,          // sum of the numeric values of the column named Name
  kCountEqual = 1,     // records whose operand columns equal their values
  kSum = 2,            // sum of the numeric values of the operand columns
  kCountContains = 5,  // records whose operand columns contain their values, any case
  kConcat = 6,         // field 0: the group key is the concatenation; elsewhere no number
};

// Change made to a group value before it becomes a key (GROUPAS).
enum class GroupValueFilter { kNone, kDomain, kUrl };

inline constexpr int kMaxFields = 10;  // field 0 (the group) and at most 9 numbered fields

struct Operand {
  // COUNT: column name before the first separator and the value after it;
  // SUM and CONCAT: both hold the whole operand. A CONCAT operand in double
  // quotes is a literal (its text between the quotes).
  std::string name;
  std::string value;
  // COUNT operand without a separator: it can never hold, so the COUNT
  // counts nothing.
  bool malformed = false;
};

struct FieldDefinition {
  std::string name;  // label, or the column read by a Plain field; field 0: the group column
  FieldKind kind = FieldKind::kPlain;
  std::vector<Operand> operands;
  // A function keyword without its closing ")": the field counts nothing.
  bool malformed = false;
};

struct ReportDefinition {
  // The common-reader keys, cut as stored: FILENAME, OUTPUTFILENAME,
  // STATSROOT and MINVERSION to 1022 characters, SERVER, SCOPE, GROUPAS,
  // FIELDCOUNT and LOGSCHEMA to 254, PERIOD and FORMAT to 62.
  std::string fileName;
  std::string outputFileName;
  std::string statsRoot;
  std::string server;
  std::string period;
  std::string format;
  std::string minVersion;
  std::string scope;
  std::string groupAs;
  std::string fieldCountText;
  std::string logSchema;

  char delimiter = ' ';     // tab when FORMAT is non-empty
  int32_t fieldCount = 1;   // numbered fields + 1, so 1 to 10
  int32_t resultType = 0;   // 1 group list, any other value per-postoffice totals
  int32_t statusScope = 1;  // 1 PostofficeScope (SCOPE empty), 0 SystemScope
  GroupValueFilter groupFilter = GroupValueFilter::kNone;
  std::string groupText;
  std::array<FieldDefinition, kMaxFields> fields;  // only the first fieldCount are used
};

// Parses a definition text. FIELDCOUNT outside 0 to 9 is clamped to that
// range; GROUP, RESULTTYPE and numbered-field texts are read whole.
ReportDefinition ParseReportDefinition(std::string_view text);

// Parses one field text (the group text or a numbered field's text).
FieldDefinition ParseFieldText(std::string_view text);

}  // namespace tallowmere::logproc
