#pragma once

#include <QMetaObject>
#include <QObject>

#include <atomic>

// Hands a call from an engine thread over to aTarget's thread, once per
// batch: wakeups that come while one is pending are folded into it. The
// queued call goes with aTarget if it is destroyed first.
template <typename tCall> void PostOnce(QObject *aTarget, std::atomic<bool> &aQueued, tCall aCall) {
  if (aQueued.exchange(true))
    return;
  QMetaObject::invokeMethod(
      aTarget,
      [&aQueued, aCall = std::move(aCall)] {
        aQueued = false;
        aCall();
      },
      Qt::QueuedConnection);
}
