#pragma once

// The pieces of the store browser that sit inside the web engine: the page
// that reports navigations and document reports, and the profile's request
// interceptor that carries extra headers and keeps the browser offline.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

#include <functional>
#include <optional>

using tRequestHeadersC = QList<QPair<QByteArray, QByteArray>>;

// "Name: value" lines ended by LF CR, CR LF or LF. Blank lines and lines that
// are no header (no colon, a name that is not a token) are left out.
tRequestHeadersC ParseRequestHeaders(const QString &aText);

// Two addresses that name the same request once the engine has put them in
// its canonical form (empty path as "/", default port dropped, no fragment).
bool SameRequestUrl(const QUrl &aLeft, const QUrl &aRight);

// What the document script tells about a document that has been parsed.
struct tDocumentReportC {
  bool mMainFrame = true;
  QString mUrl;
  std::optional<QString> mCookie;
};

// The script that reports each document, the page's and every frame's, in a
// world the page's own script cannot reach. aTag starts every report, so a
// console line of the page itself can never pass for one.
QString DocumentReportScript(const QString &aTag);
// The report in a console line, or nullopt when the line is not one.
std::optional<tDocumentReportC> ParseDocumentReport(const QString &aTag, const QString &aLine);

class tWebPageC : public QWebEnginePage {
  Q_OBJECT
public:
  // Answers whether a navigation may go ahead.
  using tNavigationHandlerC = std::function<bool(const QUrl &, NavigationType, bool)>;
  using tConsoleHandlerC = std::function<bool(const QString &)>;

  tWebPageC(QWebEngineProfile *aProfile, QObject *aParent);
  void SetNavigationHandler(tNavigationHandlerC aHandler) { mNavigation = std::move(aHandler); }
  // The handler returns true for a line it has taken; the others are logged
  // as the engine logs them.
  void SetConsoleHandler(tConsoleHandlerC aHandler) { mConsole = std::move(aHandler); }

protected:
  bool acceptNavigationRequest(const QUrl &aUrl, NavigationType aType, bool aMainFrame) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel aLevel, const QString &aMessage,
                                int aLine, const QString &aSource) override;

private:
  tNavigationHandlerC mNavigation;
  tConsoleHandlerC mConsole;
};

class tWebRequestInterceptorC : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT
public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

  void SetOffline(bool aOffline);
  bool Offline() const;
  // The next top-level request for aUrl carries aHeaders; no other does.
  void SetPendingHeaders(const QUrl &aUrl, tRequestHeadersC aHeaders);
  void ClearPendingHeaders();
  // A navigation to aUrl that will not happen leaves no headers waiting.
  void DropPendingHeadersFor(const QUrl &aUrl);

  void interceptRequest(QWebEngineUrlRequestInfo &aInfo) override;

private:
  mutable QMutex mLock;
  bool mOffline = false;
  std::optional<QUrl> mPendingUrl;
  tRequestHeadersC mPendingHeaders;
};
