#!/usr/bin/env bash
# tallowmere doctor on a good configuration and on broken ones: each broken
# case must end with exit code 1 and name what is wrong and the fix; the good
# ones with exit code 0. SQLite cases use a database made from the schema;
# the wrong-password case uses the test MariaDB server of
# scripts/test-services.sh (its environment must be set, as scripts/test.sh
# does).
#   doctor_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"; source="$2"
tallowmere="$build/bin/tallowmere"
work="$(mktemp -d)"
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
failures=0
sqlite_driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so
[ -f "$sqlite_driver" ] || sqlite_driver="$(find /usr/lib -name libsqlite3odbc.so -print -quit)"
export TALLOWMERE_EVENTLOG="$work/events.jsonl"

# registry FILE MAILROOT PROVIDER KEY=VALUE-LINES... : a registry file whose
# two connectors use PROVIDER with the given value lines.
registry() {
  local file="$1" mailroot="$2" provider="$3"; shift 3
  {
    echo "REGEDIT4"; echo
    echo "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]"
    echo "\"Mail Root\"=\"$mailroot\""
    for connector in LS SMTP; do
      echo; echo "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\$connector\\Providers\\Configuration]"
      echo "\"Current Provider\"=\"$provider\""
      echo; echo "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\$connector\\Providers\\Configuration\\$provider]"
      printf '%s\n' "$@"
    done
  } >"$file"
}

# check NAME EXPECTED-EXIT PATTERN... : runs doctor (with $as_user when set)
# and checks the exit code and that every pattern occurs in the output.
check() {
  local name="$1" expected="$2"; shift 2
  local rc=0
  ${as_user:-} "$tallowmere" doctor >"$work/out.txt" 2>&1 || rc=$?
  local ok=1
  [ "$rc" -eq "$expected" ] || { echo "FAILED $name: exit code $rc, expected $expected"; ok=0; }
  local pattern
  for pattern in "$@"; do
    grep -qF -- "$pattern" "$work/out.txt" || { echo "FAILED $name: output lacks: $pattern"; ok=0; }
  done
  if [ "$ok" = 1 ]; then echo "ok $name"; else failures=$((failures + 1)); sed 's/^/    | /' "$work/out.txt"; fi
}

mkdir -p "$work/mailroot"
sqlite3 "$work/good.db" <"$source/schema/sqlite.sql"
chmod 644 "$work/good.db"
export TALLOWMERE_REGISTRY="$work/good.reg"
registry "$work/good.reg" "$work/mailroot" SQLite "\"Data Source\"=\"Driver=$sqlite_driver;Database=$work/good.db\""
check "good SQLite configuration" 0 "Everything works" "table LIST has its 40 columns" \
  "table SMTP_BLACKLIST has its 5 columns" "the mail root exists and is writable" "Mail Root: $work/mailroot  (read)" \
  "dialect: Sqlite" "Connection Mode: 0 (one shared connection)  (default)"

"$tallowmere" --json doctor >"$work/out.json" || true
grep -q '"ok":true' "$work/out.json" && grep -q '"problems":0' "$work/out.json" \
  && echo "ok --json on the good configuration" || { echo "FAILED --json: $(cat "$work/out.json")"; failures=$((failures + 1)); }

# A DWORD written as text still works but is flagged.
registry "$work/text-dword.reg" "$work/mailroot" SQLite "\"Data Source\"=\"Driver=$sqlite_driver;Database=$work/good.db\""
printf '\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Providers]\n"Connection Mode"="0"\n' >>"$work/text-dword.reg"
TALLOWMERE_REGISTRY="$work/text-dword.reg" check "dword value stored as text" 0 \
  "\"Connection Mode\" under [HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Providers] is not stored as a dword"

TALLOWMERE_REGISTRY="$work/absent.reg" check "missing registry file" 1 \
  "the registry file $work/absent.reg does not exist" "no \"Current Provider\"" "fix: copy registry-sqlite.reg"

cp "$work/good.db" "$work/no-table.db"
sqlite3 "$work/no-table.db" "DROP TABLE SMTP_BLACKLIST;"
registry "$work/no-table.reg" "$work/mailroot" SQLite "\"Data Source\"=\"Driver=$sqlite_driver;Database=$work/no-table.db\""
TALLOWMERE_REGISTRY="$work/no-table.reg" check "missing table" 1 "PROBLEM  table SMTP_BLACKLIST cannot be read" \
  "create the tables: sqlite3 DATABASE-FILE <" "table SMTP_ACCESS has its 6 columns"

cp "$work/good.db" "$work/no-column.db"
sqlite3 "$work/no-column.db" "DROP TABLE LIST_MEMBER; CREATE TABLE LIST_MEMBER (ID INTEGER PRIMARY KEY, Address TEXT, Postoffice TEXT);"
registry "$work/no-column.reg" "$work/mailroot" SQLite "\"Data Source\"=\"Driver=$sqlite_driver;Database=$work/no-column.db\""
TALLOWMERE_REGISTRY="$work/no-column.reg" check "missing column" 1 "table LIST_MEMBER lacks the column(s) Mailbox"

registry "$work/no-dsn.reg" "$work/mailroot" SQLite "\"DSN\"=\"no_such_dsn\""
TALLOWMERE_REGISTRY="$work/no-dsn.reg" check "undefined DSN" 1 "cannot connect with \"DSN=no_such_dsn\"" \
  "the data source (DSN) is not defined"

# Wrong password against the test MariaDB server; the password never shows.
: "${TALLOWMERE_TEST_MARIADB_DSN:?the test services are not running (scripts/test-services.sh start)}"
registry "$work/mariadb.reg" "$work/mailroot" MySQL "\"DSN\"=\"$TALLOWMERE_TEST_MARIADB_DSN\"" \
  "\"Trusted Connection\"=dword:00000000" "\"UserName\"=\"$TALLOWMERE_TEST_MARIADB_USER\"" \
  "\"Password\"=\"$TALLOWMERE_TEST_MARIADB_PASSWORD\""
TALLOWMERE_REGISTRY="$work/mariadb.reg" check "good MariaDB configuration" 0 "Everything works" \
  "dialect: MySql (MariaDB/MySQL)" "PWD=****" "table DOMAIN has its 12 columns"
registry "$work/wrong-password.reg" "$work/mailroot" MySQL "\"DSN\"=\"$TALLOWMERE_TEST_MARIADB_DSN\"" \
  "\"Trusted Connection\"=dword:00000000" "\"UserName\"=\"$TALLOWMERE_TEST_MARIADB_USER\"" \
  "\"Password\"=\"Wr0ngSecret\""
TALLOWMERE_REGISTRY="$work/wrong-password.reg" check "wrong password" 1 "the database refused the login" \
  "\"UserName\" and \"Password\" under" "PWD=****"
if grep -q Wr0ngSecret "$work/out.txt"; then
  echo "FAILED wrong password: the password appears in the output"; failures=$((failures + 1))
fi

# A mail root the user cannot write to (as root: run as nobody).
mkdir -p "$work/readonly-root"
chmod 555 "$work/readonly-root"
as_user=""
if [ "$(id -u)" -eq 0 ]; then as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"; fi
registry "$work/readonly.reg" "$work/readonly-root" SQLite "\"Data Source\"=\"Driver=$sqlite_driver;Database=$work/good.db\""
chmod 644 "$work"/*.reg
TALLOWMERE_REGISTRY="$work/readonly.reg" check "unwritable mail root" 1 \
  "the mail root $work/readonly-root is not writable" "fix: give the user the mail server runs as write access"
as_user=""
registry "$work/no-root.reg" "$work/nowhere" SQLite "\"Data Source\"=\"Driver=$sqlite_driver;Database=$work/good.db\""
TALLOWMERE_REGISTRY="$work/no-root.reg" check "missing mail root" 1 "the mail root $work/nowhere does not exist" \
  "fix: create it: mkdir -p '$work/nowhere'"

[ "$failures" -eq 0 ] || { echo "doctor_test: $failures case(s) failed"; exit 1; }
echo "doctor_test: passed"
