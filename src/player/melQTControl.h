#pragma once

#include "melMovieEngine.h"

#include <QRect>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

// Four-character codes of the movie control's events and parameters.
constexpr uint32_t FourCC(const char (&aCode)[5]) {
  return (uint32_t(uint8_t(aCode[0])) << 24) | (uint32_t(uint8_t(aCode[1])) << 16) |
         (uint32_t(uint8_t(aCode[2])) << 8) | uint32_t(uint8_t(aCode[3]));
}
inline constexpr uint32_t cQTStat = FourCC("stat");
inline constexpr uint32_t cQTRate = FourCC("rate");
inline constexpr uint32_t cQTAudi = FourCC("audi");
inline constexpr uint32_t cQTCvol = FourCC("cvol");
inline constexpr uint32_t cQTTime = FourCC("time");
inline constexpr uint32_t cQTCtim = FourCC("ctim");
inline constexpr uint32_t cQTPrgs = FourCC("prgs");
inline constexpr uint32_t cQTMend = FourCC("mend");

// What an event hands its handler.
class tQTEventC {
public:
  uint32_t EventID() const { return mEventID; }
  QVariant GetParam(uint32_t aCode) const;
  // Positive when the parameters may be read.
  int Guard() const { return mGuard; }

  uint32_t mEventID = 0;
  int mGuard = 1;
  double mRate = 0; // the 'rate' parameter
};

class TQTControl;

// The loaded movie. Times count in milliseconds (time scale 1000).
class TQTMovie {
public:
  virtual ~TQTMovie() = default;
  virtual void AddEventListener(uint32_t aEventClass, uint32_t aEventID) = 0;
  virtual void RemoveAllEventListeners() = 0;
  virtual void Play(double aRate) = 0;
  virtual void Stop() = 0;
  virtual void SetRate(float aRate) = 0;
  virtual float Rate() const = 0;
  virtual int64_t Time() const = 0;
  virtual int TimeScale() const = 0;
  virtual int64_t Duration() const = 0;
  // The picture's size, at the origin.
  virtual QRect Bounds() const = 0;
  // On while fast forward or reverse play: the sound is off then.
  virtual void SetSwitch(bool aOn) = 0;
  virtual void Rewind() = 0;
  virtual void PreReverse() = 0;
  virtual void EndOfPlay() = 0;
  // Moves to a time (exact), keeping the rate.
  virtual void SetTime(int64_t /*aTime*/) {}
};

class TMovieView;
class TMoviePositionBar;

// The window's movie control: an engine, the view that draws its picture
// (none when headless) and a 16-pixel position bar below it, with the
// movie object and the events the window's handlers speak.
class TQTControl : public QWidget {
  Q_OBJECT
public:
  explicit TQTControl(QWidget *aParent = nullptr, tMovieOptionsC aOptions = {});
  ~TQTControl() override;

  void Initialize();
  void Terminate();

  // A path starts loading that movie, paused, and returns at once;
  // MovieLoaded or MovieLoadFailed follows. The empty text unloads the movie
  // (and drops a load under way). Raises EMovieError when the file is not there
  // or the engine refuses it at once (then there is no movie).
  void SetURL(const QString &aPath);
  QString URL() const;
  // The loaded movie, or none (also while one loads).
  TQTMovie *Movie() const;
  bool Loading() const;
  tMovieEngineC &Engine() const;
  TMovieView *View() const;
  TMoviePositionBar *PositionBar() const;
  // Runs aAction with the view's native window gone, then makes the view
  // anew; the engine plays on. For what makes Qt build the top-level window
  // anew (the first web view in it), which leaves a native child window
  // with a dangling parent.
  void WithoutNativeView(const std::function<void()> &aAction);

  // Only the picture and the position bar, over the whole screen of the
  // window; off puts the control back where it was. The bar shows while
  // the mouse moves and hides after the idle time. A double-click on the
  // picture toggles it; Escape leaves it.
  void SetFullScreen(bool aOn);
  bool FullScreen() const;
  // Milliseconds; 2 s unless set.
  void SetBarIdleTime(int aTime);
  int BarIdleTime() const;

signals:
  void MovieLoaded();
  // The message names the file and the reason.
  void MovieLoadFailed(const QString &aMessage);
  // Raised on the main thread for each registered pair; rate events arrive
  // inside the call that changed the rate.
  void OnQTEvent(TQTControl *aSender, uint32_t aEventClass, uint32_t aEventID, int aPhase,
                 tQTEventC *aEvent, bool *aCancel);
  void FullScreenChanged(bool aOn);

protected:
  void keyPressEvent(QKeyEvent *aEvent) override;
  bool eventFilter(QObject *aWatched, QEvent *aEvent) override;

private:
  class tImplC;
  std::unique_ptr<tImplC> mImpl;
};
