#include "scheduler/chime.h"

namespace chime {

std::optional<EventSound> eventSound(int sound) {
    switch (sound) {
    case 1:
        return EventSound{u"co", 1500};
    case 2:
        return EventSound{u"ro", 2500};
    case 3:
        return EventSound{u"ch", 3000};
    default:
        return std::nullopt;
    }
}

int armIntervalMs(QTime now) {
    const int minute = now.minute();
    if (60 - minute <= 1)
        return WatchIntervalMs;
    return ((60 - minute) * 60 - now.second() - 5) * 1000;
}

bool inChimeWindow(QTime now) {
    return now.minute() <= LastChimeMinute;
}

int foldHour(int hour) {
    return hour > 12 ? hour - 12 : hour;
}

Strike strikeFor(int choice, int hour) {
    if (choice >= 1 && choice <= 3)
        return Strike{choice, 1, false};
    if (choice >= 4 && choice <= 6) {
        const int h = foldHour(hour);
        return Strike{choice - 3, h, true};
    }
    return Strike{};
}

} // namespace chime
