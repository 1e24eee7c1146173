#pragma once

#include <QObject>
#include <QString>

class QCheckBox;
class QWidget;
class Services;

// The entry in the session's autostart folder that starts the program with
// the session, kept in line with the box cbAutoLoad.
class StartupEntry final : public QObject {
public:
    StartupEntry(Services& services, QWidget* window, QCheckBox* cbAutoLoad,
                 QObject* parent = nullptr);

    void cbAutoLoadClick();
    void CreateStartupShortcut(const QString& target, const QString& shortcutPath,
                               const QString& arguments);
    static QString startupShortcutFileName();

private:
    Services& m_s;
    QWidget* const m_window;
    QCheckBox* const cbAutoLoad;
};
