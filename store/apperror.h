#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// An error the user must see in the one modal error box. Handlers catch it at
// their boundary; it never crosses the Qt event loop.
class AppError : public std::exception {
public:
    explicit AppError(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
