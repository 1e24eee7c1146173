#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

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
    // before each start, then runs `done`. The event loop runs meanwhile. A
    // sequence asked for while another plays follows it: none is cut short.
    void PlaySoundTimes(int sound, int count, std::function<void()> done = {});
    // A sequence is playing or waiting to.
    bool isPlaying() const { return !m_sequences.isEmpty(); }

    // A chime is chosen: the firing leaves a task's own sound out in the
    // chime's minute.
    bool chimeChosen() const;
    // The chime's timer: stopped until a chime is chosen.
    QTimer& Timer2() { return m_timer2; }
    // Stops the chime for good (shut-down).
    void stop() {
        m_timer2.stop();
        m_sequences.clear();
    }

private:
    // Plays on from where the sequences stand, until a wait is due or none
    // is left.
    void playOn();

    Services& m_s;
    QComboBox* const cbSound;
    QTimer m_timer2;
    struct Sequence {
        int sound = 0;
        int left = 0;
        std::function<void()> done;
    };
    QList<Sequence> m_sequences;
    // A spacing's wait is running, and playOn() is on the stack: a wait
    // that ends at once (or a `done` that asks for more sounds) must not
    // start a second walk through the sequences.
    bool m_waiting = false;
    bool m_playingOn = false;
    // The hour's strike is playing: the watching timer is stopped meanwhile.
    bool m_striking = false;
};
