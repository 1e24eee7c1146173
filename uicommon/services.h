#pragma once

#include "store/regionalformats.h"

#include <QString>

#include <memory>

class Clock;
class HandlerGuard;
class Platform;
class Schedule;
class SettingsFile;

// What every feature of the main window shares: the desktop, the clock, the
// user's formats, the handler guard, and the settings file and schedule
// while they are open (from the start-up step that opens them to the
// shut-down step that closes them). The main window owns it and opens and
// closes the file; the features only use it.
class Services final {
public:
    Services(Platform& platform, const Clock& clock, RegionalFormats formats, QString workDir,
             HandlerGuard& guard);
    ~Services();
    Services(const Services&) = delete;
    Services& operator=(const Services&) = delete;

    Platform& platform() const { return m_platform; }
    const Clock& clock() const { return m_clock; }
    const RegionalFormats& formats() const { return m_formats; }
    // The folder the program was started in, where the settings file lives.
    const QString& workDir() const { return m_workDir; }
    HandlerGuard& guard() const { return m_guard; }

    // Open from when start-up opens the settings file to the end of shut-down.
    bool isOpen() const { return m_settings != nullptr; }
    SettingsFile& settings() const { return *m_settings; }
    Schedule& schedule() const { return *m_schedule; }
    SettingsFile* settingsIfOpen() const { return m_settings.get(); }
    Schedule* scheduleIfOpen() const { return m_schedule.get(); }

    // Opens the settings file at `path` and the schedule over it.
    void open(const QString& path);
    void close();

private:
    Platform& m_platform;
    const Clock& m_clock;
    RegionalFormats m_formats;
    QString m_workDir;
    HandlerGuard& m_guard;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<Schedule> m_schedule;
};
