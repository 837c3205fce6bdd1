#!/usr/bin/env bash
# qmk-results.exe under Wine: list and report on three saved sessions from
# two machines with damaged files beside them.
#   results.sh EMULATOR... PROGRAM TOOLS_FOLDER WORK_FOLDER
set -uo pipefail
args=("$@")
n=${#args[@]}
work=${args[n - 1]}
tools=${args[n - 2]}
program=${args[n - 3]}
emulator=("${args[@]:0:n-3}")

rm -rf "$work"
mkdir -p "$work"
python3 -c "import sys; sys.path.insert(0, sys.argv[1]); import sessions; sessions.write(sys.argv[2], sessions.SESSIONS, damaged=True)" \
  "$tools" "$work/results" || exit 1
# Wine's drive Z: is the Unix root.
windows_path() { echo "Z:${1//\//\\}"; }
export QMK_RESULTS_DIR
QMK_RESULTS_DIR=$(windows_path "$work/results")

status=0
fail() {
  echo "FAILED: $*"
  status=1
}

"${emulator[@]}" "$program" list > "$work/list.txt" 2> "$work/list.err"
code=$?
[ $code -eq 77 ] && exit 77
tr -d '\r' < "$work/list.txt" > "$work/list.out"
cat "$work/list.out"
[ $code -eq 0 ] || fail "list: status $code"
[ "$(grep -c '^20261' "$work/list.out")" -eq 3 ] || fail "list: not three sessions"
grep -q '^20261201T101500Z-0a1b2c3d .* alpha ' "$work/list.out" || fail "list: alpha's first session"
grep -q '^20261203T091000Z-2a1b2c3d .* beta ' "$work/list.out" || fail "list: beta's session"
[ "$(grep -c "^qmk-results: skipped '.*20261208T000000Z-0000000" "$work/list.err")" -eq 4 ] ||
  fail "list: the damaged files not named: $(cat "$work/list.err")"

"${emulator[@]}" "$program" report -o "$(windows_path "$work/report.html")" 2> "$work/report.err"
code=$?
[ $code -eq 0 ] || fail "report: status $code: $(cat "$work/report.err")"
[ -s "$work/report.html" ] || fail "report: no file"
svgs=$(grep -o '<svg ' "$work/report.html" | wc -l)
echo "report: $(wc -c < "$work/report.html") bytes, $svgs SVG charts"
[ "$svgs" -ge 12 ] || fail "report: $svgs SVG charts"
grep -q '>75.3[0-9] %</text>' "$work/report.html" || fail "report: alpha's first CPU median is not in the chart"
grep -q 'reference 100 %' "$work/report.html" || fail "report: no reference line"
ls -a "$work" | grep -q '\.tmp-' && fail "report: a temporary file was left"
exit $status
