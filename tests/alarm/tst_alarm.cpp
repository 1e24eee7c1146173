#include "tests/tasklist/tasklistfixture.h"

#include "alarm/alarmwindow.h"
#include "scheduler/schedule.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QToolButton>

namespace {

QString file(std::initializer_list<QString> parts) {
    QString s = QStringLiteral("[Main]\nTop=0\n");
    for (const QString& p : parts)
        s += p;
    return s;
}

} // namespace

class TestAlarm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void geometryAndControls();
    void messageModeResetsOptionsOnEveryShow();
    void switchOffCountsDownToThePowerCall();
    void buttonCancelsTheCountdown();
    void closeBoxCancelsTheCountdown();
    void foregroundKeeperRunsOnlyWhileShown();
    void bothOptionsWithDeletionDeclined();
    void deleteOptionAnsweredYes();
    void deactivateMovesTheMarkOn();
    void optionsForATaskNoLongerListed();
    void secondShowWhileShownKeepsModeAndOptions();
    void captionCarriesTheWholeName();
    void messageLeftRoundsHalfToEven_data();
    void messageLeftRoundsHalfToEven();
    void messageIsCentredOnShow();
    void firedTasksOpenTheWindowInTheirMode();

private:
    AlarmWindow* msg() const { return r->windows->alarmWindow(); }
    QLabel* label(const char* name) const {
        return msg()->findChild<QLabel*>(QString::fromLatin1(name));
    }
    QCheckBox* box(const char* name) const {
        return msg()->findChild<QCheckBox*>(QString::fromLatin1(name));
    }
    QToolButton* okButton() const { return msg()->findChild<QToolButton*>(QStringLiteral("sbOk")); }
    void fire(const QString& name, int action, const QString& message = QString()) {
        msg()->setFiredTask(name, TaskAction(action));
        if (!message.isEmpty())
            msg()->setMessage(message);
        msg()->showAlarm();
    }

    std::unique_ptr<Run> r;
};

void TestAlarm::init() {
    r = std::make_unique<Run>();
    QVERIFY(r->dir.isValid());
    r->writeIni(file({task(QStringLiteral("Обед"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("Ужин"), QStringLiteral("19:00:00"))}));
    r->start();
    QVERIFY(msg() != nullptr);
    QVERIFY(!msg()->isVisible());
}

void TestAlarm::cleanup() {
    r.reset();
}

void TestAlarm::geometryAndControls() {
    QCOMPARE(msg()->size(), QSize(244, 83));
    QCOMPARE(msg()->minimumSize(), msg()->maximumSize());
    QVERIFY(msg()->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(msg()->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(msg()->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(msg()->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(msg()->windowTitle().isEmpty());
    QCOMPARE(label("lMsg")->pos(), QPoint(11, 9));
    QCOMPARE(label("lMsg")->text(), QString(13, u' '));
    QCOMPARE(label("lWarn")->pos(), QPoint(35, 9));
    QCOMPARE(label("lWarn")->text(), QStringLiteral("Комп будет выключен через 15 сек..."));
    QVERIFY(label("lWarn")->isHidden());
    QCOMPARE(box("cbDeactive")->pos(), QPoint(2, 36));
    QCOMPARE(box("cbDeactive")->text(), QStringLiteral("Отключить задание"));
    QCOMPARE(box("cbDel")->pos(), QPoint(131, 36));
    QCOMPARE(box("cbDel")->text(), QStringLiteral("Удалить задание"));
    QCOMPARE(okButton()->geometry(), QRect(88, 56, 73, 22));
    QCOMPARE(okButton()->text(), QStringLiteral("OK"));
    QCOMPARE(okButton()->palette().color(QPalette::ButtonText), QColor(Qt::blue));
    QCOMPARE(msg()->keepInFrontTimer().interval(), 100);
    QCOMPARE(msg()->countdownTimer().interval(), 1000);
    QVERIFY(!msg()->keepInFrontTimer().isActive());
    QVERIFY(!msg()->countdownTimer().isActive());
}

void TestAlarm::messageModeResetsOptionsOnEveryShow() {
    for (int round = 0; round < 2; ++round) {
        box("cbDeactive")->setChecked(true);
        box("cbDel")->setChecked(true);
        fire(QStringLiteral("Обед"), 0, QStringLiteral("Пора обедать"));
        QVERIFY(msg()->isVisible());
        QCOMPARE(msg()->windowTitle(), QStringLiteral("Звонарька - Обед"));
        QVERIFY(!box("cbDeactive")->isChecked());
        QVERIFY(!box("cbDel")->isChecked());
        QCOMPARE(label("lMsg")->text(), QStringLiteral("Пора обедать"));
        QVERIFY(label("lMsg")->isVisible());
        QVERIFY(label("lWarn")->isHidden());
        QCOMPARE(okButton()->text(), QStringLiteral("OK"));
        QVERIFY(!msg()->isSwitchOffMode());
        QVERIFY(!msg()->countdownTimer().isActive());
        QTest::mouseClick(okButton(), Qt::LeftButton);
        QVERIFY(!msg()->isVisible());
    }
    // Unticked options do nothing to the task.
    QCOMPARE(r->value(QStringLiteral("Обед"), QStringLiteral("Activing")), QStringLiteral("1"));
    QVERIFY(r->platform.boxes.isEmpty());
    QVERIFY(r->platform.powerCalls.isEmpty());
}

void TestAlarm::switchOffCountsDownToThePowerCall() {
    // The real timer, run fast.
    msg()->countdownTimer().setInterval(5);
    QStringList texts;
    QList<int> callsAtTick;
    connect(&msg()->countdownTimer(), &QTimer::timeout, this, [&] {
        texts.append(label("lWarn")->text());
        callsAtTick.append(int(r->platform.powerCalls.size()));
    });
    fire(QStringLiteral("Обед"), 2);
    QVERIFY(msg()->isSwitchOffMode());
    QVERIFY(label("lWarn")->isVisible());
    QVERIFY(label("lMsg")->isHidden());
    QCOMPARE(okButton()->text(), QStringLiteral("Отмена!"));
    QCOMPARE(msg()->countdownSeconds(), 15);
    QTRY_COMPARE(r->platform.powerCalls, QStringList({QStringLiteral("powerOff")}));
    QStringList expected;
    for (int n = 14; n >= 0; --n)
        expected.append(QStringLiteral("Комп будет выключен через %1 сек...").arg(n));
    QCOMPARE(texts, expected);
    // The call follows the update to 0 within the same tick, and only that one.
    QCOMPARE(callsAtTick.size(), 15);
    QCOMPARE(callsAtTick.last(), 1);
    QCOMPARE(callsAtTick.count(0), 14);
    QVERIFY(!msg()->countdownTimer().isActive());
    // The window stays, with the zero count.
    QTest::qWait(50);
    QCOMPARE(r->platform.powerCalls, QStringList({QStringLiteral("powerOff")}));
    QVERIFY(msg()->isVisible());
    QCOMPARE(okButton()->text(), QStringLiteral("Отмена!"));
    QCOMPARE(msg()->countdownSeconds(), 0);
    // The session did not end: the next alarm is shown as itself, not as a
    // caption over "...через 0 сек...", and the one behind it waits its turn.
    const QString later = QStringLiteral("Позвонить маме");
    msg()->present(QStringLiteral("Звонок"), TaskAction::ShowMessage, &later, true);
    const QString after = QStringLiteral("Полить цветы");
    msg()->present(QStringLiteral("Цветы"), TaskAction::ShowMessage, &after, true);
    // A firing that shows nothing leaves the window to the alarm on it; a
    // task ringing again while its alarm is shown or waits adds nothing.
    msg()->present(QStringLiteral("Перезагрузка"), TaskAction::Restart, nullptr, false);
    msg()->present(QStringLiteral("Звонок"), TaskAction::ShowMessage, &later, true);
    msg()->present(QStringLiteral("Цветы"), TaskAction::ShowMessage, &after, true);
    QCOMPARE(msg()->windowTitle(), QStringLiteral("Звонарька - Звонок"));
    QVERIFY(!msg()->isSwitchOffMode());
    QVERIFY(label("lMsg")->isVisible());
    QCOMPARE(label("lMsg")->text(), later);
    QCOMPARE(okButton()->text(), QStringLiteral("OK"));
    QCOMPARE(msg()->pendingAlarms(), 1);
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QCOMPARE(msg()->windowTitle(), QStringLiteral("Звонарька - Цветы"));
    QCOMPARE(label("lMsg")->text(), after);
    QCOMPARE(r->platform.powerCalls, QStringList({QStringLiteral("powerOff")}));
}

void TestAlarm::buttonCancelsTheCountdown() {
    msg()->countdownTimer().setInterval(5);
    fire(QStringLiteral("Обед"), 2);
    QTRY_VERIFY(msg()->countdownSeconds() <= 12);
    QVERIFY(msg()->countdownSeconds() > 0);
    box("cbDeactive")->setChecked(true);
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QVERIFY(!msg()->isVisible());
    QVERIFY(!msg()->countdownTimer().isActive());
    QTest::qWait(150);
    QVERIFY(r->platform.powerCalls.isEmpty());
    // The options apply as in message mode.
    QCOMPARE(r->value(QStringLiteral("Обед"), QStringLiteral("Activing")), QStringLiteral("0"));
}

void TestAlarm::closeBoxCancelsTheCountdown() {
    // The close box cancels as "Отмена!" does: a switch-off must never run
    // on behind a window the user has put away.
    msg()->countdownTimer().setInterval(5);
    fire(QStringLiteral("Обед"), 2);
    box("cbDeactive")->setChecked(true);
    box("cbDel")->setChecked(true);
    msg()->close();
    QVERIFY(!msg()->isVisible());
    QVERIFY(!msg()->keepInFrontTimer().isActive());
    QVERIFY(!msg()->countdownTimer().isActive());
    QTest::qWait(100);
    QVERIFY(r->platform.powerCalls.isEmpty());
    // The options were not applied.
    QCOMPARE(r->value(QStringLiteral("Обед"), QStringLiteral("Activing")), QStringLiteral("1"));
    QVERIFY(r->hasSection(QStringLiteral("Обед")));
    QVERIFY(r->platform.boxes.isEmpty());
}

void TestAlarm::foregroundKeeperRunsOnlyWhileShown() {
    fire(QStringLiteral("Обед"), 0, QStringLiteral("x"));
    QVERIFY(msg()->keepInFrontTimer().isActive());
    QVERIFY(QTest::qWaitForWindowExposed(msg()));
    r->main()->activateWindow();
    // Within a few ticks the alarm window has the foreground again.
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeWindow() == msg(), 2000);
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QVERIFY(!msg()->keepInFrontTimer().isActive());
}

void TestAlarm::bothOptionsWithDeletionDeclined() {
    EventCheckList* list = r->list();
    list->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    fire(QStringLiteral("Обед"), 2);
    box("cbDeactive")->setChecked(true);
    box("cbDel")->setChecked(true);
    r->platform.answers = {false};
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QCOMPARE(r->platform.boxes.size(), 1);
    QCOMPARE(r->platform.boxes.first().text, QStringLiteral("Удалить выбранные задания?"));
    // The task stays, switched off; the focused row (another task) untouched.
    QVERIFY(r->hasSection(QStringLiteral("Обед")));
    QCOMPARE(r->value(QStringLiteral("Обед"), QStringLiteral("Activing")), QStringLiteral("0"));
    QCOMPARE(r->value(QStringLiteral("Ужин"), QStringLiteral("Activing")), QStringLiteral("1"));
    QCOMPARE(r->rows(), QStringList({QStringLiteral("Обед"), QStringLiteral("Ужин")}));
    QVERIFY(!list->isChecked(0));
    QVERIFY(list->isChecked(1));
    QVERIFY(r->platform.powerCalls.isEmpty());
}

void TestAlarm::deleteOptionAnsweredYes() {
    EventCheckList* list = r->list();
    // Another task selected in the list must survive: only the fired one goes.
    list->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    fire(QStringLiteral("Обед"), 0, QStringLiteral("Пора"));
    box("cbDel")->setChecked(true);
    r->platform.answers = {true};
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QVERIFY(!r->hasSection(QStringLiteral("Обед")));
    QVERIFY(r->hasSection(QStringLiteral("Ужин")));
    QCOMPARE(r->rows(), QStringList({QStringLiteral("Ужин")}));
}

void TestAlarm::deactivateMovesTheMarkOn() {
    EventCheckList* list = r->list();
    QCOMPARE(list->armedRow(), 0);
    fire(QStringLiteral("Обед"), 0, QStringLiteral("Пора"));
    box("cbDeactive")->setChecked(true);
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QCOMPARE(r->value(QStringLiteral("Обед"), QStringLiteral("Activing")), QStringLiteral("0"));
    QCOMPARE(list->armedRow(), 1);
    QCOMPARE(r->main()->schedule()->EvTable.entries.at(r->main()->schedule()->EvTable.ActEv).name,
             QStringLiteral("Ужин"));
}

void TestAlarm::optionsForATaskNoLongerListed() {
    EventCheckList* list = r->list();
    list->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    const QString before = r->ini();
    fire(QStringLiteral("Полдник"), 0, QStringLiteral("Пора"));
    box("cbDeactive")->setChecked(true);
    box("cbDel")->setChecked(true);
    r->platform.answers = {true};
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QVERIFY(!msg()->isVisible());
    QVERIFY(r->platform.boxes.isEmpty());
    QCOMPARE(r->ini(), before);
    QCOMPARE(list->selectedItems().size(), 1);
    QCOMPARE(list->selectedItems().first()->text(), QStringLiteral("Ужин"));
}

void TestAlarm::secondShowWhileShownKeepsModeAndOptions() {
    msg()->countdownTimer().setInterval(60000);
    fire(QStringLiteral("Обед"), 0, QStringLiteral("Первое"));
    box("cbDeactive")->setChecked(true);
    // A switch-off task fires while the window is up: caption and message
    // change, nothing else.
    fire(QStringLiteral("Ужин"), 2, QStringLiteral("Второе"));
    QCOMPARE(msg()->windowTitle(), QStringLiteral("Звонарька - Ужин"));
    QCOMPARE(label("lMsg")->text(), QStringLiteral("Второе"));
    QVERIFY(!msg()->isSwitchOffMode());
    QCOMPARE(okButton()->text(), QStringLiteral("OK"));
    QVERIFY(!msg()->countdownTimer().isActive());
    QVERIFY(box("cbDeactive")->isChecked());
    // The button applies the options to the task of the current caption.
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QCOMPARE(r->value(QStringLiteral("Ужин"), QStringLiteral("Activing")), QStringLiteral("0"));
    QCOMPARE(r->value(QStringLiteral("Обед"), QStringLiteral("Activing")), QStringLiteral("1"));
    // Hidden, the next show decides the mode afresh.
    fire(QStringLiteral("Ужин"), 2);
    QVERIFY(msg()->isSwitchOffMode());
    QVERIFY(msg()->countdownTimer().isActive());
    QVERIFY(!box("cbDeactive")->isChecked());
}

void TestAlarm::captionCarriesTheWholeName() {
    QCOMPARE(kMsgCaptionPrefix.toString(), QStringLiteral("Звонарька - "));
    const QString longName = QString(300, u'Я');
    msg()->setFiredTask(longName, TaskAction::ShowMessage);
    QCOMPARE(msg()->windowTitle(), kMsgCaptionPrefix.toString() + longName);
    QCOMPARE(msg()->firedTaskName(), longName);
    // A caption set by hand reads back the same way.
    msg()->setWindowTitle(QStringLiteral("Звонарька - Обед"));
    QCOMPARE(msg()->firedTaskName(), QStringLiteral("Обед"));
}

void TestAlarm::messageLeftRoundsHalfToEven_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("chars");
    QTest::addColumn<int>("left");
    QTest::newRow("250 px, 10 characters") << 250 << 10 << 95;
    QTest::newRow("251 px: 95.5 to 96") << 251 << 10 << 96;
    QTest::newRow("249 px: 94.5 to 94") << 249 << 10 << 94;
    QTest::newRow("empty, 245 px: 122.5 to 122") << 245 << 0 << 122;
    QTest::newRow("empty, 247 px: 123.5 to 124") << 247 << 0 << 124;
    QTest::newRow("wider than the window") << 250 << 50 << -25;
    QTest::newRow("-9.5 to -10") << 251 << 45 << -10;
    QTest::newRow("-10.5 to -10") << 249 << 45 << -10;
    QTest::newRow("-11.5 to -12") << 247 << 45 << -12;
}

void TestAlarm::messageLeftRoundsHalfToEven() {
    QFETCH(int, width);
    QFETCH(int, chars);
    QFETCH(int, left);
    QCOMPARE(AlarmWindow::messageLeft(width, chars), left);
}

void TestAlarm::messageIsCentredOnShow() {
    fire(QStringLiteral("Обед"), 0, QStringLiteral("Десять сим"));
    QCOMPARE(label("lMsg")->x(), AlarmWindow::messageLeft(msg()->frameGeometry().width(), 10));
    QCOMPARE(label("lMsg")->y(), 9);
    QTest::mouseClick(okButton(), Qt::LeftButton);
    // A message too long for its line is broken into lines inside the
    // window, which grows by them; the next short one has the form back.
    const QSize form = msg()->size();
    const int okY = okButton()->y();
    fire(QStringLiteral("Обед"), 0,
         QStringLiteral("Пора обедать: суп уже на столе, второе греется, компот остывает"));
    QCOMPARE(label("lMsg")->x(), 11);
    QVERIFY(label("lMsg")->x() + label("lMsg")->width() <= msg()->width() - 11);
    QVERIFY(msg()->height() > form.height());
    QCOMPARE(okButton()->y() - okY, msg()->height() - form.height());
    QTest::mouseClick(okButton(), Qt::LeftButton);
    fire(QStringLiteral("Обед"), 0, QStringLiteral("Ок"));
    QCOMPARE(label("lMsg")->x(), AlarmWindow::messageLeft(msg()->frameGeometry().width(), 2));
    QCOMPARE(msg()->size(), form);
    QCOMPARE(okButton()->y(), okY);
    // A second task seconds later, its long message over the first's while
    // the window is up: broken into lines as well.
    fire(QStringLiteral("Ужин"), 0,
         QStringLiteral("Пора ужинать: котлеты уже на столе, пюре греется, чай остывает"));
    QCOMPARE(label("lMsg")->x(), 11);
    QVERIFY(msg()->height() > form.height());
}

void TestAlarm::firedTasksOpenTheWindowInTheirMode() {
    // Through the firing code: a test of a saved task of each showing action.
    QString off = task(QStringLiteral("Выкл"), QStringLiteral("20:00:00"));
    off.replace(QStringLiteral("Action=0"), QStringLiteral("Action=2"));
    off.replace(QStringLiteral("Message="), QStringLiteral("Message=не видно"));
    r->windows.reset();
    r->writeIni(file({task(QStringLiteral("Обед"), QStringLiteral("13:00:00")), off}));
    r->start();
    msg()->setMessage(QStringLiteral("прежнее"));
    r->main()->firing()->DoEvent(QStringLiteral("Выкл"), FireMode::Test);
    QVERIFY(msg()->isVisible());
    QCOMPARE(msg()->windowTitle(), QStringLiteral("Звонарька - Выкл"));
    QVERIFY(msg()->isSwitchOffMode());
    QCOMPARE(label("lMsg")->text(), QStringLiteral("прежнее"));
    QTest::mouseClick(okButton(), Qt::LeftButton);
    r->main()->firing()->DoEvent(QStringLiteral("Обед"), FireMode::Test);
    QVERIFY(msg()->isVisible());
    QVERIFY(!msg()->isSwitchOffMode());
    QCOMPARE(label("lMsg")->text(), QStringLiteral("Время пришло..."));
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QVERIFY(r->platform.powerCalls.isEmpty());
}

QTEST_MAIN(TestAlarm)
#include "tst_alarm.moc"
