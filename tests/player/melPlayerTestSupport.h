#pragma once

#include "melMovieEngine.h"

#include <QString>
#include <QTest>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <memory>

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

// A started headless engine (no picture, no sound device) and the test clip,
// not yet loaded.
class THeadlessEngineTest : public ::testing::Test {
protected:
  void SetUp() override {
    // The engine reads numbers in the C locale.
    std::setlocale(LC_NUMERIC, "C");
    QString error;
    mClip = TestClip(&error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    tMovieOptionsC options;
    options.mHeadless = true;
    mEngine = std::make_unique<tMovieEngineC>(options);
    mEngine->Start();
  }
  // Waits until the engine's time settles after a seek.
  void SeekTo(int64_t aTime) {
    mEngine->SetTime(aTime);
    QTest::qWait(250);
  }

  QString mClip;
  std::unique_ptr<tMovieEngineC> mEngine;
};
