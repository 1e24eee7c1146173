#include "tests/tasklist/tasklistfixture.h"

#include "scheduler/schedule.h"
#include "store/keys.h"

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>

#include "alarm/alarmwindow.h"

namespace {

QString file(std::initializer_list<QString> parts, const QString& main = QString()) {
    QString s = QStringLiteral("[Main]\nTop=0\n") + main;
    for (const QString& p : parts)
        s += p;
    return s;
}

QStringList comboItems(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

} // namespace

class TestTaskList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void emptyFileLeavesListEmptyAndDisabled();
    void savedSortOrder_data();
    void savedSortOrder();
    void sortCommandsStoreTheirOrder();
    void sortByNameKeepsTheChosenTaskSelected();
    void alphabeticalOrderIgnoresLetterCase();
    void checksMirrorActiving();
    void moreThan255Tasks();

    void armedTaskIsMarkedInTooltipColours();
    void clickingTheArmedTaskShowsItPlain();
    void ctrlClickDeselectsAndEmptiesCurrentTask();
    void rightClickKeepsTheSelection();
    void userCheckStoresActivingAndMovesTheMark();
    void checksFromCodeRunNoHandler();
    void hiddenCheckBoxOfTheMarkDoesNotToggle();
    void leavingTheListTakesTheChosenTask();

    void deleteAnsweredYes();
    void deleteAnsweredNo();
    void deleteKeyAsksOnlyInTheList();
    void deletingEveryTaskDisablesTheList();
    void deletedChosenTaskLeavesNoTraceWithAutoRecord();
    void newTaskDeselectsTheChosenOne();
    void nameBoxEnablesOkAndEnterSaves();

    void handEditedFileOfMixedEncodingsAndBlanks();

private:
    std::unique_ptr<Run> r;
};

void TestTaskList::init() {
    r = std::make_unique<Run>();
    QVERIFY(r->dir.isValid());
}

void TestTaskList::cleanup() {
    r.reset();
}

void TestTaskList::emptyFileLeavesListEmptyAndDisabled() {
    r->start();
    QCOMPARE(r->list()->count(), 0);
    QVERIFY(!r->list()->isEnabled());
    QCOMPARE(r->control<QLabel>("lbSort")->text(), QStringLiteral("и нет"));
    QVERIFY(!r->main()->taskList()->SortN()->isChecked());
    QVERIFY(!r->main()->taskList()->SortT()->isChecked());
    QVERIFY(!r->main()->taskList()->SortNo()->isChecked());
    // Sorting by time with no tasks lists nothing and keeps the list disabled.
    r->main()->taskList()->SortT()->trigger();
    QCOMPARE(r->list()->count(), 0);
    QVERIFY(!r->list()->isEnabled());
    QVERIFY(r->main()->taskList()->SortT()->isChecked());
    QCOMPARE(r->value(QStringLiteral("Main"), QStringLiteral("SortBy")), QStringLiteral("Time"));
}

void TestTaskList::savedSortOrder_data() {
    QTest::addColumn<QString>("sortBy");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("checkedItem");
    QTest::addColumn<QString>("caption");
    const QStringList fileOrder = {QStringLiteral("Полдник"), QStringLiteral("alpha"),
                                   QStringLiteral("Завтрак"), QStringLiteral("Beta")};
    const QStringList byName = {QStringLiteral("alpha"), QStringLiteral("Beta"),
                                QStringLiteral("Завтрак"), QStringLiteral("Полдник")};
    const QStringList byTime = {QStringLiteral("Завтрак"), QStringLiteral("Beta"),
                                QStringLiteral("alpha"), QStringLiteral("Полдник")};
    QTest::newRow("Name") << "Name" << byName << "SortN"
                          << "а по имени";
    QTest::newRow("Time") << "Time" << byTime << "SortT"
                          << "а по времени";
    QTest::newRow("No") << "No" << fileOrder << "SortNo"
                        << "и нет";
    QTest::newRow("absent") << "" << fileOrder << "SortNo"
                            << "и нет";
    QTest::newRow("name in lower case") << "name" << fileOrder << "SortNo"
                                        << "и нет";
    QTest::newRow("TIME in capitals") << "TIME" << fileOrder << "SortNo"
                                      << "и нет";
    QTest::newRow("other text") << "Date" << fileOrder << "SortNo"
                                << "и нет";
}

void TestTaskList::savedSortOrder() {
    QFETCH(QString, sortBy);
    QFETCH(QStringList, rows);
    QFETCH(QString, checkedItem);
    QFETCH(QString, caption);
    const QString main = sortBy.isEmpty() ? QString() : QStringLiteral("SortBy=") + sortBy + u'\n';
    r->writeIni(file({task(QStringLiteral("Полдник"), QStringLiteral("16:00:00")),
                      task(QStringLiteral("alpha"), QStringLiteral("14:00:00")),
                      task(QStringLiteral("Завтрак"), QStringLiteral("12:30:00")),
                      task(QStringLiteral("Beta"), QStringLiteral("13:00:00"))},
                     main));
    r->start();
    QCOMPARE(r->rows(), rows);
    QVERIFY(r->list()->isEnabled());
    QCOMPARE(r->control<QLabel>("lbSort")->text(), caption);
    for (QAction* a : {r->main()->taskList()->SortN(), r->main()->taskList()->SortT(),
                       r->main()->taskList()->SortNo()})
        QCOMPARE(a->isChecked(), a->objectName() == checkedItem);
    // The name box keeps its own alphabetical order, whatever the list's.
    QCOMPARE(comboItems(r->control<QComboBox>("evName")),
             QStringList({QStringLiteral("alpha"), QStringLiteral("Beta"),
                          QStringLiteral("Завтрак"), QStringLiteral("Полдник")}));
    // The nearest active task of today is marked.
    QCOMPARE(r->list()->armedRow(), rows.indexOf(QStringLiteral("Завтрак")));
}

void TestTaskList::sortCommandsStoreTheirOrder() {
    r->writeIni(file({task(QStringLiteral("b"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("a"), QStringLiteral("14:00:00"))}));
    r->start();
    QCOMPARE(r->rows(), QStringList({QStringLiteral("b"), QStringLiteral("a")}));
    MainWindow* w = r->main();
    w->taskList()->SortN()->trigger();
    QCOMPARE(r->value(QStringLiteral("Main"), QStringLiteral("SortBy")), QStringLiteral("Name"));
    QCOMPARE(r->rows(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(r->control<QLabel>("lbSort")->text(), QStringLiteral("а по имени"));
    // The mark follows its task when the rows move.
    QCOMPARE(r->list()->armedRow(), 1);
    w->taskList()->SortT()->trigger();
    QCOMPARE(r->value(QStringLiteral("Main"), QStringLiteral("SortBy")), QStringLiteral("Time"));
    QCOMPARE(r->rows(), QStringList({QStringLiteral("b"), QStringLiteral("a")}));
    QCOMPARE(r->control<QLabel>("lbSort")->text(), QStringLiteral("а по времени"));
    // A task added meanwhile lands at the end in file order, in place by name.
    QFile f(r->iniPath());
    QVERIFY(f.open(QIODevice::Append));
    f.write(task(QStringLiteral("0-first"), QStringLiteral("15:00:00")).toUtf8());
    f.close();
    w->taskList()->SortNo()->trigger();
    QCOMPARE(r->value(QStringLiteral("Main"), QStringLiteral("SortBy")), QStringLiteral("No"));
    QCOMPARE(r->rows(),
             QStringList({QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("0-first")}));
    QCOMPARE(r->control<QLabel>("lbSort")->text(), QStringLiteral("и нет"));
    w->taskList()->SortN()->trigger();
    QCOMPARE(r->rows(),
             QStringList({QStringLiteral("0-first"), QStringLiteral("a"), QStringLiteral("b")}));
    // The stored order comes back at the next start.
    r->windows.reset();
    r->start();
    QVERIFY(r->main()->taskList()->SortN()->isChecked());
    QCOMPARE(r->rows(),
             QStringList({QStringLiteral("0-first"), QStringLiteral("a"), QStringLiteral("b")}));
}

void TestTaskList::sortByNameKeepsTheChosenTaskSelected() {
    r->writeIni(file({task(QStringLiteral("c"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("a"), QStringLiteral("14:00:00")),
                      task(QStringLiteral("b"), QStringLiteral("15:00:00"))}));
    r->startAndShow();
    r->clickRow(2);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("b"));
    r->main()->taskList()->SortN()->trigger();
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("b"));
    QCOMPARE(r->list()->selectedItems().size(), 1);
    QCOMPARE(r->list()->selectedItems().first()->text(), QStringLiteral("b"));
    // Focused too: leaving the list keeps it chosen.
    QCOMPARE(r->list()->currentRow(), 1);
    r->main()->taskList()->SortT()->trigger();
    QCOMPARE(r->list()->selectedItems().size(), 1);
    QCOMPARE(r->list()->selectedItems().first()->text(), QStringLiteral("b"));
    QCOMPARE(r->list()->currentRow(), 2);
}

void TestTaskList::alphabeticalOrderIgnoresLetterCase() {
    QVERIFY(EventCheckList::nameLess(QStringLiteral("apple"), QStringLiteral("Banana")));
    QVERIFY(EventCheckList::nameLess(QStringLiteral("Apple"), QStringLiteral("banana")));
    QVERIFY(EventCheckList::nameLess(QStringLiteral("альфа"), QStringLiteral("Бета")));
    QVERIFY(EventCheckList::nameLess(QStringLiteral("АЛЬФА"), QStringLiteral("бета")));
    QVERIFY(!EventCheckList::nameLess(QStringLiteral("Бета"), QStringLiteral("альфа")));
    r->writeIni(file({task(QStringLiteral("банан"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("Zebra"), QStringLiteral("13:00:01")),
                      task(QStringLiteral("Арбуз"), QStringLiteral("13:00:02")),
                      task(QStringLiteral("apple"), QStringLiteral("13:00:03"))},
                     QStringLiteral("SortBy=Name\n")));
    r->start();
    const QStringList expected = {QStringLiteral("apple"), QStringLiteral("Zebra"),
                                  QStringLiteral("Арбуз"), QStringLiteral("банан")};
    QCOMPARE(r->rows(), expected);
    QCOMPARE(comboItems(r->control<QComboBox>("evName")), expected);
}

void TestTaskList::checksMirrorActiving() {
    r->writeIni(
        file({task(QStringLiteral("on"), QStringLiteral("13:00:00"), QStringLiteral("1")),
              task(QStringLiteral("off"), QStringLiteral("13:00:00"), QStringLiteral("0")),
              task(QStringLiteral("missing"), QStringLiteral("13:00:00"), QString()),
              task(QStringLiteral("two"), QStringLiteral("13:00:00"), QStringLiteral("2")),
              task(QStringLiteral("word"), QStringLiteral("13:00:00"), QStringLiteral("yes"))}));
    r->start();
    QCOMPARE(r->rows().size(), 5);
    QVERIFY(r->list()->isChecked(0));
    QVERIFY(!r->list()->isChecked(1));
    // Without the key the list shows the task on, but the clock passes it over.
    QVERIFY(r->list()->isChecked(2));
    QVERIFY(r->list()->isChecked(3));
    QVERIFY(r->list()->isChecked(4));
    // Listing writes nothing back.
    QCOMPARE(r->value(QStringLiteral("missing"), QStringLiteral("Activing")),
             QStringLiteral("<absent>"));
}

void TestTaskList::moreThan255Tasks() {
    QString text = QStringLiteral("[Main]\nTop=0\nSortBy=Time\n");
    for (int i = 0; i < 300; ++i)
        text += task(QStringLiteral("t%1").arg(i, 3, 10, QLatin1Char('0')),
                     QStringLiteral("13:%1:%2")
                         .arg(i / 60, 2, 10, QLatin1Char('0'))
                         .arg(i % 60, 2, 10, QLatin1Char('0')));
    r->writeIni(text);
    r->start();
    QCOMPARE(r->list()->count(), 300);
    QCOMPARE(r->list()->item(299)->text(), QStringLiteral("t299"));
    QCOMPARE(r->control<QComboBox>("evName")->count(), 300);
    QCOMPARE(r->list()->armedRow(), 0);
}

void TestTaskList::armedTaskIsMarkedInTooltipColours() {
    r->writeIni(file({task(QStringLiteral("later"), QStringLiteral("15:00:00")),
                      task(QStringLiteral("next"), QStringLiteral("13:00:00"))}));
    r->startAndShow();
    EventCheckList* list = r->list();
    QPalette pal = list->palette();
    pal.setColor(QPalette::ToolTipBase, QColor(0x12, 0xE4, 0x56));
    pal.setColor(QPalette::Base, Qt::white);
    list->setPalette(pal);
    QCOMPARE(list->armedRow(), 1);
    const auto colourInRow = [list](int row) {
        const QImage image = list->viewport()->grab().toImage();
        const QRect rect = list->visualItemRect(list->item(row));
        return image.pixelColor(rect.right() - 2, rect.center().y() - 3);
    };
    QCOMPARE(colourInRow(1), QColor(0x12, 0xE4, 0x56));
    QCOMPARE(colourInRow(0), QColor(Qt::white));
    list->setArmedRow(0);
    QCOMPARE(list->armedRow(), 0);
    QCOMPARE(colourInRow(0), QColor(0x12, 0xE4, 0x56));
    QCOMPARE(colourInRow(1), QColor(Qt::white));
    list->setArmedRow(-1);
    QCOMPARE(list->armedRow(), -1);
    QCOMPARE(colourInRow(0), QColor(Qt::white));
    QCOMPARE(list->rowOfName(QStringLiteral("next")), 1);
    QCOMPARE(list->rowOfName(QStringLiteral("NEXT")), -1);
    QCOMPARE(list->rowOfNameAnyCase(QStringLiteral("NEXT")), 1);
}

void TestTaskList::clickingTheArmedTaskShowsItPlain() {
    r->writeIni(file({task(QStringLiteral("later"), QStringLiteral("15:00:00")),
                      task(QStringLiteral("next"), QStringLiteral("13:00:00"))}));
    r->startAndShow();
    QCOMPARE(r->list()->armedRow(), 1);
    r->clickRow(1);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("next"));
    QCOMPARE(r->list()->armedRow(), -1);
    // Still the armed task: only its mark is off while it is edited.
    QVERIFY(r->main()->schedule()->ActEvArmed);
    r->clickRow(0);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("later"));
    QCOMPARE(r->list()->armedRow(), 1);
}

void TestTaskList::ctrlClickDeselectsAndEmptiesCurrentTask() {
    r->writeIni(file({task(QStringLiteral("a"), QStringLiteral("15:00:00")),
                      task(QStringLiteral("b"), QStringLiteral("16:00:00"))}));
    r->startAndShow();
    r->clickRow(0);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("a"));
    r->clickRow(1, Qt::ControlModifier);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("b"));
    QCOMPARE(r->list()->selectedItems().size(), 2);
    r->clickRow(1, Qt::ControlModifier);
    QVERIFY(r->main()->taskList()->currentTaskName().isEmpty());
    QCOMPARE(r->list()->selectedItems().size(), 1);
}

void TestTaskList::rightClickKeepsTheSelection() {
    r->writeIni(file({task(QStringLiteral("a"), QStringLiteral("15:00:00")),
                      task(QStringLiteral("b"), QStringLiteral("16:00:00"))}));
    r->startAndShow();
    r->clickRow(0);
    const QRect rect = r->list()->visualItemRect(r->list()->item(1));
    QTest::mouseClick(r->list()->viewport(), Qt::RightButton, Qt::NoModifier, rect.center());
    QCOMPARE(r->list()->selectedItems().size(), 1);
    QCOMPARE(r->list()->selectedItems().first()->text(), QStringLiteral("a"));
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("a"));
}

void TestTaskList::userCheckStoresActivingAndMovesTheMark() {
    r->writeIni(file({task(QStringLiteral("first"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("second"), QStringLiteral("14:00:00")),
                      task(QStringLiteral("third"), QStringLiteral("15:00:00"))}));
    r->startAndShow();
    EventCheckList* list = r->list();
    QCOMPARE(list->armedRow(), 0);
    // The space bar on the focused row.
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Space);
    QVERIFY(!list->isChecked(1));
    QCOMPARE(r->value(QStringLiteral("second"), QStringLiteral("Activing")), QStringLiteral("0"));
    QCOMPARE(list->armedRow(), 0);
    // The mouse on the check box of another row (it is chosen by the press).
    r->clickRow(2);
    r->clickCheckBox(2);
    QVERIFY(!list->isChecked(2));
    QCOMPARE(r->value(QStringLiteral("third"), QStringLiteral("Activing")), QStringLiteral("0"));
    // Switching the armed task off moves the mark to the next active task of
    // today, or, with none left, takes it away.
    r->clickRow(0);
    QCOMPARE(list->armedRow(), -1);
    r->clickCheckBox(0);
    QCOMPARE(r->value(QStringLiteral("first"), QStringLiteral("Activing")), QStringLiteral("0"));
    QVERIFY(!r->main()->schedule()->ActEvArmed);
    QCOMPARE(list->armedRow(), -1);
    // Back on: the second task is armed again.
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(r->value(QStringLiteral("second"), QStringLiteral("Activing")), QStringLiteral("1"));
    QVERIFY(r->main()->schedule()->ActEvArmed);
    QCOMPARE(list->armedRow(), 1);
}

void TestTaskList::checksFromCodeRunNoHandler() {
    r->writeIni(file({task(QStringLiteral("a"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("b"), QStringLiteral("14:00:00"), QStringLiteral("0"))}));
    r->startAndShow();
    const QString before = r->ini();
    QSignalSpy toggled(r->list(), &EventCheckList::userCheckToggled);
    QSignalSpy selected(r->list(), &EventCheckList::userSelectionChanged);
    r->list()->setChecked(0, false);
    r->list()->setChecked(1, true);
    r->list()->item(0)->setCheckState(Qt::Checked);
    r->list()->setCurrentRow(1);
    r->main()->taskList()->SortN()->trigger();
    QCOMPARE(toggled.size(), 0);
    QCOMPARE(selected.size(), 0);
    // Only the sort order was written.
    QString after = r->ini();
    after.replace(QStringLiteral("SortBy=Name"), QStringLiteral("SortBy=No"));
    QCOMPARE(after, before);
    // Listing again takes the checks from the file.
    QVERIFY(r->list()->isChecked(0));
    QVERIFY(!r->list()->isChecked(1));
}

void TestTaskList::hiddenCheckBoxOfTheMarkDoesNotToggle() {
    r->writeIni(file({task(QStringLiteral("next"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("later"), QStringLiteral("15:00:00"))}));
    r->startAndShow();
    QCOMPARE(r->list()->armedRow(), 0);
    // The press chooses the task and takes the mark off; the box it hid is
    // not ticked by the same click.
    r->clickCheckBox(0);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("next"));
    QVERIFY(r->list()->isChecked(0));
    QCOMPARE(r->value(QStringLiteral("next"), QStringLiteral("Activing")), QStringLiteral("1"));
    // Now that it shows, its box works.
    r->clickCheckBox(0);
    QVERIFY(!r->list()->isChecked(0));
    QCOMPARE(r->value(QStringLiteral("next"), QStringLiteral("Activing")), QStringLiteral("0"));
    // The space bar on a marked row does nothing either.
    r->list()->setArmedRow(1);
    r->list()->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    QTest::keyClick(r->list(), Qt::Key_Space);
    QVERIFY(r->list()->isChecked(1));
}

void TestTaskList::leavingTheListTakesTheChosenTask() {
    r->writeIni(file({task(QStringLiteral("a"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("b"), QStringLiteral("14:00:00"))}));
    r->startAndShow();
    QWidget* other = r->control<QWidget>("evName");
    r->list()->setFocus(Qt::OtherFocusReason);
    r->list()->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    r->main()->taskList()->setCurrentTaskName(QString());
    other->setFocus(Qt::TabFocusReason);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("b"));
    // The focused row no longer selected: nothing chosen.
    r->list()->setFocus(Qt::OtherFocusReason);
    r->list()->clearSelection();
    other->setFocus(Qt::MouseFocusReason);
    QVERIFY(r->main()->taskList()->currentTaskName().isEmpty());
    // A pop-up menu taking the focus is no leaving.
    r->list()->setFocus(Qt::OtherFocusReason);
    r->list()->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    r->main()->taskList()->setCurrentTaskName(QStringLiteral("kept"));
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(r->list(), &popup);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("kept"));
}

void TestTaskList::deleteAnsweredYes() {
    r->writeIni(file({task(QStringLiteral("a"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("b"), QStringLiteral("14:00:00")),
                      task(QStringLiteral("c"), QStringLiteral("15:00:00"))},
                     QStringLiteral("SortBy=Name\n")));
    r->startAndShow();
    r->clickRow(0);
    r->clickRow(2, Qt::ControlModifier);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("c"));
    r->platform.answers = {true};
    r->main()->taskList()->pmiDel()->trigger();
    QCOMPARE(r->platform.boxes.size(), 1);
    QCOMPARE(r->platform.boxes.first().kind, FakePlatform::Box::Question);
    QCOMPARE(r->platform.boxes.first().text, QStringLiteral("Удалить выбранные задания?"));
    QVERIFY(!r->hasSection(QStringLiteral("a")));
    QVERIFY(r->hasSection(QStringLiteral("b")));
    QVERIFY(!r->hasSection(QStringLiteral("c")));
    QCOMPARE(r->rows(), QStringList({QStringLiteral("b")}));
    QVERIFY(r->list()->isEnabled());
    QVERIFY(r->list()->selectedItems().isEmpty());
    QVERIFY(r->main()->taskList()->currentTaskName().isEmpty());
    QCOMPARE(r->list()->armedRow(), 0);
    QCOMPARE(r->main()->schedule()->EvTable.count(), 1);
    QCOMPARE(comboItems(r->control<QComboBox>("evName")), QStringList({QStringLiteral("b")}));
    QVERIFY(r->control<QLabel>("lbEvName")->text().isEmpty());
}

void TestTaskList::deleteAnsweredNo() {
    r->writeIni(file({task(QStringLiteral("a"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("b"), QStringLiteral("14:00:00"))}));
    r->startAndShow();
    r->clickRow(1);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("b"));
    const QString before = r->ini();
    r->platform.answers = {false};
    r->main()->taskList()->pmiDel()->trigger();
    QCOMPARE(r->platform.boxes.size(), 1);
    QVERIFY(r->hasSection(QStringLiteral("a")));
    QVERIFY(r->hasSection(QStringLiteral("b")));
    // Every task stays, but nothing is chosen any more.
    QCOMPARE(r->rows(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    QVERIFY(r->list()->selectedItems().isEmpty());
    QVERIFY(r->main()->taskList()->currentTaskName().isEmpty());
    QCOMPARE(r->list()->armedRow(), 0);
    QCOMPARE(r->value(QStringLiteral("b"), QStringLiteral("Activing")), QStringLiteral("1"));
    Q_UNUSED(before);
}

void TestTaskList::deleteKeyAsksOnlyInTheList() {
    r->writeIni(file({task(QStringLiteral("a"), QStringLiteral("13:00:00"))}));
    r->startAndShow();
    r->clickRow(0);
    r->platform.answers = {true};
    // Del in another control is that control's key.
    QWidget* msg = r->control<QWidget>("edMsg");
    msg->setFocus(Qt::TabFocusReason);
    QTest::keyClick(msg, Qt::Key_Delete);
    QVERIFY(r->platform.boxes.isEmpty());
    r->list()->setFocus(Qt::TabFocusReason);
    r->list()->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(r->list(), Qt::Key_Delete);
    QCOMPARE(r->platform.boxes.size(), 1);
    QVERIFY(!r->hasSection(QStringLiteral("a")));
}

void TestTaskList::deletingEveryTaskDisablesTheList() {
    r->writeIni(file({task(QStringLiteral("a"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("b"), QStringLiteral("14:00:00"))},
                     QStringLiteral("SortBy=Time\n")));
    r->startAndShow();
    r->list()->selectAll();
    r->platform.answers = {true};
    r->main()->taskList()->pmiDelClick();
    QCOMPARE(r->list()->count(), 0);
    QVERIFY(!r->list()->isEnabled());
    QCOMPARE(r->control<QComboBox>("evName")->count(), 0);
    QCOMPARE(r->control<QLabel>("lbSort")->text(), QStringLiteral("и нет"));
    QVERIFY(!r->main()->schedule()->ActEvArmed);
    // The stored order stays for the next tasks.
    QCOMPARE(r->value(QStringLiteral("Main"), QStringLiteral("SortBy")), QStringLiteral("Time"));
}

void TestTaskList::deletedChosenTaskLeavesNoTraceWithAutoRecord() {
    QString weekly = task(QStringLiteral("weekly"), QStringLiteral("13:00:00"));
    weekly.replace(QStringLiteral("DayOrWeek=0"), QStringLiteral("DayOrWeek=1\nWeek=1"));
    weekly.replace(QStringLiteral("Action=0"), QStringLiteral("Action=2"));
    r->writeIni(file({task(QStringLiteral("other"), QStringLiteral("14:00:00")), weekly},
                     QStringLiteral("AutoRec=1\n")));
    r->startAndShow();
    QVERIFY(r->hasSection(QStringLiteral("weekly")));
    r->clickRow(1);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("weekly"));
    r->platform.answers = {true};
    r->main()->taskList()->pmiDel()->trigger();
    QVERIFY(!r->hasSection(QStringLiteral("weekly")));
    QVERIFY(!r->ini().contains(QStringLiteral("weekly")));
    QCOMPARE(r->rows(), QStringList({QStringLiteral("other")}));
}

void TestTaskList::newTaskDeselectsTheChosenOne() {
    r->writeIni(file({task(QStringLiteral("a"), QStringLiteral("13:00:00")),
                      task(QStringLiteral("b"), QStringLiteral("14:00:00"))}));
    r->startAndShow();
    r->clickRow(0);
    r->clickRow(1, Qt::ControlModifier);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("b"));
    QTest::mouseClick(r->control<QToolButton>("sbNewEv"), Qt::LeftButton);
    QVERIFY(r->main()->taskList()->currentTaskName().isEmpty());
    // Only the chosen task's row loses its selection.
    QCOMPARE(r->list()->selectedItems().size(), 1);
    QCOMPARE(r->list()->selectedItems().first()->text(), QStringLiteral("a"));
}

void TestTaskList::nameBoxEnablesOkAndEnterSaves() {
    r->startAndShow();
    QComboBox* name = r->control<QComboBox>("evName");
    QToolButton* ok = r->control<QToolButton>("sbSaveEvent");
    name->setEditText(QString());
    QVERIFY(!ok->isEnabled());
    name->setFocus(Qt::TabFocusReason);
    r->typeText(name->lineEdit(), QStringLiteral("Подъём"));
    QCOMPARE(name->currentText(), QStringLiteral("Подъём"));
    QVERIFY(ok->isEnabled());
    QVERIFY(!r->hasSection(QStringLiteral("Подъём")));
    // Typed keys reach the combo box, which has the focus.
    QTest::keyClick(name, Qt::Key_Return);
    // Enter saves under the typed name, and the box adds nothing by itself.
    QVERIFY(r->hasSection(QStringLiteral("Подъём")));
    QCOMPARE(r->rows(), QStringList({QStringLiteral("Подъём")}));
    QCOMPARE(comboItems(name), QStringList({QStringLiteral("Подъём")}));
}

void TestTaskList::handEditedFileOfMixedEncodingsAndBlanks() {
    // Typed by hand, with blanks around names and words, and partly edited
    // by the Windows program: "[Ужин]" and its "Message=Суп" are
    // Windows-1251, the rest UTF-8.
    const QByteArray bytes = "[Main]\r\nTop=0\r\n SortBy = Name \r\n"
                             "[\xD3\xE6\xE8\xED]\r\nActiving=1\r\nDate=08.12.2026\r\n"
                             "DayOrWeek = 0 \r\nDay = 1\r\nTime = 19:00:00 \r\n"
                             "Message=\xD1\xF3\xEF\r\n"
                             "[ Будильник ]\r\nActiving = 1\r\nTime=07:00:00\r\nMessage=  \t \r\n"
                             "[Обед]\r\nTime=13:00:00\r\nMessage=Пора обедать\r\n";
    r->writeIni(bytes);
    r->startAndShow();
    QCOMPARE(r->rows(), (QStringList{QStringLiteral("Будильник"), QStringLiteral("Обед"),
                                     QStringLiteral("Ужин")}));
    QCOMPARE(r->main()->findChild<QLabel*>(QStringLiteral("lbSort"))->text(),
             QStringLiteral("а по имени"));
    auto* msg = r->main()->findChild<QLineEdit*>(QStringLiteral("edMsg"));
    r->clickRow(1);
    QCOMPARE(msg->text(), QStringLiteral("Пора обедать"));
    r->clickRow(2);
    QCOMPARE(msg->text(), QStringLiteral("Суп"));
    r->clickRow(0);
    QCOMPARE(r->main()->taskList()->currentTaskName(), QStringLiteral("Будильник"));
    QCOMPARE(msg->text(), QString());
    // Its message of blanks is no message: the standard text.
    r->control<QToolButton>("sbTestEv")->click();
    QVERIFY(r->windows->alarmWindow()->isVisible());
    QCOMPARE(r->windows->alarmWindow()->findChild<QLabel*>(QStringLiteral("lMsg"))->text(),
             QStringLiteral("Время пришло..."));
    r->windows->alarmWindow()->hide();
    r->activateMain();
    // The first write turns the file into UTF-8, each line with its text.
    r->clickRow(1);
    r->clickCheckBox(1);
    QCOMPARE(r->value(QStringLiteral("Обед"), QStringLiteral("Activing")), QStringLiteral("0"));
    const QString text = r->ini();
    QVERIFY(text.contains(QStringLiteral("[Ужин]\r\nActiving=1\r\n")));
    QVERIFY(text.contains(QStringLiteral("Message=Суп\r\n")));
    QVERIFY(text.contains(QStringLiteral("[ Будильник ]\r\nActiving = 1\r\n")));
    QVERIFY(text.contains(QStringLiteral("[Обед]\r\nTime=13:00:00\r\nMessage=Пора обедать\r\n")));
    QCOMPARE(r->rows(), (QStringList{QStringLiteral("Будильник"), QStringLiteral("Обед"),
                                     QStringLiteral("Ужин")}));
}

QTEST_MAIN(TestTaskList)
#include "tst_tasklist.moc"
