/* libstatslog: statistics of a mail server kept as INI files under the mail
 * root, and the log processing that produces them.
 *
 * Every function may be called from any thread at any time; calls share no
 * state except the mail root, read once from the registry value "Mail Root"
 * of HKEY_LOCAL_MACHINE\SOFTWARE\Tallowmere\Tallowmere. Texts are
 * NUL-terminated 8-bit strings; the library keeps no pointer after a call.
 * No function crashes or throws on bad input: it returns its failure result
 * and leaves every stored file as it was. */
#ifndef TALLOWMERE_STATSLOG_H
#define TALLOWMERE_STATSLOG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TALLOWMERE_STATSLOG_API __attribute__((visibility("default")))
#else
#define TALLOWMERE_STATSLOG_API
#endif

/* Scope of a statistic: which branch of the tree under the mail root.
 *
 * Files live at
 *   values: {mail root}\{branch}\STATSROOT\Servers\{server}[\{level}]\{file}.INI
 *   flags:  {mail root}\{branch}\STATSROOT\Flags\Servers\{server}[\{level}]\{file}.INI
 * where {server} is the server argument (null or empty: this computer's
 * name) and {file} the file name (which may be "folder\name"; writes create
 * that one folder).
 *
 * TALLOWMERE_NESTED_SCOPE takes the postoffice argument as
 * "postoffice\level" (either separator): the branch is the postoffice and
 * {level} one more directory between the server directory and the file, for
 * statistics kept per mailbox, list or other unit inside a postoffice. A
 * nested postoffice argument without exactly one non-empty level is refused
 * (result 0). The month summary of a nested scope keeps its flags under
 * "System\level". The date purge does not descend into levels (as it does not
 * into folders); the entire purge removes them with the rest.
 *
 * Values writes with the postoffice or nested scope need the postoffice
 * directory to exist, except for "System" (any letter case), which is
 * created; flag writes create it. Names are found ignoring letter case.
 *
 * Refused (result 0, nothing created, read or written): a server,
 * postoffice, level or file name with a "." or ".." component, a leading or
 * doubled separator, a drive prefix ("C:"), a control character, a "\" or
 * "/" inside the server, postoffice or level; an empty postoffice with the
 * postoffice or nested scope; an empty file name; a composed path longer
 * than 1023 characters (nothing is cut). */
enum {
  TALLOWMERE_SYSTEM_SCOPE = 0,     /* "System" branch (any value but 1 and 2) */
  TALLOWMERE_POSTOFFICE_SCOPE = 1, /* the postoffice argument's branch */
  TALLOWMERE_NESTED_SCOPE = 2      /* postoffice "po\level": see above */
};

/* Turns one day's log files into statistics as the report definition says.
 * Always returns 0; a version failure leaves a message in resultText (its
 * first byte is NUL otherwise); missing data shows in the "State" flag. A
 * log file that is there but cannot be opened or read to its end leaves
 * "<FAILURE>Log File Unreadable: [path]</FAILURE>" in resultText and stores
 * nothing, flags included. */
TALLOWMERE_STATSLOG_API int32_t ProcessDelimitedLogFile(const char *definition, int32_t reserved,
                                                        char *resultText,
                                                        const int32_t *resultTextSize);

/* Reads one value (GetStatsString) or status flag (GetStatsStatusString);
 * an empty or null key reads the section's key names, each NUL-terminated,
 * with one more NUL after the last. A value longer than resultSize - 1 is
 * cut to fit (result 1); a cut key list ends in two NULs. Returns 1 when at
 * least one character was copied, else 0 with the empty text in result (a
 * missing file, section or key, an empty value, a refused name, a null
 * section or file name). A null result or a resultSize below 1 returns 0
 * without touching the buffer. Nothing is created. */
TALLOWMERE_STATSLOG_API int32_t GetStatsString(const char *server, int32_t scope, const char *postoffice,
                                               const char *section, const char *fileName, const char *key,
                                               char *result, int32_t resultSize);
TALLOWMERE_STATSLOG_API int32_t GetStatsStatusString(const char *server, int32_t scope,
                                                     const char *postoffice, const char *section,
                                                     const char *fileName, const char *key, char *result,
                                                     int32_t resultSize);

/* Writes one value (SetStatsString) or status flag (SetStatsStatusString);
 * a null value removes the key. Every "=" in key is stored as ":", and on
 * success the caller's key buffer is changed the same way. Returns 1 on
 * success, 0 on failure with every file as it was: a refused name (see the
 * scopes above), a null file name, section or key, a key that would not read
 * back (empty, blanks at its ends, starting with "[" or ";", CR or LF), a
 * value with CR or LF, a folder deeper than one level that does not exist,
 * or a failed write. Note the argument order: the file name comes before the
 * section here. */
TALLOWMERE_STATSLOG_API int32_t SetStatsString(const char *server, int32_t scope, const char *postoffice,
                                               const char *fileName, const char *section, char *key,
                                               const char *value);
TALLOWMERE_STATSLOG_API int32_t SetStatsStatusString(const char *server, int32_t scope,
                                                     const char *postoffice, const char *fileName,
                                                     const char *section, char *key, const char *value);

/* Accepts seven integers, does nothing, returns 1. */
TALLOWMERE_STATSLOG_API int32_t IncStatsCounter(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                                                int32_t a6, int32_t a7);

/* Removes every branch's STATSROOT directory; 1 when the walk ended, 0 on a
 * file-management failure. */
TALLOWMERE_STATSLOG_API int32_t PurgeEntireStatsCache(void);

/* Removes the values files {branch}\STATSROOT\Servers\{server}\*.INI of
 * every period up to and including `date` (a day key); files in folders and
 * levels and the flags tree stay. A month file goes only when its whole month
 * lies on or before the date; a month key as date covers its whole month.
 * Failed deletions go to the event log. 1 when the walk ended; 0 when date is
 * null or has no year and month digits (nothing deleted) or on a failure. */
TALLOWMERE_STATSLOG_API int32_t PurgeStatsCacheBeforeDate(const char *date);

/* Rolls the day files of a month into the month file. periodPath is a month
 * key, or "folder\month key" (the folder holds the flag file only); a null or
 * empty postoffice means "SYSTEM". key "" summarises every key (every item of
 * every value, February 29 read in leap years), writes the flags
 * "LastModified" and "State" of the month in the "System" branch, prints
 * "Section: <key>" per key and day on standard output, and returns the
 * month's completeness: 1 complete, -1 partial, -2 no data. A single key
 * returns 0. 0 also for refused input (null section, period path or key, a
 * month outside 1-12, a server or postoffice of 256 characters or more, an
 * unsafe name), and when a day file is there but cannot be read, with
 * nothing written. */
TALLOWMERE_STATSLOG_API int32_t GeneratePeriodSummary(const char *server, int32_t scope,
                                                      const char *postoffice, const char *section,
                                                      const char *periodPath, int32_t reserved1,
                                                      const char *key, int32_t reserved2);

#ifdef __cplusplus
}
#endif

#endif /* TALLOWMERE_STATSLOG_H */
