#pragma once

#include "melApplications.h"
#include "melTestClip.h"

#include <QImage>
#include <QOpenGLWindow>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class TMain;
struct mpv_handle;
struct mpv_render_context;

// A program folder holding one clip and a catalog with it as its only
// episode (A \ B \ C \ Clip), with the log open and the application current.
class tBenchHomeC {
public:
  // Empty when ready; otherwise why not.
  QString Prepare(const tClipSpecC &aClip);
  ~tBenchHomeC();
  QString Clip() const { return mHome.filePath(QStringLiteral("clip.mp4")); }

private:
  QTemporaryDir mHome;
  std::unique_ptr<tApplicationC> mApplication;
};

// The reference player: libmpv with its own defaults and nothing of ours,
// drawing with the render API into a native GL window as our view does.
class tBarePlayerC : public QOpenGLWindow {
public:
  ~tBarePlayerC() override;
  // Creates the engine, without picture and sound when aHeadless; false when
  // it does not start.
  bool Start(bool aHeadless = false);
  // Starts playing aPath.
  void Load(const QString &aPath);
  void Unload();
  bool Ready() const { return mRender != nullptr; }
  // Renders with a new video frame, and renders of any kind.
  int FramesDrawn() const { return mFramesDrawn; }
  int Renders() const { return mRenders; }
  // Draws the current picture again, off screen.
  QImage Grab();
  mpv_handle *Handle() const { return mMpv; }
  // The playing position in seconds, 0 before one is known.
  double Time() const;

protected:
  void initializeGL() override;
  void paintGL() override;

private:
  mpv_handle *mMpv = nullptr;
  mpv_render_context *mRender = nullptr;
  std::atomic<bool> mQueued{false};
  int mFramesDrawn = 0;
  int mRenders = 0;
};

// Shows the window and selects the category down to the episode, which is
// left unselected.
bool ShowWithEpisodeListed(TMain &aWindow);
// Selects the episode and double-clicks it, as the user does.
void DoubleClickEpisode(TMain &aWindow);
// Runs the event loop as the program does (sleeping until something
// happens) until aDone holds; false when aTimeoutMs pass first.
bool RunUntil(const std::function<bool()> &aDone, int aTimeoutMs);
// Runs the event loop as the program does for aMs.
void RunFor(int aMs);
// Whether the picture shows anything but black (the test picture does).
bool ShowsPicture(const QImage &aImage);
// Without a sound device the engines try every sound output at each load,
// SDL's last at a random cost of about 100 ms; SDL's dummy output, unless the
// environment names another, gives every side one that works. Call first.
void UseOneSoundOutput();
// Runs aBody in an application set up as the program's (shared GL contexts,
// numbers in the C locale) with a program folder holding aClip; the exit
// status of the benchmark.
int RunPlaybackBench(int aArgc, char **aArgv, const tClipSpecC &aClip,
                     const std::function<int(const tBenchHomeC &)> &aBody);
// The median of the values.
double Median(std::vector<double> aValues);
