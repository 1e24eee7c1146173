#include "platform/autostart.h"
#include "platform/instancelock.h"
#include "platform/systemplatform.h"
#include "platform/systemtrayicon.h"
#include "platform/windowhints.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void autostartFolderRules();
    void desktopEntryQuotesAnyProgramPath_data();
    void desktopEntryQuotesAnyProgramPath();
    void writeEntryCreatesFolderAndReplaces();
    void writeEntryRefusedLeavesNothing();
    void instanceLockExcludesASecondHolder();
    void instanceLockNameFollowsTheDisplay();
    void storedPlacesFitTheScreens();
    void trayIconReportsOnlyDoubleAndRightClicks();
    void boxTextBreaksLinesAtCarriageReturns();
    void boxesBlockOnlyTheWindowThatAsks();
};

void TestPlatform::autostartFolderRules() {
    QCOMPARE(autostart::folderFrom(QStringLiteral("/cfg"), QStringLiteral("/home/u")),
             QStringLiteral("/cfg/autostart"));
    QCOMPARE(autostart::folderFrom(QString(), QStringLiteral("/home/u")),
             QStringLiteral("/home/u/.config/autostart"));
    // A relative XDG_CONFIG_HOME is not valid and is ignored.
    QCOMPARE(autostart::folderFrom(QStringLiteral("cfg"), QStringLiteral("/home/u")),
             QStringLiteral("/home/u/.config/autostart"));
    QCOMPARE(autostart::folderFrom(QStringLiteral("/cfg/"), QStringLiteral("/home/u")),
             QStringLiteral("/cfg/autostart"));
}

void TestPlatform::desktopEntryQuotesAnyProgramPath_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << QStringLiteral("/opt/z/zvonarka")
                           << QStringLiteral("\"/opt/z/zvonarka\"");
    QTest::newRow("spaces") << QStringLiteral("/home/u/Мои программы/zvonarka")
                            << QStringLiteral("\"/home/u/Мои программы/zvonarka\"");
    QTest::newRow("reserved") << QStringLiteral("/a/$x`y\"z/100%/zv")
                              << QStringLiteral("\"/a/\\\\$x\\\\`y\\\\\"z/100%%/zv\"");
    QTest::newRow("backslash") << QStringLiteral("/a\\b/zv")
                               << QStringLiteral("\"/a\\\\\\\\b/zv\"");
}

void TestPlatform::desktopEntryQuotesAnyProgramPath() {
    QFETCH(QString, program);
    QFETCH(QString, exec);
    const QString dir = program.left(program.lastIndexOf(u'/'));
    const QByteArray text =
        autostart::desktopEntry(QStringLiteral("Звонарька 2.5"), program, QString(), dir);
    const QStringList lines = QString::fromUtf8(text).split(u'\n');
    QCOMPARE(lines.at(0), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Type=Application")));
    QVERIFY(lines.contains(QStringLiteral("Name=Звонарька 2.5")));
    QVERIFY(lines.contains(QStringLiteral("Exec=") + exec));
    QVERIFY(lines.contains(QStringLiteral("Path=") + autostart::escapeValue(dir)));

    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("Звонарька 2.5.desktop"));
    QVERIFY(autostart::writeEntry(path, text));
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {path});
    if (!validate.waitForStarted())
        QSKIP("desktop-file-validate is not installed");
    QVERIFY(validate.waitForFinished());
    QCOMPARE(QString::fromUtf8(validate.readAllStandardOutput()), QString());
    QCOMPARE(validate.exitCode(), 0);
}

void TestPlatform::writeEntryCreatesFolderAndReplaces() {
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("a/b/autostart/e.desktop"));
    QVERIFY(autostart::writeEntry(path, "one\n"));
    QVERIFY(autostart::writeEntry(path, "two\n"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("two\n"));
    // No temporary file left beside it.
    QCOMPARE(QDir(tmp.filePath(QStringLiteral("a/b/autostart"))).entryList(QDir::Files),
             QStringList({QStringLiteral("e.desktop")}));
}

void TestPlatform::writeEntryRefusedLeavesNothing() {
    QTemporaryDir tmp;
    const QString file = tmp.filePath(QStringLiteral("file"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    QVERIFY(!autostart::writeEntry(file + QStringLiteral("/autostart/e.desktop"), "e\n"));
    QVERIFY(QFileInfo(file).isFile());
    // A folder where the entry should go.
    QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("d/e.desktop")));
    QVERIFY(!autostart::writeEntry(tmp.filePath(QStringLiteral("d/e.desktop")), "e\n"));
}

void TestPlatform::instanceLockExcludesASecondHolder() {
    QTemporaryDir tmp;
    auto first = FileInstanceLock::claim(tmp.path(), QStringLiteral("zv.lock"));
    QVERIFY(first);
    QVERIFY(!FileInstanceLock::claim(tmp.path(), QStringLiteral("zv.lock")));
    // Another desktop has its own lock.
    QVERIFY(FileInstanceLock::claim(tmp.path(), QStringLiteral("zv-other.lock")));
    first.reset();
    QVERIFY(FileInstanceLock::claim(tmp.path(), QStringLiteral("zv.lock")));
    // A runtime folder that is not there yet is made.
    QVERIFY(FileInstanceLock::claim(tmp.filePath(QStringLiteral("new/dir")), QStringLiteral("l")));
}

void TestPlatform::instanceLockNameFollowsTheDisplay() {
    const QByteArray oldDisplay = qgetenv("DISPLAY");
    const QByteArray oldWayland = qgetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":1.0");
    qunsetenv("WAYLAND_DISPLAY");
    const QString x = FileInstanceLock::defaultName();
    QVERIFY(x.startsWith(QStringLiteral("zvonarka-")));
    QVERIFY(x.endsWith(QStringLiteral("-_1.lock")));
    // The screen number and the local socket's "unix" name no other display.
    for (const char* same : {":1", "unix:1", "unix:1.2"}) {
        qputenv("DISPLAY", same);
        QCOMPARE(FileInstanceLock::defaultName(), x);
    }
    for (const char* other : {":2", ":10", "host:1.0", "localhost:1"}) {
        qputenv("DISPLAY", other);
        QVERIFY2(FileInstanceLock::defaultName() != x, other);
    }
    qputenv("DISPLAY", ":2");
    QVERIFY(FileInstanceLock::defaultName() != x);
    // Wayland wins over X11; slashes never reach the file name.
    qputenv("WAYLAND_DISPLAY", "/run/user/wayland-0");
    QVERIFY(!FileInstanceLock::displayId().contains(u'/'));
    QVERIFY(FileInstanceLock::displayId().contains(QStringLiteral("wayland-0")));
    qputenv("DISPLAY", oldDisplay);
    if (oldWayland.isEmpty())
        qunsetenv("WAYLAND_DISPLAY");
    else
        qputenv("WAYLAND_DISPLAY", oldWayland);
}

void TestPlatform::storedPlacesFitTheScreens() {
    // A primary screen with a panel on top, and a second screen to its right.
    const QRect primary(0, 24, 1024, 744);
    const QRect second(1024, 0, 800, 600);
    const QList<QRect> areas{primary, second};
    const QSize minimum(247, 264);
    const auto fit = [&](QRect r) { return fitToScreens(r, minimum, areas, primary); };
    // Usable as it is: kept, on either screen, partly off its screen too.
    QCOMPARE(fit(QRect(100, 100, 510, 314)), QRect(100, 100, 510, 314));
    QCOMPARE(fit(QRect(1500, 100, 510, 314)), QRect(1500, 100, 510, 314));
    // No size at all, or a negative one: the window's minimum.
    QCOMPARE(fit(QRect(100, 100, 0, 0)), QRect(100, 100, 247, 264));
    QCOMPARE(fit(QRect(QPoint(100, 100), QSize(-1, -1))), QRect(100, 100, 247, 264));
    // Huge: at most the area of the screen it is on.
    QCOMPARE(fit(QRect(1100, 10, 100000, 100000)).size(), QSize(800, 600));
    QCOMPARE(fit(QRect(0, 24, 100000, 100000)).size(), QSize(1024, 744));
    // Off every screen, or on one by less than a grip: back on the primary.
    QCOMPARE(fit(QRect(5000, -4000, 510, 314)), QRect(0, 24, 510, 314));
    QCOMPARE(fit(QRect(1024 + 800 - 10, 100, 510, 314)), QRect(0, 24, 510, 314));
    QCOMPARE(fit(QRect(1024 + 800 - 48, 600 - 24, 510, 314)).topLeft(),
             QPoint(1024 + 800 - 48, 600 - 24));
    // A minimum beyond the screen wins.
    QCOMPARE(fitToScreens(QRect(0, 0, 10, 10), QSize(2000, 100), areas, primary).width(), 2000);
}

void TestPlatform::trayIconReportsOnlyDoubleAndRightClicks() {
    SystemTrayIcon tray(QIcon(), QStringLiteral("Звонарька 2.5"));
    auto* icon = tray.findChild<QSystemTrayIcon*>();
    QVERIFY(icon);
    QCOMPARE(icon->toolTip(), QStringLiteral("Звонарька 2.5"));
    QSignalSpy doubles(&tray, &TrayIcon::doubleClicked);
    QSignalSpy rights(&tray, &TrayIcon::rightButtonReleased);
    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
    Q_EMIT icon->activated(QSystemTrayIcon::MiddleClick);
    QCOMPARE(doubles.size(), 0);
    QCOMPARE(rights.size(), 0);
    Q_EMIT icon->activated(QSystemTrayIcon::DoubleClick);
    QCOMPARE(doubles.size(), 1);
    // No button held: a tray that reports the whole click.
    Q_EMIT icon->activated(QSystemTrayIcon::Context);
    QCOMPARE(rights.size(), 1);
    QCOMPARE(doubles.size(), 1);
    // Add and remove, any number of times.
    tray.add();
    tray.add();
    QVERIFY(tray.isAdded());
    tray.remove();
    tray.remove();
    QVERIFY(!tray.isAdded());
}

void TestPlatform::boxTextBreaksLinesAtCarriageReturns() {
    QCOMPARE(boxText(QStringLiteral("a\rb")), QStringLiteral("a\nb"));
    QCOMPARE(boxText(QStringLiteral("a\r\nb\nc")), QStringLiteral("a\nb\nc"));
}

void TestPlatform::boxesBlockOnlyTheWindowThatAsks() {
    // A question of the main window must leave the alarm window, a top-level
    // of its own, working: its button is what stops a switch-off.
    QWidget main;
    main.resize(200, 100);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QWidget alarm;
    auto* ok = new QPushButton(QStringLiteral("OK"), &alarm);
    ok->setGeometry(10, 10, 80, 30);
    alarm.resize(120, 60);
    alarm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&alarm));
    int clicks = 0;
    QObject::connect(ok, &QPushButton::clicked, [&] { ++clicks; });
    int clicksWhileAsked = -1;
    Qt::WindowModality modality = Qt::ApplicationModal;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        modality = box->windowModality();
        // Through the window system, where a modal box blocks what it blocks.
        QTest::mouseClick(alarm.windowHandle(), Qt::LeftButton, {}, QPoint(50, 25));
        clicksWhileAsked = clicks;
        box->button(QMessageBox::No)->click();
    });
    SystemPlatform platform;
    QVERIFY(!platform.question(&main, QStringLiteral("Удалить выбранные задания?")));
    QCOMPARE(modality, Qt::WindowModal);
    QCOMPARE(clicksWhileAsked, 1);
    // Asked for a hidden window, the box blocks nothing and still waits.
    main.hide();
    bool answered = false;
    QTimer::singleShot(50, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
                QTest::mouseClick(alarm.windowHandle(), Qt::LeftButton, {}, QPoint(50, 25));
                answered = true;
                box->button(QMessageBox::Yes)->click();
            }
        }
    });
    QVERIFY(platform.question(&main, QStringLiteral("Удалить выбранные задания?")));
    QVERIFY(answered);
    QCOMPARE(clicks, 2);
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
