// The three record families of libsmtpprov: domains (DOMAIN), access rules
// (SMTP_ACCESS) and the blacklist (SMTP_BLACKLIST), as field tables with
// their own result codes. Constant data, thread-safe.
#pragma once

#include "stores/record_family.h"

namespace tallowmere::smtpprov {

extern const stores::FamilySpec kDomainFamily;
extern const stores::FamilySpec kAccessFamily;
extern const stores::FamilySpec kBlacklistFamily;

}  // namespace tallowmere::smtpprov
