#pragma once

#include <QString>
#include <stdexcept>

namespace plume {

// An error that an operation raises to its caller, carrying a message for the user.
class PlumeError : public std::runtime_error {
  public:
    explicit PlumeError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

  private:
    QString m_message;
};

}  // namespace plume
