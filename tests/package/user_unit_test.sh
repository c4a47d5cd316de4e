#!/usr/bin/env bash
# The systemd user unit: systemd-analyze verify finds nothing to say of it (with the
# built program in place of /usr/bin/aerolume, and without a running systemd: the user
# manager's checks on a private runtime folder), and it stands aside where GNOME or KDE
# Plasma host the scene themselves, whatever else XDG_CURRENT_DESKTOP lists.
# Usage: user_unit_test.sh SOURCE_DIR AEROLUME
set -euo pipefail
source_dir=$1 aerolume=$2
source "$(dirname "$0")/../lib.sh"
needs_tools systemd-analyze
unit=$source_dir/data/systemd/aerolume-background.service

sed "s|^ExecStart=/usr/bin/aerolume |ExecStart=$aerolume |" "$unit" >"$WORK/aerolume-background.service"
mkdir -m 0700 "$WORK/runtime"
status=0
XDG_RUNTIME_DIR=$WORK/runtime systemd-analyze --user --man=no verify \
  "$WORK/aerolume-background.service" >"$WORK/verify.out" 2>&1 || status=$?
# Unknown keys and unreadable values are only warned of, with status 0: any word fails.
[ "$status" -eq 0 ] && [ ! -s "$WORK/verify.out" ] ||
  fail "systemd-analyze verify (status $status): $(cat "$WORK/verify.out")"
note "systemd-analyze --user verify: nothing to say"

# The ExecCondition's shell command, as systemd hands it over ($$ becomes $).
condition=$(sed -n "s/^ExecCondition=\/bin\/sh -c '\(.*\)'$/\1/p" "$unit" | sed 's/\$\$/$/g')
[ -n "$condition" ] || fail "no ExecCondition=/bin/sh -c '...' in the unit"
while read -r desktop want; do
  got=0
  XDG_CURRENT_DESKTOP=$desktop sh -c "$condition" || got=$?
  [ "$got" -eq "$want" ] || fail "XDG_CURRENT_DESKTOP='$desktop': condition $got, expected $want"
done <<ROWS
GNOME 1
ubuntu:GNOME 1
KDE 1
sway 0
X-Cinnamon 0
GNOMEish 0
ROWS
note "stands aside under GNOME and KDE, starts elsewhere"
echo PASS
