#pragma once

#include "melCommandQueue.h"
#include "ocLists.h"

#include <QWidget>

#include <cfenv>
#include <memory>

namespace Ui {
class TMain;
}

class QFrame;
class TImageSlider32;
class TQTControl;
class tQTEventC;
class tScreenSaverC;
class QLabel;
class QTimer;
class QTreeWidgetItem;
class TCatalogListView;
class tCatalogC;
class tCatalogItemC;
class tCategoryItemC;
class tFileItemC;

// "nn:ss" for a play time in seconds; an hour or more shows as h:mm:ss.
QString PlayTimeText(qint64 aSeconds);

// The private message that runs the deferred start once the window is shown.
inline constexpr int WM_DEFERRED_START = 1024 + 1000;

// The main window.
class TMain : public QWidget {
  Q_OBJECT
public:
  explicit TMain(QWidget *aParent = nullptr);
  ~TMain() override;

  bool DeferredStartDone() const { return FDeferredStartDone; }

  // Library view.
  void SetCategoryColumnCount(int aCount);
  int CategoryColumnCount() const { return FCategoryColumns.Count(); }
  TCatalogListView *CategoryColumn(int aIndex) const { return FCategoryColumns.ObjectAt(aIndex); }
  QFrame *CategoryBevel(int aIndex) const { return FCategoryBevels.ObjectAt(aIndex); }
  void UpdateCategoryLabels();
  QString GetSelectedPath() const;
  void SelectPath(QString aPath);
  tCatalogC *Catalog() const { return FCatalog.get(); }

  // Playback.
  enum tPlayState : uint8_t { psStopped = 0, psPlaying = 1, psFastForward = 2, psReverse = 3 };
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
  void EnqueueCommand(uint8_t aKind, tFileItemC *aEpisode);
  // Carries out the head command; false when it stays pending.
  bool ProcessNextCommand();
  void PlaceMovie();
  void CenterControlPanel();

  // Catalog maintenance.
  void UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus);
  void RemoveEpisode(tFileItemC &aEpisode);
  void ResetCatalogView();
  void ResetStatusesAtStart();
  void ReloadCatalog();

protected:
  void showEvent(QShowEvent *aEvent) override;
  void closeEvent(QCloseEvent *aEvent) override;
  void customEvent(QEvent *aEvent) override;

private:
  void FormCreate();
  void FormShow();
  void DeferredStart();
  void FormDestroy();

  void mCategoryLvSelectItem(TCatalogListView *aSender, QTreeWidgetItem *aItem);
  void mCategoryLvEnter();
  void fAdjustTimerTimer();
  bool fSearchEdtKeyPress(int aKey);
  void AddEpisodeRow(tCategoryItemC &aCategory, tFileItemC &aEpisode);
  void ListAllEpisodes(const QString &aWord);
  void ShowItemCount();
  bool eventFilter(QObject *aWatched, QEvent *aEvent) override;

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
  void fQTControlQTEvent(TQTControl *aSender, uint32_t aEventClass, uint32_t aEventID, int aPhase,
                         tQTEventC *aEvent, bool *aCancel);
  void fContentLvDblClick();
  void fContentLvSelectItem(QTreeWidgetItem *aItem);
  void SetUpPlayback();
  tFileItemC *NextPlayableEpisode(const QString &aPath) const;
  // Closes the movie and says in the movie panel that the episode's file is
  // missing, so that Play cannot pass the previous lesson off as this one.
  void ShowMissingFile(const tFileItemC &aEpisode);
  void ShowTitle(const tFileItemC &aEpisode);
  void ShowMovieNotice(const QString &aText);
  void HideMovieNotice();

  std::unique_ptr<Ui::TMain> ui;
  // The floating-point environment before the window existed; restored at
  // close.
  fenv_t FSaved8087CW{};
  bool FFPModeSaved = false;
  bool FShown = false;
  bool FDeferredStartDone = false;

  std::unique_ptr<tCatalogC> FCatalog;
  // Both reference controls owned by the category scroll box.
  tIntegerListC<TCatalogListView> FCategoryColumns;
  tIntegerListC<QFrame> FCategoryBevels;
  QTimer *fAdjustTimer = nullptr;

  TQTControl *fQTControl = nullptr;
  QLabel *fMovieNoticeLbl = nullptr;
  uint8_t FPlayState = psStopped;
  double FRate = 1.0;
  bool FLoop = false;
  QString FCurrentPath;
  QTimer *fPlayTimer = nullptr;
  QTimer *fQueueTimer = nullptr;
  tCommandQueueC FCommandQueue;
  std::unique_ptr<tScreenSaverC> FScreenSaver;
};
