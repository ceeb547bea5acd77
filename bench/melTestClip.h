#pragma once

#include <QSize>
#include <QString>

// A test picture (ffmpeg's testsrc2) in H.264, optionally with a sine tone in
// AAC, for the tests and benchmarks that play movies.
struct tClipSpecC {
  QSize mSize{320, 240};
  int mFrameRate = 25;
  double mSeconds = 4;
  // A 440 Hz tone at 44.1 kHz; without it the clip is silent (no sound track).
  bool mTone = true;
  QString mPreset = QStringLiteral("ultrafast");
};

// Writes the clip to aPath. Empty when it was made; otherwise why not
// (ffmpeg missing, its exit status and what it printed).
[[nodiscard]] QString MakeTestClip(const QString &aPath, const tClipSpecC &aSpec = {});
