#include "melStoreSession.h"

#include <QMutexLocker>

void tStoreSessionC::CaptureStoreCookie(const QString &aUrl,
                                        const std::optional<QString> &aDocumentCookie,
                                        const QString &aSecureBase) {
  if (!aDocumentCookie || !aUrl.contains(aSecureBase + QStringLiteral("/downloadStore/")))
    return;
  QMutexLocker lock(&mLock);
  mCookie = *aDocumentCookie;
}

QString tStoreSessionC::GetStoreCookie() const {
  QMutexLocker lock(&mLock);
  return mCookie;
}

bool tStoreSessionC::LoggedIn() const {
  return GetStoreCookie().contains(QLatin1String("Login"));
}

void tStoreSessionC::Clear() {
  QMutexLocker lock(&mLock);
  mCookie.clear();
}
