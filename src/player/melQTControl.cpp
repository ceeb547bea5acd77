#include "melQTControl.h"

#include "melMoviePositionBar.h"
#include "melMovieView.h"

#include <QKeyEvent>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

QVariant tQTEventC::GetParam(uint32_t aCode) const {
  if (aCode == cQTRate)
    return mRate;
  return {};
}

namespace {
constexpr int cBarIdleTimeMs = 2000;

uint64_t ListenerKey(uint32_t aEventClass, uint32_t aEventID) {
  return (uint64_t(aEventClass) << 32) | aEventID;
}
} // namespace

// The movie object over the engine, and the events its listeners asked for.
class TQTControl::tImplC : public TQTMovie {
public:
  tImplC(TQTControl *aOwner, tMovieOptionsC aOptions)
      : mOwner(aOwner), mEngine(std::move(aOptions)) {}

  void AddEventListener(uint32_t aEventClass, uint32_t aEventID) override {
    mListeners.insert(ListenerKey(aEventClass, aEventID));
  }
  void RemoveAllEventListeners() override { mListeners.clear(); }
  void Play(double aRate) override { mEngine.SetRate(aRate); }
  void Stop() override { mEngine.SetRate(0); }
  void SetRate(float aRate) override { mEngine.SetRate(aRate); }
  float Rate() const override { return float(mEngine.Rate()); }
  int64_t Time() const override { return mEngine.Time(); }
  int TimeScale() const override { return 1000; }
  int64_t Duration() const override { return mEngine.Duration(); }
  QRect Bounds() const override { return {QPoint(0, 0), mEngine.PictureSize()}; }
  void SetSwitch(bool aOn) override { mEngine.SetMuted(aOn); }
  void Rewind() override { mEngine.SetTime(0); }
  // The negative rate itself turns the engine round; nothing to prepare.
  void PreReverse() override {}
  // The engine pauses at the end by itself; this makes sure it stays so.
  void EndOfPlay() override { mEngine.SetRate(0); }
  void SetTime(int64_t aTime) override { mEngine.SetTime(aTime); }

  void Raise(uint32_t aEventClass, uint32_t aEventID) {
    if (!mListeners.contains(ListenerKey(aEventClass, aEventID)))
      return;
    tQTEventC event;
    event.mEventID = aEventID;
    event.mRate = mEngine.Rate();
    bool cancel = false;
    emit mOwner->OnQTEvent(mOwner, aEventClass, aEventID, 0, &event, &cancel);
  }

  TQTControl *mOwner;
  tMovieEngineC mEngine;
  // The mouse moves over it: seen for the bar's idle time and double-clicks.
  void WatchPicture(QWidget *aPicture) {
    mPicture = aPicture;
    aPicture->setMouseTracking(true);
    aPicture->installEventFilter(mOwner);
  }

  TMovieView *mView = nullptr;
  QWidget *mPicture = nullptr; // the view, or a black stand-in when headless
  TMoviePositionBar *mBar = nullptr;
  QSet<uint64_t> mListeners;

  // Fullscreen, and where the control goes back to.
  bool mFullScreen = false;
  QTimer *mIdleTimer = nullptr;
  QPointer<QWidget> mHomeParent;
  QMetaObject::Connection mHomeGone;
  QPointer<QWidget> mPlaceholder; // holds the control's place in its parent's layout
  QRect mHomeGeometry;
  Qt::WindowFlags mHomeFlags;
  Qt::WindowStates mHomeStates;
  bool mHomeVisible = false;
};

TQTControl::TQTControl(QWidget *aParent, tMovieOptionsC aOptions)
    : QWidget(aParent), mImpl(std::make_unique<tImplC>(this, std::move(aOptions))) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  tMovieEngineC &engine = mImpl->mEngine;
  QWidget *picture = nullptr;
  if (engine.Options().mHeadless) {
    picture = new QWidget(this);
    picture->setAutoFillBackground(true);
    QPalette palette = picture->palette();
    palette.setColor(QPalette::Window, Qt::black);
    picture->setPalette(palette);
  } else {
    mImpl->mView = new TMovieView(this);
    mImpl->mView->SetEngine(&engine);
    picture = mImpl->mView;
  }
  picture->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  layout->addWidget(picture, 1);
  mImpl->WatchPicture(picture);
  TMoviePositionBar *bar = mImpl->mBar = new TMoviePositionBar(this);
  layout->addWidget(bar);
  bar->setMouseTracking(true);
  bar->installEventFilter(this);
  connect(bar, &TMoviePositionBar::SeekRequested, this,
          [this](int64_t aTime) { mImpl->mEngine.SetTime(aTime); });
  connect(bar, &TMoviePositionBar::SectionChangeRequested, this,
          [this](int64_t aStart, int64_t aEnd) { mImpl->mEngine.SetSection(aStart, aEnd); });
  connect(&engine, &tMovieEngineC::SectionChanged, this,
          [this] { mImpl->mBar->SetSection(mImpl->mEngine.Section()); });

  mImpl->mIdleTimer = new QTimer(this);
  mImpl->mIdleTimer->setSingleShot(true);
  mImpl->mIdleTimer->setInterval(cBarIdleTimeMs);
  connect(mImpl->mIdleTimer, &QTimer::timeout, this, [this] {
    TMoviePositionBar *bar = mImpl->mBar;
    // Not taken away from under a drag.
    if (bar->Dragging() || bar->DraggingMarker())
      mImpl->mIdleTimer->start();
    else if (mImpl->mFullScreen)
      bar->hide();
  });

  connect(&engine, &tMovieEngineC::MovieLoaded, this, [this] {
    mImpl->mBar->SetPosition(0);
    emit MovieLoaded();
  });
  connect(&engine, &tMovieEngineC::MovieLoadFailed, this, &TQTControl::MovieLoadFailed);
  connect(&engine, &tMovieEngineC::DurationKnown, bar, &TMoviePositionBar::SetDuration);
  connect(&engine, &tMovieEngineC::Sought, bar, &TMoviePositionBar::SetPosition);
  connect(&engine, &tMovieEngineC::TimeChanged, this, [this](int64_t aTime) {
    mImpl->mBar->SetPosition(aTime);
    mImpl->Raise(cQTTime, cQTCtim);
    mImpl->Raise(cQTPrgs, cQTCtim);
  });
  connect(&engine, &tMovieEngineC::RateChanged, this, [this] { mImpl->Raise(cQTStat, cQTRate); });
  connect(&engine, &tMovieEngineC::Ended, this, [this] { mImpl->Raise(cQTStat, cQTMend); });
}

TQTControl::~TQTControl() {
  disconnect(mImpl->mHomeGone);
  delete mImpl->mPlaceholder.data();
  Terminate();
  if (mImpl->mView)
    mImpl->mView->SetEngine(nullptr);
}

void TQTControl::Initialize() {
  mImpl->mEngine.Start();
}

void TQTControl::Terminate() {
  mImpl->mEngine.Stop();
}

void TQTControl::SetURL(const QString &aPath) {
  if (aPath.isEmpty())
    mImpl->mEngine.Unload();
  else
    mImpl->mEngine.Load(aPath);
}

QString TQTControl::URL() const {
  return mImpl->mEngine.Path();
}

bool TQTControl::Loading() const {
  return mImpl->mEngine.Loading();
}

TQTMovie *TQTControl::Movie() const {
  return mImpl->mEngine.Loaded() ? mImpl.get() : nullptr;
}

tMovieEngineC &TQTControl::Engine() const {
  return mImpl->mEngine;
}

TMovieView *TQTControl::View() const {
  return mImpl->mView;
}

TMoviePositionBar *TQTControl::PositionBar() const {
  return mImpl->mBar;
}

void TQTControl::WithoutNativeView(const std::function<void()> &aAction) {
  TMovieView *view = mImpl->mView;
  if (!view) {
    aAction();
    return;
  }
  auto *layout = static_cast<QVBoxLayout *>(this->layout());
  // The engine's drawing outlives the view, so the movie plays on.
  struct tRemakeC {
    TQTControl *mControl;
    QVBoxLayout *mLayout;
    tMovieDrawingC mDrawing;
    ~tRemakeC() {
      auto *view = new TMovieView(mControl);
      view->GiveDrawing(std::move(mDrawing));
      view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
      mLayout->insertWidget(0, view, 1);
      mControl->mImpl->mView = view;
      mControl->mImpl->WatchPicture(view);
    }
  } remake{this, layout, view->TakeDrawing()};
  delete view;
  mImpl->mView = nullptr;
  mImpl->mPicture = nullptr;
  aAction();
}

bool TQTControl::FullScreen() const {
  return mImpl->mFullScreen;
}

void TQTControl::SetBarIdleTime(int aTime) {
  mImpl->mIdleTimer->setInterval(std::max(aTime, 0));
}

int TQTControl::BarIdleTime() const {
  return mImpl->mIdleTimer->interval();
}

void TQTControl::SetFullScreen(bool aOn) {
  tImplC &impl = *mImpl;
  if (aOn == impl.mFullScreen)
    return;
  if (aOn) {
    QScreen *screen = window()->screen();
    impl.mHomeParent = parentWidget();
    impl.mHomeGeometry = geometry();
    impl.mHomeFlags = windowFlags();
    impl.mHomeStates = windowState();
    impl.mHomeVisible = !isHidden();
    if (QWidget *home = impl.mHomeParent) {
      if (QLayout *layout = home->layout()) {
        impl.mPlaceholder = new QWidget(home);
        impl.mPlaceholder->setSizePolicy(sizePolicy());
        impl.mPlaceholder->setMinimumSize(minimumSize());
        if (QLayoutItem *item = layout->replaceWidget(this, impl.mPlaceholder))
          delete item;
        else
          delete impl.mPlaceholder.data();
      }
      // Gone with its window, as it would have been as a child.
      impl.mHomeGone = connect(home, &QObject::destroyed, this, [this] {
        hide();
        deleteLater();
      });
      setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    }
    if (screen) {
      setScreen(screen);
      setGeometry(screen->geometry());
    }
    impl.mFullScreen = true;
    showFullScreen();
    activateWindow();
    setFocus(Qt::OtherFocusReason);
    impl.mBar->show();
    impl.mIdleTimer->start();
  } else {
    impl.mFullScreen = false;
    impl.mIdleTimer->stop();
    impl.mBar->show();
    disconnect(impl.mHomeGone);
    if (QWidget *home = impl.mHomeParent) {
      setParent(home, impl.mHomeFlags);
      if (impl.mPlaceholder) {
        QLayout *layout = home->layout();
        if (QLayoutItem *item = layout ? layout->replaceWidget(impl.mPlaceholder, this) : nullptr)
          delete item;
        delete impl.mPlaceholder.data();
        if (layout)
          layout->activate();
      } else {
        setGeometry(impl.mHomeGeometry);
      }
      setVisible(impl.mHomeVisible);
      home->window()->activateWindow();
    } else {
      setWindowState(impl.mHomeStates);
      setGeometry(impl.mHomeGeometry);
    }
    impl.mHomeParent = nullptr;
  }
  emit FullScreenChanged(aOn);
}

void TQTControl::keyPressEvent(QKeyEvent *aEvent) {
  if (mImpl->mFullScreen && aEvent->key() == Qt::Key_Escape) {
    // Queued: the key may come from the picture's native window, which moves.
    QMetaObject::invokeMethod(
        this, [this] { SetFullScreen(false); }, Qt::QueuedConnection);
    aEvent->accept();
    return;
  }
  QWidget::keyPressEvent(aEvent);
}

bool TQTControl::eventFilter(QObject *aWatched, QEvent *aEvent) {
  tImplC &impl = *mImpl;
  switch (aEvent->type()) {
  case QEvent::MouseMove:
    if (impl.mFullScreen) {
      impl.mBar->show();
      impl.mIdleTimer->start();
    }
    break;
  case QEvent::MouseButtonDblClick:
    if (aWatched == impl.mPicture) {
      QMetaObject::invokeMethod(
          this, [this] { SetFullScreen(!FullScreen()); }, Qt::QueuedConnection);
      return true;
    }
    break;
  default: break;
  }
  return QWidget::eventFilter(aWatched, aEvent);
}
