#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QWebEngineView;

// The page or frame a navigation event is about. A completed one carries its
// document's cookie text as the page's script sees it ("a=1; b=2"), read
// before the event is raised; nullopt when it had no document to read.
struct tBrowserObjectC {
  bool mMainFrame = true;
  std::optional<QString> mDocumentCookie;
};

struct tWebBrowserOptionsC {
  // A certificate error is accepted only for this host, and only when the
  // server shows the certificate in mCertificateFile (PEM).
  QString mTrustedHost;
  QString mCertificateFile;
};

// The commands of CommandStateChange.
constexpr int cCSCNavigateForward = 1;
constexpr int cCSCNavigateBack = 2;

// The embedded browser of the store, a widget that fills its parent. The web
// engine starts with the first TWebBrowser, never before.
class TWebBrowser : public QWidget {
  Q_OBJECT
public:
  explicit TWebBrowser(QWidget *aParent, tWebBrowserOptionsC aOptions = {});
  ~TWebBrowser() override;

  // A top-level navigation whose request carries aHeaders: "Name: value"
  // lines, each ended by LF CR, CR LF or LF. Raises EMelError for an
  // address that is not one.
  void Navigate2(const QString &aUrl, const QString &aHeaders);
  void Navigate(const QString &aUrl);
  void GoBack();
  void GoForward();
  void Stop();
  // Offline, no request leaves the browser.
  void SetOffline(bool aOffline);
  bool Offline() const;

  bool CanGoBack() const;
  bool CanGoForward() const;
  QString LocationURL() const;
  QWebEngineView *View() const;

signals:
  // Before every navigation of the page and its frames; *aCancel = true
  // drops it before any request goes out.
  void BeforeNavigate2(TWebBrowser *aSender, const tBrowserObjectC &aBrowser, const QString &aUrl,
                       bool *aCancel);
  void NavigateComplete2(TWebBrowser *aSender, const tBrowserObjectC &aBrowser,
                         const QString &aUrl);
  void CommandStateChange(TWebBrowser *aSender, int aCommand, bool aEnable);

private:
  struct tPrivateC;
  std::unique_ptr<tPrivateC> d;
};
