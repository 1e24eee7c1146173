#include "uicommon/maskedtimeedit.h"

#include "store/apperror.h"
#include "store/regionalformats.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

MaskedTimeEdit::MaskedTimeEdit(QWidget* parent) : QLineEdit(parent) {
    setInputMask(QStringLiteral("09:99:99;_"));
    setMaxLength(8);
}

QString MaskedTimeEdit::timeText() const {
    QString text = displayText();
    text.replace(u'_', u' ');
    return text;
}

void MaskedTimeEdit::setTimeValue(double value) {
    setText(maskedTimeText(value));
}

std::optional<double> MaskedTimeEdit::parse(QStringView text) {
    const QStringView t = text.trimmed();
    const auto parts = t.split(u':');
    if (parts.size() != 3)
        return std::nullopt;
    int values[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const QStringView p = parts.at(i).trimmed();
        if (p.isEmpty() || p.size() > 2)
            return std::nullopt;
        for (QChar c : p)
            if (c < u'0' || c > u'9')
                return std::nullopt;
        values[i] = p.toInt();
    }
    if (values[0] > 23 || values[1] > 59 || values[2] > 59)
        return std::nullopt;
    return ((values[0] * 60 + values[1]) * 60 + values[2]) / 86400.0;
}

double MaskedTimeEdit::timeValue() const {
    const QString text = timeText();
    if (const auto v = parse(text))
        return *v;
    throw AppError(notValidTimeMessage(text));
}

QString MaskedTimeEdit::notValidTimeMessage(const QString& text) {
    return QStringLiteral("'%1' is not a valid time").arg(text);
}

QString MaskedTimeEdit::invalidInputMessage() {
    return QStringLiteral("Invalid input value.  Use escape key to abandon changes");
}

void MaskedTimeEdit::focusInEvent(QFocusEvent* event) {
    // Coming back from another window (or a popup) is no new entry: the text
    // to go back to stays the one of the last real entry.
    // The displayed text, blanks and all: text() drops a blank first hour
    // digit, and " 7:30:00" put back from "7:30:00" would read "7_:30:00".
    if (!m_refocusing && event->reason() != Qt::ActiveWindowFocusReason &&
        event->reason() != Qt::PopupFocusReason)
        m_entryText = displayText();
    QLineEdit::focusInEvent(event);
}

void MaskedTimeEdit::takeFocusBack() {
    m_refocusing = true;
    setFocus(Qt::OtherFocusReason);
    m_refocusing = false;
}

void MaskedTimeEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::MouseFocusReason:
    case Qt::OtherFocusReason:
    case Qt::ShortcutFocusReason:
        break;
    default:
        // The window lost activation or a popup opened: the focus stays here.
        return;
    }
    if (!hasAcceptableInput()) {
        // Taken back before the new control ever sees the focus, so its own
        // enter and exit handlers do not run.
        takeFocusBack();
        QApplication::beep();
        // Shown once this focus change is over, not from inside it.
        QTimer::singleShot(0, this, [this] { Q_EMIT invalidInput(invalidInputMessage()); });
        return;
    }
    Q_EMIT exited();
}

void MaskedTimeEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && !event->modifiers()) {
        setText(m_entryText);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
