// The export table of liblistprov: each export checks its arguments and runs
// its record family's operation. The enumeration position of each table is
// one value for the whole library, shared by every thread (an atomic, so
// concurrent reads and writes are safe; simultaneous enumerations interleave).
#include <atomic>

#include "listprov/list_families.h"
#include "provider/lifecycle.h"
#include "provider/logging.h"
#include "provider/settings.h"
#include "stores/export_guard.h"
#include "stores/record_family.h"
#include "tallowmere/listprov.h"


TALLOWMERE_PROVIDER_LIFECYCLE(tallowmere::provider::kListConnectorKey)

namespace {

using tallowmere::listprov::kListFamily;
using tallowmere::listprov::kListMemberFamily;
using tallowmere::stores::FamilySpec;
using tallowmere::stores::GuardExport;

std::atomic<int32_t> gListPosition{0};
std::atomic<int32_t> gListMemberPosition{0};

int32_t FindNext(const FamilySpec& family, std::atomic<int32_t>& position, void* record) {
  int32_t found = 0;
  const int32_t result = tallowmere::stores::RunFindNext(family, record, position.load(), &found);
  if (result == 1) position.store(found);
  return result;
}

}  // namespace

extern "C" {

int32_t ListAdd(const ListRecord* record) {
  return GuardExport(0, record, [&] { return tallowmere::stores::RunAdd(kListFamily, record); });
}
int32_t ListEdit(const ListRecord* match, const ListRecord* values) {
  return GuardExport(0, match && values,
                     [&] { return tallowmere::stores::RunEdit(kListFamily, match, values); });
}
int32_t ListRemove(const ListRecord* match) {
  return GuardExport(0, match, [&] { return tallowmere::stores::RunRemove(kListFamily, match); });
}
int32_t ListGet(ListRecord* record) {
  return GuardExport(0, record, [&] { return tallowmere::stores::RunGet(kListFamily, record); });
}
int32_t ListFindFirst(ListRecord* record) {
  return GuardExport(0, record, [&] {
    gListPosition.store(0);
    return FindNext(kListFamily, gListPosition, record);
  });
}
int32_t ListFindNext(ListRecord* record) {
  return GuardExport(0, record, [&] { return FindNext(kListFamily, gListPosition, record); });
}

int32_t ListMemberAdd(const ListMemberRecord* record) {
  return GuardExport(0, record, [&] { return tallowmere::stores::RunAdd(kListMemberFamily, record); });
}
int32_t ListMemberEdit(const ListMemberRecord* match, const ListMemberRecord* values) {
  return GuardExport(0, match && values,
                     [&] { return tallowmere::stores::RunEdit(kListMemberFamily, match, values); });
}
int32_t ListMemberRemove(const ListMemberRecord* match) {
  return GuardExport(0, match, [&] { return tallowmere::stores::RunRemove(kListMemberFamily, match); });
}
int32_t ListMemberGet(ListMemberRecord* record) {
  return GuardExport(0, record, [&] { return tallowmere::stores::RunGet(kListMemberFamily, record); });
}
int32_t ListMemberFindFirst(ListMemberRecord* record) {
  return GuardExport(0, record, [&] {
    gListMemberPosition.store(0);
    return FindNext(kListMemberFamily, gListMemberPosition, record);
  });
}
int32_t ListMemberFindNext(ListMemberRecord* record) {
  return GuardExport(0, record, [&] { return FindNext(kListMemberFamily, gListMemberPosition, record); });
}

int32_t SetLoggingFunction(int32_t ctx1, TallowmereLoggingCallback callback, int32_t ctx2, int32_t ctx3) {
  return GuardExport(0, true, [&] { return tallowmere::provider::SetLoggingFunction(ctx1, callback, ctx2, ctx3); });
}

}  // extern "C"
