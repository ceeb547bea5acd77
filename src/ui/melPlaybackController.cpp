#include "melPlaybackController.h"
#include "melFrameController.h"
#include "melWindowFitting.h"

#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogListView.h"
#include "melImageSlider32.h"
#include "melLogging.h"
#include "melMessages.h"
#include "melPaths.h"
#include "melQTControl.h"
#include "melScreenSaver.h"
#include "ui_melMain.h"

#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <array>
#include <cmath>

namespace {

constexpr std::array<double, 5> cSpeeds = {0.6, 0.8, 1.0, 1.1, 1.2};
constexpr double cFastRate = 2.0;
constexpr double cReverseRate = -2.0;

// Lays the widget and everything in it out now. A hidden window's nested
// layouts wait for their resize events until it is shown, and the fits read
// the panels' sizes before that.
void LayOut(QWidget &aWidget) {
  if (QLayout *layout = aWidget.layout()) {
    // An activated layout does nothing more until it is invalidated.
    layout->invalidate();
    layout->activate();
  }
  for (QObject *child : aWidget.children())
    if (child->isWidgetType())
      LayOut(*static_cast<QWidget *>(child));
}

} // namespace

QString PlayTimeText(qint64 aSeconds) {
  const qint64 minutes = aSeconds / 60;
  const qint64 seconds = aSeconds % 60;
  if (minutes < 60)
    return QStringLiteral("%1:%2")
        .arg(minutes, 2, 10, QChar(u'0'))
        .arg(seconds, 2, 10, QChar(u'0'));
  return QStringLiteral("%1:%2:%3")
      .arg(minutes / 60)
      .arg(minutes % 60, 2, 10, QChar(u'0'))
      .arg(seconds, 2, 10, QChar(u'0'));
}

namespace {

tFileItemC *EpisodeOf(tCatalogItemC *aItem) {
  return aItem && !aItem->IsCategory() ? static_cast<tFileItemC *>(aItem) : nullptr;
}

QPixmap Picture(const char *aName) {
  return QPixmap(QStringLiteral(":/assets/%1.png").arg(QLatin1String(aName)));
}

} // namespace

TPlaybackController::TPlaybackController(Ui::TMain &aForm,
                                         const std::unique_ptr<tCatalogC> &aCatalog,
                                         QObject *aParent)
    : QObject(aParent), ui(&aForm), FCatalog(aCatalog) {
  FScreenSaver = std::make_unique<tScreenSaverC>();

  tMovieOptionsC options;
  options.mHeadless = !qEnvironmentVariableIsEmpty("MELODRA_NO_VIDEO_OUTPUT");
  fQTControl = new TQTControl(ui->fMoviePnl, options);
  fQTControl->hide();
  fMovieNoticeLbl = new QLabel(ui->fMoviePnl);
  fMovieNoticeLbl->setObjectName(QStringLiteral("fMovieNoticeLbl"));
  fMovieNoticeLbl->setTextFormat(Qt::PlainText);
  fMovieNoticeLbl->setWordWrap(true);
  fMovieNoticeLbl->setAlignment(Qt::AlignCenter);
  fMovieNoticeLbl->hide();
  connect(fQTControl, &TQTControl::MovieLoaded, this,
          [this] { Guarded([this] { MovieOpened(); }); });
  connect(fQTControl, &TQTControl::MovieLoadFailed, this,
          [this](const QString &aMessage) { Guarded([&] { MovieOpenFailed(aMessage); }); });
  connect(fQTControl, &TQTControl::OnQTEvent, this,
          [this](TQTControl *aSender, uint32_t aClass, uint32_t aID, int aPhase, tQTEventC *aEvent,
                 bool *aCancel) {
            Guarded([&] { fQTControlQTEvent(aSender, aClass, aID, aPhase, aEvent, aCancel); });
          });
  ui->fMoviePnl->installEventFilter(this);
  ui->fControlPnl->installEventFilter(this);

  const struct {
    TImageButton *mButton;
    const char *mUp;
    const char *mDown;
    void (TPlaybackController::*mClick)();
  } buttons[] = {
      {ui->fPlayBtn, "btn-play-up", "btn-play-down", &TPlaybackController::fPlayBtnClick},
      {ui->fPauseBtn, "btn-pause-up", "btn-pause-down", &TPlaybackController::fPauseBtnClick},
      {ui->fRewindOnBtn, "btn-reverse-up", "btn-reverse-down",
       &TPlaybackController::fRewindOnBtnClick},
      {ui->fRewindOffBtn, "btn-reverse-on-up", "btn-reverse-on-down",
       &TPlaybackController::fRewindOffBtnClick},
      {ui->fFastFwdOnBtn, "btn-fastfwd-up", "btn-fastfwd-down",
       &TPlaybackController::fFastFwdOnBtnClick},
      {ui->fFastFwdOffBtn, "btn-fastfwd-on-up", "btn-fastfwd-on-down",
       &TPlaybackController::fFastFwdOffBtnClick},
      {ui->fLoopOnBtn, "btn-loop-up", "btn-loop-down", &TPlaybackController::fLoopOnBtnClick},
      {ui->fLoopOffBtn, "btn-loop-on-up", "btn-loop-on-down",
       &TPlaybackController::fLoopOffBtnClick},
  };
  for (const auto &button : buttons) {
    button.mButton->SetPictures(Picture(button.mUp), Picture(button.mDown));
    connect(button.mButton, &QAbstractButton::clicked, this,
            [this, click = button.mClick] { Guarded([&] { (this->*click)(); }); });
  }

  TImageSlider32 &slider = *ui->fRateSlider;
  QPen tickPen(QColor(115, 115, 115));
  slider.SetTickPen(tickPen);
  slider.SetStart(0);
  slider.SetStop(4);
  slider.SetTickSize(1);
  slider.SetPosition(2);
  slider.SetLeftImg(QImage(QStringLiteral(":/assets/slider-left.png")));
  slider.SetRightImg(QImage(QStringLiteral(":/assets/slider-right.png")));
  slider.SetCenterImg(QImage(QStringLiteral(":/assets/slider-center.png")));
  slider.SetNibImg(QImage(QStringLiteral(":/assets/slider-nib.png")));
  slider.SetNibSelectedImg(QImage(QStringLiteral(":/assets/slider-nib-selected.png")));
  connect(&slider, &TImageSlider32::OnChange, this, [this](TImageSlider32 *aSender, int aPosition) {
    Guarded([&] { fRateSliderChange(aSender, aPosition); });
  });

  fPlayTimer = new QTimer(this);
  fPlayTimer->setInterval(250);
  connect(fPlayTimer, &QTimer::timeout, this, [this] { Guarded([this] { fPlayTimerTimer(); }); });
  fQueueTimer = new QTimer(this);
  fQueueTimer->setInterval(50);
  connect(fQueueTimer, &QTimer::timeout, this, [this] { Guarded([this] { fQueueTimerTimer(); }); });

  TCatalogListView &episodes = *ui->fContentLv;
  connect(&episodes, &QTreeWidget::itemDoubleClicked, this,
          [this] { Guarded([this] { fContentLvDblClick(); }); });
  connect(&episodes, &TCatalogListView::RowSelected, this,
          [this](TCatalogListView *, QTreeWidgetItem *aItem) {
            Guarded([&] { fContentLvSelectItem(aItem); });
          });
  // The label keeps its state.
  connect(&episodes, &TCatalogListView::RowDeselected, this,
          [this] { Guarded([this] { EnableExport(false, false); }); });
  fQueueTimer->start();
}

TPlaybackController::~TPlaybackController() = default;

void TPlaybackController::Start() {
  fQTControl->Initialize();
  FRate = 1.0;
}

void TPlaybackController::Stop() {
  fQTControl->Terminate();
}

void TPlaybackController::ReleaseMovie() {
  fQTControl->SetURL(QString());
}

bool TPlaybackController::eventFilter(QObject *aWatched, QEvent *aEvent) {
  if (aEvent->type() == QEvent::Resize && aWatched == ui->fMoviePnl)
    Guarded([this] { PlaceMovie(); });
  else if (aEvent->type() == QEvent::Resize && aWatched == ui->fControlPnl)
    Guarded([this] { CenterControlPanel(); });
  return QObject::eventFilter(aWatched, aEvent);
}

void TPlaybackController::OpenEpisode(tFileItemC *aEpisode) {
  if (!aEpisode)
    return;
  HideMovieNotice();
  FMovieShown = true;
  fQTControl->setVisible(!FCoveredByStore);
  ui->fLogoImg->hide();
  ShowTitle(*aEpisode);
  EnableExport(!aEpisode->mIPodFile.isEmpty(), true);
  FCurrentPath = aEpisode->GetPath();
  // The load finishes in MovieOpened; a file the control cannot load leaves
  // no movie, and the rest still runs.
  try {
    fQTControl->SetURL(QString());
    fQTControl->SetURL(LocalPath(aEpisode->mFilename));
  } catch (const EMelError &e) {
    MovieOpenFailed(e.Message());
  }
}

void TPlaybackController::MovieOpened() {
  TQTMovie *movie = fQTControl->Movie();
  if (!movie)
    return;
  for (const auto &[eventClass, eventID] : {std::pair{cQTStat, cQTRate},
                                            {cQTAudi, cQTCvol},
                                            {cQTTime, cQTCtim},
                                            {cQTPrgs, cQTCtim},
                                            {cQTStat, cQTMend}})
    movie->AddEventListener(eventClass, eventID);
  UpdateTimeLabels();
  // The movie's size is known once it is loaded: the window follows it
  // until the user sizes or maximizes the window.
  if (!FMovieFitted || (FFrame && !FFrame->UserSized() && !FFrame->Maximized())) {
    FitWindowToMovie();
    FMovieFitted = true;
  }
  PlaceMovie();
  ProcessQueueSoon();
}

void TPlaybackController::MovieOpenFailed(const QString &aMessage) {
  // Said in the movie panel and the log, as a missing file is: a box on
  // every selection would be too much.
  WriteLog(aMessage);
  ShowMovieNotice(aMessage);
  // A play waiting for this movie is dropped with it.
  FPlayState = psStopped;
  UpdateButtons();
  ProcessQueueSoon();
}

void TPlaybackController::PlaceMovie() {
  TQTMovie *movie = fQTControl ? fQTControl->Movie() : nullptr;
  if (!movie)
    return;
  const QRect bounds = movie->Bounds();
  const int areaWidth = ui->fMoviePnl->width();
  const int areaHeight = ui->fMoviePnl->height() - cMovieStrip;
  if (bounds.width() <= 0 || bounds.height() <= 0 || areaHeight <= 0) {
    // No picture (a sound-only file): the bar alone, along the bottom.
    fQTControl->setGeometry(0, ui->fMoviePnl->height() - cMovieStrip, areaWidth, cMovieStrip);
    return;
  }
  fQTControl->setGeometry(ContainFit(bounds.size(), QSize(areaWidth, areaHeight)));
}

tWindowFrameC TPlaybackController::WindowFrame() const {
  const QWidget &window = *ui->fMoviePnl->window();
  tWindowFrameC frame;
  frame.mWindow = window.geometry();
  frame.mMoviePanel = ui->fMoviePnl->size();
  frame.mTopHeight = ui->fTopPnl->height();
  frame.mBottomHeight = ui->fBottomPnl->height();
  frame.mLeftWidth = ui->fLeftPnl->width();
  frame.mRightWidth = ui->fRightPnl->width();
  const QScreen *screen = window.screen();
  frame.mWorkArea = screen ? screen->availableGeometry() : frame.mWindow;
  frame.mMinimumMovie = MinimumMovieArea();
  return frame;
}

void TPlaybackController::SetWindowBounds(const QRect &aBounds) {
  QWidget &window = *ui->fMoviePnl->window();
  if (aBounds == window.geometry())
    return;
  window.setGeometry(aBounds);
  // The panels follow now, not at the next turn of the event loop, so that
  // the movie is placed in the panel's new size.
  LayOut(window);
}

void TPlaybackController::RememberMinimumMovieArea() {
  LayOut(*ui->fMoviePnl->window());
  FMinMovieWidth = ui->fMoviePnl->width();
  FMinMovieHeight = ui->fMoviePnl->height();
}

void TPlaybackController::FitWindowToMovie() {
  TQTMovie *movie = fQTControl->Movie();
  if (!movie)
    return;
  if (FFrame)
    FFrame->SetUserSized(false);
  SetWindowBounds(FitWindowToPicture(movie->Bounds().size(), WindowFrame()));
}

void TPlaybackController::FitWindowToMinimum() {
  TQTMovie *movie = fQTControl->Movie();
  if (!movie)
    return;
  SetWindowBounds(::FitWindowToMinimum(movie->Bounds().size(), WindowFrame()));
}

void TPlaybackController::FitWindowToLogo() {
  ui->fLogoImg->setAlignment(Qt::AlignCenter);
  ui->fLogoImg->show();
  fQTControl->hide();
  FMovieShown = false;
  if (FFrame)
    FFrame->SetUserSized(false);
  // No movie yet: a logo below the minimum area leaves the designed size.
  SetWindowBounds(FitWindowToPicture(ui->fLogoImg->pixmap().size(), WindowFrame(), false));
}

void TPlaybackController::Fit1Click() {
  FitWindowToMovie();
  if (FFrame)
    FFrame->SetMaximized(false);
  UpdateButtons();
}

void TPlaybackController::EnableExport(bool aEnabled, bool aLabelToo) {
  ui->fiPodBtn->setEnabled(aEnabled);
  if (aLabelToo)
    ui->fiPodLbl->setEnabled(aEnabled);
  if (FFrame)
    FFrame->Export1()->setEnabled(aEnabled);
}

void TPlaybackController::CenterControlPanel() {
  QWidget &middle = *ui->fMiddleControlPnl;
  middle.move((ui->fControlPnl->width() - middle.width()) / 2,
              (ui->fControlPnl->height() - middle.height()) / 2);
  middle.raise();
}

void TPlaybackController::fPlayBtnClick() {
  TQTMovie *movie = fQTControl->Movie();
  if (!movie)
    return;
  if (FHideStore)
    FHideStore();
  movie->Play(FRate);
  movie->SetSwitch(false);
}

void TPlaybackController::fPauseBtnClick() {
  StopMovie();
}

void TPlaybackController::StopMovie() {
  if (TQTMovie *movie = fQTControl->Movie())
    movie->Stop();
}

void TPlaybackController::fRewindOnBtnClick() {
  TQTMovie *movie = fQTControl->Movie();
  if (!movie)
    return;
  movie->PreReverse();
  movie->SetRate(float(cReverseRate));
  movie->SetSwitch(true);
  FPlayState = psReverse;
  UpdateButtons();
}

void TPlaybackController::fRewindOffBtnClick() {
  TQTMovie *movie = fQTControl->Movie();
  if (!movie)
    return;
  movie->Play(FRate);
  FPlayState = psPlaying;
  movie->SetSwitch(false);
  UpdateButtons();
}

void TPlaybackController::fFastFwdOnBtnClick() {
  TQTMovie *movie = fQTControl->Movie();
  if (!movie)
    return;
  movie->Play(cFastRate);
  movie->SetRate(float(cFastRate));
  movie->SetSwitch(true);
  FPlayState = psFastForward;
  UpdateButtons();
}

void TPlaybackController::fFastFwdOffBtnClick() {
  if (TQTMovie *movie = fQTControl->Movie()) {
    movie->Play(FRate);
    FPlayState = psPlaying;
    movie->SetSwitch(false);
  }
  UpdateButtons();
}

void TPlaybackController::fLoopOnBtnClick() {
  FLoop = true;
  UpdateButtons();
}

void TPlaybackController::fLoopOffBtnClick() {
  FLoop = false;
  UpdateButtons();
}

void TPlaybackController::fRateSliderChange(TImageSlider32 *, int aNewPosition) {
  if (aNewPosition < 0 || aNewPosition >= int(cSpeeds.size()))
    throw EMelError(QStringLiteral("Range check error: speed position %1").arg(aNewPosition));
  FRate = cSpeeds[size_t(aNewPosition)];
  if (FPlayState == psPlaying) {
    if (TQTMovie *movie = fQTControl->Movie())
      movie->SetRate(float(FRate));
  }
}

void TPlaybackController::fPlayTimerTimer() {
  UpdateTimeLabels();
}

void TPlaybackController::UpdateTimeLabels() {
  TQTMovie *movie = fQTControl ? fQTControl->Movie() : nullptr;
  // A notice stands for the selected lesson: the movie still closing is not it.
  if (!movie || !MovieNotice().isEmpty())
    return;
  const double scale = movie->TimeScale() > 0 ? movie->TimeScale() : 1000;
  ui->fProgressLbl->setText(PlayTimeText(qint64(std::nearbyint(double(movie->Time()) / scale))));
  ui->fTotalLbl->setText(PlayTimeText(qint64(std::nearbyint(double(movie->Duration()) / scale))));
}

void TPlaybackController::UpdateButtons() {
  struct tStateC {
    bool mPlay, mTimer, mRewindOn, mFastFwdOn;
  };
  static const tStateC cStates[] = {
      {true, false, true, true},  // stopped
      {false, true, true, true},  // playing
      {false, true, true, false}, // fast forward
      {false, true, false, true}, // reverse
  };
  if (FPlayState < std::size(cStates)) {
    const tStateC &state = cStates[FPlayState];
    ui->fPlayBtn->setVisible(state.mPlay);
    ui->fPauseBtn->setVisible(!state.mPlay);
    if (state.mTimer && !fPlayTimer->isActive())
      fPlayTimer->start();
    else if (!state.mTimer)
      fPlayTimer->stop();
    ui->fRewindOnBtn->setVisible(state.mRewindOn);
    ui->fRewindOffBtn->setVisible(!state.mRewindOn);
    ui->fFastFwdOnBtn->setVisible(state.mFastFwdOn);
    ui->fFastFwdOffBtn->setVisible(!state.mFastFwdOn);
  }
  ui->fLoopOffBtn->setVisible(FLoop);
  ui->fLoopOnBtn->setVisible(!FLoop);
  if (FUpdateFrameButtons)
    FUpdateFrameButtons();
  // The screen saver stays off only while a movie plays at normal speed.
  FScreenSaver->SetInhibited(FPlayState == psPlaying);
}

void TPlaybackController::fQTControlQTEvent(TQTControl *, uint32_t, uint32_t, int,
                                            tQTEventC *aEvent, bool *) {
  TQTMovie *movie = fQTControl->Movie();
  switch (aEvent->EventID()) {
  case cQTRate:
    if (aEvent->Guard() > 0) {
      const double rate = aEvent->GetParam(cQTRate).toDouble();
      const long rounded = std::lrint(rate); // halves to even
      if (rounded >= 1) {
        if (rate == 1.0 && FRate != 1.0)
          EnqueueCommand(qkSetRate, nullptr);
        FPlayState = psPlaying;
      } else if (rounded == 0) {
        FPlayState = psStopped;
      }
    }
    if (movie)
      movie->SetSwitch(false);
    break;
  case cQTCtim:
    if (!fPlayTimer->isActive())
      UpdateTimeLabels();
    break;
  case cQTMend:
    if (FLoop) {
      if (movie)
        movie->Rewind();
      EnqueueCommand(qkPlay, nullptr);
    } else if (tFileItemC *next = NextPlayableEpisode(FCurrentPath)) {
      EnqueueCommand(qkClose, next);
      EnqueueCommand(qkOpen, next);
      EnqueueCommand(qkPlay, nullptr);
      FPlayState = psPlaying;
      TCatalogListView &episodes = *ui->fContentLv;
      for (int i = 0; i < episodes.RowCount(); ++i) {
        const tFileItemC *row = EpisodeOf(episodes.RowData(i));
        if (row && episodes.RowCaption(i) == next->mName && row->mParent == next->mParent) {
          episodes.SelectRow(i);
          episodes.scrollToItem(episodes.topLevelItem(i));
        }
      }
    } else {
      FPlayState = psStopped;
      if (movie)
        movie->EndOfPlay();
    }
    break;
  default: break;
  }
  UpdateButtons();
}

tFileItemC *TPlaybackController::NextPlayableEpisode(const QString &aPath) const {
  // Sheets and episodes not on disk in between are passed over: queueing
  // them would leave a play pending for ever.
  tFileItemC *next = FCatalog ? EpisodeOf(FCatalog->FindNextFile(aPath)) : nullptr;
  while (next && !(next->mStatus == esDownloaded && next->mFileType == QLatin1String("Movie") &&
                   LocalFileExists(next->mFilename)))
    next = EpisodeOf(FCatalog->FindNextFile(next->GetPath()));
  return next;
}

void TPlaybackController::fContentLvDblClick() {
  const int row = ui->fContentLv->SelectedRow();
  tFileItemC *episode = row < 0 ? nullptr : EpisodeOf(ui->fContentLv->RowData(row));
  if (!episode)
    return;
  if (episode->mStatus == esNotDownloaded || episode->mStatus == esError ||
      episode->mStatus == esPaused) {
    if (FResumeDownload)
      FResumeDownload();
    return;
  }
  if (episode->mStatus == esDownloading) {
    if (FPauseDownload)
      FPauseDownload();
    return;
  }
  if (FHideStore)
    FHideStore();
  if (episode->mFileType == QLatin1String("Movie") && LocalFileExists(episode->mFilename)) {
    fPlayTimer->stop();
    EnqueueCommand(qkClose, episode);
    EnqueueCommand(qkOpen, episode);
    EnqueueCommand(qkPlay, nullptr);
    ProcessQueueSoon();
  } else if (episode->mFileType == QLatin1String("Movie")) {
    ShowMissingFile(*episode);
  } else if (episode->mFileType == QLatin1String("PDF") && LocalFileExists(episode->mFilename)) {
    OpenThroughDesktop(QUrl::fromLocalFile(LocalPath(episode->mFilename)));
  }
  UpdateButtons();
}

void TPlaybackController::fContentLvSelectItem(QTreeWidgetItem *aItem) {
  tFileItemC *episode = EpisodeOf(TCatalogListView::ItemData(aItem));
  if (episode && episode->mStatus == esDownloaded && episode->mFileType == QLatin1String("Movie") &&
      FPlayState == psStopped) {
    // The lesson shown already, selected again after a reload: its preview
    // keeps its place.
    if (fQTControl->Movie() && episode->GetPath() == FCurrentPath)
      return;
    if (!LocalFileExists(episode->mFilename)) {
      ShowMissingFile(*episode);
      return;
    }
    // The movie is loaded paused, as a preview.
    EnqueueCommand(qkClose, episode);
    EnqueueCommand(qkOpen, episode);
  }
}

void TPlaybackController::ShowMissingFile(const tFileItemC &aEpisode) {
  const QString path = LocalPath(aEpisode.mFilename);
  WriteLog(QStringLiteral("Lesson file missing: ") + path);
  EnqueueCommand(qkClose, nullptr);
  // An open of a lesson selected just before would take the notice away
  // again; an open of nothing drops it.
  EnqueueCommand(qkOpen, nullptr);
  FPlayState = psStopped;
  FCurrentPath = aEpisode.GetPath();
  // The title names this lesson, as when its movie cannot be loaded.
  ShowTitle(aEpisode);
  ShowMovieNotice(QStringLiteral("The lesson's file is missing:\n") + path);
  UpdateButtons();
}

void TPlaybackController::ShowTitle(const tFileItemC &aEpisode) {
  ui->fTitleLbl->setText(CurrentApplication().mName + QStringLiteral(" (") + aEpisode.mName + u')');
}

void TPlaybackController::ShowMovieNotice(const QString &aText) {
  // The times of a movie shown before would pass for this lesson's.
  ui->fProgressLbl->setText(PlayTimeText(0));
  ui->fTotalLbl->setText(PlayTimeText(0));
  FMovieShown = false;
  fQTControl->hide();
  ui->fLogoImg->hide();
  FNoticeShown = true;
  fMovieNoticeLbl->setText(aText);
  fMovieNoticeLbl->setGeometry(ui->fMoviePnl->rect().adjusted(20, 20, -20, -20));
  fMovieNoticeLbl->setVisible(!FCoveredByStore);
  fMovieNoticeLbl->raise();
}

void TPlaybackController::HideMovieNotice() {
  FNoticeShown = false;
  fMovieNoticeLbl->hide();
}

QString TPlaybackController::MovieNotice() const {
  return fMovieNoticeLbl && FNoticeShown ? fMovieNoticeLbl->text() : QString();
}

void TPlaybackController::SetCoveredByStore(bool aCovered) {
  FCoveredByStore = aCovered;
  fQTControl->setVisible(FMovieShown && !aCovered);
  fMovieNoticeLbl->setVisible(FNoticeShown && !aCovered);
}

void TPlaybackController::EnqueueCommand(uint8_t aKind, tFileItemC *aEpisode) {
  FCommandQueue.Enqueue(aKind, aEpisode, FCatalog ? FCatalog->Tree() : nullptr);
}

bool TPlaybackController::ProcessNextCommand() {
  if (FCommandQueue.Empty())
    return false;
  // A copy: commands queued meanwhile may drop the head, and its episode
  // lives on through the copy's tree.
  const tQueueItemC command = FCommandQueue.Head();
  try {
    switch (command.mKind) {
    case qkClose:
      if (TQTMovie *movie = fQTControl->Movie()) {
        movie->RemoveAllEventListeners();
        fQTControl->SetURL(QString());
      } else if (fQTControl->Loading()) {
        fQTControl->SetURL(QString());
      }
      break;
    case qkOpen:
    case qkPlay:
      if (command.mData) {
        // Opened once: the retries below wait for that load.
        FCommandQueue.ForgetEpisode(command.mSerial);
        OpenEpisode(command.mData);
      }
      if (command.mKind == qkOpen) {
        // The commands behind the open wait for its load to end, whichever
        // way it ends.
        if (fQTControl->Loading())
          return false;
        break;
      }
      if (!fQTControl->Movie()) {
        // Pending while the movie loads, tried again at the next tick; a
        // load that failed leaves nothing to play.
        if (fQTControl->Loading())
          return false;
        break;
      }
      fQTControl->Movie()->Play(FRate);
      FPlayState = psPlaying;
      UpdateButtons();
      break;
    case qkSetRate:
      if (TQTMovie *movie = fQTControl->Movie())
        movie->SetRate(float(FRate));
      break;
    default: break;
    }
  } catch (...) {
    // A failing command counts as done.
  }
  FCommandQueue.Done(command.mSerial);
  return true;
}

void TPlaybackController::ProcessQueueSoon() {
  if (FQueueSoon)
    return;
  FQueueSoon = true;
  QTimer::singleShot(0, this, [this] {
    FQueueSoon = false;
    Guarded([this] { fQueueTimerTimer(); });
  });
}

void TPlaybackController::fQueueTimerTimer() {
  while (!FCommandQueue.Empty() && ProcessNextCommand()) {
  }
}
