#pragma once

#include <QStringView>
#include <QTime>

#include <optional>

// The arithmetic of the hourly chime and of the event sounds, kept apart from
// the window so it can be checked without a display or a running timer.
namespace chime {

// One of the three event sounds: the wave's name in the sound module and the
// wait before each start when it is repeated.
struct EventSound {
    QStringView name;
    int spacingMs;
};

// Event sound 1 "co" (1500 ms), 2 "ro" (2500 ms), 3 "ch" (3000 ms); any other
// number is no sound at all.
std::optional<EventSound> eventSound(int sound);

// The chime timer's pace once it watches for the hour to begin.
inline constexpr int WatchIntervalMs = 100;
// The last minute that still counts as the start of an hour: a tick that
// comes later lets the hour pass without a chime.
inline constexpr int LastChimeMinute = 2;

// The chime timer's interval when armed at `now`: the time to five seconds
// before the next full hour, or the watching pace during minute 59, where
// that time would be too short or already past. Milliseconds are ignored.
int armIntervalMs(QTime now);

// True when a tick at `now` falls in the minutes that sound the chime.
bool inChimeWindow(QTime now);

// The hour on a twelve-hour dial as the chime counts it: 13..23 give 1..11,
// 12 stays 12 and midnight stays 0.
int foldHour(int hour);

// What the chime choice (the index of the drop-down list) sounds at the full
// hour `hour` (0..23).
struct Strike {
    // Event sound number 1..3, or 0 for silence.
    int sound = 0;
    // How many times; a repeated strike waits the sound's spacing before
    // each start, a single one starts at once.
    int times = 0;
    bool repeated = false;
};
// A choice that sounds at the hours: items 1..6. Anything else, a stored
// number beyond the list included, is "молчать".
inline bool chimes(int choice) {
    return choice >= 1 && choice <= 6;
}
// Items 1..3 strike once at every hour, midnight included; items 4..6 strike
// the folded hour's number of times (none at midnight); anything else is
// silent.
Strike strikeFor(int choice, int hour);

} // namespace chime
