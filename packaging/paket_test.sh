#!/usr/bin/env bash
# Builds the install tree and the Debian package from a built tree and
# checks them: file list, dependencies, desktop entry, man pages, --help
# without a display, the udev rule, Debian's own checker (lintian), and a
# start through the desktop entry's command line with the home folder as the
# current folder, as a user who may not write beside the executable.
# Usage: paket_test.sh BUILD_DIR "EXTRA;DEPENDS"
set -euo pipefail
build=$(cd "$1" && pwd)
IFS=';' read -r -a extra_depends <<< "${2:-}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
fail() { echo "FAIL: $*" >&2; exit 1; }

files=(
  usr/bin/pelto-befehle
  usr/bin/pelto-sim
  usr/bin/pelto
  usr/share/applications/pelto-befehle.desktop
  usr/share/icons/hicolor/scalable/apps/pelto-befehle.svg
  usr/share/man/man1/pelto-befehle.1.gz
  usr/share/man/man1/pelto-sim.1.gz
  usr/share/man/man1/pelto.1.gz
  usr/share/doc/pelto-befehle/changelog.gz
  usr/share/doc/pelto-befehle/copyright
  usr/share/lintian/overrides/pelto-befehle
  usr/lib/udev/rules.d/60-pelto-befehle.rules
)

# Every option that --help names is in the man page; the page (UTF-8, as
# man reads it) renders cleanly.
check_man() {
  local root=$1 prog=$2 page=$1/usr/share/man/man1/$2.1.gz
  local warnings text
  warnings=$(zcat "$page" | groff -k -t -man -Tutf8 -ww -z 2>&1) || fail "$prog.1 does not render"
  [ -z "$warnings" ] || fail "$prog.1: $warnings"
  # Read once: grep -q leaving a pipe early would fail it under pipefail.
  text=$(zcat "$page" | sed 's/\\//g')
  for opt in $(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$prog" --help | grep -oE '(^|[ [])(--[a-z-]+|-h|/[A-Z]+)' | tr -d ' [' | sort -u); do
    grep -qF -- "$opt" <<< "$text" || fail "$prog.1 does not list $opt"
  done
}

check_tree() {
  local root=$1
  for f in "${files[@]}"; do [ -f "$root/$f" ] || fail "$root: $f missing"; done
  desktop-file-validate "$root/usr/share/applications/pelto-befehle.desktop" || fail "desktop entry invalid"
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$root/usr/bin/pelto-befehle" --help > "$tmp/help" \
    || fail "pelto-befehle --help failed"
  grep -q -- '--desktop' "$tmp/help" || fail "--help does not name --desktop"
  "$root/usr/bin/pelto-sim" --help > /dev/null || fail "pelto-sim --help failed"
  check_man "$root" pelto-befehle
  check_man "$root" pelto-sim
  check_man "$root" pelto
  # Adapters with a latency timer get 1 ms when plugged in, without root at run time.
  grep -qx 'ACTION=="add", SUBSYSTEM=="usb-serial", DRIVER=="ftdi_sio", ATTR{latency_timer}="1"' \
    "$root/usr/lib/udev/rules.d/60-pelto-befehle.rules" || fail "udev rule does not set the latency timer"
}

echo "== cmake --install =="
cmake --install "$build" --prefix "$tmp/inst/usr" > /dev/null
check_tree "$tmp/inst"

echo "== cpack -G DEB =="
(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/deb" > "$tmp/cpack.log") \
  || { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$(ls "$tmp"/deb/pelto-befehle_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' | grep -v '/$' | sort > "$tmp/list"
for f in "${files[@]}"; do grep -qx "$f" "$tmp/list" || fail "package lacks $f"; done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
tr ',' '\n' <<< "$depends" | sed 's/^ *//; s/ .*//' > "$tmp/depends"
for d in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 "${extra_depends[@]}"; do
  grep -qxF "$d" "$tmp/depends" || fail "Depends lacks $d"
done
dpkg-deb -x "$deb" "$tmp/root"
check_tree "$tmp/root"

echo "== lintian =="
# No errors, and every warning fixed or overridden with its reason: lintian
# says nothing but its notice to root.
lintian "$deb" > "$tmp/lintian" 2>&1 || true
! grep -v 'running with root privileges is not recommended' "$tmp/lintian" || fail "lintian"

echo "== start from the desktop entry, home folder as current folder =="
home=$tmp/home
mkdir -p "$home"
chown 65534:65534 "$home"
exec_line=$(sed -n 's/^Exec=//p' "$tmp/root/usr/share/applications/pelto-befehle.desktop" | sed 's/ %[fFuUick]//g')
(cd "$home" && exec env -i PATH="$tmp/root/usr/bin:/usr/bin:/bin" HOME="$home" QT_QPA_PLATFORM=offscreen \
   XDG_RUNTIME_DIR="$home" setpriv --reuid=65534 --regid=65534 --clear-groups $exec_line \
   > "$tmp/start.log" 2>&1) &
pid=$!
log=$home/.local/state/pelto-befehle/~protokoll.log
for _ in $(seq 200); do
  [ -f "$home/Pelto-Befehle/befehle.txt" ] && grep -q 'keloCOM->Init(' "$log" 2>/dev/null && break
  sleep 0.1
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
[ "$(ls "$home/Pelto-Befehle" | wc -l)" -eq 18 ] || { cat "$tmp/start.log"; fail "not 18 files in ~/Pelto-Befehle"; }
! ls "$home"/*.txt > /dev/null 2>&1 || fail "files written into the home folder"
grep -q 'keloCOM->Init(' "$log" || { cat "$tmp/start.log"; fail "no protocol log in $log"; }
[ ! -e "$tmp/root/usr/bin/~protokoll.log" ] || fail "protocol log beside a read-only executable"
echo "package checked: $(basename "$deb")"
