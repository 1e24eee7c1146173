#pragma once

#include <QString>

// The power module, seen from the program. The module file is opened from the
// program's folder at each call and closed afterwards. A missing module or a
// module without NT_Reboot does nothing, and nothing is reported.
class PowerModule final {
public:
    explicit PowerModule(QString programDir);

    // The outcome is not reported: a refused request simply has no effect.
    void restart();
    void powerOff();
    // The module's own function: 2 restarts the computer, 1 switches it off;
    // other codes do nothing.
    void NT_Reboot(int code);

    // The module's file name in the program's folder.
    static QString fileName();

private:
    QString m_dir;
};
