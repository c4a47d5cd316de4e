#!/usr/bin/env bash
# The folders are layers: a source file includes only from its own folder and the
# folders below it, bottom first: geometry, core, noise, assets, sim, render, run, and
# on top the two programs side by side, viewer and renderer, neither including the other.
# And the simulation never sees GL.
set -u
cd "$1" || exit 1
layers=(geometry core noise assets sim render run viewer renderer)
# The programs share the top floor: each may include itself and what lies below it.
rank() {
  local i
  [ "$1" = renderer ] && set -- viewer
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && echo "$i" && return; done
  echo 99
}
status=0
for folder in "${layers[@]}"; do
  own=$(rank "$folder")
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    while read -r included; do
      top=${included%%/*}
      if [ "$top" != "$folder" ] && [ "$(rank "$top")" -eq "$own" ]; then
        echo "FAIL: $file includes $included: the two programs never include each other"
        status=1
        continue
      fi
      [ "$(rank "$top")" -le "$own" ] && continue
      echo "FAIL: $file includes $included, a layer above $folder"
      status=1
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done
done
# Every folder of code is one of the floors (tests and benchmarks stand outside them).
for folder in */; do
  folder=${folder%/}
  case " ${layers[*]} tests bench " in *" $folder "*) continue ;; esac
  if compgen -G "$folder/*.cpp" >/dev/null || compgen -G "$folder/*.h" >/dev/null; then
    echo "FAIL: $folder/ holds code but is no layer"
    status=1
  fi
done
if grep -ln '#include <GL/' sim/*.h sim/*.cpp core/*.h core/*.cpp; then
  echo "FAIL: the files above include a GL header"
  status=1
fi
[ "$status" -eq 0 ] && echo "PASS: every include goes down the layers"
exit "$status"
