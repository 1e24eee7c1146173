#pragma once

#include <QChar>
#include <QString>

#include <optional>

class QLocale;

// The user's regional date and time formats, read once at start-up. Dates and
// times in the settings file follow them, as the user's other programs do.
//
// Whatever a locale offers, the formats kept here always read back what they
// write: a short date format that is not made of day, month and year numbers
// alone gives way to "dd.MM.yyyy", and a long time format that the time reader
// cannot take back (hour, minute and second numbers between one separator)
// gives way to "HH:mm:ss". Otherwise a value written under the locale would
// later read as its default, which loses the user's data.
struct RegionalFormats {
    QString shortDateFormat; // Qt format string, e.g. "dd.MM.yyyy" or "M/d/yy"
    QChar dateSeparator;
    QString longTimeFormat; // Qt format string without a time zone, e.g. "HH:mm:ss"
    QChar timeSeparator;
    QString amDesignator;
    QString pmDesignator;

    // From the system locale (LC_ALL, LC_TIME, LANG).
    static RegionalFormats fromSystem();
    // From any locale; the time zone is dropped from its long time format.
    static RegionalFormats fromLocale(const QLocale& locale);
    // Fixed settings for tests and for a known environment.
    static RegionalFormats russian(); // dd.MM.yyyy, HH:mm:ss
    static RegionalFormats us();      // M/d/yy, h:mm:ss AP

    // The date part of a day-count value in the short date format.
    QString formatDate(double value) const;
    // A text in the short date format as a whole day count; `today` anchors a
    // missing year and the window of two-digit years. Nothing when it does not parse.
    //
    // The text is two or three numbers between date separators, in the order of
    // day, month and year in the short date format; blanks around the numbers are
    // ignored. Two numbers are day and month (month and day for a month-first or
    // year-first format) of the year of `today`. A year of one or two digits is
    // the year with those last two digits that lies from 50 years before to 49
    // years after the year of `today` (in 2026: 76 is 1976, 75 is 2075); a year of
    // three or four digits is taken as it stands and must lie in 1..9999.
    std::optional<int> parseDate(const QString& text, int today) const;

    // The time-of-day part of a value in the long time format; whole days are dropped.
    QString formatTime(double value) const;
    // Hours, then optional minutes and seconds after the time separator, and an
    // optional AM/PM designator. Hours above 23, minutes or seconds above 59 fail.
    //
    // The designator (this locale's, or the English "AM"/"PM") may stand before
    // or after the numbers and is matched regardless of letter case. With it,
    // hours above 12 fail, 12 AM is midnight and PM adds 12 to hours below 12.
    // Each number has one or two digits; blanks around the text are ignored.
    std::optional<double> parseTime(const QString& text) const;

    bool operator==(const RegionalFormats&) const = default;
};

// The masked time field's text of a value's time of day: always the 24-hour
// "HH:mm:ss" its mask allows, whatever the locale.
QString maskedTimeText(double value);
