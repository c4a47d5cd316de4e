#!/usr/bin/env bash
# Memory stays flat: the renderer's peak resident memory after 20 000 frames is within
# 5% of its peak after 2 000 frames (same seed, same small picture).
RENDER=$1
source "$(dirname "$0")/lib.sh"

render --frames 2000 --size 160x120 --seed 1
short=$(json_value peak_rss_kib "$JSON")
render --frames 20000 --size 160x120 --seed 1
long=$(json_value peak_rss_kib "$JSON")
[ -n "$short" ] && [ "$short" -gt 0 ] && [ -n "$long" ] && [ "$long" -gt 0 ] ||
  fail "no peak_rss_kib in the statistics: $JSON"
note "peak resident memory: $short KiB after 2000 frames, $long KiB after 20000 frames"
awk -v a="$short" -v b="$long" 'BEGIN { d = b - a; if (d < 0) d = -d; exit !(d <= 0.05 * a) }' ||
  fail "peak memory after 20000 frames ($long KiB) is not within 5% of that after 2000 ($short KiB)"
echo "PASS"
