#pragma once

#include "melDownloadHost.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class TMain;
}

class QAction;
class QMenu;
class QTimer;
class QWidget;
class tCatalogC;
class tFileItemC;
class TmelDownloadManager;

// The download state in the main window's episode list: grey text for
// episodes not downloaded, a status picture before each row's icon, the
// percent and a blinking progress picture while one downloads, the status
// tip, and the list's menu and Delete key (pause, resume, delete); and the
// download manager, whose transfers report here.
class TDownloadsController : public QObject, public tDownloadHostC {
  Q_OBJECT
public:
  TDownloadsController(Ui::TMain &aForm, const std::unique_ptr<tCatalogC> &aCatalog,
                       QObject *aParent = nullptr);
  ~TDownloadsController() override;

  // What the actions and transfers reach beyond the list: the login check,
  // stopping the movie, the removal of an episode, the catalog file and the
  // view, and what store requests are made with.
  struct tActionsC {
    std::function<bool()> mCheckStoreLogin;
    std::function<void()> mStopMovie;
    std::function<void(tFileItemC &aEpisode)> mRemoveEpisode;
    std::function<void(const QString &aURL, uint8_t aStatus)> mUpdateEpisodeStatus;
    std::function<void()> mReloadCatalog;
    std::function<tStoreRequestOptionsC()> mStoreRequestOptions;
  };
  void SetActions(tActionsC aActions) { FActions = std::move(aActions); }

  // Made on first use; its transfers report through this controller.
  TmelDownloadManager &DownloadManager();
  bool HasDownloadManager() const { return FDownloadManager != nullptr; }
  void StartDownloads();
  // Stops the transfers and waits for them (each ends "Paused"); at close.
  void StopDownloads();
  // "1 downloading, 2 waiting"; empty without transfers.
  QString TransfersText() const;

  void UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus) override;
  void ReportProgress(const QString &aURL, const QString &aLocalFile, int aPercent) override;
  void ReloadCatalog() override;
  bool CheckStoreLogin() override;
  tStoreRequestOptionsC StoreRequestOptions() override;
  QString CatalogFilePath() override;

  // The picture of a downloading row: its eighth of the percent, in the
  // current blink phase.
  int ProgressImageIndex(int aPercent);
  int BlinkPhase();
  static QString TipText(const tFileItemC &aEpisode);
  QMenu *ContextMenu() const { return pmContext; }
  // The menu's enabling for the selected row, as when it opens.
  void pmContextPopup();

  void miPauseClick();
  void miResumeClick();
  void miDeleteClick();
  void DeleteSelectedEpisode();

protected:
  bool eventFilter(QObject *aWatched, QEvent *aEvent) override;

private:
  tFileItemC *SelectedEpisode() const;
  void BlinkTimerTick();
  void ShowTransfers();

  Ui::TMain *ui;
  const std::unique_ptr<tCatalogC> &FCatalog;
  tActionsC FActions;
  QWidget *fListViewport = nullptr;
  QMenu *pmContext = nullptr;
  QAction *miDelete = nullptr;
  QAction *miPause = nullptr;
  QAction *miResume = nullptr;
  QTimer *FBlinkTimer = nullptr;
  int FBlinkPhase = 2;
  QTimer *fTransfersTimer = nullptr;
  std::unique_ptr<TmelDownloadManager> FDownloadManager;
};
