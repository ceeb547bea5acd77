#include "melHandOver.h"

#include "melLogging.h"

#include <QCoreApplication>
#include <QThread>

#include <exception>

tHandOverC::tHandOverC() : mReceiver(std::make_unique<QObject>()) {}

tHandOverC::~tHandOverC() {
  Close();
}

bool tHandOverC::OnMainThread() const {
  return QThread::currentThread() == mReceiver->thread();
}

void tHandOverC::Enqueue(const std::shared_ptr<tItemC> &aItem) {
  // Under the lock: Close takes it too, so the receiver is never posted to
  // while it goes away.
  mQueue.push_back(aItem);
  QMetaObject::invokeMethod(
      mReceiver.get(), [this] { RunPending(); }, Qt::QueuedConnection);
  mChanged.notify_all();
}

bool tHandOverC::Call(const void *aOwner, std::function<void()> aWork) {
  if (OnMainThread()) {
    if (Closed())
      return false;
    aWork();
    return true;
  }
  auto item = std::make_shared<tItemC>();
  item->mOwner = aOwner;
  item->mWork = std::move(aWork);
  item->mBlocking = true;
  std::unique_lock lock(mLock);
  if (mClosed)
    return false;
  Enqueue(item);
  mChanged.wait(lock, [&] { return item->mDone || mClosed; });
  return item->mRan;
}

void tHandOverC::Post(const void *aOwner, std::function<void()> aWork) {
  auto item = std::make_shared<tItemC>();
  item->mOwner = aOwner;
  item->mWork = std::move(aWork);
  std::lock_guard lock(mLock);
  if (!mClosed)
    Enqueue(item);
}

void tHandOverC::Cancel(const void *aOwner) {
  std::lock_guard lock(mLock);
  for (auto it = mQueue.begin(); it != mQueue.end();) {
    if ((*it)->mOwner == aOwner) {
      (*it)->mDone = true;
      it = mQueue.erase(it);
    } else {
      ++it;
    }
  }
  mChanged.notify_all();
}

void tHandOverC::RunPending() {
  // Only what is there now: work handed over meanwhile waits for the next
  // turn, so busy workers cannot keep the event loop from other events.
  size_t count = 0;
  {
    std::lock_guard lock(mLock);
    count = mQueue.size();
  }
  for (; count > 0; --count) {
    std::shared_ptr<tItemC> item;
    {
      std::lock_guard lock(mLock);
      if (mClosed || mQueue.empty())
        return;
      item = mQueue.front();
      mQueue.pop_front();
    }
    // Taken off the queue first: the work may wait for workers itself, and
    // that wait runs the rest of the queue.
    try {
      item->mWork();
    } catch (const std::exception &e) {
      try {
        WriteLog(QStringLiteral("A download report failed: ") + QString::fromUtf8(e.what()));
      } catch (...) {
      }
    } catch (...) {
    }
    std::lock_guard lock(mLock);
    item->mRan = true;
    item->mDone = true;
    mChanged.notify_all();
  }
}

void tHandOverC::WaitUntil(const std::function<bool()> &aDone) {
  while (true) {
    RunPending();
    std::unique_lock lock(mLock);
    if (aDone())
      return;
    mChanged.wait(lock, [&] { return aDone() || (!mQueue.empty() && !mClosed); });
    if (aDone())
      return;
  }
}

void tHandOverC::Wake() {
  std::lock_guard lock(mLock);
  mChanged.notify_all();
}

void tHandOverC::Close() {
  std::lock_guard lock(mLock);
  mClosed = true;
  for (const auto &item : mQueue)
    item->mDone = true;
  mQueue.clear();
  mChanged.notify_all();
}

bool tHandOverC::Closed() const {
  std::lock_guard lock(mLock);
  return mClosed;
}
