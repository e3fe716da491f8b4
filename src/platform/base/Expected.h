#pragma once

#include <QString>
#include <utility>

namespace plume {

// A failure always carries a message, so that an empty one can mean success.
inline QString nonEmpty(QString message) {
    return message.isEmpty() ? QStringLiteral("unknown error") : message;
}

// A value, or the message that says why there is none. Library code reports failures this
// way instead of throwing; the caller decides whether and how the user hears of it.
template <typename T>
class Expected {
  public:
    static Expected success(T value) { return Expected(std::move(value), {}); }
    static Expected failure(QString message) { return Expected(T{}, nonEmpty(std::move(message))); }

    bool ok() const { return m_error.isEmpty(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return m_value; }
    T& value() { return m_value; }
    const QString& error() const { return m_error; }

  private:
    Expected(T value, QString error) : m_value(std::move(value)), m_error(std::move(error)) {}
    T m_value;
    QString m_error;
};

// The outcome of an operation that gives nothing back but can fail.
class Status {
  public:
    static Status success() { return Status({}); }
    static Status failure(QString message) { return Status(nonEmpty(std::move(message))); }

    bool ok() const { return m_error.isEmpty(); }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return m_error; }

  private:
    explicit Status(QString error) : m_error(std::move(error)) {}
    QString m_error;
};

}  // namespace plume
