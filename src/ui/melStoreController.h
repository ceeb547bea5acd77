#pragma once

#include "melStoreAddresses.h"
#include "melStoreSession.h"

#include <QObject>
#include <QString>

#include <functional>

namespace Ui {
class TMain;
}

class TWebBrowser;
struct tBrowserObjectC;
struct tStoreProxyC;

// The main window's store: the Shop, Home, Back and Forward buttons, the
// embedded browser in the movie panel, the progress panel, the session
// cookie and the purchase of a download link. The web engine starts with
// the first page the store shows, never before.
class TStoreController : public QObject {
  Q_OBJECT
public:
  // aProxy is the window's, read once at its creation.
  TStoreController(Ui::TMain &aForm, const tStoreProxyC &aProxy, QObject *aParent = nullptr);
  ~TStoreController() override;

  // What the window's creation does: the store hidden, the browser offline,
  // no session.
  void Start(bool aStoreApplication);
  // Called after a purchase has been merged into the catalog file: the view
  // shows the new episodes.
  void SetCatalogReloader(std::function<void()> aReload) { FReloadCatalog = std::move(aReload); }
  // Runs the first showing of the web view; the window's composition
  // changes with it.
  void SetFirstWebViewGuard(std::function<void(const std::function<void()> &aShow)> aGuard) {
    FFirstWebView = std::move(aGuard);
  }
  // Told when the store's page comes over the movie panel and when it goes.
  void SetShownListener(std::function<void(bool aShown)> aListener) {
    FShownChanged = std::move(aListener);
  }

  bool StoreShown() const { return FStoreShown; }
  bool StoreProgressShown() const;
  // Nullptr until the store was first shown.
  TWebBrowser *WebBrowser() const { return fWebBrowser; }
  const tStoreAddressesC &Addresses() const { return FAddresses; }
  const tStoreSessionC &Session() const { return FSession; }
  QString GetStoreCookie() const { return FSession.GetStoreCookie(); }
  // Every store request waits this long at most for its connection and for
  // its whole answer.
  void SetRequestTimeouts(int aConnectMs, int aTotalMs);

  void OpenStore();
  void OpenStorePage(const QString &aUrl);
  void HideStore();
  void ShowStoreProgress();
  void HideStoreProgress();
  // True when the user is logged in to the store; otherwise offers the login
  // page and returns false.
  bool CheckStoreLogin();
  void OpenLoginPage();
  // Centres the progress panel in the title bar.
  void PlaceProgressPanel();

  void fStoreBtnClick();
  void btnHomeClick();
  void btnBackClick();
  void btnForwardClick();
  void ProgBarBtnClick();

protected:
  bool eventFilter(QObject *aWatched, QEvent *aEvent) override;

private:
  TWebBrowser &Browser();
  void ShowStoreOnlyMessage();
  void fWebBrowserBeforeNavigate2(const QString &aUrl, bool *aCancel);
  void fWebBrowserNavigateComplete2(const tBrowserObjectC &aBrowser, const QString &aUrl);
  void fWebBrowserCommandStateChange(int aCommand, bool aEnable);
  void BuyFromLink(const QString &aUrl);
  void StoreRequestFailed(const QString &aWhat, const QString &aMessage);

  Ui::TMain *ui;
  const tStoreProxyC &FProxy;
  tStoreAddressesC FAddresses;
  tStoreSessionC FSession;
  TWebBrowser *fWebBrowser = nullptr;
  bool FStoreShown = false;
  // The browser's Offline while there is no browser yet.
  bool FOffline = true;
  int FConnectTimeoutMs = 10000;
  int FTimeoutMs = 30000;
  std::function<void()> FReloadCatalog;
  std::function<void(bool aShown)> FShownChanged;
  std::function<void(const std::function<void()> &aShow)> FFirstWebView;
  bool FWebViewShown = false;
};
