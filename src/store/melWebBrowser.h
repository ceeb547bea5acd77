#pragma once

#include <QString>
#include <QWidget>

#include <optional>

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

// The embedded browser of the store, a widget that fills its parent. Made by
// CreateWebBrowser; the web engine behind it is loaded with the first one,
// never before.
class TWebBrowser : public QWidget {
  Q_OBJECT
public:
  ~TWebBrowser() override;

  // A top-level navigation whose request carries aHeaders: "Name: value"
  // lines, each ended by LF CR, CR LF or LF. Raises EMelError for an
  // address that is not one.
  virtual void Navigate2(const QString &aUrl, const QString &aHeaders) = 0;
  virtual void Navigate(const QString &aUrl) = 0;
  virtual void GoBack() = 0;
  virtual void GoForward() = 0;
  virtual void Stop() = 0;
  // Offline, no request leaves the browser.
  virtual void SetOffline(bool aOffline) = 0;
  virtual bool Offline() const = 0;

  virtual bool CanGoBack() const = 0;
  virtual bool CanGoForward() const = 0;
  virtual QString LocationURL() const = 0;

signals:
  // Before every navigation of the page and its frames; *aCancel = true
  // drops it before any request goes out.
  void BeforeNavigate2(TWebBrowser *aSender, const tBrowserObjectC &aBrowser, const QString &aUrl,
                       bool *aCancel);
  void NavigateComplete2(TWebBrowser *aSender, const tBrowserObjectC &aBrowser,
                         const QString &aUrl);
  void CommandStateChange(TWebBrowser *aSender, int aCommand, bool aEnable);
  // The page's navigation ended without its document (no connection, a
  // refused certificate, stopped); no NavigateComplete2 follows.
  void NavigateError(TWebBrowser *aSender, const QString &aUrl);

protected:
  explicit TWebBrowser(QWidget *aParent);
};

// A new browser in aParent. Raises EMelError when the web engine cannot be
// loaded.
TWebBrowser *CreateWebBrowser(QWidget *aParent, const tWebBrowserOptionsC &aOptions);

// A program linked with the web engine itself makes its browsers through
// this instead of loading the engine's module.
using tWebBrowserFactoryFn = TWebBrowser *(*)(QWidget *aParent,
                                              const tWebBrowserOptionsC &aOptions);
void SetWebBrowserFactory(tWebBrowserFactoryFn aFactory);

// The module that holds the web engine, beside the program or in its
// library folder.
inline constexpr const char *cWebEngineModule = "melodra-webengine.so";
inline constexpr const char *cWebEngineFactorySymbol = "MelodraCreateWebBrowser";
