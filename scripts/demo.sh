#!/usr/bin/env bash
# The whole system on the embedded default, in one command:
#   scripts/demo.sh [WORK-DIR]        (default ./demo-work; recreated on every run)
#
# Installs the missing Debian packages, builds, and in WORK-DIR creates a
# SQLite database from the schema, a registry file, unixODBC configuration
# and a mail root with three postoffices; writes a month of SMTP-service W3C
# logs (the same on every run); processes them day by day into statistics;
# summarises the month; adds and looks up mailing lists, members, domains,
# access rules and blacklist entries; writes an HTML report and an SVG chart;
# prints a short report and the commands to continue. JOBS=N limits the
# build's parallel jobs (default: the number of processors);
# TALLOWMERE_DEMO_BUILD=DIR uses the programs already built in DIR and skips
# the package check and the build (the test suite runs the demo that way).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="${1:-$PWD/demo-work}"
mkdir -p "$work"; work="$(cd "$work" && pwd)"
build="${TALLOWMERE_DEMO_BUILD:-$root/build}"
jobs="${JOBS:-$(nproc)}"
YEAR=2026; MONTH=11; MONTHKEY=D${YEAR}M${MONTH}
SERVER=MX1
start=$(date +%s)

say() { printf '\n== %s\n' "$*"; }
tty=0; [ -t 2 ] && tty=1
progress() { [ "$tty" = 1 ] && printf '\r  %s\033[K' "$*" >&2 || true; }
progress_end() { [ "$tty" = 1 ] && printf '\r\033[K' >&2 || true; }

say "Packages and build"
if [ -z "${TALLOWMERE_DEMO_BUILD:-}" ]; then
  "$root/scripts/install-deps.sh"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/.cmake.log" 2>&1 \
    || { cat "$work/.cmake.log"; exit 1; }
  cmake --build "$build" -j"$jobs" --target tallowmere statslog listprov smtpprov tallowmere-demo-logs \
    >"$work/.build.log" 2>&1 || { tail -40 "$work/.build.log"; echo "demo: the build failed (log: $work/.build.log)" >&2; exit 1; }
fi
tallowmere="$build/bin/tallowmere"
for program in "$tallowmere" "$build/bin/tallowmere-demo-logs"; do
  [ -x "$program" ] || { echo "demo: $program is missing (build it, or unset TALLOWMERE_DEMO_BUILD)" >&2; exit 1; }
done
echo "using $tallowmere and the libraries in $build/lib"

say "Working directory $work"
find "$work" -mindepth 1 ! -name '.cmake.log' ! -name '.build.log' -delete
mkdir -p "$work/mailroot/acme.example" "$work/mailroot/globex.example" "$work/mailroot/initech.example" \
  "$work/logs" "$work/definitions"
sqlite_driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so
[ -f "$sqlite_driver" ] || sqlite_driver="$(find /usr/lib -name libsqlite3odbc.so -print -quit)"
sqlite3 "$work/tallowmere.db" <"$root/schema/sqlite.sql"
cat >"$work/odbcinst.ini" <<INI
[ODBC]
Pooling = Yes

[SQLite3]
Description = SQLite3 ODBC Driver
Driver = $sqlite_driver
Threading = 2
CPTimeout = 60
INI
cat >"$work/odbc.ini" <<INI
[tallowmere_demo]
Driver = SQLite3
Database = $work/tallowmere.db
Timeout = 10000
JournalMode = WAL
INI
{
  cat <<REG
Windows Registry Editor Version 5.00

; Made by scripts/demo.sh: both stores in $work/tallowmere.db (SQLite),
; statistics under $work/mailroot.

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]
"Mail Root"="$work/mailroot"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Providers]
"Connection Mode"=dword:00000000
"Event Log Status"=dword:00000001
REG
  for connector in LS SMTP; do
    cat <<REG

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\$connector\\Providers\\Configuration]
"Current Provider"="SQLite"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\$connector\\Providers\\Configuration\\SQLite]
"DSN"="tallowmere_demo"
REG
  done
} >"$work/registry.reg"
cat >"$work/env.sh" <<ENV
# Source this file to use the demonstration's configuration: . $work/env.sh
export TALLOWMERE_REGISTRY='$work/registry.reg'
export TALLOWMERE_EVENTLOG='$work/events.jsonl'
export ODBCSYSINI='$work'
export ODBCINI='$work/odbc.ini'
export PATH='$build/bin':"\$PATH"
ENV
# shellcheck source=/dev/null
. "$work/env.sh"
echo "database $work/tallowmere.db, registry $work/registry.reg, mail root $work/mailroot"

say "Checking the configuration: tallowmere doctor"
if ! "$tallowmere" doctor >"$work/doctor.txt" 2>&1; then
  cat "$work/doctor.txt"; echo "demo: tallowmere doctor found problems" >&2; exit 1
fi
grep -E "^  ok|Everything" "$work/doctor.txt"

say "A month of SMTP logs ($YEAR-$MONTH; no log on day 17, day 9 as 24 hourly files)"
"$build/bin/tallowmere-demo-logs" "$work/logs" "$YEAR" "$MONTH" --missing-day 17 --hourly-day 9
du -sh "$work/logs" | awk '{print "  " $1 " of logs in " $2}'

say "Processing the logs day by day (tallowmere stats process)"
days=$(date -d "$YEAR-$MONTH-01 +1 month -1 day" +%d)
[ -n "$days" ] || days=30
definition() {  # definition DAY SECTION GROUP RESULTTYPE
  cat <<DEF
<REPORT>
  <FILENAME>$work/logs/ex.log</FILENAME>
  <SERVER>$SERVER</SERVER>
  <PERIOD>${MONTHKEY}D$1</PERIOD>
  <LOGSCHEMA>$2</LOGSCHEMA>
  <MINVERSION>1.0</MINVERSION>
  <GROUP>$3</GROUP>
  <RESULTTYPE>$4</RESULTTYPE>
  <FIELDCOUNT>5</FIELDCOUNT>
  <FIELD ID="1">Bytes:SUM(sc-bytes cs-bytes)</FIELD>
  <FIELD ID="2">Delivered:COUNT(cs-method=DATA sc-status=250)</FIELD>
  <FIELD ID="3">Rejected:COUNT(cs-method=RCPT sc-status=550)</FIELD>
  <FIELD ID="4">Spam:COUNT(cs-uri-query*=x-spam-flag:yes)</FIELD>
  <FIELD ID="5">Sessions:COUNT(cs-method=EHLO)</FIELD>
</REPORT>
DEF
}
for d in $(seq -w 1 "$days"); do
  progress "day $d of $days"
  definition "$d" SMTP x-postoffice 0 >"$work/definitions/postoffices-$d.xml"
  definition "$d" SMTP-Users cs-username 1 >"$work/definitions/users-$d.xml"
  # A day without logs ends with exit code 1 and the [NODATA] state; that is
  # part of the story (day 17), not a failure of the demonstration.
  "$tallowmere" stats process --no-progress "$work/definitions/postoffices-$d.xml" >>"$work/process.log" 2>&1 || true
  "$tallowmere" stats process --no-progress "$work/definitions/users-$d.xml" >>"$work/process.log" 2>&1 || true
done
progress_end
echo "  $days days processed (console lines in $work/process.log)"
echo "  day 17: state $("$tallowmere" stats flag get --server $SERVER --section SMTP --file ${MONTHKEY}D17 --key State || true)"

say "Summarising the month (tallowmere stats summary)"
for po in System acme.example globex.example initech.example; do
  scope=(--scope system); [ "$po" = System ] || scope=(--postoffice "$po")
  state=$("$tallowmere" stats summary --server $SERVER "${scope[@]}" --section SMTP --period $MONTHKEY 2>>"$work/summary.log" || true)
  printf '  %-16s %s\n' "$po" "$state"
done
state=$("$tallowmere" stats summary --server $SERVER --section SMTP-Users --period $MONTHKEY 2>>"$work/summary.log" || true)
printf '  %-16s %s\n' "users (System)" "$state"

say "Mailing lists, members, domains, access rules, blacklist (liblistprov, libsmtpprov)"
run() { echo "  \$ tallowmere $*"; "$tallowmere" "$@" | sed 's/^/    /'; }
run lists add --ListName announce --AccountName acme.example --ListAddress announce@acme.example \
  --Description "Company announcements" --Owner admin@acme.example --Status 1
run lists add --ListName staff --AccountName globex.example --ListAddress staff@globex.example \
  --Description "All staff" --Owner it@globex.example --Status 1
for user in user01 user02 user03; do
  "$tallowmere" members add --Address announce@acme.example --Postoffice acme.example --Mailbox $user >/dev/null
done
run members list --Address announce@acme.example
run domains add --DomainName acme.example --Status 1 --Account acme.example
run access add --Mode 1 --AddressMask "198.51.100.*" --Status 1 --Account acme.example --AccessRight RELAY
run access add --Mode 1 --AddressMask "203.0.113.66" --Status 0 --Account acme.example --AccessRight DENY
run access check 198.51.100.7
run blacklist add --TargetDomainName acme.example --BannedDomainName spam.example --Status 1 --Account acme.example
run blacklist get --BannedDomainName spam.example

say "Pictures (tallowmere stats report, tallowmere stats chart)"
"$tallowmere" stats report --server $SERVER --section SMTP --month $MONTHKEY \
  --key Sessions --key Delivered --key Rejected --key Spam --key Bytes -o "$work/report.html" | sed 's/^/  /'
"$tallowmere" stats chart --server $SERVER --section SMTP --month $MONTHKEY \
  --key Sessions --key Delivered --key Rejected --key Spam -o "$work/chart.svg" | sed 's/^/  /'
for po in acme.example globex.example initech.example; do
  "$tallowmere" stats report --server $SERVER --postoffice $po --section SMTP --month $MONTHKEY \
    -o "$work/report-$po.html" | sed 's/^/  /'
done

say "The month $MONTHKEY on $SERVER"
value() { "$tallowmere" stats get --server $SERVER "${@:3}" --section SMTP --file "$1" --key "$2" 2>/dev/null || echo 0; }
printf '  %-16s %10s %10s %10s %8s %12s\n' postoffice sessions delivered rejected spam "MB moved"
for po in acme.example globex.example initech.example System; do
  scope=(--scope system); [ "$po" = System ] || scope=(--postoffice "$po")
  printf '  %-16s %10.0f %10.0f %10.0f %8.0f %12.1f\n' "$po" \
    "$(value $MONTHKEY Sessions "${scope[@]}")" "$(value $MONTHKEY Delivered "${scope[@]}")" \
    "$(value $MONTHKEY Rejected "${scope[@]}")" "$(value $MONTHKEY Spam "${scope[@]}")" \
    "$(awk -v b="$(value $MONTHKEY Bytes "${scope[@]}")" 'BEGIN {print b / 1048576}')"
done
echo "  month state: $("$tallowmere" stats flag get --server $SERVER --section SMTP --file $MONTHKEY --key State || true)"

end=$(date +%s)
cat <<NEXT

Done in $((end - start)) s. Everything is in $work:
  registry.reg, odbc.ini, odbcinst.ini   the configuration      tallowmere.db   lists, members, rules
  mailroot/                              the statistics tree    logs/           the month's W3C logs
  report.html, report-*.html, chart.svg  the pictures           definitions/    the report definitions

To continue:
  . $work/env.sh                          # use this configuration in your shell
  tallowmere doctor                       # what the libraries see, and whether it works
  xdg-open $work/report.html              # the month in pictures (any browser)
  tallowmere stats get --server $SERVER --section SMTP --file ${MONTHKEY}D05           # keys of a day
  tallowmere stats get --server $SERVER --section SMTP-Users --file $MONTHKEY --key user01@acme.example
  tallowmere stats chart --server $SERVER --postoffice acme.example --section SMTP --month $MONTHKEY --key Delivered -o acme.svg
  tallowmere access check 203.0.113.66    # rules covering an address
  tallowmere lists list                   # every mailing list
  tallowmere --help                       # every command
NEXT
