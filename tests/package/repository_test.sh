#!/usr/bin/env bash
# What the source tree promises before anything is built: scripts/run installs no package
# that only the tests or the Plasma wallpaper's build use, and the release's version and date in CMakeLists.txt are those
# of the changelog's and the metainfo's newest entries.
# Usage: repository_test.sh SOURCE_DIR VERSION RELEASE_DATE
set -euo pipefail
source_dir=$1 version=$2 date=$3
source "$(dirname "$0")/../lib.sh"

# The purposes scripts/run asks install-deps for (none named would mean all of them).
calls=$(grep -c 'install-deps' "$source_dir/scripts/run" || true)
[ "$calls" -eq 1 ] || fail "scripts/run calls install-deps $calls times, expected once"
read -r -a purposes <<<"$(sed -n 's:^ *scripts/install-deps\(.*\)$:\1:p' "$source_dir/scripts/run")"
[ ${#purposes[@]} -gt 0 ] || fail "scripts/run asks install-deps for every purpose, the tests' included"
run_list=$("$source_dir/scripts/install-deps" --list "${purposes[@]}" | sort -u)
test_list=$("$source_dir/scripts/install-deps" --list test plugin | sort -u)
[ -n "$run_list" ] && [ -n "$test_list" ] || fail "install-deps --list names no packages"
both=$(comm -12 <(echo "$run_list") <(echo "$test_list") | tr '\n' ' ')
[ -z "$both" ] || fail "scripts/run (install-deps ${purposes[*]}) installs packages of the tests or the Plasma wallpaper's build: $both"
note "scripts/run installs $(echo "$run_list" | wc -l) packages (${purposes[*]}), none of the tests'"

# The newest entries: the changelog's first, the metainfo's first <release>.
changelog=$source_dir/data/changelog
metainfo=$source_dir/data/io.github.aerolume.Aerolume.metainfo.xml
while read -r what got want; do
  [ "$got" = "$want" ] || fail "$what is '$got', CMakeLists.txt says '$want'"
done <<ROWS
changelog_version $(sed -n '1s/^aerolume (\([^)]*\)).*/\1/p' "$changelog") $version
changelog_date $(date -u -d "$(sed -n 's/^ -- .*>  //p' "$changelog" | head -n 1)" +%F 2>/dev/null) $date
metainfo_version $(grep -m 1 -o '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2) $version
metainfo_date $(grep -m 1 -o '<release version="[^"]*" date="[^"]*"' "$metainfo" | cut -d'"' -f4) $date
ROWS
note "the changelog and the metainfo name release $version of $date"
echo "PASS"
