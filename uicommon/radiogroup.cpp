#include "uicommon/radiogroup.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFontMetrics>
#include <QRadioButton>

RadioGroup::RadioGroup(QWidget* parent) : QGroupBox(parent), m_group(new QButtonGroup(this)) {
    connect(m_group, &QButtonGroup::idClicked, this, &RadioGroup::setItemIndex);
}

void RadioGroup::setItems(const QStringList& items) {
    qDeleteAll(m_buttons);
    m_buttons.clear();
    m_items = items;
    for (int i = 0; i < m_items.size(); ++i) {
        auto* b = new QRadioButton(m_items.at(i), this);
        b->setObjectName(objectName() + QStringLiteral("_item") + QString::number(i));
        m_group->addButton(b, i);
        m_buttons.append(b);
        b->show();
    }
    // An index chosen before the items (the form sets its texts last) holds
    // when it names one of them.
    if (m_index >= m_items.size() || m_index < -1)
        m_index = -1;
    if (m_index >= 0)
        m_buttons.at(m_index)->setChecked(true);
    arrange();
}

void RadioGroup::setColumns(int columns) {
    m_columns = qMax(1, columns);
    arrange();
}

QRadioButton* RadioGroup::button(int index) const {
    return index >= 0 && index < m_buttons.size() ? m_buttons.at(index) : nullptr;
}

void RadioGroup::setItemIndex(int index) {
    if (m_buttons.isEmpty()) {
        m_index = index;
        return;
    }
    if (index < -1 || index >= m_buttons.size())
        index = -1;
    if (index == m_index)
        return;
    m_index = index;
    if (index >= 0) {
        m_buttons.at(index)->setChecked(true);
    } else if (QAbstractButton* checked = m_group->checkedButton()) {
        // An exclusive group cannot uncheck its last button.
        m_group->setExclusive(false);
        checked->setChecked(false);
        m_group->setExclusive(true);
    }
    Q_EMIT itemIndexChanged(index);
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    arrange();
}

void RadioGroup::changeEvent(QEvent* event) {
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        arrange();
}

void RadioGroup::arrange() {
    // The buttons share the area under the caption: equal columns, equal
    // rows, the spare pixels split above and below.
    if (m_buttons.isEmpty())
        return;
    const int count = int(m_buttons.size());
    const int perColumn = (count + m_columns - 1) / m_columns;
    const int textHeight = fontMetrics().height();
    const int buttonWidth = (width() - 10) / m_columns;
    const int free = height() - textHeight - 5;
    const int buttonHeight = qMax(1, free / perColumn);
    const int topMargin = textHeight + 1 + (free % perColumn) / 2;
    for (int i = 0; i < count; ++i) {
        const int column = i / perColumn;
        const int row = i % perColumn;
        m_buttons.at(i)->setGeometry(column * buttonWidth + 8, row * buttonHeight + topMargin,
                                     buttonWidth, buttonHeight);
    }
}
