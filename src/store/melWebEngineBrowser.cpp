#include "melWebEngineBrowser.h"

#include "melErrors.h"
#include "melLogging.h"
#include "melWebPage.h"

#include <QEvent>
#include <QFile>
#include <QLayout>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineCertificateError>
#include <QWebEngineHistory>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtDebug>

#include <exception>

namespace {

// A log line that can itself never fail the caller: these run inside the
// engine's callbacks, where nothing may be thrown.
void LogQuietly(const QString &aMessage) {
  try {
    WriteLog(aMessage);
  } catch (...) {
    qWarning().noquote() << aMessage;
  }
}

template <typename F> void Guarded(const char *aWhere, F &&aBody) {
  try {
    aBody();
  } catch (const std::exception &e) {
    LogQuietly(QStringLiteral("Store browser, %1: %2")
                   .arg(QLatin1String(aWhere), QString::fromUtf8(e.what())));
  } catch (...) {
    LogQuietly(QStringLiteral("Store browser, %1: unknown failure").arg(QLatin1String(aWhere)));
  }
}

QUrl CheckedUrl(const QString &aUrl) {
  const QUrl url(aUrl, QUrl::StrictMode);
  const bool needsHost = url.scheme() == u"http" || url.scheme() == u"https";
  if (!url.isValid() || url.scheme().isEmpty() || (needsHost && url.host().isEmpty()))
    throw EMelError(QStringLiteral("The address \"%1\" is not a valid web address").arg(aUrl));
  return url;
}

QString RandomTag() {
  quint32 words[4];
  QRandomGenerator::system()->fillRange(words);
  QString tag = QStringLiteral("melodra-");
  for (const quint32 word : words)
    tag += QStringLiteral("%1").arg(word, 8, 16, QLatin1Char('0'));
  return tag + u':';
}

std::optional<QSslCertificate> ReadCertificate(const QString &aFileName) {
  if (aFileName.isEmpty())
    return std::nullopt;
  QFile file(aFileName);
  if (!file.open(QIODevice::ReadOnly)) {
    LogQuietly(QStringLiteral("Store browser: cannot read the store certificate %1: %2")
                   .arg(aFileName, file.errorString()));
    return std::nullopt;
  }
  const QList<QSslCertificate> certificates = QSslCertificate::fromData(file.readAll());
  if (certificates.isEmpty() || certificates.first().isNull()) {
    LogQuietly(QStringLiteral("Store browser: %1 holds no PEM certificate").arg(aFileName));
    return std::nullopt;
  }
  return certificates.first();
}

// Keeps the browser over the whole of its parent, unless the parent's layout
// places it.
class tFillParentC : public QObject {
public:
  explicit tFillParentC(QWidget *aChild) : QObject(aChild), mChild(aChild) {}
  bool eventFilter(QObject *aWatched, QEvent *aEvent) override {
    if (aWatched == mChild->parentWidget() &&
        (aEvent->type() == QEvent::Resize || aEvent->type() == QEvent::Show))
      Fill();
    return false;
  }
  void Fill() {
    QWidget *parent = mChild->parentWidget();
    if (!parent || (parent->layout() && parent->layout()->indexOf(mChild) >= 0))
      return;
    mChild->setGeometry(parent->rect());
  }

private:
  QWidget *mChild;
};

} // namespace

struct TWebEngineBrowser::tPrivateC {
  tWebBrowserOptionsC mOptions;
  std::optional<QSslCertificate> mTrustedCertificate;
  QString mReportTag;
  tWebRequestInterceptorC *mInterceptor = nullptr;
  QWebEngineProfile *mProfile = nullptr;
  tWebPageC *mPage = nullptr;
  QWebEngineView *mView = nullptr;
  bool mCanGoBack = false;
  bool mCanGoForward = false;

  // Emits the history's possibilities that differ from the last ones told.
  void ReportCommandStates(TWebEngineBrowser *aOwner) {
    const bool canGoForward = mPage->history()->canGoForward();
    if (canGoForward != mCanGoForward) {
      mCanGoForward = canGoForward;
      emit aOwner->CommandStateChange(aOwner, cCSCNavigateForward, canGoForward);
    }
    const bool canGoBack = mPage->history()->canGoBack();
    if (canGoBack != mCanGoBack) {
      mCanGoBack = canGoBack;
      emit aOwner->CommandStateChange(aOwner, cCSCNavigateBack, canGoBack);
    }
  }
};

TWebEngineBrowser::TWebEngineBrowser(QWidget *aParent, tWebBrowserOptionsC aOptions)
    : TWebBrowser(aParent), d(std::make_unique<tPrivateC>()) {
  d->mOptions = std::move(aOptions);
  d->mTrustedCertificate = ReadCertificate(d->mOptions.mCertificateFile);
  d->mReportTag = RandomTag();

  // A profile without a storage name is off the record: nothing of the
  // store's session reaches the disk, and each browser has its own.
  d->mInterceptor = new tWebRequestInterceptorC(this);
  d->mProfile = new QWebEngineProfile(this);
  d->mProfile->setUrlRequestInterceptor(d->mInterceptor);
  d->mProfile->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);

  QWebEngineScript report;
  report.setName(QStringLiteral("melodra-document-report"));
  report.setSourceCode(DocumentReportScript(d->mReportTag));
  report.setInjectionPoint(QWebEngineScript::DocumentReady);
  report.setWorldId(QWebEngineScript::ApplicationWorld);
  report.setRunsOnSubFrames(true);
  d->mProfile->scripts()->insert(report);

  d->mPage = new tWebPageC(d->mProfile, this);
  d->mPage->SetNavigationHandler(
      [this](const QUrl &aUrl, QWebEnginePage::NavigationType, bool aMainFrame) {
        bool cancel = false;
        Guarded("before navigation", [&] {
          tBrowserObjectC browser;
          browser.mMainFrame = aMainFrame;
          emit BeforeNavigate2(this, browser, aUrl.toString(), &cancel);
        });
        if (cancel && aMainFrame)
          d->mInterceptor->DropPendingHeadersFor(aUrl);
        return !cancel;
      });
  d->mPage->SetConsoleHandler([this](const QString &aLine) {
    const std::optional<tDocumentReportC> report = ParseDocumentReport(d->mReportTag, aLine);
    if (!report)
      return false;
    // The engine's own error page is no document of the navigation.
    if (report->mUrl.startsWith(u"chrome-error:"))
      return true;
    Guarded("navigation complete", [&] {
      tBrowserObjectC browser;
      browser.mMainFrame = report->mMainFrame;
      browser.mDocumentCookie = report->mCookie;
      emit NavigateComplete2(this, browser, report->mUrl);
    });
    return true;
  });

  // Pages that open a window are loaded here instead, as a navigation of
  // their own. The engine's new page is left unadopted and goes away.
  connect(d->mPage, &QWebEnginePage::newWindowRequested, this,
          [this](QWebEngineNewWindowRequest &aRequest) {
            const QUrl url = aRequest.requestedUrl();
            if (!url.isValid() || url.isEmpty())
              return;
            QTimer::singleShot(0, this, [this, url] {
              Guarded("new window", [&] {
                d->mInterceptor->ClearPendingHeaders();
                d->mPage->load(url);
              });
            });
          });

  connect(d->mPage, &QWebEnginePage::certificateError, this,
          [this](const QWebEngineCertificateError &aError) {
            QWebEngineCertificateError error = aError;
            bool accept = false;
            Guarded("certificate", [&] {
              const QList<QSslCertificate> chain = error.certificateChain();
              accept =
                  error.isOverridable() && !d->mOptions.mTrustedHost.isEmpty() &&
                  d->mTrustedCertificate && !chain.isEmpty() &&
                  error.url().host().compare(d->mOptions.mTrustedHost, Qt::CaseInsensitive) == 0 &&
                  chain.first() == *d->mTrustedCertificate;
              if (!accept)
                LogQuietly(QStringLiteral("Store browser: certificate of %1 refused: %2")
                               .arg(error.url().toDisplayString(), error.description()));
            });
            if (accept)
              error.acceptCertificate();
            else
              error.rejectCertificate();
          });

  const auto historyChanged = [this] {
    Guarded("history", [this] { d->ReportCommandStates(this); });
  };
  connect(d->mPage, &QWebEnginePage::urlChanged, this, historyChanged);
  connect(d->mPage, &QWebEnginePage::loadStarted, this, historyChanged);
  connect(d->mPage, &QWebEnginePage::loadFinished, this, historyChanged);
  connect(d->mPage, &QWebEnginePage::loadFinished, this, [this](bool aOk) {
    if (!aOk)
      Guarded("navigation error", [this] { emit NavigateError(this, d->mPage->url().toString()); });
  });

  d->mView = new QWebEngineView(d->mPage, this);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(d->mView);

  if (aParent) {
    auto *filler = new tFillParentC(this);
    aParent->installEventFilter(filler);
    filler->Fill();
  }
}

TWebEngineBrowser::~TWebEngineBrowser() {
  // The engine wants every page gone before its profile.
  delete d->mView;
  delete d->mPage;
  delete d->mProfile;
  delete d->mInterceptor;
}

void TWebEngineBrowser::Navigate2(const QString &aUrl, const QString &aHeaders) {
  const QUrl url = CheckedUrl(aUrl);
  d->mInterceptor->SetPendingHeaders(url, ParseRequestHeaders(aHeaders));
  d->mPage->load(url);
}

void TWebEngineBrowser::Navigate(const QString &aUrl) {
  const QUrl url = CheckedUrl(aUrl);
  d->mInterceptor->ClearPendingHeaders();
  d->mPage->load(url);
}

void TWebEngineBrowser::GoBack() {
  if (!CanGoBack())
    throw EMelError(QStringLiteral("The store browser has no page to go back to"));
  d->mInterceptor->ClearPendingHeaders();
  d->mPage->triggerAction(QWebEnginePage::Back);
}

void TWebEngineBrowser::GoForward() {
  if (!CanGoForward())
    throw EMelError(QStringLiteral("The store browser has no page to go forward to"));
  d->mInterceptor->ClearPendingHeaders();
  d->mPage->triggerAction(QWebEnginePage::Forward);
}

void TWebEngineBrowser::Stop() {
  d->mPage->triggerAction(QWebEnginePage::Stop);
}

void TWebEngineBrowser::SetOffline(bool aOffline) {
  d->mInterceptor->SetOffline(aOffline);
}

bool TWebEngineBrowser::Offline() const {
  return d->mInterceptor->Offline();
}

bool TWebEngineBrowser::CanGoBack() const {
  return d->mPage->history()->canGoBack();
}

bool TWebEngineBrowser::CanGoForward() const {
  return d->mPage->history()->canGoForward();
}

QString TWebEngineBrowser::LocationURL() const {
  return d->mPage->url().toString();
}

QWebEngineView *TWebEngineBrowser::View() const {
  return d->mView;
}

TWebBrowser *CreateWebEngineBrowser(QWidget *aParent, const tWebBrowserOptionsC &aOptions) {
  return new TWebEngineBrowser(aParent, aOptions);
}
