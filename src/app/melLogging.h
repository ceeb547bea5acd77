#pragma once

#include "melErrors.h"

#include <QString>

#include <cerrno>

// A failed operating-system call, with the system's error number.
class EOSError : public EMelError {
public:
  EOSError(QString aMessage, int aErrorCode)
      : EMelError(std::move(aMessage)), ErrorCode(aErrorCode) {}
  int ErrorCode;
};

// The log file could not be opened or written.
class EInOutError : public EMelError {
public:
  using EMelError::EMelError;
};

// A log that has grown to this size is emptied at the next start.
inline constexpr qint64 cLogSizeLimit = 10240 * 128;

// Opens "log.txt" in the program folder; raises EInOutError when it cannot.
void OpenLog();
// Opens the log at the given file; the rules of OpenLog apply.
void OpenLogFile(const QString &aFileName);
void CloseLog();
bool IsLogOpen();

// Appends one line; safe from any thread. Raises EInOutError when the write
// fails.
void WriteLog(const QString &aMessage);

// The time stamp of a log line: short date, a blank, long time.
QString LogTimeStamp();

// Logs the calling thread's last error (errno) and raises it as EOSError.
[[noreturn]] void RaiseLastOSErrorLogged();

// For calls that report failure by a zero result.
template <typename T> T CheckOSResult(T aResult) {
  if (aResult == T{})
    RaiseLastOSErrorLogged();
  return aResult;
}
