// The main window's hourly chime (Timer2 and cbSound) and the repeated event
// sounds that the chime and the firing of tasks share.
#include "tfmtocsiner.h"
#include "ui_tfmtocsiner.h"

#include "chime.h"
#include "clock.h"
#include "keys.h"
#include "platform.h"
#include "settingsfile.h"

void TfmTocsiner::ArmHourlyChime() {
    const int interval = chime::armIntervalMs(m_clock.now().time());
    // Setting an interval restarts a running timer even when it is the same
    // one, and so does start(): an unchanged interval must leave the running
    // period alone, or a re-arm during minute 59 would keep postponing the tick.
    if (Timer2.interval() != interval)
        Timer2.setInterval(interval);
    if (!Timer2.isActive())
        Timer2.start();
}

void TfmTocsiner::Timer2Timer() {
    if (Timer2.interval() > chime::WatchIntervalMs)
        Timer2.setInterval(chime::WatchIntervalMs);
    const QTime now = m_clock.now().time();
    // Before the hour (from hh:59:55) or after its first minutes: keep watching.
    if (!chime::inChimeWindow(now))
        return;
    const chime::Strike strike = chime::strikeFor(ui->cbSound->currentIndex(), now.hour());
    if (strike.repeated) {
        PlaySoundTimes(strike.sound, strike.times);
    } else if (strike.times > 0) {
        if (const auto sound = chime::eventSound(strike.sound))
            m_platform.playSound(sound->name);
    }
    // Now in minute 0..2 (later still after a long chime, never past the
    // hour's end): the long interval to the next hh:59:55.
    ArmHourlyChime();
}

void TfmTocsiner::cbSoundChange() {
    const int choice = ui->cbSound->currentIndex();
    m_settings->WriteInteger(keys::MainSection, keys::Sound, choice);
    if (choice == 0)
        Timer2.stop();
    else
        ArmHourlyChime();
}

void TfmTocsiner::PlaySoundTimes(int sound, int count) {
    const auto s = chime::eventSound(sound);
    if (!s)
        return;
    // The wait comes first: the first sound starts one spacing after the call,
    // and the last one still plays when this returns.
    for (int i = 0; i < count; ++i) {
        m_platform.sleepMs(s->spacingMs);
        m_platform.playSound(s->name);
    }
}
