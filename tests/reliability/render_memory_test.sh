#!/usr/bin/env bash
# Memory stays flat: the renderer's peak resident memory after 20 000 frames is within
# 5% of its peak after 2 000 frames (same seed, same small picture).
#
# One run's peak wobbles by up to about 5% from run to run, whatever its length, and more
# so under load: most likely with how far Mesa's rasterizer threads get ahead of the frame
# loop, which sets how much transient memory is live at once. So each length is run three
# times and the medians are compared, and CTest runs this test alone (RUN_SERIAL), away
# from the load of the other tests.
RENDER=$1
source "$(dirname "$0")/lib.sh"

# median_peak FRAMES: the median of three runs' peak_rss_kib, with each run's figure noted.
median_peak() {
  local peaks=() peak
  for _ in 1 2 3; do
    render --frames "$1" --size 160x120 --seed 1
    peak=$(json_value peak_rss_kib "$JSON")
    [ -n "$peak" ] && [ "$peak" -gt 0 ] || fail "no peak_rss_kib in the statistics: $JSON"
    peaks+=("$peak")
  done
  note "peak resident memory after $1 frames: ${peaks[*]} KiB" >&2
  printf '%s\n' "${peaks[@]}" | sort -n | sed -n 2p
}

short=$(median_peak 2000) || exit 1
long=$(median_peak 20000) || exit 1
note "median peak resident memory: $short KiB after 2000 frames, $long KiB after 20000 frames"
awk -v a="$short" -v b="$long" 'BEGIN { d = b - a; if (d < 0) d = -d; exit !(d <= 0.05 * a) }' ||
  fail "median peak memory after 20000 frames ($long KiB) is not within 5% of that after 2000 ($short KiB)"
echo "PASS"
