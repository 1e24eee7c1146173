#include "about/aboutcard.h"
#include "alarm/alarmwindow.h"
#include "app/programwindows.h"
#include "editor/weekdaypicker.h"
#include "scheduler/schedule.h"
#include "store/daycount.h"
#include "store/regionalformats.h"
#include "tests/common/fakeplatform.h"
#include "tests/common/programrun.h"
#include "uicommon/radiogroup.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <csignal>

namespace {

// A run of the program's windows whose clock's timer runs as started.
struct Run : ProgramRun {
    QStringList iniLines() const {
        QFile f(iniPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
        for (QString& l : lines)
            if (l.endsWith(u'\r'))
                l.chop(1);
        return lines;
    }
    QString value(const QString& key) const {
        for (const QString& l : iniLines())
            if (l.startsWith(key + u'='))
                return l.mid(key.size() + 1);
        return QStringLiteral("<absent>");
    }
    int indexOf(const QString& key) const {
        const QStringList lines = iniLines();
        for (int i = 0; i < lines.size(); ++i)
            if (lines.at(i).startsWith(key + u'='))
                return i;
        return -1;
    }
    void start() { create(); }
    void startAndShow() {
        create();
        windows->showAtStart();
    }
};

QString entryPath(const QString& configHome) {
    return configHome + QStringLiteral("/autostart/Звонарька 2.5.desktop");
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startupOnEmptyFolder();
    void startupRestoresOptionsRunningTheirHandlers();
    void startupRestoresOptionsWithoutHandlersWhenUnchanged();
    void soundOutOfRangeLeavesNoSelection();
    void unwritableSettingsShowOneErrorBox();
    void readOnlySettingsStillMakeAnAlarmClock();
    void secondCopyTouchesNothing_data();
    void secondCopyTouchesNothing();
    void resizeWritesOnlyWhileVisible();
    void shutdownStoresPositionAlsoWhenHidden();
    void mouseDownOnBareBackgroundMovesTheWindow();
    void lShowTogglesTheScheduleView();
    void optionBoxesWriteTheirKeys();

    void trayMenuItems();
    void trayDoubleClickAndRightRelease();
    void hideAndShowFromTheMenu();
    void hideMovesFocusToTheTaskList();
    void hideAndShowTakeAPinnedPickerAlong();
    void stayOnTopTogglesKeepExactlyOneIcon();
    void startHiddenShowsOnlyTheTrayIcon();
    void withoutTrayHidingMinimises();

    void autostartTickCreatesEntry();
    void autostartUntickRemovesEntry();
    void autostartUntickWithoutEntryWritesNothing();
    void autostartRecreatedAtStartFromNewFolder();
    void autostartRemovedAtStartWhenOff();
    void autostartFailureShowsMessage();

    void layoutMatchesTheDesign();
    void realProgramRunsOncePerDesktop();

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<Run> r;
};

void TestShell::init() {
    // The session's autostart folder lives in a temporary config home.
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
    r = std::make_unique<Run>();
    QVERIFY(r->dir.isValid());
}

void TestShell::cleanup() {
    r.reset();
    m_config.reset();
}

void TestShell::startupOnEmptyFolder() {
    r->startAndShow();
    MainWindow* w = r->main();
    QVERIFY(!r->windows->isSecondCopy());
    QVERIFY(QFileInfo::exists(r->iniPath()));
    // "Main" first with Top, then AutoRec from cbARec's own handler.
    QCOMPARE(r->iniLines(), QStringList({QStringLiteral("[Main]"), QStringLiteral("Top=0"),
                                         QStringLiteral("AutoRec=0")}));
    QCOMPARE(w->windowTitle(), QStringLiteral("Звонарька 2.5 by Korvel"));
    QCOMPARE(w->objectName(), QStringLiteral("TfmTocsiner"));
    QVERIFY(w->isVisible());
    QCOMPARE(w->pos(), QPoint(0, 0));
    QCOMPARE(w->frameGeometry().size(), QSize(510, 314));
    QVERIFY(!r->control<QCheckBox>("cbARec")->isChecked());
    QVERIFY(!r->control<QCheckBox>("cbStayOnTop")->isChecked());
    QVERIFY(!r->control<QCheckBox>("cbStartHide")->isChecked());
    QVERIFY(!r->control<QCheckBox>("cbAutoLoad")->isChecked());
    QCOMPARE(r->control<QComboBox>("cbSound")->currentIndex(), 0);
    QCOMPARE(r->control<QLineEdit>("edTime")->displayText(), QStringLiteral("12:00:00"));
    QCOMPARE(r->control<QLabel>("Label13")->text(), QStringLiteral("08.12.2026"));
    QCOMPARE(r->control<QListWidget>("clbEvents")->selectionMode(),
             QAbstractItemView::ExtendedSelection);
    QVERIFY(r->control<QListWidget>("clbEvents")->toolTip().contains(u'\n'));
    QVERIFY(w->firing()->clockTimer().isActive());
    QVERIFY(!w->chime()->chimeTimer().isActive());
    QVERIFY(w->taskList()->currentTaskName().isEmpty());
    QCOMPARE(w->schedule()->EvTable.count(), 0);
    // The tray icon, added once; no boxes, no autostart entry.
    QCOMPARE(r->platform.trayLog, QStringList({QStringLiteral("add")}));
    QCOMPARE(r->platform.trayIcon()->tip(), QStringLiteral("Звонарька 2.5"));
    QVERIFY(!r->platform.trayIcon()->icon().isNull());
    QVERIFY(r->platform.boxes.isEmpty());
    QVERIFY(!QFileInfo::exists(entryPath(m_config->path())));
    // The secondary windows exist, hidden.
    QVERIFY(r->windows->alarmWindow() && !r->windows->alarmWindow()->isVisible());
    QVERIFY(r->windows->aboutCard() && !r->windows->aboutCard()->isVisible());
    QVERIFY(r->windows->weekPicker() && !r->windows->weekPicker()->isVisible());
}

void TestShell::startupRestoresOptionsRunningTheirHandlers() {
    // "2" reads true; a handler that runs writes it back as "1".
    r->writeIni("[Main]\nTop=40\nLeft=30\nHeight=400\nWidth=600\nSound=3\nAutoRec=0\n"
                "StayOnTop=2\nHideOnStart=2\n");
    r->start();
    MainWindow* w = r->main();
    QCOMPARE(w->pos(), QPoint(30, 40));
    QCOMPARE(w->frameGeometry().size(), QSize(600, 400));
    QCOMPARE(r->control<QComboBox>("cbSound")->currentIndex(), 3);
    QVERIFY(!r->control<QCheckBox>("cbARec")->isChecked());
    QVERIFY(r->control<QCheckBox>("cbStayOnTop")->isChecked());
    QVERIFY(r->control<QCheckBox>("cbStartHide")->isChecked());
    QCOMPARE(r->value(QStringLiteral("AutoRec")), QStringLiteral("0"));
    QCOMPARE(r->value(QStringLiteral("StayOnTop")), QStringLiteral("1"));
    QCOMPARE(r->value(QStringLiteral("HideOnStart")), QStringLiteral("1"));
    QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
    // Step 12 removed an icon that was not there (nothing) and added it; step
    // 17's second add changes nothing.
    QCOMPARE(r->platform.trayLog, QStringList({QStringLiteral("add"), QStringLiteral("add")}));
    QCOMPARE(r->platform.trayIconsCreated(), 1);
    QVERIFY(r->platform.trayIcon()->isAdded());
    // Started hidden: the tray icon only.
    QVERIFY(w->startsHidden());
    r->windows->showAtStart();
    QVERIFY(!w->isVisible());
    // Resizing at start-up wrote nothing.
    QCOMPARE(r->value(QStringLiteral("Height")), QStringLiteral("400"));
}

void TestShell::startupRestoresOptionsWithoutHandlersWhenUnchanged() {
    // Stored states equal to the design's run no handler: the odd "2" stays.
    r->writeIni("[Main]\nTop=0\nAutoRec=2\nStayOnTop=0\nHideOnStart=0\nAutoload=0\n");
    r->startAndShow();
    QVERIFY(r->control<QCheckBox>("cbARec")->isChecked());
    QCOMPARE(r->value(QStringLiteral("AutoRec")), QStringLiteral("2"));
    QVERIFY(!(r->main()->windowFlags() & Qt::WindowStaysOnTopHint));
    QCOMPARE(r->platform.trayLog, QStringList({QStringLiteral("add")}));
    QVERIFY(r->main()->isVisible());
    QCOMPARE(r->iniLines().size(), 6);
}

void TestShell::soundOutOfRangeLeavesNoSelection() {
    r->writeIni("[Main]\nSound=7\n");
    r->start();
    QCOMPARE(r->control<QComboBox>("cbSound")->currentIndex(), -1);
    r->stop();
    r->writeIni("[Main]\nSound=-1\n");
    r->start();
    QCOMPARE(r->control<QComboBox>("cbSound")->currentIndex(), -1);
}

void TestShell::unwritableSettingsShowOneErrorBox() {
    // Folders where the settings file and its fall-back should be: every
    // write is refused.
    QVERIFY(QDir(r->dir.path()).mkdir(QStringLiteral("tester.ini")));
    QVERIFY(QDir(r->dir.path()).mkdir(QStringLiteral("sets.ini")));
    r->startAndShow();
    // The box comes once the clock ticks, not inside start-up.
    QVERIFY(r->platform.boxes.isEmpty());
    QVERIFY(r->main()->firing()->clockTimer().isActive());
    QTRY_COMPARE(r->platform.boxes.size(), 1);
    QCOMPARE(r->platform.boxes.at(0).kind, FakePlatform::Box::Error);
    QVERIFY(r->platform.boxes.at(0).text.startsWith(QStringLiteral("Unable to write to ")));
    // Start-up went on past the refused write: the window, the tray icon and
    // the clock are there.
    QVERIFY(r->main()->isVisible());
    QVERIFY(r->main()->trayIcon() != nullptr && r->main()->trayIcon()->isAdded());
    QVERIFY(r->main()->firing()->clockTimer().isActive());
    r->stop();
    // Shut-down's refused writes (the picker's, then the main window's) are
    // told on standard error and in the system log: the end waits for no box.
    QCOMPARE(r->platform.boxes.size(), 1);
}

void TestShell::readOnlySettingsStillMakeAnAlarmClock() {
    // A read-only file with two tasks, one due five seconds after start and
    // sorted by name: start-up's first write (Top) is refused.
    r->writeIni("[Main]\nTop=7\nAutoRec=0\nSortBy=Name\n"
                "[Zeta]\nTime=12:00:05\nDate=08.12.2026\nActiving=1\nMessage=Wake\n"
                "[Alpha]\nTime=18:00:00\nDate=08.12.2026\nActiving=1\n");
    QVERIFY(QFile::setPermissions(r->iniPath(), QFileDevice::ReadOwner | QFileDevice::ReadUser));
    const QString before = r->ini();
    r->startAndShow();
    MainWindow* w = r->main();
    // One box for the whole start-up, after it, then everything that was read.
    QTRY_COMPARE(r->platform.boxes.size(), 1);
    QVERIFY(r->platform.boxes.at(0).text.startsWith(QStringLiteral("Unable to write to ")));
    QCOMPARE(w->y(), 7);
    auto* list = r->control<QListWidget>("clbEvents");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Alpha")); // the saved sort order
    QVERIFY(w->trayIcon() != nullptr && w->trayIcon()->isAdded());
    QVERIFY(w->firing()->clockTimer().isActive());
    QVERIFY(!r->control<QLabel>("Label13")->text().isEmpty());
    // The task fires on time: its new date cannot be stored (one more box),
    // the alarm window shows all the same.
    r->clock.set(QDate(2026, 12, 8), QTime(12, 0, 5, 200));
    w->firing()->Timer1Timer();
    QVERIFY(r->windows->alarmWindow()->isVisible());
    QCOMPARE(r->windows->alarmWindow()->firedTaskName(), QStringLiteral("Zeta"));
    // The box waits until the tick has returned, so the clock never stops for it.
    QTRY_COMPARE(r->platform.boxes.size(), 2);
    QCOMPARE(r->ini(), before);
}

void TestShell::secondCopyTouchesNothing_data() {
    QTest::addColumn<bool>("firstHidden");
    QTest::newRow("first visible") << false;
    QTest::newRow("first hidden in the tray") << true;
}

void TestShell::secondCopyTouchesNothing() {
    QFETCH(bool, firstHidden);
    r->startAndShow();
    if (firstHidden)
        r->main()->tray()->pmiHideClick();
    const QByteArray before = readAll(r->iniPath());
    const QDateTime mtime = QFileInfo(r->iniPath()).lastModified();

    FakePlatform secondPlatform;
    auto second = std::make_unique<ProgramWindows>(
        ShellContext{secondPlatform, r->clock, RegionalFormats::russian(), r->dir.path()});
    QVERIFY(second->isSecondCopy());
    QVERIFY(second->mainWindow()->windowTitle().isEmpty());
    QVERIFY(!second->alarmWindow() && !second->aboutCard() && !second->weekPicker());
    second->showAtStart();
    QVERIFY(!second->mainWindow()->isVisible());
    second.reset();
    QCOMPARE(secondPlatform.trayIconsCreated(), 0);
    QVERIFY(secondPlatform.boxes.isEmpty());
    QCOMPARE(readAll(r->iniPath()), before);
    QCOMPARE(QFileInfo(r->iniPath()).lastModified(), mtime);
    // The first copy goes on as it was.
    QCOMPARE(r->main()->isVisible(), !firstHidden);
    QVERIFY(r->platform.trayIcon()->isAdded());

    // Once the first copy has ended, the next one runs.
    r->stop();
    FakePlatform thirdPlatform;
    ProgramWindows third(
        ShellContext{thirdPlatform, r->clock, RegionalFormats::russian(), r->dir.path()});
    QVERIFY(!third.isSecondCopy());
}

void TestShell::resizeWritesOnlyWhileVisible() {
    r->start();
    MainWindow* w = r->main();
    w->resize(620, 330);
    QCOMPARE(r->value(QStringLiteral("Height")), QStringLiteral("<absent>"));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(r->value(QStringLiteral("Height")), QStringLiteral("<absent>"));
    // The outer size, frame included.
    const QSize frame = w->frameGeometry().size() - w->size();
    w->resize(600, 400);
    QCOMPARE(r->value(QStringLiteral("Height")), QString::number(400 + frame.height()));
    QCOMPARE(r->value(QStringLiteral("Width")), QString::number(600 + frame.width()));
    // Both new keys: Height was written first.
    QVERIFY(r->indexOf(QStringLiteral("Height")) < r->indexOf(QStringLiteral("Width")));
    w->resize(700, 450);
    QCOMPARE(r->value(QStringLiteral("Height")), QString::number(450 + frame.height()));
    QCOMPARE(r->value(QStringLiteral("Width")), QString::number(700 + frame.width()));
    w->tray()->pmiHideClick();
    w->resize(300, 200);
    QCOMPARE(r->value(QStringLiteral("Height")), QString::number(450 + frame.height()));
    QCOMPARE(r->value(QStringLiteral("Width")), QString::number(700 + frame.width()));
}

void TestShell::shutdownStoresPositionAlsoWhenHidden() {
    r->startAndShow();
    MainWindow* w = r->main();
    w->move(123, 77);
    w->tray()->pmiHideClick();
    QVERIFY(!w->isVisible());
    // Closing from the tray menu while hidden.
    w->findChild<QAction*>(QStringLiteral("pmiClose"))->trigger();
    r->platform.trayLog.clear();
    // Edited by hand meanwhile: without "Top", the order of the two writes
    // shows in the file.
    r->writeIni("[Main]\nAutoRec=0\n");
    r->stop();
    QCOMPARE(r->value(QStringLiteral("Left")), QStringLiteral("123"));
    QCOMPARE(r->value(QStringLiteral("Top")), QStringLiteral("77"));
    QVERIFY(r->indexOf(QStringLiteral("Left")) < r->indexOf(QStringLiteral("Top")));
    QCOMPARE(r->platform.trayLog, QStringList({QStringLiteral("remove")}));
    // A new start puts the window back there.
    r->start();
    QCOMPARE(r->main()->pos(), QPoint(123, 77));
}

void TestShell::mouseDownOnBareBackgroundMovesTheWindow() {
    r->startAndShow();
    MainWindow* w = r->main();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QPoint bare(150, 140);
    QCOMPARE(w->childAt(bare), nullptr);
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
        QTest::mousePress(w, b, Qt::NoModifier, bare);
    QCOMPARE(w->systemMoveRequests(), 3);
    // Presses on controls, labels included, are the controls'.
    QTest::mousePress(r->control<QLabel>("Label4"), Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QTest::mousePress(r->control<QGroupBox>("GroupBox2"), Qt::RightButton, Qt::NoModifier,
                      QPoint(240, 150));
    QCOMPARE(w->systemMoveRequests(), 3);
}

void TestShell::lShowTogglesTheScheduleView() {
    r->startAndShow();
    auto* lshow = r->control<QLabel>("LShow");
    const QList<QWidget*> view = {r->control<QPlainTextEdit>("Memo1"),
                                  r->control<QPlainTextEdit>("Memo2"),
                                  r->control<QPushButton>("Button1"), r->control<QLabel>("L10")};
    for (QWidget* v : view) {
        QVERIFY(v->isHidden());
        QVERIFY(v->y() >= 301);
    }
    QTest::mouseClick(lshow, Qt::LeftButton, Qt::NoModifier, QPoint(2, 0));
    for (QWidget* v : view)
        QVERIFY(!v->isHidden());
    // Toggles also while the window is hidden, by the view's own state.
    r->main()->tray()->pmiHideClick();
    r->main()->LShowClick();
    for (QWidget* v : view)
        QVERIFY(v->isHidden());
}

void TestShell::optionBoxesWriteTheirKeys() {
    r->startAndShow();
    r->control<QCheckBox>("cbARec")->click();
    QCOMPARE(r->value(QStringLiteral("AutoRec")), QStringLiteral("1"));
    r->control<QCheckBox>("cbARec")->click();
    QCOMPARE(r->value(QStringLiteral("AutoRec")), QStringLiteral("0"));
    // Ticking "start hidden" hides nothing now.
    r->control<QCheckBox>("cbStartHide")->click();
    QCOMPARE(r->value(QStringLiteral("HideOnStart")), QStringLiteral("1"));
    QVERIFY(r->main()->isVisible());
    r->control<QCheckBox>("cbStartHide")->click();
    QCOMPARE(r->value(QStringLiteral("HideOnStart")), QStringLiteral("0"));
}

void TestShell::trayMenuItems() {
    r->start();
    QMenu* menu = r->main()->trayMenu();
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), 4);
    QCOMPARE(items.at(0)->text(), QStringLiteral("Спрятать"));
    QCOMPARE(items.at(1)->text(), QStringLiteral("Показать"));
    QVERIFY(items.at(2)->isSeparator());
    QCOMPARE(items.at(3)->text(), QStringLiteral("Закрыть"));
    QCOMPARE(menu->defaultAction(), items.at(1));
    QVERIFY(items.at(1)->font().bold());
    QVERIFY(!items.at(0)->font().bold());
    for (int i : {0, 1, 3}) {
        QVERIFY(!items.at(i)->icon().isNull());
        QVERIFY(items.at(i)->isEnabled());
        QVERIFY(!items.at(i)->text().contains(u'&'));
    }
    // Three different pictures.
    const QImage a = items.at(0)->icon().pixmap(16).toImage();
    const QImage b = items.at(1)->icon().pixmap(16).toImage();
    const QImage c = items.at(3)->icon().pixmap(16).toImage();
    QVERIFY(a != b && b != c && a != c);
}

void TestShell::trayDoubleClickAndRightRelease() {
    r->startAndShow();
    MainWindow* w = r->main();
    w->tray()->pmiHideClick();
    QVERIFY(!w->isVisible());
    r->platform.trayIcon()->doubleClick();
    QVERIFY(w->isVisible());
    // Visible: a double click brings it forward and keeps it shown.
    r->platform.trayIcon()->doubleClick();
    QVERIFY(w->isVisible());

    QMenu* menu = w->trayMenu();
    QVERIFY(!menu->isVisible());
    r->platform.trayIcon()->releaseRightButton(QPoint(200, 150));
    QVERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), QPoint(200, 150));
    menu->close();
}

void TestShell::hideAndShowFromTheMenu() {
    r->startAndShow();
    MainWindow* w = r->main();
    QAction* hide = w->findChild<QAction*>(QStringLiteral("pmiHide"));
    QAction* show = w->findChild<QAction*>(QStringLiteral("pmiShow"));
    QVERIFY(!r->control<QListWidget>("clbEvents")->isEnabled());
    // An empty (disabled) task list does not stop hiding.
    hide->trigger();
    QVERIFY(!w->isVisible());
    hide->trigger();
    QVERIFY(!w->isVisible());
    show->trigger();
    QVERIFY(w->isVisible());
    // The button "Спрятать" does the same.
    r->control<QToolButton>("Ok")->click();
    QVERIFY(!w->isVisible());
    QVERIFY(r->platform.trayIcon()->isAdded());
}

void TestShell::hideMovesFocusToTheTaskList() {
    r->startAndShow();
    MainWindow* w = r->main();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto* list = r->control<QListWidget>("clbEvents");
    list->setEnabled(true);
    list->addItem(QStringLiteral("task"));
    auto* msg = r->control<QLineEdit>("edMsg");
    msg->setFocus();
    QVERIFY(msg->hasFocus());

    // The editor field loses the focus to the list while the window is
    // still visible, so its leave handler runs before the window hides.
    struct Probe : QObject {
        QWidget* window = nullptr;
        int focusOuts = 0;
        bool visibleAtFocusOut = false;
        Qt::FocusReason reason = Qt::NoFocusReason;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::FocusOut) {
                ++focusOuts;
                visibleAtFocusOut = window->isVisible();
                reason = static_cast<QFocusEvent*>(e)->reason();
            }
            return false;
        }
    } probe;
    probe.window = w;
    msg->installEventFilter(&probe);
    w->tray()->pmiHideClick();
    msg->removeEventFilter(&probe);
    QVERIFY(!w->isVisible());
    QCOMPARE(probe.focusOuts, 1);
    QVERIFY(probe.visibleAtFocusOut);
    QCOMPARE(probe.reason, Qt::OtherFocusReason);
    QCOMPARE(w->focusWidget(), list);
}

void TestShell::hideAndShowTakeAPinnedPickerAlong() {
    r->startAndShow();
    MainWindow* w = r->main();
    WeekDayPicker* week = r->windows->weekPicker();
    week->findChild<QCheckBox*>(QStringLiteral("cbHold"))->setChecked(true);
    week->show();
    w->tray()->pmiHideClick();
    QVERIFY(!week->isVisible());
    w->tray()->pmiShowClick();
    QVERIFY(week->isVisible());
    // Not pinned: hidden with the window and not shown again.
    week->findChild<QCheckBox*>(QStringLiteral("cbHold"))->setChecked(false);
    w->tray()->pmiHideClick();
    w->tray()->pmiShowClick();
    QVERIFY(!week->isVisible());
}

void TestShell::stayOnTopTogglesKeepExactlyOneIcon() {
    r->startAndShow();
    MainWindow* w = r->main();
    auto* box = r->control<QCheckBox>("cbStayOnTop");
    for (int i = 0; i < 6; ++i) {
        r->platform.trayLog.clear();
        box->click();
        const bool onTop = box->isChecked();
        QCOMPARE(bool(w->windowFlags() & Qt::WindowStaysOnTopHint), onTop);
        QVERIFY(w->isVisible());
        QCOMPARE(r->platform.trayLog,
                 QStringList({QStringLiteral("remove"), QStringLiteral("add")}));
        QCOMPARE(r->value(QStringLiteral("StayOnTop")),
                 onTop ? QStringLiteral("1") : QStringLiteral("0"));
    }
    QCOMPARE(r->platform.trayIconsCreated(), 1);
    QVERIFY(r->platform.trayIcon()->isAdded());
    // The icon still answers.
    w->tray()->pmiHideClick();
    r->platform.trayIcon()->doubleClick();
    QVERIFY(w->isVisible());
    r->platform.trayIcon()->releaseRightButton(QPoint(10, 10));
    QVERIFY(w->trayMenu()->isVisible());
    w->trayMenu()->close();
    // Toggling while hidden keeps it hidden.
    w->tray()->pmiHideClick();
    box->click();
    QVERIFY(!w->isVisible());
}

void TestShell::startHiddenShowsOnlyTheTrayIcon() {
    r->writeIni("[Main]\nHideOnStart=1\n");
    r->startAndShow();
    MainWindow* w = r->main();
    QVERIFY(!w->isVisible());
    QVERIFY(!w->isMinimized());
    QVERIFY(r->platform.trayIcon()->isAdded());
    // Shown later from the tray, FormShow runs: a pinned picker comes along.
    r->windows->weekPicker()->findChild<QCheckBox*>(QStringLiteral("cbHold"))->setChecked(true);
    r->platform.trayIcon()->doubleClick();
    QVERIFY(w->isVisible());
    QVERIFY(r->windows->weekPicker()->isVisible());
}

void TestShell::withoutTrayHidingMinimises() {
    r->platform.trayAvailable = false;
    r->startAndShow();
    MainWindow* w = r->main();
    w->tray()->pmiHideClick();
    QVERIFY(w->isVisible());
    QVERIFY(w->isMinimized());
    w->tray()->pmiShowClick();
    QVERIFY(w->isVisible());
    QVERIFY(!w->isMinimized());
    r->stop();

    // Starting hidden starts minimised, without a pinned picker; showing it
    // brings the picker.
    r->writeIni("[Main]\nHideOnStart=1\n");
    r->start();
    auto* hold = r->windows->weekPicker()->findChild<QCheckBox*>(QStringLiteral("cbHold"));
    hold->setChecked(true);
    r->windows->showAtStart();
    QVERIFY(r->main()->isVisible());
    QVERIFY(r->main()->isMinimized());
    QVERIFY(!r->windows->weekPicker()->isVisible());
    r->main()->tray()->pmiShowClick();
    QVERIFY(!r->main()->isMinimized());
    QVERIFY(r->windows->weekPicker()->isVisible());
}

void TestShell::autostartTickCreatesEntry() {
    r->startAndShow();
    const QString entry = entryPath(m_config->path());
    r->control<QCheckBox>("cbAutoLoad")->click();
    QVERIFY(QFileInfo::exists(entry));
    const QString text = QString::fromUtf8(readAll(entry));
    QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    QVERIFY(text.contains(QStringLiteral("\nExec=\"/opt/zvonarka/zvonarka\"\n")));
    // The session starts it where it runs now, beside its settings file.
    QVERIFY(text.contains(QStringLiteral("\nPath=") + QDir(r->dir.path()).absolutePath() + u'\n'));
    QVERIFY(text.contains(QStringLiteral("\nName=Звонарька 2.5\n")));
    QCOMPARE(r->value(QStringLiteral("Autoload")), QStringLiteral("1"));
    QVERIFY(r->platform.boxes.isEmpty());

    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {entry});
    if (!validate.waitForStarted())
        QSKIP("desktop-file-validate is not installed");
    QVERIFY(validate.waitForFinished());
    QCOMPARE(validate.exitCode(), 0);
    QCOMPARE(validate.readAllStandardOutput(), QByteArray());
}

void TestShell::autostartUntickRemovesEntry() {
    r->startAndShow();
    const QString entry = entryPath(m_config->path());
    auto* box = r->control<QCheckBox>("cbAutoLoad");
    box->click();
    QVERIFY(QFileInfo::exists(entry));
    box->click();
    QVERIFY(!QFileInfo::exists(entry));
    QCOMPARE(r->value(QStringLiteral("Autoload")), QStringLiteral("0"));
}

void TestShell::autostartUntickWithoutEntryWritesNothing() {
    r->startAndShow();
    const QString entry = entryPath(m_config->path());
    auto* box = r->control<QCheckBox>("cbAutoLoad");
    box->click();
    QVERIFY(QFile::remove(entry));
    box->click();
    QCOMPARE(r->value(QStringLiteral("Autoload")), QStringLiteral("1"));
}

void TestShell::autostartRecreatedAtStartFromNewFolder() {
    const QString entry = entryPath(m_config->path());
    QVERIFY(QDir().mkpath(QFileInfo(entry).absolutePath()));
    {
        QFile old(entry);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("[Desktop Entry]\nType=Application\nName=old\nExec=/old/place/zvonarka\n");
    }
    r->writeIni("[Main]\nAutoload=1\n");
    r->platform.program = QStringLiteral("/new place/bin/zvonarka");
    r->start();
    QVERIFY(r->control<QCheckBox>("cbAutoLoad")->isChecked());
    const QString text = QString::fromUtf8(readAll(entry));
    QVERIFY(text.contains(QStringLiteral("\nExec=\"/new place/bin/zvonarka\"\n")));
    QVERIFY(text.contains(QStringLiteral("\nPath=") + QDir(r->dir.path()).absolutePath() + u'\n'));
    QVERIFY(!text.contains(QStringLiteral("old")));
    QCOMPARE(r->value(QStringLiteral("Autoload")), QStringLiteral("1"));
}

void TestShell::autostartRemovedAtStartWhenOff() {
    const QString entry = entryPath(m_config->path());
    QVERIFY(QDir().mkpath(QFileInfo(entry).absolutePath()));
    QFile left(entry);
    QVERIFY(left.open(QIODevice::WriteOnly));
    left.close();
    r->start();
    QVERIFY(!QFileInfo::exists(entry));
    QCOMPARE(r->value(QStringLiteral("Autoload")), QStringLiteral("0"));
    // Nothing else appeared in the folder.
    QVERIFY(QDir(QFileInfo(entry).absolutePath()).isEmpty());
}

void TestShell::autostartFailureShowsMessage() {
    // The config home is a file: the autostart folder cannot be made.
    const QString blocker = r->dir.filePath(QStringLiteral("not-a-folder"));
    QFile f(blocker);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    r->platform.autostart = blocker + QStringLiteral("/autostart");
    r->startAndShow();
    auto* box = r->control<QCheckBox>("cbAutoLoad");
    box->click();
    QCOMPARE(r->platform.boxes.size(), 1);
    QCOMPARE(r->platform.boxes.at(0).kind, FakePlatform::Box::Information);
    QCOMPARE(r->platform.boxes.at(0).text,
             QStringLiteral("Немогу поместить ярлык проги\rв автозагрузку! Попробуйте в ручную.."));
    QVERIFY(box->isChecked());
    QCOMPARE(r->value(QStringLiteral("Autoload")), QStringLiteral("<absent>"));
    QVERIFY(QFileInfo(blocker).isFile());
}

void TestShell::layoutMatchesTheDesign() {
    r->startAndShow();
    MainWindow* w = r->main();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->frameGeometry().size(), QSize(510, 314));
    // The design's client area.
    w->resize(502, 287);

    struct Expect {
        const char* name;
        QRect rect;
    };
    const Expect expected[] = {
        {"Panel2", {188, 0, 56, 81}},        {"TimeImage", {1, 1, 54, 79}},
        {"cbHours", {1, 48, 144, 17}},       {"edTime", {93, 65, 49, 19}},
        {"rgDays", {0, 87, 245, 42}},        {"OnAirDate", {173, 83, 66, 20}},
        {"edDay", {69, 106, 18, 14}},        {"edMsg", {0, 151, 241, 19}},
        {"rgChoose", {0, 176, 145, 88}},     {"Ok", {152, 176, 75, 22}},
        {"CloseApp", {152, 198, 75, 22}},    {"sbAbout", {152, 220, 75, 22}},
        {"sbHelp", {152, 242, 75, 22}},      {"plAppCtrl", {0, 264, 243, 22}},
        {"sbOpenDlg", {0, 0, 22, 22}},       {"edApp", {24, 2, 217, 19}},
        {"LShow", {1, 286, 13, 13}},         {"GroupBox1", {251, 0, 249, 62}},
        {"cbSound", {123, 11, 124, 21}},     {"cbEvSound", {97, 35, 122, 21}},
        {"edOnes", {221, 35, 13, 21}},       {"udOnes", {233, 33, 13, 24}},
        {"GroupBox2", {251, 63, 249, 163}},  {"clbEvents", {4, 27, 240, 78}},
        {"Bevel2", {6, 108, 237, 9}},        {"cbCalculate", {8, 115, 14, 17}},
        {"sbCalculate", {24, 113, 62, 22}},  {"sbNewEv", {86, 113, 80, 22}},
        {"sbTestEv", {166, 113, 79, 22}},    {"evName", {85, 138, 132, 21}},
        {"sbSaveEvent", {221, 135, 24, 25}}, {"Panel1", {251, 227, 249, 60}},
        {"cbARec", {3, 2, 213, 13}},         {"cbStartHide", {3, 16, 184, 13}},
        {"cbStayOnTop", {3, 30, 173, 14}},   {"cbAutoLoad", {3, 44, 182, 13}},
    };
    for (const Expect& e : expected) {
        auto* c = w->findChild<QWidget*>(QString::fromLatin1(e.name));
        QVERIFY2(c != nullptr, e.name);
        QVERIFY2(c->geometry() == e.rect, e.name);
    }
    QCOMPARE(r->control<QWidget>("Bevel1")->x(), 247);
    QVERIFY(r->control<QWidget>("plAppCtrl")->isHidden());
    QCOMPARE(r->control<QComboBox>("cbSound")->count(), 7);
    QCOMPARE(r->control<QComboBox>("cbSound")->itemText(3), QStringLiteral("курантами \"бряк\""));
    QCOMPARE(r->control<QComboBox>("cbSound")->itemText(4), QStringLiteral("\"куку\" часов "));
    QCOMPARE(r->control<QComboBox>("cbEvSound")->count(), 4);
    QCOMPARE(r->control<RadioGroup>("rgChoose")->items().size(), 4);
    QCOMPARE(r->control<RadioGroup>("rgChoose")->itemIndex(), 0);
    QCOMPARE(r->control<RadioGroup>("rgDays")->items(),
             QStringList({QStringLiteral("каждый        день"), QStringLiteral("по дням недели")}));
    QCOMPARE(r->control<QComboBox>("evName")->currentText(), QStringLiteral("Default"));
    QCOMPARE(r->control<QLineEdit>("edOnes")->text(), QStringLiteral("1"));

    // The longest texts the dynamic labels get.
    r->control<QLabel>("lbDay")->setText(QStringLiteral("понедельник"));
    r->control<QLabel>("Label13")->setText(QStringLiteral("28.12.2026"));
    r->control<QLabel>("Label1")->setText(QStringLiteral("23:59:59"));
    r->control<QLabel>("lbSort")->setText(QStringLiteral("а по времени"));
    r->control<QLabel>("lbEvTime")->setText(QStringLiteral("23:59:59"));

    // No caption is cut: every text fits its control and every control lies
    // inside its parent's client area.
    for (QWidget* c : w->findChildren<QWidget*>()) {
        if (c->isHidden() || c->parentWidget() == nullptr || !c->isVisibleTo(w))
            continue;
        const QString name = c->objectName();
        QString text;
        int room = c->width();
        if (auto* l = qobject_cast<QLabel*>(c)) {
            text = l->text();
            room -= 0;
            if (!text.isEmpty())
                QVERIFY2(l->fontMetrics().horizontalAdvance(text) <= room, qPrintable(name));
        } else if (auto* b = qobject_cast<QAbstractButton*>(c); b && !b->text().isEmpty()) {
            if (qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b)) {
                // The text starts after the box or circle and must end inside.
                QStyleOptionButton opt;
                opt.initFrom(b);
                opt.text = b->text();
                const bool radio = qobject_cast<QRadioButton*>(b) != nullptr;
                const QRect contents = b->style()->subElementRect(
                    radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &opt, b);
                QVERIFY2(contents.left() + b->fontMetrics().horizontalAdvance(b->text()) <=
                             b->width(),
                         qPrintable(name));
                QVERIFY2(b->fontMetrics().height() <= b->height(), qPrintable(name));
            } else {
                QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) + 2 <= b->width(),
                         qPrintable(name));
            }
        }
        if (c->parentWidget() != w && !name.startsWith(QStringLiteral("qt_")) && !name.isEmpty()) {
            const QRect inside = c->parentWidget()->rect();
            QVERIFY2(inside.contains(c->geometry()), qPrintable(name));
        }
    }
    // The group captions fit beside what lies on them.
    auto* days = r->control<RadioGroup>("rgDays");
    QVERIFY(days->fontMetrics().horizontalAdvance(days->title()) + 8 <
            r->control<QDateEdit>("OnAirDate")->x());

    const QString shot = QStringLiteral(ZV_SCREENSHOT_DIR "/main-window.png");
    QVERIFY(w->grab().save(shot));
}

void TestShell::realProgramRunsOncePerDesktop() {
    // The real program, offscreen, in a folder of its own.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config->path());
    env.insert(QStringLiteral("DISPLAY"),
               QStringLiteral(":zv-test-%1").arg(QCoreApplication::applicationPid()));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    auto startCopy = [&](QProcess& p) {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(r->dir.path());
        p.start(QStringLiteral(ZV_PROGRAM_PATH), {});
        return p.waitForStarted();
    };
    QProcess first;
    QVERIFY(startCopy(first));
    QDir dir(r->dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(!dir.entryList({QStringLiteral("*.ini")}, QDir::Files).isEmpty(),
                             10000);
    const QString ini = dir.filePath(dir.entryList({QStringLiteral("*.ini")}, QDir::Files).first());
    QTRY_VERIFY_WITH_TIMEOUT(readAll(ini).contains("AutoRec=0"), 10000);
    const QByteArray before = readAll(ini);
    const QDateTime mtime = QFileInfo(ini).lastModified();

    QProcess second;
    QVERIFY(startCopy(second));
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(readAll(ini), before);
    QCOMPARE(QFileInfo(ini).lastModified(), mtime);
    QCOMPARE(first.state(), QProcess::Running);

    // A copy that died leaves its lock behind; the next start takes it over.
    first.kill();
    QVERIFY(first.waitForFinished(5000));
    QProcess third;
    QVERIFY(startCopy(third));
    QVERIFY(!third.waitForFinished(1500));
    QCOMPARE(third.state(), QProcess::Running);
    third.kill();
    QVERIFY(third.waitForFinished(5000));
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
