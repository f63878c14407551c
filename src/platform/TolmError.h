#pragma once

#include <QString>
#include <stdexcept>

// Every error of the program is one of these: a message text that the
// default error report shows as it stands (see ErrorReport).
class TolmError : public std::runtime_error
{
public:
    explicit TolmError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}

    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// Text of any exception, for the error report.
inline QString errorText(const std::exception &e)
{
    if (auto *t = dynamic_cast<const TolmError *>(&e))
        return t->message();
    return QString::fromLocal8Bit(e.what());
}
