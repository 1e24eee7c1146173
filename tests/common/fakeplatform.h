#pragma once

#include "platform/platform.h"

#include <QIcon>
#include <QList>
#include <QStringList>

#include <functional>

class ManualClock;

// A tray icon that tests click on.
class FakeTrayIcon final : public TrayIcon {
    Q_OBJECT
public:
    FakeTrayIcon(QIcon icon, QString tip, QStringList* log)
        : m_icon(std::move(icon)), m_tip(std::move(tip)), m_log(log) {}

    void add() override;
    void remove() override;
    bool isAdded() const override { return m_added; }

    const QIcon& icon() const { return m_icon; }
    const QString& tip() const { return m_tip; }
    int addCount() const { return m_adds; }
    int removeCount() const { return m_removes; }

    void doubleClick() { Q_EMIT doubleClicked(); }
    void releaseRightButton(QPoint at) { Q_EMIT rightButtonReleased(at); }

private:
    QIcon m_icon;
    QString m_tip;
    QStringList* m_log;
    bool m_added = false;
    int m_adds = 0;
    int m_removes = 0;
};

// The platform of the window tests: boxes answer from a script and are
// recorded, the instance lock lives in this process, no icon reaches a desktop.
class FakePlatform final : public Platform {
public:
    struct Box {
        enum Kind { Information, Question, Error } kind;
        QString text;
    };

    FakePlatform();
    ~FakePlatform() override;

    QString userName() const override { return user; }
    QString programPath() const override { return program; }
    std::unique_ptr<InstanceLock> claimInstance() override;
    bool isSystemTrayAvailable() const override { return trayAvailable; }
    std::unique_ptr<TrayIcon> createTrayIcon(const QIcon& icon, const QString& tip) override;
    QString autostartFolder() const override;
    void information(QWidget* parent, const QString& text) override;
    bool question(QWidget* parent, const QString& text) override;
    void errorBox(QWidget* parent, const QString& text) override;
    bool openWithDefaultHandler(const QString& pathOrUrl) override;

    // The last icon created, while it lives.
    FakeTrayIcon* trayIcon() const { return m_tray; }
    int trayIconsCreated() const { return m_traysCreated; }

    QString user = QStringLiteral("tester");
    QString program = QStringLiteral("/opt/zvonarka/zvonarka");
    // Empty: the rule of the real platform, from XDG_CONFIG_HOME and HOME.
    QString autostart;
    bool trayAvailable = true;
    // The instance lock's name; copies with the same name exclude each other.
    QString instanceName = QStringLiteral("desktop");
    // Answers to questions, first to last; an empty script answers No.
    QList<bool> answers;
    QList<Box> boxes;
    // Runs while each box is open, as the event loop runs under a real one.
    std::function<void()> onBox;
    QStringList opened;
    // "add" and "remove" of every tray icon, in order.
    QStringList trayLog;

    // --- sound: the event sounds and the hourly chime ---
    void playSound(QStringView name) override;
    // At once: the wait is logged and the sleep clock, where set, moved on.
    void waitThen(int ms, QObject* context, std::function<void()> then) override;
    // Every wait and every start, in order: "wait 1500", "play co".
    QStringList soundLog;
    // When set, every wait moves this clock on, as the real clock moves while
    // the thread sleeps.
    ManualClock* sleepClock = nullptr;
    // --- end sound ---

    // --- editor: the file-open dialog and the keyboard layout ---
    QString getOpenFileName(QWidget* parent, const QString& dir) override;
    void activateKeyboardLayout(const QString& layoutId) override;
    // The dialog's answers, first to last; an empty script cancels.
    QStringList openFileAnswers;
    // The folder each dialog opened in.
    QStringList openFileDirs;
    // Every layout switch, in order.
    QStringList keyboardLayouts;
    // --- end editor ---

    // --- firing: a task's program or document, the date and time settings ---
    bool openApp(const QString& path) override;
    void openDateTimeSettings() override;
    // Every path given to openApp, in order.
    QStringList appsOpened;
    // What openApp answers.
    bool openAppSucceeds = true;
    int dateTimeSettingsOpened = 0;
    // --- end firing ---

    // --- about: help and the About window's links ---
    // What openWithDefaultHandler answers; false as when no handler starts.
    bool openSucceeds = true;
    // --- end about ---

    // --- power: restart and switch-off through the power module ---
    void restart() override;
    void powerOff() override;
    // Every power request, in order ("restart", "powerOff"); nothing is
    // switched off.
    QStringList powerCalls;
    // --- end power ---

private:
    FakeTrayIcon* m_tray = nullptr;
    int m_traysCreated = 0;
};
