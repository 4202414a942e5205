#pragma once

#include <QString>

#include <exception>
#include <string>

namespace platform {

// The one exception type of the program. Its message is shown to the user in
// the standard error box by the handler guard (see guard.h), so it is the
// final text the user reads, without the closing full stop.
class Error : public std::exception {
public:
    explicit Error(QString message)
        : m_message(std::move(message))
        , m_utf8(m_message.toStdString())
    {
    }

    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_message;
    std::string m_utf8;
};

} // namespace platform
