#!/usr/bin/env bash
# keeps-installed-qmk.sh [BUILD_DIR]: scripts/check-package.sh on a system
# that holds a qmk package already (a user's own) must leave that one as it
# is, and check in a throw-away root instead. The system here is a copy of
# dpkg's database (DPKG_ADMINDIR) with a stand-in qmk, built with dpkg-deb,
# installed into it, so the machine's own packages are not touched.
# apt-get and dpkg refuse (and note) any change to the real system. After
# the check the stand-in must still be installed with its file, nothing
# may have been asked of the system, and the check must have passed and
# said where it installed. Needs root (or sudo),
# as the check does; called by scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "keeps-installed-qmk: $*" >&2; exit 1; }

mkdir -p "$work/standin/DEBIAN" "$work/standin/usr/share/qmk-standin"
cat > "$work/standin/DEBIAN/control" <<'CONTROL'
Package: qmk
Version: 0.0.1+standin
Architecture: all
Maintainer: QMK developers <developers@qmkbench.org>
Description: stand-in for a user's own qmk package (a test's)
CONTROL
echo kept > "$work/standin/usr/share/qmk-standin/marker"
dpkg-deb --root-owner-group --build "$work/standin" "$work/standin.deb" >/dev/null

cp -a /var/lib/dpkg "$work/admin"
mkdir -p "$work/system"
dpkg --admindir="$work/admin" --instdir="$work/system" --force-not-root --force-script-chrootless \
  -i "$work/standin.deb" >/dev/null
export DPKG_ADMINDIR=$work/admin
[ "$(dpkg-query -W -f='${Version}' qmk)" = 0.0.1+standin ] || fail "the stand-in is not installed"

# apt-get and dpkg know the real system only: any change the check would
# make there is refused and noted (reading, and dpkg on another root, go
# through).
mkdir -p "$work/bin"
cat > "$work/bin/apt-get" <<WRAPPER
#!/bin/sh
echo "apt-get \$*" >> "$work/system-changes"
exit 1
WRAPPER
cat > "$work/bin/dpkg" <<WRAPPER
#!/bin/sh
case " \$* " in
*" --root="*|*" --admindir="*|*" --instdir="*) exec /usr/bin/dpkg "\$@" ;;
*" -i "*|*" --install "*|*" -r "*|*" --remove "*|*" -P "*|*" --purge "*|*" --unpack "*|*" --configure "*)
  echo "dpkg \$*" >> "$work/system-changes"
  exit 1 ;;
esac
exec /usr/bin/dpkg "\$@"
WRAPPER
chmod +x "$work/bin/apt-get" "$work/bin/dpkg"
export PATH=$work/bin:$PATH

bash scripts/check-package.sh "$build" > "$work/check.log" 2>&1 || {
  cat "$work/check.log" >&2
  fail "the package check failed beside an installed qmk"
}
grep -qx -- "-- install into a throw-away root (qmk 0.0.1+standin is installed on this system; it stays as it is)" \
  "$work/check.log" || { cat "$work/check.log" >&2; fail "the check did not say it left the installed qmk alone"; }
[ ! -e "$work/system-changes" ] || fail "the check changed the system's packages: $(cat "$work/system-changes")"
status=$(dpkg-query -W -f='${Status} ${Version}' qmk 2>&1) || true
[ "$status" = "install ok installed 0.0.1+standin" ] || fail "the installed qmk is now: $status"
[ "$(cat "$work/system/usr/share/qmk-standin/marker" 2>/dev/null)" = kept ] || fail "the installed qmk lost its file"
cat "$work/check.log"
echo "the installed qmk stayed; the check ran in a throw-away root"
