#pragma once

#include "melPlaybackController.h"
#include "melProxy.h"

#include <QWidget>

#include <cfenv>
#include <memory>

namespace Ui {
class TMain;
}

class QFrame;
class TCatalogListView;
class QDialog;
class TDownloadsController;
class TExportController;
class TFrameController;
class TLibraryController;
class TPracticeController;
class TStoreController;
class tCatalogC;

// The private message that runs the deferred start once the window is shown.
inline constexpr int WM_DEFERRED_START = 1024 + 1000;

// The main window: the form, its start and close, and the controllers that
// own each capability (the library view, playback, the store, the downloads,
// the frame).
class TMain : public QWidget {
  Q_OBJECT
public:
  explicit TMain(QWidget *aParent = nullptr);
  ~TMain() override;

  bool DeferredStartDone() const { return FDeferredStartDone; }
  // Shows the window on top and active, un-minimised.
  void BringForward();
  tCatalogC *Catalog() const { return FCatalog.get(); }
  TLibraryController &Library() const { return *FLibrary; }
  TPlaybackController &Playback() const { return *FPlayback; }
  TStoreController &Store() const { return *FStore; }
  TDownloadsController &Downloads() const { return *FDownloads; }
  // The window's own frame: shape, background, title bar, window buttons and
  // the File and Help menus with their actions.
  TFrameController &Frame() const { return *FFrame; }
  // Export to the playlist, the store's support and update pages, about.
  TExportController &Export() const { return *FExport; }
  // The keyboard, its help, and the practice state kept per lesson.
  TPracticeController &Practice() const { return *FPractice; }
  // The about box, made once at start beside the window.
  void SetAboutBox(QDialog *aAbout);
  // The proxy of the store's requests, read once at creation.
  const tStoreProxyC &Proxy() const { return FProxy; }

  // Library view.
  void SetCategoryColumnCount(int aCount);
  int CategoryColumnCount() const;
  TCatalogListView *CategoryColumn(int aIndex) const;
  QFrame *CategoryBevel(int aIndex) const;
  void UpdateCategoryLabels();
  QString GetSelectedPath() const;
  void SelectPath(QString aPath);

  // Playback.
  using tPlayState = TPlaybackController::tPlayState;
  static constexpr tPlayState psStopped = TPlaybackController::psStopped;
  static constexpr tPlayState psPlaying = TPlaybackController::psPlaying;
  static constexpr tPlayState psFastForward = TPlaybackController::psFastForward;
  static constexpr tPlayState psReverse = TPlaybackController::psReverse;
  uint8_t PlayState() const { return FPlayback->PlayState(); }
  double ChosenRate() const { return FPlayback->ChosenRate(); }
  bool Looping() const { return FPlayback->Looping(); }
  const QString &CurrentPath() const { return FPlayback->CurrentPath(); }
  TQTControl *MovieControl() const { return FPlayback->MovieControl(); }
  QString MovieNotice() const { return FPlayback->MovieNotice(); }
  const tCommandQueueC &CommandQueue() const { return FPlayback->CommandQueue(); }
  void EnqueueCommand(uint8_t aKind, tFileItemC *aEpisode);
  bool ProcessNextCommand();

  // Catalog upkeep.
  void UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus);
  void RemoveEpisode(tFileItemC &aEpisode);

protected:
  void showEvent(QShowEvent *aEvent) override;
  void resizeEvent(QResizeEvent *aEvent) override;
  void closeEvent(QCloseEvent *aEvent) override;
  void customEvent(QEvent *aEvent) override;

private:
  void FormCreate();
  void FormShow();
  void DeferredStart();
  void FormDestroy();

  std::unique_ptr<Ui::TMain> ui;
  // The floating-point environment before the window existed; restored at
  // close.
  fenv_t FSavedFPEnv{};
  bool FFPEnvSaved = false;
  bool FShown = false;
  bool FDeferredStartDone = false;

  std::unique_ptr<tCatalogC> FCatalog;
  tStoreProxyC FProxy;
  TLibraryController *FLibrary = nullptr;
  TPlaybackController *FPlayback = nullptr;
  TStoreController *FStore = nullptr;
  TDownloadsController *FDownloads = nullptr;
  TFrameController *FFrame = nullptr;
  TExportController *FExport = nullptr;
  TPracticeController *FPractice = nullptr;
};
