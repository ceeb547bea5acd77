#include "melQTControl.h"
#include "melQTPositionBar.h"
#include "melQTVideoWidget.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <vector>

namespace {

constexpr int64_t cClipMs = 4000;
constexpr double cToneHz = 440;

// The clips are made once per test program: 4 s of test picture with a
// 440 Hz tone.
class tClipsC {
public:
  static tClipsC &Get() {
    static tClipsC clips;
    return clips;
  }
  QString Movie() const { return mDir.filePath(QStringLiteral("clip.mp4")); }
  QString mError;

private:
  tClipsC() {
    QStringList args =
        QStringLiteral("-y -loglevel error -f lavfi -i testsrc2=size=320x240:rate=25 "
                       "-f lavfi -i sine=frequency=440:sample_rate=44100 -t 4 "
                       "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac "
                       "-shortest")
            .split(u' ');
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args << Movie());
    if (!ffmpeg.waitForFinished(30000) || ffmpeg.exitCode() != 0)
      mError =
          QStringLiteral("ffmpeg failed: ") + QString::fromLocal8Bit(ffmpeg.readAllStandardError());
  }
  QTemporaryDir mDir;
};

// Loads a movie as the window does: the call returns at once and the outcome
// arrives as an event. The loaded movie, or none with the failure's message.
TQTMovie *LoadAndWait(TQTControl &aControl, const QString &aPath, QString *aError = nullptr) {
  QString failure;
  bool ended = false;
  QMetaObject::Connection loaded =
      QObject::connect(&aControl, &TQTControl::MovieLoaded, [&] { ended = true; });
  QMetaObject::Connection failed =
      QObject::connect(&aControl, &TQTControl::MovieLoadFailed, [&](const QString &aMessage) {
        failure = aMessage;
        ended = true;
      });
  try {
    aControl.SetURL(aPath);
  } catch (const EQTError &aFailure) {
    failure = aFailure.Message();
    ended = true;
  }
  if (!QTest::qWaitFor([&] { return ended; }, 15000))
    ADD_FAILURE() << "the load never ended";
  QObject::disconnect(loaded);
  QObject::disconnect(failed);
  if (aError)
    *aError = failure;
  return aControl.Movie();
}

struct tSeenC {
  uint32_t mClass;
  uint32_t mID;
  double mRate;
  int mGuard;
  QVariant mRateParam;
};

const std::vector<std::pair<uint32_t, uint32_t>> cAllPairs = {
    {cQTStat, cQTRate}, {cQTTime, cQTCtim}, {cQTPrgs, cQTCtim}, {cQTStat, cQTMend}};

class TQTControlTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(tClipsC::Get().mError.isEmpty()) << tClipsC::Get().mError.toStdString();
    tQTOptionsC options;
    options.mHeadless = true;
    mControl = std::make_unique<TQTControl>(nullptr, options);
    mControl->QuickTimeInitialize();
    QObject::connect(
        mControl.get(), &TQTControl::OnQTEvent,
        [this](TQTControl *aSender, uint32_t aClass, uint32_t aID, int aPhase, tQTEventC *aEvent,
               bool *aCancel) {
          EXPECT_EQ(aSender, mControl.get());
          EXPECT_EQ(aPhase, 0);
          EXPECT_NE(aCancel, nullptr);
          EXPECT_EQ(aEvent->EventID(), aID);
          mSeen.push_back({aClass, aID, aEvent->mRate, aEvent->Guard(), aEvent->GetParam(cQTRate)});
        });
  }

  TQTMovie *Load() {
    TQTMovie *movie = LoadAndWait(*mControl, tClipsC::Get().Movie());
    if (movie)
      for (auto [eventClass, id] : cAllPairs)
        movie->AddEventListener(eventClass, id);
    return movie;
  }

  int Count(uint32_t aClass, uint32_t aID) const {
    return int(std::count_if(mSeen.begin(), mSeen.end(), [&](const tSeenC &aSeen) {
      return aSeen.mClass == aClass && aSeen.mID == aID;
    }));
  }

  // Waits until the engine's time settles after a seek.
  static void SeekTo(TQTMovie *aMovie, int64_t aTime) {
    aMovie->SetTime(aTime);
    QTest::qWait(250);
  }

  std::unique_ptr<TQTControl> mControl;
  std::vector<tSeenC> mSeen;
};

TEST_F(TQTControlTest, LoadsPausedAndUnloads) {
  EXPECT_EQ(mControl->Movie(), nullptr);
  EXPECT_TRUE(mControl->findChildren<QOpenGLWidget *>().isEmpty());

  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(mControl->URL(), tClipsC::Get().Movie());
  EXPECT_EQ(movie->TimeScale(), 1000);
  EXPECT_NEAR(double(movie->Duration()), double(cClipMs), 60);
  EXPECT_EQ(movie->Bounds(), QRect(0, 0, 320, 240));
  EXPECT_EQ(movie->Rate(), 0);
  QTest::qWait(300);
  EXPECT_EQ(movie->Time(), 0) << "loaded movies stay paused";
  EXPECT_EQ(Count(cQTStat, cQTRate), 0);

  mControl->SetURL(QString());
  EXPECT_EQ(mControl->Movie(), nullptr);
  EXPECT_TRUE(mControl->URL().isEmpty());
}

TEST_F(TQTControlTest, BadFilesFailTheLoadAndLeaveNoMovie) {
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
    ASSERT_NE(Load(), nullptr);
    QString error;
    EXPECT_EQ(LoadAndWait(*mControl, path, &error), nullptr);
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_FALSE(mControl->Loading());
    EXPECT_EQ(mControl->Movie(), nullptr);
    EXPECT_TRUE(mControl->URL().isEmpty());
  }
  EXPECT_NE(Load(), nullptr) << "the engine stays usable after failures";
}

TEST_F(TQTControlTest, LoadingReturnsAtOnceAndTheOutcomeArrivesAsAnEvent) {
  int loaded = 0;
  QObject::connect(mControl.get(), &TQTControl::MovieLoaded, [&] { ++loaded; });
  mControl->SetURL(tClipsC::Get().Movie());
  // Nothing waited for the engine: the movie comes with the event.
  EXPECT_TRUE(mControl->Loading());
  EXPECT_EQ(mControl->Movie(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded == 1; }, 15000));
  EXPECT_FALSE(mControl->Loading());
  EXPECT_NE(mControl->Movie(), nullptr);
  // Unloading while a load is under way drops it: no event follows.
  mControl->SetURL(tClipsC::Get().Movie());
  mControl->SetURL(QString());
  EXPECT_FALSE(mControl->Loading());
  QTest::qWait(500);
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(mControl->Movie(), nullptr);
}

TEST_F(TQTControlTest, RateEventsComeOnceInsideTheCall) {
  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  SeekTo(movie, 2000);
  struct tStepC {
    const char *mName;
    std::function<void(TQTMovie *)> mCall;
    double mRate;
    int mEvents;
  };
  const tStepC steps[] = {
      {"Play(1)", [](TQTMovie *aMovie) { aMovie->Play(1); }, 1.0, 1},
      {"SetRate(0.8)", [](TQTMovie *aMovie) { aMovie->SetRate(0.8f); }, 0.8, 1},
      {"SetRate(0.8) again", [](TQTMovie *aMovie) { aMovie->SetRate(0.8f); }, 0.8, 0},
      {"Stop", [](TQTMovie *aMovie) { aMovie->Stop(); }, 0.0, 1},
      {"SetRate(-2)", [](TQTMovie *aMovie) { aMovie->SetRate(-2.0f); }, -2.0, 1},
      {"Play(1) after reverse", [](TQTMovie *aMovie) { aMovie->Play(1); }, 1.0, 1},
      {"Stop again", [](TQTMovie *aMovie) { aMovie->Stop(); }, 0.0, 1},
  };
  for (const tStepC &step : steps) {
    SCOPED_TRACE(step.mName);
    mSeen.clear();
    step.mCall(movie);
    ASSERT_EQ(Count(cQTStat, cQTRate), step.mEvents) << "raised inside the call";
    EXPECT_FLOAT_EQ(movie->Rate(), float(step.mRate));
    if (step.mEvents) {
      const tSeenC &seen = mSeen.front();
      EXPECT_FLOAT_EQ(float(seen.mRate), float(step.mRate));
      EXPECT_FLOAT_EQ(seen.mRateParam.toFloat(), float(step.mRate));
      EXPECT_GT(seen.mGuard, 0);
    }
    QTest::qWait(300);
    EXPECT_EQ(Count(cQTStat, cQTRate), step.mEvents) << "no engine echo";
  }
}

TEST_F(TQTControlTest, PlayingAdvancesTimeAndReportsIt) {
  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  movie->Play(1);
  QTest::qWait(600);
  const int64_t played = movie->Time();
  EXPECT_GT(played, 300);
  EXPECT_LT(played, 1100);
  EXPECT_GT(Count(cQTTime, cQTCtim), 3);
  EXPECT_GT(Count(cQTPrgs, cQTCtim), 3);
  auto *bar = mControl->findChild<TQTPositionBar *>();
  ASSERT_NE(bar, nullptr);
  EXPECT_NEAR(double(bar->Position()), double(played), 150) << "the bar follows";

  movie->Stop();
  const int64_t stopped = movie->Time();
  QTest::qWait(300);
  EXPECT_NEAR(double(movie->Time()), double(stopped), 1);
}

TEST_F(TQTControlTest, ReverseRunsBackwardsAtTwiceTheSpeed) {
  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  SeekTo(movie, 3000);
  ASSERT_NEAR(double(movie->Time()), 3000, 50);

  movie->PreReverse();
  movie->SetRate(-2);
  // It starts promptly (the engine can stall a second near the end of short
  // files); measured from the first backward step, over about a second.
  ASSERT_TRUE(QTest::qWaitFor([&] { return movie->Time() < 2960; }, 500));
  QElapsedTimer clock;
  clock.start();
  const int64_t start = movie->Time();
  QTest::qWait(1000);
  const int64_t end = movie->Time();
  const double speed = double(start - end) / double(clock.elapsed());
  EXPECT_GT(speed, 1.5) << start << " -> " << end;
  EXPECT_LT(speed, 2.5) << start << " -> " << end;

  movie->Play(1);
  const int64_t forward = movie->Time();
  QTest::qWait(400);
  EXPECT_GT(movie->Time(), forward + 150) << "forward again after reverse";
}

TEST_F(TQTControlTest, TheEndRaisesMendOnceAndTheStartInReverseOnlyStops) {
  struct tCaseC {
    const char *mName;
    int64_t mFrom;
    double mRate;
    int64_t mEnd;
    // Only the end reached playing forward is the movie's end.
    int mMends;
    // Playing on in the same direction: forward starts over, backward has
    // nothing to play.
    bool mPlaysOn;
  };
  const tCaseC cases[] = {{"forward", cClipMs - 500, 1.0, cClipMs, 1, true},
                          {"backward", 500, -2.0, 0, 0, false}};
  for (const tCaseC &test : cases) {
    SCOPED_TRACE(test.mName);
    TQTMovie *movie = Load();
    ASSERT_NE(movie, nullptr);
    SeekTo(movie, test.mFrom);
    mSeen.clear();
    movie->Play(test.mRate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Count(cQTStat, cQTRate) == 2; }, 3000));
    QTest::qWait(300);
    EXPECT_EQ(Count(cQTStat, cQTMend), test.mMends);
    EXPECT_EQ(movie->Rate(), 0);
    ASSERT_EQ(Count(cQTStat, cQTRate), 2) << "the play, then the stop at the end";
    EXPECT_EQ(mSeen.back().mRate, 0);
    EXPECT_NEAR(double(movie->Time()), double(test.mEnd), 100);
    EXPECT_NE(mControl->Movie(), nullptr) << "the movie stays loaded";

    mSeen.clear();
    movie->Play(test.mRate);
    QTest::qWait(300);
    EXPECT_EQ(Count(cQTStat, cQTMend), 0);
    if (test.mPlaysOn) {
      EXPECT_EQ(movie->Rate(), float(test.mRate));
      EXPECT_GT(movie->Time(), 100);
      EXPECT_LT(movie->Time(), 1000);
    } else {
      EXPECT_EQ(movie->Rate(), 0);
      EXPECT_EQ(Count(cQTStat, cQTRate), 0);
    }
  }
}

TEST_F(TQTControlTest, RewindGoesToTheStart) {
  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  SeekTo(movie, 2500);
  ASSERT_GT(movie->Time(), 2000);
  movie->Rewind();
  EXPECT_LE(movie->Time(), 40) << "right away";
  QTest::qWait(300);
  EXPECT_LE(movie->Time(), 40) << "and once the engine is there";
}

TEST_F(TQTControlTest, RemovingAllListenersSilencesEvents) {
  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  movie->RemoveAllEventListeners();
  SeekTo(movie, cClipMs - 400);
  movie->Play(1);
  QTest::qWait(800);
  movie->Stop();
  EXPECT_TRUE(mSeen.empty()) << mSeen.size() << " events";
}

TEST_F(TQTControlTest, TerminateIsSafeTwice) {
  ASSERT_NE(Load(), nullptr);
  mControl->QuickTimeTerminate();
  EXPECT_EQ(mControl->Movie(), nullptr);
  mControl->QuickTimeTerminate();
  mControl->QuickTimeInitialize();
  EXPECT_NE(Load(), nullptr);
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

TEST(TQTControlSoundTest, SlowSpeedKeepsThePitch) {
  ASSERT_TRUE(tClipsC::Get().mError.isEmpty()) << tClipsC::Get().mError.toStdString();
  QTemporaryDir dir;
  const QString output = dir.filePath(QStringLiteral("sound.wav"));
  tQTOptionsC options;
  options.mHeadless = true;
  options.mEngineOptions = {
      {"ao", "pcm"}, {"ao-pcm-file", output}, {"ao-pcm-waveheader", "yes"}, {"vid", "no"}};
  TQTControl control(nullptr, options);
  control.QuickTimeInitialize();
  TQTMovie *movie = LoadAndWait(control, tClipsC::Get().Movie());
  ASSERT_NE(movie, nullptr);
  movie->AddEventListener(cQTStat, cQTMend);
  bool ended = false;
  QObject::connect(&control, &TQTControl::OnQTEvent,
                   [&](TQTControl *, uint32_t, uint32_t aID, int, tQTEventC *, bool *) {
                     ended = ended || aID == cQTMend;
                   });
  movie->Play(0.6);
  // The file output does not wait for a clock, so this ends quickly.
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 15000));
  control.QuickTimeTerminate(); // closes the file

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

// Counts the pixels, on a coarse grid, that are not black.
double ColouredPart(const QImage &aImage) {
  int coloured = 0, all = 0;
  for (int y = 0; y < aImage.height(); y += 8)
    for (int x = 0; x < aImage.width(); x += 8, ++all)
      coloured += qGray(aImage.pixel(x, y)) > 16 ? 1 : 0;
  return all ? double(coloured) / all : 0;
}

// Needs OpenGL in widgets, so it is skipped in the usual offscreen run; run
// it on a display (xcb, e.g. under Xvfb).
TEST(TQTControlVideoTest, DrawsAMovieLoadedBeforeTheWidgetShows) {
  ASSERT_TRUE(tClipsC::Get().mError.isEmpty()) << tClipsC::Get().mError.toStdString();
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
    GTEST_SKIP() << "no OpenGL widgets on the " << platform.toStdString() << " platform";
  {
    QOpenGLContext probe;
    if (!probe.create())
      GTEST_SKIP() << "no OpenGL here";
  }
  QWidget window; // outlives the control, which moves into it
  tQTOptionsC options;
  options.mEngineOptions = {{"ao", "null"}};
  TQTControl control(nullptr, options);
  control.QuickTimeInitialize();
  ASSERT_NE(LoadAndWait(control, tClipsC::Get().Movie()), nullptr);
  control.resize(320, 240 + TQTPositionBar::cHeight);
  control.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
  auto *video = control.findChild<TQTVideoWidget *>();
  ASSERT_NE(video, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return video->Drawing(); }, 3000));
  EXPECT_EQ(video->height(), 240);

  control.Movie()->Play(1);
  QTest::qWait(600);
  EXPECT_GT(video->FramesDrawn(), 3);
  EXPECT_GT(ColouredPart(video->grabFramebuffer()), 0.5) << "a picture, not black";

  // Moving to another window keeps the picture (without shared GL contexts,
  // Qt gives the widget a new one there).
  window.resize(400, 300);
  control.setParent(&window);
  control.move(0, 0);
  control.show();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(QTest::qWaitFor([&] { return video->Drawing(); }, 3000));
  const int drawn = video->FramesDrawn();
  control.Movie()->Rewind();
  control.Movie()->Play(1);
  QTest::qWait(600);
  EXPECT_GT(video->FramesDrawn(), drawn + 3);
  EXPECT_GT(ColouredPart(video->grabFramebuffer()), 0.5) << "the picture is back";
}

} // namespace
