#include "melStoreClient.h"

#include <QUrl>

#include <curl/curl.h>

#include <memory>

namespace {

constexpr int cMaxRedirects = 10;

void InitCurlOnce() {
  static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  (void)done;
}

struct tReceivedC {
  QList<std::pair<QByteArray, QByteArray>> mHeaders;
  QByteArray mBody;
};

size_t OnHeader(char *aData, size_t aSize, size_t aCount, void *aUser) {
  const size_t length = aSize * aCount;
  AddResponseHeaderLine(static_cast<tReceivedC *>(aUser)->mHeaders,
                        QByteArray(aData, qsizetype(length)));
  return length;
}

size_t OnBody(char *aData, size_t aSize, size_t aCount, void *aUser) {
  static_cast<tReceivedC *>(aUser)->mBody.append(aData, qsizetype(aSize * aCount));
  return aSize * aCount;
}

struct tCurlDeleterC {
  void operator()(CURL *aCurl) const { curl_easy_cleanup(aCurl); }
};
struct tListDeleterC {
  void operator()(curl_slist *aList) const { curl_slist_free_all(aList); }
};

} // namespace

void ApplyStoreTransport(void *aCurl, const tStoreRequestOptionsC &aOptions) {
  CURL *handle = static_cast<CURL *>(aCurl);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  const QByteArray certificate = aOptions.mCertificateFile.toLocal8Bit();
  if (!certificate.isEmpty()) {
    // The store's certificate, and the system's folder besides it.
    curl_easy_setopt(handle, CURLOPT_CAINFO, certificate.constData());
    curl_easy_setopt(handle, CURLOPT_CAPATH, "/etc/ssl/certs");
  }
  // The detected proxy or none; the environment's own is not taken, but its
  // exceptions are. libcurl copies the texts.
  const QByteArray proxy = aOptions.mProxy.mEnabled ? QStringLiteral("http://%1:%2")
                                                          .arg(aOptions.mProxy.mServer)
                                                          .arg(aOptions.mProxy.mPort)
                                                          .toUtf8()
                                                    : QByteArray();
  curl_easy_setopt(handle, CURLOPT_PROXY, proxy.constData());
  QByteArray noProxy = qgetenv("no_proxy");
  if (noProxy.isEmpty())
    noProxy = qgetenv("NO_PROXY");
  curl_easy_setopt(handle, CURLOPT_NOPROXY, noProxy.constData());
}

QByteArray StoreCookieLine(const QString &aUrl, const tStoreRequestOptionsC &aOptions) {
  const QString host = QUrl(aUrl).host();
  if (!aOptions.mStoreHost.isEmpty() && host.compare(aOptions.mStoreHost, Qt::CaseInsensitive) != 0)
    return QByteArray();
  return aOptions.mCookie.isEmpty() ? QByteArray("Cookie;") : "Cookie:" + aOptions.mCookie.toUtf8();
}

tStoreClientC::tStoreClientC(tStoreRequestOptionsC aOptions) : mOptions(std::move(aOptions)) {
  InitCurlOnce();
}

tStoreResponseC tStoreClientC::Head(const QString &aUrl) {
  return Send(aUrl, true);
}

tStoreResponseC tStoreClientC::Get(const QString &aUrl) {
  return Send(aUrl, false);
}

tStoreResponseC tStoreClientC::Send(const QString &aUrl, bool aHead) {
  // Redirects are followed here, one request at a time, so that each hop
  // decides for itself whether it may carry the store's cookie.
  QString url = aUrl;
  for (int hop = 0; hop <= cMaxRedirects; ++hop) {
    std::unique_ptr<CURL, tCurlDeleterC> curl(curl_easy_init());
    if (!curl)
      throw EStoreRequestError(QStringLiteral("The store request cannot be made."));
    CURL *handle = curl.get();
    const QByteArray address = url.toUtf8();
    tReceivedC received;
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle, CURLOPT_URL, address.constData());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, long(mOptions.mConnectTimeoutMs));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, long(mOptions.mTimeoutMs));
    curl_easy_setopt(handle, CURLOPT_NOBODY, aHead ? 1L : 0L);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &received);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
    ApplyStoreTransport(handle, mOptions);
    std::unique_ptr<curl_slist, tListDeleterC> headers;
    if (const QByteArray line = StoreCookieLine(url, mOptions); !line.isEmpty()) {
      headers.reset(curl_slist_append(nullptr, line.constData()));
      curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    }
    const CURLcode result = curl_easy_perform(handle);
    if (result != CURLE_OK)
      throw EStoreRequestError(
          QStringLiteral("The store request for %1 failed: %2")
              .arg(url, QString::fromUtf8(*error ? error : curl_easy_strerror(result))));
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    char *next = nullptr;
    curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &next);
    if (status >= 300 && status < 400 && next) {
      url = QString::fromUtf8(next);
      continue;
    }
    if (status >= 400)
      throw EStoreRequestError(
          QStringLiteral("The store answered %1 for %2.").arg(status).arg(url));
    return {status, url, std::move(received.mHeaders), std::move(received.mBody)};
  }
  throw EStoreRequestError(
      QStringLiteral("The store request for %1 redirects too often.").arg(aUrl));
}

void AddResponseHeaderLine(QList<std::pair<QByteArray, QByteArray>> &aHeaders, QByteArray aLine) {
  while (aLine.endsWith('\n') || aLine.endsWith('\r'))
    aLine.chop(1);
  if (aLine.startsWith("HTTP/")) {
    // A new answer (after a 100 Continue, say): only the last one counts.
    aHeaders.clear();
    return;
  }
  if (!aLine.isEmpty() && (aLine[0] == ' ' || aLine[0] == '\t')) {
    const QByteArray more = aLine.trimmed();
    if (aHeaders.isEmpty() || more.isEmpty())
      return;
    QByteArray &value = aHeaders.last().second;
    value = value.isEmpty() ? more : value + ' ' + more;
    return;
  }
  const qsizetype colon = aLine.indexOf(':');
  if (colon <= 0)
    return;
  const QByteArray name = aLine.left(colon);
  // A name is a token: no blanks or control characters in it.
  for (const char c : name)
    if (uchar(c) <= ' ' || c == 0x7F)
      return;
  aHeaders.append({name, aLine.mid(colon + 1).trimmed()});
}

QString HeaderValue(const tStoreResponseC &aResponse, const QByteArray &aName) {
  for (const auto &[name, value] : aResponse.mHeaders)
    if (name.compare(aName, Qt::CaseInsensitive) == 0)
      return QString::fromUtf8(value).trimmed();
  return {};
}

QString QueryResponseHeader(const QString &aUrl, const QByteArray &aName,
                            const tStoreRequestOptionsC &aOptions) {
  const tStoreResponseC response = tStoreClientC(aOptions).Head(aUrl);
  QString result;
  // The name test is exact; the value is then the first of any letter case.
  for (const auto &header : response.mHeaders)
    if (header.first == aName)
      result = HeaderValue(response, aName);
  return result;
}

std::optional<QString>
ResolveDownloadQuery(const QString &aLink, const tStoreRequestOptionsC &aOptions, QString *aError) {
  try {
    return QueryResponseHeader(aLink, "Download", aOptions);
  } catch (const EStoreRequestError &e) {
    if (aError)
      *aError = e.Message();
    return std::nullopt;
  }
}

QString CatalogUrlFor(const QString &aPlainBase, const QString &aLink,
                      const tStoreRequestOptionsC &aOptions, QString *aError) {
  return aPlainBase + QStringLiteral("/downloadStore/download.php?") +
         ResolveDownloadQuery(aLink, aOptions, aError).value_or(QString());
}

std::optional<QByteArray>
FetchStoreCatalog(const QString &aUrl, const tStoreRequestOptionsC &aOptions, QString *aError) {
  try {
    return tStoreClientC(aOptions).Get(aUrl).mBody;
  } catch (const EStoreRequestError &e) {
    if (aError)
      *aError = e.Message();
    return std::nullopt;
  }
}
