#!/usr/bin/env bash
# Runs a Windows program of a MinGW cross build under Wine. The toolchain
# files make this the build's emulator, so ctest (and anyone else) runs the
# .exe files unchanged:
#
#   wine-run.sh --build DIR --arch win64|win32 PROGRAM [ARGUMENTS...]
#   wine-run.sh --build DIR --arch win64|win32 --stop   (every session of DIR)
#
# Every build folder has its own Wine prefix, DIR/wine-prefix, made on first
# use (about 20 s) with the Japanese font names mapped to the Debian fonts,
# and its own session: a private Xvfb and a persistent wineserver that all
# programs of the build share, so only the first one pays Wine's start-up.
# Wine's own background processes are started with the session, not by a
# test, so none of them holds a test's output open. The session stops by
# itself a few seconds after its last program has ended, or at once with
# --stop; nothing is left running.
#
# Environment:
#   QMK_WINE_DPI      the prefix's LogPixels (default 96); every other value
#                     has a prefix and a session of its own (wine-prefix-dpiN)
#   QMK_WINE_DISPLAY  an X display to use instead of the private Xvfb (to
#                     watch a program); the session keeps the display it
#                     started with
#   QMK_WINE_LOADER   the Wine loader to use instead of the Debian one
#   QMK_WINE_LOCALE   LC_ALL for the program, from which Wine takes the
#                     Windows locale and ANSI code page (C: United States,
#                     1252); given apart, as the locale need not exist for
#                     the shell
#
# Exit status: the program's; 77 when this machine cannot run the build's
# programs at all (32-bit programs on a kernel without ia32 emulation), so
# ctest reports the test as skipped.
set -uo pipefail

readonly SkipStatus=77
readonly IdleSeconds=5

die() {
  echo "wine-run: $*" >&2
  exit 2
}

build=""
arch=""
stop=0
reap=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    --stop) stop=1; shift ;;
    --reap) reap=$2; shift 2 ;;  # internal: the session's watcher
    --) shift; break ;;
    *) break ;;
  esac
done
[ -n "$build" ] || die "--build DIR is required"
[ -d "$build" ] || die "no build folder $build"
build=$(cd "$build" && pwd)
case "$arch" in
  win64 | win32) ;;
  *) die "--arch must be win64 or win32" ;;
esac

dpi=${QMK_WINE_DPI:-96}
case "$dpi" in
  '' | *[!0-9]*) die "QMK_WINE_DPI must be a number" ;;
esac
suffix=""
[ "$dpi" = 96 ] || suffix="-dpi$dpi"
prefix="$build/wine-prefix$suffix"
state="$build/wine-session$suffix"
mkdir -p "$state" || die "cannot make $state"

# Debian installs the loaders outside PATH; wine64 is the 64-bit one, wine
# the 32-bit one (the /usr/bin/wine script would pick 32-bit whenever it is
# installed, even where the kernel cannot run it).
find_tool() {
  local candidate
  for candidate in "$@"; do
    if [ -x "$candidate" ]; then
      echo "$candidate"
      return 0
    fi
    if [ "${candidate#/}" = "$candidate" ] && command -v "$candidate" >/dev/null 2>&1; then
      command -v "$candidate"
      return 0
    fi
  done
  return 1
}
if [ -n "${QMK_WINE_LOADER:-}" ]; then
  loader=$QMK_WINE_LOADER
elif [ "$arch" = win64 ]; then
  loader=$(find_tool /usr/lib/wine/wine64 wine64) || die "no 64-bit Wine loader (install wine64)"
else
  loader=$(find_tool /usr/lib/wine/wine wine) || die "no 32-bit Wine loader (install wine32:i386)"
fi
# The server itself, not Debian's wrapper script, which forces -p0.
wineserver=$(find_tool /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver32 wineserver) ||
  die "no wineserver"

export WINEPREFIX=$prefix
export WINEARCH=$arch
export WINEDEBUG=-all
# No Mono or Gecko: their installers would ask with a dialog and wait. No
# menu builder: it would write menu entries into the user's home.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

users_lock="$state/users.lock"
setup_lock="$state/setup.lock"

# --- Stopping -------------------------------------------------------------

# Ends the session's processes; called with the users lock held
# exclusively, so no program of the build is running.
stop_session() {
  if [ -f "$state/started" ]; then
    "$wineserver" -k >/dev/null 2>&1
    # The server leaves once its processes are gone.
    timeout 10 "$wineserver" -w >/dev/null 2>&1
  fi
  local pid
  if [ -f "$state/xvfb.pid" ]; then
    pid=$(cat "$state/xvfb.pid")
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null
      for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
      kill -9 "$pid" 2>/dev/null
    fi
  fi
  rm -f "$state/started" "$state/xvfb.pid" "$state/display" "$state/session"
}

# Every session of the build folder, whatever its dpi.
if [ $stop -eq 1 ]; then
  for state in "$build"/wine-session*; do
    [ -d "$state" ] || continue
    export WINEPREFIX="$build/wine-prefix${state#"$build"/wine-session}"
    exec 8>"$state/users.lock"
    flock -x -w 120 8 || die "programs of $build are still running"
    stop_session
    exec 8>&-
  done
  exit 0
fi

# The watcher of one session: stops it when no program has run for a few
# seconds. It only stops the session it was started for.
if [ -n "$reap" ]; then
  idle=0
  while sleep 1; do
    [ "$(cat "$state/session" 2>/dev/null)" = "$reap" ] || exit 0
    exec 8>"$users_lock"
    if flock -x -n 8; then
      idle=$((idle + 1))
      if [ $idle -ge $IdleSeconds ]; then
        stop_session
        exit 0
      fi
    else
      idle=0
    fi
    exec 8>&-
  done
  exit 0
fi

# --- Running a program ----------------------------------------------------

[ $# -gt 0 ] || die "no program given"

# Whether this machine runs the loader at all: a kernel without ia32
# emulation refuses 32-bit programs with "Exec format error".
if ! probe_output=$("$loader" --version 2>&1); then
  reason=${probe_output##*: }
  case "$reason" in
    *"Exec format error"*) [ "$arch" = win32 ] && reason="$reason; the kernel has no ia32 emulation" ;;
  esac
  if [ "$arch" = win32 ]; then
    echo "skipped: this machine cannot run 32-bit programs ($reason)" >&2
  else
    echo "skipped: the Wine loader $loader does not run here ($reason)" >&2
  fi
  exit $SkipStatus
fi

# Shared while a program runs; the watcher and --stop take it exclusively.
# The descriptors are not passed on to Wine, whose server would keep them.
exec 8>"$users_lock"
flock -s 8
exec 9>"$setup_lock"
flock -x 9

display_alive() {
  local pid number
  pid=$(cat "$state/xvfb.pid" 2>/dev/null) || return 1
  number=$(cat "$state/display" 2>/dev/null) || return 1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && [ -S "/tmp/.X11-unix/X${number#:}" ]
}

start_display() {
  rm -f "$state/xvfb.pid" "$state/display" "$state/started"
  if [ -n "${QMK_WINE_DISPLAY:-}" ]; then
    echo "$QMK_WINE_DISPLAY" >"$state/display"
    return 0
  fi
  command -v Xvfb >/dev/null || die "Xvfb is not installed"
  local fdfile="$state/xvfb.displayfd"
  rm -f "$fdfile"
  # Its own session, so it outlives the program that started it and a
  # timeout that kills that program's group.
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi "$dpi" -nolisten tcp -noreset \
    3>"$fdfile" </dev/null >"$state/xvfb.log" 2>&1 8>&- 9>&- &
  local pid=$!
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    kill -0 "$pid" 2>/dev/null || die "Xvfb did not start: $(tail -n 1 "$state/xvfb.log")"
    sleep 0.1
  done
  [ -s "$fdfile" ] || die "Xvfb gave no display in 10 s"
  echo "$pid" >"$state/xvfb.pid"
  echo ":$(head -n 1 "$fdfile")" >"$state/display"
}

# Font names in the prefix: the window's Japanese faces are the Debian
# umefont families (the ones the X11 build uses), found through fontconfig.
write_registry() {
  local file="$state/prefix.reg"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ Ｐゴシック"="Ume P Gothic"\r\n'
    printf '"ＭＳ ゴシック"="Ume Gothic"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n'
    printf '"LogPixels"=dword:%08x\r\n' "$dpi"
  } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$file"
  echo "$file"
}

make_prefix() {
  [ -f "$prefix/.qmk-ready" ] && return 0
  # What an interrupted creation left is not a prefix.
  rm -rf "$prefix"
  echo "wine-run: creating the Wine prefix $prefix" >&2
  local started=$SECONDS registry
  registry=$(write_registry)
  "$loader" wineboot --init </dev/null >"$state/wineboot.log" 2>&1 8>&- 9>&-
  "$loader" regedit /S "$registry" </dev/null >>"$state/wineboot.log" 2>&1 8>&- 9>&- ||
    die "could not write the prefix's registry"
  # The registry reaches the disk when the server ends.
  "$wineserver" -w 8>&- 9>&-
  [ -f "$prefix/system.reg" ] || die "Wine did not make a prefix: $(tail -n 1 "$state/wineboot.log")"
  touch "$prefix/.qmk-ready"
  echo "wine-run: prefix ready in $((SECONDS - started)) s" >&2
}

start_session() {
  [ -f "$state/started" ] && return 0
  local id="$$-$RANDOM"
  echo "$id" >"$state/session"
  setsid "$wineserver" -p </dev/null >/dev/null 2>&1 8>&- 9>&-
  # Starts Wine's services and the desktop now, outside any test's pipes.
  setsid "$loader" wineboot </dev/null >/dev/null 2>&1 8>&- 9>&-
  touch "$state/started"
  setsid bash "$0" --build "$build" --arch "$arch" --reap "$id" </dev/null >/dev/null 2>&1 8>&- 9>&- &
}

if [ -f "$state/display" ] && { [ -n "${QMK_WINE_DISPLAY:-}" ] || display_alive; }; then
  :
else
  # A session whose display went away cannot be used any more.
  if [ -f "$state/started" ]; then
    "$wineserver" -k >/dev/null 2>&1 8>&- 9>&-
    rm -f "$state/started"
  fi
  start_display
fi
DISPLAY=$(cat "$state/display")
export DISPLAY
make_prefix
start_session
exec 9>&-

if [ -n "${QMK_WINE_LOCALE:-}" ]; then
  env LC_ALL="$QMK_WINE_LOCALE" "$loader" "$@" 8>&-
else
  "$loader" "$@" 8>&-
fi
