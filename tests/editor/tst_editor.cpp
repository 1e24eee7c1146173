#include "tests/editor/editorfixture.h"

#include "scheduler/schedule.h"

#include "platform/systemplatform.h"
#include "uicommon/updown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QToolButton>

namespace {

const QString kTask = QStringLiteral("Зарядка");
const QString kCountdown = QStringLiteral("Таймер");

// A chosen task with every key of its own, and a running countdown armed at
// 12:00:00 for one hour.
const QString kFile = QStringLiteral("[Main]\nTop=0\n"
                                     "[Зарядка]\nActiving=0\nDate=08.12.2026\nDayOrWeek=0\n"
                                     "Day=2\nWeek=\nTime=18:30:00\nMessage=Пора\nAction=3\n"
                                     "App=/usr/bin/true\nSound=2\nOnes=4\n"
                                     "[Таймер]\nActiving=1\nDate=08.12.2026\nDayOrWeek=0\nDay=1\n"
                                     "Week=\nTimeGap=01:00:00\nTime=13:00:00\nMessage=\n"
                                     "Action=0\nSound=0\nOnes=1\n");

} // namespace

class TestEditor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void newTaskHasEveryDefault();
    void loadingShowsEveryKey();
    void loadingWithAutoRecordRewritesNothingElse();
    void saveTrimsLeadingBlanksOnlyAndWritesKeysInOrder();
    void saveRefusesEmptyAndSettingsNames();
    void overwriteAsksAndKeepsCheckState();
    void overwriteAsksForANameDifferingInCase();
    void overwriteAsksForANameWithBlanksAround();
    void countdownSavedBeforeMidnightEndsTomorrow();
    void clockModeSaveRemovesTimeGap();
    void saveChecksTheTimeBeforeWriting();
    void markerNamedTaskLoadsAsNew();

    void timeExitRangeCheck_data();
    void timeExitRangeCheck();
    void timeExitNamesDefaultAfterTheTime();
    void timeExitMovesRunningCountdown();
    void timeExitInClockModeWritesTime();
    void maskedTimeKeepsFocusWhileDigitMissing();
    void maskedTimeParse_data();
    void maskedTimeParse();
    void countdownBoxSwitchesAndRecords();
    void changedCountdownKeepsItsDateRight();
    void escapeBringsBackTheLastAcceptedTime();

    void actionShowsAppPanelAndRecords();
    void fileDialogPicksAndCancelStillRecords();
    void soundAndCountRecord();
    void countFieldTakesZeroAsOne();
    void messageSwitchesLayoutsAndRecords();
    void newTaskWritesNothingBeforeOk();
    void secondSaveOfEveryKindOfTaskChangesNothing();

    void realFileDialog();

    void screenshots();

private:
    std::unique_ptr<EditorRun> r;
};

void TestEditor::init() {
    r = std::make_unique<EditorRun>();
    r->writeIni(kFile);
    r->startAndShow();
}

void TestEditor::cleanup() {
    r.reset();
}

void TestEditor::newTaskHasEveryDefault() {
    auto* ui = r->ui();
    r->choose(kTask);
    r->main()->taskList()->setCurrentTaskName(QString());
    r->main()->editor()->ShowEvent(QStringLiteral("¤"));
    QCOMPARE(ui->evName->currentText(), QStringLiteral("12:00:00"));
    QCOMPARE(ui->OnAirDate->date(), QDate(2026, 12, 8));
    QCOMPARE(ui->edDay->text(), QStringLiteral("1"));
    QCOMPARE(ui->rgDays->itemIndex(), 0);
    QVERIFY(!ui->cbHours->isChecked());
    QCOMPARE(ui->edTime->timeText(), QStringLiteral("12:00:00"));
    QCOMPARE(ui->edMsg->text(), QString());
    QCOMPARE(ui->rgChoose->itemIndex(), 0);
    QVERIFY(ui->plAppCtrl->isHidden());
    QCOMPARE(ui->cbEvSound->currentIndex(), 0);
    QCOMPARE(ui->edOnes->text(), QStringLiteral("1"));
    QCOMPARE(ui->udOnes->position(), 1);
    QVERIFY(r->main()->taskList()->currentTaskName().isEmpty());
    QCOMPARE(ui->lbEvName->text(), QString());
    QCOMPARE(ui->lbEvTime->text(), QString());
    QVERIFY(ui->sbSaveEvent->isEnabled());
}

void TestEditor::loadingShowsEveryKey() {
    auto* ui = r->ui();
    r->choose(kTask);
    QCOMPARE(ui->edDay->text(), QStringLiteral("2"));
    QCOMPARE(ui->edTime->timeText(), QStringLiteral("18:30:00"));
    QVERIFY(!ui->cbHours->isChecked());
    QCOMPARE(ui->edMsg->text(), QStringLiteral("Пора"));
    QCOMPARE(ui->rgChoose->itemIndex(), 3);
    QVERIFY(!ui->plAppCtrl->isHidden());
    QCOMPARE(ui->edApp->text(), QStringLiteral("/usr/bin/true"));
    QCOMPARE(ui->cbEvSound->currentIndex(), 2);
    QCOMPARE(ui->udOnes->position(), 4);
    QCOMPARE(ui->edOnes->text(), QStringLiteral("4"));
    QCOMPARE(ui->lbEvName->text(), kTask);
    QCOMPARE(ui->lbEvTime->text(), QStringLiteral("18:30:00"));
    QCOMPARE(ui->evName->currentText(), kTask);
    // The focus goes to the task list.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui->clbEvents));

    r->choose(kCountdown);
    QVERIFY(ui->cbHours->isChecked());
    QCOMPARE(ui->edTime->timeText(), QStringLiteral("01:00:00"));
    QCOMPARE(ui->lbEvTime->text(), QStringLiteral("13:00:00"));
    QCOMPARE(ui->rgChoose->itemIndex(), 0);
    QVERIFY(ui->plAppCtrl->isHidden());

    // An empty name (the selection was removed): defaults, empty name box.
    r->choose(QString());
    QCOMPARE(ui->evName->currentText(), QString());
    QCOMPARE(ui->lbEvTime->text(), QStringLiteral("12:00:00"));
    QVERIFY(!ui->cbHours->isChecked());
    QCOMPARE(ui->udOnes->position(), 1);
}

void TestEditor::loadingWithAutoRecordRewritesNothingElse() {
    // Loading runs the groups' click handlers; with auto-record they write
    // to the task being loaded only, and what they write is its own value.
    r->setAutoRec(true);
    r->choose(kCountdown);
    const QStringList countdown = r->lines(kCountdown);
    const QStringList task = r->lines(kTask);
    r->choose(kTask);
    QCOMPARE(r->lines(kCountdown), countdown);
    QCOMPARE(r->lines(kTask), task);
    QCOMPARE(r->main()->taskList()->currentTaskName(), kTask);
}

void TestEditor::saveTrimsLeadingBlanksOnlyAndWritesKeysInOrder() {
    auto* ui = r->ui();
    r->main()->editor()->ShowEvent(QStringLiteral("¤"));
    ui->evName->setEditText(QString());
    r->focus(ui->evName);
    r->typeText(ui->evName->lineEdit(), QStringLiteral("  Обед "));
    ui->edTime->setText(QStringLiteral("13:15:00"));
    ui->edMsg->setText(QStringLiteral("Суп"));
    ui->cbEvSound->setCurrentIndex(1);
    ui->udOnes->setPosition(3);
    ui->sbSaveEvent->click();
    const QString name = QStringLiteral("Обед ");
    QCOMPARE(r->keyOrder(name), QStringList({QStringLiteral("Activing"), QStringLiteral("Date"),
                                             QStringLiteral("DayOrWeek"), QStringLiteral("Day"),
                                             QStringLiteral("Week"), QStringLiteral("Time"),
                                             QStringLiteral("Message"), QStringLiteral("Action"),
                                             QStringLiteral("Sound"), QStringLiteral("Ones")}));
    QCOMPARE(r->value(name, QStringLiteral("Activing")), QStringLiteral("1"));
    QCOMPARE(r->value(name, QStringLiteral("Date")), QStringLiteral("08.12.2026"));
    QCOMPARE(r->value(name, QStringLiteral("Day")), QStringLiteral("1"));
    QCOMPARE(r->value(name, QStringLiteral("Week")), QString());
    QCOMPARE(r->value(name, QStringLiteral("Time")), QStringLiteral("13:15:00"));
    QCOMPARE(r->value(name, QStringLiteral("Message")), QStringLiteral("Суп"));
    QCOMPARE(r->value(name, QStringLiteral("Sound")), QStringLiteral("1"));
    QCOMPARE(r->value(name, QStringLiteral("Ones")), QStringLiteral("3"));
    QVERIFY(r->ini().contains(QStringLiteral("[Обед ]")));
    QVERIFY(!r->ini().contains(QStringLiteral("[  Обед")));
    // Saved as new, it is loaded but not chosen.
    QCOMPARE(ui->lbEvName->text(), name);
    QVERIFY(r->main()->taskList()->currentTaskName().isEmpty());
    QVERIFY(r->platform.boxes.isEmpty());
}

void TestEditor::saveRefusesEmptyAndSettingsNames() {
    auto* ui = r->ui();
    const QString before = r->ini();
    ui->evName->setEditText(QStringLiteral(" \t  "));
    r->main()->editor()->sbSaveEventClick();
    QCOMPARE(r->errorTexts(),
             QStringList({QStringLiteral("Недопустимое имя задания.\rВведите хотябы один символ, "
                                         "отличный от пробела")}));
    ui->evName->setEditText(QStringLiteral(" mAiN"));
    r->main()->editor()->sbSaveEventClick();
    QCOMPARE(r->errorTexts().size(), 2);
    QCOMPARE(
        r->errorTexts().at(1),
        QStringLiteral("Имя \"Main\" занято настройками программы.\rВведите другое имя задания"));
    QCOMPARE(r->ini(), before);
}

void TestEditor::overwriteAsksAndKeepsCheckState() {
    auto* ui = r->ui();
    r->choose(kTask);
    ui->edMsg->setText(QStringLiteral("Новый текст"));
    // No: nothing is written.
    const QString before = r->ini();
    r->platform.answers = {false};
    ui->sbSaveEvent->click();
    QCOMPARE(r->platform.boxes.size(), 1);
    QCOMPARE(r->platform.boxes.at(0).kind, FakePlatform::Box::Question);
    QCOMPARE(r->platform.boxes.at(0).text,
             QStringLiteral("Настройка с таким именем уже есть.\rПереписать?"));
    QCOMPARE(r->ini(), before);
    // Yes: written, the task stays switched off as its check box shows.
    r->platform.answers = {true};
    ui->evName->setEditText(kTask);
    ui->edMsg->setText(QStringLiteral("Новый текст"));
    ui->sbSaveEvent->click();
    QCOMPARE(r->value(kTask, QStringLiteral("Message")), QStringLiteral("Новый текст"));
    QCOMPARE(r->value(kTask, QStringLiteral("Activing")), QStringLiteral("0"));
    // A switched-on task stays on.
    r->platform.answers = {true};
    r->choose(kCountdown);
    ui->sbSaveEvent->click();
    QCOMPARE(r->value(kCountdown, QStringLiteral("Activing")), QStringLiteral("1"));
}

void TestEditor::overwriteAsksForANameDifferingInCase() {
    auto* ui = r->ui();
    r->main()->editor()->ShowEvent(QStringLiteral("¤"));
    ui->evName->setEditText(QStringLiteral("тАЙМЕР"));
    const QString before = r->ini();
    r->platform.answers = {false};
    ui->sbSaveEvent->click();
    QCOMPARE(r->platform.boxes.size(), 1);
    QCOMPARE(r->platform.boxes.at(0).kind, FakePlatform::Box::Question);
    QCOMPARE(r->ini(), before);
}

void TestEditor::overwriteAsksForANameWithBlanksAround() {
    // The file reads "[Зарядка\t]" as "Зарядка": the same task.
    auto* ui = r->ui();
    r->clickInto(ui->sbNewEv);
    ui->evName->setEditText(kTask + QStringLiteral("\t "));
    const QString before = r->ini();
    r->clickOk(false);
    QCOMPARE(r->platform.boxes.size(), 1);
    QCOMPARE(r->platform.boxes.at(0).kind, FakePlatform::Box::Question);
    QCOMPARE(r->ini(), before);
    // Nor can such a name reach the settings section.
    ui->evName->setEditText(QStringLiteral("Main "));
    r->clickOk();
    QCOMPARE(r->errorTexts(),
             QStringList({QStringLiteral("Имя \"Main\" занято настройками "
                                         "программы.\rВведите другое имя задания")}));
    QCOMPARE(r->ini(), before);
}

void TestEditor::countdownSavedBeforeMidnightEndsTomorrow() {
    auto* ui = r->ui();
    r->clock.set(QDate(2026, 12, 8), QTime(23, 50, 0));
    r->main()->editor()->ShowEvent(QStringLiteral("¤"));
    ui->cbHours->setChecked(true);
    QCOMPARE(ui->edTime->timeText(), QStringLiteral("00:00:00"));
    ui->edTime->setText(QStringLiteral("00:30:00"));
    ui->evName->setEditText(QStringLiteral("Полночь"));
    ui->sbSaveEvent->click();
    const QString name = QStringLiteral("Полночь");
    QCOMPARE(r->value(name, QStringLiteral("TimeGap")), QStringLiteral("00:30:00"));
    QCOMPARE(r->value(name, QStringLiteral("Time")), QStringLiteral("00:20:00"));
    QCOMPARE(r->value(name, QStringLiteral("Date")), QStringLiteral("09.12.2026"));
    QCOMPARE(r->keyOrder(name).indexOf(QStringLiteral("TimeGap")),
             r->keyOrder(name).indexOf(QStringLiteral("Time")) - 1);
}

void TestEditor::clockModeSaveRemovesTimeGap() {
    auto* ui = r->ui();
    r->choose(kCountdown);
    QVERIFY(ui->cbHours->isChecked());
    ui->cbHours->setChecked(false);
    // Clearing the box puts the current time into the field.
    QCOMPARE(ui->edTime->timeText(), QStringLiteral("12:00:00"));
    ui->edTime->setText(QStringLiteral("08:00:00"));
    r->platform.answers = {true};
    ui->sbSaveEvent->click();
    QCOMPARE(r->value(kCountdown, QStringLiteral("TimeGap")), QStringLiteral("<absent>"));
    QCOMPARE(r->value(kCountdown, QStringLiteral("Time")), QStringLiteral("08:00:00"));
    r->choose(kCountdown);
    QVERIFY(!ui->cbHours->isChecked());
    QCOMPARE(ui->edTime->timeText(), QStringLiteral("08:00:00"));
}

void TestEditor::saveChecksTheTimeBeforeWriting() {
    auto* ui = r->ui();
    r->main()->editor()->ShowEvent(QStringLiteral("¤"));
    ui->evName->setEditText(QStringLiteral("Плохое"));
    const QString before = r->ini();
    ui->edTime->setText(QStringLiteral("12:75:00"));
    ui->sbSaveEvent->click();
    QCOMPARE(r->errorTexts(), QStringList({QStringLiteral("'12:75:00' is not a valid time")}));
    ui->edTime->setText(QStringLiteral("24:00:00"));
    ui->sbSaveEvent->click();
    QCOMPARE(r->errorTexts().last(), QStringLiteral("'24:00:00' is not a valid time"));
    QCOMPARE(r->ini(), before);
}

void TestEditor::markerNamedTaskLoadsAsNew() {
    auto* ui = r->ui();
    r->main()->editor()->ShowEvent(QStringLiteral("¤"));
    ui->evName->setEditText(QStringLiteral("¤"));
    ui->edMsg->setText(QStringLiteral("странное"));
    ui->sbSaveEvent->click();
    QCOMPARE(r->value(QStringLiteral("¤"), QStringLiteral("Message")), QStringLiteral("странное"));
    // Chosen in the list, it loads as a new task.
    r->choose(QStringLiteral("¤"));
    QVERIFY(r->main()->taskList()->currentTaskName().isEmpty());
    QCOMPARE(ui->lbEvName->text(), QString());
    QCOMPARE(ui->evName->currentText(), ui->edTime->timeText());
}

void TestEditor::timeExitRangeCheck_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<bool>("keepsFocus");
    QTest::newRow("24:00:00") << QStringLiteral("24:00:00")
                              << QStringList({QStringLiteral(
                                     "Промежуток должен быть\rот 00:00:00 до 23:59:59.")})
                              << true;
    QTest::newRow("23:60:00") << QStringLiteral("23:60:00")
                              << QStringList({QStringLiteral(
                                     "Промежуток должен быть\rот 00:00:00 до 23:59:59.")})
                              << true;
    QTest::newRow("23:59:59") << QStringLiteral("23:59:59") << QStringList() << false;
    // Passes the text check, then fails as a time when it is recorded.
    QTest::newRow("12:75:00") << QStringLiteral("12:75:00")
                              << QStringList({QStringLiteral("'12:75:00' is not a valid time")})
                              << false;
}

void TestEditor::timeExitRangeCheck() {
    QFETCH(QString, text);
    QFETCH(QStringList, errors);
    QFETCH(bool, keepsFocus);
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->choose(kTask);
    const QString before = r->ini();
    r->focus(ui->edTime);
    ui->edTime->setText(text);
    r->focus(ui->edMsg);
    QCOMPARE(r->errorTexts(), errors);
    QCOMPARE(QApplication::focusWidget() == ui->edTime, keepsFocus);
    if (errors.isEmpty())
        QCOMPARE(r->value(kTask, QStringLiteral("Time")), text);
    else
        QCOMPARE(r->ini(), before);
}

void TestEditor::timeExitNamesDefaultAfterTheTime() {
    auto* ui = r->ui();
    QCOMPARE(ui->evName->currentText(), QStringLiteral("Default"));
    const QString before = r->ini();
    r->focus(ui->edTime);
    ui->edTime->selectAll();
    r->typeText(ui->edTime, QStringLiteral("073000"));
    QCOMPARE(ui->edTime->timeText(), QStringLiteral("07:30:00"));
    r->focus(ui->edMsg);
    QCOMPARE(ui->evName->currentText(), QStringLiteral("07:30:00"));
    // Another name stays.
    ui->evName->setEditText(QStringLiteral("Моё"));
    r->focus(ui->edTime);
    r->focus(ui->edMsg);
    QCOMPARE(ui->evName->currentText(), QStringLiteral("Моё"));
    // No task chosen: nothing written.
    QCOMPARE(r->ini(), before);
}

void TestEditor::timeExitMovesRunningCountdown() {
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->choose(kCountdown);
    r->clock.set(QDate(2026, 12, 8), QTime(12, 10, 0));
    r->focus(ui->edTime);
    ui->edTime->setText(QStringLiteral("01:30:00"));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kCountdown, QStringLiteral("TimeGap")), QStringLiteral("01:30:00"));
    QCOMPARE(r->value(kCountdown, QStringLiteral("Time")), QStringLiteral("13:30:00"));
    QCOMPARE(ui->lbEvTime->text(), QStringLiteral("13:30:00"));
    // A change past midnight puts the end on tomorrow.
    r->focus(ui->edTime);
    ui->edTime->setText(QStringLiteral("13:00:00"));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kCountdown, QStringLiteral("Time")), QStringLiteral("01:00:00"));
    QCOMPARE(r->value(kCountdown, QStringLiteral("Date")), QStringLiteral("09.12.2026"));
}

void TestEditor::timeExitInClockModeWritesTime() {
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->choose(kTask);
    r->focus(ui->edTime);
    ui->edTime->setText(QStringLiteral("19:45:00"));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kTask, QStringLiteral("Time")), QStringLiteral("19:45:00"));
    QCOMPARE(ui->lbEvTime->text(), QStringLiteral("19:45:00"));
    QCOMPARE(r->value(kTask, QStringLiteral("TimeGap")), QStringLiteral("<absent>"));
}

void TestEditor::maskedTimeKeepsFocusWhileDigitMissing() {
    auto* ui = r->ui();
    r->focus(ui->edTime);
    ui->edTime->setText(QStringLiteral("12:00:00"));
    r->focus(ui->edMsg);
    r->focus(ui->edTime);
    const int layoutsBefore = int(r->platform.keyboardLayouts.size());
    ui->edTime->setCursorPosition(3);
    QTest::keyClick(ui->edTime, Qt::Key_Delete);
    QCOMPARE(ui->edTime->timeText(), QStringLiteral("12: 0:00"));
    ui->evName->setEditText(QStringLiteral("Default"));
    r->focus(ui->edMsg);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui->edTime));
    QTRY_COMPARE(
        r->errorTexts(),
        QStringList({QStringLiteral("Invalid input value.  Use escape key to abandon changes")}));
    // The exit handler did not run, and the message field was never entered.
    QCOMPARE(ui->evName->currentText(), QStringLiteral("Default"));
    QCOMPARE(r->platform.keyboardLayouts.size(), layoutsBefore);
    // Escape brings back the text of the entry; then the field can be left.
    QTest::keyClick(ui->edTime, Qt::Key_Escape);
    QCOMPARE(ui->edTime->timeText(), QStringLiteral("12:00:00"));
    r->focus(ui->edMsg);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui->edMsg));
    QCOMPARE(ui->evName->currentText(), QStringLiteral("12:00:00"));
    // The optional first digit may stay blank.
    r->focus(ui->edTime);
    ui->edTime->setText(QStringLiteral("07:05:00"));
    ui->edTime->setCursorPosition(0);
    QTest::keyClick(ui->edTime, Qt::Key_Delete);
    QCOMPARE(ui->edTime->timeText(), QStringLiteral(" 7:05:00"));
    r->focus(ui->edMsg);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui->edMsg));
    QCOMPARE(r->errorTexts().size(), 1);
}

void TestEditor::maskedTimeParse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");
    QTest::newRow("midnight") << QStringLiteral("00:00:00") << 0;
    QTest::newRow("last second") << QStringLiteral("23:59:59") << 86399;
    QTest::newRow("blank hour digit") << QStringLiteral(" 7:05:09") << 7 * 3600 + 5 * 60 + 9;
    QTest::newRow("hour 24") << QStringLiteral("24:00:00") << -1;
    QTest::newRow("minutes 75") << QStringLiteral("12:75:00") << -1;
    QTest::newRow("seconds 60") << QStringLiteral("12:00:60") << -1;
    QTest::newRow("missing digit") << QStringLiteral("12: 0:00") << 12 * 3600;
    QTest::newRow("empty minutes") << QStringLiteral("12:  :00") << -1;
}

void TestEditor::maskedTimeParse() {
    QFETCH(QString, text);
    QFETCH(int, seconds);
    const auto v = MaskedTimeEdit::parse(text);
    QCOMPARE(v.has_value(), seconds >= 0);
    if (v)
        QCOMPARE(qRound(*v * 86400), seconds);
}

void TestEditor::countdownBoxSwitchesAndRecords() {
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->choose(kTask);
    r->focus(ui->cbHours);
    ui->cbHours->setChecked(true);
    ui->edTime->setText(QStringLiteral("00:45:00"));
    r->focus(ui->edMsg);
    // As typed, and the countdown starts now (12:00:00).
    QCOMPARE(r->value(kTask, QStringLiteral("TimeGap")), QStringLiteral("00:45:00"));
    QCOMPARE(r->value(kTask, QStringLiteral("Time")), QStringLiteral("12:45:00"));
    QCOMPARE(ui->lbEvTime->text(), QStringLiteral("12:45:00"));
    r->focus(ui->cbHours);
    ui->cbHours->setChecked(false);
    QCOMPARE(ui->edTime->timeText(), QStringLiteral("12:00:00"));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kTask, QStringLiteral("TimeGap")), QStringLiteral("<absent>"));
    QCOMPARE(r->value(kTask, QStringLiteral("Time")), QStringLiteral("12:00:00"));
}

void TestEditor::changedCountdownKeepsItsDateRight() {
    // Armed at 23:50:00 for half an hour: it ends at 00:20:00 tomorrow.
    r->stop();
    r->clock.set(QDate(2026, 12, 8), QTime(23, 55, 0));
    r->writeIni(QString(kFile)
                    .replace(QStringLiteral("Date=08.12.2026\nDayOrWeek=0\nDay=1\n"),
                             QStringLiteral("Date=09.12.2026\nDayOrWeek=0\nDay=1\n"))
                    .replace(QStringLiteral("TimeGap=01:00:00\nTime=13:00:00"),
                             QStringLiteral("TimeGap=00:30:00\nTime=00:20:00")));
    r->startAndShow();
    auto* ui = r->ui();
    r->clickInto(ui->cbARec);
    QVERIFY(ui->cbARec->isChecked());
    r->clickTask(kCountdown);
    QCOMPARE(ui->OnAirDate->date(), QDate(2026, 12, 9));
    // Shortened to end before midnight: today, and the clock arms it.
    r->typeTime(QStringLiteral("000800"));
    r->tab();
    QCOMPARE(r->value(kCountdown, QStringLiteral("TimeGap")), QStringLiteral("00:08:00"));
    QCOMPARE(r->value(kCountdown, QStringLiteral("Time")), QStringLiteral("23:58:00"));
    QCOMPARE(r->value(kCountdown, QStringLiteral("Date")), QStringLiteral("08.12.2026"));
    const Schedule& schedule = *r->main()->schedule();
    QVERIFY(schedule.ActEvArmed);
    QCOMPARE(schedule.EvTable.entries.at(schedule.EvTable.ActEv).name, kCountdown);
    // To the last second of today, then one more: tomorrow from midnight on.
    r->typeTime(QStringLiteral("000959"));
    r->tab();
    QCOMPARE(r->value(kCountdown, QStringLiteral("Time")), QStringLiteral("23:59:59"));
    QCOMPARE(r->value(kCountdown, QStringLiteral("Date")), QStringLiteral("08.12.2026"));
    r->typeTime(QStringLiteral("001500"));
    r->tab();
    QCOMPARE(r->value(kCountdown, QStringLiteral("Time")), QStringLiteral("00:05:00"));
    QCOMPARE(r->value(kCountdown, QStringLiteral("Date")), QStringLiteral("09.12.2026"));
    // After midnight it is counted from the same start, 23:50:00 yesterday.
    r->clock.set(QDate(2026, 12, 9), QTime(0, 1, 0));
    r->typeTime(QStringLiteral("002000"));
    r->tab();
    QCOMPARE(r->value(kCountdown, QStringLiteral("Time")), QStringLiteral("00:10:00"));
    QCOMPARE(r->value(kCountdown, QStringLiteral("Date")), QStringLiteral("09.12.2026"));

    // "Ok" on the loaded countdown, whose date picker shows tomorrow: the
    // countdown starts now and ends today.
    r->clock.set(QDate(2026, 12, 9), QTime(22, 0, 0));
    r->clickInto(ui->cbARec);
    QVERIFY(!ui->cbARec->isChecked());
    r->stop();
    r->writeIni(QString(r->ini()).replace(QStringLiteral("Date=09.12.2026\nDayOrWeek=0\nDay=1\n"),
                                          QStringLiteral("Date=10.12.2026\nDayOrWeek=0\nDay=1\n")));
    r->startAndShow();
    ui = r->ui();
    r->clickTask(kCountdown);
    QCOMPARE(ui->OnAirDate->date(), QDate(2026, 12, 10));
    r->typeTime(QStringLiteral("013000"));
    r->clickOk();
    QCOMPARE(r->value(kCountdown, QStringLiteral("Time")), QStringLiteral("23:30:00"));
    QCOMPARE(r->value(kCountdown, QStringLiteral("Date")), QStringLiteral("09.12.2026"));
    // Ending at 24:00:00 exactly is tomorrow.
    r->typeTime(QStringLiteral("020000"));
    r->clickOk();
    QCOMPARE(r->value(kCountdown, QStringLiteral("Date")), QStringLiteral("10.12.2026"));

    // A clock task dated tomorrow made a countdown with auto-record: the box
    // starts it now, today.
    // (The schedule moved it there: every two days, its time passed on the 8th.)
    r->clickInto(ui->cbARec);
    r->clickTask(kTask);
    QCOMPARE(ui->OnAirDate->date(), QDate(2026, 12, 10));
    r->clickInto(ui->cbHours);
    QVERIFY(ui->cbHours->isChecked());
    r->typeTime(QStringLiteral("004500"));
    r->tab();
    QCOMPARE(r->value(kTask, QStringLiteral("TimeGap")), QStringLiteral("00:45:00"));
    QCOMPARE(r->value(kTask, QStringLiteral("Time")), QStringLiteral("22:45:00"));
    QCOMPARE(r->value(kTask, QStringLiteral("Date")), QStringLiteral("09.12.2026"));
}

void TestEditor::escapeBringsBackTheLastAcceptedTime() {
    auto* ui = r->ui();
    auto* field = ui->edTime;
    // Accepted with the first hour digit left blank.
    r->typeTime(QStringLiteral("070500"));
    field->setCursorPosition(0);
    QTest::keyClick(field, Qt::Key_Delete);
    QCOMPARE(field->timeText(), QStringLiteral(" 7:05:00"));
    r->tab();
    QVERIFY(QApplication::focusWidget() != field);
    // A required digit deleted: the field keeps the focus until Escape
    // brings back that very text.
    r->clickInto(field);
    field->setCursorPosition(3);
    QTest::keyClick(field, Qt::Key_Delete);
    r->tab();
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(field));
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(field->timeText(), QStringLiteral(" 7:05:00"));
    r->tab();
    QVERIFY(QApplication::focusWidget() != field);
    // Out of range: the error, the focus back, and Escape still brings back
    // the accepted time, so the field can be left.
    r->typeTime(QStringLiteral("250000"));
    r->tab();
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(field));
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(field->timeText(), QStringLiteral(" 7:05:00"));
    r->tab();
    QVERIFY(QApplication::focusWidget() != field);
    // The first comes once its focus change is over, so in either order.
    QTRY_COMPARE(r->errorTexts().size(), 2);
    QVERIFY(r->errorTexts().contains(
        QStringLiteral("Invalid input value.  Use escape key to abandon changes")));
    QVERIFY(r->errorTexts().contains(
        QStringLiteral("Промежуток должен быть\rот 00:00:00 до 23:59:59.")));
    // A time loaded from a task is accepted too.
    r->clickTask(kTask);
    r->typeTime(QStringLiteral("240000"));
    r->tab();
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(field->timeText(), QStringLiteral("18:30:00"));
}

void TestEditor::actionShowsAppPanelAndRecords() {
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->choose(kCountdown);
    QVERIFY(ui->plAppCtrl->isHidden());
    ui->rgChoose->button(3)->click();
    QVERIFY(!ui->plAppCtrl->isHidden());
    QCOMPARE(r->value(kCountdown, QStringLiteral("Action")), QStringLiteral("3"));
    QCOMPARE(ui->edApp->text(), QString());
    ui->rgChoose->button(2)->click();
    QVERIFY(ui->plAppCtrl->isHidden());
    QCOMPARE(r->value(kCountdown, QStringLiteral("Action")), QStringLiteral("2"));
    // Without auto-record nothing is written.
    r->setAutoRec(false);
    ui->rgChoose->button(1)->click();
    QCOMPARE(r->value(kCountdown, QStringLiteral("Action")), QStringLiteral("2"));
}

void TestEditor::fileDialogPicksAndCancelStillRecords() {
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->choose(kTask);
    ui->edApp->setText(QStringLiteral("/opt/prog"));
    // Cancelled: the text in the field is recorded all the same.
    ui->sbOpenDlg->click();
    QCOMPARE(r->platform.openFileDirs, QStringList({QStringLiteral("/")}));
    QCOMPARE(ui->edApp->text(), QStringLiteral("/opt/prog"));
    QCOMPARE(r->value(kTask, QStringLiteral("App")), QStringLiteral("/opt/prog"));
    // A double click in the field opens it too.
    r->platform.openFileAnswers = {QStringLiteral("/usr/bin/xterm")};
    QTest::mouseDClick(ui->edApp, Qt::LeftButton);
    QCOMPARE(r->platform.openFileDirs.size(), 2);
    QCOMPARE(ui->edApp->text(), QStringLiteral("/usr/bin/xterm"));
    QCOMPARE(r->value(kTask, QStringLiteral("App")), QStringLiteral("/usr/bin/xterm"));
    // Leaving the field records what was typed.
    r->focus(ui->edApp);
    ui->edApp->selectAll();
    r->typeText(ui->edApp, QStringLiteral("/home/док.txt"));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kTask, QStringLiteral("App")), QStringLiteral("/home/док.txt"));
}

void TestEditor::soundAndCountRecord() {
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->choose(kTask);
    // A choice of the user's is recorded.
    ui->cbEvSound->setCurrentIndex(3);
    QCOMPARE(r->value(kTask, QStringLiteral("Sound")), QStringLiteral("2"));
    Q_EMIT ui->cbEvSound->activated(3);
    QCOMPARE(r->value(kTask, QStringLiteral("Sound")), QStringLiteral("3"));
    // The arrows move the field and record.
    ui->udOnes->upButton()->click();
    QCOMPARE(ui->edOnes->text(), QStringLiteral("5"));
    QCOMPARE(r->value(kTask, QStringLiteral("Ones")), QStringLiteral("5"));
    for (int i = 0; i < 6; ++i)
        ui->udOnes->upButton()->click();
    QCOMPARE(ui->udOnes->position(), 9);
    QCOMPARE(r->value(kTask, QStringLiteral("Ones")), QStringLiteral("9"));
    // Typing moves the arrows; leaving records.
    r->focus(ui->edOnes);
    ui->edOnes->selectAll();
    QTest::keyClicks(ui->edOnes, QStringLiteral("2"));
    QCOMPARE(ui->udOnes->position(), 2);
    QCOMPARE(r->value(kTask, QStringLiteral("Ones")), QStringLiteral("9"));
    r->focus(ui->edMsg);
    QCOMPARE(r->value(kTask, QStringLiteral("Ones")), QStringLiteral("2"));
}

void TestEditor::countFieldTakesZeroAsOne() {
    auto* ui = r->ui();
    ui->udOnes->setPosition(5);
    r->focus(ui->edOnes);
    ui->edOnes->selectAll();
    QTest::keyClicks(ui->edOnes, QStringLiteral("0"));
    QCOMPARE(ui->edOnes->text(), QStringLiteral("1"));
    QCOMPARE(ui->udOnes->position(), 1);
    // A text that is no number: the box, and the arrows keep their place.
    ui->udOnes->setPosition(4);
    ui->edOnes->clear();
    QCOMPARE(r->errorTexts(), QStringList({QStringLiteral("'' is not a valid integer value")}));
    QCOMPARE(ui->udOnes->position(), 4);
}

void TestEditor::messageSwitchesLayoutsAndRecords() {
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->choose(kTask);
    r->platform.keyboardLayouts.clear();
    r->focus(ui->edMsg);
    QCOMPARE(r->platform.keyboardLayouts, QStringList({QStringLiteral("00000419")}));
    ui->edMsg->selectAll();
    r->typeText(ui->edMsg, QStringLiteral("Выпить чай"));
    r->focus(ui->edTime);
    QCOMPARE(r->platform.keyboardLayouts,
             QStringList({QStringLiteral("00000419"), QStringLiteral("00000409")}));
    QCOMPARE(r->value(kTask, QStringLiteral("Message")), QStringLiteral("Выпить чай"));
    // Another window taking the activation is no leaving of the field.
    r->focus(ui->edMsg);
    r->week()->show();
    r->week()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(r->week()));
    QCOMPARE(r->platform.keyboardLayouts.size(), 3);
    r->activateMain();
    QCOMPARE(r->platform.keyboardLayouts.size(), 3);
}

void TestEditor::newTaskWritesNothingBeforeOk() {
    auto* ui = r->ui();
    r->setAutoRec(true);
    r->main()->editor()->ShowEvent(QStringLiteral("¤"));
    const QString before = r->ini();
    r->focus(ui->edTime);
    ui->edTime->setText(QStringLiteral("06:00:00"));
    r->focus(ui->cbHours);
    ui->cbHours->setChecked(true);
    r->focus(ui->edMsg);
    r->typeText(ui->edMsg, QStringLiteral("Подъём"));
    r->focus(ui->edApp);
    ui->rgChoose->button(3)->click();
    r->focus(ui->edApp);
    ui->edApp->setText(QStringLiteral("/bin/true"));
    ui->sbOpenDlg->click();
    Q_EMIT ui->cbEvSound->activated(1);
    ui->udOnes->upButton()->click();
    r->focus(ui->edOnes);
    ui->rgDays->button(1)->click();
    r->focus(ui->edDay);
    r->focus(ui->edMsg);
    QCOMPARE(r->ini(), before);
    ui->evName->setEditText(QStringLiteral("Подъём"));
    ui->sbSaveEvent->click();
    QCOMPARE(r->value(QStringLiteral("Подъём"), QStringLiteral("Message")),
             QStringLiteral("Подъём"));
    QCOMPARE(r->value(QStringLiteral("Подъём"), QStringLiteral("App")),
             QStringLiteral("/bin/true"));
    QCOMPARE(r->value(QStringLiteral("Подъём"), QStringLiteral("Ones")), QStringLiteral("2"));
}

void TestEditor::secondSaveOfEveryKindOfTaskChangesNothing() {
    // Each kind of task entered as a new user does, saved with "Ok"; then
    // each is clicked in the list and saved again: the file must not change.
    struct Kind {
        QString name;
        QString time; // six digits
        bool countdown;
        int rule;
        QString day;
        QString week; // ticked in the picker
        QString message;
        int action;
        QString app;
        int sound;
        int ones;
        QString savedWeek;
    };
    const QString today = QStringLiteral("1"); // Tuesday
    QList<Kind> kinds = {
        {u"Часы"_qs, u"073000"_qs, false, 0, u"1"_qs, {}, u"Подъём!"_qs, 0, {}, 1, 3, {}},
        {u"Отсчёт"_qs, u"004500"_qs, true, 0, u"1"_qs, {}, u"  с пробелами  "_qs, 0, {}, 2, 1, {}},
        {u"Каждые 3"_qs, u"180000"_qs, false, 0, u"3"_qs, {}, {}, 1, {}, 3, 9, {}},
        {u"Программа"_qs,
         u"200000"_qs,
         false,
         0,
         u"12"_qs,
         {},
         u"x"_qs,
         3,
         u"/usr/bin/env два слова"_qs,
         0,
         2,
         {}},
        {u"Без дня"_qs, u"090000"_qs, false, 1, u"1"_qs, {}, {}, 2, {}, 1, 1, today},
        {u"Отсчёт по средам"_qs, u"013000"_qs, true, 1, u"1"_qs, u"2"_qs, {}, 0, {}, 0, 1, {}},
    };
    const QStringList sets = {u"0"_qs, u"1"_qs,   u"2"_qs,  u"3"_qs,       u"4"_qs, u"5"_qs,
                              u"6"_qs, u"024"_qs, u"56"_qs, u"0123456"_qs, u"13"_qs};
    for (qsizetype i = 0; i < sets.size(); ++i) {
        const int action = int(i % 4);
        kinds.append({u"Дни "_qs + sets.at(i),
                      u"1%1%2"_qs.arg(i % 10).arg(i % 6) + u"000"_qs,
                      false,
                      1,
                      u"1"_qs,
                      sets.at(i),
                      u"Неделя "_qs + sets.at(i),
                      action,
                      action == 3 ? u"/opt/app"_qs : QString(),
                      int(i / 4 % 4),
                      int(i % 9 + 1),
                      {}});
    }

    auto* ui = r->ui();
    for (const Kind& k : kinds) {
        r->clickInto(ui->sbNewEv);
        r->clickInto(ui->evName->lineEdit());
        ui->evName->lineEdit()->selectAll();
        r->typeText(ui->evName->lineEdit(), k.name);
        if (k.countdown)
            r->clickInto(ui->cbHours);
        r->typeTime(k.time);
        r->tab();
        r->clickInto(ui->rgDays->button(k.rule));
        r->clickInto(ui->edDay);
        ui->edDay->selectAll();
        QTest::keyClicks(ui->edDay, k.day);
        if (k.rule == 1)
            r->tickDays(k.week);
        r->clickInto(ui->edMsg);
        r->typeText(ui->edMsg, k.message);
        r->clickInto(ui->rgChoose->button(k.action));
        if (k.action == 3) {
            r->clickInto(ui->edApp);
            r->typeText(ui->edApp, k.app);
        }
        ui->cbEvSound->setCurrentIndex(k.sound);
        r->clickInto(ui->edOnes);
        ui->edOnes->selectAll();
        QTest::keyClicks(ui->edOnes, QString::number(k.ones));
        r->clickOk(false);
        QCOMPARE(ui->lbEvName->text(), k.name);
    }
    QCOMPARE(r->errorTexts(), QStringList());
    QVERIFY(r->platform.boxes.isEmpty());

    // Saved as entered.
    for (const Kind& k : kinds) {
        QCOMPARE(r->value(k.name, u"DayOrWeek"_qs), QString::number(k.rule));
        QCOMPARE(r->value(k.name, u"Day"_qs), k.day);
        QCOMPARE(r->value(k.name, u"Week"_qs), k.savedWeek.isEmpty() ? k.week : k.savedWeek);
        QCOMPARE(r->value(k.name, u"TimeGap"_qs) != u"<absent>"_qs, k.countdown);
        QCOMPARE(r->value(k.name, u"Message"_qs), k.message);
        QCOMPARE(r->value(k.name, u"Action"_qs), QString::number(k.action));
        QCOMPARE(r->value(k.name, u"App"_qs), k.action == 3 ? k.app : u"<absent>"_qs);
        QCOMPARE(r->value(k.name, u"Sound"_qs), QString::number(k.sound));
        QCOMPARE(r->value(k.name, u"Ones"_qs), QString::number(k.ones));
    }
    const QString saved = r->ini();
    for (const Kind& k : kinds) {
        r->clickTask(k.name);
        QCOMPARE(r->main()->taskList()->currentTaskName(), k.name);
        r->clickOk(true);
    }
    QCOMPARE(r->platform.boxes.size(), kinds.size());
    QCOMPARE(r->ini(), saved);
    // And so after a restart (which writes the window's place).
    r->stop();
    r->startAndShow();
    const QString restarted = r->ini();
    for (const Kind& k : kinds) {
        r->clickTask(k.name);
        r->clickOk(true);
    }
    QCOMPARE(r->ini(), restarted);
}

namespace {

// Runs f on the file dialog once it is open and modal; gives up (closing
// whatever is modal) after five seconds, so a fault cannot hang the test.
void whenDialogOpens(const std::function<void(QFileDialog*)>& f) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, f] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog != nullptr && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            f(dialog);
        } else if (++*tries > 100) {
            timer->stop();
            timer->deleteLater();
            if (auto* d = qobject_cast<QDialog*>(modal))
                d->reject();
        }
    });
    timer->start(50);
}

} // namespace

void TestEditor::realFileDialog() {
    // The real dialog: its three filters, opening in the root, and a
    // cancelled one gives no path.
    SystemPlatform platform;
    QStringList filters;
    QString opened;
    whenDialogOpens([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        opened = dialog->directory().absolutePath();
        dialog->reject();
    });
    QCOMPARE(platform.getOpenFileName(nullptr, QStringLiteral("/")), QString());
    QCOMPARE(filters,
             QStringList({QStringLiteral("Ехе-шники (*)"), QStringLiteral("Текстовики (*.txt)"),
                          QStringLiteral("Все файлы (*)")}));
    QCOMPARE(opened, QStringLiteral("/"));
}

void TestEditor::screenshots() {
    // Chosen in the list, as the user does.
    auto* list = r->ui()->clbEvents;
    list->setCurrentItem(list->findItems(kCountdown, Qt::MatchExactly).constFirst());
    r->choose(kCountdown);
    QVERIFY(r->ui()->cbHours->isChecked());
    r->screenshot(QStringLiteral("editor-countdown.png"), false);
    list->setCurrentItem(list->findItems(kTask, Qt::MatchExactly).constFirst());
    r->choose(kTask);
    QVERIFY(r->ui()->plAppCtrl->isVisible());
    r->screenshot(QStringLiteral("editor-app.png"), false);
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
