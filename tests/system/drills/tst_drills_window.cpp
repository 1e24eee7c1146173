// Drills with the real main window on a fake clock and a fake platform:
// refused writes of the settings file show one error box each and the window
// goes on; the wall clock jumping an hour ahead and back fires no task twice
// and doubles no chime.
#include "tests/common/programrun.h"

#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

namespace {

const QDate kDay(2026, 12, 8);
constexpr qint64 kHourMs = 3600 * 1000;
constexpr qint64 kNever = std::numeric_limits<qint64>::max();

// The main window shown, its clock's timer running as started.
struct Run : ProgramRun {
    // The file's bytes, to compare whole.
    QByteArray iniBytes() const {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
    }
    void start() {
        create();
        windows->showAtStart();
    }
    int errorBoxes() const {
        int n = 0;
        for (const FakePlatform::Box& b : platform.boxes)
            n += b.kind == FakePlatform::Box::Error &&
                 b.text == QStringLiteral("Unable to write to ") + iniPath();
        return n;
    }
};

QByteArray task(const char* name, const char* time, int sound) {
    return QByteArray("[") + name + "]\nActiving=1\nDate=08.12.2026\nDayOrWeek=0\nDay=1\nWeek=\n" +
           "Time=" + time + "\nMessage=" + name + "\nAction=0\nSound=" + QByteArray::number(sound) +
           "\nOnes=1\n";
}

// Runs the two timers of the main window without the event loop, on a
// monotonic time of its own that the wall clock may leave behind: a QTimer
// counts real elapsed time, not the wall clock, so after a jump it fires
// when the interval has passed, whatever the clock says then.
struct TimerSim {
    Run& run;
    qint64 mono = 0;
    qint64 due1 = kNever;
    qint64 due2 = kNever;
    // Every "play" of the sounds with the wall time it happened at.
    QList<std::pair<QString, QDateTime>> plays;
    // Chimes with the monotonic time they sounded at.
    QList<std::pair<qint64, QDateTime>> chimes;

    explicit TimerSim(Run& r) : run(r) {
        MainWindow* w = run.main();
        due1 = w->firing()->clockTimer().isActive() ? w->firing()->clockTimer().interval() : kNever;
        due2 = w->chime()->chimeTimer().isActive() ? w->chime()->chimeTimer().interval() : kNever;
    }
    void collect(bool byTimer2) {
        QStringList& log = run.platform.soundLog;
        for (const QString& line : std::as_const(log)) {
            if (!line.startsWith(QStringLiteral("play ")))
                continue;
            plays.append({line.mid(5), run.clock.now()});
            if (byTimer2)
                chimes.append({mono, run.clock.now()});
        }
        log.clear();
    }
    void runFor(qint64 ms) {
        MainWindow* w = run.main();
        const qint64 end = mono + ms;
        for (;;) {
            const qint64 next = std::min(due1, due2);
            if (next > end) {
                run.clock.advanceMs(end - mono);
                mono = end;
                return;
            }
            run.clock.advanceMs(next - mono);
            mono = next;
            if (next == due1) {
                w->firing()->Timer1Timer();
                due1 = w->firing()->clockTimer().isActive()
                           ? mono + w->firing()->clockTimer().interval()
                           : kNever;
                collect(false);
            } else {
                w->chime()->Timer2Timer();
                due2 = w->chime()->chimeTimer().isActive()
                           ? mono + w->chime()->chimeTimer().interval()
                           : kNever;
                collect(true);
            }
        }
    }
    // The wall clock jumps; the timers run on.
    // The clock set forward by hand: the monotonic clock does not move.
    void jump(qint64 ms) { run.clock.jump(run.clock.now().addMSecs(ms)); }
    int count(const QString& sound) const {
        int n = 0;
        for (const auto& p : plays)
            n += p.first == sound;
        return n;
    }
    // Two chimes closer than most of an hour of real time: a doubled one.
    bool chimeDoubled() const {
        for (qsizetype i = 1; i < chimes.size(); ++i)
            if (chimes.at(i).first - chimes.at(i - 1).first < 55 * 60 * 1000)
                return true;
        return false;
    }
    QString chimeLog() const {
        QStringList out;
        for (const auto& c : chimes)
            out << QStringLiteral("%1s@%2")
                       .arg(c.first / 1000)
                       .arg(c.second.toString(QStringLiteral("HH:mm:ss")));
        return out.join(u' ');
    }
};

} // namespace

class TestDrillsWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void readOnlyFileAtAWritePath();
    void fileDeletedWhileTheWindowRuns();
    void clockJumpsAheadPastATask();
    void clockJumpsBackAfterFirings();

private:
    std::unique_ptr<Run> r;
};

void TestDrillsWindow::init() {
    r = std::make_unique<Run>();
}

void TestDrillsWindow::cleanup() {
    if (r && QFile::exists(r->iniPath()))
        QFile::setPermissions(r->iniPath(), QFile::ReadOwner | QFile::WriteOwner);
    r.reset();
}

void TestDrillsWindow::readOnlyFileAtAWritePath() {
    r->writeIni("[Main]\nTop=0\nAutoRec=0\n" + task("Обед", "13:00:00", 0));
    r->start();
    QCOMPARE(r->errorBoxes(), 0);
    const QByteArray before = r->iniBytes();
    QVERIFY(QFile::setPermissions(r->iniPath(), QFile::ReadOwner));

    auto* cbARec = r->main()->findChild<QCheckBox*>(QStringLiteral("cbARec"));
    QVERIFY(cbARec);
    cbARec->click();
    QCOMPARE(r->errorBoxes(), 1);
    QCOMPARE(r->platform.boxes.size(), 1);
    // A sort order is another write: one more box.
    r->main()->taskList()->SortN()->trigger();
    QCOMPARE(r->errorBoxes(), 2);
    QCOMPARE(r->iniBytes(), before);
    // The window lives and reads the file as it stands.
    QVERIFY(r->main()->isVisible());
    r->main()->firing()->Timer1Timer();
    r->main()->taskList()->GetEvents();
    QCOMPARE(r->main()->findChild<QWidget*>(QStringLiteral("clbEvents")) != nullptr, true);

    // Writable again: the next toggle writes its key.
    QVERIFY(QFile::setPermissions(r->iniPath(), QFile::ReadOwner | QFile::WriteOwner));
    cbARec->click();
    QCOMPARE(r->errorBoxes(), 2);
    QVERIFY(r->iniBytes().contains(QByteArray(cbARec->isChecked() ? "AutoRec=1" : "AutoRec=0")));
    QVERIFY(r->iniBytes().contains("[Обед]"));
}

void TestDrillsWindow::fileDeletedWhileTheWindowRuns() {
    r->writeIni("[Main]\nTop=0\n" + task("Обед", "13:00:00", 0));
    r->start();
    QVERIFY(QFile::remove(r->iniPath()));
    auto* cbARec = r->main()->findChild<QCheckBox*>(QStringLiteral("cbARec"));
    cbARec->click();
    // No box: the write made the file anew with that key alone.
    QCOMPARE(r->platform.boxes.size(), 0);
    QCOMPARE(r->iniBytes(), QByteArray("[Main]\nAutoRec=1\n"));
    r->main()->taskList()->GetEvents();
    r->main()->firing()->Timer1Timer();
    QVERIFY(r->main()->isVisible());
}

void TestDrillsWindow::clockJumpsAheadPastATask() {
    // Cuckoo once at every hour; task A rings the rooster at 12:30, task B
    // the chimes at 13:10.
    r->writeIni("[Main]\nTop=0\nSound=1\n" + task("A", "12:30:00", 2) + task("B", "13:10:00", 3));
    r->start();
    TimerSim sim(*r);
    sim.runFor(20 * 60 * 1000); // to 12:20
    QCOMPARE(sim.plays.size(), 0);
    sim.jump(kHourMs);          // 13:20: A's time has passed, B's too
    sim.runFor(70 * 60 * 1000); // to 14:30 on the wall clock
    // A was armed and fires once, late; B was passed over by the jump.
    QCOMPARE(sim.count(QStringLiteral("ro")), 1);
    QCOMPARE(sim.count(QStringLiteral("ch")), 0);
    // The jumped-over hour 13 is not struck; 14 is, once.
    QVERIFY2(!sim.chimeDoubled(), qPrintable(sim.chimeLog()));
    QCOMPARE(sim.chimes.size(), 1);
    QCOMPARE(sim.chimes.at(0).second.time().hour(), 14);
    QVERIFY(sim.chimes.at(0).second.time().minute() <= 2);
    QVERIFY(r->main()->isVisible());
}

void TestDrillsWindow::clockJumpsBackAfterFirings() {
    r->writeIni("[Main]\nTop=0\nSound=1\n" + task("A", "12:30:00", 2) + task("B", "13:10:00", 3));
    r->start();
    TimerSim sim(*r);
    sim.runFor(70 * 60 * 1000 + 5000); // to 13:10:05: A, the 13:00 chime and B
    QCOMPARE(sim.count(QStringLiteral("ro")), 1);
    QCOMPARE(sim.count(QStringLiteral("ch")), 1);
    QCOMPARE(sim.chimes.size(), 1);

    sim.jump(-kHourMs);         // 12:10:05: both tasks' times lie ahead again
    sim.runFor(80 * 60 * 1000); // to 13:30:05 on the wall clock
    // Each fired once for the day: their dates moved on at the firing.
    QCOMPARE(sim.count(QStringLiteral("ro")), 1);
    QCOMPARE(sim.count(QStringLiteral("ch")), 1);
    QVERIFY(r->iniBytes().contains("Date=09.12.2026"));
    // The wall clock passes 13:00 a second time and strikes it again, but not
    // twice at one passing.
    QVERIFY2(!sim.chimeDoubled(), qPrintable(sim.chimeLog()));
    QVERIFY2(sim.chimes.size() <= 2, qPrintable(sim.chimeLog()));
    for (const auto& c : sim.chimes)
        QVERIFY2(c.second.time().minute() <= 2, qPrintable(sim.chimeLog()));

    // A recalculation after the jump back (any edit makes one) re-reads the
    // moved dates: nothing becomes due again today.
    r->main()->firing()->sbCalculateClick();
    sim.runFor(60 * 60 * 1000);
    QCOMPARE(sim.count(QStringLiteral("ro")), 1);
    QCOMPARE(sim.count(QStringLiteral("ch")), 1);
    QVERIFY(r->main()->isVisible());
}

QTEST_MAIN(TestDrillsWindow)
#include "tst_drills_window.moc"
