#include "alarm/alarmwindow.h"
#include "scheduler/schedule.h"
#include "tests/editor/editorfixture.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QToolButton>

namespace {

const QString kEvery = QStringLiteral("Полив");
const QString kWeekly = QStringLiteral("Планёрка");

// Tuesday 8 December 2026 is the fixture's today.
const QString kFile = QStringLiteral("[Main]\nTop=0\n"
                                     "[Полив]\nActiving=1\nDate=11.12.2026\nDayOrWeek=0\n"
                                     "Day=5\nWeek=\nTime=18:00:00\nMessage=\nAction=0\n"
                                     "Sound=0\nOnes=1\n"
                                     "[Планёрка]\nActiving=1\nDate=10.12.2026\nDayOrWeek=1\n"
                                     "Day=1\nWeek=24\nTime=09:30:00\nMessage=\nAction=0\n"
                                     "Sound=0\nOnes=1\n");

QDate day(int d) {
    return QDate(2026, 12, d);
}

} // namespace

class TestRecurrence : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void pickerDefaultPlaceAndToday();
    void pickerPlaceAndPinKeptOverARestart();
    void pickerWindowShape();
    void showDaysIgnoresOtherCharacters();
    void loadingShowsOrHidesThePicker();
    void pinKeepsPickerOpen();
    void switchingModeShowsPickerOnly();
    void modeClickRecords();

    void writeWeekStoresTicks();
    void writeWeekNextDate_data();
    void writeWeekNextDate();
    void writeWeekInDaysModeSetsNoDate();
    void writeWeekWithoutTaskOnlyKeepsPendingString();
    void deactivationIsHandledBeforeTheClick();
    void saveStoresPendingWeek();
    void okSavesTheDaysThePickerShows();

    void dayFieldFilter();
    void dayFieldEscapeRestoresStoredN();
    void dayFieldExitRestartsOnlyChangedN();
    void dayFieldIsLeftByTabAndShiftTab();
    void dayFieldRefusesTooLongANumberAndNoDateIsLeftSwitchesOff();
    void dateCloseUpWarnsForPastDate();
    void dateExitStoresAndScheduleMovesIt();
    void dateExitStoresTheHalfTypedDate();

    void screenshot();

private:
    void deactivatePicker();
    std::unique_ptr<EditorRun> r;
};

void TestRecurrence::init() {
    r = std::make_unique<EditorRun>();
    r->writeIni(kFile);
    r->startAndShow();
}

void TestRecurrence::cleanup() {
    r.reset();
}

void TestRecurrence::deactivatePicker() {
    r->week()->show();
    r->week()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(r->week()));
    r->activateMain();
}

void TestRecurrence::pickerDefaultPlaceAndToday() {
    r->stop();
    r->writeIni(QStringLiteral("[Main]\nTop=40\nLeft=30\n"));
    r->start();
    QCOMPARE(r->week()->pos(), QPoint(30 + 243, 40 + 105));
    QVERIFY(!r->week()->isPinned());
    QVERIFY(r->week()->isHidden());
    // Tuesday.
    QCOMPARE(r->ui()->lbDay->text(), QStringLiteral("вторник"));
}

void TestRecurrence::pickerPlaceAndPinKeptOverARestart() {
    r->week()->move(500, 321);
    r->week()->pinBox()->setChecked(true);
    // Ticking the pin writes nothing at once.
    QCOMPARE(r->value(QStringLiteral("Main"), QStringLiteral("WeekHold")),
             QStringLiteral("<absent>"));
    r->stop();
    QCOMPARE(r->value(QStringLiteral("Main"), QStringLiteral("WeekLeft")), QStringLiteral("500"));
    QCOMPARE(r->value(QStringLiteral("Main"), QStringLiteral("WeekTop")), QStringLiteral("321"));
    QCOMPARE(r->value(QStringLiteral("Main"), QStringLiteral("WeekHold")), QStringLiteral("1"));
    r->start();
    QCOMPARE(r->week()->pos(), QPoint(500, 321));
    QVERIFY(r->week()->isPinned());
    // A pinned picker comes with the main window.
    r->windows->showAtStart();
    QVERIFY(r->week()->isVisible());
}

void TestRecurrence::pickerWindowShape() {
    WeekDayPicker* w = r->week();
    QCOMPARE(w->windowTitle(), QStringLiteral("Неделя"));
    QCOMPARE(w->size(), QSize(117, 118));
    QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(w->dayList()->count(), 7);
    QCOMPARE(w->dayList()->item(6)->text(), QStringLiteral("воскресенье"));
    QCOMPARE(w->pinBox()->text(), QStringLiteral("Закрепить окно"));
    // Its close box only hides it.
    w->show();
    w->close();
    QVERIFY(w->isHidden());
    QVERIFY(r->main()->isVisible());
}

void TestRecurrence::showDaysIgnoresOtherCharacters() {
    WeekDayPicker* w = r->week();
    w->ShowDays(QStringLiteral("6x0 79-3"));
    QCOMPARE(w->tickedDays(), QStringLiteral("036"));
    w->ShowDays(QString());
    QCOMPARE(w->tickedDays(), QString());
}

void TestRecurrence::loadingShowsOrHidesThePicker() {
    r->choose(kWeekly);
    QVERIFY(r->week()->isVisible());
    QCOMPARE(r->week()->tickedDays(), QStringLiteral("24"));
    QCOMPARE(r->ui()->rgDays->itemIndex(), 1);
    QCOMPARE(r->ui()->OnAirDate->date(), day(10));
    // The main window keeps the keyboard.
    QVERIFY(r->main()->isActiveWindow());
    r->choose(kEvery);
    QVERIFY(r->week()->isHidden());
    QCOMPARE(r->ui()->edDay->text(), QStringLiteral("5"));
    // A new task unticks every day.
    r->choose(kWeekly);
    r->main()->taskList()->setCurrentTaskName(QString());
    r->main()->editor()->ShowEvent(QStringLiteral("¤"));
    QCOMPARE(r->week()->tickedDays(), QString());
    QCOMPARE(r->ui()->OnAirDate->date(), day(8));
    QCOMPARE(r->ui()->edDay->text(), QStringLiteral("1"));
}

void TestRecurrence::pinKeepsPickerOpen() {
    r->choose(kWeekly);
    r->week()->pinBox()->setChecked(true);
    r->choose(kEvery);
    QVERIFY(r->week()->isVisible());
    // Its days are those of the loaded task.
    QCOMPARE(r->week()->tickedDays(), QString());
}

void TestRecurrence::switchingModeShowsPickerOnly() {
    r->choose(kEvery);
    QVERIFY(r->week()->isHidden());
    r->ui()->rgDays->button(1)->click();
    QVERIFY(r->week()->isVisible());
    r->ui()->rgDays->button(0)->click();
    QVERIFY(r->week()->isVisible());
    // A task stored in week-day mode: the click leaves the picker alone.
    r->choose(kWeekly);
    r->ui()->rgDays->button(0)->click();
    r->week()->hide();
    r->ui()->rgDays->button(1)->click();
    QVERIFY(r->week()->isHidden());
}

void TestRecurrence::modeClickRecords() {
    r->setAutoRec(true);
    r->choose(kEvery);
    const QString date = r->value(kEvery, QStringLiteral("Date"));
    r->ui()->rgDays->button(1)->click();
    QCOMPARE(r->value(kEvery, QStringLiteral("DayOrWeek")), QStringLiteral("1"));
    // "Week" and "Date" are not touched.
    QCOMPARE(r->value(kEvery, QStringLiteral("Week")), QString());
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), date);
    r->setAutoRec(false);
    r->ui()->rgDays->button(0)->click();
    QCOMPARE(r->value(kEvery, QStringLiteral("DayOrWeek")), QStringLiteral("1"));
}

void TestRecurrence::writeWeekStoresTicks() {
    r->setAutoRec(true);
    r->choose(kWeekly);
    r->week()->ShowDays(QStringLiteral("14"));
    deactivatePicker();
    QCOMPARE(r->value(kWeekly, QStringLiteral("Week")), QStringLiteral("14"));
    QCOMPARE(r->main()->editor()->weekString(), QStringLiteral("14"));
    // Tuesday 12:00, task at 09:30: today's Tuesday has passed, Friday is next.
    QCOMPARE(r->value(kWeekly, QStringLiteral("Date")), QStringLiteral("11.12.2026"));
    QCOMPARE(r->ui()->OnAirDate->date(), day(11));
}

void TestRecurrence::writeWeekNextDate_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("week");
    QTest::addColumn<QDate>("date");
    // Thursday 10 December, nothing ticked: today's digit.
    QTest::newRow("none, Thursday, ahead")
        << day(10) << QString() << QStringLiteral("18:00:00") << QStringLiteral("3") << day(10);
    QTest::newRow("none, Thursday, passed")
        << day(10) << QString() << QStringLiteral("09:00:00") << QStringLiteral("3") << day(17);
    // Wednesday 9 December.
    QTest::newRow("026, Wednesday, ahead")
        << day(9) << QStringLiteral("026") << QStringLiteral("18:00:00") << QStringLiteral("026")
        << day(9);
    QTest::newRow("026, Wednesday, passed")
        << day(9) << QStringLiteral("026") << QStringLiteral("09:00:00") << QStringLiteral("026")
        << day(13);
    // Saturday 12 December.
    QTest::newRow("01, Saturday") << day(12) << QStringLiteral("01") << QStringLiteral("18:00:00")
                                  << QStringLiteral("01") << day(14);
    // Sunday 13 December, only Sunday, passed: a week on.
    QTest::newRow("6, Sunday, passed")
        << day(13) << QStringLiteral("6") << QStringLiteral("09:00:00") << QStringLiteral("6")
        << day(20);
}

void TestRecurrence::writeWeekNextDate() {
    QFETCH(QDate, today);
    QFETCH(QString, ticked);
    QFETCH(QString, time);
    QFETCH(QString, week);
    QFETCH(QDate, date);
    r->clock.set(today, QTime(12, 0, 0));
    r->writeIni(
        QString(kFile).replace(QStringLiteral("Time=09:30:00"), QStringLiteral("Time=") + time));
    r->setAutoRec(true);
    r->choose(kWeekly);
    r->week()->ShowDays(ticked);
    deactivatePicker();
    QCOMPARE(r->value(kWeekly, QStringLiteral("Week")), week);
    QCOMPARE(r->value(kWeekly, QStringLiteral("Date")), r->date(daycount::fromDate(date)));
    QCOMPARE(r->ui()->OnAirDate->date(), date);
    // The picker's ticks are not changed.
    QCOMPARE(r->week()->tickedDays(), ticked);
}

void TestRecurrence::writeWeekInDaysModeSetsNoDate() {
    r->setAutoRec(true);
    r->choose(kEvery);
    r->week()->ShowDays(QString());
    deactivatePicker();
    QCOMPARE(r->value(kEvery, QStringLiteral("Week")), QString());
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("11.12.2026"));
    QCOMPARE(r->main()->editor()->weekString(), QString());
}

void TestRecurrence::writeWeekWithoutTaskOnlyKeepsPendingString() {
    r->choose(kWeekly);
    // Auto-record off.
    r->week()->ShowDays(QStringLiteral("5"));
    const QString before = r->ini();
    deactivatePicker();
    QCOMPARE(r->main()->editor()->weekString(), QStringLiteral("5"));
    QCOMPARE(r->ini(), before);
    // Auto-record on, no task loaded.
    r->setAutoRec(true);
    r->main()->taskList()->setCurrentTaskName(QString());
    r->week()->ShowDays(QStringLiteral("06"));
    const QString before2 = r->ini();
    deactivatePicker();
    QCOMPARE(r->main()->editor()->weekString(), QStringLiteral("06"));
    QCOMPARE(r->ini(), before2);
    // Hiding an active picker is a loss of activation too.
    r->week()->show();
    r->week()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(r->week()));
    r->week()->ShowDays(QStringLiteral("3"));
    r->week()->hide();
    QCOMPARE(r->main()->editor()->weekString(), QStringLiteral("3"));
}

void TestRecurrence::deactivationIsHandledBeforeTheClick() {
    r->setAutoRec(true);
    r->choose(kWeekly);
    r->week()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(r->week()));
    r->week()->ShowDays(QStringLiteral("0"));
    // The click that takes the activation away finds the days stored for the
    // task loaded while they were ticked.
    QString weekAtPress;
    bool seen = false;
    EventHook hook(r->ui()->edMsg, [&](QObject*, QEvent* e) {
        if (e->type() == QEvent::MouseButtonPress && !seen) {
            seen = true;
            weekAtPress = r->value(kWeekly, QStringLiteral("Week"));
            r->choose(kEvery);
        }
        return false;
    });
    QTest::mouseClick(r->ui()->edMsg, Qt::LeftButton);
    QVERIFY(seen);
    QCOMPARE(weekAtPress, QStringLiteral("0"));
    r->activateMain();
    // The later deactivation writes nothing to the other task.
    QCOMPARE(r->value(kEvery, QStringLiteral("Week")), QString());
    QCOMPARE(r->value(kWeekly, QStringLiteral("Week")), QStringLiteral("0"));
}

void TestRecurrence::saveStoresPendingWeek() {
    auto* ui = r->ui();
    r->main()->editor()->ShowEvent(QStringLiteral("¤"));
    ui->rgDays->button(1)->click();
    QVERIFY(r->week()->isVisible());
    r->week()->ShowDays(QStringLiteral("25"));
    deactivatePicker();
    ui->evName->setEditText(QStringLiteral("Бассейн"));
    ui->edTime->setText(QStringLiteral("19:00:00"));
    ui->sbSaveEvent->click();
    const QString name = QStringLiteral("Бассейн");
    QCOMPARE(r->value(name, QStringLiteral("Week")), QStringLiteral("25"));
    QCOMPARE(r->value(name, QStringLiteral("DayOrWeek")), QStringLiteral("1"));
    // Tuesday 12:00 is no chosen day: the schedule moves it to Wednesday.
    QCOMPARE(r->value(name, QStringLiteral("Date")), QStringLiteral("09.12.2026"));
}

void TestRecurrence::okSavesTheDaysThePickerShows() {
    // All by clicks, as a new user does: the picker is never touched
    // before "Ok".
    r->stop();
    r->writeIni(QString(kFile).replace(QStringLiteral("Day=5\nWeek=\n"),
                                       QStringLiteral("Day=5\nWeek=35\n")) +
                QStringLiteral("[Йога]\nActiving=1\nDate=13.12.2026\nDayOrWeek=1\n"
                               "Day=1\nWeek=06\nTime=07:00:00\nMessage=\nAction=0\n"
                               "Sound=0\nOnes=1\n"));
    r->startAndShow();
    auto* ui = r->ui();
    // A week-day task loaded by a click keeps its days.
    r->clickTask(kWeekly);
    QCOMPARE(r->week()->tickedDays(), QStringLiteral("24"));
    r->clickOk();
    QCOMPARE(r->value(kWeekly, QStringLiteral("Week")), QStringLiteral("24"));
    // After the picker was used with one task, another keeps its own days.
    r->tickDays(QStringLiteral("24"));
    r->clickTask(QStringLiteral("Йога"));
    r->clickOk();
    QCOMPARE(r->value(QStringLiteral("Йога"), QStringLiteral("Week")), QStringLiteral("06"));
    // An every-N-days task loads its days into the hidden picker, so that
    // they are what it shows when week-day mode brings it up.
    r->tickDays(QStringLiteral("0"));
    r->clickTask(kEvery);
    QVERIFY(r->week()->isHidden());
    r->clickInto(ui->rgDays->button(1));
    QVERIFY(r->week()->isVisible());
    QCOMPARE(r->week()->tickedDays(), QStringLiteral("35"));
    r->clickOk();
    QCOMPARE(r->value(kEvery, QStringLiteral("Week")), QStringLiteral("35"));
    QCOMPARE(r->value(kEvery, QStringLiteral("DayOrWeek")), QStringLiteral("1"));
    // A new week-day task starts with no day ticked, which means today
    // (Tuesday) as when the picker is left; not the days of the last task.
    r->clickInto(ui->sbNewEv);
    r->clickInto(ui->rgDays->button(1));
    QCOMPARE(r->week()->tickedDays(), QString());
    ui->evName->setEditText(QStringLiteral("Новое"));
    r->clickOk();
    QCOMPARE(r->value(QStringLiteral("Новое"), QStringLiteral("Week")), QStringLiteral("1"));
    QCOMPARE(r->value(QStringLiteral("Новое"), QStringLiteral("DayOrWeek")), QStringLiteral("1"));
    // A new every-N-days task saves no days.
    r->tickDays(QStringLiteral("5"));
    r->clickInto(ui->sbNewEv);
    ui->evName->setEditText(QStringLiteral("Каждый"));
    r->clickOk();
    QCOMPARE(r->value(QStringLiteral("Каждый"), QStringLiteral("Week")), QString());
    QCOMPARE(r->platform.boxes.size(), 3); // the three overwrite questions
}

void TestRecurrence::dayFieldFilter() {
    auto* ed = r->ui()->edDay;
    r->choose(kEvery);
    r->focus(ed);
    ed->end(false);
    r->typeText(ed, QStringLiteral("a Z-\r.д"));
    QTest::keyClick(ed, Qt::Key_Return);
    QTest::keyClick(ed, Qt::Key_Space);
    QCOMPARE(ed->text(), QStringLiteral("5"));
    r->typeText(ed, QStringLiteral("07"));
    QCOMPARE(ed->text(), QStringLiteral("507"));
    QTest::keyClick(ed, Qt::Key_Backspace);
    QCOMPARE(ed->text(), QStringLiteral("50"));
    QTest::keyClick(ed, Qt::Key_Left);
    QTest::keyClick(ed, Qt::Key_Delete);
    QCOMPARE(ed->text(), QStringLiteral("5"));
}

void TestRecurrence::dayFieldEscapeRestoresStoredN() {
    auto* ed = r->ui()->edDay;
    r->choose(kEvery);
    r->focus(ed);
    ed->selectAll();
    r->typeText(ed, QStringLiteral("12"));
    QTest::keyClick(ed, Qt::Key_Escape);
    QCOMPARE(ed->text(), QStringLiteral("5"));
    // No task loaded: Escape changes nothing.
    r->main()->taskList()->setCurrentTaskName(QString());
    r->typeText(ed, QStringLiteral("3"));
    QTest::keyClick(ed, Qt::Key_Escape);
    QCOMPARE(ed->text(), QStringLiteral("53"));
}

void TestRecurrence::dayFieldExitRestartsOnlyChangedN() {
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->choose(kEvery);
    r->focus(ui->edDay);
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("11.12.2026"));
    QCOMPARE(r->value(kEvery, QStringLiteral("Day")), QStringLiteral("5"));
    // A changed N restarts from today; with the task's 18:00 still ahead it
    // fires today, the first of its N days.
    r->retype(ui->edDay, QStringLiteral("3"));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kEvery, QStringLiteral("Day")), QStringLiteral("3"));
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("08.12.2026"));
    QCOMPARE(ui->OnAirDate->date(), day(8));
    // Past its time today, the schedule moves it on by N.
    r->clock.set(day(8), QTime(19, 0, 0));
    r->retype(ui->edDay, QStringLiteral("4"));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("12.12.2026"));
    QCOMPARE(ui->OnAirDate->date(), day(12));
    // Every 0 days would never come round: it is every day, in the field and
    // in the file, as a repeat count of 0 is once; so is a file's "Day=0".
    r->retype(ui->edDay, QStringLiteral("0"));
    r->focus(ui->edMsg);
    QCOMPARE(ui->edDay->text(), QStringLiteral("1"));
    QCOMPARE(r->value(kEvery, QStringLiteral("Day")), QStringLiteral("1"));
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("09.12.2026"));
    r->writeIni(r->ini().replace(QStringLiteral("Day=1"), QStringLiteral("Day=0")));
    r->choose(kEvery);
    QCOMPARE(ui->edDay->text(), QStringLiteral("1"));
}

void TestRecurrence::dayFieldRefusesTooLongANumberAndNoDateIsLeftSwitchesOff() {
    auto* ui = r->ui();
    EventCheckList* list = ui->clbEvents;
    const auto ticked = [&](const QString& name) { return list->isChecked(list->rowOfName(name)); };
    r->setAutoRec(true);
    r->choose(kEvery);
    const QString before = r->ini();

    // Too long for an integer: the error box, nothing written, not even by
    // "Ok", and the field keeps what was typed.
    const QString tooLong = QStringLiteral("99999999999");
    const QString refused = QStringLiteral("'99999999999' is not a valid integer value");
    r->retype(ui->edDay, tooLong);
    r->focus(ui->edMsg);
    QCOMPARE(r->errorTexts(), QStringList{refused});
    QCOMPARE(ui->edDay->text(), tooLong);
    ui->evName->setEditText(kEvery);
    r->clickOk();
    QCOMPARE(r->errorTexts(), (QStringList{refused, refused}));
    QCOMPARE(r->ini(), before);

    // Every 9,999,999 days from today, its 18:00 passed: no date of the
    // calendar is left. The task keeps today's date, switched off, and the
    // list shows it.
    r->clock.set(day(8), QTime(19, 0, 0));
    QVERIFY(ticked(kEvery));
    r->retype(ui->edDay, QStringLiteral("9999999"));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kEvery, QStringLiteral("Day")), QStringLiteral("9999999"));
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("08.12.2026"));
    QCOMPARE(r->value(kEvery, QStringLiteral("Activing")), QStringLiteral("0"));
    QCOMPARE(ui->OnAirDate->date(), day(8));
    QVERIFY(!ticked(kEvery));
    // Ticked again by the user, it cannot stay on.
    list->setChecked(list->rowOfName(kEvery), true);
    list->setCurrentRow(list->rowOfName(kEvery));
    r->main()->taskList()->clbEventsClickCheck();
    QCOMPARE(r->value(kEvery, QStringLiteral("Activing")), QStringLiteral("0"));
    QVERIFY(!ticked(kEvery));

    // Due at 20:00 today: it fires once, then is switched off, in the file
    // and in the list.
    r->writeIni(r->ini()
                    .replace(QStringLiteral("Time=18:00:00"), QStringLiteral("Time=20:00:00"))
                    .replace(QStringLiteral("Activing=0"), QStringLiteral("Activing=1")));
    r->main()->schedule()->RecalcSchedule();
    r->main()->taskList()->ApplySavedSort();
    QVERIFY(ticked(kEvery));
    r->clock.set(day(8), QTime(20, 0, 0, 3));
    r->main()->guard().run([&] { r->main()->firing()->Timer1Timer(); });
    QCOMPARE(r->windows->alarmWindow()->windowTitle(), QStringLiteral("Звонарька - ") + kEvery);
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("08.12.2026"));
    QCOMPARE(r->value(kEvery, QStringLiteral("Activing")), QStringLiteral("0"));
    QVERIFY(!ticked(kEvery));
    QVERIFY(ticked(kWeekly));
    QCOMPARE(r->errorTexts().size(), 2);
}

void TestRecurrence::dayFieldIsLeftByTabAndShiftTab() {
    auto* ed = r->ui()->edDay;
    r->setAutoRec(true);
    r->clickTask(kEvery);
    r->clickInto(ed);
    ed->selectAll();
    QTest::keyClicks(ed, QStringLiteral("7"));
    r->tab();
    QVERIFY(QApplication::focusWidget() != ed);
    // The exit handler ran: N is stored.
    QCOMPARE(r->value(kEvery, QStringLiteral("Day")), QStringLiteral("7"));
    r->clickInto(ed);
    ed->end(false);
    QTest::keyClicks(ed, QStringLiteral("0"));
    r->tab(true);
    QVERIFY(QApplication::focusWidget() != ed);
    QCOMPARE(r->value(kEvery, QStringLiteral("Day")), QStringLiteral("70"));
    QCOMPARE(ed->text(), QStringLiteral("70"));
}

void TestRecurrence::dateCloseUpWarnsForPastDate() {
    auto* ui = r->ui();
    // No calendar until the field first drops one down.
    QVERIFY(ui->OnAirDate->findChild<QCalendarWidget*>() == nullptr);
    ui->OnAirDate->setDate(day(7));
    // A press on the drop-down arrow at the field's right end.
    QTest::mouseClick(ui->OnAirDate, Qt::LeftButton, {},
                      QPoint(ui->OnAirDate->width() - 4, ui->OnAirDate->height() / 2));
    QWidget* popup = ui->OnAirDate->calendarWidget()->window();
    QVERIFY(popup->isVisible());
    popup->hide();
    QCOMPARE(r->platform.boxes.size(), 1);
    QCOMPARE(r->platform.boxes.at(0).kind, FakePlatform::Box::Information);
    QCOMPARE(r->platform.boxes.at(0).text,
             QStringLiteral("Указанная дата меньше текущей!\r"
                            "Задание сработает в ближайший подходящий день."));
    QCOMPARE(ui->OnAirDate->date(), day(7));
    ui->OnAirDate->setDate(day(8));
    popup->show();
    popup->hide();
    QCOMPARE(r->platform.boxes.size(), 1);
}

void TestRecurrence::dateExitStoresAndScheduleMovesIt() {
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->choose(kEvery);
    r->focus(ui->OnAirDate);
    ui->OnAirDate->setDate(day(20));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("20.12.2026"));
    // Yesterday: stored, then moved on by the schedule (every 5 days from
    // the 7th: the 12th), and the picker shows that.
    r->focus(ui->OnAirDate);
    ui->OnAirDate->setDate(day(7));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("12.12.2026"));
    QCOMPARE(ui->OnAirDate->date(), day(12));
}

void TestRecurrence::dateExitStoresTheHalfTypedDate() {
    r->stop();
    r->writeIni(QString(kFile).replace(QStringLiteral("Date=11.12.2026"),
                                       QStringLiteral("Date=25.01.2027")));
    r->startAndShow();
    auto* ui = r->ui();
    auto* field = ui->OnAirDate;
    r->setAutoRec(true);
    r->clickTask(kEvery);
    QCOMPARE(field->date(), QDate(2027, 1, 25));
    // "3" in the day, which could still become 30 or 31: the field holds the
    // text, not yet the date, when the focus leaves it.
    r->clickInto(field, QPoint(6, field->height() / 2));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(field));
    field->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(field, QStringLiteral("3"));
    r->clickInto(ui->edMsg);
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("03.01.2027"));
    QCOMPARE(field->date(), QDate(2027, 1, 3));
    // Without auto-record nothing is stored, and the typed date stays for "Ok".
    r->setAutoRec(false);
    r->clickInto(field, QPoint(6, field->height() / 2));
    field->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(field, QStringLiteral("2"));
    r->clickInto(ui->edMsg);
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("03.01.2027"));
    QCOMPARE(field->date(), QDate(2027, 1, 2));
    r->clickOk();
    QCOMPARE(r->value(kEvery, QStringLiteral("Date")), QStringLiteral("02.01.2027"));
}

void TestRecurrence::screenshot() {
    auto* list = r->ui()->clbEvents;
    list->setCurrentItem(list->findItems(kWeekly, Qt::MatchExactly).constFirst());
    r->choose(kWeekly);
    QVERIFY(r->week()->isVisible());
    r->screenshot(QStringLiteral("editor-weekdays.png"), true);
}

QTEST_MAIN(TestRecurrence)
#include "tst_recurrence.moc"
