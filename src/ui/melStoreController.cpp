#include "melStoreController.h"

#include "melApplications.h"
#include "melErrors.h"
#include "melImageButton.h"
#include "melLogging.h"
#include "melMessages.h"
#include "melProxy.h"
#include "melStoreClient.h"
#include "melStoreImport.h"
#include "melWebBrowser.h"
#include "ui_melMain.h"

#include <QApplication>
#include <QEvent>
#include <QPixmap>

namespace {

// The store's pages expect these with every page the window opens; each
// line ends in LF CR.
const QString cStoreRequestHeaders =
    QStringLiteral("Content-Type: application/x-www-form-urlencoded\n\r"
                   "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)"
                   "Melodra/2.0.0\n\r");

const QString cStoreOnlyMessage =
    QStringLiteral("In order to open Download Store you need to close the application, \n\r"
                   "run it again and click Download Store button on the initial pop up window.");

const QString cLoginMessage =
    QStringLiteral("You must be logged in to download files. Click OK to log in now.");

QPixmap Picture(const char *aName) {
  return QPixmap(QStringLiteral(":/assets/%1.png").arg(QLatin1String(aName)));
}

// The hourglass for as long as the window waits, also when it fails.
class tBusyCursorC {
public:
  tBusyCursorC() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~tBusyCursorC() { QApplication::restoreOverrideCursor(); }
  tBusyCursorC(const tBusyCursorC &) = delete;
  tBusyCursorC &operator=(const tBusyCursorC &) = delete;
};

} // namespace

TStoreController::TStoreController(Ui::TMain &aForm, const tStoreProxyC &aProxy, QObject *aParent)
    : QObject(aParent), ui(&aForm), FProxy(aProxy) {
  const struct {
    TImageButton *mButton;
    const char *mUp;
    const char *mDown;
    void (TStoreController::*mClick)();
  } buttons[] = {
      {ui->fStoreBtn, "btn-shop-up", "btn-shop-down", &TStoreController::fStoreBtnClick},
      {ui->btnBack, "btn-back-up", "btn-back-down", &TStoreController::btnBackClick},
      {ui->btnForward, "btn-forward-up", "btn-forward-down", &TStoreController::btnForwardClick},
      {ui->btnHome, "btn-home-up", "btn-home-down", &TStoreController::btnHomeClick},
      {ui->ProgBarBtn, "btn-stop-up", "btn-stop-down", &TStoreController::ProgBarBtnClick},
  };
  for (const auto &button : buttons) {
    button.mButton->SetPictures(Picture(button.mUp), Picture(button.mDown));
    connect(button.mButton, &QAbstractButton::clicked, this,
            [this, click = button.mClick] { Guarded([&] { (this->*click)(); }); });
  }
  ui->ProgBarIcon->setPixmap(Picture("btn-idle-up"));
  // Only the browser's command states enable them.
  ui->btnBack->setEnabled(false);
  ui->btnForward->setEnabled(false);
  ui->ProgBarPnl->hide();
  ui->fMoviePnl->installEventFilter(this);
}

TStoreController::~TStoreController() = default;

void TStoreController::Start(bool aStoreApplication) {
  FAddresses = ReadStoreAddresses();
  HideStore();
  FOffline = true;
  if (fWebBrowser)
    fWebBrowser->SetOffline(true);
  FSession.Clear();
  if (aStoreApplication)
    HideStoreProgress();
}

void TStoreController::SetRequestTimeouts(int aConnectMs, int aTotalMs) {
  FConnectTimeoutMs = aConnectMs;
  FTimeoutMs = aTotalMs;
}

bool TStoreController::StoreProgressShown() const {
  return !ui->ProgBarPnl->isHidden() && !ui->ProgBar->isHidden();
}

TWebBrowser &TStoreController::Browser() {
  if (fWebBrowser)
    return *fWebBrowser;
  tWebBrowserOptionsC options;
  options.mTrustedHost = FAddresses.mHost;
  options.mCertificateFile = FAddresses.mCertificate;
  fWebBrowser = CreateWebBrowser(ui->fMoviePnl, options);
  fWebBrowser->setObjectName(QStringLiteral("fWebBrowser"));
  fWebBrowser->hide();
  fWebBrowser->SetOffline(FOffline);
  connect(fWebBrowser, &TWebBrowser::BeforeNavigate2, this,
          [this](TWebBrowser *, const tBrowserObjectC &, const QString &aUrl, bool *aCancel) {
            Guarded([&] { fWebBrowserBeforeNavigate2(aUrl, aCancel); });
          });
  connect(fWebBrowser, &TWebBrowser::NavigateComplete2, this,
          [this](TWebBrowser *, const tBrowserObjectC &aBrowser, const QString &aUrl) {
            Guarded([&] { fWebBrowserNavigateComplete2(aBrowser, aUrl); });
          });
  connect(fWebBrowser, &TWebBrowser::NavigateError, this,
          [this](TWebBrowser *, const QString &) { Guarded([this] { HideStoreProgress(); }); });
  connect(fWebBrowser, &TWebBrowser::CommandStateChange, this,
          [this](TWebBrowser *, int aCommand, bool aEnable) {
            Guarded([&] { fWebBrowserCommandStateChange(aCommand, aEnable); });
          });
  return *fWebBrowser;
}

void TStoreController::OpenStore() {
  OpenStorePage(FAddresses.StartPage());
}

void TStoreController::OpenStorePage(const QString &aUrl) {
  // First, so that a web engine that cannot be loaded leaves the window as
  // it was.
  TWebBrowser &browser = Browser();
  const auto show = [&] {
    ui->fLogoImg->hide();
    FStoreShown = true;
    FOffline = false;
    browser.SetOffline(false);
    browser.setGeometry(ui->fMoviePnl->rect());
    browser.show();
    browser.raise();
    if (FShownChanged)
      FShownChanged(true);
    ui->ProgBarPnl->show();
    PlaceProgressPanel();
    ui->fTitleLbl->hide();
    tBusyCursorC busy;
    browser.Navigate2(aUrl, cStoreRequestHeaders);
  };
  if (FWebViewShown || !FFirstWebView) {
    show();
    return;
  }
  FWebViewShown = true;
  FFirstWebView(show);
}

void TStoreController::HideStore() {
  if (fWebBrowser)
    fWebBrowser->hide();
  ui->ProgBarPnl->hide();
  FStoreShown = false;
  ui->fTitleLbl->show();
  if (FShownChanged)
    FShownChanged(false);
}

void TStoreController::ShowStoreProgress() {
  ui->ProgBar->show();
  ui->ProgBarLbl->show();
  ui->ProgBarBtn->show();
  ui->ProgBarIcon->hide();
  PlaceProgressPanel();
}

void TStoreController::HideStoreProgress() {
  ui->ProgBar->hide();
  ui->ProgBarLbl->hide();
  ui->ProgBarBtn->hide();
  ui->ProgBarIcon->show();
  PlaceProgressPanel();
}

void TStoreController::ProgBarBtnClick() {
  if (fWebBrowser)
    fWebBrowser->Stop();
  HideStoreProgress();
}

void TStoreController::btnBackClick() {
  if (fWebBrowser)
    fWebBrowser->GoBack();
}

void TStoreController::btnForwardClick() {
  if (fWebBrowser)
    fWebBrowser->GoForward();
}

void TStoreController::fStoreBtnClick() {
  if (IsStoreApplication())
    OpenStore();
  else
    ShowStoreOnlyMessage();
}

void TStoreController::btnHomeClick() {
  if (!IsStoreApplication()) {
    ShowStoreOnlyMessage();
    return;
  }
  if (FStoreShown)
    Browser().Navigate(FAddresses.HomePage());
  else
    OpenStore();
}

void TStoreController::ShowStoreOnlyMessage() {
  Confirm(cStoreOnlyMessage, QMessageBox::Ok, ui->fMoviePnl->window());
}

void TStoreController::fWebBrowserCommandStateChange(int aCommand, bool aEnable) {
  if (aCommand == cCSCNavigateForward)
    ui->btnForward->setEnabled(aEnable);
  else if (aCommand == cCSCNavigateBack)
    ui->btnBack->setEnabled(aEnable);
}

void TStoreController::fWebBrowserBeforeNavigate2(const QString &aUrl, bool *aCancel) {
  if (!aUrl.contains(QLatin1String("popupWindow")))
    ShowStoreProgress();
  if (!aUrl.contains(FAddresses.DownloadLinkMark()))
    return;
  *aCancel = true;
  // The purchase waits for the store's answers and may show a box; neither
  // belongs inside the web engine's navigation callback, so it runs as soon
  // as the callback has returned.
  QMetaObject::invokeMethod(
      this, [this, aUrl] { Guarded([&] { BuyFromLink(aUrl); }, ui->fMoviePnl->window()); },
      Qt::QueuedConnection);
}

void TStoreController::BuyFromLink(const QString &aUrl) {
  // The requests hold the window until they end or time out; the progress
  // shows meanwhile.
  ui->ProgBarPnl->repaint();
  tBusyCursorC busy;
  tStoreRequestOptionsC options = StoreRequestOptions(FAddresses, FSession, FProxy);
  options.mConnectTimeoutMs = FConnectTimeoutMs;
  options.mTimeoutMs = FTimeoutMs;

  QString error;
  const QString catalogUrl = CatalogUrlFor(FAddresses.PlainBase(), aUrl, options, &error);
  if (!error.isEmpty())
    StoreRequestFailed(aUrl, error);
  ImportStoreCatalog([&]() -> std::optional<QByteArray> {
    QString fetchError;
    std::optional<QByteArray> body = FetchStoreCatalog(catalogUrl, options, &fetchError);
    if (!body) {
      StoreRequestFailed(catalogUrl, fetchError);
      // Said, since nothing of the purchase reaches the library.
      throw EMelError(QStringLiteral("The store did not send the lessons of this purchase: ") +
                      fetchError);
    }
    return body;
  });
  HideStoreProgress();
  if (FReloadCatalog)
    FReloadCatalog();
}

void TStoreController::StoreRequestFailed(const QString &aUrl, const QString &aMessage) {
  WriteLog(QStringLiteral("Store request failed: %1: %2").arg(aUrl, aMessage));
  HideStoreProgress();
}

void TStoreController::fWebBrowserNavigateComplete2(const tBrowserObjectC &aBrowser,
                                                    const QString &aUrl) {
  FSession.CaptureStoreCookie(aUrl, aBrowser.mDocumentCookie, FAddresses.SecureBase());
  HideStoreProgress();
}

bool TStoreController::CheckStoreLogin() {
  if (FSession.LoggedIn())
    return true;
  if (Information(cLoginMessage, QMessageBox::Ok | QMessageBox::Cancel, ui->fMoviePnl->window()) ==
      QMessageBox::Ok)
    OpenLoginPage();
  return false;
}

void TStoreController::OpenLoginPage() {
  OpenStorePage(FAddresses.LoginPage());
}

void TStoreController::PlaceProgressPanel() {
  QWidget &panel = *ui->ProgBarPnl;
  panel.adjustSize();
  panel.move(ui->fTopPnl->width() / 2 - panel.width() / 2, panel.y());
}

bool TStoreController::eventFilter(QObject *aWatched, QEvent *aEvent) {
  if (aEvent->type() == QEvent::Resize && aWatched == ui->fMoviePnl && fWebBrowser)
    fWebBrowser->setGeometry(ui->fMoviePnl->rect());
  return QObject::eventFilter(aWatched, aEvent);
}
