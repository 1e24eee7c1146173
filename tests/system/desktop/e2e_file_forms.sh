#!/usr/bin/env bash
# A settings file as old programs and hand edits leave it: old Mac line ends
# (CR only) and numbers, dates and times in double quotes. The real program
# reads its task (the date moves on by the quoted "Day", counted from the
# quoted date), keeps the message's quotes, and writes the file back with CR
# line ends only, the shut-down's keys inside [Main].
. "$(dirname "$0")/../../common/lib.sh"
e2e_init "${1:?program}" od
start_bare_x
avoid_midnight 30

printf '[Main]\rTop=0\rLeft=0\rAutoRec=0\r[Quoted]\rActiving="1"\rDate="01.01.2020"\rDayOrWeek="0"\rDay="3"\rTime="00:00:01"\rMessage="Hi"\r' >"$ini"
start_app
wait_until 15 main_viewable || fail "no main window"
sleep 0.5
kill -TERM "$app"
wait_until 10 sh -c "! kill -0 $app 2>/dev/null" || fail "the program did not end"
wait "$app" || fail "exit code $?"

[ "$(od -An -c "$ini" | grep -c '\\n')" -eq 0 ] || fail "line feeds were written into a CR file: $(od -c "$ini" | head)"
plain="$work/plain.ini"
tr '\r' '\n' <"$ini" >"$plain"
ini="$plain"
expect_key Quoted Date "$(date -d '+3 days' +%d.%m.%Y)"
expect_key Quoted Message '"Hi"'
ini_get Main WeekLeft >/dev/null || fail "the shut-down's keys are not in [Main]"
[ "$(grep -c '^\[Main\]' "$plain")" -eq 1 ] || fail "a second [Main] was appended"
pass "CR line ends read and kept; quoted day, date and time read inside the quotes"
