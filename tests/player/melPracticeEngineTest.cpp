#include "melMovieEngine.h"
#include "melPlayerTestSupport.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <mpv/client.h>

#include <clocale>
#include <cstdlib>
#include <vector>

namespace {

// One frame of the test clip.
constexpr int64_t cFrameMs = 40;

class PracticeEngineTest : public THeadlessEngineTest {
protected:
  void SetUp() override {
    THeadlessEngineTest::SetUp();
    if (HasFatalFailure())
      return;
    QObject::connect(mEngine.get(), &tMovieEngineC::PassCompleted,
                     [this](int aPasses) { mPasses.push_back(aPasses); });
    QObject::connect(mEngine.get(), &tMovieEngineC::SectionChanged, [this] { ++mSectionChanges; });
    ASSERT_TRUE(LoadAndWait(*mEngine, mClip));
  }

  std::vector<int> mPasses;
  int mSectionChanges = 0;
};

TEST_F(PracticeEngineTest, ASectionAtTheSlowestSpeedComesBackToItsStartEachPass) {
  ASSERT_TRUE(mEngine->SetSection(1000, 2000));
  EXPECT_EQ(mSectionChanges, 1);
  SeekTo(1000);
  // The lowest time reported in each pass: the repeat's landing.
  std::vector<int64_t> lowest;
  QObject scope; // disconnects the receivers of locals before they go
  QObject::connect(mEngine.get(), &tMovieEngineC::PassCompleted, &scope, [&] {
    EXPECT_EQ(mEngine->Time(), 1000) << "the start stands for the time at once";
    lowest.push_back(INT64_MAX);
  });
  QObject::connect(mEngine.get(), &tMovieEngineC::TimeChanged, &scope, [&](int64_t aTime) {
    if (!lowest.empty() && aTime < 1900)
      lowest.back() = std::min(lowest.back(), aTime);
  });
  bool ended = false;
  QObject::connect(mEngine.get(), &tMovieEngineC::Ended, &scope, [&] { ended = true; });
  mEngine->SetRate(0.6f);
  ASSERT_TRUE(QTest::qWaitFor([&] { return mPasses.size() == 4; }, 12000));
  EXPECT_EQ(mPasses, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(mEngine->Passes(), 4);
  for (size_t pass = 0; pass + 1 < lowest.size(); ++pass)
    EXPECT_NEAR(double(lowest[pass]), 1000, cFrameMs) << "pass " << pass + 1;
  EXPECT_FALSE(ended);
  EXPECT_FLOAT_EQ(float(mEngine->Rate()), 0.6f) << "plays on at its speed";
}

TEST_F(PracticeEngineTest, ASectionPastTheMovieEndRepeatsInsteadOfEnding) {
  ASSERT_TRUE(mEngine->SetSection(cClipMs - 700, cClipMs + 1000));
  SeekTo(cClipMs - 700);
  int ended = 0;
  QObject scope;
  QObject::connect(mEngine.get(), &tMovieEngineC::Ended, &scope, [&] { ++ended; });
  mEngine->SetRate(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return mPasses.size() == 2; }, 5000));
  EXPECT_EQ(ended, 0);
  EXPECT_EQ(mEngine->Rate(), 1);
  QTest::qWait(300);
  EXPECT_GT(mEngine->Time(), cClipMs - 600) << "plays on from the start";
}

TEST_F(PracticeEngineTest, APauseBeforeTheRepeatHoldsAtTheStartThenPlaysOn) {
  ASSERT_TRUE(mEngine->SetSection(1000, 1400));
  mEngine->SetRepeatPause(800);
  SeekTo(1000);
  QElapsedTimer sincePass;
  QObject scope;
  QObject::connect(mEngine.get(), &tMovieEngineC::PassCompleted, &scope,
                   [&] { sincePass.start(); });
  mEngine->SetRate(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return mPasses.size() == 1; }, 3000));
  EXPECT_TRUE(mEngine->Holding());
  QTest::qWait(400);
  EXPECT_TRUE(mEngine->Holding());
  EXPECT_NEAR(double(mEngine->Time()), 1000, cFrameMs) << "held at the start";
  EXPECT_EQ(mEngine->Rate(), 1) << "a hold is no pause of the player";
  ASSERT_TRUE(QTest::qWaitFor([&] { return mEngine->Time() > 1150; }, 3000)) << "plays on";
  EXPECT_GE(sincePass.elapsed(), 700);
  EXPECT_FALSE(mEngine->Holding());

  // Pausing during a hold stays paused after it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return mPasses.size() == 2; }, 3000));
  mEngine->SetRate(0);
  EXPECT_FALSE(mEngine->Holding());
  QTest::qWait(1100);
  EXPECT_NEAR(double(mEngine->Time()), 1000, cFrameMs);
}

TEST_F(PracticeEngineTest, OnlyForwardPlayAtPracticeSpeedsLoops) {
  const struct {
    const char *mName;
    int64_t mFrom;
    double mRate;
    bool mClear;
    // Beyond the section's start or end, where no loop would let it go.
    int64_t mBeyond;
  } cases[] = {{"reverse", 1800, -2.0, false, 800},
               {"fast forward", 1500, 2.0, false, 2300},
               {"cleared", 1500, 1.0, true, 2300}};
  for (const auto &test : cases) {
    SCOPED_TRACE(test.mName);
    mEngine->SetRate(0);
    mPasses.clear();
    ASSERT_TRUE(mEngine->SetSection(1000, 2000));
    SeekTo(test.mFrom);
    if (test.mClear) {
      mEngine->ClearSection();
      EXPECT_FALSE(mEngine->Section());
    }
    mEngine->SetRate(test.mRate);
    auto beyond = [&] {
      const int64_t time = mEngine->Time();
      return test.mRate < 0 ? time < test.mBeyond : time > test.mBeyond;
    };
    EXPECT_TRUE(QTest::qWaitFor(beyond, 4000)) << mEngine->Time();
    EXPECT_TRUE(mPasses.empty());
    mEngine->ClearSection();
  }
}

TEST_F(PracticeEngineTest, TheTrainerRaisesTheSpeedWithThePasses) {
  std::vector<std::pair<double, int>> shown;
  QObject scope;
  QObject::connect(mEngine.get(), &tMovieEngineC::TrainerSpeedChanged, &scope,
                   [&](double aSpeed, int aPosition) {
                     shown.push_back({aSpeed, aPosition});
                   });
  ASSERT_TRUE(mEngine->SetSection(1000, 1300));
  mEngine->SetSpeedTrainer({0.6, 10, 1, 0.8});
  SeekTo(1000);
  mEngine->SetRate(1);
  EXPECT_DOUBLE_EQ(mEngine->Rate(), 0.6) << "forward play goes at the trainer's speed";
  ASSERT_TRUE(QTest::qWaitFor([&] { return mPasses.size() == 3; }, 6000));
  EXPECT_DOUBLE_EQ(mEngine->Rate(), 0.8);
  const std::vector<std::pair<double, int>> expected = {{0.6, 0}, {0.7, 0}, {0.8, 1}};
  EXPECT_EQ(shown, expected) << "stays at the target";
  // Fast forward is not the trainer's.
  mEngine->SetRate(2);
  EXPECT_EQ(mEngine->Rate(), 2);
}

// The picture shown, as bgr0 rows.
struct tFrameC {
  int mWidth = 0, mHeight = 0;
  QByteArray mPixels;
  const uchar *Pixel(int aX, int aY) const {
    return reinterpret_cast<const uchar *>(mPixels.constData()) + (aY * mWidth + aX) * 4;
  }
};

tFrameC Grab(tMovieEngineC &aEngine) {
  const char *args[] = {"screenshot-raw", "video", nullptr};
  mpv_node result{};
  tFrameC frame;
  if (mpv_command_ret(aEngine.Handle(), args, &result) < 0)
    return frame;
  int64_t stride = 0;
  QByteArray data;
  for (int i = 0; result.format == MPV_FORMAT_NODE_MAP && i < result.u.list->num; ++i) {
    const QByteArray key = result.u.list->keys[i];
    const mpv_node &value = result.u.list->values[i];
    if (key == "w")
      frame.mWidth = int(value.u.int64);
    else if (key == "h")
      frame.mHeight = int(value.u.int64);
    else if (key == "stride")
      stride = value.u.int64;
    else if (key == "data" && value.format == MPV_FORMAT_BYTE_ARRAY)
      data = QByteArray(static_cast<const char *>(value.u.ba->data), qsizetype(value.u.ba->size));
  }
  mpv_free_node_contents(&result);
  for (int y = 0; y < frame.mHeight && stride * (y + 1) <= data.size(); ++y)
    frame.mPixels += data.mid(stride * y, frame.mWidth * 4);
  return frame;
}

// The mean difference in brightness between aA and aB flipped (or not). The
// colour is left out: halved in size, it is sited off the pixels, and so
// shifts by a fraction of a pixel when flipped.
double Difference(const tFrameC &aA, const tFrameC &aB, bool aFlipped) {
  auto luma = [](const uchar *aPixel) {
    return 0.114 * aPixel[0] + 0.587 * aPixel[1] + 0.299 * aPixel[2];
  };
  double sum = 0;
  for (int y = 0; y < aA.mHeight; ++y)
    for (int x = 0; x < aA.mWidth; ++x)
      sum += std::abs(luma(aA.Pixel(x, y)) - luma(aB.Pixel(aFlipped ? aA.mWidth - 1 - x : x, y)));
  return sum / (aA.mWidth * aA.mHeight);
}

TEST_F(PracticeEngineTest, TheMirroredPictureIsTheOriginalFlippedWithoutAReload) {
  int loads = 0;
  QObject scope;
  QObject::connect(mEngine.get(), &tMovieEngineC::MovieLoaded, &scope, [&] { ++loads; });
  SeekTo(1000);
  const tFrameC original = Grab(*mEngine);
  ASSERT_EQ(original.mWidth, 320);
  ASSERT_EQ(original.mPixels.size(), 320 * original.mHeight * 4);
  ASSERT_GT(Difference(original, original, true), 20) << "the halves differ";

  // Turned on while playing, then the same frame again.
  mEngine->SetRate(1);
  QTest::qWait(200);
  mEngine->SetMirrored(true);
  EXPECT_TRUE(mEngine->Mirrored());
  QTest::qWait(200);
  EXPECT_GT(mEngine->Time(), 250) << "plays on";
  mEngine->SetRate(0);
  SeekTo(1000);
  const tFrameC mirrored = Grab(*mEngine);
  ASSERT_EQ(mirrored.mPixels.size(), original.mPixels.size());
  EXPECT_LT(Difference(original, mirrored, true), 2);

  mEngine->SetMirrored(false);
  SeekTo(1000);
  EXPECT_LT(Difference(original, Grab(*mEngine), false), 2);
  EXPECT_EQ(loads, 0);
  EXPECT_TRUE(mEngine->Loaded());
}

TEST_F(PracticeEngineTest, VolumeAndMuteRoundTripAndOutliveARestart) {
  auto engineVolume = [&] {
    double volume = -1;
    mpv_get_property(mEngine->Handle(), "volume", MPV_FORMAT_DOUBLE, &volume);
    return volume;
  };
  auto engineMute = [&] {
    int mute = -1;
    mpv_get_property(mEngine->Handle(), "mute", MPV_FORMAT_FLAG, &mute);
    return mute;
  };
  const struct {
    int mSet, mVolume;
    bool mMuted;
  } cases[] = {{37, 37, true}, {150, 100, false}, {-5, 0, true}, {64, 64, false}};
  for (const auto &test : cases) {
    SCOPED_TRACE(test.mSet);
    mEngine->SetVolume(test.mSet);
    mEngine->SetMuted(test.mMuted);
    EXPECT_EQ(mEngine->Volume(), test.mVolume);
    EXPECT_EQ(mEngine->Muted(), test.mMuted);
    EXPECT_TRUE(QTest::qWaitFor([&] { return engineVolume() == test.mVolume; }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return engineMute() == int(test.mMuted); }, 2000));
  }
  mEngine->SetMuted(true);
  mEngine->Stop();
  mEngine->Start();
  EXPECT_EQ(engineVolume(), 64);
  EXPECT_EQ(engineMute(), 1);
}

} // namespace
