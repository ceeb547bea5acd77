#include "melScreenSaver.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>

namespace {

const QString cService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString cPath = QStringLiteral("/org/freedesktop/ScreenSaver");

} // namespace

tScreenSaverC::tScreenSaverC(QDBusConnection aBus)
    : mBus(std::move(aBus)), mReplies(std::make_unique<QObject>()) {
  if (!mBus.isConnected())
    mService = tServiceE::Absent;
}

tScreenSaverC::~tScreenSaverC() {
  mReplies.reset();
  if (mCookie != 0) {
    QDBusMessage release =
        QDBusMessage::createMethodCall(cService, cPath, cService, QStringLiteral("UnInhibit"));
    release << mCookie;
    mBus.send(release);
  }
}

template <typename tDone>
void tScreenSaverC::Send(const QString &aMethod, const QVariantList &aArgs, tDone aDone) {
  const bool bus = aMethod == QLatin1String("NameHasOwner");
  QDBusMessage message =
      bus ? QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                           QStringLiteral("/org/freedesktop/DBus"),
                                           QStringLiteral("org.freedesktop.DBus"), aMethod)
          : QDBusMessage::createMethodCall(cService, cPath, cService, aMethod);
  message.setArguments(aArgs);
  ++mCalls;
  auto *watcher = new QDBusPendingCallWatcher(mBus.asyncCall(message), mReplies.get());
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, mReplies.get(),
                   [aDone](QDBusPendingCallWatcher *aWatcher) {
                     aWatcher->deleteLater();
                     aDone(*aWatcher);
                   });
}

void tScreenSaverC::SetInhibited(bool aInhibited) {
  mWanted = aInhibited;
  Apply();
}

void tScreenSaverC::Apply() {
  switch (mService) {
  case tServiceE::Absent:
  case tServiceE::Asking: return;
  case tServiceE::Unknown:
    // Nothing to ask before a movie first plays.
    if (!mWanted)
      return;
    mService = tServiceE::Asking;
    Send(QStringLiteral("NameHasOwner"), {cService}, [this](const QDBusPendingCall &aCall) {
      const QDBusPendingReply<bool> reply = aCall;
      mService = reply.isValid() && reply.value() ? tServiceE::Present : tServiceE::Absent;
      Apply();
    });
    return;
  case tServiceE::Present: break;
  }
  if (mWanted && mCookie == 0 && !mInhibiting) {
    mInhibiting = true;
    Send(QStringLiteral("Inhibit"), {QStringLiteral("Melodra"), QStringLiteral("Playing a lesson")},
         [this](const QDBusPendingCall &aCall) {
           mInhibiting = false;
           const QDBusPendingReply<uint32_t> reply = aCall;
           if (reply.isValid())
             mCookie = reply.value();
           else
             mService = tServiceE::Absent; // refused: not asked again
           Apply();
         });
  } else if (!mWanted && mCookie != 0) {
    const uint32_t cookie = mCookie;
    mCookie = 0;
    Send(QStringLiteral("UnInhibit"), {cookie}, [](const QDBusPendingCall &) {});
  }
}
