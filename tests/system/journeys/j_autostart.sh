#!/usr/bin/env bash
# Starting with the session: ticking "Загружаться вместе с Windows" puts the
# desktop entry into the autostart folder, unticking takes it away, and each
# start brings the entry in line with the stored choice (a removed entry comes
# back, an unticked choice leaves none).
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}"
start_x
entry="$XDG_CONFIG_HOME/autostart/Звонарька 2.5.desktop"
present() { [ -f "$entry" ]; }
absent() { [ ! -e "$entry" ] && [ -z "$(ls -A "$XDG_CONFIG_HOME/autostart" 2>/dev/null)" ]; }

start_app
wait_main
absent || fail "an entry exists after the first start"

click_main 260 277
wait_until 5 present || fail "ticking the box made no entry"
expect_key Main Autoload 1
grep -qx "Exec=.*$(basename "$program")\"\?" "$entry" || fail "Exec does not name the program: $(grep Exec= "$entry")"
grep -q "^Exec=\"\?$program" "$entry" || fail "Exec is not the program's full path: $(grep Exec= "$entry")"
grep -qx "Path=$work/run" "$entry" || fail "Path is not the folder the program runs in: $(grep Path= "$entry")"
grep -qx 'Type=Application' "$entry" || fail "not an application entry"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$entry" || fail "the entry does not validate"
fi
note "ticked: entry made"

click_main 260 277
wait_until 5 absent || fail "unticking left the entry"
expect_key Main Autoload 0
note "unticked: entry gone"

# Ticked, then the entry lost while the program is away: the next start makes
# it again.
click_main 260 277
wait_until 5 present || fail "ticking again made no entry"
close_app
rm -f "$entry"
start_app
wait_main
wait_until 5 present || fail "a start with the box ticked did not make the entry again"
expect_key Main Autoload 1
note "restart ticked: entry back"

# Unticked, then a stray entry left behind: the next start removes it.
click_main 260 277
wait_until 5 absent || fail "unticking left the entry"
close_app
cp /dev/null "$entry"
start_app
wait_main
wait_until 5 absent || fail "a start with the box clear left the entry"
expect_key Main Autoload 0
close_app
pass "autostart"
