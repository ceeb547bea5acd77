#include "melScreenSaver.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

#include <memory>

namespace {

std::unique_ptr<QDBusInterface> ScreenSaver() {
  return std::make_unique<QDBusInterface>(
      QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
      QStringLiteral("org.freedesktop.ScreenSaver"), QDBusConnection::sessionBus());
}

} // namespace

tScreenSaverC::~tScreenSaverC() {
  SetInhibited(false);
}

void tScreenSaverC::SetInhibited(bool aInhibited) {
  if (aInhibited == Inhibited() || !QDBusConnection::sessionBus().isConnected())
    return;
  const auto service = ScreenSaver();
  if (!service->isValid())
    return;
  if (aInhibited) {
    const QDBusReply<uint32_t> reply = service->call(
        QStringLiteral("Inhibit"), QStringLiteral("Melodra"), QStringLiteral("Playing a lesson"));
    if (reply.isValid())
      mCookie = reply.value();
  } else {
    service->call(QStringLiteral("UnInhibit"), mCookie);
    mCookie = 0;
  }
}
