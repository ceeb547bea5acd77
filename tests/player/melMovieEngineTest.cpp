#include "melMovieEngine.h"
#include "melPlayerTestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <vector>

namespace {

// What the engine signalled, in order.
enum class tSignalE { Rate, Time, Ended };
struct tSeenC {
  tSignalE mSignal;
  double mRate;
};

class MovieEngineTest : public THeadlessEngineTest {
protected:
  void SetUp() override {
    THeadlessEngineTest::SetUp();
    if (HasFatalFailure())
      return;
    QObject::connect(mEngine.get(), &tMovieEngineC::RateChanged, [this](double aRate) {
      EXPECT_EQ(aRate, mEngine->Rate()) << "the rate is set before it is signalled";
      mSeen.push_back({tSignalE::Rate, aRate});
    });
    QObject::connect(mEngine.get(), &tMovieEngineC::TimeChanged, [this] {
      mSeen.push_back({tSignalE::Time, mEngine->Rate()});
    });
    QObject::connect(mEngine.get(), &tMovieEngineC::Ended, [this] {
      mSeen.push_back({tSignalE::Ended, mEngine->Rate()});
    });
  }

  bool Load() { return LoadAndWait(*mEngine, mClip); }

  int Count(tSignalE aSignal) const {
    return int(std::count_if(mSeen.begin(), mSeen.end(),
                             [&](const tSeenC &aSeen) { return aSeen.mSignal == aSignal; }));
  }

  std::vector<tSeenC> mSeen;
};

TEST_F(MovieEngineTest, LoadsPausedAndUnloads) {
  EXPECT_FALSE(mEngine->Loaded());
  ASSERT_TRUE(Load());
  EXPECT_EQ(mEngine->Path(), mClip);
  EXPECT_NEAR(double(mEngine->Duration()), double(cClipMs), 60);
  EXPECT_EQ(mEngine->PictureSize(), QSize(320, 240));
  EXPECT_EQ(mEngine->Rate(), 0);
  QTest::qWait(300);
  EXPECT_EQ(mEngine->Time(), 0) << "loaded movies stay paused";
  EXPECT_EQ(Count(tSignalE::Rate), 0);

  mEngine->Unload();
  EXPECT_FALSE(mEngine->Loaded());
  EXPECT_TRUE(mEngine->Path().isEmpty());
}

TEST_F(MovieEngineTest, BadFilesFailTheLoadAndLeaveNoMovie) {
  struct tCaseC {
    const char *mName;
    bool mExists;
    QByteArray mContent;
  };
  QByteArray noise(5000, '\0');
  for (int i = 0; i < noise.size(); ++i)
    noise[i] = char((i * 7919 + 13) % 251);
  const tCaseC cases[] = {{"missing.mp4", false, {}},
                          {"notes.mp4", true, "This is not a movie.\n"},
                          {"noise.mp4", true, noise},
                          {"empty.mp4", true, {}}};
  QTemporaryDir dir;
  for (const tCaseC &test : cases) {
    SCOPED_TRACE(test.mName);
    const QString path = dir.filePath(QString::fromLatin1(test.mName));
    if (test.mExists) {
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(test.mContent);
    }
    ASSERT_TRUE(Load());
    QString error;
    EXPECT_FALSE(LoadAndWait(*mEngine, path, &error));
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_FALSE(mEngine->Loading());
    EXPECT_FALSE(mEngine->Loaded());
    EXPECT_TRUE(mEngine->Path().isEmpty());
  }
  EXPECT_TRUE(Load()) << "the engine stays usable after failures";
}

TEST_F(MovieEngineTest, LoadingReturnsAtOnceAndTheOutcomeArrivesAsASignal) {
  int loaded = 0;
  QObject::connect(mEngine.get(), &tMovieEngineC::MovieLoaded, [&] { ++loaded; });
  mEngine->Load(mClip);
  // Nothing waited for the engine: the movie comes with the signal.
  EXPECT_TRUE(mEngine->Loading());
  EXPECT_FALSE(mEngine->Loaded());
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded == 1; }, 15000));
  EXPECT_FALSE(mEngine->Loading());
  EXPECT_TRUE(mEngine->Loaded());
  // Unloading while a load is under way drops it: no signal follows.
  mEngine->Load(mClip);
  mEngine->Unload();
  EXPECT_FALSE(mEngine->Loading());
  QTest::qWait(500);
  EXPECT_EQ(loaded, 1);
  EXPECT_FALSE(mEngine->Loaded());
}

TEST_F(MovieEngineTest, RateChangesAreSignalledOnceInsideTheCall) {
  ASSERT_TRUE(Load());
  SeekTo(2000);
  const struct {
    const char *mName;
    double mRate;
    int mSignals;
  } steps[] = {{"1", 1.0, 1},         {"0.8", 0.8, 1},      {"0.8 again", 0.8, 0},
               {"stop", 0.0, 1},      {"reverse", -2.0, 1}, {"1 after reverse", 1.0, 1},
               {"stop again", 0.0, 1}};
  for (const auto &step : steps) {
    SCOPED_TRACE(step.mName);
    mSeen.clear();
    mEngine->SetRate(step.mRate);
    ASSERT_EQ(Count(tSignalE::Rate), step.mSignals) << "signalled inside the call";
    EXPECT_DOUBLE_EQ(mEngine->Rate(), step.mRate);
    if (step.mSignals) {
      EXPECT_DOUBLE_EQ(mSeen.front().mRate, step.mRate);
    }
    QTest::qWait(300);
    EXPECT_EQ(Count(tSignalE::Rate), step.mSignals) << "no engine echo";
  }
}

TEST_F(MovieEngineTest, PlayingAdvancesTimeAndSignalsIt) {
  ASSERT_TRUE(Load());
  int64_t last = -1;
  QObject::connect(mEngine.get(), &tMovieEngineC::TimeChanged,
                   [&](int64_t aTime) { last = aTime; });
  mEngine->SetRate(1);
  QTest::qWait(600);
  const int64_t played = mEngine->Time();
  EXPECT_GT(played, 300);
  EXPECT_LT(played, 1100);
  EXPECT_GT(Count(tSignalE::Time), 3);
  EXPECT_NEAR(double(last), double(played), 150) << "the signals carry the time";

  mEngine->SetRate(0);
  const int64_t stopped = mEngine->Time();
  QTest::qWait(300);
  EXPECT_NEAR(double(mEngine->Time()), double(stopped), 1);
}

TEST_F(MovieEngineTest, ReverseRunsBackwardsAtTwiceTheSpeed) {
  ASSERT_TRUE(Load());
  SeekTo(3000);
  ASSERT_NEAR(double(mEngine->Time()), 3000, 50);

  mEngine->SetRate(-2);
  // It starts promptly (the engine can stall a second near the end of short
  // files); measured from the first backward step, over about a second.
  ASSERT_TRUE(QTest::qWaitFor([&] { return mEngine->Time() < 2960; }, 500));
  QElapsedTimer clock;
  clock.start();
  const int64_t start = mEngine->Time();
  QTest::qWait(1000);
  const int64_t end = mEngine->Time();
  const double speed = double(start - end) / double(clock.elapsed());
  EXPECT_GT(speed, 1.5) << start << " -> " << end;
  EXPECT_LT(speed, 2.5) << start << " -> " << end;

  mEngine->SetRate(1);
  const int64_t forward = mEngine->Time();
  QTest::qWait(400);
  EXPECT_GT(mEngine->Time(), forward + 150) << "forward again after reverse";
}

TEST_F(MovieEngineTest, TheEndIsSignalledOnceAndTheStartInReverseOnlyStops) {
  struct tCaseC {
    const char *mName;
    int64_t mFrom;
    double mRate;
    int64_t mEnd;
    // Only the end reached playing forward is the movie's end.
    int mEnds;
    // Playing on in the same direction: forward starts over, backward has
    // nothing to play.
    bool mPlaysOn;
  };
  const tCaseC cases[] = {{"forward", cClipMs - 500, 1.0, cClipMs, 1, true},
                          {"backward", 500, -2.0, 0, 0, false}};
  for (const tCaseC &test : cases) {
    SCOPED_TRACE(test.mName);
    ASSERT_TRUE(Load());
    SeekTo(test.mFrom);
    mSeen.clear();
    mEngine->SetRate(test.mRate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Count(tSignalE::Rate) == 2; }, 3000));
    QTest::qWait(300);
    EXPECT_EQ(Count(tSignalE::Ended), test.mEnds);
    EXPECT_EQ(mEngine->Rate(), 0);
    ASSERT_EQ(Count(tSignalE::Rate), 2) << "the play, then the stop at the end";
    EXPECT_EQ(mSeen.back().mRate, 0);
    EXPECT_NEAR(double(mEngine->Time()), double(test.mEnd), 100);
    EXPECT_TRUE(mEngine->Loaded()) << "the movie stays loaded";

    mSeen.clear();
    mEngine->SetRate(test.mRate);
    QTest::qWait(300);
    EXPECT_EQ(Count(tSignalE::Ended), 0);
    if (test.mPlaysOn) {
      EXPECT_EQ(mEngine->Rate(), test.mRate);
      EXPECT_GT(mEngine->Time(), 100);
      EXPECT_LT(mEngine->Time(), 1000);
    } else {
      EXPECT_EQ(mEngine->Rate(), 0);
      EXPECT_EQ(Count(tSignalE::Rate), 0);
    }
  }
}

TEST_F(MovieEngineTest, GoingToTheStartHoldsAtOnceAndOnceTheEngineIsThere) {
  ASSERT_TRUE(Load());
  SeekTo(2500);
  ASSERT_GT(mEngine->Time(), 2000);
  mEngine->SetTime(0);
  EXPECT_LE(mEngine->Time(), 40) << "right away";
  QTest::qWait(300);
  EXPECT_LE(mEngine->Time(), 40) << "and once the engine is there";
}

TEST_F(MovieEngineTest, StopIsSafeTwice) {
  ASSERT_TRUE(Load());
  mEngine->Stop();
  EXPECT_FALSE(mEngine->Loaded());
  EXPECT_EQ(mEngine->Handle(), nullptr);
  mEngine->Stop();
  mEngine->Start();
  EXPECT_TRUE(Load());
}

// The sound of a WAV file: the first channel, as floats.
struct tWaveC {
  int mRate = 0;
  std::vector<float> mSamples;
};

tWaveC ReadWave(const QString &aPath) {
  QFile file(aPath);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  const QByteArray data = file.readAll();
  auto u16 = [&](qsizetype aAt) {
    return uint16_t(uint8_t(data[aAt]) | (uint8_t(data[aAt + 1]) << 8));
  };
  auto u32 = [&](qsizetype aAt) { return uint32_t(u16(aAt) | (uint32_t(u16(aAt + 2)) << 16)); };
  tWaveC wave;
  int format = 0, channels = 0, bits = 0;
  for (qsizetype at = 12; at + 8 <= data.size();) {
    const QByteArray id = data.mid(at, 4);
    const qsizetype size = u32(at + 4);
    if (id == "fmt ") {
      format = u16(at + 8);
      channels = u16(at + 10);
      wave.mRate = int(u32(at + 12));
      bits = u16(at + 22);
      if (format == 0xFFFE)
        format = u16(at + 32); // the sub-format of an extensible header
    } else if (id == "data" && channels > 0) {
      // The size may be unset when the writer could not go back to it.
      const qsizetype frame = channels * bits / 8;
      for (qsizetype i = at + 8; i + frame <= data.size(); i += frame) {
        if (format == 3 && bits == 32) {
          float value;
          std::memcpy(&value, data.constData() + i, sizeof value);
          wave.mSamples.push_back(value);
        } else if (format == 1 && bits == 16) {
          wave.mSamples.push_back(float(int16_t(u16(i))) / 32768.0f);
        }
      }
      break;
    }
    at += 8 + size + (size & 1);
  }
  return wave;
}

// The strongest frequency between aLow and aHigh, in 1 Hz steps (Goertzel).
double DominantFrequency(const float *aSamples, int aCount, int aRate, int aLow, int aHigh) {
  double best = 0, bestPower = -1;
  for (int frequency = aLow; frequency <= aHigh; ++frequency) {
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / aRate);
    double s1 = 0, s2 = 0;
    for (int i = 0; i < aCount; ++i) {
      const double s0 = aSamples[i] + coefficient * s1 - s2;
      s2 = s1;
      s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    if (power > bestPower) {
      bestPower = power;
      best = frequency;
    }
  }
  return best;
}

TEST(MovieEngineSoundTest, SlowSpeedKeepsThePitch) {
  std::setlocale(LC_NUMERIC, "C");
  QString error;
  const QString clip = TestClip(&error);
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  QTemporaryDir dir;
  const QString output = dir.filePath(QStringLiteral("sound.wav"));
  tMovieOptionsC options;
  options.mHeadless = true;
  options.mEngineOptions = {
      {"ao", "pcm"}, {"ao-pcm-file", output}, {"ao-pcm-waveheader", "yes"}, {"vid", "no"}};
  tMovieEngineC engine(options);
  engine.Start();
  ASSERT_TRUE(LoadAndWait(engine, clip));
  bool ended = false;
  QObject::connect(&engine, &tMovieEngineC::Ended, [&] { ended = true; });
  engine.SetRate(0.6);
  // The file output does not wait for a clock, so this ends quickly.
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 15000));
  engine.Stop(); // closes the file
  const tWaveC wave = ReadWave(output);
  ASSERT_GT(wave.mRate, 0);
  const double seconds = double(wave.mSamples.size()) / wave.mRate;
  // All of it at 0.6 would be 1.67 times as long; the sound buffered at the
  // old speed before the change plays unstretched.
  EXPECT_GT(seconds, 1.3 * cClipMs / 1000.0) << "the speed did stretch time";
  EXPECT_LT(seconds, 1.8 * cClipMs / 1000.0);
  ASSERT_GT(seconds, 3);
  const int middle = int(wave.mSamples.size() / 2);
  const double frequency = DominantFrequency(wave.mSamples.data() + middle - wave.mRate / 2,
                                             wave.mRate, wave.mRate, 200, 700);
  EXPECT_NEAR(frequency, cToneHz, 5) << "0.6 without correction would give 264 Hz";
}

} // namespace
