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
    struct Controls {
        QWidget* window; // parent of the entry's error box
        QCheckBox* startWithSessionBox;
    };

    StartupEntry(Services& services, const Controls& controls, QObject* parent = nullptr);

    void cbAutoLoadClick();
    void CreateStartupShortcut(const QString& target, const QString& shortcutPath,
                               const QString& arguments);
    static QString startupShortcutFileName();

private:
    Services& m_s;
    const Controls m_ui;
};
