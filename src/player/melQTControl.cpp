#include "melQTControl.h"

#include "melMoviePositionBar.h"
#include "melMovieView.h"

#include <QSet>
#include <QVBoxLayout>

QVariant tQTEventC::GetParam(uint32_t aCode) const {
  if (aCode == cQTRate)
    return mRate;
  return {};
}

namespace {
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
  TMovieView *mView = nullptr;
  TMoviePositionBar *mBar = nullptr;
  QSet<uint64_t> mListeners;
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
  TMoviePositionBar *bar = mImpl->mBar = new TMoviePositionBar(this);
  layout->addWidget(bar);
  connect(bar, &TMoviePositionBar::SeekRequested, this,
          [this](int64_t aTime) { mImpl->mEngine.SetTime(aTime); });

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
    }
  } remake{this, layout, view->TakeDrawing()};
  delete view;
  mImpl->mView = nullptr;
  aAction();
}
