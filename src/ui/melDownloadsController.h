#pragma once

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
class tCatalogC;
class tFileItemC;

// The download state in the main window's episode list: grey text for
// episodes not downloaded, a status picture before each row's icon, the
// percent and a blinking progress picture while one downloads, the status
// tip, and the list's menu and Delete key (pause, resume, delete).
class TDownloadsController : public QObject {
  Q_OBJECT
public:
  TDownloadsController(Ui::TMain &aForm, const std::unique_ptr<tCatalogC> &aCatalog,
                       QObject *aParent = nullptr);
  ~TDownloadsController() override;

  // What the actions reach beyond the list: the transfers, the login check,
  // stopping the movie and the removal of an episode.
  struct tActionsC {
    std::function<void(const QString &aLocalFile)> mPauseDownload;
    std::function<void(tFileItemC &aEpisode)> mResumeDownload;
    std::function<bool()> mCheckStoreLogin;
    std::function<void()> mStopMovie;
    std::function<void(tFileItemC &aEpisode)> mRemoveEpisode;
  };
  void SetActions(tActionsC aActions) { FActions = std::move(aActions); }

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

  Ui::TMain *ui;
  const std::unique_ptr<tCatalogC> &FCatalog;
  tActionsC FActions;
  QMenu *pmContext = nullptr;
  QAction *miDelete = nullptr;
  QAction *miPause = nullptr;
  QAction *miResume = nullptr;
  QTimer *FBlinkTimer = nullptr;
  int FBlinkPhase = 2;
};
