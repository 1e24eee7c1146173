#include "app/programwindows.h"
#include "scheduler/chime.h"
#include "store/regionalformats.h"
#include "tests/common/fakeplatform.h"
#include "tests/common/programrun.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDate kDay(2026, 12, 8);

QTime hms(int h, int m, int s, int ms = 0) {
    return QTime(h, m, s, ms);
}

// One run of the program's windows in a folder of its own, its clock moved
// on by every blocking wait of the sounds.
struct Run : ProgramRun {
    Run() { platform.sleepClock = &clock; }
    // The value of a key of the file as it stands, or "<absent>".
    QString value(const QString& key) const {
        QFile f(iniPath());
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("<no file>");
        for (const QString& l : QString::fromUtf8(f.readAll()).split(u'\n')) {
            if (l.startsWith(key + u'='))
                return l.mid(key.size() + 1).trimmed();
        }
        return QStringLiteral("<absent>");
    }
    // Starts the program at `at` on the test day with this chime choice in
    // the file (none when choice is empty).
    void startAt(const QDateTime& at, const QByteArray& choice = {}) {
        clock.set(at);
        if (!choice.isEmpty())
            writeIni("[Main]\nTop=0\nSound=" + choice + "\n");
        create();
    }
    void startAt(QTime at, const QByteArray& choice = {}) { startAt(QDateTime(kDay, at), choice); }
    QComboBox* cbSound() const { return main()->findChild<QComboBox*>(QStringLiteral("cbSound")); }
    QTime now() const { return clock.now().time(); }

    // Plays Timer2 forward without the event loop: the clock moves by the
    // timer's interval, then the tick runs, as a timer that fires on time
    // would. Stops after the tick that chimed (sounded something, or went
    // back from watching to the long interval) or after maxTicks, and
    // returns the number of ticks run.
    int runTimer2(int maxTicks) {
        MainWindow* w = main();
        const qsizetype before = platform.soundLog.size();
        int ticks = 0;
        while (ticks < maxTicks && w->chime()->chimeTimer().isActive()) {
            const int interval = w->chime()->chimeTimer().interval();
            clock.advanceMs(interval);
            w->chime()->Timer2Timer();
            ++ticks;
            const bool rearmed = interval == chime::WatchIntervalMs &&
                                 w->chime()->chimeTimer().interval() > chime::WatchIntervalMs;
            if (platform.soundLog.size() != before || rearmed)
                break;
        }
        return ticks;
    }
    // A user's choice in the closed drop-down list, made with the arrow keys.
    void choose(int index) {
        QComboBox* cb = cbSound();
        while (cb->currentIndex() < index)
            QTest::keyClick(cb, Qt::Key_Down);
        while (cb->currentIndex() > index)
            QTest::keyClick(cb, Qt::Key_Up);
    }
};

QStringList repeated(int times, const QString& wait, const QString& play) {
    QStringList log;
    for (int i = 0; i < times; ++i)
        log << wait << play;
    return log;
}

// The long interval that ends at five seconds before the hour after `t`.
int msToNextArm(QTime t) {
    return static_cast<int>(t.msecsTo(QTime(t.hour(), 59, 55))) + t.msec();
}

} // namespace

class TestChime : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The arithmetic.
    void eventSounds();
    void armInterval_data();
    void armInterval();
    void chimeWindowAndFoldedHour();
    void strikes_data();
    void strikes();

    // The window.
    void chimeChoicesAreExact();
    void startupArmsOnlyForAStoredChoice_data();
    void startupArmsOnlyForAStoredChoice();
    void armedAt102030ChimesAtTheHourAndRearms();
    void armedAt105910WatchesAtOnce();
    void armedAt100130SkipsTheHourJustBegun();
    void hourStrikes_data();
    void hourStrikes();
    void lateTickSkipsTheHourAndWatchesOn();
    void silenceStopsAtOnceAndAnotherChoiceRearms();
    void sameIntervalLeavesTheRunningPeriodAlone();
    void refusedWriteStopsTheChange();
    void playSoundTimesWaitsBeforeEachStart_data();
    void playSoundTimesWaitsBeforeEachStart();
};

void TestChime::eventSounds() {
    const auto co = chime::eventSound(1);
    const auto ro = chime::eventSound(2);
    const auto ch = chime::eventSound(3);
    QVERIFY(co && ro && ch);
    QCOMPARE(co->name.toString(), QStringLiteral("co"));
    QCOMPARE(co->spacingMs, 1500);
    QCOMPARE(ro->name.toString(), QStringLiteral("ro"));
    QCOMPARE(ro->spacingMs, 2500);
    QCOMPARE(ch->name.toString(), QStringLiteral("ch"));
    QCOMPARE(ch->spacingMs, 3000);
    for (int none : {0, 4, -1, 255})
        QVERIFY2(!chime::eventSound(none), qPrintable(QString::number(none)));
}

void TestChime::armInterval_data() {
    QTest::addColumn<QTime>("now");
    QTest::addColumn<int>("interval");
    QTest::newRow("10:20:30 ends at 10:59:55") << hms(10, 20, 30) << 2365000;
    QTest::newRow("milliseconds ignored") << hms(10, 20, 30, 999) << 2365000;
    QTest::newRow("just after the hour") << hms(10, 1, 30) << 3505000;
    QTest::newRow("on the hour") << hms(11, 0, 0) << 3595000;
    QTest::newRow("after a noon chime of 36 s") << hms(12, 0, 36) << 3559000;
    QTest::newRow("midnight") << hms(0, 0, 0) << 3595000;
    QTest::newRow("minute 58, second 0") << hms(10, 58, 0) << 115000;
    QTest::newRow("last second of minute 58") << hms(23, 58, 59) << 56000;
    QTest::newRow("minute 59 watches") << hms(10, 59, 10) << 100;
    QTest::newRow("10:59:00") << hms(10, 59, 0) << 100;
    QTest::newRow("23:59:59") << hms(23, 59, 59) << 100;
}

void TestChime::armInterval() {
    QFETCH(QTime, now);
    QFETCH(int, interval);
    QCOMPARE(chime::armIntervalMs(now), interval);
}

void TestChime::chimeWindowAndFoldedHour() {
    QVERIFY(chime::inChimeWindow(hms(11, 0, 0)));
    QVERIFY(chime::inChimeWindow(hms(0, 0, 0)));
    QVERIFY(chime::inChimeWindow(hms(11, 2, 59, 999)));
    QVERIFY(!chime::inChimeWindow(hms(11, 3, 0)));
    QVERIFY(!chime::inChimeWindow(hms(10, 59, 55)));
    QVERIFY(!chime::inChimeWindow(hms(11, 10, 0)));

    const QList<int> folded = {0,  1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                               12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (int hour = 0; hour < 24; ++hour)
        QCOMPARE(chime::foldHour(hour), folded.at(hour));
}

void TestChime::strikes_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("sound");
    QTest::addColumn<int>("times");
    QTest::addColumn<bool>("repeated");
    QTest::newRow("silence") << 0 << 11 << 0 << 0 << false;
    QTest::newRow("cuckoo once at midnight") << 1 << 0 << 1 << 1 << false;
    QTest::newRow("rooster once at noon") << 2 << 12 << 2 << 1 << false;
    QTest::newRow("chimes once at 13") << 3 << 13 << 3 << 1 << false;
    QTest::newRow("cuckoo hours at midnight") << 4 << 0 << 1 << 0 << true;
    QTest::newRow("cuckoo hours at 11") << 4 << 11 << 1 << 11 << true;
    QTest::newRow("rooster hours at noon") << 5 << 12 << 2 << 12 << true;
    QTest::newRow("chimes hours at 13") << 6 << 13 << 3 << 1 << true;
    QTest::newRow("chimes hours at 23") << 6 << 23 << 3 << 11 << true;
    QTest::newRow("beyond the list") << 7 << 12 << 0 << 0 << false;
    QTest::newRow("no selection") << -1 << 12 << 0 << 0 << false;
}

void TestChime::strikes() {
    QFETCH(int, choice);
    QFETCH(int, hour);
    QFETCH(int, sound);
    QFETCH(int, times);
    QFETCH(bool, repeated);
    const chime::Strike s = chime::strikeFor(choice, hour);
    QCOMPARE(s.sound, sound);
    QCOMPARE(s.times, times);
    QCOMPARE(s.repeated, repeated);
}

void TestChime::chimeChoicesAreExact() {
    Run r;
    r.startAt(hms(10, 0, 0));
    const QStringList expected = {
        QStringLiteral("молчать"),         QStringLiteral("кукукнуть"),
        QStringLiteral("кукарекнуть"),     QStringLiteral("курантами \"бряк\""),
        QStringLiteral("\"куку\" часов "), QStringLiteral("\"кукареку\" часов"),
        QStringLiteral("\"бряк\" часов"),
    };
    QComboBox* cb = r.cbSound();
    QStringList items;
    for (int i = 0; i < cb->count(); ++i)
        items << cb->itemText(i);
    QCOMPARE(items, expected);
}

void TestChime::startupArmsOnlyForAStoredChoice_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("armed");
    QTest::newRow("no key") << QByteArray() << 0 << false;
    QTest::newRow("silence") << QByteArray("0") << 0 << false;
    QTest::newRow("chimes once") << QByteArray("3") << 3 << true;
    QTest::newRow("chimes hours") << QByteArray("6") << 6 << true;
    QTest::newRow("out of range") << QByteArray("7") << -1 << false;
    QTest::newRow("below the list") << QByteArray("-1") << -1 << false;
}

void TestChime::startupArmsOnlyForAStoredChoice() {
    QFETCH(QByteArray, stored);
    QFETCH(int, index);
    QFETCH(bool, armed);
    Run r;
    r.startAt(hms(10, 20, 30), stored);
    QCOMPARE(r.cbSound()->currentIndex(), index);
    QCOMPARE(r.main()->chime()->chimeTimer().isActive(), armed);
    // What chimes is what takes the tasks' own sounds at the hour: a choice
    // beyond the list is silence for both.
    QCOMPARE(r.main()->chime()->chimeChosen(), armed);
    if (armed)
        QCOMPARE(r.main()->chime()->chimeTimer().interval(), 2365000);
    // Setting the list from the file is no choice of the user's: the key is
    // neither written nor added.
    QCOMPARE(r.value(QStringLiteral("Sound")),
             stored.isEmpty() ? QStringLiteral("<absent>") : QString::fromLatin1(stored));
    QVERIFY(r.platform.soundLog.isEmpty());
}

void TestChime::armedAt102030ChimesAtTheHourAndRearms() {
    Run r;
    r.startAt(hms(10, 20, 30), "1");
    MainWindow* w = r.main();
    QVERIFY(w->chime()->chimeTimer().isActive());
    QCOMPARE(w->chime()->chimeTimer().interval(), 2365000);

    // The long interval's one tick at 10:59:55 only starts the watching.
    QCOMPARE(r.runTimer2(1), 1);
    QCOMPARE(r.now(), hms(10, 59, 55));
    QVERIFY(r.platform.soundLog.isEmpty());
    QVERIFY(w->chime()->chimeTimer().isActive());
    QCOMPARE(w->chime()->chimeTimer().interval(), 100);

    // Fifty ticks of 100 ms later it is 11:00:00: one cuckoo, at once.
    QCOMPARE(r.runTimer2(1000), 50);
    QCOMPARE(r.now(), hms(11, 0, 0));
    QCOMPARE(r.platform.soundLog, QStringList{QStringLiteral("play co")});
    // Re-armed to the next 11:59:55.
    QVERIFY(w->chime()->chimeTimer().isActive());
    QCOMPARE(w->chime()->chimeTimer().interval(), 3595000);
    QCOMPARE(r.runTimer2(1), 1);
    QCOMPARE(r.now(), hms(11, 59, 55));
    QCOMPARE(r.platform.soundLog.size(), 1);
    QCOMPARE(r.runTimer2(1000), 50);
    QCOMPARE(r.now(), hms(12, 0, 0));
    QCOMPARE(r.platform.soundLog.size(), 2);
}

void TestChime::armedAt105910WatchesAtOnce() {
    Run r;
    r.startAt(hms(10, 59, 10), "4");
    MainWindow* w = r.main();
    QVERIFY(w->chime()->chimeTimer().isActive());
    QCOMPARE(w->chime()->chimeTimer().interval(), 100);
    // 50 s of 100 ms ticks, then eleven cuckoos at 11:00:00.
    QCOMPARE(r.runTimer2(10000), 500);
    QCOMPARE(r.platform.soundLog,
             repeated(11, QStringLiteral("wait 1500"), QStringLiteral("play co")));
    // The waits kept the thread for 16.5 s; the re-arm counts from then.
    QCOMPARE(r.now(), hms(11, 0, 16, 500));
    QCOMPARE(w->chime()->chimeTimer().interval(), (3600 - 16 - 5) * 1000);
}

void TestChime::armedAt100130SkipsTheHourJustBegun() {
    // At start-up.
    {
        Run r;
        r.startAt(hms(10, 1, 30), "2");
        QCOMPARE(r.main()->chime()->chimeTimer().interval(), 3505000);
        QCOMPARE(r.runTimer2(1), 1);
        QCOMPARE(r.now(), hms(10, 59, 55));
        QVERIFY(r.platform.soundLog.isEmpty());
        QCOMPARE(r.runTimer2(1000), 50);
        QCOMPARE(r.now(), hms(11, 0, 0));
        QCOMPARE(r.platform.soundLog, QStringList{QStringLiteral("play ro")});
    }
    // By a change of choice.
    {
        Run r;
        r.startAt(hms(10, 1, 30));
        QVERIFY(!r.main()->chime()->chimeTimer().isActive());
        r.choose(2);
        QCOMPARE(r.value(QStringLiteral("Sound")), QStringLiteral("2"));
        QVERIFY(r.main()->chime()->chimeTimer().isActive());
        QCOMPARE(r.main()->chime()->chimeTimer().interval(), 3505000);
        QCOMPARE(r.runTimer2(1000), 51);
        QCOMPARE(r.now(), hms(11, 0, 0));
        QCOMPARE(r.platform.soundLog, QStringList{QStringLiteral("play ro")});
    }
}

void TestChime::hourStrikes_data() {
    QTest::addColumn<QByteArray>("choice");
    QTest::addColumn<int>("hour");
    QTest::addColumn<QStringList>("log");
    const QString co = QStringLiteral("play co");
    const QString ro = QStringLiteral("play ro");
    const QString ch = QStringLiteral("play ch");
    const QString w1 = QStringLiteral("wait 1500");
    const QString w2 = QStringLiteral("wait 2500");
    const QString w3 = QStringLiteral("wait 3000");
    for (int hour : {0, 12, 13}) {
        const QByteArray at = QByteArray::number(hour) + ":00";
        QTest::addRow("кукукнуть %s", at.constData()) << QByteArray("1") << hour << QStringList{co};
        QTest::addRow("кукарекнуть %s", at.constData())
            << QByteArray("2") << hour << QStringList{ro};
        QTest::addRow("бряк %s", at.constData()) << QByteArray("3") << hour << QStringList{ch};
        const int h = hour == 0 ? 0 : (hour == 12 ? 12 : 1);
        QTest::addRow("куку часов %s", at.constData())
            << QByteArray("4") << hour << repeated(h, w1, co);
        QTest::addRow("кукареку часов %s", at.constData())
            << QByteArray("5") << hour << repeated(h, w2, ro);
        QTest::addRow("бряк часов %s", at.constData())
            << QByteArray("6") << hour << repeated(h, w3, ch);
    }
}

void TestChime::hourStrikes() {
    QFETCH(QByteArray, choice);
    QFETCH(int, hour);
    QFETCH(QStringList, log);
    Run r;
    // Started in the minute before, so the timer watches from the start.
    const QDateTime hourStart(kDay, QTime(hour, 0));
    r.startAt(hourStart.addSecs(-50), choice);
    QCOMPARE(r.main()->chime()->chimeTimer().interval(), 100);
    QCOMPARE(r.runTimer2(10000), 500);
    QCOMPARE(r.platform.soundLog, log);
    // The waits took the thread with them; the chime re-arms from the time
    // they ended, to the next hh:59:55.
    int waited = 0;
    for (const QString& e : log)
        if (e.startsWith(QStringLiteral("wait ")))
            waited += e.mid(5).toInt();
    QCOMPARE(r.clock.now(), hourStart.addMSecs(waited));
    QVERIFY(r.main()->chime()->chimeTimer().isActive());
    QCOMPARE(r.main()->chime()->chimeTimer().interval(), msToNextArm(r.now()));
}

void TestChime::lateTickSkipsTheHourAndWatchesOn() {
    Run r;
    r.startAt(hms(10, 20, 30), "1");
    MainWindow* w = r.main();
    // The long tick comes only at 11:10, after the hour's first minutes.
    r.clock.set(kDay, hms(11, 10, 0));
    w->chime()->Timer2Timer();
    QVERIFY(r.platform.soundLog.isEmpty());
    QVERIFY(w->chime()->chimeTimer().isActive());
    QCOMPARE(w->chime()->chimeTimer().interval(), 100);
    // Fifty minutes of watching, then the chime of 12:00.
    QCOMPARE(r.runTimer2(100000), 30000);
    QCOMPARE(r.now(), hms(12, 0, 0));
    QCOMPARE(r.platform.soundLog, QStringList{QStringLiteral("play co")});
    QCOMPARE(w->chime()->chimeTimer().interval(), 3595000);
}

void TestChime::silenceStopsAtOnceAndAnotherChoiceRearms() {
    Run r;
    r.startAt(hms(10, 59, 10), "1");
    MainWindow* w = r.main();
    QVERIFY(w->chime()->chimeTimer().isActive());
    r.choose(0);
    QCOMPARE(r.cbSound()->currentIndex(), 0);
    QCOMPARE(r.value(QStringLiteral("Sound")), QStringLiteral("0"));
    QVERIFY(!w->chime()->chimeTimer().isActive());
    // Nothing sounds at the hour.
    r.clock.set(kDay, hms(11, 0, 0));
    QCOMPARE(r.runTimer2(1000), 0);
    QVERIFY(r.platform.soundLog.isEmpty());

    // Another choice re-arms from the present time.
    r.clock.set(kDay, hms(11, 40, 0));
    r.choose(5);
    QCOMPARE(r.value(QStringLiteral("Sound")), QStringLiteral("5"));
    QVERIFY(w->chime()->chimeTimer().isActive());
    QCOMPARE(w->chime()->chimeTimer().interval(), (20 * 60 - 5) * 1000);
    // And a later change of choice while armed counts from its own time.
    r.clock.set(kDay, hms(11, 50, 30));
    r.choose(6);
    QCOMPARE(r.value(QStringLiteral("Sound")), QStringLiteral("6"));
    QCOMPARE(w->chime()->chimeTimer().interval(), (10 * 60 - 30 - 5) * 1000);
    QCOMPARE(r.runTimer2(1000), 51);
    QCOMPARE(r.now(), hms(12, 0, 36));
    QCOMPARE(r.platform.soundLog,
             repeated(12, QStringLiteral("wait 3000"), QStringLiteral("play ch")));
}

void TestChime::sameIntervalLeavesTheRunningPeriodAlone() {
    Run r;
    r.startAt(hms(10, 20, 30), "3");
    MainWindow* w = r.main();
    QCOMPARE(w->chime()->chimeTimer().interval(), 2365000);
    // Let the real timer run a while; long timers count in whole seconds.
    QTest::qWait(1500);
    const int remaining = w->chime()->chimeTimer().remainingTime();
    QVERIFY2(remaining <= 2365000 - 1000, qPrintable(QString::number(remaining)));
    // Arming again at the same clock reading changes nothing.
    w->chime()->ArmHourlyChime();
    QVERIFY(w->chime()->chimeTimer().isActive());
    QVERIFY2(w->chime()->chimeTimer().remainingTime() <= remaining,
             qPrintable(QString::number(w->chime()->chimeTimer().remainingTime())));
    // A second later the interval differs and the period starts afresh.
    r.clock.set(kDay, hms(10, 20, 31));
    w->chime()->ArmHourlyChime();
    QCOMPARE(w->chime()->chimeTimer().interval(), 2364000);
    QVERIFY2(w->chime()->chimeTimer().remainingTime() > 2364000 - 1000,
             qPrintable(QString::number(w->chime()->chimeTimer().remainingTime())));
}

void TestChime::refusedWriteStopsTheChange() {
    Run r;
    r.startAt(hms(10, 20, 30), "1");
    QVERIFY(r.main()->chime()->chimeTimer().isActive());
    // A folder where the settings file was: every write is refused.
    QVERIFY(QFile::remove(r.iniPath()));
    QVERIFY(QDir(r.dir.path()).mkdir(QStringLiteral("tester.ini")));
    r.choose(0);
    QCOMPARE(r.platform.boxes.size(), 1);
    QCOMPARE(r.platform.boxes.at(0).kind, FakePlatform::Box::Error);
    QVERIFY(r.platform.boxes.at(0).text.startsWith(QStringLiteral("Unable to write to ")));
    // The handler stopped at the write: the chime still runs as it did.
    QVERIFY(r.main()->chime()->chimeTimer().isActive());
    QCOMPARE(r.main()->chime()->chimeTimer().interval(), 2365000);
}

void TestChime::playSoundTimesWaitsBeforeEachStart_data() {
    QTest::addColumn<int>("sound");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("blockedMs");
    QTest::newRow("cuckoo 3") << 1 << 3
                              << repeated(3, QStringLiteral("wait 1500"), QStringLiteral("play co"))
                              << 4500;
    QTest::newRow("rooster 3") << 2 << 3
                               << repeated(3, QStringLiteral("wait 2500"),
                                           QStringLiteral("play ro"))
                               << 7500;
    QTest::newRow("chimes 1") << 3 << 1
                              << repeated(1, QStringLiteral("wait 3000"), QStringLiteral("play ch"))
                              << 3000;
    QTest::newRow("count 0") << 1 << 0 << QStringList() << 0;
    QTest::newRow("negative count") << 2 << -1 << QStringList() << 0;
    QTest::newRow("no sound") << 0 << 3 << QStringList() << 0;
    QTest::newRow("unknown sound") << 4 << 3 << QStringList() << 0;
}

void TestChime::playSoundTimesWaitsBeforeEachStart() {
    QFETCH(int, sound);
    QFETCH(int, count);
    QFETCH(QStringList, log);
    QFETCH(int, blockedMs);
    Run r;
    r.startAt(hms(9, 30, 0));
    const QDateTime before = r.clock.now();
    r.main()->chime()->PlaySoundTimes(sound, count);
    QCOMPARE(r.platform.soundLog, log);
    QCOMPARE(before.msecsTo(r.clock.now()), qint64(blockedMs));
    // The event sounds leave the chime's timer alone.
    QVERIFY(!r.main()->chime()->chimeTimer().isActive());
}

QTEST_MAIN(TestChime)
#include "tst_chime.moc"
