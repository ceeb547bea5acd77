#include "melLogging.h"

#include "melPaths.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex fLogLock;
int fLogFd = -1;
QString fLogName;

// The locale's long time format without its time zone.
QString LongTimeFormat(const QLocale &aLocale) {
  const QString format = aLocale.timeFormat(QLocale::LongFormat);
  QString out;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar c = format[i];
    if (c == u'\'')
      quoted = !quoted;
    if (!quoted && c == u't')
      continue;
    out += c;
  }
  return out.simplified();
}

bool WriteAll(int aFd, const QByteArray &aData) {
  const char *p = aData.constData();
  qsizetype left = aData.size();
  while (left > 0) {
    const ssize_t n = ::write(aFd, p, size_t(left));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    p += n;
    left -= n;
  }
  return true;
}

} // namespace

void OpenLog() {
  EnsureProgramFolder();
  OpenLogFile(ProgramFolder() + QStringLiteral("log.txt"));
}

void OpenLogFile(const QString &aFileName) {
  std::lock_guard lock(fLogLock);
  if (fLogFd >= 0) {
    ::close(fLogFd);
    fLogFd = -1;
  }
  const QByteArray name = QFile::encodeName(aFileName);
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_APPEND;
  const QFileInfo info(aFileName);
  // Measured in whole 128-byte units, so 1,310,719 bytes is still appended to.
  if (info.exists() && info.size() / 128 >= 10240)
    flags |= O_TRUNC;
  const int fd = ::open(name.constData(), flags, 0644);
  if (fd < 0)
    throw EInOutError(QStringLiteral("Cannot open the log file %1: %2")
                          .arg(aFileName, QString::fromLocal8Bit(std::strerror(errno))));
  fLogFd = fd;
  fLogName = aFileName;
}

void CloseLog() {
  std::lock_guard lock(fLogLock);
  if (fLogFd >= 0)
    ::close(fLogFd);
  fLogFd = -1;
}

bool IsLogOpen() {
  std::lock_guard lock(fLogLock);
  return fLogFd >= 0;
}

QString LogTimeStamp() {
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  return locale.toString(now.date(), QLocale::ShortFormat) + u' ' +
         locale.toString(now.time(), LongTimeFormat(locale));
}

void WriteLog(const QString &aMessage) {
  std::lock_guard lock(fLogLock);
  if (fLogFd < 0)
    throw EInOutError(QStringLiteral("The log file is not open"));
  const QByteArray line =
      (u'[' + LogTimeStamp() + QStringLiteral("] ") + aMessage + QStringLiteral("\r\n")).toUtf8();
  if (!WriteAll(fLogFd, line))
    throw EInOutError(QStringLiteral("Cannot write the log file %1: %2")
                          .arg(fLogName, QString::fromLocal8Bit(std::strerror(errno))));
}

void RaiseLastOSErrorLogged() {
  const int code = errno;
  QString text;
  if (code != 0)
    text = QStringLiteral("System Error.  Code: %1.\r\n%2")
               .arg(code)
               .arg(QString::fromLocal8Bit(std::strerror(code)));
  else
    text = QStringLiteral("A call to an OS function failed");
  WriteLog(text);
  throw EOSError(text, code);
}
