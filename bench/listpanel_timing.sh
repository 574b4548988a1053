#!/bin/sh
# Builds bench/listpanel_timing.cpp with the list panel's own sources (no other
# window code needed) and prints the median of each figure over RUNS runs
# (default 5), headless. Usage: bench/listpanel_timing.sh [runs]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

moc=/usr/lib/qt6/libexec/moc
[ -x "$moc" ] || moc=$(command -v moc)
flags=$(pkg-config --cflags Qt6Widgets)
libs=$(pkg-config --libs Qt6Widgets)

"$moc" $flags -I"$root/src" "$root/src/playlist/listpanel/listpanel.h" -o "$work/moc_listpanel.cpp"
# shellcheck disable=SC2086
c++ -std=c++20 -O2 -fPIC $flags -I"$root/src" -o "$work/listpanel_timing" \
  "$root/bench/listpanel_timing.cpp" \
  "$root/src/playlist/listpanel/listpanel.cpp" \
  "$root/src/playlist/listpanel/ListRowView.cpp" \
  "$root/src/common/codepage.cpp" \
  "$work/moc_listpanel.cpp" $libs

i=0
while [ "$i" -lt "$runs" ]; do
  QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$work/listpanel_timing" 2>/dev/null >>"$work/all.txt"
  i=$((i + 1))
done

# Median per figure.
for name in $(awk '{print $1}' "$work/all.txt" | sort -u); do
  awk -v n="$name" '$1 == n {print $2}' "$work/all.txt" | sort -g |
    awk -v n="$name" '{v[NR] = $1} END {m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%-36s %s (median of %d)\n", n, m, NR}'
done
