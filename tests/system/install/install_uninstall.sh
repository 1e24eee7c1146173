#!/usr/bin/env bash
# install_uninstall.sh <build-dir> <prefix>
set -euo pipefail
build=$1
prefix=$2
stage=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$stage" "$home"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

DESTDIR=$stage cmake --install "$build" >/dev/null
root=$stage$prefix
for f in bin/zvonarka lib/zvonarka/zvonarka lib/zvonarka/zvsounds.so lib/zvonarka/zvpower.so \
         lib/zvonarka/help/help.htm share/applications/zvonarka.desktop \
         share/icons/hicolor/48x48/apps/zvonarka.png share/icons/hicolor/256x256/apps/zvonarka.png; do
  [ -e "$root/$f" ] || fail "missing after install: $f"
done
[ -x "$root/bin/zvonarka" ] || fail "launcher is not executable"
grep -q "^exec \"$prefix/lib/zvonarka/zvonarka\"" "$root/bin/zvonarka" || fail "launcher does not start the installed program"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/share/applications/zvonarka.desktop" || fail "desktop entry invalid"
fi
echo "installed: $(cd "$root" && find . -type f | sort | tr '\n' ' ')"

# The launcher puts the user's settings in the user's own data folder. A second
# copy on a desktop where none runs yet would start the real window, so only
# the folder logic is checked, through a stand-in program.
fake=$(mktemp -d)
sed "s|^exec .*|exec pwd|" "$root/bin/zvonarka" > "$fake/launcher"
chmod +x "$fake/launcher"
got=$(HOME=$home XDG_DATA_HOME= "$fake/launcher")
rm -rf "$fake"
[ "$got" = "$home/.local/share/zvonarka" ] || fail "launcher ran in $got"

DESTDIR=$stage cmake --build "$build" --target uninstall >/dev/null
left=$(find "$stage" -mindepth 1 ! -path "$stage" | grep -v -x -F -e "$stage$prefix" || true)
# The prefix's own parent folders were made by DESTDIR staging, not by the install.
left=$(for p in $left; do case "$prefix" in "${p#"$stage"}"*) ;; *) echo "$p" ;; esac; done)
[ -z "$left" ] || fail "left behind after uninstall: $left"
echo "uninstalled: nothing left"
