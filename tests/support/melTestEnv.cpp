#include "melTestEnv.h"

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
