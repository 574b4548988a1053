#!/usr/bin/env bash
# CPU used while one stream plays on the dummy output driver: lyrano-cli plays a
# 192 kbit/s MP3 for N seconds (default 20) under /usr/bin/time; the figure is
# user + system time as a share of one core over the wall time, and includes
# the process start and the open.
# Usage: bench/audio_cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-20}
cli="$build/lyrano-cli"
[ -x "$cli" ] || { echo "audio_cpu: $cli is not built" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -loglevel error -y \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$((seconds + 5))" \
  -f lavfi -i "anoisesrc=color=pink:amplitude=0.1:sample_rate=44100:duration=$((seconds + 5))" \
  -filter_complex amix=inputs=2 -ac 2 -c:a libmp3lame -b:a 192k "$work/song.mp3"

SDL_AUDIODRIVER=dummy /usr/bin/time -f '%U %S %e %M' -o "$work/time" \
  "$cli" play "$work/song.mp3" --seconds "$seconds" >/dev/null
read -r user sys wall maxrss <"$work/time"
awk -v u="$user" -v s="$sys" -v w="$wall" -v m="$maxrss" 'BEGIN {
  printf "user %.2f s  system %.2f s  wall %.2f s  cpu %.2f %% of one core  max rss %d KiB\n",
         u, s, w, 100 * (u + s) / w, m
}'
