#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks the result as a
# packager and a host developer would: library files with SONAME and version,
# headers, pkg-config and CMake package, the tallowmere program, schema and
# example files; then builds the same C host once with pkg-config and once
# with find_package(Tallowmere) and runs both against a SQLite database made
# from the installed schema.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"; source="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install failed"; }

libdir="$prefix/lib"
[ -d "$libdir" ] || fail "no lib directory under $prefix"
libraries=()
for name in statslog listprov smtpprov; do
  [ -e "$libdir/lib$name.so" ] && libraries+=("$name")
done
[ "${#libraries[@]}" -gt 0 ] || fail "no library installed in $libdir"
for name in "${libraries[@]}"; do
  real="$libdir/lib$name.so.1.0.0"
  [ -f "$real" ] || fail "lib$name.so.1.0.0 missing"
  [ "$(readlink "$libdir/lib$name.so.1")" = "lib$name.so.1.0.0" ] || fail "lib$name.so.1 does not link to lib$name.so.1.0.0"
  [ "$(readlink "$libdir/lib$name.so")" = "lib$name.so.1" ] || fail "lib$name.so does not link to lib$name.so.1"
  soname="$(objdump -p "$real" | awk '$1 == "SONAME" {print $2}')"
  [ "$soname" = "lib$name.so.1" ] || fail "lib$name SONAME is '$soname', expected lib$name.so.1"
  pc="$libdir/pkgconfig/tallowmere-$name.pc"
  [ -f "$pc" ] || fail "$pc missing"
  [ -f "$prefix/include/tallowmere/$name.h" ] || fail "header tallowmere/$name.h missing"
done
[ -f "$prefix/include/tallowmere/logging_callback.h" ] || fail "header tallowmere/logging_callback.h missing"
[ -f "$libdir/cmake/Tallowmere/TallowmereConfig.cmake" ] || fail "CMake package missing"
for engine in sqlite mariadb sqlserver; do
  [ -f "$prefix/share/tallowmere/schema/$engine.sql" ] || fail "schema/$engine.sql missing"
  [ -f "$prefix/share/tallowmere/examples/registry-$engine.reg" ] || fail "examples/registry-$engine.reg missing"
done
ls "$prefix"/share/tallowmere/examples/*.xml >/dev/null 2>&1 || fail "no example report definition"

# The program runs from the prefix and finds the installed libraries.
if [ -x "$build/bin/tallowmere" ]; then
  [ -x "$prefix/bin/tallowmere" ] || fail "bin/tallowmere missing"
  "$prefix/bin/tallowmere" --help >/dev/null || fail "installed tallowmere --help failed"
fi

# A database made from the installed schema, and a registry file naming it.
have() { local n; for n in "${libraries[@]}"; do [ "$n" = "$1" ] && return 0; done; return 1; }
sqlite_driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so
[ -f "$sqlite_driver" ] || sqlite_driver="$(find /usr/lib -name libsqlite3odbc.so -print -quit)"
db="$work/tallowmere.db"
sqlite3 "$db" <"$prefix/share/tallowmere/schema/sqlite.sql"
mkdir -p "$work/mailroot"
{
  echo "REGEDIT4"
  echo
  echo "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]"
  echo "\"Mail Root\"=\"$work/mailroot\""
  for connector in LS SMTP; do
    echo
    echo "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\$connector\\Providers\\Configuration]"
    echo "\"Current Provider\"=\"SQLite\""
    echo
    echo "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\$connector\\Providers\\Configuration\\SQLite]"
    echo "\"Data Source\"=\"Driver=$sqlite_driver;Database=$db\""
  done
} >"$work/registry.reg"
export TALLOWMERE_REGISTRY="$work/registry.reg"
export TALLOWMERE_EVENTLOG="$work/events.jsonl"
export LD_LIBRARY_PATH="$libdir"
export INSTALL_TEST_MAIL_ROOT="$work/mailroot"

# 1. pkg-config
pcnames=(); defines=()
for name in "${libraries[@]}"; do
  pcnames+=("tallowmere-$name")
  defines+=("-DHAVE_${name^^}")
done
export PKG_CONFIG_PATH="$libdir/pkgconfig"
# shellcheck disable=SC2046
cc -std=c11 -Wall -Wextra -Werror "${defines[@]}" $(pkg-config --cflags "${pcnames[@]}") \
  "$source/tests/install/host/install_host.c" -o "$work/host-pkgconfig" $(pkg-config --libs "${pcnames[@]}") \
  || fail "building the host with pkg-config failed"
echo "== host built with pkg-config"
"$work/host-pkgconfig" || fail "the pkg-config host failed"

# 2. find_package(Tallowmere); a fresh database so the adds start clean.
rm -f "$db"; sqlite3 "$db" <"$prefix/share/tallowmere/schema/sqlite.sql"
cmake_flags=(-DCMAKE_PREFIX_PATH="$prefix")
have statslog && cmake_flags+=(-DWITH_STATSLOG=ON)
have listprov && cmake_flags+=(-DWITH_LISTPROV=ON)
have smtpprov && cmake_flags+=(-DWITH_SMTPPROV=ON)
cmake -S "$source/tests/install/host" -B "$work/host-build" "${cmake_flags[@]}" >"$work/cmake.log" 2>&1 \
  || { cat "$work/cmake.log"; fail "configuring the CMake host failed"; }
cmake --build "$work/host-build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "building the CMake host failed"; }
echo "== host built with find_package(Tallowmere)"
"$work/host-build/install_host" || fail "the CMake host failed"

# The installed program finds the installed libraries and schema scripts.
if [ -x "$prefix/bin/tallowmere" ] && "$prefix/bin/tallowmere" --help | grep -q doctor; then
  env -u LD_LIBRARY_PATH "$prefix/bin/tallowmere" doctor >"$work/doctor.txt" 2>&1 \
    || { cat "$work/doctor.txt"; fail "tallowmere doctor of the installed tree found problems"; }
  grep -qF "ok       $prefix/bin/../lib/libstatslog.so" "$work/doctor.txt" \
    || { cat "$work/doctor.txt"; fail "the installed program does not use the installed libraries"; }
  echo "== installed tallowmere doctor: everything works"
fi
echo "install_test: passed (${libraries[*]})"
