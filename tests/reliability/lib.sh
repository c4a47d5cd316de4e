# Shared helpers for the renderer's reliability tests: reading one figure out of the
# single-line JSON that aerolume-render --json prints, and a run that must succeed (the
# messages and the scratch folder are tests/lib.sh's).
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

# json_value KEY TEXT: the number (or null) given for KEY, empty when KEY is absent.
json_value() {
  sed -n "s/.*\"$1\": \(null\|[-+0-9.eE]*\).*/\1/p" <<<"$2"
}

# render ARGS...: runs the renderer with --json, fails unless it exits with status 0,
# and leaves its JSON in $JSON.
render() {
  local status=0
  JSON=$("$RENDER" "$@" --json 2>"$WORK/stderr") || status=$?
  [ "$status" -eq 0 ] || fail "aerolume-render $* ended with status $status: $(cat "$WORK/stderr")"
  [ -n "$(json_value frames "$JSON")" ] || fail "aerolume-render $* printed no statistics: $JSON"
}
