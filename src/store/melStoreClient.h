#pragma once

#include "melErrors.h"
#include "melProxy.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// A store request that failed: no connection, TLS, a timeout, an HTTP error.
class EStoreRequestError : public EMelError {
public:
  using EMelError::EMelError;
};

// What every store request is made with.
struct tStoreRequestOptionsC {
  // Sent as the one line "Cookie:" + text, also when empty, but only to
  // mStoreHost: a catalog may name any address, and the store's session is
  // nobody else's business.
  QString mCookie;
  QString mStoreHost;
  tStoreProxyC mProxy;
  // A certificate trusted besides the system's (the store's own); always
  // verified.
  QString mCertificateFile;
  int mConnectTimeoutMs = 10000;
  int mTimeoutMs = 30000;
};

// The final answer after every redirect.
struct tStoreResponseC {
  long mStatus = 0;
  QString mUrl;
  // Header lines in order: name as sent, value with continuations joined.
  QList<std::pair<QByteArray, QByteArray>> mHeaders;
  QByteArray mBody;
};

// What every connection to the store shares, set on a libcurl easy handle
// (a CURL *): certificates always verified, the store's trusted besides the
// system's; the detected proxy or none, with the environment's exceptions.
void ApplyStoreTransport(void *aCurl, const tStoreRequestOptionsC &aOptions);
// The header line that carries the session to aUrl: "Cookie:" and the text
// ("Cookie;" when it is empty, libcurl's way of sending the line empty);
// empty for a host other than the store's, which gets no cookie.
QByteArray StoreCookieLine(const QString &aUrl, const tStoreRequestOptionsC &aOptions);

// One client per request, never shared. Raises EStoreRequestError.
class tStoreClientC {
public:
  explicit tStoreClientC(tStoreRequestOptionsC aOptions);
  tStoreResponseC Head(const QString &aUrl);
  tStoreResponseC Get(const QString &aUrl);

private:
  tStoreResponseC Send(const QString &aUrl, bool aHead);
  tStoreRequestOptionsC mOptions;
};

// One line of an answer's head, as received: a status line starts the list
// again (only the final answer counts), a line that starts with a blank
// continues the value before it, a line without a name (a token before a
// colon) is left out.
void AddResponseHeaderLine(QList<std::pair<QByteArray, QByteArray>> &aHeaders, QByteArray aLine);

// The value of the first header whose name equals aName in any letter case,
// trimmed; empty without one.
QString HeaderValue(const tStoreResponseC &aResponse, const QByteArray &aName);

// The "Download" header of a download link's HEAD answer (the catalog
// query); empty without one. A failure gives nullopt, and its message in
// aError when given.
std::optional<QString> ResolveDownloadQuery(const QString &aLink,
                                            const tStoreRequestOptionsC &aOptions,
                                            QString *aError = nullptr);
// The address of an item's store catalog document: aPlainBase +
// "/downloadStore/download.php?" + the link's query (empty when it failed,
// with the failure in aError when given).
QString CatalogUrlFor(const QString &aPlainBase, const QString &aLink,
                      const tStoreRequestOptionsC &aOptions, QString *aError = nullptr);
// The body of a GET; nullopt when the request failed, with the failure in
// aError when given.
std::optional<QByteArray> FetchStoreCatalog(const QString &aUrl,
                                            const tStoreRequestOptionsC &aOptions,
                                            QString *aError = nullptr);
// One header of a HEAD answer, by the exact name of its line; empty without
// one. Raises EStoreRequestError.
QString QueryResponseHeader(const QString &aUrl, const QByteArray &aName,
                            const tStoreRequestOptionsC &aOptions);
