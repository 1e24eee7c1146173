#!/usr/bin/env bash
# metainfo.sh <source-dir> <build-dir> <version>
# The AppStream metadata as installed: valid for software centres, pointing at
# the desktop entry that is installed beside it, naming this release and
# describing screenshots that exist.
set -euo pipefail
export LC_ALL=C
src=$1
build=$2
version=$3
command -v appstreamcli >/dev/null || { echo "SKIP: appstreamcli missing"; exit 77; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$stage" >/dev/null
shopt -s nullglob
files=("$stage"/share/metainfo/*.metainfo.xml)
[ ${#files[@]} -eq 1 ] || fail "expected one metainfo file in share/metainfo, found ${#files[@]}"
mi=${files[0]}
id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$mi")
[ "$(basename "$mi")" = "$id.metainfo.xml" ] || fail "file name $(basename "$mi") does not match the id $id"

appstreamcli validate --no-net "$mi" || fail "appstreamcli rejects $mi"

desktop=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$mi")
[ -n "$desktop" ] || fail "no desktop-id launchable"
[ -f "$stage/share/applications/$desktop" ] || fail "launchable $desktop is not installed"

grep -q "<release version=\"$version\"" "$mi" || fail "no release $version"
grep -q '<content_rating type="oars-1\.[01]"' "$mi" || fail "no content rating"
# Russian first (untranslated, so not plain ASCII), English beside it.
for tag in summary caption; do
  grep -qP "<$tag>[^<]*[\x80-\xff]" "$mi" || fail "no Russian <$tag>"
  grep -q "<$tag xml:lang=\"en\">[A-Za-z]" "$mi" || fail "no English <$tag>"
done
grep -qP '<p>[^<]*[\x80-\xff]' "$mi" || fail "no Russian description"
grep -q '<p xml:lang="en">[A-Za-z]' "$mi" || fail "no English description"

# Every screenshot named is one kept in docs/.
shots=$(sed -n 's|.*<image>.*/\([^/]*\)</image>.*|\1|p' "$mi")
[ -n "$shots" ] || fail "no screenshots"
for s in $shots; do
  [ -f "$src/docs/$s" ] || fail "screenshot $s is not in docs/"
done
echo "metainfo $id valid: desktop entry $desktop, release $version, screenshots: $(echo $shots)"
