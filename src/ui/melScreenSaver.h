#pragma once

#include <QDBusConnection>

#include <cstdint>
#include <memory>

class QObject;

// Holds the desktop's screen saver off while a movie plays, through the
// freedesktop screen saver service; without one it does nothing. Whether the
// service is there is asked once, and every call is asynchronous: the window
// never waits on the bus.
class tScreenSaverC {
public:
  explicit tScreenSaverC(QDBusConnection aBus = QDBusConnection::sessionBus());
  ~tScreenSaverC();
  tScreenSaverC(const tScreenSaverC &) = delete;
  tScreenSaverC &operator=(const tScreenSaverC &) = delete;

  void SetInhibited(bool aInhibited);
  bool Inhibited() const { return mCookie != 0; }
  // Calls sent on the bus so far.
  int BusCalls() const { return mCalls; }

private:
  enum class tServiceE { Unknown, Asking, Present, Absent };
  void Apply();
  template <typename tDone>
  void Send(const QString &aMethod, const QVariantList &aArgs, tDone aDone);

  QDBusConnection mBus;
  tServiceE mService = tServiceE::Unknown;
  bool mWanted = false;
  bool mInhibiting = false; // an Inhibit awaits its cookie
  uint32_t mCookie = 0;
  int mCalls = 0;
  // Owns the pending replies, so that none arrives after the object went.
  std::unique_ptr<QObject> mReplies;
};
