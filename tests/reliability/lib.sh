# Shared helpers for the renderer's reliability tests: messages, a scratch folder, and
# reading one figure out of the single-line JSON that aerolume-render --json prints.
set -u
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "-- $*"; }

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
