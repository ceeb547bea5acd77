#pragma once

#include "melErrors.h"
#include "melPracticeTrainer.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>
#include <utility>

struct mpv_event;
struct mpv_handle;
class QTimer;

// A failing call on the movie engine.
class EMovieError : public EMelError {
public:
  using EMelError::EMelError;
};

// A part of the movie played over and over, in milliseconds.
struct tMovieSectionC {
  int64_t mStart = 0;
  int64_t mEnd = 0;
  bool operator==(const tMovieSectionC &) const = default;
};

struct tMovieOptionsC {
  // No picture and no sound: the engine runs with vo=null and ao=null.
  bool mHeadless = false;
  // Further engine options (name, value), set before initialisation and
  // after the engine's own, which they override.
  QList<std::pair<QString, QString>> mEngineOptions;
};

// The libmpv player: one movie at a time, times in milliseconds. Every call
// returns at once; what the engine does later arrives as signals on the
// thread that owns this object. Rate changes are signalled inside the call
// that made them, and the engine's echo of such a change is not signalled
// again.
class tMovieEngineC : public QObject {
  Q_OBJECT
public:
  explicit tMovieEngineC(tMovieOptionsC aOptions = {}, QObject *aParent = nullptr);
  ~tMovieEngineC() override;

  // Creates the libmpv handle (once); raises EMovieError when it cannot.
  void Start();
  // Destroys the handle; a view drawing it is told first (Stopping).
  void Stop();
  mpv_handle *Handle() const { return mMpv; }
  const tMovieOptionsC &Options() const { return mOptions; }

  // Starts loading a movie, paused; MovieLoaded or MovieLoadFailed follows.
  // Raises EMovieError when the file is not there or the engine refuses it
  // at once (then there is no movie).
  void Load(const QString &aPath);
  // Unloads the movie and drops a load under way.
  void Unload();
  bool Loading() const { return !mPendingPath.isEmpty(); }
  bool Loaded() const { return mLoaded; }
  // The loaded movie's path; empty without one.
  QString Path() const { return mPath; }

  // 0 pauses, a negative rate plays backwards (without sound).
  void SetRate(double aRate);
  double Rate() const { return mRate; }
  int64_t Time() const;
  int64_t Duration() const { return mDuration; }
  // One frame's time in milliseconds (the file's frame rate, 25 a second
  // when it names none).
  int64_t FrameTime() const;
  // Moves to a time (exact), keeping the rate.
  void SetTime(int64_t aTime);
  void SetMuted(bool aMuted);
  bool Muted() const { return mMuted; }
  // 0 to 100; kept over movies and engine restarts.
  void SetVolume(int aVolume);
  int Volume() const { return mVolume; }
  // Shows the picture flipped left to right, while it plays.
  void SetMirrored(bool aMirrored);
  bool Mirrored() const { return mMirrored; }

  // Practising a section: forward play at up to the fastest practice speed
  // that reaches its end goes back to its start (a pass) and plays on, after
  // the repeat pause, held paused at the start. Reverse and fast forward
  // ignore it. Only a play across the end repeats: from beyond it the movie
  // plays on. Loading or unloading a movie clears the section. False (and
  // no change) when the end is not after the start.
  bool SetSection(int64_t aStart, int64_t aEnd);
  void ClearSection();
  std::optional<tMovieSectionC> Section() const { return mSection; }
  // Passes of the current section.
  int Passes() const { return mPasses; }
  // 0 to 3000 ms.
  void SetRepeatPause(int64_t aPause);
  int64_t RepeatPause() const { return mRepeatPause; }
  // Held at the start before a repeat: the rate stays what it was and
  // practice speeds apply when it plays on; pausing, reverse and fast
  // forward end it.
  bool Holding() const { return mHolding; }
  // While a trainer runs, forward play at up to the fastest practice speed
  // goes at the trainer's speed, raised with the passes of the section.
  void SetSpeedTrainer(const tSpeedTrainerSettingsC &aSettings);
  void ClearSpeedTrainer();
  const std::optional<tSpeedTrainerC> &SpeedTrainer() const { return mTrainer; }

  // The picture's size; empty for a sound-only movie or without one.
  QSize PictureSize() const;

  // The view tells whether it can draw: the engine's video output follows
  // (the null output lets movies load while nothing draws).
  void SetDrawing(bool aDrawing);

signals:
  void MovieLoaded();
  // The message names the file and the reason.
  void MovieLoadFailed(const QString &aMessage);
  void RateChanged(double aRate);
  // The time the engine reports while it plays or after a seek.
  void TimeChanged(int64_t aTime);
  // A seek was asked for: its target stands for the time until the engine
  // reports from there.
  void Sought(int64_t aTime);
  void DurationKnown(int64_t aDuration);
  // Played forward to its end; the movie stays loaded, paused there.
  void Ended();
  // The handle was created, or is about to be destroyed: a view attaches
  // its renderer then, or frees it while the handle still exists.
  void Started();
  void Stopping();
  // Set, changed or cleared.
  void SectionChanged();
  // The end of the section was reached and the movie went back to its start.
  void PassCompleted(int aPasses);
  // The trainer's speed and the nearest slider position (cPracticeSpeeds).
  void TrainerSpeedChanged(double aSpeed, int aSliderPosition);

private:
  static void OnWakeup(void *aContext);
  void DrainEvents();
  void HandleEvent(const mpv_event &aEvent);
  void ChangeRate(double aRate);
  void ResetPlayState();
  void CancelLoad();
  void FailLoad(const QString &aReason);
  void ReselectLostVideo();
  void Command(std::initializer_list<const char *> aArgs);
  void SetFlag(const char *aName, bool aOn);
  void SetString(const char *aName, const char *aValue);
  std::optional<double> GetDouble(const char *aName) const;
  std::optional<int64_t> GetInt(const char *aName) const;
  bool OptionGiven(const QString &aName) const;
  int64_t Clamped(int64_t aTime) const;
  bool Practising() const;
  void ApplySpeed(double aSpeed);
  void ApplyMirror();
  void CheckSectionEnd(int64_t aTime);
  void Repeat();
  void EndHold();
  void ResetSection();
  void EmitTrainerSpeed();

  tMovieOptionsC mOptions;
  mpv_handle *mMpv = nullptr;
  QString mPath;
  bool mLoaded = false;
  int64_t mEntry = -1; // the engine's playlist entry of the movie
  // A load asked for and not finished: its path and playlist entry.
  QString mPendingPath;
  int64_t mPendingEntry = -1;
  bool mPendingStarted = false;
  QTimer *mLoadTimer = nullptr;
  double mRate = 0;
  bool mReverse = false;
  bool mEof = false;
  int64_t mDuration = 0;
  std::optional<int64_t> mSeekTarget;
  QElapsedTimer mSeekClock;
  std::atomic<bool> mWakeQueued{false};
  bool mMuted = false;
  int mVolume = 100;
  bool mMirrored = false;
  std::optional<tMovieSectionC> mSection;
  int64_t mRepeatPause = 0;
  int mPasses = 0;
  // The last time the engine reported or a seek went to: an end is reached
  // by playing across it.
  int64_t mLastTime = 0;
  // A repeat's seek is under way: times from before it are ignored.
  bool mRepeating = false;
  bool mHolding = false;
  QTimer *mHoldTimer = nullptr;
  std::optional<tSpeedTrainerC> mTrainer;
};
