#!/usr/bin/env bash
# tallowmere stats chart / stats report, checked in a real browser: a month
# with known day values (one day without data) is summarised, the HTML page
# and the SVG chart are written, and headless Chromium renders them. The
# rendered document must hold one chart per key whose points carry exactly
# the stored day values, the no-data day, the month's completeness and the
# month summary; the screenshot must not be blank.
#   chart_report_test.sh BUILD_DIR
set -euo pipefail
build="$1"
tallowmere="$build/bin/tallowmere"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "chart_report_test: $*" >&2; exit 1; }
browser="$(command -v chromium || command -v chromium-browser || true)"
[ -n "$browser" ] || fail "chromium is not installed (scripts/install-deps.sh installs the Debian package chromium)"

mkdir -p "$work/mailroot"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]\n"Mail Root"="%s"\n' "$work/mailroot" >"$work/registry.reg"
export TALLOWMERE_REGISTRY="$work/registry.reg"

# November 2026: Delivered = 10 x day, Spam = "day,2" (the chart shows item 1),
# no data at all on day 17.
expected_delivered=(); expected_spam=(); sum=0
for d in $(seq 1 30); do
  dd=$(printf '%02d' "$d")
  [ "$d" -eq 17 ] && continue
  "$tallowmere" stats set --server MX1 --section SMTP --file "D2026M11D$dd" --key Delivered --value "$((d * 10)).000000"
  "$tallowmere" stats set --server MX1 --section SMTP --file "D2026M11D$dd" --key Spam --value "$d.000000,2.000000"
  "$tallowmere" stats flag set --server MX1 --section SMTP --file "D2026M11D$dd" --key State --value "[COMPLETE]"
  expected_delivered+=("$d=$((d * 10))"); expected_spam+=("$d=$d"); sum=$((sum + d * 10))
done
"$tallowmere" stats summary --server MX1 --section SMTP --period D2026M11 >/dev/null 2>&1
"$tallowmere" stats report --server MX1 --section SMTP --month D2026M11 -o "$work/report.html" >/dev/null
"$tallowmere" stats chart --server MX1 --section SMTP --month D2026M11 --key Delivered -o "$work/chart.svg" >/dev/null

render() {  # render FILE OUT [extra flags]
  local file="$1" out="$2"; shift 2
  mkdir -p "$work/profile-$out"
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile-$out" "$@" "file://$file" 2>"$work/$out.err"
}
render "$work/report.html" dom --dump-dom >"$work/dom.html" || { cat "$work/dom.err"; fail "chromium could not render the report"; }
# One element per line makes the document easy to take apart.
sed 's/></>\n</g' "$work/dom.html" >"$work/dom.lines"

charts=$(grep -c '<svg[^>]*class="tallowmere-chart"' "$work/dom.lines" || true)
[ "$charts" -eq 2 ] || fail "expected 2 charts (Delivered, Spam) in the rendered page, found $charts"

# The points of one key's chart: "day=value" lines in document order.
points() {
  awk -v key="$1" '
    /<g class="series"/ { inside = index($0, "data-key=\"" key "\"") > 0 }
    inside && /<circle class="point"/ {
      match($0, /data-day="[0-9]+"/); day = substr($0, RSTART + 10, RLENGTH - 11)
      match($0, /data-value="[^"]*"/); value = substr($0, RSTART + 12, RLENGTH - 13)
      print day "=" value
    }
    /<\/g>/ { inside = 0 }' "$work/dom.lines"
}
[ "$(points Delivered)" = "$(printf '%s\n' "${expected_delivered[@]}")" ] \
  || fail "the Delivered chart does not carry the stored day values: $(points Delivered | tr '\n' ' ')"
[ "$(points Spam)" = "$(printf '%s\n' "${expected_spam[@]}")" ] \
  || fail "the Spam chart does not carry the first item of each day's value: $(points Spam | tr '\n' ' ')"
grep -q '<rect class="no-data" data-day="17"' "$work/dom.lines" || fail "day 17 is not marked as a day without data"
grep -q 'data-completeness="complete"' "$work/dom.lines" || fail "the charts do not carry the month's completeness"
grep -q '<span id="completeness" class="state complete">complete</span>' "$work/dom.lines" \
  || fail "the page does not show the month as complete"
grep -q "<td>Delivered</td><td>$sum.000000</td>" "$work/dom.html" \
  || fail "the month summary table lacks Delivered = $sum.000000"
grep -q '<text class="legend-key" data-key="Delivered"' "$work/dom.lines" || fail "no legend entry for Delivered"
grep -q 'class="x-label"' "$work/dom.lines" && grep -q 'class="y-label"' "$work/dom.lines" || fail "axis labels missing"

# The standalone SVG renders as an image document with the same points.
render "$work/chart.svg" svg --dump-dom >"$work/svg.html" || fail "chromium could not render chart.svg"
grep -q 'data-value="300"' "$work/svg.html" || fail "chart.svg lacks day 30's value 300"

# A screenshot of the page: a blank page compresses to a few kilobytes.
render "$work/report.html" shot --screenshot="$work/shot.png" --window-size=1000,1600 >/dev/null \
  || fail "chromium could not take a screenshot"
size=$(stat -c %s "$work/shot.png" 2>/dev/null || echo 0)
[ "$size" -gt 20000 ] || fail "the screenshot is ${size} bytes: the page rendered (nearly) blank"
echo "chart_report_test: passed ($charts charts, ${#expected_delivered[@]} days with data, screenshot $size bytes)"
