#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, painted in code: the alarm clock of the window
// and the tray, and the three pictures of the tray menu.
namespace icons {

QIcon alarmClock();
QPixmap alarmClock(int size);

enum class MenuPicture { Hide = 0, Show = 1, Close = 2 };
QPixmap menuPicture(MenuPicture which, int size = 16);

} // namespace icons
