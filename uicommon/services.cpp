#include "uicommon/services.h"

#include "scheduler/schedule.h"
#include "store/settingsfile.h"

Services::Services(Platform& platform, const Clock& clock, RegionalFormats formats, QString workDir,
                   HandlerGuard& guard)
    : m_platform(platform), m_clock(clock), m_formats(std::move(formats)),
      m_workDir(std::move(workDir)), m_guard(guard) {}

Services::~Services() = default;

void Services::open(const QString& path) {
    m_settings = std::make_unique<SettingsFile>(path, m_formats, m_clock);
    // The schedule owns the section list and the schedule table.
    m_schedule = std::make_unique<Schedule>(*m_settings, m_clock);
}

void Services::close() {
    m_schedule.reset();
    m_settings.reset();
}
