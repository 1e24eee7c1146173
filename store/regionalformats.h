#pragma once

#include <QString>

#include <optional>

// The user's regional date and time formats, read once at start-up. Dates and
// times in the settings file follow them, as the user's other programs do.
struct RegionalFormats {
    QString shortDateFormat; // Qt format string, e.g. "dd.MM.yyyy" or "M/d/yy"
    QChar dateSeparator;
    QString longTimeFormat; // Qt format string without a time zone, e.g. "HH:mm:ss"
    QChar timeSeparator;
    QString amDesignator;
    QString pmDesignator;

    // From the system locale (LC_ALL, LC_TIME, LANG).
    static RegionalFormats fromSystem();
    // Fixed settings for tests and for a known environment.
    static RegionalFormats russian(); // dd.MM.yyyy, HH:mm:ss
    static RegionalFormats us();      // M/d/yy, h:mm:ss AP

    // The date part of a day-count value in the short date format.
    QString formatDate(double value) const;
    // A text in the short date format as a whole day count; `today` anchors a
    // missing year and the window of two-digit years. Nothing when it does not parse.
    std::optional<int> parseDate(const QString& text, int today) const;

    // The time-of-day part of a value in the long time format; whole days are dropped.
    QString formatTime(double value) const;
    // Hours, then optional minutes and seconds after the time separator, and an
    // optional AM/PM designator. Hours above 23, minutes or seconds above 59 fail.
    std::optional<double> parseTime(const QString& text) const;
};
