#include "chime/hourlychime.h"

#include "platform/platform.h"
#include "scheduler/chime.h"
#include "store/clock.h"
#include "store/keys.h"
#include "store/settingsfile.h"
#include "uicommon/handlerguard.h"
#include "uicommon/services.h"

#include <QComboBox>

HourlyChime::HourlyChime(Services& services, const Controls& controls, QObject* parent)
    : QObject(parent), m_s(services), m_ui(controls) {
    m_chimeTimer.setInterval(3590000);
    // A drop-down's handler runs for the user's choices only, not for start-up's.
    connect(m_ui.chimeChoice, &QComboBox::activated, this,
            m_s.guard().slot(this, &HourlyChime::cbSoundChange));
    connect(&m_chimeTimer, &QTimer::timeout, this,
            m_s.guard().slot(this, &HourlyChime::Timer2Timer));
}

bool HourlyChime::chimeChosen() const {
    // A stored choice beyond the list leaves no selection (-1) and no chime
    // timer: it must not take the tasks' sounds at the hour either.
    return chime::chimes(m_ui.chimeChoice->currentIndex());
}

void HourlyChime::ArmHourlyChime() {
    const int interval = chime::armIntervalMs(m_s.clock().now().time());
    // Setting an interval restarts a running timer even when it is the same
    // one, and so does start(): an unchanged interval must leave the running
    // period alone, or a re-arm during minute 59 would keep postponing the tick.
    if (m_chimeTimer.interval() != interval)
        m_chimeTimer.setInterval(interval);
    if (!m_chimeTimer.isActive())
        m_chimeTimer.start();
}

void HourlyChime::Timer2Timer() {
    if (m_chimeTimer.interval() > chime::WatchIntervalMs)
        m_chimeTimer.setInterval(chime::WatchIntervalMs);
    const QTime now = m_s.clock().now().time();
    // Before the hour (from hh:59:55) or after its first minutes: keep watching.
    if (!chime::inChimeWindow(now))
        return;
    const chime::Strike strike = chime::strikeFor(m_ui.chimeChoice->currentIndex(), now.hour());
    if (strike.repeated && strike.times > 0) {
        // The strike takes up to half a minute; the timer waits for its end.
        m_chimeTimer.stop();
        m_striking = true;
        PlaySoundTimes(strike.sound, strike.times, [this] {
            m_striking = false;
            if (chimeChosen())
                ArmHourlyChime();
        });
        return;
    }
    if (strike.times > 0) {
        if (const auto sound = chime::eventSound(strike.sound))
            m_s.platform().playSound(sound->name);
    }
    // Now in minute 0..2 (later still after a long chime, never past the
    // hour's end): the long interval to the next hh:59:55.
    ArmHourlyChime();
}

void HourlyChime::cbSoundChange() {
    const int choice = m_ui.chimeChoice->currentIndex();
    m_s.settings().WriteInteger(keys::MainSection, keys::Sound, choice);
    // A strike still playing re-arms the timer as it ends.
    if (choice == 0)
        m_chimeTimer.stop();
    else if (!m_striking)
        ArmHourlyChime();
}

void HourlyChime::PlaySoundTimes(int sound, int count, std::function<void()> done) {
    m_sequences.append({sound, qMax(0, count), std::move(done)});
    if (!m_waiting && !m_playingOn)
        playOn();
}

void HourlyChime::playOn() {
    m_playingOn = true;
    while (!m_waiting && !m_sequences.isEmpty()) {
        Sequence& next = m_sequences.first();
        const auto s = chime::eventSound(next.sound);
        if (s && next.left > 0) {
            // The wait comes first: the first sound starts one spacing after
            // the call, and the last one still plays when `done` runs.
            m_waiting = true;
            const QStringView name = s->name;
            m_s.platform().waitThen(s->spacingMs, this, [this, name] {
                m_waiting = false;
                // stop() may have emptied the list meanwhile.
                if (m_sequences.isEmpty())
                    return;
                m_s.platform().playSound(name);
                --m_sequences.first().left;
                if (!m_playingOn)
                    playOn();
            });
            continue;
        }
        const std::function<void()> done = std::move(next.done);
        m_sequences.removeFirst();
        if (done)
            m_s.guard().run(done, HandlerGuard::Box::AfterHandler);
    }
    m_playingOn = false;
}
