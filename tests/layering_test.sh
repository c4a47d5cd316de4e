#!/usr/bin/env bash
# The folders are layers: a source file includes only from its own folder and the
# folders below it, bottom first: geometry, core, noise, assets, sim, render, app, tools.
# And the simulation never sees GL.
set -u
cd "$1" || exit 1
layers=(geometry core noise assets sim render app tools)
rank() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && echo "$i" && return; done
  echo 99
}
status=0
for folder in "${layers[@]}"; do
  own=$(rank "$folder")
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    while read -r included; do
      [ "$(rank "${included%%/*}")" -le "$own" ] && continue
      echo "FAIL: $file includes $included, a layer above $folder"
      status=1
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done
done
if grep -ln '#include <GL/' sim/*.h sim/*.cpp core/*.h core/*.cpp; then
  echo "FAIL: the files above include a GL header"
  status=1
fi
[ "$status" -eq 0 ] && echo "PASS: every include goes down the layers"
exit "$status"
