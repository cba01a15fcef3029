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

/* Scope of a statistic: which branch of the tree under the mail root. */
enum {
  TALLOWMERE_SYSTEM_SCOPE = 0,     /* "System" branch (any value but 1 and 2) */
  TALLOWMERE_POSTOFFICE_SCOPE = 1, /* the postoffice argument's branch */
  TALLOWMERE_NESTED_SCOPE = 2      /* see the store's documentation below */
};

/* Turns one day's log files into statistics as the report definition says.
 * Always returns 0; a version failure leaves a message in resultText (its
 * first byte is NUL otherwise); missing data shows in the "State" flag. */
TALLOWMERE_STATSLOG_API int32_t ProcessDelimitedLogFile(const char *definition, int32_t reserved,
                                                        char *resultText,
                                                        const int32_t *resultTextSize);

/* Reads one value (GetStatsString) or status flag (GetStatsStatusString);
 * an empty or null key reads the section's key names, each NUL-terminated,
 * with one more NUL after the last. Returns 1 when at least one character was
 * copied, else 0 with the empty text in result. */
TALLOWMERE_STATSLOG_API int32_t GetStatsString(const char *server, int32_t scope, const char *postoffice,
                                               const char *section, const char *fileName, const char *key,
                                               char *result, int32_t resultSize);
TALLOWMERE_STATSLOG_API int32_t GetStatsStatusString(const char *server, int32_t scope,
                                                     const char *postoffice, const char *section,
                                                     const char *fileName, const char *key, char *result,
                                                     int32_t resultSize);

/* Writes one value (SetStatsString) or status flag (SetStatsStatusString);
 * a null value removes the key. Every "=" in key is changed to ":" in the
 * caller's buffer. Returns 1 on success, 0 on failure. Note the argument
 * order: the file name comes before the section here. */
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

/* Removes the values files of every day up to and including `date` (a day
 * key); 1 when the walk ended, 0 on a file-management failure. */
TALLOWMERE_STATSLOG_API int32_t PurgeStatsCacheBeforeDate(const char *date);

/* Rolls the day files of a month into the month file. key "" summarises every
 * key and returns the month's completeness: 1 complete, -1 partial, -2 no
 * data, 0 nothing seen; a single key returns 0. */
TALLOWMERE_STATSLOG_API int32_t GeneratePeriodSummary(const char *server, int32_t scope,
                                                      const char *postoffice, const char *section,
                                                      const char *periodPath, int32_t reserved1,
                                                      const char *key, int32_t reserved2);

#ifdef __cplusplus
}
#endif

#endif /* TALLOWMERE_STATSLOG_H */
