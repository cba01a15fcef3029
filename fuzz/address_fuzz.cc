// Fuzz target: the IPv6 parser and the address-mask conditions.
//
// Input: the address text, parsed with each combination of acceptWildcard
// and acceptShort.
// - A valid parse prints in the full form and parses again to the same
//   groups; an invalid one leaves every group reset.
// - The IPv4 and IPv6 mask conditions (and the dispatch) add, after a first
//   condition, exactly the alternatives they promise: every quoted piece
//   forms exactly one literal, the text outside the literals is the fixed
//   frame, and the last IPv4 alternative is the value itself.
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/sql_literals.h"
#include "provider/address_condition.h"

namespace tallowmere::fuzz {

namespace {

using provider::IPv6Address;

bool AllReset(const IPv6Address& address) {
  for (size_t i = 0; i < 8; ++i) {
    if (address.group(i).wildcard || address.group(i).value != 0) return false;
  }
  return true;
}

void CheckParse(std::string_view text, bool wildcard, bool shortForm) {
  IPv6Address address(text, wildcard, shortForm);
  if (!address.valid()) {
    FUZZ_CHECK(AllReset(address));
    return;
  }
  for (size_t i = 0; i < 8; ++i) {
    FUZZ_CHECK(address.group(i).value <= 0xFFFF);
    if (address.group(i).wildcard) FUZZ_CHECK(wildcard);
  }
  std::string full = address.ToString(':');
  IPv6Address again(full, wildcard, false);
  FUZZ_CHECK(again.valid());
  FUZZ_CHECK(again.ToString(':') == full);
  FUZZ_CHECK(full.size() >= 15 && full.size() <= 39);
}

// The frame of an expansion of n alternatives after "(x = 1)".
std::string Frame(size_t n) {
  std::string frame = "(x = 1) AND (";
  for (size_t i = 0; i < n; ++i) frame += (i ? " OR (col = ?)" : "(col = ?)");
  return frame + ")";
}

void CheckMasks(std::string_view value) {
  const std::string start = "(x = 1)";
  LexedSql lexed;

  std::string text = start;
  if (provider::AddIPv4MaskCondition(text, "col", value) == 1) {
    FUZZ_CHECK(LexSql(text, false, lexed));
    FUZZ_CHECK(lexed.skeleton == Frame(4));
    FUZZ_CHECK(lexed.literals.back() == value);
  } else {
    FUZZ_CHECK(text == start);
  }

  text = start;
  if (provider::AddIPv6MaskCondition(text, "col", value) == 1) {
    FUZZ_CHECK(LexSql(text, false, lexed));
    FUZZ_CHECK(lexed.skeleton == Frame(9));
    for (const std::string& mask : lexed.literals) {
      FUZZ_CHECK(IPv6Address(mask, true, false).valid());
    }
    FUZZ_CHECK(lexed.literals.back() == "*:*:*:*:*:*:*:*");
  } else {
    FUZZ_CHECK(text == start);
  }

  text = start;
  std::string first;
  bool given = !value.empty() && value != "(Nil)";
  if (provider::AddAddressCondition(text, "col", value) == 1 && given) {
    FUZZ_CHECK(LexSql(text, false, lexed));
    FUZZ_CHECK(lexed.skeleton == Frame(value.find(':') == std::string_view::npos ? 4 : 9));
  }
  if (provider::AddAddressCondition(first, "col", value) == 1 && given) {
    FUZZ_CHECK(LexSql(first, false, lexed));
    FUZZ_CHECK(lexed.skeleton == "(col = ?)");
    FUZZ_CHECK(lexed.literals.size() == 1 && lexed.literals[0] == value);
  } else {
    FUZZ_CHECK(first.empty());
  }
}

}  // namespace

int FuzzAddress(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (int flags = 0; flags < 4; ++flags) CheckParse(text, flags & 1, flags & 2);
  CheckMasks(text);
  return 0;
}

}  // namespace tallowmere::fuzz
