#include "uicommon/eventchecklist.h"

#include "store/nameorder.h"

#include <QCollator>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

constexpr int kArmedRole = Qt::UserRole + 1;

const QCollator& nameCollator() {
    // The user's own alphabet, letter case aside, as the desktop's sorted
    // lists compare.
    static const QCollator collator = [] {
        QCollator c{QLocale::system()};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(false);
        return c;
    }();
    return collator;
}

// A row of the list; its order is the list's alphabetical one.
class EventItem final : public QListWidgetItem {
public:
    explicit EventItem(const QString& text) : QListWidgetItem(text) {
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        setCheckState(Qt::Checked);
    }
    bool operator<(const QListWidgetItem& other) const override {
        return EventCheckList::nameLess(text(), other.text());
    }
};

} // namespace

// Draws the mark and lets only the user's own clicks and key presses tick a
// check box, reporting them.
class EventCheckList::Delegate final : public QStyledItemDelegate {
public:
    explicit Delegate(EventCheckList* list) : QStyledItemDelegate(list), m_list(list) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.data(kArmedRole).toBool())
            return;
        option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
        // A selected marked row shows its selection, so a deletion never
        // takes a task the user could not see chosen.
        if (option->state & QStyle::State_Selected)
            return;
        option->backgroundBrush = option->palette.brush(QPalette::ToolTipBase);
        option->palette.setBrush(QPalette::Text, option->palette.brush(QPalette::ToolTipText));
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override {
        // The mark hides the check box: there is nothing to tick there.
        if (index.data(kArmedRole).toBool())
            return false;
        const bool mouse = event->type() == QEvent::MouseButtonRelease ||
                           event->type() == QEvent::MouseButtonPress ||
                           event->type() == QEvent::MouseButtonDblClick;
        if (mouse && index.row() == m_list->m_pressedArmedRow)
            return false;
        const QVariant before = index.data(Qt::CheckStateRole);
        const bool handled = QStyledItemDelegate::editorEvent(event, model, option, index);
        if (index.isValid() && index.data(Qt::CheckStateRole) != before)
            Q_EMIT m_list->userCheckToggled(index.row());
        return handled;
    }

private:
    EventCheckList* m_list;
};

EventCheckList::EventCheckList(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new Delegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

bool EventCheckList::nameLess(const QString& a, const QString& b) {
    // A Russian desktop's names in the usual letters need no collation
    // library: it would cost more memory than the rest of the list.
    static const bool russian = [] {
        const QLocale system = QLocale::system();
        return system.language() == QLocale::Russian &&
               (system.script() == QLocale::CyrillicScript ||
                system.script() == QLocale::AnyScript);
    }();
    if (russian)
        if (const std::optional<int> order = nameorder::compareRussian(a, b))
            return *order < 0;
    return nameCollator().compare(a, b) < 0;
}

int EventCheckList::rowOfName(const QString& name) const {
    for (int row = 0; row < count(); ++row)
        if (item(row)->text() == name)
            return row;
    return -1;
}

int EventCheckList::rowOfNameAnyCase(const QString& name) const {
    for (int row = 0; row < count(); ++row)
        if (item(row)->text().compare(name, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

void EventCheckList::setArmedRow(int row) {
    for (int r = 0; r < count(); ++r) {
        QListWidgetItem* it = item(r);
        const bool armed = r == row;
        if (it->data(kArmedRole).toBool() != armed)
            it->setData(kArmedRole, armed ? QVariant(true) : QVariant());
    }
    viewport()->update();
}

int EventCheckList::armedRow() const {
    for (int r = 0; r < count(); ++r)
        if (item(r)->data(kArmedRole).toBool())
            return r;
    return -1;
}

void EventCheckList::addTask(const QString& name) {
    addItem(new EventItem(name));
}

bool EventCheckList::isChecked(int row) const {
    const QListWidgetItem* it = item(row);
    return it != nullptr && it->checkState() == Qt::Checked;
}

void EventCheckList::setChecked(int row, bool checked) {
    if (QListWidgetItem* it = item(row))
        it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void EventCheckList::setAlphabetical(bool on) {
    setSortingEnabled(on);
    if (on)
        sortItems(Qt::AscendingOrder);
}

template <class F> void EventCheckList::asUser(F&& f) {
    ++m_userDepth;
    f();
    --m_userDepth;
    if (m_userDepth == 0 && m_userSelectionChanged) {
        m_userSelectionChanged = false;
        Q_EMIT userSelectionChanged();
    }
}

void EventCheckList::mousePressEvent(QMouseEvent* event) {
    // The right button only opens the menu: the selection it acts on stays.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    const QModelIndex at = indexAt(event->position().toPoint());
    m_pressedArmedRow = at.isValid() && at.data(kArmedRole).toBool() ? at.row() : -1;
    asUser([&] { QListWidget::mousePressEvent(event); });
}

void EventCheckList::mouseMoveEvent(QMouseEvent* event) {
    asUser([&] { QListWidget::mouseMoveEvent(event); });
}

void EventCheckList::mouseReleaseEvent(QMouseEvent* event) {
    asUser([&] { QListWidget::mouseReleaseEvent(event); });
    m_pressedArmedRow = -1;
}

void EventCheckList::keyPressEvent(QKeyEvent* event) {
    asUser([&] { QListWidget::keyPressEvent(event); });
}

void EventCheckList::focusOutEvent(QFocusEvent* event) {
    QListWidget::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        Q_EMIT exited();
}

void EventCheckList::selectionChanged(const QItemSelection& selected,
                                      const QItemSelection& deselected) {
    QListWidget::selectionChanged(selected, deselected);
    if (m_userDepth > 0)
        m_userSelectionChanged = true;
}
