#include "tasklist/tasklist.h"

#include "firing/armedtaskmark.h"
#include "platform/platform.h"
#include "scheduler/schedule.h"
#include "store/clock.h"
#include "store/keys.h"
#include "store/settingsfile.h"
#include "uicommon/eventchecklist.h"
#include "uicommon/handlerguard.h"
#include "uicommon/services.h"

#include <QActionGroup>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include <algorithm>
#include <functional>

namespace {

const QString kSortedByName = QStringLiteral("а по имени");
const QString kSortedByTime = QStringLiteral("а по времени");
const QString kNotSorted = QStringLiteral("и нет");
const QString kDeleteQuestion = QStringLiteral("Удалить выбранные задания?");
const QString kDefaultName = QStringLiteral("Default");

// Hands the key presses of one control to a handler, which may take them.
class KeyPressFilter final : public QObject {
public:
    KeyPressFilter(QObject* parent, std::function<bool(QKeyEvent*)> handler)
        : QObject(parent), m_handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && m_handler(static_cast<QKeyEvent*>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(QKeyEvent*)> m_handler;
};

} // namespace

TaskList::TaskList(Services& services, ArmedTaskMark& firing, const Controls& controls,
                   QObject* parent)
    : QObject(parent), m_s(services), m_firing(firing), m_ui(controls) {
    buildTaskMenu();
    HandlerGuard& guard = m_s.guard();
    const auto run = [this, &guard](void (TaskList::*handler)()) {
        return guard.slot(this, handler);
    };
    EventCheckList* list = m_ui.list;
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](QPoint at) { m_taskMenu->popup(list->viewport()->mapToGlobal(at)); });
    connect(m_sortByName, &QAction::triggered, this, run(&TaskList::SortNClick));
    connect(m_sortByTime, &QAction::triggered, this, run(&TaskList::SortTClick));
    connect(m_noSort, &QAction::triggered, this, run(&TaskList::SortNoClick));
    connect(m_deleteAction, &QAction::triggered, this, run(&TaskList::pmiDelClick));
    connect(list, &EventCheckList::userSelectionChanged, this, run(&TaskList::clbEventsClick));
    connect(list, &EventCheckList::userCheckToggled, this, run(&TaskList::clbEventsClickCheck));
    connect(list, &EventCheckList::exited, this, run(&TaskList::clbEventsExit));
    connect(m_ui.newTaskButton, &QToolButton::clicked, this, run(&TaskList::sbNewEvClick));

    // The drop-down is rebuilt from the file after every save; the box never
    // adds what is typed into it by itself.
    m_ui.nameBox->setInsertPolicy(QComboBox::NoInsert);
    connect(m_ui.nameBox, &QComboBox::editTextChanged, this, run(&TaskList::evNameChange));
    // A typed key reaches the editable combo box itself, which hands it on to
    // its line edit by a direct call that no event filter sees; a key sent to
    // the line edit goes to it alone. Either way Enter is caught once.
    const auto enterFilter = [this, &guard](QKeyEvent* e) {
        if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter)
            return false;
        bool taken = false;
        guard.run([&] { taken = evNameKeyPress(QChar(13)); });
        return taken;
    };
    m_ui.nameBox->installEventFilter(new KeyPressFilter(m_ui.nameBox, enterFilter));
    if (QLineEdit* edit = m_ui.nameBox->lineEdit())
        edit->installEventFilter(new KeyPressFilter(edit, enterFilter));
}

void TaskList::ShowEvent(const QString& name) {
    if (m_editor != nullptr)
        m_editor->ShowEvent(name);
}

void TaskList::setCurrentTaskName(const QString& name) {
    if (name == CurrentTaskName)
        return;
    CurrentTaskName = name;
    Q_EMIT currentTaskChanged(CurrentTaskName);
}

// The one place that paints the labels of the current task.
void TaskList::showTaskLabels(const QString& name) {
    m_ui.taskNameLabel->setText(name);
    m_ui.taskTimeLabel->setText(
        m_s.formats().formatTime(m_s.settings().ReadTime(name, keys::Time, m_s.clock().timeNow())));
}

void TaskList::clearTaskLabels() {
    m_ui.taskNameLabel->clear();
    m_ui.taskTimeLabel->clear();
}

void TaskList::showCurrentTask() {
    if (CurrentTaskName.isEmpty())
        clearTaskLabels();
    else
        showTaskLabels(CurrentTaskName);
}

void TaskList::showCurrentTaskTime() {
    if (!CurrentTaskName.isEmpty())
        m_ui.taskTimeLabel->setText(m_s.formats().formatTime(
            m_s.settings().ReadTime(CurrentTaskName, keys::Time, m_s.clock().timeNow())));
}

void TaskList::storeSortOrder(SortOrder order) {
    const QStringView keyword = order == SortOrder::ByName   ? keys::SortByName
                                : order == SortOrder::ByTime ? keys::SortByTime
                                                             : keys::SortByNo;
    m_s.settings().WriteString(keys::MainSection, keys::SortBy, keyword.toString());
}

void TaskList::buildTaskMenu() {
    QMenu* pmEvents = m_taskMenu = new QMenu(m_ui.window);
    pmEvents->setObjectName(QStringLiteral("pmEvents"));
    QMenu* pmiSort = m_sortMenu = pmEvents->addMenu(QStringLiteral("Сортировка"));
    pmiSort->setObjectName(QStringLiteral("pmiSort"));
    auto* group = new QActionGroup(pmiSort);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    const auto radio = [&](const char* name, const QString& text) {
        QAction* a = pmiSort->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(true);
        group->addAction(a);
        return a;
    };
    m_sortByName = radio("SortN", QStringLiteral("по имени"));
    m_sortByTime = radio("SortT", QStringLiteral("по времени"));
    pmiSort->addSeparator();
    m_noSort = radio("SortNo", QStringLiteral("нет"));
    pmEvents->addSeparator();
    QAction* pmiDel = m_deleteAction = pmEvents->addAction(QStringLiteral("Удалить"));
    pmiDel->setObjectName(QStringLiteral("pmiDel"));
    pmiDel->setShortcut(QKeySequence(Qt::Key_Delete));
    // Del deletes only while the list has the focus, not in the editor's fields.
    pmiDel->setShortcutContext(Qt::WidgetShortcut);
    m_ui.list->addAction(pmiDel);
}

void TaskList::clearNameBoxList() {
    const QString text = m_ui.nameBox->currentText();
    m_ui.nameBox->clear();
    m_ui.nameBox->setEditText(text);
}

void TaskList::fillNameBoxList(QStringList names) {
    std::stable_sort(names.begin(), names.end(), EventCheckList::nameLess);
    const QString text = m_ui.nameBox->currentText();
    m_ui.nameBox->addItems(names);
    m_ui.nameBox->setEditText(text);
}

void TaskList::selectTaskRow(const QString& name) {
    EventCheckList* list = m_ui.list;
    const int row = list->rowOfNameAnyCase(name);
    if (row < 0)
        return;
    // Focused as well as selected, so leaving the list keeps this task chosen.
    list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void TaskList::GetEvents() {
    EventCheckList* list = m_ui.list;
    list->clear();
    clearNameBoxList();
    m_ui.saveButton->setEnabled(true);
    QStringList& sections = m_s.schedule().SectionList;
    m_s.settings().ReadSections(sections);
    if (!sections.isEmpty())
        sections.removeFirst();
    for (const QString& name : std::as_const(sections))
        list->addTask(name);
    fillNameBoxList(sections);
    SetActiving();
    m_firing.PaintActEv();
}

void TaskList::SetActiving() {
    EventCheckList* list = m_ui.list;
    list->setEnabled(true);
    if (list->count() == 0) {
        list->setEnabled(false);
        m_s.schedule().ActEvArmed = false;
        return;
    }
    showActiving();
}

void TaskList::showActiving() {
    EventCheckList* list = m_ui.list;
    const SettingsFile::Pass pass(m_s.settings());
    for (int row = 0; row < list->count(); ++row)
        list->setChecked(row,
                         m_s.settings().ReadBool(list->item(row)->text(), keys::Activing, true));
}

void TaskList::ApplySavedSort() {
    m_ui.sortLabel->setText(kNotSorted);
    // No tasks: the list and the sort menu stay as they are.
    if (m_s.schedule().EvTable.entries.isEmpty())
        return;
    switch (savedSortOrder()) {
    case SortOrder::ByName:
        SortNClick();
        break;
    case SortOrder::ByTime:
        SortTClick();
        break;
    case SortOrder::None:
        SortNoClick();
        break;
    }
}

TaskList::SortOrder TaskList::savedSortOrder() const {
    // Letter case counts here; blanks typed around the word do not. Any
    // other word means no sort.
    const QString sortBy =
        m_s.settings().ReadKeyword(keys::MainSection, keys::SortBy, keys::SortByNo.toString());
    if (sortBy == keys::SortByName)
        return SortOrder::ByName;
    if (sortBy == keys::SortByTime)
        return SortOrder::ByTime;
    return SortOrder::None;
}

void TaskList::SortNClick() {
    const QString current = CurrentTaskName;
    m_sortByName->setChecked(true);
    GetEvents();
    m_ui.list->setAlphabetical(true);
    storeSortOrder(SortOrder::ByName);
    m_ui.sortLabel->setText(kSortedByName);
    // The rows have moved.
    m_firing.PaintActEv();
    setCurrentTaskName(current);
    if (!CurrentTaskName.isEmpty())
        selectTaskRow(CurrentTaskName);
}

void TaskList::SortTClick() {
    EventCheckList* list = m_ui.list;
    m_sortByTime->setChecked(true);
    list->setAlphabetical(false);
    if (m_s.schedule().EvTable.entries.isEmpty())
        m_s.schedule().RecalcSchedule();
    list->clear();
    clearNameBoxList();
    m_ui.saveButton->setEnabled(true);
    // In the table's order: by next time of day.
    const TEvRec& table = m_s.schedule().EvTable;
    for (const ScheduleEntry& entry : table.entries)
        list->addTask(entry.name);
    // The name box keeps its own alphabetical order.
    QStringList names;
    for (int row = 0; row < list->count(); ++row)
        names.append(list->item(row)->text());
    fillNameBoxList(names);
    SetActiving();
    m_firing.PaintActEv();
    storeSortOrder(SortOrder::ByTime);
    m_ui.sortLabel->setText(kSortedByTime);
    if (!CurrentTaskName.isEmpty())
        selectTaskRow(CurrentTaskName);
}

void TaskList::SortNoClick() {
    m_noSort->setChecked(true);
    m_ui.list->setAlphabetical(false);
    GetEvents();
    storeSortOrder(SortOrder::None);
    m_ui.sortLabel->setText(kNotSorted);
    if (!CurrentTaskName.isEmpty())
        selectTaskRow(CurrentTaskName);
}

void TaskList::clbEventsClick() {
    EventCheckList* list = m_ui.list;
    // A click that deselected the focused row leaves no task chosen.
    const QListWidgetItem* focused = list->currentItem();
    setCurrentTaskName(focused != nullptr && focused->isSelected() ? focused->text() : QString());
    ShowEvent(CurrentTaskName);
    // The armed task shows as an ordinary selected row while it is edited.
    const TEvRec& table = m_s.schedule().EvTable;
    if (table.ActEv >= 0 && table.ActEv < table.count()) {
        const QString armed = table.entries.at(table.ActEv).name;
        if (CurrentTaskName == armed) {
            if (list->currentRow() == list->armedRow())
                list->setArmedRow(-1);
        } else {
            list->setArmedRow(list->rowOfName(armed));
        }
    }
    list->viewport()->update();
}

void TaskList::clbEventsClickCheck() {
    storeRowActiving(m_ui.list->currentRow());
}

void TaskList::storeRowActiving(int row) {
    EventCheckList* list = m_ui.list;
    if (row < 0 || row >= list->count())
        return;
    m_s.settings().WriteBool(list->item(row)->text(), keys::Activing, list->isChecked(row));
    // A task switched off can no longer be armed; one switched on can be.
    m_s.schedule().RecalcSchedule();
    m_firing.PaintActEv();
}

void TaskList::clbEventsExit() {
    const EventCheckList* list = m_ui.list;
    const QListWidgetItem* focused = list->currentItem();
    setCurrentTaskName(list->count() > 0 && focused != nullptr && focused->isSelected()
                           ? focused->text()
                           : QString());
}

void TaskList::pmiDelClick() {
    EventCheckList* list = m_ui.list;
    if (m_s.platform().question(m_ui.window, kDeleteQuestion)) {
        QStringList doomed;
        for (int row = 0; row < list->count(); ++row)
            if (list->item(row)->isSelected())
                doomed.append(list->item(row)->text());
        for (const QString& name : std::as_const(doomed))
            m_s.settings().EraseSection(name);
    }
    // Whatever the answer.
    list->clear();
    list->setEnabled(false);
    m_ui.nameBox->clear();
    m_ui.nameBox->setEditText(kDefaultName);
    m_ui.saveButton->setEnabled(true);
    clearTaskLabels();
    // Emptied before the editor loads a new task: its group handlers write
    // to this name with auto-record on, and a deleted task is never written.
    setCurrentTaskName(QString());
    ShowEvent(keys::NewTaskMarker.toString());
    m_s.schedule().RecalcSchedule();
    ApplySavedSort();
}

void TaskList::sbNewEvClick() {
    if (!CurrentTaskName.isEmpty()) {
        const int row = m_ui.list->rowOfNameAnyCase(CurrentTaskName);
        if (row >= 0)
            m_ui.list->item(row)->setSelected(false);
    }
    setCurrentTaskName(QString());
    ShowEvent(keys::NewTaskMarker.toString());
}

void TaskList::evNameChange() {
    m_ui.saveButton->setEnabled(!m_ui.nameBox->currentText().isEmpty());
}

bool TaskList::evNameKeyPress(QChar key) {
    if (key != QChar(13))
        return false;
    if (m_editor != nullptr)
        m_editor->sbSaveEventClick();
    return true;
}

void TaskList::switchOffListedTask(const QString& name) {
    EventCheckList* list = m_ui.list;
    const int row = list->rowOfNameAnyCase(name);
    if (row >= 0) {
        list->setChecked(row, false);
        storeRowActiving(row);
    }
}

void TaskList::deleteListedTask(const QString& name) {
    EventCheckList* list = m_ui.list;
    const int row = list->rowOfNameAnyCase(name);
    if (row >= 0) {
        list->clearSelection();
        list->item(row)->setSelected(true);
        pmiDelClick();
    }
}
