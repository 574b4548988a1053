#!/usr/bin/env bash
# Starts the real player from a fresh copy of its program folder on the display
# server in the environment (run inside under-weston.sh) and checks that its
# window shows and that it prints no warning. On Qt's Wayland platform the
# proof is the protocol: the compositor configured the window and the player
# committed a frame after that; Qt's X11 platform code must not be loaded.
# On X11 (XWayland) the window must map.
# Usage: player-shows.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "player-shows: $*" >&2
  [ -f "$work/log" ] && grep -v '^\[' "$work/log" | head -20 >&2
  exit 1
}

mkdir -p "$work/prog" "$work/home"
cp "$build/lyrano" "$build"/lyrano-*.so "$work/prog/"
cp -r "$build/data" "$work/prog/data"
native=0
[ "${QT_QPA_PLATFORM:-}" = wayland ] && native=1
env HOME="$work/home" SDL_AUDIODRIVER=dummy LYRANO_RULE_URL=http://127.0.0.1:9/rules.html \
  WAYLAND_DEBUG=$([ $native = 1 ] && echo client || echo 0) \
  "$work/prog/lyrano" >"$work/log" 2>&1 &
pid=$!

shown=0
for _ in $(seq 150); do
  kill -0 "$pid" 2>/dev/null || fail "the player ended"
  if [ $native = 1 ]; then
    # A frame committed after the compositor's first configure was acknowledged.
    if awk '/xdg_surface@[0-9]+\.ack_configure/ { acked = 1 }
            acked && /wl_surface@[0-9]+\.commit/ { found = 1; exit }
            END { exit !found }' "$work/log"; then
      shown=1
      break
    fi
  elif [ -n "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n1)" ]; then
    shown=1
    break
  fi
  sleep 0.1
done
[ $shown = 1 ] || fail "the window did not show"
sleep 2  # the tray and the media bus come after the first frame
kill -0 "$pid" 2>/dev/null || fail "the player ended after showing"
if [ $native = 1 ] && grep -q -e XcbQpa -e libqxcb "/proc/$pid/maps"; then
  fail "Qt's X11 platform is loaded natively"
fi
# Protocol lines start with a time stamp in brackets; anything else is a message.
if grep -v -e '^\[' -e '^ *$' -e 'XDG_RUNTIME_DIR' "$work/log" | grep -q .; then
  fail "the player printed messages"
fi
echo "player-shows: shown on ${QT_QPA_PLATFORM:-the default platform}, quietly" >&2
