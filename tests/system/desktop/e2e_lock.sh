#!/usr/bin/env bash
# One copy per desktop, and nobody else can stop it. The real program runs as
# a throwaway local user (a numeric uid of its own, no account touched);
# another such uid plays the other local user. Everything lives in the
# test's private folders: the shared temporary folder is one of its own
# (TMPDIR), so no real user's file is ever touched.
# - No XDG_RUNTIME_DIR (startx, su, ssh -X): the other user has put a file
#   under the lock's old name and a folder under the private folder's name
#   in the shared temporary folder. The program still starts, says once that
#   it has no lock file, and still refuses a second copy.
# - An unwritable XDG_RUNTIME_DIR: the same, said once, second copy refused.
# - DISPLAY=:N and DISPLAY=:N.0 are one desktop: the second copy is refused.
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" setpriv
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root to run as other users"; exit 77; }
start_bare_x

# Two uids no account uses.
user=$((60000 + $$ % 2000))
other=$((user + 2000))
as_user() { setpriv --reuid="$user" --regid="$user" --clear-groups "$@"; }
as_other() { setpriv --reuid="$other" --regid="$other" --clear-groups "$@"; }
chmod 755 "$work"
mkdir -p "$work/tmp"
chmod 1777 "$work/tmp"
chown -R "$user:$user" "$work/run" "$work/config" "$work/home" "$work/runtime"
export TMPDIR="$work/tmp" USER=zvlock
ini="$work/run/zvlock.ini"

copies() { xdotool search --name ' by Korvel$' 2>/dev/null | grep -c .; }
first_copy() { # <label>
  : >"$work/out.log"
  printf '[Main]\nTop=0\nLeft=0\nAutoRec=0\n' >"$ini"
  chown "$user" "$ini"
  start_app setpriv --reuid="$user" --regid="$user" --clear-groups
  wait_until 15 main_viewable || fail "$1: the program did not start ($(cat "$work/out.log"))"
}
second_copy_refused() { # <label> [DISPLAY of the second copy]
  local rc t0 ms
  t0=$(date +%s%N)
  (cd "$work/run" && DISPLAY="${2:-$DISPLAY}" exec timeout 20 setpriv --reuid="$user" \
    --regid="$user" --clear-groups "$program") >>"$work/second.log" 2>&1
  rc=$?
  ms=$((($(date +%s%N) - t0) / 1000000))
  [ "$rc" -eq 0 ] || fail "$1: the second copy ran on (exit $rc after $ms ms)"
  [ "$(copies)" -eq 1 ] || fail "$1: $(copies) main windows"
  kill -0 "$app" 2>/dev/null || fail "$1: the first copy died"
}
end_first() {
  kill -TERM "$app"
  wait_until 10 sh -c "! kill -0 $app 2>/dev/null" || fail "the first copy did not end"
  wait "$app"
}
said_once() { # <label>
  [ "$(grep -c 'No lock file' "$work/out.log")" -eq 1 ] ||
    fail "$1: not said once that there is no lock file: $(cat "$work/out.log")"
}

# --- the shared temporary folder, taken first by another user.
unset XDG_RUNTIME_DIR
n=${DISPLAY#:}
as_other sh -c "echo 99999 >'$TMPDIR/zvonarka-$user-_$n.lock' &&
  ln -s /nonexistent '$TMPDIR/zvonarka-$user-_$n.0.lock' && mkdir -m 777 '$TMPDIR/zvonarka-$user'" ||
  fail "the other user could not prepare the temporary folder"
first_copy "another user's files in the temporary folder"
said_once "another user's files"
second_copy_refused "another user's files in the temporary folder"
end_first
note "another user's files in the temporary folder: started, said so once, second copy refused"

# --- a runtime folder the program cannot write.
rm -rf "${TMPDIR:?}"/zvonarka-*
export XDG_RUNTIME_DIR="$work/runtime"
chmod 500 "$XDG_RUNTIME_DIR"
first_copy "unwritable runtime folder"
said_once "unwritable runtime folder"
second_copy_refused "unwritable runtime folder"
end_first
note "unwritable runtime folder: started, said so once, second copy refused"

# --- one display under two names.
chmod 700 "$XDG_RUNTIME_DIR"
first_copy "DISPLAY :N"
grep -q 'No lock file' "$work/out.log" && fail "a usable runtime folder was reported as none"
second_copy_refused "DISPLAY :N.0 beside :N" "$DISPLAY.0"
end_first
note "DISPLAY :N and :N.0: one desktop"
pass "one copy per desktop, and nobody else can stop it"
