// Bounded operations on NUL-terminated 8-bit strings in fixed buffers, the
// delimited-part extraction and the case-insensitive search. Sizes are buffer
// sizes in bytes including the terminating NUL. Re-entrant; nothing allocates
// except ReplaceAllBounded's work area on the stack.
#pragma once

#include <cstddef>
#include <string>

namespace tallowmere {

// Copies src whole and returns dst when it is shorter than size; otherwise
// copies size − 1 characters, terminates, and returns nullptr. size 0: nullptr.
char* CopyBounded(char* dst, const char* src, size_t size);

// Appends src when it fits (returns where it starts); otherwise appends what
// fits, terminates at size − 1, and returns nullptr.
char* AppendBounded(char* dst, const char* src, size_t size);

// Replaces every occurrence of pattern in src (case-sensitive, left to right)
// by replacement through a 4096-byte work area, then copies the result into
// dst (bounded by dstSize). src and dst may be the same buffer. Returns 1.
int ReplaceAllBounded(const char* src, char* dst, const char* pattern, const char* replacement,
                      size_t dstSize);

// Writes part `part` (from 1) of text split at delim (found ignoring case)
// into dst. escape != 0: a delimiter preceded by escape is skipped unless it
// starts the part. Returns 1 when written, 0 otherwise (empty dst when the part
// does not fit; dst untouched when there is no delimiter and part > 1).
int GetToken(const char* text, const char* delim, int part, char* dst, size_t size, char escape);

// First position of pattern in text, comparing ASCII letters ignoring case.
// Lengths of −1 are measured. nullptr for an empty/null pattern, a null text,
// a text shorter than the pattern, or no match.
const char* FindNoCase(const char* text, long textLength, const char* pattern, long patternLength);

// Position just after the last "\" or "/" (looking back to the second
// character), or path itself.
const char* FileNamePart(const char* path);

// Replaces the first "Software\Wow6432Node\Tallowmere" (any case) by
// "Software\Tallowmere". Returns the number of replacements (0 or 1).
int NormaliseRegistryPath(std::string& keyPath);

}  // namespace tallowmere
