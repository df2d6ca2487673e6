#pragma once

#include <QString>
#include <exception>

namespace orv {

// The one exception type of the project. Its text is the error text that the
// catching procedure appends to its own log prefix.
class OrvError : public std::exception {
public:
    explicit OrvError(QString text)
        : m_text(std::move(text))
        , m_utf8(m_text.toUtf8()) {}

    const QString& text() const noexcept { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

} // namespace orv
