#!/usr/bin/env bash
# install-layout.sh BUILD_DIR EXPECTED_LIST: installs the build into a
# temporary prefix and checks what lands where: exactly the listed files,
# icons of the size their folder names, a menu entry whose icon, program
# and window class are the installed ones, and compressed files without
# names or time stamps (so rebuilding changes no byte).
set -euo pipefail
build=$1
expected=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

grep -v '^#' "$expected" | LC_ALL=C sort > "$work/expected"
(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) > "$work/installed"
if ! diff -u "$work/expected" "$work/installed" >&2; then
  fail "the installed files differ from $expected"
fi

for program in qmk qmk-run; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done

# PNG: width and height are the big-endian words at bytes 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
for icon in "$prefix"/share/icons/hicolor/*/apps/*.png; do
  folder=$(basename "$(dirname "$(dirname "$icon")")")
  size=$(png_size "$icon")
  [ "$size" = "$folder" ] || fail "$icon is $size, not $folder"
done

entry=$(ls "$prefix"/share/applications/*.desktop)
app_id=$(basename "$entry" .desktop)
value() { sed -n "s/^$1=//p" "$entry"; }
[ "$(value Icon)" = "$app_id" ] || fail "Icon=$(value Icon), not $app_id"
[ -f "$prefix/share/icons/hicolor/48x48/apps/$(value Icon).png" ] || fail "no 48x48 icon for Icon=$(value Icon)"
[ -x "$prefix/bin/$(value Exec)" ] || fail "Exec=$(value Exec) is not an installed program"
[ "$(value StartupWMClass)" = "$app_id" ] || fail "StartupWMClass=$(value StartupWMClass), not $app_id"
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
grep -q "<id>$app_id</id>" "$metainfo" || fail "the metainfo's id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $app_id.desktop"

# gzip -n: bytes 4 to 7 (the time stamp) are zero and flag 8 (a name) is off.
for gz in "$prefix"/share/man/man1/*.gz "$prefix"/share/doc/qmk/changelog.gz; do
  gzip -t "$gz" || fail "$gz is not a gzip file"
  header=$(od -An -tu1 -N8 "$gz" | tr -s ' ')
  flags=$(echo "$header" | awk '{ print $4 }')
  stamp=$(echo "$header" | awk '{ print $5 + $6 + $7 + $8 }')
  [ $((flags & 8)) -eq 0 ] && [ "$stamp" -eq 0 ] || fail "$gz carries a name or time stamp"
done

if [ "$failures" -gt 0 ]; then
  exit 1
fi
echo "install layout: $(wc -l < "$work/installed") files as expected"
