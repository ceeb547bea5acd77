#include "melWebPage.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QWebEngineUrlRequestInfo>

namespace {

bool IsTokenChar(QChar aChar) {
  const char16_t c = aChar.unicode();
  if (c >= 0x80)
    return false;
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         QByteArrayView("!#$%&'*+-.^_`|~").contains(char(c));
}

bool IsFieldValue(const QString &aValue) {
  for (const QChar c : aValue)
    if (c.unicode() < 0x20 && c != u'\t')
      return false;
  return true;
}

QUrl CanonicalRequestUrl(const QUrl &aUrl) {
  QUrl url = aUrl.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments);
  if (url.path().isEmpty() && !url.host().isEmpty())
    url.setPath(QStringLiteral("/"));
  if ((url.scheme() == u"http" && url.port() == 80) ||
      (url.scheme() == u"https" && url.port() == 443))
    url.setPort(-1);
  return url;
}

} // namespace

tRequestHeadersC ParseRequestHeaders(const QString &aText) {
  static const QRegularExpression lineEnd(QStringLiteral("\n\r|\r\n|\n"));
  tRequestHeadersC headers;
  for (const QString &line : aText.split(lineEnd, Qt::SkipEmptyParts)) {
    const qsizetype colon = line.indexOf(u':');
    if (colon <= 0)
      continue;
    const QString name = line.left(colon);
    const QString value = line.mid(colon + 1).trimmed();
    if (!std::all_of(name.begin(), name.end(), IsTokenChar) || !IsFieldValue(value))
      continue;
    headers.append({name.toLatin1(), value.toUtf8()});
  }
  return headers;
}

bool SameRequestUrl(const QUrl &aLeft, const QUrl &aRight) {
  return CanonicalRequestUrl(aLeft) == CanonicalRequestUrl(aRight);
}

QString DocumentReportScript(const QString &aTag) {
  // Runs in its own world: the page cannot replace console, JSON or the
  // location getters seen here. A page restored from the back-forward cache
  // is not parsed again, so its showing reports it once more.
  return QStringLiteral(R"((function () {
  'use strict';
  var tag = '%1';
  function report() {
    var cookie = null;
    try { cookie = String(document.cookie); } catch (e) {}
    console.log(tag + JSON.stringify({main: window === window.top, url: String(location.href),
                                      cookie: cookie}));
  }
  report();
  window.addEventListener('pageshow', function (e) { if (e.persisted) report(); });
})();)")
      .arg(aTag);
}

std::optional<tDocumentReportC> ParseDocumentReport(const QString &aTag, const QString &aLine) {
  if (aTag.isEmpty() || !aLine.startsWith(aTag))
    return std::nullopt;
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(aLine.mid(aTag.size()).toUtf8(), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject())
    return std::nullopt;
  const QJsonObject object = document.object();
  if (!object.value(u"main").isBool() || !object.value(u"url").isString())
    return std::nullopt;
  tDocumentReportC report;
  report.mMainFrame = object.value(u"main").toBool();
  report.mUrl = object.value(u"url").toString();
  if (object.value(u"cookie").isString())
    report.mCookie = object.value(u"cookie").toString();
  return report;
}

tWebPageC::tWebPageC(QWebEngineProfile *aProfile, QObject *aParent)
    : QWebEnginePage(aProfile, aParent) {}

bool tWebPageC::acceptNavigationRequest(const QUrl &aUrl, NavigationType aType, bool aMainFrame) {
  return mNavigation ? mNavigation(aUrl, aType, aMainFrame) : true;
}

void tWebPageC::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel aLevel,
                                         const QString &aMessage, int aLine,
                                         const QString &aSource) {
  if (mConsole && mConsole(aMessage))
    return;
  QWebEnginePage::javaScriptConsoleMessage(aLevel, aMessage, aLine, aSource);
}

void tWebRequestInterceptorC::SetOffline(bool aOffline) {
  QMutexLocker lock(&mLock);
  mOffline = aOffline;
}

bool tWebRequestInterceptorC::Offline() const {
  QMutexLocker lock(&mLock);
  return mOffline;
}

void tWebRequestInterceptorC::SetPendingHeaders(const QUrl &aUrl, tRequestHeadersC aHeaders) {
  QMutexLocker lock(&mLock);
  mPendingUrl = aUrl;
  mPendingHeaders = std::move(aHeaders);
}

void tWebRequestInterceptorC::ClearPendingHeaders() {
  QMutexLocker lock(&mLock);
  mPendingUrl.reset();
  mPendingHeaders.clear();
}

void tWebRequestInterceptorC::DropPendingHeadersFor(const QUrl &aUrl) {
  QMutexLocker lock(&mLock);
  if (mPendingUrl && SameRequestUrl(*mPendingUrl, aUrl)) {
    mPendingUrl.reset();
    mPendingHeaders.clear();
  }
}

void tWebRequestInterceptorC::interceptRequest(QWebEngineUrlRequestInfo &aInfo) {
  QMutexLocker lock(&mLock);
  if (mOffline) {
    aInfo.block(true);
    return;
  }
  if (mPendingUrl && aInfo.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame &&
      SameRequestUrl(*mPendingUrl, aInfo.requestUrl())) {
    for (const auto &[name, value] : mPendingHeaders)
      aInfo.setHttpHeader(name, value);
    mPendingUrl.reset();
    mPendingHeaders.clear();
  }
}
