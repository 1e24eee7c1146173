#pragma once

#include <QStringView>

#include <optional>

// The Russian alphabetical order of task names, letter case aside, as the
// desktop's collation for Russian compares them (Cyrillic letters first, ё
// beside е, then Latin ones; a space before digits, digits before letters),
// for names written in those characters alone. Sorting the name box with it
// keeps the collation library and its data out of the process at start-up,
// where they cost about 1.8 MB of memory.
namespace nameorder {

// Negative, zero or positive as a sorts before, with or after b; nothing
// when either holds a character outside the table (the caller then asks the
// collation library itself).
std::optional<int> compareRussian(QStringView a, QStringView b);

} // namespace nameorder
