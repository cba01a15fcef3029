#!/usr/bin/env bash
# scripts/demo.sh end to end on the programs of this build (no package check,
# no build): it must finish, and what it prints and leaves behind must agree
# with itself: the System totals are the sums of the postoffices', the
# month is complete, the reports and the database exist, the access check
# finds the rule that covers the address.
#   demo_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"; source="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "demo_test: $*" >&2; sed 's/^/    | /' "$work/out.txt" >&2; exit 1; }
# The demo drives the log processing and store commands of the program;
# until the program has them the test is reported as skipped (code 77).
has_command() {  # has_command PARENT-WORDS... NAME: the parent's help lists NAME
  local name="${*: -1}"
  "$build/bin/tallowmere" "${@:1:$#-1}" --help 2>/dev/null | grep -qE "^  $name( |$)"
}
for command in "stats process" "lists" "access" "blacklist"; do
  # shellcheck disable=SC2086
  if ! has_command $command; then
    echo "demo_test: skipped: tallowmere has no \"$command\" command yet"
    exit 77
  fi
done
TALLOWMERE_DEMO_BUILD="$build" "$source/scripts/demo.sh" "$work/demo" >"$work/out.txt" 2>&1 \
  || fail "scripts/demo.sh failed"
grep -q "Everything works." "$work/out.txt" || fail "doctor did not pass inside the demo"
grep -q "month state: \[COMPLETE\]" "$work/out.txt" || fail "the month is not complete"
grep -q "day 17: state \[NODATA\]" "$work/out.txt" || fail "day 17 (no log) is not marked [NODATA]"
# postoffice lines and the System line: columns 2-5 are sessions, delivered, rejected, spam.
awk '$1 ~ /\.example$/ && NF == 6 { for (i = 2; i <= 5; i++) sum[i] += $i; n++ }
     $1 == "System" && NF == 6 { for (i = 2; i <= 5; i++) sys[i] = $i; seen = 1 }
     END { if (n != 3 || !seen) exit 1; for (i = 2; i <= 5; i++) if (sum[i] != sys[i] || sys[i] <= 0) exit 1 }' \
  "$work/out.txt" || fail "the System totals are not the sums of the three postoffices"
grep -q "AddressMask: 198.51.100.\*" "$work/out.txt" || fail "access check did not find the 198.51.100.* rule"
grep -q "TargetDomainName: acme.example" "$work/out.txt" || fail "the blacklist entry was not found"
for file in report.html report-acme.example.html chart.svg tallowmere.db registry.reg env.sh; do
  [ -s "$work/demo/$file" ] || fail "$file was not left in the working directory"
done
[ "$(sqlite3 "$work/demo/tallowmere.db" 'SELECT COUNT(*) FROM LIST_MEMBER;')" = 3 ] || fail "the database lacks the 3 members"
grep -q '<svg[^>]*class="tallowmere-chart"' "$work/demo/report.html" || fail "report.html has no chart"
echo "demo_test: passed ($(grep -o 'Done in [0-9]* s' "$work/out.txt"))"
