#!/usr/bin/env bash
# Runs a command on a real X server of its own: Xvfb on a free display (the
# server picks it), with a window manager so windows really maximise, and
# Qt on the xcb platform. Usage: mit_x.sh COMMAND [ARG...]
set -uo pipefail
tmp=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
wm=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
if [ ! -s "$tmp/display" ]; then
  cat "$tmp/xvfb.log" >&2
  echo "mit_x.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -1 "$tmp/display")"
# The manager is up once it has named itself on the root window. A busy
# machine may take a while, and a manager that found the server not yet
# reachable is started again: a run without one would test no frames.
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
for _ in $(seq 600); do
  if [ -z "$wm" ] || ! kill -0 "$wm" 2>/dev/null; then
    openbox --sm-disable --config-file /dev/null >>"$tmp/wm.log" 2>&1 &
    wm=$!
  fi
  wm_up && break
  sleep 0.1
done
if ! wm_up; then
  cat "$tmp/wm.log" >&2
  echo "mit_x.sh: the window manager did not start on $DISPLAY" >&2
  exit 1
fi
QT_QPA_PLATFORM=xcb "$@"
