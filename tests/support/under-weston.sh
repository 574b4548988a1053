#!/usr/bin/env bash
# Runs a command inside a headless Wayland compositor with XWayland:
#   under-weston.sh wayland  COMMAND...   Qt's Wayland platform, no X display
#   under-weston.sh xwayland COMMAND...   Qt's X11 platform on XWayland
# The compositor gets a runtime folder of its own and is stopped afterwards.
# The command's exit status is the script's.
set -euo pipefail
mode=$1
shift
command -v weston >/dev/null || { echo "under-weston: weston is missing (scripts/install-deps)" >&2; exit 2; }

work=$(mktemp -d)
weston_pid=""
cleanup() {
  if [ -n "$weston_pid" ]; then
    kill "$weston_pid" 2>/dev/null || true
    wait "$weston_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/runtime"
# XWayland's sockets; made by the first X server of the machine otherwise.
[ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix 2>/dev/null || true

export XDG_RUNTIME_DIR="$work/runtime"
cat >"$work/weston.ini" <<'INI'
[core]
idle-time=0
INI
: >"$work/weston.log"  # there before the first look, which may come before weston runs
weston --backend=headless-backend.so --socket=lyrano-test --width=1024 --height=768 \
  --config="$work/weston.ini" --xwayland >"$work/weston.log" 2>&1 &
weston_pid=$!
display=""
for _ in $(seq 200); do
  display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log") || true
  [ -S "$XDG_RUNTIME_DIR/lyrano-test" ] && [ -n "$display" ] && break
  kill -0 "$weston_pid" 2>/dev/null || break
  sleep 0.05
done
if [ ! -S "$XDG_RUNTIME_DIR/lyrano-test" ] || [ -z "$display" ]; then
  cat "$work/weston.log" >&2
  echo "under-weston: the compositor did not start" >&2
  exit 2
fi

case "$mode" in
  wayland)
    # As in a Wayland session: an X display exists (XWayland), but a native
    # client must not use it.
    export WAYLAND_DISPLAY=lyrano-test QT_QPA_PLATFORM=wayland DISPLAY="$display"
    ;;
  xwayland)
    export DISPLAY="$display" QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
    ;;
  *)
    echo "under-weston: mode is wayland or xwayland, not $mode" >&2
    exit 2
    ;;
esac
status=0
"$@" || status=$?
exit "$status"
