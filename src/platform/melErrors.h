#pragma once

#include <QString>

#include <exception>

// The root of the program's failures: a message meant for the user.
class EMelError : public std::exception {
public:
  explicit EMelError(QString aMessage) : mMessage(std::move(aMessage)), mUtf8(mMessage.toUtf8()) {}
  const QString &Message() const { return mMessage; }
  const char *what() const noexcept override { return mUtf8.constData(); }

private:
  QString mMessage;
  QByteArray mUtf8;
};

// A settings value that exists but has another type, or a settings file that
// cannot be written.
class ERegistryException : public EMelError {
public:
  using EMelError::EMelError;
};
