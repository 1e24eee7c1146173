#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A captioned group of radio buttons with one chosen item. Choosing an item,
// by a click or from code, reports it through one signal, so a handler runs
// the same way for both; choosing the item already chosen reports nothing.
class RadioGroup final : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int columns READ columns WRITE setColumns)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex)

public:
    explicit RadioGroup(QWidget* parent = nullptr);

    QStringList items() const { return m_items; }
    void setItems(const QStringList& items);
    int columns() const { return m_columns; }
    void setColumns(int columns);
    // -1 when no item is chosen.
    int itemIndex() const { return m_index; }
    void setItemIndex(int index);

    QRadioButton* button(int index) const;

Q_SIGNALS:
    void itemIndexChanged(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void arrange();

    QStringList m_items;
    int m_columns = 1;
    int m_index = -1;
    QButtonGroup* m_group;
    QList<QRadioButton*> m_buttons;
};
