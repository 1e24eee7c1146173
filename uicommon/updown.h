#pragma once

#include <QWidget>

class QToolButton;

// A pair of arrow buttons stepping a position between a minimum and a maximum,
// without wrapping around.
class UpDown final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int position READ position WRITE setPosition)

public:
    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return m_min; }
    void setMinimum(int v);
    int maximum() const { return m_max; }
    void setMaximum(int v);
    int position() const { return m_pos; }
    // Clamped to the range; reports nothing.
    void setPosition(int v);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

Q_SIGNALS:
    // An arrow was clicked; the position has already moved when it could.
    void clicked(bool up);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void step(bool up);

    QToolButton* m_up;
    QToolButton* m_down;
    int m_min = 0;
    int m_max = 100;
    int m_pos = 0;
};
