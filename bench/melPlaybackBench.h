#pragma once

#include "melApplications.h"
#include "melTestClip.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

class TMain;

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

// Shows the window and selects the category down to the episode, which is
// left unselected.
bool ShowWithEpisodeListed(TMain &aWindow);
// Selects the episode and double-clicks it, as the user does.
void DoubleClickEpisode(TMain &aWindow);
// Runs aBody in an application set up as the program's (shared GL contexts,
// numbers in the C locale) with a program folder holding aClip; the exit
// status of the benchmark.
int RunPlaybackBench(int aArgc, char **aArgv, const tClipSpecC &aClip,
                     const std::function<int(const tBenchHomeC &)> &aBody);
// The median of the values.
double Median(std::vector<double> aValues);
