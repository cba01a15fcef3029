// The record family: one table, one fixed-size host record and six
// operations (Add, Get, Edit, Remove, FindFirst/FindNext), described as data so
// that each store is a table of its fields. This unit composes the statement
// texts of a family and runs them through the provider's statement frame.
// Thread-safe: nothing here keeps state; enumeration positions belong to the
// caller. No function throws past its caller's catch: failures are results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <vector>

#include "provider/frame.h"

namespace tallowmere::stores {

enum class FieldKind : uint8_t { kText, kInteger };

// How a field takes part in a match text (see provider/sql_text.h).
enum class MatchRule : uint8_t {
  kNone,     // never restricts a match
  kText,     // AddTextCondition
  kNumber,   // AddNumberCondition
  kPattern,  // AddPatternCondition ("*" becomes a LIKE pattern after the first condition)
  kAddress,  // AddAddressCondition (the masks that cover an address)
};

// How a field is written in the value list of an Add.
enum class ValueForm : uint8_t {
  kQuotedText,     // 'text' with apostrophes doubled
  kBareInteger,    // 42
  kQuotedInteger,  // '42'
};

struct FieldSpec {
  const char* column;  // the column, named as the field
  uint32_t offset;     // byte offset in the host record
  uint32_t width;      // field width in bytes (4 for integers)
  FieldKind kind;
  MatchRule match;      // Get, Edit, Remove
  MatchRule findMatch;  // FindNext
  ValueForm value;
};

struct FamilySpec {
  const char* table;
  std::span<const FieldSpec> fields;
  size_t recordSize;
  // What each operation returns at each exit of the statement frame.
  provider::ExitResults add, get, edit, remove, findNext;
  // The text between the row-limit head and the column list of a FindNext
  // with a match text: " ID," everywhere, "  ID," for the access rules.
  const char* findNextIdLead;
  // The access rules report a failed FindNext execution with two lines of
  // their own around the frame's evaluation.
  bool logFindNextExecution;
  // The column list and the result columns 2 onward, computed once from
  // `fields` (JoinColumns, ResultColumnsOf).
  std::string columns;
  std::vector<provider::ResultColumn> resultColumns;
};

// Field helpers over a host record. Text is read up to the first NUL but at
// most width - 1 bytes, so an unterminated host field is never read past.
std::string_view FieldText(const void* record, const FieldSpec& field);
int32_t FieldInteger(const void* record, const FieldSpec& field);

// The column list: every column in record order, joined by "," without blanks.
std::string JoinColumns(std::span<const FieldSpec> fields);
// Every field bound in record order: text as character data of the field's
// width, integers as 32-bit integers.
std::vector<provider::ResultColumn> ResultColumnsOf(std::span<const FieldSpec> fields);

// Statement texts, exactly as sent. `forFind` selects the FindNext match rules.
// Each returns false (and leaves `out` unspecified) when a condition value is
// too long to be written (see provider/sql_text.h).
bool BuildMatch(const FamilySpec& family, const void* record, bool forFind, std::string& out);
bool BuildAddStatement(const FamilySpec& family, const void* record, std::string& out);
bool BuildGetStatement(const FamilySpec& family, const void* record, std::string& out);
bool BuildFindNextStatement(const FamilySpec& family, const void* record, int32_t last, std::string& out);
bool BuildEditStatement(const FamilySpec& family, const void* match, const void* values, std::string& out);
bool BuildRemoveStatement(const FamilySpec& family, const void* match, std::string& out);

// The operations. Records are the host's; reads fill `record` only when a row
// was fetched, with every text field ending within its width.
int32_t RunAdd(const FamilySpec& family, const void* record);
int32_t RunGet(const FamilySpec& family, void* record);
int32_t RunEdit(const FamilySpec& family, const void* match, const void* values);
int32_t RunRemove(const FamilySpec& family, const void* match);
// FindNext from position `last`; on success stores the row's ID in *found.
int32_t RunFindNext(const FamilySpec& family, void* record, int32_t last, int32_t* found);

}  // namespace tallowmere::stores
