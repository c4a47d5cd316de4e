#!/usr/bin/env bash
# The folders are layers: a source file includes only from its own folder and the
# folders below it, bottom first: geometry, core, noise, assets, sim, render, run; then
# the viewer's wings (pace, options, control, shell, glx, and the shells glut, x11,
# wayland and offscreen side by side); and on top the two programs, the viewer's main and
# the renderer, side by side, with the Plasma wallpaper's native part (desktop/plasma),
# which reads the viewer's frames file, beside them. Folders on one floor never include each other: neither do the two programs, nor
# the window-system wings. Every folder is walked, however deep. And the simulation never
# sees GL.
set -u
cd "$1" || exit 1
# One floor a line, bottom first; folders sharing a line share the floor. A file belongs
# to the folder that holds it, not to one above it.
floors=(geometry core noise assets sim render run viewer/pace viewer/options viewer/control
        viewer/shell viewer/glx "viewer/glut viewer/x11 viewer/wayland viewer/offscreen"
        "viewer renderer desktop/plasma")
# The floor of the folder that holds path (a file, or an include's path), in floor; its
# folder in home. A folder that is no floor, however deep, gets none (99).
floor=99 home=
floor_of() {
  local i folder
  home=${1%/*}
  [ "$home" = "$1" ] && home=.
  for i in "${!floors[@]}"; do
    for folder in ${floors[$i]}; do
      [ "$folder" = "$home" ] && floor=$i && return
    done
  done
  floor=99
}
# The programs are each one house: viewer/ and renderer/ never include one another,
# wherever inside them.
program_of() { case "$1" in viewer/*) echo viewer ;; renderer/*) echo renderer ;; esac; }
status=0
while read -r file; do
  floor_of "$file"
  own=$floor own_home=$home
  if [ "$own" -eq 99 ]; then
    echo "FAIL: ${file%/*}/ holds code but is no layer"
    status=1
    continue
  fi
  while read -r included; do
    floor_of "$included"
    up=$floor up_home=$home
    [ "$up_home" = "$own_home" ] && continue
    mine=$(program_of "$file") theirs=$(program_of "$included")
    if [ "$up" -eq "$own" ] || { [ -n "$mine" ] && [ -n "$theirs" ] && [ "$mine" != "$theirs" ]; }; then
      echo "FAIL: $file includes $included: $own_home/ and $up_home/ never include each other"
      status=1
    elif [ "$up" -gt "$own" ]; then
      echo "FAIL: $file includes $included, a layer above $own_home/"
      status=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find . \( -path ./tests -o -path ./bench -o -path './build*' -o -path './.*' \) -prune \
           -o -type f \( -name '*.h' -o -name '*.cpp' \) -print | sed 's|^\./||' | sort)
if grep -rln '#include <GL/' sim core --include='*.h' --include='*.cpp'; then
  echo "FAIL: the files above include a GL header"
  status=1
fi
[ "$status" -eq 0 ] && echo "PASS: every include goes down the layers"
exit "$status"
