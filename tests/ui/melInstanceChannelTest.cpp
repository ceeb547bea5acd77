#include "melInstanceChannel.h"
#include "melSingleInstance.h"
#include "melTestEnv.h"
#include "melUiTestSupport.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>

namespace {

class InstanceChannelTest : public TTempHomeTest {
protected:
  QString Name() const { return InstanceChannelName(Home()); }
};

TEST_F(InstanceChannelTest, ARequestRaisesOnceAndIsAnswered) {
  tInstanceChannelC channel(Name());
  QString error;
  ASSERT_TRUE(channel.Listen(error)) << error.toStdString();
  QSignalSpy raised(&channel, &tInstanceChannelC::RaiseRequested);

  // The asking side blocks, as a second start does; the channel needs this
  // thread's event loop.
  std::atomic<int> answered{-1};
  std::unique_ptr<QThread> asker(QThread::create(
      [this, &answered] { answered = tInstanceChannelC::RequestRaise(Name(), 10000) ? 1 : 0; }));
  asker->start();
  ASSERT_TRUE(WaitFor([&answered] { return answered != -1; }, 15000));
  asker->wait();
  EXPECT_EQ(answered, 1);
  EXPECT_EQ(raised.count(), 1);

  // One listener per name: the folder is already heard.
  tInstanceChannelC again(Name());
  EXPECT_FALSE(again.Listen(error));
}

TEST_F(InstanceChannelTest, NobodyListeningIsNoAnswer) {
  EXPECT_FALSE(tInstanceChannelC::RequestRaise(Name(), 300));
}

TEST_F(InstanceChannelTest, WhatIsNotARequestRaisesNothingAndIsCut) {
  tInstanceChannelC channel(Name());
  QString error;
  ASSERT_TRUE(channel.Listen(error)) << error.toStdString();
  QSignalSpy raised(&channel, &tInstanceChannelC::RaiseRequested);
  for (const QByteArray &request :
       {QByteArray("show\n"), QByteArray("raise now\n"), QByteArray(4096, 'r')}) {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(Name());
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write(request);
    ASSERT_TRUE(WaitFor([&socket] { return socket.state() == QLocalSocket::UnconnectedState; }))
        << request.left(20).toStdString();
    EXPECT_TRUE(socket.readAll().isEmpty());
  }
  EXPECT_EQ(raised.count(), 0);
}

class BringForwardTest : public TStoreApplicationTest {};

TEST_F(BringForwardTest, AMinimisedWindowComesBack) {
  mWindow = std::make_unique<TMain>();
  mWindow->showMinimized();
  ASSERT_TRUE(mWindow->isMinimized());
  mWindow->BringForward();
  EXPECT_FALSE(mWindow->isMinimized());
  EXPECT_TRUE(mWindow->isVisible());
}

} // namespace
