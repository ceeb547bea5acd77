#include "melMain.h"

#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogFile.h"
#include "melCatalogListView.h"
#include "melDownloadsController.h"
#include "melExportController.h"
#include "melFrameController.h"
#include "melLibraryController.h"
#include "melLogging.h"
#include "melMessages.h"
#include "melPaths.h"
#include "melPracticeController.h"
#include "melProxy.h"
#include "melQTControl.h"
#include "melStoreAddresses.h"
#include "melStoreController.h"
#include "melUtil.h"
#include "melWebBrowser.h"
#include "ui_melMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QScrollBar>
#include <QTimer>

namespace {

QString VersionText() {
  return GetFileVersionString(ProgramFile());
}

} // namespace

TMain::TMain(QWidget *aParent) : QWidget(aParent), ui(std::make_unique<Ui::TMain>()) {
  ui->setupUi(this);
  QFont font;
  font.setFamilies({QStringLiteral("Lucida Sans Unicode"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(11);
  setFont(font);

  ui->fMoviePnl->setStyleSheet(QStringLiteral("#fMoviePnl { background: white; }"));
  ui->fCategoryScroll->horizontalScrollBar()->setFixedHeight(16);

  // First: taking the system border off makes the window anew, and the movie
  // view's native window must be made inside the final one.
  FFrame = new TFrameController(*ui, *this, this);
  FLibrary = new TLibraryController(*ui, FCatalog, this);
  FPlayback = new TPlaybackController(*ui, FCatalog, this);
  FStore = new TStoreController(*ui, FProxy, this);
  // Playing takes the movie panel back from the store.
  FPlayback->SetStoreHider([this] {
    if (FStore->StoreShown())
      FStore->HideStore();
  });
  FStore->SetShownListener([this](bool aShown) { FPlayback->SetCoveredByStore(aShown); });
  // The first web view makes Qt build the window anew, which a live native
  // movie window does not survive: the movie view is made again after it.
  FStore->SetFirstWebViewGuard([this](const std::function<void()> &aShow) {
    FPlayback->MovieControl()->WithoutNativeView(aShow);
  });
  // A purchase shows its episodes, then fetches them.
  FStore->SetCatalogReloader([this] {
    FLibrary->ReloadCatalog();
    FDownloads->StartDownloads();
  });
  FDownloads = new TDownloadsController(*ui, FCatalog, this);
  TDownloadsController::tActionsC downloadActions;
  downloadActions.mCheckStoreLogin = [this] { return FStore->CheckStoreLogin(); };
  downloadActions.mStopMovie = [this] { FPlayback->StopMovie(); };
  downloadActions.mRemoveEpisode = [this](tFileItemC &aEpisode) { RemoveEpisode(aEpisode); };
  downloadActions.mUpdateEpisodeStatus = [this](const QString &aURL, uint8_t aStatus) {
    UpdateEpisodeStatus(aURL, aStatus);
  };
  downloadActions.mReloadCatalog = [this] { FLibrary->ReloadCatalog(); };
  downloadActions.mStoreRequestOptions = [this] {
    return StoreRequestOptions(FStore->Addresses(), FStore->Session(), FProxy);
  };
  FDownloads->SetActions(std::move(downloadActions));
  FPlayback->SetDownloadActions([this] { FDownloads->miResumeClick(); },
                                [this] { FDownloads->miPauseClick(); });

  TFrameController::tActionsC frameActions;
  frameActions.mUpdateButtons = [this] { FPlayback->UpdateButtons(); };
  frameActions.mCenterControlPanel = [this] { FPlayback->CenterControlPanel(); };
  frameActions.mPlaceProgressPanel = [this] { FStore->PlaceProgressPanel(); };
  FFrame->SetActions(std::move(frameActions));
  FPlayback->SetFrameButtonsUpdater([this] { FFrame->UpdateFrameButtons(); });
  FPlayback->SetFrame(*FFrame);

  FExport = new TExportController(FCatalog, this);
  FExport->SetCurrentPath([this] { return FPlayback->CurrentPath(); });
  FExport->SetMainWindow(this);
  connect(ui->fiPodBtn, &QAbstractButton::clicked, FExport, &TExportController::Export1Click);
  connect(FFrame->Export1(), &QAction::triggered, FExport, &TExportController::Export1Click);
  connect(FFrame->SupportPage1(), &QAction::triggered, FExport,
          &TExportController::SupportPage1Click);
  connect(FFrame->CheckVersion1(), &QAction::triggered, FExport,
          &TExportController::CheckVersion1Click);
  connect(FFrame->About1(), &QAction::triggered, FExport, &TExportController::About1Click);
  connect(FFrame->Fit1(), &QAction::triggered, this,
          [this] { Guarded([this] { FPlayback->Fit1Click(); }); });

  FPractice = new TPracticeController(*ui, *FPlayback, *FFrame, *this, this);
  FPractice->SetStorePage([this]() -> QWidget * { return FStore->WebBrowser(); });

  try {
    FormCreate();
  } catch (...) {
    // The window opens all the same, with whatever catalog was read; the
    // steps after the failure are skipped.
    ShowCurrentException();
    Guarded([this] { FLibrary->SetCategoryColumnCount(2); });
  }
}

TMain::~TMain() {
  Guarded([this] { FormDestroy(); });
}

void TMain::FormCreate() {
  WriteLog(QStringLiteral("Application started, version: ") + VersionText());

  fegetenv(&FSavedFPEnv);
  FFPEnvSaved = true;
  // Mask every floating-point exception and round to nearest while the window
  // exists; media and web engines expect it.
  fedisableexcept(FE_ALL_EXCEPT);
  fesetround(FE_TONEAREST);

  FPlayback->Start();
  FPractice->Start();
  FPlayback->RememberMinimumMovieArea();

  EnsureCatalogFile();

  FCatalog = std::make_unique<tCatalogC>(CatalogFilePath());
  // An episode's own status changes go through the window too, so that the
  // episode list is re-sorted after every write.
  FCatalog->SetStatusWriter(
      [this](const QString &aURL, uint8_t aStatus) { UpdateEpisodeStatus(aURL, aStatus); });

  FLibrary->SetCategoryColumnCount(2);
  FLibrary->ShowTopLevel();
  FPlayback->FitWindowToLogo();

  const bool storeApplication = IsStoreApplication();
  FStore->Start(storeApplication);
  // Only the store's requests use the proxy.
  if (storeApplication)
    FProxy = DetectProxy();
}

void TMain::FormShow() {
  FFrame->CenterOnScreen();
  FFrame->PaintBackground();
  FFrame->UpdateWindowRegion();
  FPlayback->CenterControlPanel();
  FPlayback->PlaceMovie();
  ui->fContentLv->setFocus();
  FPlayback->UpdateButtons();
  QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_DEFERRED_START)));
}

void TMain::DeferredStart() {
  FDeferredStartDone = true;
  // Without a catalog (its reading failed at creation, and was shown) there
  // is nothing to repair or fetch.
  if (FCatalog) {
    FLibrary->ResetStatusesAtStart();
    FDownloads->StartDownloads();
  }
  FLibrary->SelectPath(ReadLastPath(CurrentApplication().mName));
}

void TMain::FormDestroy() {
  if (FFPEnvSaved)
    fesetenv(&FSavedFPEnv);
  FPractice->SaveState();
  FPlayback->Stop();
  // Without a catalog nothing could be selected; the stored path stays for
  // the next start that reads one.
  if (FCatalog)
    WriteLastPath(CurrentApplication().mName, FLibrary->GetSelectedPath());
  // Running transfers stop and end "Paused"; their last reports still run.
  FDownloads->StopDownloads();
  WriteLog(QStringLiteral("Application closed, version: ") + VersionText());
}

void TMain::SetAboutBox(QDialog *aAbout) {
  FExport->SetAboutBox(aAbout);
}

void TMain::BringForward() {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

void TMain::showEvent(QShowEvent *aEvent) {
  QWidget::showEvent(aEvent);
  if (FShown)
    return;
  FShown = true;
  Guarded([this] { FormShow(); });
}

void TMain::resizeEvent(QResizeEvent *aEvent) {
  QWidget::resizeEvent(aEvent);
  // The first showing builds the background and the shape itself.
  if (FShown)
    Guarded([this] { FFrame->FormResize(); });
}

void TMain::closeEvent(QCloseEvent *aEvent) {
  QWidget::closeEvent(aEvent);
  // The run ends when the main window closes.
  if (aEvent->isAccepted())
    QCoreApplication::quit();
}

void TMain::customEvent(QEvent *aEvent) {
  if (aEvent->type() == QEvent::Type(WM_DEFERRED_START)) {
    Guarded([this] { DeferredStart(); });
    return;
  }
  QWidget::customEvent(aEvent);
}

void TMain::SetCategoryColumnCount(int aCount) {
  FLibrary->SetCategoryColumnCount(aCount);
}

int TMain::CategoryColumnCount() const {
  return FLibrary->CategoryColumnCount();
}

TCatalogListView *TMain::CategoryColumn(int aIndex) const {
  return FLibrary->CategoryColumn(aIndex);
}

QFrame *TMain::CategoryBevel(int aIndex) const {
  return FLibrary->CategoryBevel(aIndex);
}

void TMain::UpdateCategoryLabels() {
  FLibrary->UpdateCategoryLabels();
}

QString TMain::GetSelectedPath() const {
  return FLibrary->GetSelectedPath();
}

void TMain::SelectPath(QString aPath) {
  FLibrary->SelectPath(std::move(aPath));
}

void TMain::EnqueueCommand(uint8_t aKind, tFileItemC *aEpisode) {
  FPlayback->EnqueueCommand(aKind, aEpisode);
}

bool TMain::ProcessNextCommand() {
  return FPlayback->ProcessNextCommand();
}

void TMain::UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus) {
  FLibrary->UpdateEpisodeStatus(aURL, aStatus);
}

void TMain::RemoveEpisode(tFileItemC &aEpisode) {
  // Taken now: the removal reloads the tree the episode belongs to.
  const QString path = aEpisode.GetPath();
  FLibrary->RemoveEpisode(
      aEpisode, [this] { FPlayback->ReleaseMovie(); }, quintptr(winId()));
  FPractice->ForgetLesson(path);
}
