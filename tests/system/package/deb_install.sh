#!/usr/bin/env bash
# deb_install.sh <build-dir>
# The Debian package as a user gets it: made by CPack, clean for lintian, and
# installed with apt into a fresh minimal Debian 12, where apt must pull in
# everything it needs and the installed launcher must start the program. Needs
# root (chroot, mounting /proc), debootstrap, lintian and the Debian mirror;
# skipped where they are missing. Takes some minutes (a third of it the
# debootstrap, whose downloads are kept in <build-dir>/debootstrap-cache).
set -euo pipefail
build=$1
mirror=${ZV_DEBIAN_MIRROR:-http://deb.debian.org/debian}
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
[ "$(id -u)" -eq 0 ] || skip "needs root for debootstrap and chroot"
for t in cpack debootstrap lintian dpkg-deb chroot; do
  command -v "$t" >/dev/null || skip "$t missing"
done

work=$(mktemp -d)
root=$work/root
cleanup() {
  mountpoint -q "$root/proc" 2>/dev/null && umount "$root/proc"
  rm -rf "$work"
}
trap cleanup EXIT
t0=$SECONDS

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null
shopt -s nullglob
debs=("$work"/out/zvonarka_2.5.*_amd64.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one zvonarka_2.5.*_amd64.deb, found: $(ls "$work/out")"
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Found from the binaries, not written by hand.
for lib in libqt6widgets6 libjpeg62-turbo libc6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done
# Named by hand: Qt's Russian texts, which no binary links.
grep -q "qt6-translations-l10n" <<<"$depends" || fail "Depends lacks qt6-translations-l10n"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/zvonarka ./usr/lib/zvonarka/zvonarka ./usr/lib/zvonarka/zvsounds.so \
         ./usr/lib/zvonarka/zvpower.so ./usr/lib/zvonarka/help/help.htm \
         ./usr/share/applications/zvonarka.desktop ./usr/share/icons/hicolor/48x48/apps/zvonarka.png \
         ./usr/share/doc/zvonarka/copyright ./usr/share/metainfo/org.example.zvonarka.metainfo.xml; do
  grep -qx -- "$f" <<<"$contents" || fail "package lacks $f"
done

lint=$(lintian --allow-root "$deb" 2>&1 || true)
echo "lintian:"; echo "$lint"
! grep -q '^E:' <<<"$lint" || fail "lintian reports errors"
t1=$SECONDS

mkdir -p "$build/debootstrap-cache"
debootstrap --variant=minbase --cache-dir="$build/debootstrap-cache" bookworm "$root" "$mirror" \
  >"$work/debootstrap.log" 2>&1 || { tail -20 "$work/debootstrap.log"; skip "debootstrap failed (no mirror?)"; }
t2=$SECONDS
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc" || skip "cannot mount /proc in the chroot"
cp "$deb" "$root/tmp/"
chroot "$root" /bin/sh -c "cd /tmp && apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends ./$(basename "$deb")" >"$work/apt.log" 2>&1 \
  || { tail -30 "$work/apt.log"; fail "apt-get install of the package failed"; }
t3=$SECONDS
chroot "$root" useradd -m tester
echo "times: package and lintian $((t1 - t0)) s, debootstrap $((t2 - t1)) s, apt-get install $((t3 - t2)) s"

# As a user, as the menu would: the launcher on the PATH, offscreen. Its
# settings file appears in the user's data folder, and SIGTERM (the end of a
# session) ends it with 0.
cat >"$root/tmp/start.sh" <<'EOS'
#!/bin/sh
export HOME=/home/tester QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/rt-tester LANG=C.UTF-8
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
cd /
command -v zvonarka || exit 10
zvonarka >/tmp/zvonarka.log 2>&1 &
pid=$!
ini=$HOME/.local/share/zvonarka/tester.ini
i=0
while [ ! -s "$ini" ] && [ $i -lt 150 ]; do sleep 0.1; i=$((i + 1)); done
[ -s "$ini" ] || { echo "no settings file $ini"; kill -9 $pid; exit 11; }
sleep 0.5
kill -0 $pid || { echo "the program died"; cat /tmp/zvonarka.log; exit 12; }
kill -TERM $pid
wait $pid
rc=$?
echo "settings file: $ini; exit code after SIGTERM: $rc"
exit $rc
EOS
chmod 755 "$root/tmp/start.sh"
chroot --userspec=tester:tester "$root" /tmp/start.sh || fail "the installed program did not run and end cleanly (code $?)"
echo "installed and ran in a fresh Debian 12 in $((SECONDS - t0)) s"
