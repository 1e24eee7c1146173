#pragma once

#include <QStringView>

// Every key of the settings file, declared once. Defaults that do not depend on
// the reader are given beside the key; task keys whose default differs between
// readers say so where they are read.
namespace keys {

inline constexpr QStringView MainSection = u"Main";

// Section "Main"
inline constexpr QStringView Top = u"Top";                 // int, 0
inline constexpr QStringView Left = u"Left";               // int, 0
inline constexpr QStringView Height = u"Height";           // int, 314
inline constexpr QStringView Width = u"Width";             // int, 510
inline constexpr QStringView Sound = u"Sound";             // int 0..6, 0 (also a task key, 0..3)
inline constexpr QStringView AutoRec = u"AutoRec";         // bool, false
inline constexpr QStringView StayOnTop = u"StayOnTop";     // bool, false
inline constexpr QStringView HideOnStart = u"HideOnStart"; // bool, false
inline constexpr QStringView Autoload = u"Autoload";       // bool, false
inline constexpr QStringView SortBy = u"SortBy";           // text "Name" | "Time" | "No", "No"
inline constexpr QStringView WeekLeft = u"WeekLeft";       // int, main window's left + 243
inline constexpr QStringView WeekTop = u"WeekTop";         // int, main window's top + 105
inline constexpr QStringView WeekHold = u"WeekHold";       // bool, false

inline constexpr int DefaultTop = 0;
inline constexpr int DefaultLeft = 0;
inline constexpr int DefaultHeight = 314;
inline constexpr int DefaultWidth = 510;
inline constexpr int DefaultSound = 0;
inline constexpr QStringView SortByName = u"Name";
inline constexpr QStringView SortByTime = u"Time";
inline constexpr QStringView SortByNo = u"No";
inline constexpr int WeekLeftOffset = 243;
inline constexpr int WeekTopOffset = 105;

// Task sections, in the order a save writes them.
inline constexpr QStringView Activing = u"Activing";   // bool
inline constexpr QStringView Date = u"Date";           // date, today
inline constexpr QStringView DayOrWeek = u"DayOrWeek"; // int 0|1, 0
inline constexpr QStringView Day = u"Day";             // decimal text, "1" / 1
inline constexpr QStringView Week = u"Week";           // digits 0..6 ascending
inline constexpr QStringView TimeGap = u"TimeGap";     // time of day, 0
inline constexpr QStringView Time = u"Time";           // time of day
inline constexpr QStringView Message = u"Message";     // text, ""
inline constexpr QStringView Action = u"Action";       // int 0..3, 0
inline constexpr QStringView App = u"App";             // text, ""
// Sound (int 0..3, 0) shares its name with the chime key above.
inline constexpr QStringView Ones = u"Ones"; // int 1..9

// The editor's marker of a new, unsaved task: no real task has this section.
inline constexpr QStringView NewTaskMarker = u"\u00A4";

} // namespace keys
