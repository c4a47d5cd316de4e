#!/usr/bin/env bash
# Valgrind memcheck of a 300-frame run of the renderer: no invalid access and no
# definite leak. Only reports that arise in Mesa are suppressed (tests/valgrind.supp
# says why for each); any other report fails the test.
RENDER=$1
SUPPRESSIONS=$2
source "$(dirname "$0")/lib.sh"
needs_tools valgrind

status=0
valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite \
  --error-exitcode=99 --suppressions="$SUPPRESSIONS" --keep-debuginfo=yes --num-callers=40 \
  --log-file="$WORK/memcheck.log" \
  "$RENDER" --frames 300 --size 320x240 --seed 1 --json >"$WORK/stdout" 2>"$WORK/stderr" || status=$?
if [ "$status" -ne 0 ]; then
  cat "$WORK/memcheck.log" >&2
  [ "$status" -eq 99 ] && fail "memcheck found errors (the log is above)"
  fail "the renderer ended with status $status under valgrind: $(cat "$WORK/stderr")"
fi
[ "$(json_value frames "$(cat "$WORK/stdout")")" = 300 ] || fail "the run did not finish its 300 frames"
grep -E "ERROR SUMMARY|definitely lost|suppressed:" "$WORK/memcheck.log" | sed 's/^==[0-9]*== */-- /'
grep -q "ERROR SUMMARY: 0 errors" "$WORK/memcheck.log" || fail "memcheck reports errors"
echo "PASS"
