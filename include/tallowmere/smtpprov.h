/* libsmtpprov: the SMTP service's domains (table DOMAIN), address access rules
 * (SMTP_ACCESS) and domain blacklist (SMTP_BLACKLIST) kept in an SQL database
 * reached over ODBC.
 *
 * Records, markers ("not given": empty or "(Nil)" text, -1 integer), text
 * handling and thread-safety as in liblistprov (tallowmere/listprov.h); a null
 * record gives 0 and touches nothing. Configuration comes from the registry key
 * SOFTWARE\Tallowmere\Tallowmere\Connectors\SMTP\Providers\Configuration.
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
 * Enumeration: each table has one position PER THREAD (0 in a new thread), so
 * enumerations in different threads never disturb each other. */
#ifndef TALLOWMERE_SMTPPROV_H
#define TALLOWMERE_SMTPPROV_H

#include <stddef.h>
#include <stdint.h>

#include "tallowmere/logging_callback.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TALLOWMERE_SMTPPROV_API __attribute__((visibility("default")))
#else
#define TALLOWMERE_SMTPPROV_API
#endif

/* One row of DOMAIN; 3736 bytes. Fields DomainName to Account are match
 * fields (text and number equality). */
typedef struct SMTPDomainRecord {
  char DomainName[512];
  int32_t Status;
  int32_t RedirectionStatus;
  char RedirectionHosts[2048];
  char Account[128];
  int32_t RetainMode;
  int32_t PollForMessages;
  char UpStreamHost[512];
  int32_t PollInterval;
  int32_t AliasMode;
  char AliasValue[512];
} SMTPDomainRecord;

/* One row of SMTP_ACCESS; 712 bytes. Every field is a match field. IPv6 masks
 * are stored in the full form 2001:0db8:0000:0000:0000:0000:0000:* (8 groups
 * of 4 lower-case digits, "*" for a trailing run of groups); IPv4 masks as
 * 192.0.2.* (whole trailing octets). */
typedef struct SMTPAccessRecord {
  int32_t Mode;
  char AddressMask[512];
  int32_t Status;
  char Account[128];
  char AccessRight[64];
} SMTPAccessRecord;

/* One row of SMTP_BLACKLIST; 1156 bytes. Every field is a match field. */
typedef struct SMTPBlacklistRecord {
  char TargetDomainName[512];
  char BannedDomainName[512];
  int32_t Status;
  char Account[128];
} SMTPBlacklistRecord;

#if defined(__cplusplus)
#define TALLOWMERE_SMTPPROV_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define TALLOWMERE_SMTPPROV_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
TALLOWMERE_SMTPPROV_ASSERT(sizeof(SMTPDomainRecord) == 3736, "SMTPDomainRecord size");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPDomainRecord, Status) == 512, "SMTPDomainRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPDomainRecord, RedirectionStatus) == 516, "SMTPDomainRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPDomainRecord, RedirectionHosts) == 520, "SMTPDomainRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPDomainRecord, Account) == 2568, "SMTPDomainRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPDomainRecord, RetainMode) == 2696, "SMTPDomainRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPDomainRecord, PollForMessages) == 2700, "SMTPDomainRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPDomainRecord, UpStreamHost) == 2704, "SMTPDomainRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPDomainRecord, PollInterval) == 3216, "SMTPDomainRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPDomainRecord, AliasMode) == 3220, "SMTPDomainRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPDomainRecord, AliasValue) == 3224, "SMTPDomainRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(sizeof(SMTPAccessRecord) == 712, "SMTPAccessRecord size");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPAccessRecord, AddressMask) == 4, "SMTPAccessRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPAccessRecord, Status) == 516, "SMTPAccessRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPAccessRecord, Account) == 520, "SMTPAccessRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPAccessRecord, AccessRight) == 648, "SMTPAccessRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(sizeof(SMTPBlacklistRecord) == 1156, "SMTPBlacklistRecord size");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPBlacklistRecord, BannedDomainName) == 512, "SMTPBlacklistRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPBlacklistRecord, Status) == 1024, "SMTPBlacklistRecord layout");
TALLOWMERE_SMTPPROV_ASSERT(offsetof(SMTPBlacklistRecord, Account) == 1028, "SMTPBlacklistRecord layout");
#undef TALLOWMERE_SMTPPROV_ASSERT

/* Add, Edit, Remove, Get, FindFirst, FindNext behave as in liblistprov, with
 * the thread's own enumeration position. Results: 1 success, 0 failure or no
 * (further) row, and -1 in these cases:
 *   SMTPDomainGet, SMTPBlacklistGet: the database rejected the statement;
 *   SMTPAccessGet, SMTPAccessFindNext/First: no connection, or the statement
 *     was rejected;
 *   SMTPAccessRemove: the statement was rejected, or no rule matched.
 * Edit and Remove that match no row give 0 (SMTPAccessRemove: -1). */
TALLOWMERE_SMTPPROV_API int32_t SMTPDomainAdd(const SMTPDomainRecord *record);
TALLOWMERE_SMTPPROV_API int32_t SMTPDomainGet(SMTPDomainRecord *record);
TALLOWMERE_SMTPPROV_API int32_t SMTPDomainEdit(const SMTPDomainRecord *match, const SMTPDomainRecord *values);
TALLOWMERE_SMTPPROV_API int32_t SMTPDomainRemove(const SMTPDomainRecord *match);
TALLOWMERE_SMTPPROV_API int32_t SMTPDomainFindFirst(SMTPDomainRecord *record);
TALLOWMERE_SMTPPROV_API int32_t SMTPDomainFindNext(SMTPDomainRecord *record);

/* Get, Edit and Remove match AddressMask as a pattern ("*" any run of
 * characters) unless Mode is -1, when it is compared literally. FindNext with
 * an address in AddressMask (and Mode given) returns the rules whose stored
 * mask covers that address: for IPv4 the address and its masks with 1 to 3
 * trailing octets "*", for IPv6 the address and its masks with 1 to 8
 * trailing groups "*"; with Mode -1 the mask is compared literally. */
TALLOWMERE_SMTPPROV_API int32_t SMTPAccessAdd(const SMTPAccessRecord *record);
TALLOWMERE_SMTPPROV_API int32_t SMTPAccessGet(SMTPAccessRecord *record);
TALLOWMERE_SMTPPROV_API int32_t SMTPAccessEdit(const SMTPAccessRecord *match, const SMTPAccessRecord *values);
TALLOWMERE_SMTPPROV_API int32_t SMTPAccessRemove(const SMTPAccessRecord *match);
TALLOWMERE_SMTPPROV_API int32_t SMTPAccessFindFirst(SMTPAccessRecord *record);
TALLOWMERE_SMTPPROV_API int32_t SMTPAccessFindNext(SMTPAccessRecord *record);

/* TargetDomainName is always compared literally; BannedDomainName is a
 * pattern ("*" any run of characters, "_" literal) when TargetDomainName is
 * given, else compared literally. */
TALLOWMERE_SMTPPROV_API int32_t SMTPBlacklistAdd(const SMTPBlacklistRecord *record);
TALLOWMERE_SMTPPROV_API int32_t SMTPBlacklistGet(SMTPBlacklistRecord *record);
TALLOWMERE_SMTPPROV_API int32_t SMTPBlacklistEdit(const SMTPBlacklistRecord *match,
                                                  const SMTPBlacklistRecord *values);
TALLOWMERE_SMTPPROV_API int32_t SMTPBlacklistRemove(const SMTPBlacklistRecord *match);
TALLOWMERE_SMTPPROV_API int32_t SMTPBlacklistFindFirst(SMTPBlacklistRecord *record);
TALLOWMERE_SMTPPROV_API int32_t SMTPBlacklistFindNext(SMTPBlacklistRecord *record);

/* Registers the host's logging callback once: 1 registered, 0 one is already
 * registered, 2 the callback is null. */
TALLOWMERE_SMTPPROV_API int32_t SetLoggingFunction(int32_t ctx1, TallowmereLoggingCallback callback, int32_t ctx2,
                                                   int32_t ctx3);
/* Do nothing and return 1: the library sets itself up when it is loaded. */
TALLOWMERE_SMTPPROV_API int32_t Initialize(void);
TALLOWMERE_SMTPPROV_API int32_t UnInitialize(void);

#ifdef __cplusplus
}
#endif

#endif /* TALLOWMERE_SMTPPROV_H */
