#pragma once

#include "melApplications.h"
#include "melTestClip.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

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
// The median of the values.
double Median(std::vector<double> aValues);
