// The two record families of liblistprov: mailing lists (LIST) and list
// members (LIST_MEMBER), as field tables. Constant data, thread-safe.
#pragma once

#include "stores/record_family.h"

namespace tallowmere::listprov {

extern const stores::FamilySpec kListFamily;
extern const stores::FamilySpec kListMemberFamily;

}  // namespace tallowmere::listprov
