#!/usr/bin/env bash
# Whole-program figures of the player window under Xvfb, each the median of
# RUNS runs (default 5), every run in a fresh program folder (a copy of the
# binary and of data/) with a fresh HOME, against lyrano-demo on a free port:
#   - process start to the window mapped (MapNotify seen by xev on the root
#     window; monotonic clock taken just before exec),
#   - VmRSS 3 s after the window is mapped, default playlist and 10,000 rows,
#   - CPU (utime + stime) of the idle window over IDLE_SECONDS (default 20),
#   - CPU while a local MP3 plays with its LRC scrolling (a line every 2 s),
#   - loading 10,000 rows: start-to-mapped with 10,000 rows minus the default.
# CPU is the player process alone; the X server's share is not counted.
#
# Usage: bench/window_bench.sh [BUILD_DIR]   (default build/)
# Environment: RUNS, IDLE_SECONDS; LYRANO_BIN and LYRANO_DEMO_BIN override the
# binaries taken from BUILD_DIR (data/ is taken beside LYRANO_BIN when the
# build folder has none).
# The perl and awk programs below are single-quoted on purpose.
# shellcheck disable=SC2016
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-5}
idle_seconds=${IDLE_SECONDS:-20}
lyrano=${LYRANO_BIN:-$build/lyrano}
demo=${LYRANO_DEMO_BIN:-$build/lyrano-demo}
data=$build/data
[ -d "$data" ] || data=$(dirname "$lyrano")/data

die() { echo "window_bench: $*" >&2; exit 2; }
[ -x "$lyrano" ] || die "$lyrano is not built"
[ -x "$demo" ] || die "$demo is not built"
[ -d "$data" ] || die "no data/ folder in $build"
for tool in Xvfb xev xdotool ffmpeg perl iconv awk; do
  command -v "$tool" >/dev/null || die "$tool is missing (run scripts/install-deps)"
done
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive number"
[[ "$idle_seconds" =~ ^[1-9][0-9]*$ ]] || die "IDLE_SECONDS must be a positive number"

work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# Reaped processes leave the list, so cleanup never signals a reused pid.
forget() {
  local p keep=()
  for p in "${pids[@]}"; do [ "$p" = "$1" ] || keep+=("$p"); done
  pids=("${keep[@]}")
}
trap 'exit 130' INT TERM

now() { perl -MTime::HiRes=clock_gettime,CLOCK_MONOTONIC -e 'printf "%.6f\n", clock_gettime(CLOCK_MONOTONIC)'; }
clk_tck=$(getconf CLK_TCK)
# utime + stime in clock ticks; the name field may hold spaces, so cut after ")".
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'; }
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
# Proportional and private (not shared with any other process) memory, KiB.
pss_kib() { awk '/^Pss:/ {print $2}' "/proc/$1/smaps_rollup"; }
private_kib() { awk '/^Private_(Clean|Dirty):/ {s += $2} END {print s}' "/proc/$1/smaps_rollup"; }
cpu_ms() { awk -v t="$(cpu_ticks "$1")" -v hz="$clk_tck" 'BEGIN {printf "%.0f", 1000 * t / hz}'; }
wait_for_line() {  # file, seconds
  local i=0
  while [ ! -s "$1" ]; do
    i=$((i + 1))
    [ "$i" -le $(($2 * 100)) ] || return 1
    sleep 0.01
  done
}

# --- X server and demo service ---------------------------------------------
Xvfb -displayfd 5 -nolisten tcp -screen 0 1280x1024x24 5>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for_line "$work/display" 10 || die "Xvfb did not start: $(cat "$work/xvfb.log")"
display=":$(head -n1 "$work/display")"

"$demo" --port 0 >"$work/demo.out" 2>"$work/demo.err" &
pids+=($!)
wait_for_line "$work/demo.out" 10 || die "lyrano-demo did not start: $(cat "$work/demo.err")"
site=$(sed -n '1s#.*\(http://127\.0\.0\.1:[0-9]*\)/.*#\1#p' "$work/demo.out")
[ -n "$site" ] || die "cannot read the address from: $(head -n1 "$work/demo.out")"

# --- fixtures ----------------------------------------------------------------
# 10,000 online rows, GB18030 with CR LF: even rows by site id, odd rows by
# title only (id 0), some without a singer.
awk 'BEGIN {
  split("晨光 月下 橘子 雨巷 灯塔 星河 海风 山谷 北方 秋天", a, " ")
  for (i = 1; i <= 10000; i++) {
    t = a[i % 10 + 1] "的歌 " i
    s = (i % 7 == 0) ? "" : "歌手" (i % 97)
    printf "%s|%s|%d|\r\n", t, s, (i % 2 == 0) ? 100000 + i : 0
  }
}' | iconv -f UTF-8 -t GB18030 >"$work/playlist10k.txt"
[ "$(wc -l <"$work/playlist10k.txt")" -eq 10000 ] || die "cannot generate the 10,000-row playlist"

song_seconds=$((idle_seconds + 20))
ffmpeg -nostdin -loglevel error -y \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$song_seconds" \
  -ac 2 -c:a libmp3lame -b:a 192k "$work/bench song.mp3"
for ((i = 0; i * 2 < song_seconds; i++)); do
  s=$((i * 2))
  printf '[%02d:%02d.00]第%d行 歌词 line %d\r\n' $((s / 60)) $((s % 60)) $((i + 1)) $((i + 1))
done | iconv -f UTF-8 -t GB18030 >"$work/bench song.lrc"

# --- one run -------------------------------------------------------------------
# launch NAME PLAYLIST_OR_EMPTY [ARGS...]: starts the player in a fresh folder and
# waits until its window is mapped. Sets pid, map_ms, mapped_at.
launch() {
  local name=$1 playlist=$2
  shift 2
  local dir="$work/$name"
  mkdir -p "$dir/prog" "$dir/home/.config" "$dir/home/.cache" "$dir/home/.local/share" "$dir/runtime"
  chmod 700 "$dir/runtime"
  cp "$lyrano" "$dir/prog/lyrano"
  # The engine and HTTP client modules live beside the program.
  local module
  for module in "$(dirname "$lyrano")"/lyrano-*.so; do
    [ ! -e "$module" ] || cp "$module" "$dir/prog/"
  done
  cp -r "$data" "$dir/prog/data"
  [ -z "$playlist" ] || cp "$playlist" "$dir/prog/playlist.txt"

  # xev reports every top-level map at once; the reader stamps the first
  # ordinary (not override-redirect) one with the monotonic clock.
  mkfifo "$dir/xev.fifo"
  DISPLAY=$display xev -root -event substructure >"$dir/xev.fifo" 2>/dev/null &
  local xev_pid=$!
  pids+=("$xev_pid")
  perl -MTime::HiRes=clock_gettime,CLOCK_MONOTONIC -e '
    $SIG{ALRM} = sub { exit 1 }; alarm 30; $| = 1; my $t;
    while (<STDIN>) {
      if (/^MapNotify/) { $t = clock_gettime(CLOCK_MONOTONIC); next }
      if (defined $t && /window (0x[0-9a-f]+), override NO/) { printf "%.6f %d\n", $t, hex $1; exit 0 }
      undef $t;
    }
    exit 1' <"$dir/xev.fifo" >"$dir/mapped" &
  local reader_pid=$!
  pids+=("$reader_pid")
  sleep 0.5  # let xev select its events before the window can appear

  env -i PATH="$PATH" DISPLAY="$display" LANG=C.UTF-8 HOME="$dir/home" \
    XDG_CONFIG_HOME="$dir/home/.config" XDG_CACHE_HOME="$dir/home/.cache" \
    XDG_DATA_HOME="$dir/home/.local/share" XDG_RUNTIME_DIR="$dir/runtime" \
    SDL_AUDIODRIVER=dummy LYRANO_RULE_URL="$site/rules.html" \
    LYRANO_SITE_URL="$site" LYRANO_LYRIC_URL="$site" \
    perl -MTime::HiRes=clock_gettime,CLOCK_MONOTONIC -e '
      open(my $f, ">", shift) or die; printf $f "%.6f\n", clock_gettime(CLOCK_MONOTONIC);
      close $f; exec { $ARGV[0] } @ARGV or die' \
    "$dir/start" "$dir/prog/lyrano" "$@" >"$dir/out.log" 2>&1 &
  pid=$!
  pids+=("$pid")

  local ok=1
  wait "$reader_pid" || ok=0
  forget "$reader_pid"
  kill "$xev_pid" 2>/dev/null || true
  wait "$xev_pid" 2>/dev/null || true
  forget "$xev_pid"
  if [ "$ok" -eq 0 ]; then
    die "$name: no window was mapped within 30 s (log: $(tail -n5 "$dir/out.log"))"
  fi
  local window
  read -r mapped_at window <"$dir/mapped"
  map_ms=$(awk -v a="$(cat "$dir/start")" -v b="$mapped_at" 'BEGIN {printf "%.1f", (b - a) * 1000}')
  DISPLAY=$display xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -qx "$window" ||
    echo "window_bench: $name: the first window mapped (id $window) is not the player's" >&2
}

# Sleeps until SECONDS after the window was mapped.
sleep_until() {
  awk -v at="$mapped_at" -v s="$1" -v n="$(now)" 'BEGIN {d = at + s - n; printf "%.3f", (d > 0) ? d : 0}' |
    xargs sleep
}

# Warns when the player shows more than its window (a message box) or is still
# waiting for the rule page, since the figures would then not be the ones meant.
check_window() {
  local name=$1 w title count=0
  for w in $(DISPLAY=$display xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    count=$((count + 1))
    title=$(DISPLAY=$display xdotool getwindowname "$w" 2>/dev/null || true)
    case "$title" in
      *初始化*) echo "window_bench: $name: still initialising ($title)" >&2 ;;
    esac
  done
  [ "$count" -le 1 ] || echo "window_bench: $name: $count windows shown (a message box?)" >&2
}

stop() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  forget "$pid"
}

# CPU share of one core of $pid from now over DURATION seconds.
cpu_share() {
  local t0 c0 t1 c1
  t0=$(now)
  c0=$(cpu_ticks "$pid")
  sleep "$1"
  t1=$(now)
  c1=$(cpu_ticks "$pid")
  awk -v c="$((c1 - c0))" -v hz="$clk_tck" -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", 100 * c / hz / (b - a)}'
}

declare -a map_default=() rss_default=() pss_default=() private_default=() idle_cpu=()
declare -a map_10k=() rss_10k=() play_cpu=() cpu3_default=() cpu3_10k=()

for ((r = 1; r <= runs; r++)); do
  echo "window_bench: run $r of $runs" >&2

  launch "default$r" ""
  sleep_until 3
  rss_default+=("$(rss_kib "$pid")")
  pss_default+=("$(pss_kib "$pid")")
  private_default+=("$(private_kib "$pid")")
  cpu3_default+=("$(cpu_ms "$pid")")
  check_window "default$r"
  idle_cpu+=("$(cpu_share "$idle_seconds")")
  map_default+=("$map_ms")
  [ -s "$work/default$r/prog/playlist.txt" ] || echo "window_bench: default$r: playlist.txt was not seeded" >&2
  stop

  launch "big$r" "$work/playlist10k.txt"
  sleep_until 3
  rss_10k+=("$(rss_kib "$pid")")
  cpu3_10k+=("$(cpu_ms "$pid")")
  check_window "big$r"
  map_10k+=("$map_ms")
  stop

  launch "play$r" "" "$work/bench song.mp3"
  sleep_until 3
  check_window "play$r"
  grep -qs '^SDLAudio' /proc/"$pid"/task/*/comm ||
    echo "window_bench: play$r: no audio thread, the song is not playing" >&2
  play_cpu+=("$(cpu_share "$idle_seconds")")
  stop
  rm -rf "$work/default$r" "$work/big$r" "$work/play$r"
done

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
mib() { for v in "$@"; do awk -v k="$v" 'BEGIN {printf "%.1f\n", k / 1024}'; done; }

m_map=$(median "${map_default[@]}")
m_map10k=$(median "${map_10k[@]}")
m_load=$(awk -v a="$m_map10k" -v b="$m_map" 'BEGIN {printf "%.1f", a - b}')
mapfile -t rss_default_mib < <(mib "${rss_default[@]}")
mapfile -t rss_10k_mib < <(mib "${rss_10k[@]}")
mapfile -t pss_default_mib < <(mib "${pss_default[@]}")
mapfile -t private_default_mib < <(mib "${private_default[@]}")
m_cpu_load=$(awk -v a="$(median "${cpu3_10k[@]}")" -v b="$(median "${cpu3_default[@]}")" 'BEGIN {print a - b}')

row() {  # label, median, unit, target ("-" for none), all values...
  local label=$1 value=$2 unit=$3 target=$4
  shift 4
  awk -v l="$label" -v v="$value" -v u="$unit" -v t="$target" -v all="$*" 'BEGIN {
    if (t == "-") { bound = ""; verdict = "" } else { bound = "< " t; verdict = (v + 0 < t + 0) ? "met" : "MISSED" }
    printf "%-36s %9.2f %-4s  %-8s %-6s  [%s]\n", l, v, u, bound, verdict, all
  }'
}

echo
echo "Lyrano window, median of $runs runs ($(basename "$lyrano") from $(dirname "$lyrano"))"
printf '%-36s %9s %-4s  %-8s %-6s  %s\n' "figure" "median" "" "target" "" "[all runs]"
row "start to window mapped" "$m_map" ms 150 "${map_default[@]}"
row "RSS 3 s after start, default list" "$(median "${rss_default_mib[@]}")" MiB 40 "${rss_default_mib[@]}"
row "  PSS (shared pages split), default" "$(median "${pss_default_mib[@]}")" MiB - "${pss_default_mib[@]}"
row "  private pages only, default" "$(median "${private_default_mib[@]}")" MiB - "${private_default_mib[@]}"
row "RSS 3 s after start, 10,000 rows" "$(median "${rss_10k_mib[@]}")" MiB 60 "${rss_10k_mib[@]}"
row "CPU idle (${idle_seconds} s)" "$(median "${idle_cpu[@]}")" % 0.3 "${idle_cpu[@]}"
row "CPU playing, lyrics (${idle_seconds} s)" "$(median "${play_cpu[@]}")" % 1 "${play_cpu[@]}"
row "load 10,000 rows (mapped delta)" "$m_load" ms 300 "10k start-to-mapped: ${map_10k[*]}"
row "  CPU to 3 s, 10,000 minus default" "$m_cpu_load" ms - "default: ${cpu3_default[*]}; 10k: ${cpu3_10k[*]}"
