#pragma once

#include <QString>

#include <stdexcept>

// The program's own exception class: every failure that the engine reports as a text (a file that cannot be
// converted, a file that cannot be opened, a folder that cannot be created) is thrown as an ElxError. Catching
// std::exception catches it too; Message() gives the text as it was built, without a round trip through UTF-8.
class ElxError : public std::runtime_error {
public:
    explicit ElxError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}

    QString Message() const { return m_message; }

private:
    QString m_message;
};
