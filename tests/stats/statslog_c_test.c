/* Compiled as C: proves that tallowmere/statslog.h is C-clean, loads
 * libstatslog.so with dlopen as a host does, and calls every export once
 * through the public prototypes. Usage: statslog_c_test path/to/libstatslog.so */
#define _DEFAULT_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tallowmere/statslog.h"

static int failures = 0;

#define CHECK(condition)                                                  \
  do {                                                                    \
    if (!(condition)) {                                                   \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      ++failures;                                                         \
    }                                                                     \
  } while (0)

/* Looks an export up, checking at compile time that the variable's type is
 * the header's prototype. */
#define LOOKUP(handle, name, variable)                                                     \
  do {                                                                                     \
    _Static_assert(__builtin_types_compatible_p(__typeof__(variable), __typeof__(&name)), \
                   #name " has another type");                                           \
    *(void **)(&variable) = dlsym(handle, #name);                                          \
    if (variable == NULL) {                                                                \
      fprintf(stderr, "export %s is missing\n", #name);                                   \
      return 1;                                                                            \
    }                                                                                      \
  } while (0)

static int file_exists(const char *path) {
  struct stat st;
  return stat(path, &st) == 0;
}

int main(int argc, char **argv) {
  char base[] = "/tmp/tallowmere-c-test-XXXXXX";
  char path[1024];
  char buffer[256];
  char key[32];
  FILE *registry;
  void *library;
  int day;

  int32_t (*process)(const char *, int32_t, char *, const int32_t *);
  int32_t (*get)(const char *, int32_t, const char *, const char *, const char *, const char *, char *, int32_t);
  int32_t (*getFlag)(const char *, int32_t, const char *, const char *, const char *, const char *, char *, int32_t);
  int32_t (*set)(const char *, int32_t, const char *, const char *, const char *, char *, const char *);
  int32_t (*setFlag)(const char *, int32_t, const char *, const char *, const char *, char *, const char *);
  int32_t (*inc)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
  int32_t (*purgeAll)(void);
  int32_t (*purgeBefore)(const char *);
  int32_t (*summary)(const char *, int32_t, const char *, const char *, const char *, int32_t, const char *, int32_t);

  if (argc != 2) {
    fprintf(stderr, "usage: %s libstatslog.so\n", argv[0]);
    return 2;
  }
  if (mkdtemp(base) == NULL) return 2;
  snprintf(path, sizeof path, "%s/mail", base);
  mkdir(path, 0755);
  snprintf(path, sizeof path, "%s/registry.reg", base);
  registry = fopen(path, "w");
  if (registry == NULL) return 2;
  fprintf(registry, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]\r\n\"Mail Root\"=\"%s/mail\"\r\n",
          base);
  fclose(registry);
  setenv("TALLOWMERE_REGISTRY", path, 1);
  snprintf(path, sizeof path, "%s/events.jsonl", base);
  setenv("TALLOWMERE_EVENTLOG", path, 1);

  /* Stays mapped after dlclose, as a host keeps it: its process-wide caches
   * live until the process ends. */
  library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (library == NULL) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  LOOKUP(library, ProcessDelimitedLogFile, process);
  LOOKUP(library, GetStatsString, get);
  LOOKUP(library, GetStatsStatusString, getFlag);
  LOOKUP(library, SetStatsString, set);
  LOOKUP(library, SetStatsStatusString, setFlag);
  LOOKUP(library, IncStatsCounter, inc);
  LOOKUP(library, PurgeEntireStatsCache, purgeAll);
  LOOKUP(library, PurgeStatsCacheBeforeDate, purgeBefore);
  LOOKUP(library, GeneratePeriodSummary, summary);

  /* Values and flags. */
  strcpy(key, "Hits=Total");
  CHECK(set("MX1", TALLOWMERE_SYSTEM_SCOPE, NULL, "M2026M05D01", "SMTP", key, "5") == 1);
  CHECK(strcmp(key, "Hits:Total") == 0);
  CHECK(get("MX1", TALLOWMERE_SYSTEM_SCOPE, NULL, "SMTP", "M2026M05D01", "Hits:Total", buffer, sizeof buffer) == 1);
  CHECK(strcmp(buffer, "5") == 0);
  snprintf(path, sizeof path, "%s/mail/System/STATSROOT/Servers/MX1/M2026M05D01.INI", base);
  CHECK(file_exists(path));
  strcpy(key, "State");
  CHECK(setFlag("MX1", TALLOWMERE_POSTOFFICE_SCOPE, "acme", "M2026M05", "SMTP", key, "[PARTIAL]") == 1);
  CHECK(getFlag("MX1", TALLOWMERE_POSTOFFICE_SCOPE, "acme", "SMTP", "M2026M05", "State", buffer, sizeof buffer) == 1);
  CHECK(strcmp(buffer, "[PARTIAL]") == 0);
  CHECK(set("MX1", TALLOWMERE_POSTOFFICE_SCOPE, "..", "F", "SMTP", key, "x") == 0);
  CHECK(inc(1, 2, 3, 4, 5, 6, 7) == 1);

  /* The month summary of two days. */
  for (day = 2; day <= 3; ++day) {
    char dayKey[16];
    snprintf(dayKey, sizeof dayKey, "M2026M05D%02d", day);
    strcpy(key, "Hits:Total");
    CHECK(set("MX1", TALLOWMERE_SYSTEM_SCOPE, NULL, dayKey, "SMTP", key, "1,2") == 1);
  }
  CHECK(summary("MX1", TALLOWMERE_SYSTEM_SCOPE, NULL, "SMTP", "M2026M05", 0, "", 0) == -1);
  CHECK(get("MX1", TALLOWMERE_SYSTEM_SCOPE, NULL, "SMTP", "M2026M05", "Hits:Total", buffer, sizeof buffer) == 1);
  CHECK(strcmp(buffer, "7.000000,4.000000") == 0);

  /* Log processing of a definition naming no log: no crash, result 0. */
  {
    char result[128] = "x";
    int32_t size = (int32_t)sizeof result;
    CHECK(process("", 0, result, &size) == 0);
    CHECK(result[0] == '\0');
  }

  /* Purges. */
  CHECK(purgeBefore("X2026X05D02") == 1);
  CHECK(!file_exists(path));
  CHECK(get("MX1", TALLOWMERE_SYSTEM_SCOPE, NULL, "SMTP", "M2026M05D03", "Hits:Total", buffer, sizeof buffer) == 1);
  CHECK(purgeAll() == 1);
  snprintf(path, sizeof path, "%s/mail/System/STATSROOT", base);
  CHECK(!file_exists(path));
  snprintf(path, sizeof path, "%s/mail/System", base);
  CHECK(file_exists(path));

  dlclose(library);
  snprintf(path, sizeof path, "rm -rf '%s'", base);
  if (system(path) != 0) fprintf(stderr, "could not remove %s\n", base);
  if (failures == 0) printf("all exports answered as expected\n");
  return failures == 0 ? 0 : 1;
}
