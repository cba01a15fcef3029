// The IPv6 address model and the address-mask conditions.
#include "provider/address_condition.h"

#include <gtest/gtest.h>

#include <string>

namespace tallowmere::provider {
namespace {

TEST(IPv6AddressTest, ParsesAndWritesTheFullForm) {
  struct Case {
    const char* text;
    bool acceptWildcard;
    bool acceptShort;
    bool valid;
    const char* form;  // ToString(':') (all zero when invalid)
  } cases[] = {
      {"2001:db8::1", false, false, true, "2001:0db8:0000:0000:0000:0000:0000:0001"},
      {"2001:DB8::1", false, false, true, "2001:0db8:0000:0000:0000:0000:0000:0001"},
      {"::1", false, false, true, "0000:0000:0000:0000:0000:0000:0000:0001"},
      {"::", false, false, true, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {"1::", false, false, true, "0001:0000:0000:0000:0000:0000:0000:0000"},
      {"1:2:3:4:5:6:7:8", false, false, true, "0001:0002:0003:0004:0005:0006:0007:0008"},
      {"fFfF:0:0:0:0:0:0:abcd", false, false, true, "ffff:0000:0000:0000:0000:0000:0000:abcd"},
      {"1:2:3:4:5:6:7:8:", false, false, true, "0001:0002:0003:0004:0005:0006:0007:0008"},
      {"1:2:3::5:6:7:8", false, false, false, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {"1::2::3", false, false, false, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {":1:2:3:4:5:6:7", false, false, false, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {"12345::1", false, false, false, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {"1:2:3:4:5:6:7", false, false, false, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {"1:2:3:4:5:6:7", false, true, true, "0001:0002:0003:0004:0005:0006:0007:0000"},
      {"1:2:3:4:5:6:7:8:9", false, false, false, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {"2001:db8:*", false, true, false, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {"2001:db8:*:*:*:*:*:*", true, false, true, "2001:0db8:*:*:*:*:*:*"},
      {"::ffff:1.2.3.4", false, false, false, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {"g::1", false, false, false, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {"", false, false, false, "0000:0000:0000:0000:0000:0000:0000:0000"},
      {"", false, true, true, "0000:0000:0000:0000:0000:0000:0000:0000"},
  };
  for (const Case& c : cases) {
    IPv6Address address(c.text, c.acceptWildcard, c.acceptShort);
    EXPECT_EQ(address.valid(), c.valid) << c.text;
    EXPECT_EQ(address.ToString(':'), c.form) << c.text;
  }
  EXPECT_EQ(IPv6Address("::1", false, false).ToString('-'), "0000-0000-0000-0000-0000-0000-0000-0001");
}

TEST(AddressConditionTest, IPv4Expansion) {
  struct Case {
    const char* value;
    const char* expected;
  } cases[] = {
      {"10.1.2.3",
       " AND ((AddressMask = '10.*.*.*') OR (AddressMask = '10.1.*.*') OR (AddressMask = '10.1.2.*') OR "
       "(AddressMask = '10.1.2.3'))"},
      {"10.1",
       " AND ((AddressMask = '10.*.*.*') OR (AddressMask = '10.1.*.*') OR (AddressMask = '10.1.1.*') OR "
       "(AddressMask = '10.1'))"},
      {"1000.1.2.3",
       " AND ((AddressMask = '.*.*.*') OR (AddressMask = '.1.*.*') OR (AddressMask = '.1.2.*') OR "
       "(AddressMask = '1000.1.2.3'))"},
      {"abcd",
       " AND ((AddressMask = '.*.*.*') OR (AddressMask = '..*.*') OR (AddressMask = '...*') OR "
       "(AddressMask = 'abcd'))"},
      // Apostrophes never end a literal, not even inside an octet.
      {"1'.2.3.4",
       " AND ((AddressMask = '1''.*.*.*') OR (AddressMask = '1''.2.*.*') OR (AddressMask = '1''.2.3.*') OR "
       "(AddressMask = '1''.2.3.4'))"},
  };
  for (const Case& c : cases) {
    std::string text = "(Mode = 1)";
    EXPECT_EQ(AddAddressCondition(text, "AddressMask", c.value), 1);
    EXPECT_EQ(text, std::string("(Mode = 1)") + c.expected) << c.value;
  }
}

TEST(AddressConditionTest, IPv6Expansion) {
  std::string text = "(Mode = 1)";
  AddAddressCondition(text, "AddressMask", "2001:db8::1");
  EXPECT_EQ(text,
            "(Mode = 1) AND ((AddressMask = '2001:0db8:0000:0000:0000:0000:0000:0001')"
            " OR (AddressMask = '2001:0db8:0000:0000:0000:0000:0000:*')"
            " OR (AddressMask = '2001:0db8:0000:0000:0000:0000:*:*')"
            " OR (AddressMask = '2001:0db8:0000:0000:0000:*:*:*')"
            " OR (AddressMask = '2001:0db8:0000:0000:*:*:*:*')"
            " OR (AddressMask = '2001:0db8:0000:*:*:*:*:*')"
            " OR (AddressMask = '2001:0db8:*:*:*:*:*:*')"
            " OR (AddressMask = '2001:*:*:*:*:*:*:*')"
            " OR (AddressMask = '*:*:*:*:*:*:*:*'))");
  // An invalid address expands as the all-zero address.
  std::string invalid = "(Mode = 1)";
  AddAddressCondition(invalid, "m", "::ffff:1.2.3.4");
  EXPECT_EQ(invalid.find("(m = '0000:0000:0000:0000:0000:0000:0000:0000')"), std::string("(Mode = 1) AND (").size());
}

TEST(AddressConditionTest, FirstConditionIsAPlainEqualityAndMarkersAddNothing) {
  for (const char* value : {"10.1.2.3", "2001:db8::1", "a'b"}) {
    std::string text;
    AddAddressCondition(text, "AddressMask", value);
    std::string expected = std::string("(AddressMask = '") + (std::string(value) == "a'b" ? "a''b" : value) + "')";
    EXPECT_EQ(text, expected);
  }
  for (const char* value : {"", "(Nil)"}) {
    std::string text = "(Mode = 1)";
    AddAddressCondition(text, "AddressMask", value);
    EXPECT_EQ(text, "(Mode = 1)");
  }
}

TEST(AddressConditionTest, OverLongValueIsRefused) {
  for (const std::string& value : {std::string(2048, '1'), std::string(2040, ':') + "''''"}) {
    std::string text = "(Mode = 1)";
    EXPECT_EQ(AddAddressCondition(text, "AddressMask", value), 0);
    EXPECT_EQ(text, "(Mode = 1)");
  }
}

}  // namespace
}  // namespace tallowmere::provider
