#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

class tApplicationC;

// Every test runs in a temporary program folder: MELODRA_HOME and the XDG
// folders point into it, so settings, log and trash never reach the real
// home.
class TTempHomeTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  QString Home() const { return mHome.path() + u'/'; }
  QString HomeFile(const QString &aName) const { return Home() + aName; }
  // Writes the registry file from regedit lines (the header is added).
  void WriteRegistry(const QStringList &aLines) const;
  QString ReadRegistry() const;
  // Opens log.txt in the program folder; closed again at tear-down.
  void OpenTestLog();
  // The messages of the log lines, time stamps taken off.
  QStringList LogMessages() const;
  static void WriteFile(const QString &aPath, const QByteArray &aData);
  static QByteArray ReadFile(const QString &aPath);

private:
  QTemporaryDir mHome;
  bool mLogOpened = false;
};

// A temporary program folder with the store application current, as the
// catalog's file functions need one.
class TDefaultApplicationTest : public TTempHomeTest {
protected:
  void SetUp() override;
  void TearDown() override;

private:
  std::unique_ptr<tApplicationC> mApplication;
};

// Readable QString values in gtest messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &aText, std::ostream *aOut) {
  *aOut << '"' << aText.toStdString() << '"';
}
QT_END_NAMESPACE

// A TCP socket listening on 127.0.0.1 at an ephemeral port, which goes to
// aPort; -1 (and aPort 0) when one cannot be made.
int ListenOnLoopback(int &aPort, int aBacklog = 16);
