#!/usr/bin/env bash
# The store libraries export exactly the functions of their public headers:
# nothing of the static libraries or the C++ runtime leaks out.
#   exports_test.sh BUILD_DIR
set -euo pipefail
lib="$1/lib"
passed=0; failed=0
check() {  # library, expected names (sorted)
  local actual expected
  actual="$(nm -D --defined-only "$lib/lib$1.so" | awk '{print $NF}' | sort)"
  expected="$(printf '%s\n' "${@:2}" | sort)"
  if [ "$actual" = "$expected" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "lib$1.so exports differ:"; diff <(echo "$expected") <(echo "$actual") || true
  fi
}
check listprov ListAdd ListEdit ListRemove ListGet ListFindFirst ListFindNext \
  ListMemberAdd ListMemberEdit ListMemberRemove ListMemberGet ListMemberFindFirst ListMemberFindNext \
  SetLoggingFunction
check smtpprov SMTPDomainAdd SMTPDomainGet SMTPDomainEdit SMTPDomainRemove SMTPDomainFindFirst SMTPDomainFindNext \
  SMTPAccessAdd SMTPAccessGet SMTPAccessEdit SMTPAccessRemove SMTPAccessFindFirst SMTPAccessFindNext \
  SMTPBlacklistAdd SMTPBlacklistGet SMTPBlacklistEdit SMTPBlacklistRemove SMTPBlacklistFindFirst \
  SMTPBlacklistFindNext SetLoggingFunction Initialize UnInitialize
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
