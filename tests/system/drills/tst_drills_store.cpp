// Refused writes at the settings store: a read-only file, a full disk and a
// file deleted while the program runs. A refused write must say "Unable to
// write to <path>", leave the file byte for byte as it was and leave no
// temporary file behind; the store must work again once the cause is gone.
#include "store/apperror.h"
#include "store/regionalformats.h"
#include "store/settingsfile.h"
#include "tests/common/manualclock.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Everything in the folder but the settings file.
QStringList others(const QString& dir, const QString& keep) {
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(keep);
    return names;
}

// A task section of the size a save writes.
QByteArray task(int i) {
    return QStringLiteral("[Задание %1]\nActiving=1\nDate=08.12.2026\nDayOrWeek=0\nDay=1\n"
                          "Week=\nTime=12:30:00\nMessage=Позвонить маме, задание %1\nAction=0\n"
                          "Sound=1\nOnes=3\n")
        .arg(i)
        .toUtf8();
}

// The error the operation ended with, or "<no error>".
template <class F> QString errorOf(F&& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

class TestDrillsStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readOnlyFileRefusesAndKeepsEverything();
    void fullDiskRefusesAndKeepsEverything();
    void fileDeletedWhileRunning();
    void folderDeletedWhileRunning();
    void staleTempFilesOfKilledWritersAreSwept_data();
    void staleTempFilesOfKilledWritersAreSwept();
};

void TestDrillsStore::readOnlyFileRefusesAndKeepsEverything() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tester.ini"));
    const QByteArray before = "[Main]\nTop=10\nAutoRec=1\n" + task(1) + task(2);
    QVERIFY(writeFile(path, before));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    ManualClock clock;
    SettingsFile s(path, RegionalFormats::russian(), clock);

    const QString expected = QStringLiteral("Unable to write to ") + path;
    QCOMPARE(errorOf([&] { s.WriteString(u"Main", u"Top", QStringLiteral("20")); }), expected);
    QCOMPARE(errorOf([&] { s.WriteBool(u"Задание 1", u"Activing", false); }), expected);
    QCOMPARE(errorOf([&] { s.WriteTime(u"Новое", u"Time", 0.5); }), expected);
    QCOMPARE(errorOf([&] { s.EraseSection(u"Задание 2"); }), expected);
    // A refused delete is ignored.
    s.DeleteKey(u"Задание 1", u"Ones");

    QCOMPARE(readAll(path), before);
    QVERIFY(others(dir.path(), QStringLiteral("tester.ini")).isEmpty());
    // What is read is the file, not the refused changes.
    QCOMPARE(s.ReadInteger(u"Main", u"Top", -1), 10);
    QCOMPARE(s.ReadBool(u"Задание 1", u"Activing", false), true);
    QCOMPARE(s.ReadInteger(u"Задание 1", u"Ones", 0), 3);
    QStringList sections;
    s.ReadSections(sections);
    QCOMPARE(sections, (QStringList{QStringLiteral("Main"), QStringLiteral("Задание 1"),
                                    QStringLiteral("Задание 2")}));

    // Writable again: the next write goes through and keeps the rest.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    s.WriteInteger(u"Main", u"Top", 20);
    QCOMPARE(readAll(path), QByteArray(before).replace("Top=10", "Top=20"));
}

void TestDrillsStore::fullDiskRefusesAndKeepsEverything() {
    if (::geteuid() != 0)
        QSKIP("mounting a tmpfs needs root");
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here: ") +
                         QString::fromLocal8Bit(std::strerror(errno))));
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
    } unmount{mountPoint};

    const QString path = dir.filePath(QStringLiteral("tester.ini"));
    QByteArray before = "[Main]\nTop=10\n";
    for (int i = 0; i < 40; ++i)
        before += task(i);
    QVERIFY(writeFile(path, before));
    // Fill the rest of the disk.
    const QString filler = dir.filePath(QStringLiteral("filler"));
    {
        QFile f(filler);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray block(1024, 'x');
        while (f.write(block) == block.size() && f.flush()) {
        }
    }

    ManualClock clock;
    SettingsFile s(path, RegionalFormats::russian(), clock);
    const QString expected = QStringLiteral("Unable to write to ") + path;
    QCOMPARE(errorOf([&] { s.WriteString(u"Main", u"Top", QStringLiteral("20")); }), expected);
    QCOMPARE(
        errorOf([&] { s.WriteString(u"Задание новое", u"Message", QString(2000, QChar(u'ж'))); }),
        expected);
    QCOMPARE(errorOf([&] { s.EraseSection(u"Задание 3"); }), expected);
    QCOMPARE(readAll(path), before);
    QCOMPARE(others(dir.path(), QStringLiteral("tester.ini")),
             QStringList{QStringLiteral("filler")});
    QCOMPARE(s.ReadInteger(u"Main", u"Top", -1), 10);
    QCOMPARE(s.ReadString(u"Задание 39", u"Message", QString()),
             QStringLiteral("Позвонить маме, задание 39"));

    // Room again: the write goes through.
    QVERIFY(QFile::remove(filler));
    s.WriteInteger(u"Main", u"Top", 20);
    QCOMPARE(readAll(path), QByteArray(before).replace("Top=10", "Top=20"));
    QVERIFY(others(dir.path(), QStringLiteral("tester.ini")).isEmpty());
}

void TestDrillsStore::fileDeletedWhileRunning() {
    // Deleting the file is the user's doing: nothing of it is kept in memory
    // to be written back. Reads give their defaults and the next write
    // creates the file anew, holding what that write wrote.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tester.ini"));
    QVERIFY(writeFile(path, "[Main]\nTop=10\n" + task(1)));
    ManualClock clock;
    SettingsFile s(path, RegionalFormats::russian(), clock);
    QCOMPARE(s.ReadInteger(u"Main", u"Top", -1), 10);
    s.WriteBool(u"Main", u"AutoRec", true);

    QVERIFY(QFile::remove(path));
    QCOMPARE(s.ReadInteger(u"Main", u"Top", -1), -1);
    QCOMPARE(s.ReadBool(u"Main", u"AutoRec", false), false);
    QStringList sections{QStringLiteral("stale")};
    s.ReadSections(sections);
    QVERIFY(sections.isEmpty());
    // Deleting from a file that is not there changes nothing and creates nothing.
    s.DeleteKey(u"Main", u"Top");
    s.EraseSection(u"Задание 1");
    QVERIFY(!QFile::exists(path));

    s.WriteInteger(u"Main", u"Top", 30);
    QCOMPARE(readAll(path), QByteArray("[Main]\nTop=30\n"));
    QCOMPARE(s.ReadInteger(u"Main", u"Top", -1), 30);
}

void TestDrillsStore::folderDeletedWhileRunning() {
    QTemporaryDir parent;
    const QString dir = parent.filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(dir));
    const QString path = dir + QStringLiteral("/tester.ini");
    QVERIFY(writeFile(path, "[Main]\nTop=10\n"));
    ManualClock clock;
    SettingsFile s(path, RegionalFormats::russian(), clock);
    QCOMPARE(s.ReadInteger(u"Main", u"Top", -1), 10);
    QVERIFY(QDir(dir).removeRecursively());

    QCOMPARE(s.ReadInteger(u"Main", u"Top", -1), -1);
    QCOMPARE(errorOf([&] { s.WriteInteger(u"Main", u"Top", 20); }),
             QStringLiteral("Unable to write to ") + path);
    QVERIFY(!QDir(dir).exists());
    // The folder back: writing works again.
    QVERIFY(QDir().mkpath(dir));
    s.WriteInteger(u"Main", u"Top", 20);
    QCOMPARE(readAll(path), QByteArray("[Main]\nTop=20\n"));
}

void TestDrillsStore::staleTempFilesOfKilledWritersAreSwept_data() {
    QTest::addColumn<int>("written");
    QTest::newRow("a changed value") << 20;
    // Nothing to write, and still the first write cleans up.
    QTest::newRow("the value the key holds") << 10;
}

void TestDrillsStore::staleTempFilesOfKilledWritersAreSwept() {
    QFETCH(int, written);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tester.ini"));
    QVERIFY(writeFile(path, "[Main]\nTop=10\n"));

    // A pid that is surely gone: a child that has been reaped.
    QProcess gone;
    gone.start(QStandardPaths::findExecutable(QStringLiteral("true")), {});
    QVERIFY(gone.waitForStarted());
    const QByteArray deadPid = QByteArray::number(gone.processId());
    QVERIFY(gone.waitForFinished());
    QProcess alive;
    alive.start(QStandardPaths::findExecutable(QStringLiteral("sleep")), {QStringLiteral("30")});
    QVERIFY(alive.waitForStarted());
    const QByteArray livePid = QByteArray::number(alive.processId());

    const auto temp = [](const char* file, const QByteArray& pid, int n) {
        return QStringLiteral(".%1.%2.%3.tmp")
            .arg(QString::fromUtf8(file), QString::fromLatin1(pid))
            .arg(n);
    };
    const QStringList stale{temp("tester.ini", deadPid, 1),
                            temp("tester.ini", QByteArray::number(::getpid()), 7)};
    const QStringList kept{// A live writer's file, another program's file, another file's temp.
                           temp("tester.ini", livePid, 3), QStringLiteral(".tester.ini.backup"),
                           QStringLiteral(".tester.ini.12.tmp"), temp("other.ini", deadPid, 1),
                           QStringLiteral("notes.txt")};
    for (const QString& name : stale + kept)
        QVERIFY(writeFile(dir.filePath(name), "half a file"));

    ManualClock clock;
    SettingsFile s(path, RegionalFormats::russian(), clock);
    // Reading leaves them all.
    QCOMPARE(s.ReadInteger(u"Main", u"Top", -1), 10);
    QCOMPARE(others(dir.path(), QStringLiteral("tester.ini")).size(), stale.size() + kept.size());

    s.WriteInteger(u"Main", u"Top", written);
    QStringList left = others(dir.path(), QStringLiteral("tester.ini"));
    QStringList want = kept;
    left.sort();
    want.sort();
    QCOMPARE(left, want);
    QCOMPARE(readAll(path), "[Main]\nTop=" + QByteArray::number(written) + '\n');
    alive.kill();
    alive.waitForFinished();
}

QTEST_GUILESS_MAIN(TestDrillsStore)
#include "tst_drills_store.moc"
