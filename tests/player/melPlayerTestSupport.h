#pragma once

#include <QString>

#include <cstdint>

class tMovieEngineC;

inline constexpr int64_t cClipMs = 4000;
inline constexpr double cToneHz = 440;

// The test clip, made once per test program: 4 s of test picture, 320x240 at
// 25 frames a second, with a 440 Hz tone. Empty with the reason in aError
// when it cannot be made.
QString TestClip(QString *aError = nullptr);

// Loads a movie as the window does: the call returns at once and the outcome
// arrives as a signal. True when the movie loaded; else aError has the
// failure's message.
bool LoadAndWait(tMovieEngineC &aEngine, const QString &aPath, QString *aError = nullptr);
