#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// Hands work from worker threads to the thread that made it (the main
// thread). Call blocks the worker until the main thread has run the work;
// a main thread that waits for a worker (WaitUntil) keeps running what is
// handed over meanwhile, so the two never wait for each other. Once closed,
// nothing more runs and no worker blocks any longer.
class tHandOverC {
public:
  tHandOverC();
  ~tHandOverC();
  tHandOverC(const tHandOverC &) = delete;
  tHandOverC &operator=(const tHandOverC &) = delete;

  // From a worker: runs aWork on the main thread and returns once it has
  // run (true), or at once when the hand-over is closed (false). On the
  // main thread itself it runs directly.
  bool Call(const void *aOwner, std::function<void()> aWork);
  // From a worker: aWork runs on the main thread later; the worker goes on.
  void Post(const void *aOwner, std::function<void()> aWork);
  // Drops what aOwner has handed over and not yet run (its blocked calls
  // return false).
  void Cancel(const void *aOwner);

  // Main thread: runs what has been handed over so far.
  void RunPending();
  // Main thread: runs handed-over work until aDone holds. A worker that
  // makes aDone true calls Wake afterwards.
  void WaitUntil(const std::function<bool()> &aDone);
  void Wake();

  // No more work runs; blocked workers go on.
  void Close();
  bool Closed() const;

private:
  struct tItemC {
    const void *mOwner = nullptr;
    std::function<void()> mWork;
    bool mBlocking = false;
    bool mDone = false;
    bool mRan = false;
  };
  void Enqueue(const std::shared_ptr<tItemC> &aItem);
  bool OnMainThread() const;

  mutable std::mutex mLock;
  std::condition_variable mChanged;
  std::deque<std::shared_ptr<tItemC>> mQueue;
  bool mClosed = false;
  // Wakes the main thread's event loop; lives on the main thread.
  std::unique_ptr<QObject> mReceiver;
};
