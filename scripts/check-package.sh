#!/usr/bin/env bash
# Builds the .deb from the Release build in build/ (or $1) and checks it as
# a Debian user would meet it: the validators of its desktop entry,
# metainfo and manual pages, lintian, the file list, then a real install
# with apt-get, the installed programs run (a benchmark on a private Xvfb,
# the window's class on another), and a purge that must leave no file
# behind. Needs root (or sudo) for apt-get; called by scripts/test.sh.
#
# It never removes what it did not install: where a qmk package is on the
# system already (a user's own), that one stays, and the install, the runs
# and the purge happen in a throw-away root instead (dpkg --root, the
# dependencies taken from the system). What the check installed on the
# system it purges on every way out, a failed check's too.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}
expected=$root/tests/packaging/installed-files.txt

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -qq "$@"
}
fail() { echo "check-package: $*" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=
qmk_pid=
installed_here=0  # 1 while the system holds the qmk this check installed
cleanup() {
  [ -n "$qmk_pid" ] && kill "$qmk_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  if [ "$installed_here" -eq 1 ] && dpkg-query -W -f='${Status}' qmk 2>/dev/null | grep -q .; then
    echo "check-package: removing the test build of qmk it installed" >&2
    apt_get remove --purge qmk >/dev/null || echo "check-package: could not; run: apt-get remove --purge qmk" >&2
  fi
  as_root rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

echo "-- building the package"
cmake --build "$build" -j"$(nproc)" --target qmk qmk-run qmk_desktop_files >/dev/null
out=$root/$build/package
rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/qmk_*.deb)
[ "$(echo "$deb" | wc -l)" -eq 1 ] || fail "expected one .deb in $out"
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

echo "-- file list and validators"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | LC_ALL=C sort > "$work/packaged"
grep -v '^#' "$expected" | sed 's|^|usr/|' | LC_ALL=C sort > "$work/expected"
diff -u "$work/expected" "$work/packaged" || fail "the package's files differ from $expected"
dpkg-deb -x "$deb" "$work/tree"
desktop-file-validate "$work"/tree/usr/share/applications/*.desktop
appstreamcli validate --no-net "$work"/tree/usr/share/metainfo/*.metainfo.xml
for page in "$work"/tree/usr/share/man/man1/*.1.gz; do
  lint=$(gzip -dc "$page" | mandoc -T lint -W warning 2>&1) || fail "mandoc $(basename "$page"): $lint"
  [ -z "$lint" ] || fail "mandoc $(basename "$page"): $lint"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $(basename "$page"): $warnings"
done

echo "-- lintian"
lintian --allow-root --fail-on error "$deb"

# A qmk the system holds already is someone's own installation: it stays.
# Status, then version: "install ok installed 1.0.0".
preinstalled=$(dpkg-query -W -f='${Status} ${Version}' qmk 2>/dev/null | sed -n 's/^install ok installed //p' || true)
if [ -n "$preinstalled" ]; then
  echo "-- install into a throw-away root (qmk $preinstalled is installed on this system; it stays as it is)"
  prefix=$work/root
  mkdir -p "$prefix/var/lib/dpkg/info" "$prefix/var/lib/dpkg/updates"
  touch "$prefix/var/lib/dpkg/status"
  dpkg_here() { as_root dpkg --root="$prefix" --force-depends "$@"; }
  query_here() { dpkg-query --admindir="$prefix/var/lib/dpkg" "$@"; }
  # Its dependencies are the system's; the warnings that they are not in
  # the throw-away root say nothing about the package.
  dpkg_here -i "$deb" > "$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg could not install it"; }
else
  echo "-- install"
  prefix=
  query_here() { dpkg-query "$@"; }
  installed_here=1
  apt_get install "$deb" >/dev/null
fi
query_here -L qmk > "$work/owned"
sed 's|^|/usr/|' "$work/expected" | sed 's|^/usr/usr/|/usr/|' | while read -r file; do
  grep -qx "$file" "$work/owned" || fail "$file is not in dpkg -L qmk"
  [ -f "$prefix$file" ] || fail "$file was not installed"
done

# The font the window needs comes with the package's dependency.
font_package=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep '^fonts-' | head -n 1)
[ -n "$font_package" ] || fail "the package depends on no font package"
dpkg-query -L "$font_package" | grep -E '\.(ttf|otf|ttc)$' > "$work/font-files" ||
  fail "$font_package holds no font file"
fc-list : file | sed 's/: *$//' | grep -Fxf "$work/font-files" >/dev/null ||
  fail "fontconfig finds no font of $font_package"

version=$("$prefix/usr/bin/qmk-run" --version)
[ "$version" = "qmk-run $(dpkg-deb -f "$deb" Version)" ] || fail "qmk-run --version printed '$version'"
echo "$version"
env -u DISPLAY "$prefix/usr/bin/qmk-run" > "$work/run" || fail "the installed qmk-run failed"
cat "$work/run"
[ "$(wc -l < "$work/run")" -eq 2 ] || fail "qmk-run printed $(wc -l < "$work/run") lines, not 2"
grep -Eq '^ＣＰＵ：[0-9]+ \([0-9]+[.,][0-9]{2}%\)$' <(sed -n 1p "$work/run") || fail "no CPU result line"
grep -Eq '^ビデオ：[0-9]+ \([0-9]+[.,][0-9]{2}%\)$' <(sed -n 2p "$work/run") || fail "no video result line"

# The window's class is the StartupWMClass of the package's own menu entry
# (not of every entry on the machine). Xvfb picks a free display and writes
# its number to fd 3.
entry=$(grep -x 'usr/share/applications/[^/]*\.desktop' "$work/packaged") || fail "the package has no menu entry"
[ "$(echo "$entry" | wc -l)" -eq 1 ] || fail "the package has more than one menu entry: $entry"
startup_class=$(sed -n 's/^StartupWMClass=//p' "$prefix/$entry")
[ -n "$startup_class" ] && [ "$(echo "$startup_class" | wc -l)" -eq 1 ] ||
  fail "$(basename "$entry") names no single StartupWMClass"
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=:$(cat "$work/display")
DISPLAY=$display "$prefix/usr/bin/qmk" &
qmk_pid=$!
window=$(DISPLAY=$display timeout 30 xdotool search --sync --onlyvisible --class "$startup_class" | head -n 1) ||
  fail "no window of class $startup_class appeared"
wm_class=$(DISPLAY=$display xprop -id "$window" WM_CLASS)
echo "$wm_class"
[ "$wm_class" = "WM_CLASS(STRING) = \"qmk\", \"$startup_class\"" ] || fail "the window's class is not $startup_class"
# Alt+F4 goes to the focused window; the program takes the focus when it
# shows, which may come a moment after the window is mapped.
for _ in $(seq 20); do
  kill -0 "$qmk_pid" 2>/dev/null || break
  DISPLAY=$display xdotool key alt+F4
  sleep 0.5
done
status=0
wait "$qmk_pid" || status=$?
qmk_pid=
[ "$status" -eq 0 ] || fail "qmk ended with $status after Alt+F4"
kill "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null || true
xvfb_pid=

echo "-- purge"
if [ -z "$prefix" ]; then
  apt_get remove --purge qmk >/dev/null
  installed_here=0
else
  dpkg_here --purge qmk > "$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg could not purge it"; }
fi
if query_here -W -f='${Status}' qmk 2>/dev/null | grep -q .; then
  fail "dpkg still knows qmk: $(query_here -W -f='${Status}' qmk)"
fi
left=0
while read -r path; do
  if [ -e "$prefix$path" ] && [ ! -d "$prefix$path" ]; then echo "left behind: $path" >&2; left=1; fi
done < "$work/owned"
[ ! -e "$prefix/usr/share/doc/qmk" ] || { echo "left behind: /usr/share/doc/qmk" >&2; left=1; }
[ "$left" -eq 0 ] || fail "the purge left files of the package"
if [ -n "$preinstalled" ]; then
  now=$(dpkg-query -W -f='${Status} ${Version}' qmk 2>/dev/null | sed -n 's/^install ok installed //p' || true)
  [ "$now" = "$preinstalled" ] || fail "the system's qmk $preinstalled is now '$now'"
fi
echo "package checks passed"
