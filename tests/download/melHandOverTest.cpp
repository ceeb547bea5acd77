#include "melHandOver.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(HandOver, AWorkerWaitsUntilTheMainThreadRanItsWork) {
  tHandOverC handOver;
  std::atomic<int> step{0};
  bool ranOnMain = false;
  std::atomic<bool> returned{false};
  const auto main = std::this_thread::get_id();
  std::thread worker([&] {
    step = 1;
    EXPECT_TRUE(handOver.Call(&step, [&] { ranOnMain = std::this_thread::get_id() == main; }));
    // The work has run by now.
    EXPECT_TRUE(ranOnMain);
    returned = true;
    handOver.Wake();
  });
  // Waiting for the worker runs what it hands over; nothing else does.
  handOver.WaitUntil([&] { return returned.load(); });
  worker.join();
  EXPECT_TRUE(ranOnMain);
}

TEST(HandOver, TheEventLoopRunsHandedOverWorkToo) {
  tHandOverC handOver;
  std::atomic<bool> returned{false};
  int calls = 0;
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i)
      handOver.Call(&calls, [&] { ++calls; });
    handOver.Post(&calls, [&] { calls += 10; });
    returned = true;
  });
  while (calls < 13)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
  worker.join();
  EXPECT_EQ(calls, 13);
}

TEST(HandOver, ClosingReleasesABlockedWorkerAndCancelDropsPendingWork) {
  tHandOverC handOver;
  std::atomic<bool> queued{false};
  bool ran = false;
  bool result = true;
  std::thread worker([&] {
    queued = true;
    result = handOver.Call(&ran, [&] { ran = true; });
  });
  while (!queued)
    std::this_thread::yield();
  // The main thread never runs it: a window that goes away.
  handOver.Close();
  worker.join();
  EXPECT_FALSE(result);
  EXPECT_FALSE(ran);

  tHandOverC second;
  bool posted = false;
  std::thread poster([&] { second.Post(&posted, [&] { posted = true; }); });
  poster.join();
  second.Cancel(&posted);
  second.RunPending();
  EXPECT_FALSE(posted);
}
