#include "melQTControl.h"

#include "melQTPositionBar.h"
#include "melQTVideoWidget.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

#include <mpv/client.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <vector>

QVariant tQTEventC::GetParam(uint32_t aCode) const {
  if (aCode == cQTRate)
    return mRate;
  return {};
}

namespace {
constexpr int cLoadTimeoutMs = 10000;
// A seek target stands in for the engine's time until the seek completes;
// past this age it is not trusted any more.
constexpr qint64 cSeekTargetLifeMs = 2000;

enum : uint64_t { cObserveTime = 1, cObserveEof, cObserveDuration };

uint64_t ListenerKey(uint32_t aEventClass, uint32_t aEventID) {
  return (uint64_t(aEventClass) << 32) | aEventID;
}

int64_t Milliseconds(double aSeconds) {
  return std::llround(aSeconds * 1000.0);
}

int64_t Milliseconds(std::optional<double> aSeconds) {
  return aSeconds ? Milliseconds(*aSeconds) : 0;
}

QString SecondsText(int64_t aMilliseconds) {
  return QString::number(aMilliseconds / 1000.0, 'f', 3);
}
} // namespace

class TQTControl::tImplC : public TQTMovie {
public:
  tImplC(TQTControl *aOwner, tQTOptionsC aOptions)
      : mOwner(aOwner), mOptions(std::move(aOptions)) {}

  void Initialize();
  void Terminate();
  void Load(const QString &aPath);
  void Unload();
  void DrainEvents();
  void OnDrawingStarted();

  void AddEventListener(uint32_t aEventClass, uint32_t aEventID) override {
    mListeners.insert(ListenerKey(aEventClass, aEventID));
  }
  void RemoveAllEventListeners() override { mListeners.clear(); }
  void Play(double aRate) override { ApplyRate(aRate); }
  void Stop() override { ApplyRate(0); }
  void SetRate(float aRate) override { ApplyRate(aRate); }
  float Rate() const override { return float(mRate); }
  int64_t Time() const override;
  int TimeScale() const override { return 1000; }
  int64_t Duration() const override { return mDuration; }
  QRect Bounds() const override;
  void SetSwitch(bool aOn) override { SetFlag("mute", aOn); }
  void Rewind() override { SetTime(0); }
  // The negative rate itself turns the engine round; nothing to prepare.
  void PreReverse() override {}
  // The engine pauses at the end by itself; this makes sure it stays so.
  void EndOfPlay() override { ApplyRate(0); }
  void SetTime(int64_t aTime) override;

  TQTControl *mOwner;
  tQTOptionsC mOptions;
  mpv_handle *mMpv = nullptr;
  TQTVideoWidget *mVideo = nullptr;
  TQTPositionBar *mBar = nullptr;
  QString mURL;
  bool mLoaded = false;
  int64_t mEntry = -1; // the engine's playlist entry of the movie
  // A load asked for and not finished: its path and playlist entry.
  QString mPendingPath;
  int64_t mPendingEntry = -1;
  bool mPendingStarted = false;
  QTimer *mLoadTimer = nullptr;

  void FailLoad(const QString &aReason);
  void CancelLoad();

private:
  static void OnWakeup(void *aContext);
  void HandleEvent(const mpv_event &aEvent, bool aDeliver);
  void ApplyRate(double aRate);
  void Raise(uint32_t aEventClass, uint32_t aEventID);
  void ResetPlayState();
  void Command(std::initializer_list<const char *> aArgs);
  void SetFlag(const char *aName, bool aOn);
  void SetString(const char *aName, const char *aValue);
  std::optional<double> GetDouble(const char *aName) const;
  std::optional<int64_t> GetInt(const char *aName) const;
  bool EngineOptionGiven(const QString &aName) const;
  // Within the movie; streams without a known duration have no upper end.
  int64_t Clamped(int64_t aTime) const {
    return mDuration > 0 ? std::clamp<int64_t>(aTime, 0, mDuration) : std::max<int64_t>(aTime, 0);
  }

  QSet<uint64_t> mListeners;
  double mRate = 0;
  bool mReverse = false;
  bool mEof = false;
  int64_t mDuration = 0;
  std::optional<int64_t> mSeekTarget;
  QElapsedTimer mSeekClock;
  std::atomic<bool> mWakeQueued{false};
};

void TQTControl::tImplC::Initialize() {
  if (mMpv)
    return;
  mMpv = mpv_create();
  if (!mMpv)
    throw EQTError(QStringLiteral("The movie engine cannot start (LC_NUMERIC must be \"C\")."));
  auto option = [this](const char *aName, const char *aValue) {
    mpv_set_option_string(mMpv, aName, aValue);
  };
  option("config", "no");
  option("terminal", "no");
  option("load-scripts", "no");
  option("ytdl", "no");
  option("input-default-bindings", "no");
  option("input-vo-keyboard", "no");
  option("idle", "yes");
  option("pause", "yes");
  // The movie stays loaded at its end, which the eof-reached flag reports.
  option("keep-open", "yes");
  option("audio-pitch-correction", "yes");
  // Reverse play near the end of short files otherwise waits a second for
  // the demuxer to retry after its end.
  option("demuxer-force-retry-on-eof", "yes");
  // Without a render context the libmpv output fails the whole file; the
  // video widget switches to it once it can draw.
  option("vo", "null");
  if (mOptions.mHeadless)
    option("ao", "null");
  else
    // Decoding is in software; probing the hardware interops only costs
    // start-up time and console noise.
    option("gpu-hwdec-interop", "no");
  for (const auto &[name, value] : mOptions.mEngineOptions) {
    int error = mpv_set_option_string(mMpv, name.toUtf8().constData(), value.toUtf8().constData());
    if (error < 0) {
      mpv_terminate_destroy(mMpv);
      mMpv = nullptr;
      throw EQTError(QStringLiteral("The movie engine refuses the option %1=%2: %3")
                         .arg(name, value, QString::fromUtf8(mpv_error_string(error))));
    }
  }
  int error = mpv_initialize(mMpv);
  if (error < 0) {
    mpv_terminate_destroy(mMpv);
    mMpv = nullptr;
    throw EQTError(QStringLiteral("The movie engine cannot start: %1")
                       .arg(QString::fromUtf8(mpv_error_string(error))));
  }
  mpv_observe_property(mMpv, cObserveTime, "time-pos", MPV_FORMAT_DOUBLE);
  mpv_observe_property(mMpv, cObserveEof, "eof-reached", MPV_FORMAT_FLAG);
  mpv_observe_property(mMpv, cObserveDuration, "duration", MPV_FORMAT_DOUBLE);
  mpv_set_wakeup_callback(mMpv, &tImplC::OnWakeup, this);
  if (mVideo)
    mVideo->SetEngine(mMpv, !EngineOptionGiven(QStringLiteral("vo")));
}

void TQTControl::tImplC::Terminate() {
  if (!mMpv)
    return;
  // The render context must go before the handle, with its GL context current.
  if (mVideo)
    mVideo->SetEngine(nullptr, false);
  mpv_set_wakeup_callback(mMpv, nullptr, nullptr);
  mpv_terminate_destroy(mMpv);
  mMpv = nullptr;
  CancelLoad();
  mLoaded = false;
  mURL.clear();
  mEntry = -1;
  ResetPlayState();
}

bool TQTControl::tImplC::EngineOptionGiven(const QString &aName) const {
  return std::any_of(mOptions.mEngineOptions.begin(), mOptions.mEngineOptions.end(),
                     [&](const auto &aOption) { return aOption.first == aName; });
}

void TQTControl::tImplC::OnWakeup(void *aContext) {
  // On an engine thread: hand over to the GUI thread, once per batch.
  auto *impl = static_cast<tImplC *>(aContext);
  if (impl->mWakeQueued.exchange(true))
    return;
  QMetaObject::invokeMethod(
      impl->mOwner,
      [impl] {
        impl->mWakeQueued = false;
        impl->DrainEvents();
      },
      Qt::QueuedConnection);
}

void TQTControl::tImplC::DrainEvents() {
  // A handler may unload or terminate, so the handle is checked each round.
  while (mMpv) {
    mpv_event *event = mpv_wait_event(mMpv, 0);
    if (event->event_id == MPV_EVENT_NONE)
      break;
    HandleEvent(*event, true);
  }
}

void TQTControl::tImplC::HandleEvent(const mpv_event &aEvent, bool aDeliver) {
  switch (aEvent.event_id) {
  case MPV_EVENT_PROPERTY_CHANGE: {
    const auto *property = static_cast<const mpv_event_property *>(aEvent.data);
    if (aEvent.reply_userdata == cObserveTime) {
      if (!mLoaded || property->format != MPV_FORMAT_DOUBLE)
        break;
      mBar->SetPosition(Milliseconds(*static_cast<const double *>(property->data)));
      if (aDeliver) {
        Raise(cQTTime, cQTCtim);
        Raise(cQTPrgs, cQTCtim);
      }
    } else if (aEvent.reply_userdata == cObserveEof) {
      bool eof = property->format == MPV_FORMAT_FLAG && *static_cast<const int *>(property->data);
      if (eof == mEof)
        break;
      mEof = eof;
      if (!eof || !mLoaded || !aDeliver)
        break;
      if (mReverse) {
        // The start reached playing backwards is no end of the movie: it
        // stops there, paused.
        if (mRate != 0) {
          SetFlag("pause", true);
          mRate = 0;
          Raise(cQTStat, cQTRate);
        }
        break;
      }
      Raise(cQTStat, cQTMend);
      // The engine paused itself at the end: a real change, not an echo.
      if (mRate != 0) {
        mRate = 0;
        Raise(cQTStat, cQTRate);
      }
    } else if (aEvent.reply_userdata == cObserveDuration) {
      mDuration = property->format == MPV_FORMAT_DOUBLE
                      ? Milliseconds(*static_cast<const double *>(property->data))
                      : 0;
      if (mLoaded)
        mBar->SetDuration(mDuration);
    }
    break;
  }
  case MPV_EVENT_PLAYBACK_RESTART: mSeekTarget.reset(); break;
  case MPV_EVENT_START_FILE: {
    const int64_t entry = static_cast<const mpv_event_start_file *>(aEvent.data)->playlist_entry_id;
    if (!mPendingPath.isEmpty() && (mPendingEntry < 0 || entry == mPendingEntry)) {
      mPendingEntry = entry;
      mPendingStarted = true;
    }
    break;
  }
  case MPV_EVENT_FILE_LOADED:
    if (!mPendingPath.isEmpty() && mPendingStarted) {
      mEntry = mPendingEntry;
      mLoaded = true;
      mURL = mPendingPath;
      CancelLoad();
      mDuration = Milliseconds(GetDouble("duration"));
      mBar->SetDuration(mDuration);
      mBar->SetPosition(0);
      if (aDeliver)
        emit mOwner->MovieLoaded();
    }
    break;
  case MPV_EVENT_SHUTDOWN:
    if (!mPendingPath.isEmpty())
      FailLoad(QStringLiteral("the movie engine stopped"));
    break;
  case MPV_EVENT_END_FILE: {
    const auto *end = static_cast<const mpv_event_end_file *>(aEvent.data);
    if (!mPendingPath.isEmpty() && end->playlist_entry_id == mPendingEntry) {
      // Anything but an error here is a playlist or the like, not a movie.
      FailLoad(end->reason == MPV_END_FILE_REASON_ERROR
                   ? QString::fromUtf8(mpv_error_string(end->error))
                   : QStringLiteral("it is not a movie"));
      break;
    }
    // A read error while playing takes the movie away.
    if (mLoaded && end->playlist_entry_id == mEntry && end->reason == MPV_END_FILE_REASON_ERROR) {
      mLoaded = false;
      mURL.clear();
      ResetPlayState();
    }
    break;
  }
  default: break;
  }
}

void TQTControl::tImplC::Raise(uint32_t aEventClass, uint32_t aEventID) {
  if (!mListeners.contains(ListenerKey(aEventClass, aEventID)))
    return;
  tQTEventC event;
  event.mEventID = aEventID;
  event.mRate = mRate;
  bool cancel = false;
  emit mOwner->OnQTEvent(mOwner, aEventClass, aEventID, 0, &event, &cancel);
}

void TQTControl::tImplC::ResetPlayState() {
  mRate = 0;
  mEof = false;
  mDuration = 0;
  mSeekTarget.reset();
  if (mBar) {
    mBar->SetDuration(0);
    mBar->SetPosition(0);
  }
  if (!mMpv)
    return;
  // Direction, speed and the audio track are engine options that would
  // otherwise carry over to the next movie.
  if (mReverse) {
    SetString("play-dir", "forward");
    SetString("aid", "auto");
  }
  mReverse = false;
  SetFlag("pause", true);
  double speed = 1;
  mpv_set_property(mMpv, "speed", MPV_FORMAT_DOUBLE, &speed);
}

void TQTControl::tImplC::Load(const QString &aPath) {
  Initialize();
  CancelLoad();
  mLoaded = false;
  mURL.clear();
  ResetPlayState();
  // A file that is not there fails at once; the engine would say so later.
  if (!QFileInfo(aPath).isFile())
    throw EQTError(QStringLiteral("The movie \"%1\" cannot be loaded: %2")
                       .arg(aPath, QString::fromUtf8(mpv_error_string(MPV_ERROR_LOADING_FAILED))));

  const QByteArray path = aPath.toUtf8();
  const char *args[] = {"loadfile", path.constData(), "replace", nullptr};
  mpv_node result{};
  int error = mpv_command_ret(mMpv, args, &result);
  if (error < 0)
    throw EQTError(QStringLiteral("The movie \"%1\" cannot be loaded: %2")
                       .arg(aPath, QString::fromUtf8(mpv_error_string(error))));
  int64_t entry = -1;
  if (result.format == MPV_FORMAT_NODE_MAP) {
    for (int i = 0; i < result.u.list->num; ++i)
      if (qstrcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
          result.u.list->values[i].format == MPV_FORMAT_INT64)
        entry = result.u.list->values[i].u.int64;
  }
  mpv_free_node_contents(&result);
  // The engine loads in its own threads; MovieLoaded or MovieLoadFailed
  // tells the outcome.
  mPendingPath = aPath;
  mPendingEntry = entry;
  mPendingStarted = false;
  if (!mLoadTimer) {
    mLoadTimer = new QTimer(mOwner);
    mLoadTimer->setSingleShot(true);
    QObject::connect(mLoadTimer, &QTimer::timeout, mOwner, [this] {
      if (!mPendingPath.isEmpty())
        FailLoad(QStringLiteral("it takes too long to open"));
    });
  }
  mLoadTimer->start(cLoadTimeoutMs);
}

void TQTControl::tImplC::CancelLoad() {
  mPendingPath.clear();
  mPendingEntry = -1;
  mPendingStarted = false;
  if (mLoadTimer)
    mLoadTimer->stop();
}

void TQTControl::tImplC::FailLoad(const QString &aReason) {
  const QString message =
      QStringLiteral("The movie \"%1\" cannot be loaded: %2").arg(mPendingPath, aReason);
  CancelLoad();
  Command({"stop"});
  emit mOwner->MovieLoadFailed(message);
}

void TQTControl::tImplC::Unload() {
  if (mMpv && (mLoaded || !mPendingPath.isEmpty()))
    Command({"stop"});
  CancelLoad();
  mLoaded = false;
  mURL.clear();
  mEntry = -1;
  ResetPlayState();
}

void TQTControl::tImplC::OnDrawingStarted() {
  // A render context that went away with an old GL context took the video
  // track with it; select the first one again ("auto" would not reselect).
  if (!mMpv || !mLoaded || EngineOptionGiven(QStringLiteral("vid")))
    return;
  char *video = mpv_get_property_string(mMpv, "vid");
  const bool lost = video && qstrcmp(video, "no") == 0;
  mpv_free(video);
  if (!lost)
    return;
  const int64_t tracks = GetInt("track-list/count").value_or(0);
  for (int64_t i = 0; i < tracks; ++i) {
    const QByteArray prefix = "track-list/" + QByteArray::number(i) + '/';
    char *type = mpv_get_property_string(mMpv, (prefix + "type").constData());
    const bool isVideo = type && qstrcmp(type, "video") == 0;
    mpv_free(type);
    auto id = GetInt((prefix + "id").constData());
    if (isVideo && id) {
      mpv_set_property(mMpv, "vid", MPV_FORMAT_INT64, &*id);
      return;
    }
  }
}

void TQTControl::tImplC::ApplyRate(double aRate) {
  if (!mMpv || !mLoaded || aRate == mRate)
    return;
  if (aRate == 0) {
    SetFlag("pause", true);
  } else {
    const bool reverse = aRate < 0;
    // Backwards from the start there is nothing to play.
    if (reverse && mReverse && mEof)
      return;
    if (reverse != mReverse) {
      // Audio decoding backwards stalls the engine, so it is off meanwhile;
      // the direction applies with the next seek.
      SetString("aid", reverse ? "no" : "auto");
      SetString("play-dir", reverse ? "backward" : "forward");
      mReverse = reverse;
      mSeekTarget = Time();
      mSeekClock.start();
      Command({"seek", "0", "relative+exact"});
    } else if (!reverse && mEof) {
      // Playing from the end starts the movie over.
      SetTime(0);
    }
    double speed = std::abs(aRate);
    mpv_set_property(mMpv, "speed", MPV_FORMAT_DOUBLE, &speed);
    SetFlag("pause", false);
  }
  mRate = aRate;
  Raise(cQTStat, cQTRate);
}

int64_t TQTControl::tImplC::Time() const {
  if (!mMpv || !mLoaded)
    return 0;
  if (mSeekTarget && mSeekClock.elapsed() < cSeekTargetLifeMs)
    return *mSeekTarget;
  return Clamped(Milliseconds(GetDouble("time-pos")));
}

void TQTControl::tImplC::SetTime(int64_t aTime) {
  if (!mMpv || !mLoaded)
    return;
  aTime = Clamped(aTime);
  mSeekTarget = aTime;
  mSeekClock.start();
  const QByteArray target = SecondsText(aTime).toLatin1();
  Command({"seek", target.constData(), "absolute+exact"});
  mBar->SetPosition(aTime);
}

QRect TQTControl::tImplC::Bounds() const {
  if (!mMpv || !mLoaded)
    return {};
  auto width = GetInt("dwidth");
  auto height = GetInt("dheight");
  if (!width || !height) {
    // Before the first frame only the container knows the size.
    width = GetInt("current-tracks/video/demux-w");
    height = GetInt("current-tracks/video/demux-h");
    if (auto aspect = GetDouble("current-tracks/video/demux-par"); width && aspect && *aspect > 0)
      width = std::llround(double(*width) * *aspect);
  }
  return {0, 0, int(width.value_or(0)), int(height.value_or(0))};
}

void TQTControl::tImplC::Command(std::initializer_list<const char *> aArgs) {
  if (!mMpv)
    return;
  std::vector<const char *> args(aArgs);
  args.push_back(nullptr);
  mpv_command(mMpv, args.data());
}

void TQTControl::tImplC::SetFlag(const char *aName, bool aOn) {
  if (!mMpv)
    return;
  int flag = aOn ? 1 : 0;
  mpv_set_property(mMpv, aName, MPV_FORMAT_FLAG, &flag);
}

void TQTControl::tImplC::SetString(const char *aName, const char *aValue) {
  if (mMpv)
    mpv_set_property_string(mMpv, aName, aValue);
}

std::optional<double> TQTControl::tImplC::GetDouble(const char *aName) const {
  double value = 0;
  if (!mMpv || mpv_get_property(mMpv, aName, MPV_FORMAT_DOUBLE, &value) < 0)
    return std::nullopt;
  return value;
}

std::optional<int64_t> TQTControl::tImplC::GetInt(const char *aName) const {
  int64_t value = 0;
  if (!mMpv || mpv_get_property(mMpv, aName, MPV_FORMAT_INT64, &value) < 0)
    return std::nullopt;
  return value;
}

TQTControl::TQTControl(QWidget *aParent, tQTOptionsC aOptions)
    : QWidget(aParent), mImpl(std::make_unique<tImplC>(this, std::move(aOptions))) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  QWidget *picture = nullptr;
  if (mImpl->mOptions.mHeadless) {
    picture = new QWidget(this);
    picture->setAutoFillBackground(true);
    QPalette palette = picture->palette();
    palette.setColor(QPalette::Window, Qt::black);
    picture->setPalette(palette);
  } else {
    mImpl->mVideo = new TQTVideoWidget(this);
    connect(mImpl->mVideo, &TQTVideoWidget::DrawingStarted, this,
            [this] { mImpl->OnDrawingStarted(); });
    picture = mImpl->mVideo;
  }
  picture->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  layout->addWidget(picture, 1);
  mImpl->mBar = new TQTPositionBar(this);
  layout->addWidget(mImpl->mBar);
  connect(mImpl->mBar, &TQTPositionBar::SeekRequested, this,
          [this](int64_t aTime) { mImpl->SetTime(aTime); });
}

TQTControl::~TQTControl() {
  QuickTimeTerminate();
}

void TQTControl::QuickTimeInitialize() {
  mImpl->Initialize();
}

void TQTControl::QuickTimeTerminate() {
  mImpl->Terminate();
}

void TQTControl::SetURL(const QString &aPath) {
  if (aPath.isEmpty())
    mImpl->Unload();
  else
    mImpl->Load(aPath);
}

QString TQTControl::URL() const {
  return mImpl->mURL;
}

bool TQTControl::Loading() const {
  return !mImpl->mPendingPath.isEmpty();
}

TQTMovie *TQTControl::Movie() const {
  return mImpl->mLoaded ? mImpl.get() : nullptr;
}
