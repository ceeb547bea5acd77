#include "melScreenSaver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A desktop's screen saver, as far as the player uses it.
class TFakeScreenSaver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public slots:
  uint Inhibit(const QString &aApplication, const QString &) {
    mCalls << QStringLiteral("Inhibit ") + aApplication;
    return 42;
  }
  void UnInhibit(uint aCookie) { mCalls << QStringLiteral("UnInhibit %1").arg(aCookie); }

public:
  QStringList mCalls;
};

// A session bus of the test's own, so the desktop's (if any) is never used.
class ScreenSaverTest : public ::testing::Test {
protected:
  void SetUp() override {
    mDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    ASSERT_TRUE(mDaemon.waitForStarted()) << "dbus-daemon is needed for this test";
    ASSERT_TRUE(mDaemon.waitForReadyRead(5000));
    mAddress = QString::fromUtf8(mDaemon.readLine()).trimmed();
  }
  void TearDown() override {
    QDBusConnection::disconnectFromBus(QStringLiteral("player"));
    QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
    mDaemon.kill();
    mDaemon.waitForFinished();
  }
  QDBusConnection Connect(const QString &aName) {
    return QDBusConnection::connectToBus(mAddress, aName);
  }

  QProcess mDaemon;
  QString mAddress;
};

TEST_F(ScreenSaverTest, WithoutTheServiceItAsksOnceAndNeverWaits) {
  tScreenSaverC saver(Connect(QStringLiteral("player")));
  EXPECT_EQ(saver.BusCalls(), 0) << "nothing is asked before a movie plays";
  // A button update per frame: the answer is asked for once.
  for (int i = 0; i < 200; ++i)
    saver.SetInhibited(i % 3 != 0);
  EXPECT_EQ(saver.BusCalls(), 1);
  QTest::qWait(200);
  for (int i = 0; i < 200; ++i)
    saver.SetInhibited(true);
  EXPECT_EQ(saver.BusCalls(), 1);
  EXPECT_FALSE(saver.Inhibited());
}

TEST_F(ScreenSaverTest, WithTheServiceItInhibitsAndReleasesWithTheCookie) {
  QDBusConnection desktop = Connect(QStringLiteral("desktop"));
  TFakeScreenSaver service;
  ASSERT_TRUE(desktop.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &service,
                                     QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(desktop.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
  {
    tScreenSaverC saver(Connect(QStringLiteral("player")));
    saver.SetInhibited(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return saver.Inhibited(); }, 5000));
    saver.SetInhibited(true);
    saver.SetInhibited(false);
    EXPECT_FALSE(saver.Inhibited());
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.mCalls.size() == 2; }, 5000));
    EXPECT_EQ(service.mCalls,
              (QStringList{QStringLiteral("Inhibit Melodra"), QStringLiteral("UnInhibit 42")}));
    // Held when the window goes: released on the way out.
    saver.SetInhibited(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return saver.Inhibited(); }, 5000));
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return service.mCalls.size() == 4; }, 5000));
  EXPECT_EQ(service.mCalls.last(), QStringLiteral("UnInhibit 42"));
}

} // namespace

#include "melScreenSaverTest.moc"
