/* liblistprov: mailing lists (table LIST) and their members (table
 * LIST_MEMBER) kept in an SQL database reached over ODBC.
 *
 * The host passes fixed-size records it owns; the library keeps no pointer to
 * them after a call. A field is "not given" when a text is empty or exactly
 * "(Nil)", or an integer is -1. Text fields are NUL-terminated 8-bit strings;
 * the library reads at most width - 1 characters of each, and every text field
 * of a record it fills ends within its width. Every function may be called
 * from any thread at any time; none crashes or throws on bad input (a null
 * record gives 0 and touches nothing). Configuration comes from the registry
 * key SOFTWARE\Tallowmere\Tallowmere\Connectors\LS\Providers\Configuration.
 *
 * Time bounds (MariaDB/MySQL): unless the connection string or its DSN sets
 * them, connections get CONN_TIMEOUT=5 (connect, greeting included) and
 * READ_TIMEOUT=30, WRITE_TIMEOUT=30 (each wait for the server during a
 * statement); a statement cut off by them fails as a lost connection. A call
 * then returns within about 5 + 30 s in per-call connection mode; in shared
 * mode it may also wait up to 10 s for the connection lock, and the call
 * whose statement was rejected pauses 20 s and re-connects (5 s, + 2 s after a
 * failed connect). A command cut off by a bound gives its failure result,
 * though the server may still carry it out once it answers again.
 *
 * Enumeration: each table has ONE position for the whole library, shared by
 * every thread and caller; FindFirst restarts every enumeration of its table. */
#ifndef TALLOWMERE_LISTPROV_H
#define TALLOWMERE_LISTPROV_H

#include <stddef.h>
#include <stdint.h>

#include "tallowmere/logging_callback.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TALLOWMERE_LISTPROV_API __attribute__((visibility("default")))
#else
#define TALLOWMERE_LISTPROV_API
#endif

/* One row of LIST; 3804 bytes, no padding. Fields 1 to 11 are match fields;
 * fields 12 to 39 never restrict a match. */
typedef struct ListRecord {
  char ListName[128];
  char AccountName[128];
  int32_t ListType;
  char ModeratorAddress[128];
  int32_t Status;
  char Description[256];
  int32_t HeaderAnnotationStatus;
  char HeaderAnnotation[256];
  int32_t FooterAnnotationStatus;
  char FooterAnnotation[256];
  char ListAddress[256];
  int32_t SubscribeMessageFileStatus;
  char SubscribeMessageFile[256];
  int32_t UnsubscribeMessageFileStatus;
  char UnsubscribeMessageFile[256];
  int32_t SubjectSuffixStatus;
  char SubjectSuffix[256];
  int32_t SubjectPrefixStatus;
  char SubjectPrefix[256];
  char Owner[256];
  int32_t HelpMessageFileStatus;
  char HelpMessageFile[256];
  int32_t RemovalMessageFileStatus;
  char RemovalMessageFile[256];
  int32_t ReplyToMode;
  int32_t MaxMessageSize;
  int32_t PostingMode;
  int32_t SubScriptionMode;
  int32_t AuthenticationMode;
  char Password[256];
  int32_t DigestMode;
  char DigestMailbox[256];
  int32_t DigestAnnotationMode;
  int32_t DigestAttachmentMode;
  int32_t DigestMessageSeparationMode;
  int32_t DigestSchedulingStatus;
  int32_t DigestSchedulingMode;
  int32_t DigestSchedulingInterval;
  int32_t FromAddressMode;
} ListRecord;

/* One row of LIST_MEMBER; 512 bytes. All three fields are match fields. */
typedef struct ListMemberRecord {
  char Address[256];
  char Postoffice[128];
  char Mailbox[128];
} ListMemberRecord;

#if defined(__cplusplus)
#define TALLOWMERE_LISTPROV_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define TALLOWMERE_LISTPROV_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
TALLOWMERE_LISTPROV_ASSERT(sizeof(ListRecord) == 3804, "ListRecord size");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, AccountName) == 128, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, ListType) == 256, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, ModeratorAddress) == 260, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, Status) == 388, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, Description) == 392, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, HeaderAnnotationStatus) == 648, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, HeaderAnnotation) == 652, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, FooterAnnotationStatus) == 908, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, FooterAnnotation) == 912, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, ListAddress) == 1168, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, SubscribeMessageFileStatus) == 1424, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, SubscribeMessageFile) == 1428, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, UnsubscribeMessageFileStatus) == 1684, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, UnsubscribeMessageFile) == 1688, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, SubjectSuffixStatus) == 1944, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, SubjectSuffix) == 1948, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, SubjectPrefixStatus) == 2204, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, SubjectPrefix) == 2208, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, Owner) == 2464, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, HelpMessageFileStatus) == 2720, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, HelpMessageFile) == 2724, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, RemovalMessageFileStatus) == 2980, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, RemovalMessageFile) == 2984, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, ReplyToMode) == 3240, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, MaxMessageSize) == 3244, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, PostingMode) == 3248, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, SubScriptionMode) == 3252, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, AuthenticationMode) == 3256, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, Password) == 3260, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, DigestMode) == 3516, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, DigestMailbox) == 3520, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, DigestAnnotationMode) == 3776, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, DigestAttachmentMode) == 3780, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, DigestMessageSeparationMode) == 3784, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, DigestSchedulingStatus) == 3788, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, DigestSchedulingMode) == 3792, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, DigestSchedulingInterval) == 3796, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListRecord, FromAddressMode) == 3800, "ListRecord layout");
TALLOWMERE_LISTPROV_ASSERT(sizeof(ListMemberRecord) == 512, "ListMemberRecord size");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListMemberRecord, Postoffice) == 256, "ListMemberRecord layout");
TALLOWMERE_LISTPROV_ASSERT(offsetof(ListMemberRecord, Mailbox) == 384, "ListMemberRecord layout");
#undef TALLOWMERE_LISTPROV_ASSERT

/* Results, for both families: 1 success; 0 failure (no connection, no
 * statement handle, statement rejected by the database, a null record) and,
 * for Get/FindNext, no (further) row. Diagnostics go to the logging callback.
 *
 * Add inserts one row from every field (nothing is a marker here); a row that
 * collides with a unique index gives 1 and no second row.
 * Edit updates the rows matching `match` with `values`: every text field is
 * written, integer fields of -1 are left unchanged; no match field given
 * updates every row. 0 when no row matched.
 * Remove deletes the rows matching `match` (no match field given: every row);
 * 0 when no row matched.
 * Get fills `record` (in: the match fields) with the first matching row the
 * database yields; on 0 the record is left as it was. A NULL column fails the
 * read; a stored text longer than its field arrives cut to width - 1.
 * FindFirst restarts the table's enumeration at 0 and does what FindNext does.
 * FindNext returns the matching row with the smallest ID above the table's
 * position and moves the position to it; to list every row of some criteria,
 * put the criteria back into the record before each call. */
TALLOWMERE_LISTPROV_API int32_t ListAdd(const ListRecord *record);
TALLOWMERE_LISTPROV_API int32_t ListEdit(const ListRecord *match, const ListRecord *values);
TALLOWMERE_LISTPROV_API int32_t ListRemove(const ListRecord *match);
TALLOWMERE_LISTPROV_API int32_t ListGet(ListRecord *record);
TALLOWMERE_LISTPROV_API int32_t ListFindFirst(ListRecord *record);
TALLOWMERE_LISTPROV_API int32_t ListFindNext(ListRecord *record);

TALLOWMERE_LISTPROV_API int32_t ListMemberAdd(const ListMemberRecord *record);
TALLOWMERE_LISTPROV_API int32_t ListMemberEdit(const ListMemberRecord *match, const ListMemberRecord *values);
TALLOWMERE_LISTPROV_API int32_t ListMemberRemove(const ListMemberRecord *match);
TALLOWMERE_LISTPROV_API int32_t ListMemberGet(ListMemberRecord *record);
TALLOWMERE_LISTPROV_API int32_t ListMemberFindFirst(ListMemberRecord *record);
TALLOWMERE_LISTPROV_API int32_t ListMemberFindNext(ListMemberRecord *record);

/* Registers the host's logging callback once: 1 registered, 0 one is already
 * registered (the first stays), 2 the callback is null. Lines logged before
 * registration are lost. */
TALLOWMERE_LISTPROV_API int32_t SetLoggingFunction(int32_t ctx1, TallowmereLoggingCallback callback, int32_t ctx2,
                                                   int32_t ctx3);

#ifdef __cplusplus
}
#endif

#endif /* TALLOWMERE_LISTPROV_H */
