#include "melTestEnv.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "melApplications.h"
#include "melLogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

void TTempHomeTest::SetUp() {
  ASSERT_TRUE(mHome.isValid());
  qputenv("MELODRA_HOME", QFile::encodeName(mHome.path()));
  qputenv("XDG_DATA_HOME", QFile::encodeName(mHome.path() + QStringLiteral("/xdg-data")));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(mHome.path() + QStringLiteral("/xdg-config")));
  QDir().mkpath(mHome.path() + QStringLiteral("/xdg-data"));
  QDir().mkpath(mHome.path() + QStringLiteral("/xdg-config"));
  for (const char *name :
       {"http_proxy", "https_proxy", "ftp_proxy", "HTTP_PROXY", "HTTPS_PROXY", "FTP_PROXY"})
    qunsetenv(name);
}

void TTempHomeTest::TearDown() {
  if (mLogOpened)
    CloseLog();
  qunsetenv("MELODRA_HOME");
}

void TTempHomeTest::WriteRegistry(const QStringList &aLines) const {
  WriteFile(
      HomeFile(QStringLiteral("registry.reg")),
      (QStringLiteral("Windows Registry Editor Version 5.00\n\n") + aLines.join(u'\n') + u'\n')
          .toUtf8());
}

QString TTempHomeTest::ReadRegistry() const {
  return QString::fromUtf8(ReadFile(HomeFile(QStringLiteral("registry.reg"))));
}

void TTempHomeTest::OpenTestLog() {
  OpenLog();
  mLogOpened = true;
}

QStringList TTempHomeTest::LogMessages() const {
  static const QRegularExpression stamp(QStringLiteral("^\\[[^\\]]*\\] "));
  QString text = QString::fromUtf8(ReadFile(HomeFile(QStringLiteral("log.txt"))));
  QStringList lines = text.split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty())
    lines.removeLast();
  for (QString &line : lines)
    line.remove(stamp);
  return lines;
}

void TTempHomeTest::WriteFile(const QString &aPath, const QByteArray &aData) {
  QDir().mkpath(QFileInfo(aPath).absolutePath());
  QFile file(aPath);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << aPath.toStdString();
  file.write(aData);
}

QByteArray TTempHomeTest::ReadFile(const QString &aPath) {
  QFile file(aPath);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll();
}

void TDefaultApplicationTest::SetUp() {
  TTempHomeTest::SetUp();
  mApplication = DefaultApplication();
  SetCurrentApplication(mApplication.get());
}

void TDefaultApplicationTest::TearDown() {
  SetCurrentApplication(nullptr);
  mApplication.reset();
  TTempHomeTest::TearDown();
}

int ListenOnLoopback(int &aPort, int aBacklog) {
  aPort = 0;
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0)
    return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
      listen(listener, aBacklog) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
    close(listener);
    return -1;
  }
  aPort = ntohs(address.sin_port);
  return listener;
}
