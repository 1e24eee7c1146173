#include "tests/common/fakeplatform.h"

#include "platform/autostart.h"
#include "tests/common/manualclock.h"

#include <QDir>
#include <QSet>

namespace {

QSet<QString>& heldInstances() {
    static QSet<QString> held;
    return held;
}

class FakeInstanceLock final : public InstanceLock {
public:
    explicit FakeInstanceLock(QString name) : m_name(std::move(name)) {
        heldInstances().insert(m_name);
    }
    ~FakeInstanceLock() override { heldInstances().remove(m_name); }

private:
    QString m_name;
};

} // namespace

void FakeTrayIcon::add() {
    m_log->append(QStringLiteral("add"));
    ++m_adds;
    m_added = true;
}

void FakeTrayIcon::remove() {
    m_log->append(QStringLiteral("remove"));
    ++m_removes;
    m_added = false;
}

FakePlatform::FakePlatform() = default;
FakePlatform::~FakePlatform() = default;

std::unique_ptr<InstanceLock> FakePlatform::claimInstance() {
    if (heldInstances().contains(instanceName))
        return nullptr;
    return std::make_unique<FakeInstanceLock>(instanceName);
}

std::unique_ptr<TrayIcon> FakePlatform::createTrayIcon(const QIcon& icon, const QString& tip) {
    auto tray = std::make_unique<FakeTrayIcon>(icon, tip, &trayLog);
    m_tray = tray.get();
    QObject::connect(tray.get(), &QObject::destroyed, [this, raw = tray.get()] {
        if (m_tray == raw)
            m_tray = nullptr;
    });
    ++m_traysCreated;
    return tray;
}

QString FakePlatform::autostartFolder() const {
    if (!autostart.isEmpty())
        return autostart;
    return autostart::folderFrom(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
}

void FakePlatform::information(QWidget*, const QString& text) {
    boxes.append({Box::Information, text});
    if (onBox)
        onBox();
}

bool FakePlatform::question(QWidget*, const QString& text) {
    boxes.append({Box::Question, text});
    if (onBox)
        onBox();
    return answers.isEmpty() ? false : answers.takeFirst();
}

void FakePlatform::errorBox(QWidget*, const QString& text) {
    boxes.append({Box::Error, text});
    if (onBox)
        onBox();
}

bool FakePlatform::openWithDefaultHandler(const QString& pathOrUrl) {
    opened.append(pathOrUrl);
    return openSucceeds;
}

// --- sound: the event sounds and the hourly chime ---
void FakePlatform::playSound(QStringView name) {
    soundLog.append(QStringLiteral("play ") + name.toString());
}

void FakePlatform::waitThen(int ms, QObject*, std::function<void()> then) {
    soundLog.append(QStringLiteral("wait ") + QString::number(ms));
    if (sleepClock != nullptr)
        sleepClock->advanceMs(ms);
    then();
}
// --- end sound ---

// --- editor: the file-open dialog and the keyboard layout ---
QString FakePlatform::getOpenFileName(QWidget*, const QString& dir) {
    openFileDirs.append(dir);
    return openFileAnswers.isEmpty() ? QString() : openFileAnswers.takeFirst();
}

void FakePlatform::activateKeyboardLayout(const QString& layoutId) {
    keyboardLayouts.append(layoutId);
}
// --- end editor ---

// --- firing: a task's program or document, the date and time settings ---
bool FakePlatform::openApp(const QString& path) {
    appsOpened.append(path);
    return openAppSucceeds;
}

void FakePlatform::openDateTimeSettings() {
    ++dateTimeSettingsOpened;
}
// --- end firing ---

// --- power: restart and switch-off through the power module ---
void FakePlatform::restart() {
    powerCalls.append(QStringLiteral("restart"));
}

void FakePlatform::powerOff() {
    powerCalls.append(QStringLiteral("powerOff"));
}
// --- end power ---
