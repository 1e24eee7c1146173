#include "tasklist/tasklist.h"

#include "firing/armedtaskmark.h"
#include "platform/platform.h"
#include "scheduler/schedule.h"
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
    : QObject(parent), m_s(services), m_firing(firing), ui(controls) {
    buildTaskMenu();
    HandlerGuard& guard = m_s.guard();
    const auto run = [this, &guard](void (TaskList::*handler)()) {
        return [this, &guard, handler] { guard.run([this, handler] { (this->*handler)(); }); };
    };
    EventCheckList* list = ui.clbEvents;
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](QPoint at) { m_pmEvents->popup(list->viewport()->mapToGlobal(at)); });
    connect(m_SortN, &QAction::triggered, this, run(&TaskList::SortNClick));
    connect(m_SortT, &QAction::triggered, this, run(&TaskList::SortTClick));
    connect(m_SortNo, &QAction::triggered, this, run(&TaskList::SortNoClick));
    connect(m_pmiDel, &QAction::triggered, this, run(&TaskList::pmiDelClick));
    connect(list, &EventCheckList::userSelectionChanged, this, run(&TaskList::clbEventsClick));
    connect(list, &EventCheckList::userCheckToggled, this, run(&TaskList::clbEventsClickCheck));
    connect(list, &EventCheckList::exited, this, run(&TaskList::clbEventsExit));
    connect(ui.sbNewEv, &QToolButton::clicked, this, run(&TaskList::sbNewEvClick));

    // The drop-down is rebuilt from the file after every save; the box never
    // adds what is typed into it by itself.
    ui.evName->setInsertPolicy(QComboBox::NoInsert);
    connect(ui.evName, &QComboBox::editTextChanged, this, run(&TaskList::evNameChange));
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
    ui.evName->installEventFilter(new KeyPressFilter(ui.evName, enterFilter));
    if (QLineEdit* edit = ui.evName->lineEdit())
        edit->installEventFilter(new KeyPressFilter(edit, enterFilter));
}

void TaskList::ShowEvent(const QString& name) {
    if (m_editor != nullptr)
        m_editor->ShowEvent(name);
}

void TaskList::buildTaskMenu() {
    QMenu* pmEvents = m_pmEvents = new QMenu(ui.window);
    pmEvents->setObjectName(QStringLiteral("pmEvents"));
    QMenu* pmiSort = m_pmiSort = pmEvents->addMenu(QStringLiteral("Сортировка"));
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
    m_SortN = radio("SortN", QStringLiteral("по имени"));
    m_SortT = radio("SortT", QStringLiteral("по времени"));
    pmiSort->addSeparator();
    m_SortNo = radio("SortNo", QStringLiteral("нет"));
    pmEvents->addSeparator();
    QAction* pmiDel = m_pmiDel = pmEvents->addAction(QStringLiteral("Удалить"));
    pmiDel->setObjectName(QStringLiteral("pmiDel"));
    pmiDel->setShortcut(QKeySequence(Qt::Key_Delete));
    // Del deletes only while the list has the focus, not in the editor's fields.
    pmiDel->setShortcutContext(Qt::WidgetShortcut);
    ui.clbEvents->addAction(pmiDel);
}

void TaskList::clearNameBoxList() {
    const QString text = ui.evName->currentText();
    ui.evName->clear();
    ui.evName->setEditText(text);
}

void TaskList::fillNameBoxList(QStringList names) {
    std::stable_sort(names.begin(), names.end(), EventCheckList::nameLess);
    const QString text = ui.evName->currentText();
    ui.evName->addItems(names);
    ui.evName->setEditText(text);
}

void TaskList::selectTaskRow(const QString& name) {
    EventCheckList* list = ui.clbEvents;
    const int row = list->rowOfNameAnyCase(name);
    if (row < 0)
        return;
    // Focused as well as selected, so leaving the list keeps this task chosen.
    list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void TaskList::GetEvents() {
    EventCheckList* list = ui.clbEvents;
    list->clear();
    clearNameBoxList();
    ui.sbSaveEvent->setEnabled(true);
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
    EventCheckList* list = ui.clbEvents;
    list->setEnabled(true);
    if (list->count() == 0) {
        list->setEnabled(false);
        m_s.schedule().ActEvArmed = false;
        return;
    }
    showActiving();
}

void TaskList::showActiving() {
    EventCheckList* list = ui.clbEvents;
    const SettingsFile::Pass pass(m_s.settings());
    for (int row = 0; row < list->count(); ++row)
        list->setChecked(row,
                         m_s.settings().ReadBool(list->item(row)->text(), keys::Activing, true));
}

void TaskList::ApplySavedSort() {
    ui.lbSort->setText(kNotSorted);
    // No tasks: the list and the sort menu stay as they are.
    if (m_s.schedule().EvTable.entries.isEmpty())
        return;
    // Letter case counts here; blanks typed around the word do not.
    const QString sortBy =
        m_s.settings().ReadKeyword(keys::MainSection, keys::SortBy, keys::SortByNo.toString());
    if (sortBy == keys::SortByName)
        SortNClick();
    else if (sortBy == keys::SortByTime)
        SortTClick();
    else
        SortNoClick();
}

void TaskList::SortNClick() {
    const QString current = CurrentTaskName;
    m_SortN->setChecked(true);
    GetEvents();
    ui.clbEvents->setAlphabetical(true);
    m_s.settings().WriteString(keys::MainSection, keys::SortBy, keys::SortByName.toString());
    ui.lbSort->setText(kSortedByName);
    // The rows have moved.
    m_firing.PaintActEv();
    CurrentTaskName = current;
    if (!CurrentTaskName.isEmpty())
        selectTaskRow(CurrentTaskName);
}

void TaskList::SortTClick() {
    EventCheckList* list = ui.clbEvents;
    m_SortT->setChecked(true);
    list->setAlphabetical(false);
    if (m_s.schedule().EvTable.entries.isEmpty())
        m_s.schedule().RecalcSchedule();
    list->clear();
    clearNameBoxList();
    ui.sbSaveEvent->setEnabled(true);
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
    m_s.settings().WriteString(keys::MainSection, keys::SortBy, keys::SortByTime.toString());
    ui.lbSort->setText(kSortedByTime);
    if (!CurrentTaskName.isEmpty())
        selectTaskRow(CurrentTaskName);
}

void TaskList::SortNoClick() {
    m_SortNo->setChecked(true);
    ui.clbEvents->setAlphabetical(false);
    GetEvents();
    m_s.settings().WriteString(keys::MainSection, keys::SortBy, keys::SortByNo.toString());
    ui.lbSort->setText(kNotSorted);
    if (!CurrentTaskName.isEmpty())
        selectTaskRow(CurrentTaskName);
}

void TaskList::clbEventsClick() {
    EventCheckList* list = ui.clbEvents;
    // A click that deselected the focused row leaves no task chosen.
    const QListWidgetItem* focused = list->currentItem();
    CurrentTaskName = focused != nullptr && focused->isSelected() ? focused->text() : QString();
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
    storeRowActiving(ui.clbEvents->currentRow());
}

void TaskList::storeRowActiving(int row) {
    EventCheckList* list = ui.clbEvents;
    if (row < 0 || row >= list->count())
        return;
    m_s.settings().WriteBool(list->item(row)->text(), keys::Activing, list->isChecked(row));
    // A task switched off can no longer be armed; one switched on can be.
    m_s.schedule().RecalcSchedule();
    m_firing.PaintActEv();
}

void TaskList::clbEventsExit() {
    const EventCheckList* list = ui.clbEvents;
    CurrentTaskName.clear();
    const QListWidgetItem* focused = list->currentItem();
    if (list->count() > 0 && focused != nullptr && focused->isSelected())
        CurrentTaskName = focused->text();
}

void TaskList::pmiDelClick() {
    EventCheckList* list = ui.clbEvents;
    if (m_s.platform().question(ui.window, kDeleteQuestion)) {
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
    ui.evName->clear();
    ui.evName->setEditText(kDefaultName);
    ui.sbSaveEvent->setEnabled(true);
    ui.lbEvName->clear();
    ui.lbEvTime->clear();
    // Emptied before the editor loads a new task: its group handlers write
    // to this name with auto-record on, and a deleted task is never written.
    CurrentTaskName.clear();
    ShowEvent(keys::NewTaskMarker.toString());
    m_s.schedule().RecalcSchedule();
    ApplySavedSort();
}

void TaskList::sbNewEvClick() {
    if (!CurrentTaskName.isEmpty()) {
        const int row = ui.clbEvents->rowOfNameAnyCase(CurrentTaskName);
        if (row >= 0)
            ui.clbEvents->item(row)->setSelected(false);
    }
    CurrentTaskName.clear();
    ShowEvent(keys::NewTaskMarker.toString());
}

void TaskList::evNameChange() {
    ui.sbSaveEvent->setEnabled(!ui.evName->currentText().isEmpty());
}

bool TaskList::evNameKeyPress(QChar key) {
    if (key != QChar(13))
        return false;
    if (m_editor != nullptr)
        m_editor->sbSaveEventClick();
    return true;
}

void TaskList::switchOffListedTask(const QString& name) {
    EventCheckList* list = ui.clbEvents;
    const int row = list->rowOfNameAnyCase(name);
    if (row >= 0) {
        list->setChecked(row, false);
        storeRowActiving(row);
    }
}

void TaskList::deleteListedTask(const QString& name) {
    EventCheckList* list = ui.clbEvents;
    const int row = list->rowOfNameAnyCase(name);
    if (row >= 0) {
        list->clearSelection();
        list->item(row)->setSelected(true);
        pmiDelClick();
    }
}
