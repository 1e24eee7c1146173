#pragma once

#include <QObject>
#include <QTimer>

class QComboBox;
class Services;

// The hourly chime (Timer2 and the choice in cbSound) and the repeated event
// sounds that the chime and the firing of tasks share.
class HourlyChime final : public QObject {
public:
    HourlyChime(Services& services, QComboBox* cbSound, QObject* parent = nullptr);

    // Arms Timer2 to fire five seconds before the next full hour, or to watch
    // every 100 ms during minute 59.
    void ArmHourlyChime();
    // Timer2's tick: watches for the hour to begin, sounds the chime in its
    // first minutes and re-arms.
    void Timer2Timer();
    // The user chose a chime in cbSound.
    void cbSoundChange();
    // Plays event sound 1..3 `count` times, waiting the sound's spacing
    // before each start; blocks the thread for count times the spacing.
    void PlaySoundTimes(int sound, int count);

    // A chime is chosen: the firing leaves a task's own sound out in the
    // chime's minute.
    bool chimeChosen() const;
    // The chime's timer: stopped until a chime is chosen.
    QTimer& Timer2() { return m_timer2; }
    // Stops the chime for good (shut-down).
    void stop() { m_timer2.stop(); }

private:
    Services& m_s;
    QComboBox* const cbSound;
    QTimer m_timer2;
};
