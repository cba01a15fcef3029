#!/usr/bin/env bash
# Private services for the tests: MariaDB servers on Unix sockets with data
# directories under DIR, and unixODBC configuration files that point at them
# and at the SQLite ODBC driver. Nothing outside DIR is touched.
#
#   test-services.sh start DIR           start everything; prints `export` lines
#   test-services.sh stop DIR            stop every server started under DIR
#   test-services.sh server-start DIR NAME [mariadbd options...]
#                                        another server from the same template
#                                        (the tests' own instances, e.g. for
#                                        kill and restart); prints its socket
#   test-services.sh server-kill DIR NAME   SIGKILL that server (a crash)
#   test-services.sh server-stop DIR NAME   stop it cleanly
#   test-services.sh server-pause DIR NAME  SIGSTOP it (a server that stalls:
#                                        connections are accepted by the
#                                        kernel, nothing is answered)
#   test-services.sh server-resume DIR NAME SIGCONT it
#   test-services.sh server-remove DIR NAME stop it and remove its data
#
# Servers: "main" in the default sql_mode, "nbe" with NO_BACKSLASH_ESCAPES
# set globally. Both hold the database "tallowmere" with the schema, and the
# user tallowmere (password "tallowmere") may create databases named
# tallowmere_* for tests of their own.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
cmd="${1:-}"; dir="${2:-}"
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop|server-start|server-kill|server-stop DIR [NAME]" >&2; exit 2; }
mkdir -p "$dir"; dir="$(cd "$dir" && pwd)"

DB_NAME=tallowmere
DB_USER=tallowmere
DB_PASSWORD=tallowmere
mariadbd_bin="$(command -v mariadbd || command -v mysqld || echo /usr/sbin/mariadbd)"
[ -x "$mariadbd_bin" ] || mariadbd_bin=/usr/sbin/mariadbd
odbc_dir=/usr/lib/x86_64-linux-gnu/odbc
[ -d "$odbc_dir" ] || odbc_dir="$(dirname "$(find /usr/lib -name libmaodbc.so -print -quit)")"

log() { echo "test-services: $*" >&2; }

# Builds the template data directory once: system tables, the database, the
# user and the schema, made in bootstrap mode (no server, no network).
make_template() {
  local t="$dir/template"
  [ -f "$t/.ready" ] && return 0
  rm -rf "$t"; mkdir -p "$t"
  mariadb-install-db --no-defaults --datadir="$t" --user="$(id -un)" \
    --auth-root-authentication-method=socket --skip-test-db >"$dir/install-db.log" 2>&1 \
    || { log "mariadb-install-db failed:"; cat "$dir/install-db.log" >&2; return 1; }
  # A short-lived server on the template adds the database, user and schema.
  mkdir -p "$dir/build"
  "$mariadbd_bin" --no-defaults --datadir="$t" --socket="$dir/build/sock" --pid-file="$dir/build/pid" \
    --skip-networking --user="$(id -un)" --log-error="$dir/build/error.log" \
    --innodb-buffer-pool-size=32M >/dev/null 2>&1 &
  local i
  for i in $(seq 1 1200); do
    mariadb-admin --no-defaults --socket="$dir/build/sock" -u root ping >/dev/null 2>&1 && break
    sleep 0.1
  done
  {
    echo "CREATE DATABASE IF NOT EXISTS $DB_NAME CHARACTER SET latin1;"
    echo "CREATE USER IF NOT EXISTS '$DB_USER'@'localhost' IDENTIFIED BY '$DB_PASSWORD';"
    echo "GRANT ALL PRIVILEGES ON \`tallowmere%\`.* TO '$DB_USER'@'localhost';"
    echo "USE $DB_NAME;"
    cat "$root/schema/mariadb.sql"
  } | mariadb --no-defaults --socket="$dir/build/sock" -u root \
    || { log "schema set-up failed:"; tail -20 "$dir/build/error.log" >&2 || true; return 1; }
  mariadb-admin --no-defaults --socket="$dir/build/sock" -u root shutdown >/dev/null 2>&1 || true
  for i in $(seq 1 300); do
    [ -f "$dir/build/pid" ] || break
    sleep 0.1
  done
  touch "$t/.ready"
}

server_start() {
  local name="$1"; shift
  local s="$dir/$name"
  if [ -f "$s/pid" ] && kill -0 "$(cat "$s/pid")" 2>/dev/null; then echo "$s/sock"; return 0; fi
  if [ ! -d "$s/data" ]; then
    mkdir -p "$s"; cp -a "$dir/template" "$s/data"
  fi
  rm -f "$s/sock" "$s/pid"
  "$mariadbd_bin" --no-defaults --datadir="$s/data" --socket="$s/sock" --pid-file="$s/pid" \
    --skip-networking --user="$(id -un)" --log-error="$s/error.log" \
    --innodb-buffer-pool-size=32M --innodb-log-file-size=16M --innodb-flush-log-at-trx-commit=2 \
    --skip-log-bin --max-connections=500 --character-set-server=latin1 \
    --collation-server=latin1_swedish_ci "$@" >/dev/null 2>&1 &
  local i
  # Up to 2 minutes: a start under the sanitizer test run on a busy machine can take long.
  for i in $(seq 1 1200); do
    if [ -S "$s/sock" ] && mariadb-admin --no-defaults --socket="$s/sock" -u root ping >/dev/null 2>&1; then
      echo "$s/sock"; return 0
    fi
    sleep 0.1
  done
  log "server $name did not start:"; tail -20 "$s/error.log" >&2 || true
  return 1
}

server_signal() {
  local name="$1" signal="$2"
  local s="$dir/$name"
  [ -f "$s/pid" ] || return 0
  local pid; pid="$(cat "$s/pid")"
  kill "-$signal" "$pid" 2>/dev/null || true
  local i
  for i in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$s/pid"
}

write_odbc_ini() {
  cat >"$dir/odbcinst.ini" <<INI
[ODBC]
Pooling = Yes

[MariaDB]
Description = MariaDB Connector/ODBC
Driver = $odbc_dir/libmaodbc.so
Threading = 2
CPTimeout = 60

[SQLite3]
Description = SQLite3 ODBC Driver
Driver = $odbc_dir/libsqlite3odbc.so
Threading = 2
CPTimeout = 60
INI
  cat >"$dir/odbc.ini" <<INI
[tallowmere_mariadb]
Driver = MariaDB
SOCKET = $dir/main/sock
DATABASE = $DB_NAME
CHARSET = latin1
CONN_TIMEOUT = 5

[tallowmere_mariadb_nbe]
Driver = MariaDB
SOCKET = $dir/nbe/sock
DATABASE = $DB_NAME
CHARSET = latin1
CONN_TIMEOUT = 5

[tallowmere_sqlite]
Driver = SQLite3
Database = $dir/sqlite/tallowmere.db
Timeout = 10000
JournalMode = WAL
SyncPragma = NORMAL
INI
}

case "$cmd" in
  start)
    make_template
    server_start main >/dev/null
    server_start nbe --sql-mode="STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_AUTO_CREATE_USER,NO_ENGINE_SUBSTITUTION,NO_BACKSLASH_ESCAPES" >/dev/null
    mkdir -p "$dir/sqlite"
    [ -f "$dir/sqlite/tallowmere.db" ] || sqlite3 "$dir/sqlite/tallowmere.db" <"$root/schema/sqlite.sql"
    write_odbc_ini
    cat <<ENV
export ODBCSYSINI='$dir'
export ODBCINI='$dir/odbc.ini'
export TALLOWMERE_TEST_SERVICES='$dir'
export TALLOWMERE_TEST_SERVICES_SCRIPT='$here/test-services.sh'
export TALLOWMERE_TEST_MARIADB_DSN=tallowmere_mariadb
export TALLOWMERE_TEST_MARIADB_NBE_DSN=tallowmere_mariadb_nbe
export TALLOWMERE_TEST_MARIADB_SOCKET='$dir/main/sock'
export TALLOWMERE_TEST_MARIADB_NBE_SOCKET='$dir/nbe/sock'
export TALLOWMERE_TEST_MARIADB_DATABASE=$DB_NAME
export TALLOWMERE_TEST_MARIADB_USER=$DB_USER
export TALLOWMERE_TEST_MARIADB_PASSWORD=$DB_PASSWORD
export TALLOWMERE_TEST_MARIADB_DRIVER=MariaDB
export TALLOWMERE_TEST_SQLITE_DSN=tallowmere_sqlite
export TALLOWMERE_TEST_SQLITE_DRIVER=SQLite3
export TALLOWMERE_TEST_SQLITE_SCHEMA='$root/schema/sqlite.sql'
export TALLOWMERE_TEST_MARIADB_SCHEMA='$root/schema/mariadb.sql'
export LSAN_OPTIONS='suppressions=$root/scripts/lsan.supp:print_suppressions=0'
ENV
    ;;
  stop)
    for s in "$dir"/*/; do
      name="$(basename "$s")"
      if [ -f "$dir/$name/pid" ]; then server_signal "$name" TERM; fi
    done
    ;;
  server-start)
    name="${3:?server name}"; shift 3
    make_template
    server_start "$name" "$@"
    ;;
  server-kill) server_signal "${3:?server name}" KILL ;;
  server-pause|server-resume)
    name="${3:?server name}"
    [ -f "$dir/$name/pid" ] || { log "server $name is not running"; exit 1; }
    if [ "$cmd" = server-pause ]; then kill -STOP "$(cat "$dir/$name/pid")"; else kill -CONT "$(cat "$dir/$name/pid")"; fi
    ;;
  server-stop) server_signal "${3:?server name}" TERM ;;
  server-remove)
    name="${3:?server name}"
    server_signal "$name" TERM
    rm -rf "${dir:?}/$name"
    ;;
  *) echo "unknown command $cmd" >&2; exit 2 ;;
esac
