/* A host program built only from the installed headers and libraries: it
 * writes and reads back a statistic, and (when built with the store
 * libraries) adds and finds a list member and an SMTP blacklist entry in the
 * SQLite database the registry file names. Prints what it did; exits 0 when
 * every step gave the expected result, 1 otherwise. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef HAVE_STATSLOG
#include "tallowmere/statslog.h"
#endif
#ifdef HAVE_LISTPROV
#include "tallowmere/listprov.h"
#endif
#ifdef HAVE_SMTPPROV
#include "tallowmere/smtpprov.h"
#endif

static int failures = 0;

static void expect(int condition, const char *what) {
  printf("%s: %s\n", condition ? "ok" : "FAILED", what);
  if (!condition) failures++;
}

int main(void) {
#ifdef HAVE_STATSLOG
  char key[] = "Delivered";
  char value[64];
  expect(SetStatsString("MX1", TALLOWMERE_SYSTEM_SCOPE, "", "D2026M11D01", "SMTP", key, "42.000000") == 1,
         "SetStatsString");
  memset(value, 'x', sizeof value);
  expect(GetStatsString("MX1", TALLOWMERE_SYSTEM_SCOPE, "", "SMTP", "D2026M11D01", "Delivered", value,
                        (int32_t)sizeof value) == 1 &&
             strcmp(value, "42.000000") == 0,
         "GetStatsString reads the value back");
  expect(IncStatsCounter(1, 2, 3, 4, 5, 6, 7) == 1, "IncStatsCounter");
  {
    /* The mail root of the registry file holds the value where the tree says. */
    const char *root = getenv("INSTALL_TEST_MAIL_ROOT");
    char path[1024];
    FILE *file;
    snprintf(path, sizeof path, "%s/System/STATSROOT/Servers/MX1/D2026M11D01.INI", root ? root : "");
    file = fopen(path, "r");
    expect(file != NULL, "the value file is under the configured mail root");
    if (file) fclose(file);
  }
#endif

#ifdef HAVE_LISTPROV
  {
    ListMemberRecord member, found;
    memset(&member, 0, sizeof member);
    strcpy(member.Address, "announce@acme.example");
    strcpy(member.Postoffice, "acme.example");
    strcpy(member.Mailbox, "alice");
    expect(ListMemberAdd(&member) == 1, "ListMemberAdd");
    memset(&found, 0, sizeof found);
    strcpy(found.Mailbox, "alice");
    expect(ListMemberGet(&found) == 1 && strcmp(found.Address, "announce@acme.example") == 0,
           "ListMemberGet finds the member by mailbox");
  }
#endif
#ifdef HAVE_SMTPPROV
  {
    SMTPBlacklistRecord entry, found;
    memset(&entry, 0, sizeof entry);
    strcpy(entry.TargetDomainName, "acme.example");
    strcpy(entry.BannedDomainName, "spam.example");
    entry.Status = 1;
    strcpy(entry.Account, "admin");
    expect(SMTPBlacklistAdd(&entry) == 1, "SMTPBlacklistAdd");
    memset(&found, 0, sizeof found);
    strcpy(found.BannedDomainName, "spam.example");
    found.Status = -1;
    expect(SMTPBlacklistGet(&found) == 1 && strcmp(found.TargetDomainName, "acme.example") == 0 &&
               found.Status == 1,
           "SMTPBlacklistGet finds the entry");
  }
#endif
  return failures == 0 ? 0 : 1;
}
