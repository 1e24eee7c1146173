// A stand-in for systemd-logind on a private bus: owns org.freedesktop.login1,
// answers Manager.Reboot and Manager.PowerOff without doing anything, and
// appends each call with its "interactive" flag to the file named on the
// command line. Prints "ready" once the name is owned.
//
// With "--refuse" every call is answered with an access-denied error, as
// logind does when the system's policy forbids it; with "--mute" no call is
// ever answered.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QFile>
#include <QObject>

#include <cstdio>

enum class Answer { Grant, Refuse, Mute };

class FakeManager final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    FakeManager(QString recordPath, Answer answer)
        : m_recordPath(std::move(recordPath)), m_answer(answer) {}

public Q_SLOTS:
    void Reboot(bool interactive) { record("Reboot", interactive); }
    void PowerOff(bool interactive) { record("PowerOff", interactive); }

private:
    // Written before the reply goes out, so the caller finds it on return.
    void record(const char* method, bool interactive) {
        QFile file(m_recordPath);
        if (!file.open(QIODevice::Append | QIODevice::Text))
            return;
        file.write(QByteArray(method) + (interactive ? " true\n" : " false\n"));
        file.close();
        if (m_answer == Answer::Refuse)
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Access denied"));
        else if (m_answer == Answer::Mute)
            setDelayedReply(true); // and never send it
    }

    QString m_recordPath;
    Answer m_answer;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fputs("usage: fake_logind [--refuse|--mute] <record file>\n", stderr);
        return 2;
    }
    Answer answer = Answer::Grant;
    if (args.size() == 3)
        answer = args[1] == QStringLiteral("--refuse") ? Answer::Refuse : Answer::Mute;
    // The system bus as the environment names it (DBUS_SYSTEM_BUS_ADDRESS).
    QDBusConnection bus = QDBusConnection::systemBus();
    FakeManager manager(args.back(), answer);
    if (!bus.isConnected() ||
        !bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.login1"))) {
        std::fputs("fake_logind: cannot register on the bus\n", stderr);
        return 1;
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return app.exec();
}

#include "fake_logind.moc"
