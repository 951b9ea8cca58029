#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb) with a window manager (openbox), as a person's
# desktop would show the program: windows get frames, are placed and activated by the manager.
#   tools/x-session.sh ./build/gui_tests --gtest_filter='*Export*'
# The server picks a free display number; both are stopped when the command ends.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 command [args...]" >&2; exit 2; }

work=$(mktemp -d)
server=""
manager=""
cleanup() {
  [ -n "$manager" ] && kill "$manager" 2>/dev/null || true
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  [ -n "$manager" ] && wait "$manager" 2>/dev/null || true
  [ -n "$server" ] && wait "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The server writes its display number once it accepts connections.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 "${GAZORIN_X_SCREEN:-1280x1024x24}" -nolisten tcp -noreset \
  3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
server=$!
if ! read -r -t 20 number <"$work/display"; then
  echo "x-session: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$number"

# openbox without a session manager and with its default look; ready once it announces itself
# on the root window.
HOME="$work" XDG_CONFIG_HOME="$work" openbox --sm-disable </dev/null >"$work/openbox.log" 2>&1 &
manager=$!
for _ in $(seq 1 200); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  echo "x-session: openbox did not start" >&2
  cat "$work/openbox.log" >&2
  exit 1
fi

export QT_QPA_PLATFORM=xcb
set +e
"$@"
status=$?
set -e
exit $status
