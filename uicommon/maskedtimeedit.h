#pragma once

#include <QLineEdit>

#include <optional>

// The time field: eight characters "HH:mm:ss" behind the mask "09:99:99"
// (an optional first hour digit, five required digits, fixed colons). While a
// required digit is missing it refuses to give up the focus; Escape brings
// back the last accepted text: the one it had when the focus last came in,
// not counting the focus it takes back after a refusal.
class MaskedTimeEdit final : public QLineEdit {
    Q_OBJECT

public:
    explicit MaskedTimeEdit(QWidget* parent = nullptr);

    // The text as the field holds it, colons included; an empty optional
    // digit is a blank. QLineEdit::text() would drop the blanks.
    QString timeText() const;
    // Shows a value's time of day as HH:mm:ss, whatever the locale.
    void setTimeValue(double value);
    // The text as a time of day; throws AppError "'%s' is not a valid time".
    double timeValue() const;

    // Hours, minutes and seconds of a field text: hours 0..23 (one digit may
    // be blank), minutes and seconds 0..59, always two digits.
    static std::optional<double> parse(QStringView text);
    static QString notValidTimeMessage(const QString& text);
    static QString invalidInputMessage();

    // The window refused what the field holds (a time out of range): the focus
    // comes back, and Escape still brings back the last accepted text.
    void takeFocusBack();

Q_SIGNALS:
    // The focus went to another control of the window with the text whole:
    // the window's exit handler may run.
    void exited();
    // The focus was taken back because a required digit is missing.
    void invalidInput(const QString& message);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString m_entryText;
    bool m_refocusing = false;
};
