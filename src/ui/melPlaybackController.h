#pragma once

#include "melWindowFitting.h"

#include "melCommandQueue.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace Ui {
class TMain;
}

class QLabel;
class QTimer;
class QTreeWidgetItem;
class QWidget;
class TImageSlider32;
class TFrameController;
class TQTControl;
class tCatalogC;
class tFileItemC;
class tQTEventC;
class tScreenSaverC;

// "nn:ss" for a play time in seconds; an hour or more shows as h:mm:ss.
QString PlayTimeText(qint64 aSeconds);

// The main window's playback: the movie control in the movie panel, the
// transport buttons, the speed slider, the time display, the movie's events,
// the command queue that opens and plays episodes one after another, and the
// screen saver while a movie plays.
class TPlaybackController : public QObject {
  Q_OBJECT
public:
  enum tPlayState : uint8_t { psStopped = 0, psPlaying = 1, psFastForward = 2, psReverse = 3 };

  // aCatalog is the window's, which may be replaced or missing.
  TPlaybackController(Ui::TMain &aForm, const std::unique_ptr<tCatalogC> &aCatalog,
                      QObject *aParent = nullptr);
  ~TPlaybackController() override;

  // The movie engine starts and stops with the window.
  void Start();
  void Stop();

  uint8_t PlayState() const { return FPlayState; }
  double ChosenRate() const { return FRate; }
  bool Looping() const { return FLoop; }
  const QString &CurrentPath() const { return FCurrentPath; }
  TQTControl *MovieControl() const { return fQTControl; }
  // The notice in the movie panel (a lesson's file missing or unplayable);
  // empty when none shows.
  QString MovieNotice() const;
  const tCommandQueueC &CommandQueue() const { return FCommandQueue; }

  void OpenEpisode(tFileItemC *aEpisode);
  // The movie control's load of the opened episode ended.
  void MovieOpened();
  void MovieOpenFailed(const QString &aMessage);
  void UpdateTimeLabels();
  void UpdateButtons();
  // The window frame's buttons, shown by the same rule after the transport's.
  void SetFrameButtonsUpdater(std::function<void()> aUpdate) {
    FUpdateFrameButtons = std::move(aUpdate);
  }
  void EnqueueCommand(uint8_t aKind, tFileItemC *aEpisode);
  // Called before a movie is played, so the store leaves the movie panel.
  void SetStoreHider(std::function<void()> aHide) { FHideStore = std::move(aHide); }
  // A double-click on an episode that is not downloaded resumes or pauses
  // its download instead.
  void SetDownloadActions(std::function<void()> aResume, std::function<void()> aPause) {
    FResumeDownload = std::move(aResume);
    FPauseDownload = std::move(aPause);
  }
  // While the store's page fills the movie panel, the movie and its notice
  // stay hidden under it: the video surface would draw over the page.
  void SetCoveredByStore(bool aCovered);
  // Stops the movie as the pause button does.
  void StopMovie();
  // Carries out the head command; false when it stays pending.
  bool ProcessNextCommand();
  void PlaceMovie();
  void CenterControlPanel();
  // Window fitting: the frame keeps whether the user sized or maximized the
  // window, which decides whether a new movie refits it.
  void SetFrame(TFrameController &aFrame) { FFrame = &aFrame; }
  // The movie panel's size before any fitting: the smallest movie area.
  void RememberMinimumMovieArea();
  QSize MinimumMovieArea() const { return {FMinMovieWidth, FMinMovieHeight}; }
  void FitWindowToMovie();
  void FitWindowToMinimum();
  void FitWindowToLogo();
  void Fit1Click();
  bool MovieFitted() const { return FMovieFitted; }
  // Unloads the movie, so that its file can go.
  void ReleaseMovie();

protected:
  bool eventFilter(QObject *aWatched, QEvent *aEvent) override;

private:
  void fPlayBtnClick();
  void fPauseBtnClick();
  void fRewindOnBtnClick();
  void fRewindOffBtnClick();
  void fFastFwdOnBtnClick();
  void fFastFwdOffBtnClick();
  void fLoopOnBtnClick();
  void fLoopOffBtnClick();
  void fRateSliderChange(TImageSlider32 *aSender, int aNewPosition);
  void fPlayTimerTimer();
  void fQueueTimerTimer();
  // Carries out the queue at the next turn of the event loop instead of the
  // next tick: for what the user asked for explicitly, and for a load that
  // ended with a play waiting on it.
  void ProcessQueueSoon();
  void fQTControlQTEvent(TQTControl *aSender, uint32_t aEventClass, uint32_t aEventID, int aPhase,
                         tQTEventC *aEvent, bool *aCancel);
  void fContentLvDblClick();
  void fContentLvSelectItem(QTreeWidgetItem *aItem);
  tFileItemC *NextPlayableEpisode(const QString &aPath) const;
  // Closes the movie and says in the movie panel that the episode's file is
  // missing, so that Play cannot pass the previous lesson off as this one.
  void ShowMissingFile(const tFileItemC &aEpisode);
  void ShowTitle(const tFileItemC &aEpisode);
  void ShowMovieNotice(const QString &aText);
  void HideMovieNotice();
  tWindowFrameC WindowFrame() const;
  void SetWindowBounds(const QRect &aBounds);
  // The export button, its caption and the menu item.
  void EnableExport(bool aEnabled, bool aLabelToo);

  Ui::TMain *ui;
  const std::unique_ptr<tCatalogC> &FCatalog;
  TQTControl *fQTControl = nullptr;
  QLabel *fMovieNoticeLbl = nullptr;
  uint8_t FPlayState = psStopped;
  double FRate = 1.0;
  bool FLoop = false;
  QString FCurrentPath;
  QTimer *fPlayTimer = nullptr;
  QTimer *fQueueTimer = nullptr;
  bool FQueueSoon = false;
  tCommandQueueC FCommandQueue;
  std::unique_ptr<tScreenSaverC> FScreenSaver;
  std::function<void()> FHideStore;
  bool FCoveredByStore = false;
  TFrameController *FFrame = nullptr;
  int FMinMovieWidth = 0;
  int FMinMovieHeight = 0;
  bool FMovieFitted = false;
  bool FMovieShown = false;
  bool FNoticeShown = false;
  std::function<void()> FResumeDownload;
  std::function<void()> FPauseDownload;
  std::function<void()> FUpdateFrameButtons;
};
