#pragma once

#include <QMutex>
#include <QString>

#include <optional>

// The store session: the cookie text of the last completed secure store
// page, as the page's script sees it ("name=value; name=value"). Never kept
// on disk. Written on the main thread, read from any thread: a reader always
// gets one text whole.
class tStoreSessionC {
public:
  // A completed page, frames included. Only pages below aSecureBase +
  // "/downloadStore/" count; their cookie text replaces the one kept, also
  // when it is empty (the user logged out). A page that offered no document
  // (nullopt) leaves the text as it was.
  void CaptureStoreCookie(const QString &aUrl, const std::optional<QString> &aDocumentCookie,
                          const QString &aSecureBase);
  QString GetStoreCookie() const;
  // The store's login cookie is there: "Login" anywhere, in this letter case.
  bool LoggedIn() const;
  void Clear();

private:
  mutable QMutex mLock;
  QString mCookie;
};
