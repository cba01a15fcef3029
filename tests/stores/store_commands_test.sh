#!/usr/bin/env bash
# The tallowmere program's store commands against a SQLite database of their
# own: add, get, edit, list, remove and access check through the libraries.
#   store_commands_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build="$1"; source_dir="$2"
work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
sqlite3 "$work/t.db" < "$source_dir/schema/sqlite.sql"
registry="$work/registry.reg"
{
  echo "REGEDIT4"
  for c in LS SMTP; do
    key="HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\$c\\Providers\\Configuration"
    printf '\n[%s]\n"Current Provider"="SQLite"\n\n[%s\\SQLite]\n"Data Source"="DRIVER=%s;Database=%s"\n' \
      "$key" "$key" "${TALLOWMERE_TEST_SQLITE_DRIVER:-SQLite3}" "$work/t.db"
  done
} > "$registry"
export TALLOWMERE_REGISTRY="$registry"
t() { "$build/bin/tallowmere" --library-dir "$build/lib" "$@"; }
passed=0; failed=0
expect() {  # description, expected exit code, expected text (grep -F), command...
  local what="$1" code="$2" text="$3"; shift 3
  local out rc
  out="$("$@" 2>&1)"; rc=$?
  if [ "$rc" -eq "$code" ] && grep -qF -- "$text" <<<"$out"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1)); echo "FAILED: $what (exit $rc): $out"
  fi
}
expect "add a list" 0 "added" t lists add --ListName staff --AccountName example.com --Description "All staff" --Status 1
expect "get it" 0 "Description: All staff" t lists get --ListName staff
expect "edit keeps other fields" 0 "edited" t lists edit --ListName staff --new-Description "It's new"
expect "edited row" 0 '"Description":"It'"'"'s new","DigestAnnotationMode":0' t --json lists get --ListName staff
expect "status kept" 0 "Status: 1" t lists get --ListName staff
expect "list by criterion" 0 '"count":1' t --json lists list --AccountName example.com
expect "no row" 1 "no matching row" t lists get --ListName nobody
expect "bad integer" 2 "expected a 32-bit integer" t lists add --ListType x
expect "too long" 2 "at most 127 characters" t lists add --ListName "$(printf 'n%.0s' {1..200})"
expect "remove needs criteria" 2 "use --all" t lists remove
expect "remove" 0 "removed" t lists remove --ListName staff
expect "removed" 0 '"count":0' t --json lists list
expect "member" 0 "added" t members add --Address "o'brien@example.com" --Postoffice po --Mailbox staff
expect "member found" 0 "Address: o'brien@example.com" t members list --Mailbox staff
expect "rule v4" 0 "added" t access add --Mode 1 --AddressMask "192.0.2.*" --AccessRight deny
expect "rule v4 other mode" 0 "added" t access add --Mode 2 --AddressMask "192.*.*.*" --AccessRight allow
expect "rule elsewhere" 0 "added" t access add --Mode 1 --AddressMask "198.51.100.*" --AccessRight deny
expect "rule v6" 0 "added" t access add --Mode 1 --AddressMask "2001:0db8:0000:0000:0000:0000:0000:*"
expect "check v4, every mode" 0 '"count":2' t --json access check 192.0.2.7
expect "check v4, one mode" 0 '"count":1' t --json access check 192.0.2.7 --Mode 2
expect "check v6" 0 "2001:0db8:0000:0000:0000:0000:0000:*" t access check 2001:db8::1
expect "check nothing" 0 "(no rows)" t access check 203.0.113.1
expect "blacklist" 0 "added" t blacklist add --TargetDomainName t.example --BannedDomainName spam.example
expect "blacklist pattern" 0 "BannedDomainName: spam.example" t blacklist get --TargetDomainName t.example --BannedDomainName "*.example"
expect "domain" 0 "added" t domains add --DomainName d.example --RetainMode 1
expect "domain get" 0 "RetainMode: 1" t domains get --DomainName d.example
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
