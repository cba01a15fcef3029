// The IPv6 address model and the address-mask conditions: an address is
// expanded into every stored mask that may cover it, written as alternatives
// of one condition. Re-entrant; IPv6Address is a plain value.
// Parse failures show only in IPv6Address::valid(); the builders never fail
// except by refusing an over-long value (returns 0, as sql_text.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallowmere::provider {

class IPv6Address {
 public:
  class Group {
   public:
    virtual ~Group() = default;
    bool wildcard = false;
    uint32_t value = 0;  // 0..65535, meaningful when !wildcard
    // "*" or exactly 4 lower-case hexadecimal digits.
    std::string ToString() const;
  };

  // Parses at once. acceptWildcard: a group may be "*"; acceptShort: fewer
  // than 8 groups are enough. After a failed parse every group is reset.
  IPv6Address(std::string_view text, bool acceptWildcard, bool acceptShort);
  virtual ~IPv6Address() = default;

  bool valid() const { return valid_; }
  Group& group(size_t i) { return groups_[i]; }
  const Group& group(size_t i) const { return groups_[i]; }
  // The 8 group texts joined by `separator`; never compressed.
  std::string ToString(char separator) const;

 private:
  std::array<Group, 8> groups_{};
  bool valid_ = true;
};

// Empty or "(Nil)": nothing. Empty text: the plain equality of
// AddTextCondition. Otherwise a value with ":" → AddIPv6MaskCondition,
// else AddIPv4MaskCondition. Returns 1, or 0 when refused (too long).
int AddAddressCondition(std::string& text, std::string_view column, std::string_view value);

// " AND ((col = 'p1.*.*.*') OR (col = 'p1.p2.*.*') OR (col = 'p1.p2.p3.*')
// OR (col = 'value'))". Returns 1, or 0 when refused.
int AddIPv4MaskCondition(std::string& text, std::string_view column, std::string_view value);

// " AND ((col = 'full') OR (col = '…:*') … OR (col = '*:*:*:*:*:*:*:*'))":
// the exact address and the masks with the last 1..8 groups wildcarded. An
// invalid address expands as 0000:…:0000. Returns 1, or 0 when refused.
int AddIPv6MaskCondition(std::string& text, std::string_view column, std::string_view value);

}  // namespace tallowmere::provider
