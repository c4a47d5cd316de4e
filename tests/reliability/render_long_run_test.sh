#!/usr/bin/env bash
# A long run of the renderer, untimed or timed: 100 000 frames at a small size end
# normally, with the balloon list in its bounds at the end. Untimed, the start-up cycle
# ends after about 43 000 frames and the list then holds 30 or 31 balloons; timed, the
# steps follow the measured frame times, so the run may end anywhere in the cycle:
# between 30 and the start-up peak of 70.
RENDER=$1
MODE=$2  # untimed | timed
source "$(dirname "$0")/lib.sh"
FRAMES=100000

case "$MODE" in
  untimed) render --frames $FRAMES --size 64x48 --seed 1; low=30; high=31 ;;
  timed) render --frames $FRAMES --size 64x48 --seed 1 --timed; low=30; high=70 ;;
  *) fail "unknown mode '$MODE' (untimed or timed)" ;;
esac
frames=$(json_value frames "$JSON")
[ "$frames" = "$FRAMES" ] || fail "the run reports $frames frames, expected $FRAMES"
balloons=$(json_value balloons "$JSON")
[ -n "$balloons" ] ||
  fail "the statistics have no \"balloons\" figure (the number of balloons in the list at the end of the run): $JSON"
note "$MODE run: $FRAMES frames in $(json_value wall_time_ms "$JSON") ms, $balloons balloons at the end"
[ "$balloons" -ge "$low" ] && [ "$balloons" -le "$high" ] ||
  fail "$balloons balloons at the end of the $MODE run, expected $low to $high"
echo "PASS"
