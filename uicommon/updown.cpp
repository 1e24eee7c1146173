#include "uicommon/updown.h"

#include <QToolButton>

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { step(true); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(false); });
}

void UpDown::setMinimum(int v) {
    m_min = v;
    setPosition(m_pos);
}

void UpDown::setMaximum(int v) {
    m_max = v;
    setPosition(m_pos);
}

void UpDown::setPosition(int v) {
    m_pos = qBound(m_min, v, qMax(m_min, m_max));
}

void UpDown::step(bool up) {
    setPosition(m_pos + (up ? 1 : -1));
    Q_EMIT clicked(up);
}

void UpDown::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}
