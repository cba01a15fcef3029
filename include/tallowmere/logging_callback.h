/* The logging hook shared by libtallowmere's database provider libraries
 * (liblistprov, libsmtpprov): the type of the host's callback.
 *
 * The callback receives the three context values given at registration, the
 * level (8 a connection is being opened, 9 any other diagnostic, 10 a
 * tolerated database error) and one NUL-terminated line that starts with
 * "TW-IXXXX: " and ends in a line feed. It may be called from several host
 * threads at once; its return value is ignored. */
#ifndef TALLOWMERE_LOGGING_CALLBACK_H
#define TALLOWMERE_LOGGING_CALLBACK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t (*TallowmereLoggingCallback)(int32_t ctx1, int32_t ctx2, int32_t ctx3, int32_t level,
                                             const char *text);

#ifdef __cplusplus
}
#endif

#endif /* TALLOWMERE_LOGGING_CALLBACK_H */
