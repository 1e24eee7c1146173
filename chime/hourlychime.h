#pragma once

#include "chime/tasksounds.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class QComboBox;
class Services;

// The hourly chime (its timer and the chime chosen in a box) and the repeated
// event sounds that the chime and the firing of tasks share.
class HourlyChime final : public QObject, public TaskSounds {
public:
    // The controls the chime handles, on the main window.
    struct Controls {
        QComboBox* chimeChoice = nullptr; // none, or the chime's sound
    };

    HourlyChime(Services& services, const Controls& controls, QObject* parent = nullptr);

    // Arms the chime's timer to fire five seconds before the next full hour, or to watch
    // every 100 ms during minute 59.
    void ArmHourlyChime();
    // The chime timer's tick: watches for the hour to begin, sounds the chime in its
    // first minutes and re-arms.
    void Timer2Timer();
    // The user chose a chime.
    void cbSoundChange();
    void PlaySoundTimes(int sound, int count, std::function<void()> done = {}) override;
    // A sequence is playing or waiting to.
    bool isPlaying() const { return !m_sequences.isEmpty(); }

    bool chimeChosen() const override;
    // The chime's timer: stopped until a chime is chosen.
    QTimer& chimeTimer() { return m_chimeTimer; }
    // Stops the chime for good (shut-down).
    void stop() {
        m_chimeTimer.stop();
        m_sequences.clear();
    }

private:
    // Plays on from where the sequences stand, until a wait is due or none
    // is left.
    void playOn();

    Services& m_s;
    const Controls m_ui;
    QTimer m_chimeTimer;
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
