// A stand-in for systemd-logind on a private bus: owns org.freedesktop.login1,
// answers Manager.Reboot and Manager.PowerOff without doing anything, and
// appends each call with its "interactive" flag to the file named on the
// command line. Prints "ready" once the name is owned.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QObject>

#include <cstdio>

class FakeManager final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    explicit FakeManager(QString recordPath) : m_recordPath(std::move(recordPath)) {}

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
    }

    QString m_recordPath;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: fake_logind <record file>\n", stderr);
        return 2;
    }
    // The system bus as the environment names it (DBUS_SYSTEM_BUS_ADDRESS).
    QDBusConnection bus = QDBusConnection::systemBus();
    FakeManager manager(QString::fromLocal8Bit(argv[1]));
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
