#!/usr/bin/env bash
# Memory stays flat: the heap in use after 20 000 frames is at most 512 KiB above that
# after 2 000 frames (same seed, same small picture).
#
# The heap in use (heap_kib in --json: every malloc arena together, after the last
# frame) repeats to within about 30 KiB between runs of the same length. Across lengths
# it moves between about 12.1 and 13.6 MiB (GL's own buffers at that moment) without
# rising with the frame count: 12.9 MiB after 2 000 frames, 12.1 after 10 000 and
# 20 000, 12.8 after 40 000. With the long run's figure some 0.8 MiB below the short
# one's, the bound fails a leak of about 75 bytes a frame or more. The peak resident set is no measure for this: it wobbles by up to 6 % whatever
# the run's length, with how much transient memory Mesa's rasterizer threads held at
# their busiest.
RENDER=$1
source "$(dirname "$0")/lib.sh"

# heap_after FRAMES: the heap in use at the end of a run of FRAMES frames, in KiB.
heap_after() {
  render --frames "$1" --size 160x120 --seed 1
  local heap
  heap=$(json_value heap_kib "$JSON")
  [ -n "$heap" ] && [ "$heap" -gt 0 ] || fail "no heap_kib in the statistics: $JSON"
  note "heap in use after $1 frames: $heap KiB (peak resident $(json_value peak_rss_kib "$JSON") KiB)" >&2
  echo "$heap"
}

short=$(heap_after 2000) || exit 1
long=$(heap_after 20000) || exit 1
[ "$long" -le $((short + 512)) ] ||
  fail "the heap grew from $short KiB after 2000 frames to $long KiB after 20000 frames"
echo "PASS"
