// IPv6 address model and address-mask conditions.
#include "provider/address_condition.h"

#include <vector>

#include "common/bounded_string.h"
#include "provider/sql_text.h"

namespace tallowmere::provider {
namespace {

bool HexDigit(char c, uint32_t& digit) {
  if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
  else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
  else if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
  else return false;
  return true;
}

void AppendAlternative(std::string& text, std::string_view opening, std::string_view column,
                       std::string_view literal) {
  text.append(opening);
  text.append(column);
  text.append(" = '");
  text.append(literal);
  text.append("')");
}

}  // namespace

std::string IPv6Address::Group::ToString() const {
  if (wildcard) return "*";
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(4, '0');
  for (int i = 3; i >= 0; --i) text[static_cast<size_t>(3 - i)] = kDigits[(value >> (4 * i)) & 0xF];
  return text;
}

IPv6Address::IPv6Address(std::string_view text, bool acceptWildcard, bool acceptShort) {
  bool dropFirst = false;
  if (text.substr(0, 2) == "::") {
    dropFirst = true;
  } else if (!text.empty() && text.front() == ':') {
    valid_ = false;
  }
  if (valid_) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t colon; (colon = text.find(':', start)) != std::string_view::npos; start = colon + 1) {
      parts.push_back(text.substr(start, colon - start));
    }
    if (start < text.size()) parts.push_back(text.substr(start));
    if (dropFirst && !parts.empty()) parts.erase(parts.begin());
    if (parts.size() > 8) valid_ = false;

    size_t i = 0;
    bool seenEmpty = false;
    const size_t count = parts.size();
    for (size_t p = 0; p < count && i < 8 && valid_; ++p, ++i) {
      std::string_view part = parts[p];
      if (part == "*" && acceptWildcard) {
        groups_[i].wildcard = true;
        groups_[i].value = 0;
      } else if (part.empty()) {
        if (seenEmpty || 8 - static_cast<int>(count) < 1) {
          valid_ = false;
          break;
        }
        seenEmpty = true;
        groups_[i].value = 0;
        for (size_t k = 0; k < 8 - count && i + 1 < 8; ++k) groups_[++i].value = 0;
      } else {
        uint32_t value = 0;
        uint32_t digit = 0;
        if (part.size() > 4) valid_ = false;
        for (char c : part) {
          if (!valid_ || !HexDigit(c, digit)) {
            valid_ = false;
            break;
          }
          value = value * 16 + digit;
        }
        if (valid_) groups_[i].value = value;
      }
    }
    if (valid_ && i < 8 && !acceptShort) valid_ = false;
  }
  if (!valid_) {
    for (Group& group : groups_) {
      group.wildcard = false;
      group.value = 0;
    }
  }
}

std::string IPv6Address::ToString(char separator) const {
  std::string text;
  text.reserve(39);
  for (size_t i = 0; i < groups_.size(); ++i) {
    if (i != 0) text += separator;
    text.append(groups_[i].ToString());
  }
  return text;
}

int AddAddressCondition(std::string& text, std::string_view column, std::string_view value) {
  if (IsNotGiven(value)) return 1;
  if (text.empty()) return AddTextCondition(text, column, value);
  if (value.find(':') != std::string_view::npos) return AddIPv6MaskCondition(text, column, value);
  return AddIPv4MaskCondition(text, column, value);
}

int AddIPv4MaskCondition(std::string& text, std::string_view column, std::string_view value) {
  std::string quoted;
  AppendDoubled(quoted, value);
  if (quoted.size() > kMaxConditionValue) {
    // Reuse the builders' refusal (and its log line).
    std::string scratch;
    return AddTextCondition(scratch, column, value);
  }
  std::string raw(value);
  char parts[3][4];
  for (int n = 0; n < 3; ++n) {
    parts[n][0] = '\0';
    GetToken(raw.c_str(), ".", n + 1, parts[n], sizeof parts[n], 0);
  }
  // Octets come from the raw value; double their apostrophes for the literal.
  std::string p1, p2, p3;
  AppendDoubled(p1, parts[0]);
  AppendDoubled(p2, parts[1]);
  AppendDoubled(p3, parts[2]);
  text.append(" AND (");
  AppendAlternative(text, "(", column, p1 + ".*.*.*");
  AppendAlternative(text, " OR (", column, p1 + "." + p2 + ".*.*");
  AppendAlternative(text, " OR (", column, p1 + "." + p2 + "." + p3 + ".*");
  AppendAlternative(text, " OR (", column, quoted);
  text += ')';
  return 1;
}

int AddIPv6MaskCondition(std::string& text, std::string_view column, std::string_view value) {
  std::string quoted;
  AppendDoubled(quoted, value);
  if (quoted.size() > kMaxConditionValue) {
    std::string scratch;
    return AddTextCondition(scratch, column, value);
  }
  IPv6Address address(quoted, false, false);
  text.append(" AND (");
  AppendAlternative(text, "(", column, address.ToString(':'));
  for (int k = 7; k >= 0; --k) {
    address.group(static_cast<size_t>(k)).wildcard = true;
    AppendAlternative(text, " OR (", column, address.ToString(':'));
  }
  text += ')';
  return 1;
}

}  // namespace tallowmere::provider
