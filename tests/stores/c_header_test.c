/* Compiled as C: the public headers are C-clean, and a C host can load both
 * libraries and call them through the declared types. Prints the plain
 * "N passed, N failed" line and exits non-zero on failure. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tallowmere/listprov.h"
#include "tallowmere/smtpprov.h"

static int passed = 0, failed = 0;
#define CHECK(cond)                                              \
  do {                                                           \
    if (cond) {                                                  \
      ++passed;                                                  \
    } else {                                                     \
      ++failed;                                                  \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
    }                                                            \
  } while (0)

static int32_t Logger(int32_t c1, int32_t c2, int32_t c3, int32_t level, const char *text) {
  (void)c1; (void)c2; (void)c3; (void)level; (void)text;
  return 0;
}

int main(void) {
  const char *build = getenv("TALLOWMERE_BUILD_DIR");
  char path[4096];
  void *list, *smtp;
  int32_t (*listGet)(ListRecord *);
  int32_t (*accessGet)(SMTPAccessRecord *);
  int32_t (*setLogging)(int32_t, TallowmereLoggingCallback, int32_t, int32_t);
  int32_t (*initialize)(void);
  ListRecord listRecord;
  SMTPAccessRecord rule;

  /* No registry: the libraries still load; operations fail cleanly. */
  setenv("TALLOWMERE_REGISTRY", "/nonexistent/registry.reg", 1);
  snprintf(path, sizeof path, "%s/lib/liblistprov.so", build ? build : "build");
  list = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  CHECK(list != NULL);
  snprintf(path, sizeof path, "%s/lib/libsmtpprov.so", build ? build : "build");
  smtp = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  CHECK(smtp != NULL);
  if (!list || !smtp) {
    fprintf(stderr, "%s\n", dlerror());
    printf("%d passed, %d failed\n", passed, failed);
    return 1;
  }
  *(void **)&listGet = dlsym(list, "ListGet");
  *(void **)&accessGet = dlsym(smtp, "SMTPAccessGet");
  *(void **)&setLogging = dlsym(smtp, "SetLoggingFunction");
  *(void **)&initialize = dlsym(smtp, "Initialize");
  CHECK(listGet && accessGet && setLogging && initialize);
  CHECK(dlsym(list, "Initialize") == NULL); /* only smtpprov has it */
  CHECK(setLogging(0, NULL, 0, 0) == 2);
  CHECK(setLogging(0, Logger, 0, 0) == 1);
  CHECK(setLogging(0, Logger, 0, 0) == 0);
  CHECK(initialize() == 1);

  memset(&listRecord, 0, sizeof listRecord);
  strcpy(listRecord.ListName, "staff");
  CHECK(listGet(&listRecord) == 0);
  CHECK(strcmp(listRecord.ListName, "staff") == 0);
  CHECK(listGet(NULL) == 0);
  memset(&rule, 0, sizeof rule);
  rule.Mode = 1;
  CHECK(accessGet(&rule) == -1); /* no connection */
  CHECK(sizeof(ListRecord) == 3804 && sizeof(SMTPDomainRecord) == 3736);

  /* The libraries stay loaded until the process ends, as in a host. */
  printf("%d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}
