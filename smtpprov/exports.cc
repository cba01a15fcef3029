// The export table of libsmtpprov: each export checks its arguments and runs
// its record family's operation. Enumeration positions are per table and per
// thread (thread_local, 0 in every new thread), so enumerations in different
// threads never disturb each other.
#include "provider/lifecycle.h"
#include "provider/logging.h"
#include "provider/settings.h"
#include "smtpprov/smtp_families.h"
#include "stores/export_guard.h"
#include "stores/record_family.h"
#include "tallowmere/smtpprov.h"


TALLOWMERE_PROVIDER_LIFECYCLE(tallowmere::provider::kSmtpConnectorKey)

namespace {

using tallowmere::smtpprov::kAccessFamily;
using tallowmere::smtpprov::kBlacklistFamily;
using tallowmere::smtpprov::kDomainFamily;
using tallowmere::stores::FamilySpec;
using tallowmere::stores::GuardExport;

// In the order the library has always allocated them: access rules,
// blacklist, domains.
thread_local int32_t tAccessPosition = 0;
thread_local int32_t tBlacklistPosition = 0;
thread_local int32_t tDomainPosition = 0;

int32_t FindNext(const FamilySpec& family, int32_t& position, void* record) {
  int32_t found = 0;
  const int32_t result = tallowmere::stores::RunFindNext(family, record, position, &found);
  if (result == 1) position = found;
  return result;
}

}  // namespace

extern "C" {

int32_t SMTPDomainAdd(const SMTPDomainRecord* record) {
  return GuardExport(0, record, [&] { return tallowmere::stores::RunAdd(kDomainFamily, record); });
}
int32_t SMTPDomainGet(SMTPDomainRecord* record) {
  return GuardExport(0, record, [&] { return tallowmere::stores::RunGet(kDomainFamily, record); });
}
int32_t SMTPDomainEdit(const SMTPDomainRecord* match, const SMTPDomainRecord* values) {
  return GuardExport(0, match && values,
                     [&] { return tallowmere::stores::RunEdit(kDomainFamily, match, values); });
}
int32_t SMTPDomainRemove(const SMTPDomainRecord* match) {
  return GuardExport(0, match, [&] { return tallowmere::stores::RunRemove(kDomainFamily, match); });
}
int32_t SMTPDomainFindFirst(SMTPDomainRecord* record) {
  return GuardExport(0, record, [&] {
    tDomainPosition = 0;
    return FindNext(kDomainFamily, tDomainPosition, record);
  });
}
int32_t SMTPDomainFindNext(SMTPDomainRecord* record) {
  return GuardExport(0, record, [&] { return FindNext(kDomainFamily, tDomainPosition, record); });
}

int32_t SMTPAccessAdd(const SMTPAccessRecord* record) {
  return GuardExport(0, record, [&] { return tallowmere::stores::RunAdd(kAccessFamily, record); });
}
int32_t SMTPAccessGet(SMTPAccessRecord* record) {
  return GuardExport(0, record, [&] { return tallowmere::stores::RunGet(kAccessFamily, record); });
}
int32_t SMTPAccessEdit(const SMTPAccessRecord* match, const SMTPAccessRecord* values) {
  return GuardExport(0, match && values,
                     [&] { return tallowmere::stores::RunEdit(kAccessFamily, match, values); });
}
int32_t SMTPAccessRemove(const SMTPAccessRecord* match) {
  return GuardExport(0, match, [&] { return tallowmere::stores::RunRemove(kAccessFamily, match); });
}
int32_t SMTPAccessFindFirst(SMTPAccessRecord* record) {
  return GuardExport(0, record, [&] {
    tAccessPosition = 0;
    return FindNext(kAccessFamily, tAccessPosition, record);
  });
}
int32_t SMTPAccessFindNext(SMTPAccessRecord* record) {
  return GuardExport(0, record, [&] { return FindNext(kAccessFamily, tAccessPosition, record); });
}

int32_t SMTPBlacklistAdd(const SMTPBlacklistRecord* record) {
  return GuardExport(0, record, [&] { return tallowmere::stores::RunAdd(kBlacklistFamily, record); });
}
int32_t SMTPBlacklistGet(SMTPBlacklistRecord* record) {
  return GuardExport(0, record, [&] { return tallowmere::stores::RunGet(kBlacklistFamily, record); });
}
int32_t SMTPBlacklistEdit(const SMTPBlacklistRecord* match, const SMTPBlacklistRecord* values) {
  return GuardExport(0, match && values,
                     [&] { return tallowmere::stores::RunEdit(kBlacklistFamily, match, values); });
}
int32_t SMTPBlacklistRemove(const SMTPBlacklistRecord* match) {
  return GuardExport(0, match, [&] { return tallowmere::stores::RunRemove(kBlacklistFamily, match); });
}
int32_t SMTPBlacklistFindFirst(SMTPBlacklistRecord* record) {
  return GuardExport(0, record, [&] {
    tBlacklistPosition = 0;
    return FindNext(kBlacklistFamily, tBlacklistPosition, record);
  });
}
int32_t SMTPBlacklistFindNext(SMTPBlacklistRecord* record) {
  return GuardExport(0, record, [&] { return FindNext(kBlacklistFamily, tBlacklistPosition, record); });
}

int32_t SetLoggingFunction(int32_t ctx1, TallowmereLoggingCallback callback, int32_t ctx2, int32_t ctx3) {
  return GuardExport(0, true, [&] { return tallowmere::provider::SetLoggingFunction(ctx1, callback, ctx2, ctx3); });
}
int32_t Initialize(void) { return 1; }
int32_t UnInitialize(void) { return 1; }

}  // extern "C"
