// The power module against a private system bus (a dbus-daemon of the test's
// own, named by DBUS_SYSTEM_BUS_ADDRESS) with a fake logind that records the
// calls it gets. The machine's own system bus is never reached.

#include "modules/client/powermodule.h"
#include "tests/system/realparts/childprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <cstdio>

namespace {

QStringList linesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestPowerReal final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void restartCallsReboot();
    void switchOffCallsPowerOff();
    void otherCodesCallNothing();
    void missingModuleCallsNothing();
    void moduleWithoutExportCallsNothing();
    void refusedRequest();
    void unansweredRequest();
    void noLogindOnTheBus();
    void noBusAtAll();

private:
    void startLogind(const QStringList& options = {});

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_logind;
    QByteArray m_address;
    QString m_record;
    QString m_binDir = QStringLiteral(ZV_BIN_DIR);
};

void TestPowerReal::initTestCase() {
    QVERIFY(m_dir.isValid());
    const QString socket = m_dir.path() + QStringLiteral("/system_bus_socket");
    m_record = m_dir.path() + QStringLiteral("/calls.txt");

    // A bus that anyone may own names on and send anything over: the test
    // checks the module's calls, not a security policy.
    QFile config(m_dir.path() + QStringLiteral("/bus.conf"));
    QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Text));
    config.write(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=)" +
                 QFile::encodeName(socket) +
                 R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)");
    config.close();

    m_bus.setProcessChannelMode(QProcess::SeparateChannels);
    dieWithTest(m_bus);
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                 QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    QVERIFY(m_bus.waitForStarted(5000));
    QElapsedTimer wait;
    wait.start();
    while (!m_bus.canReadLine() && wait.elapsed() < 10000 && m_bus.state() == QProcess::Running)
        m_bus.waitForReadyRead(100);
    m_address = m_bus.readLine().trimmed();
    QVERIFY2(m_address.startsWith("unix:"), m_bus.readAllStandardError().constData());

    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address);
    startLogind();
}

void TestPowerReal::startLogind(const QStringList& options) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QString::fromLatin1(m_address));
    m_logind.setProcessEnvironment(env);
    dieWithTest(m_logind);
    m_logind.start(QStringLiteral(ZV_FAKE_LOGIND), options + QStringList{m_record});
    QVERIFY(m_logind.waitForStarted(5000));
    QElapsedTimer wait;
    wait.start();
    while (!m_logind.canReadLine() && wait.elapsed() < 10000 &&
           m_logind.state() == QProcess::Running)
        m_logind.waitForReadyRead(100);
    QVERIFY2(m_logind.readLine().trimmed() == "ready", m_logind.readAllStandardError().constData());
}

void TestPowerReal::init() {
    QFile::remove(m_record);
    // Each test's calls go to the private bus and nowhere else.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address);
}

void TestPowerReal::cleanupTestCase() {
    endProcess(m_logind);
    endProcess(m_bus);
}

void TestPowerReal::restartCallsReboot() {
    PowerModule power(m_binDir);
    power.restart();
    // Non-interactive: no password prompt may appear for an alarm clock.
    QCOMPARE(linesOf(m_record), QStringList{QStringLiteral("Reboot false")});
}

void TestPowerReal::switchOffCallsPowerOff() {
    PowerModule power(m_binDir);
    power.powerOff();
    QCOMPARE(linesOf(m_record), QStringList{QStringLiteral("PowerOff false")});
    power.NT_Reboot(2);
    power.NT_Reboot(1);
    QCOMPARE(linesOf(m_record),
             (QStringList{QStringLiteral("PowerOff false"), QStringLiteral("Reboot false"),
                          QStringLiteral("PowerOff false")}));
}

void TestPowerReal::otherCodesCallNothing() {
    PowerModule power(m_binDir);
    for (int code : {0, 3, -1, -2, 4, 255, 256 + 2, INT_MIN, INT_MAX})
        power.NT_Reboot(code);
    QVERIFY(linesOf(m_record).isEmpty());
    // The fake is alive and recording: the silence above is the module's.
    power.NT_Reboot(2);
    QCOMPARE(linesOf(m_record).size(), 1);
}

void TestPowerReal::missingModuleCallsNothing() {
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    PowerModule power(empty.path());
    power.NT_Reboot(2);
    power.NT_Reboot(1);
    QVERIFY(linesOf(m_record).isEmpty());
}

void TestPowerReal::moduleWithoutExportCallsNothing() {
    PowerModule power(QStringLiteral(ZV_NOEXPORT_DIR));
    power.NT_Reboot(2);
    power.NT_Reboot(1);
    QVERIFY(linesOf(m_record).isEmpty());
}

void TestPowerReal::refusedRequest() {
    endProcess(m_logind);
    startLogind({QStringLiteral("--refuse")});
    PowerModule power(m_binDir);
    QElapsedTimer timer;
    timer.start();
    power.NT_Reboot(2);
    power.NT_Reboot(1);
    QVERIFY(timer.elapsed() < 2000);
    // Asked, refused, and the caller carries on.
    QCOMPARE(linesOf(m_record),
             (QStringList{QStringLiteral("Reboot false"), QStringLiteral("PowerOff false")}));
}

void TestPowerReal::unansweredRequest() {
    endProcess(m_logind);
    startLogind({QStringLiteral("--mute")});
    PowerModule power(m_binDir);
    QElapsedTimer timer;
    timer.start();
    power.NT_Reboot(2);
    // The caller is the user interface thread: a bus that never answers holds
    // it a few seconds at most.
    QVERIFY2(timer.elapsed() < 7000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(linesOf(m_record), QStringList{QStringLiteral("Reboot false")});
}

void TestPowerReal::noLogindOnTheBus() {
    endProcess(m_logind);
    PowerModule power(m_binDir);
    QElapsedTimer timer;
    timer.start();
    // The bus answers at once that nobody owns the name: nothing happens and
    // the caller is not held up.
    power.NT_Reboot(2);
    power.NT_Reboot(1);
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(linesOf(m_record).isEmpty());
    QCOMPARE(m_bus.state(), QProcess::Running);
}

void TestPowerReal::noBusAtAll() {
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QFile::encodeName(m_dir.path()) + "/no-bus");
    PowerModule power(m_binDir);
    QElapsedTimer timer;
    timer.start();
    power.NT_Reboot(2);
    power.NT_Reboot(1);
    QVERIFY(timer.elapsed() < 2000);
}

int main(int argc, char** argv) {
    // Until the private bus is up, the system bus address leads nowhere: no
    // call of this test can reach the machine's own logind.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zv-no-system-bus");
    QCoreApplication app(argc, argv);
    if (!haveProgram("dbus-daemon")) {
        std::fputs("dbus-daemon not installed: skipped\n", stderr);
        return 77;
    }
    TestPowerReal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_power_real.moc"
