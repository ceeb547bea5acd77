#include "melMovieEngine.h"

#include "melWakeup.h"

#include <QFileInfo>
#include <QTimer>

#include <mpv/client.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr int cLoadTimeoutMs = 10000;
// A seek target stands in for the engine's time until the seek completes;
// past this age it is not trusted any more.
constexpr qint64 cSeekTargetLifeMs = 2000;
constexpr int64_t cLongestRepeatPauseMs = 3000;
// Rates arrive through floats; the fastest practice speed with room for that.
constexpr double cFastestPracticeRate = cPracticeSpeeds.back() + 0.001;
constexpr const char *cMirrorFilter = "@mirror:hflip";

enum : uint64_t { cObserveTime = 1, cObserveEof, cObserveDuration };

int64_t Milliseconds(double aSeconds) {
  return std::llround(aSeconds * 1000.0);
}

int64_t Milliseconds(std::optional<double> aSeconds) {
  return aSeconds ? Milliseconds(*aSeconds) : 0;
}

QString SecondsText(int64_t aMilliseconds) {
  return QString::number(aMilliseconds / 1000.0, 'f', 3);
}

QString LoadFailure(const QString &aPath, const QString &aReason) {
  return QStringLiteral("The movie \"%1\" cannot be loaded: %2").arg(aPath, aReason);
}
} // namespace

tMovieEngineC::tMovieEngineC(tMovieOptionsC aOptions, QObject *aParent)
    : QObject(aParent), mOptions(std::move(aOptions)) {}

tMovieEngineC::~tMovieEngineC() {
  Stop();
}

void tMovieEngineC::Start() {
  if (mMpv)
    return;
  mMpv = mpv_create();
  if (!mMpv)
    throw EMovieError(QStringLiteral("The movie engine cannot start (LC_NUMERIC must be \"C\")."));
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
  // view switches to it once it can draw.
  option("vo", "null");
  option("volume", QByteArray::number(mVolume).constData());
  option("mute", mMuted ? "yes" : "no");
  if (mMirrored)
    option("vf", cMirrorFilter);
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
      throw EMovieError(QStringLiteral("The movie engine refuses the option %1=%2: %3")
                            .arg(name, value, QString::fromUtf8(mpv_error_string(error))));
    }
  }
  int error = mpv_initialize(mMpv);
  if (error < 0) {
    mpv_terminate_destroy(mMpv);
    mMpv = nullptr;
    throw EMovieError(QStringLiteral("The movie engine cannot start: %1")
                          .arg(QString::fromUtf8(mpv_error_string(error))));
  }
  mpv_observe_property(mMpv, cObserveTime, "time-pos", MPV_FORMAT_DOUBLE);
  mpv_observe_property(mMpv, cObserveEof, "eof-reached", MPV_FORMAT_FLAG);
  mpv_observe_property(mMpv, cObserveDuration, "duration", MPV_FORMAT_DOUBLE);
  mpv_set_wakeup_callback(mMpv, &tMovieEngineC::OnWakeup, this);
  emit Started();
}

void tMovieEngineC::Stop() {
  if (!mMpv)
    return;
  // A renderer must go before the handle.
  emit Stopping();
  mpv_set_wakeup_callback(mMpv, nullptr, nullptr);
  mpv_terminate_destroy(mMpv);
  mMpv = nullptr;
  CancelLoad();
  mLoaded = false;
  mPath.clear();
  mEntry = -1;
  ResetPlayState();
}

bool tMovieEngineC::OptionGiven(const QString &aName) const {
  return std::any_of(mOptions.mEngineOptions.begin(), mOptions.mEngineOptions.end(),
                     [&](const auto &aOption) { return aOption.first == aName; });
}

void tMovieEngineC::SetDrawing(bool aDrawing) {
  if (!mMpv || OptionGiven(QStringLiteral("vo")))
    return;
  SetString("vo", aDrawing ? "libmpv" : "null");
  if (aDrawing)
    ReselectLostVideo();
}

void tMovieEngineC::OnWakeup(void *aContext) {
  auto *engine = static_cast<tMovieEngineC *>(aContext);
  PostOnce(engine, engine->mWakeQueued, [engine] { engine->DrainEvents(); });
}

void tMovieEngineC::DrainEvents() {
  // A receiver may unload or stop, so the handle is checked each round.
  while (mMpv) {
    mpv_event *event = mpv_wait_event(mMpv, 0);
    if (event->event_id == MPV_EVENT_NONE)
      break;
    HandleEvent(*event);
  }
}

void tMovieEngineC::HandleEvent(const mpv_event &aEvent) {
  switch (aEvent.event_id) {
  case MPV_EVENT_PROPERTY_CHANGE: {
    const auto *property = static_cast<const mpv_event_property *>(aEvent.data);
    if (aEvent.reply_userdata == cObserveTime) {
      // While a seek is under way the reports still come from before it: the
      // position stands at the target until the engine has landed.
      const bool seeking = mSeekTarget && mSeekClock.elapsed() < cSeekTargetLifeMs;
      if (mLoaded && property->format == MPV_FORMAT_DOUBLE && !seeking) {
        const int64_t time = Milliseconds(*static_cast<const double *>(property->data));
        emit TimeChanged(time);
        // A receiver may have unloaded the movie.
        if (mLoaded)
          CheckSectionEnd(time);
      }
    } else if (aEvent.reply_userdata == cObserveEof) {
      bool eof = property->format == MPV_FORMAT_FLAG && *static_cast<const int *>(property->data);
      if (eof == mEof)
        break;
      mEof = eof;
      if (!eof || !mLoaded)
        break;
      if (mReverse) {
        // The start reached playing backwards is no end of the movie: it
        // stops there, paused.
        if (mRate != 0) {
          SetFlag("pause", true);
          ChangeRate(0);
        }
        break;
      }
      // A section that runs to the movie's end repeats from there.
      if (mSection && Practising() && mLastTime >= mSection->mStart && mLastTime < mSection->mEnd) {
        Repeat();
        break;
      }
      emit Ended();
      // The engine paused itself at the end: a real change, not an echo.
      if (mRate != 0)
        ChangeRate(0);
    } else if (aEvent.reply_userdata == cObserveDuration) {
      mDuration = property->format == MPV_FORMAT_DOUBLE
                      ? Milliseconds(*static_cast<const double *>(property->data))
                      : 0;
      if (mLoaded)
        emit DurationKnown(mDuration);
    }
    break;
  }
  case MPV_EVENT_PLAYBACK_RESTART:
    mSeekTarget.reset();
    mRepeating = false;
    break;
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
      mPath = mPendingPath;
      CancelLoad();
      mDuration = Milliseconds(GetDouble("duration"));
      emit DurationKnown(mDuration);
      emit MovieLoaded();
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
      mPath.clear();
      ResetPlayState();
    }
    break;
  }
  default: break;
  }
}

void tMovieEngineC::ChangeRate(double aRate) {
  mRate = aRate;
  emit RateChanged(aRate);
}

void tMovieEngineC::ResetPlayState() {
  // The hold ends without playing on: the movie is paused below.
  mHolding = false;
  if (mHoldTimer)
    mHoldTimer->stop();
  mRepeating = false;
  mLastTime = 0;
  ResetSection();
  mRate = 0;
  mEof = false;
  const bool hadDuration = mDuration != 0;
  mDuration = 0;
  mSeekTarget.reset();
  if (hadDuration)
    emit DurationKnown(0);
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
  mpv_set_property_async(mMpv, 0, "speed", MPV_FORMAT_DOUBLE, &speed);
}

void tMovieEngineC::Load(const QString &aPath) {
  Start();
  CancelLoad();
  mLoaded = false;
  mPath.clear();
  ResetPlayState();
  // A file that is not there fails at once; the engine would say so later.
  if (!QFileInfo(aPath).isFile())
    throw EMovieError(
        LoadFailure(aPath, QString::fromUtf8(mpv_error_string(MPV_ERROR_LOADING_FAILED))));

  const QByteArray path = aPath.toUtf8();
  const char *args[] = {"loadfile", path.constData(), "replace", nullptr};
  mpv_node result{};
  int error = mpv_command_ret(mMpv, args, &result);
  if (error < 0)
    throw EMovieError(LoadFailure(aPath, QString::fromUtf8(mpv_error_string(error))));
  int64_t entry = -1;
  if (result.format == MPV_FORMAT_NODE_MAP) {
    for (int i = 0; i < result.u.list->num; ++i)
      if (qstrcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
          result.u.list->values[i].format == MPV_FORMAT_INT64)
        entry = result.u.list->values[i].u.int64;
  }
  mpv_free_node_contents(&result);
  mPendingPath = aPath;
  mPendingEntry = entry;
  mPendingStarted = false;
  if (!mLoadTimer) {
    mLoadTimer = new QTimer(this);
    mLoadTimer->setSingleShot(true);
    connect(mLoadTimer, &QTimer::timeout, this, [this] {
      if (!mPendingPath.isEmpty())
        FailLoad(QStringLiteral("it takes too long to open"));
    });
  }
  mLoadTimer->start(cLoadTimeoutMs);
}

void tMovieEngineC::CancelLoad() {
  mPendingPath.clear();
  mPendingEntry = -1;
  mPendingStarted = false;
  if (mLoadTimer)
    mLoadTimer->stop();
}

void tMovieEngineC::FailLoad(const QString &aReason) {
  const QString message = LoadFailure(mPendingPath, aReason);
  CancelLoad();
  Command({"stop"});
  emit MovieLoadFailed(message);
}

void tMovieEngineC::Unload() {
  if (mMpv && (mLoaded || !mPendingPath.isEmpty()))
    Command({"stop"});
  CancelLoad();
  mLoaded = false;
  mPath.clear();
  mEntry = -1;
  ResetPlayState();
}

void tMovieEngineC::ReselectLostVideo() {
  // A render context that went away with an old GL context took the video
  // track with it; select the first one again ("auto" would not reselect).
  if (!mLoaded || OptionGiven(QStringLiteral("vid")))
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

void tMovieEngineC::SetRate(double aRate) {
  if (!mMpv || !mLoaded)
    return;
  if (mTrainer && aRate > 0 && aRate <= cFastestPracticeRate)
    aRate = mTrainer->Speed();
  if (aRate == mRate)
    return;
  if (mHolding && aRate > 0 && aRate <= cFastestPracticeRate) {
    // It plays on at this speed when the hold is over.
    ApplySpeed(aRate);
    return;
  }
  mHolding = false;
  if (mHoldTimer)
    mHoldTimer->stop();
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
    mpv_set_property_async(mMpv, 0, "speed", MPV_FORMAT_DOUBLE, &speed);
    SetFlag("pause", false);
  }
  ChangeRate(aRate);
}

int64_t tMovieEngineC::Clamped(int64_t aTime) const {
  // Streams without a known duration have no upper end.
  return mDuration > 0 ? std::clamp<int64_t>(aTime, 0, mDuration) : std::max<int64_t>(aTime, 0);
}

int64_t tMovieEngineC::Time() const {
  if (!mMpv || !mLoaded)
    return 0;
  if (mSeekTarget && mSeekClock.elapsed() < cSeekTargetLifeMs)
    return *mSeekTarget;
  return Clamped(Milliseconds(GetDouble("time-pos")));
}

void tMovieEngineC::SetTime(int64_t aTime) {
  if (!mMpv || !mLoaded)
    return;
  aTime = Clamped(aTime);
  mSeekTarget = aTime;
  mSeekClock.start();
  const QByteArray target = SecondsText(aTime).toLatin1();
  Command({"seek", target.constData(), "absolute+exact"});
  mLastTime = aTime;
  emit Sought(aTime);
}

void tMovieEngineC::SetMuted(bool aMuted) {
  mMuted = aMuted;
  SetFlag("mute", aMuted);
}

void tMovieEngineC::SetVolume(int aVolume) {
  mVolume = std::clamp(aVolume, 0, 100);
  if (!mMpv)
    return;
  double volume = mVolume;
  mpv_set_property_async(mMpv, 0, "volume", MPV_FORMAT_DOUBLE, &volume);
}

void tMovieEngineC::SetMirrored(bool aMirrored) {
  if (aMirrored == mMirrored)
    return;
  mMirrored = aMirrored;
  // A labelled filter comes and goes alone; the movie plays on.
  if (aMirrored)
    Command({"vf", "add", cMirrorFilter});
  else
    Command({"vf", "remove", "@mirror"});
}

bool tMovieEngineC::Practising() const {
  return mLoaded && !mReverse && mRate > 0 && mRate <= cFastestPracticeRate;
}

void tMovieEngineC::ApplySpeed(double aSpeed) {
  double speed = aSpeed;
  mpv_set_property_async(mMpv, 0, "speed", MPV_FORMAT_DOUBLE, &speed);
  ChangeRate(aSpeed);
}

// The loop runs on the engine's time reports rather than its own A-B loop:
// that one cannot hold before a repeat, repeats in reverse too and reports
// no pass. The report of the first frame at or past the end is at most a
// frame late, and the exact seek lands on the start's frame.
void tMovieEngineC::CheckSectionEnd(int64_t aTime) {
  const int64_t last = mLastTime;
  mLastTime = aTime;
  if (!mSection)
    return;
  if (mRepeating) {
    // Reports from before the repeat's seek are past the end.
    if (aTime < mSection->mEnd)
      mRepeating = false;
    return;
  }
  if (Practising() && last < mSection->mEnd && aTime >= mSection->mEnd)
    Repeat();
}

void tMovieEngineC::Repeat() {
  ++mPasses;
  mRepeating = true;
  if (mRepeatPause > 0) {
    SetFlag("pause", true);
    mHolding = true;
    if (!mHoldTimer) {
      mHoldTimer = new QTimer(this);
      mHoldTimer->setSingleShot(true);
      connect(mHoldTimer, &QTimer::timeout, this, &tMovieEngineC::EndHold);
    }
    mHoldTimer->start(int(mRepeatPause));
  } else if (mEof) {
    // The engine paused itself at the end.
    SetFlag("pause", false);
  }
  SetTime(mSection->mStart);
  const int passes = mPasses;
  emit PassCompleted(passes);
  if (mTrainer && passes == mPasses && mTrainer->Pass()) {
    EmitTrainerSpeed();
    if (Practising())
      ApplySpeed(mTrainer->Speed());
  }
}

void tMovieEngineC::EndHold() {
  if (!mHolding)
    return;
  mHolding = false;
  if (mHoldTimer)
    mHoldTimer->stop();
  if (mLoaded && mRate > 0)
    SetFlag("pause", false);
}

void tMovieEngineC::ResetSection() {
  const bool had = mSection.has_value();
  mSection.reset();
  mPasses = 0;
  if (mTrainer) {
    mTrainer->Restart();
    EmitTrainerSpeed();
  }
  if (had)
    emit SectionChanged();
}

bool tMovieEngineC::SetSection(int64_t aStart, int64_t aEnd) {
  if (aStart < 0 || aEnd <= aStart)
    return false;
  const tMovieSectionC section{aStart, aEnd};
  if (mSection == section)
    return true;
  mSection = section;
  mPasses = 0;
  mRepeating = false;
  EndHold();
  if (mTrainer) {
    mTrainer->Restart();
    EmitTrainerSpeed();
    if (Practising())
      ApplySpeed(mTrainer->Speed());
  }
  emit SectionChanged();
  return true;
}

void tMovieEngineC::ClearSection() {
  if (!mSection)
    return;
  // A hold under way plays on.
  EndHold();
  mRepeating = false;
  ResetSection();
}

void tMovieEngineC::SetRepeatPause(int64_t aPause) {
  mRepeatPause = std::clamp<int64_t>(aPause, 0, cLongestRepeatPauseMs);
}

void tMovieEngineC::SetSpeedTrainer(const tSpeedTrainerSettingsC &aSettings) {
  mTrainer.emplace(aSettings);
  EmitTrainerSpeed();
  if (Practising() && mTrainer->Speed() != mRate)
    ApplySpeed(mTrainer->Speed());
}

void tMovieEngineC::ClearSpeedTrainer() {
  mTrainer.reset();
}

void tMovieEngineC::EmitTrainerSpeed() {
  emit TrainerSpeedChanged(mTrainer->Speed(), mTrainer->SliderPosition());
}

QSize tMovieEngineC::PictureSize() const {
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
  return {int(width.value_or(0)), int(height.value_or(0))};
}

void tMovieEngineC::Command(std::initializer_list<const char *> aArgs) {
  if (!mMpv)
    return;
  std::vector<const char *> args(aArgs);
  args.push_back(nullptr);
  mpv_command(mMpv, args.data());
}

// Pausing, playing, muting and the speed go to the engine without waiting
// for it: its core may be busy a while (opening the sound output for a new
// movie, most of a second where the system has no sound device), and the
// window must not wait on it. Later calls are carried out after them.
void tMovieEngineC::SetFlag(const char *aName, bool aOn) {
  if (!mMpv)
    return;
  int flag = aOn ? 1 : 0;
  mpv_set_property_async(mMpv, 0, aName, MPV_FORMAT_FLAG, &flag);
}

void tMovieEngineC::SetString(const char *aName, const char *aValue) {
  if (mMpv)
    mpv_set_property_string(mMpv, aName, aValue);
}

int64_t tMovieEngineC::FrameTime() const {
  const std::optional<double> rate = GetDouble("container-fps");
  return rate && *rate >= 1 && *rate <= 1000 ? std::max<int64_t>(1, std::llround(1000 / *rate))
                                             : 40;
}

std::optional<double> tMovieEngineC::GetDouble(const char *aName) const {
  double value = 0;
  if (!mMpv || mpv_get_property(mMpv, aName, MPV_FORMAT_DOUBLE, &value) < 0)
    return std::nullopt;
  return value;
}

std::optional<int64_t> tMovieEngineC::GetInt(const char *aName) const {
  int64_t value = 0;
  if (!mMpv || mpv_get_property(mMpv, aName, MPV_FORMAT_INT64, &value) < 0)
    return std::nullopt;
  return value;
}
