#include "melQTControl.h"
#include "melMovieEngine.h"
#include "melMoviePositionBar.h"
#include "melPlayerTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

struct tSeenC {
  uint32_t mClass;
  uint32_t mID;
  double mRate;
  int mGuard;
  QVariant mRateParam;
};

const std::vector<std::pair<uint32_t, uint32_t>> cAllPairs = {
    {cQTStat, cQTRate}, {cQTTime, cQTCtim}, {cQTPrgs, cQTCtim}, {cQTStat, cQTMend}};

// The control's movie object and events over the engine.
class TQTControlTest : public ::testing::Test {
protected:
  void SetUp() override {
    QString error;
    mClip = TestClip(&error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    tMovieOptionsC options;
    options.mHeadless = true;
    mControl = std::make_unique<TQTControl>(nullptr, options);
    mControl->Initialize();
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
    bool loaded = false;
    auto connection =
        QObject::connect(mControl.get(), &TQTControl::MovieLoaded, [&] { loaded = true; });
    mControl->SetURL(mClip);
    EXPECT_TRUE(QTest::qWaitFor([&] { return loaded; }, 15000)) << "the control's own signal";
    QObject::disconnect(connection);
    TQTMovie *movie = mControl->Movie();
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

  QString mClip;
  std::unique_ptr<TQTControl> mControl;
  std::vector<tSeenC> mSeen;
};

TEST_F(TQTControlTest, LoadsPausedAndUnloads) {
  EXPECT_EQ(mControl->Movie(), nullptr);
  EXPECT_TRUE(mControl->findChildren<QOpenGLWidget *>().isEmpty()) << "headless draws nothing";

  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(mControl->URL(), mClip);
  EXPECT_EQ(movie->TimeScale(), 1000);
  EXPECT_NEAR(double(movie->Duration()), double(cClipMs), 60);
  EXPECT_EQ(movie->Bounds(), QRect(0, 0, 320, 240));
  EXPECT_EQ(movie->Rate(), 0);
  EXPECT_EQ(mControl->PositionBar()->Duration(), movie->Duration());

  mControl->SetURL(QString());
  EXPECT_EQ(mControl->Movie(), nullptr);
  EXPECT_TRUE(mControl->URL().isEmpty());
  EXPECT_EQ(mControl->PositionBar()->Duration(), 0);
  EXPECT_THROW(mControl->SetURL(mClip + QStringLiteral(".gone")), EMovieError);
}

TEST_F(TQTControlTest, RateEventsComeOnceInsideTheCall) {
  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  movie->SetTime(2000);
  QTest::qWait(250);
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

TEST_F(TQTControlTest, PlayingReportsTimeAndTheBarFollows) {
  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  movie->Play(1);
  QTest::qWait(600);
  const int64_t played = movie->Time();
  EXPECT_GT(played, 300);
  EXPECT_GT(Count(cQTTime, cQTCtim), 3);
  EXPECT_GT(Count(cQTPrgs, cQTCtim), 3);
  EXPECT_NEAR(double(mControl->PositionBar()->Position()), double(played), 150);
  movie->Stop();

  // A seek shows on the bar at once, without a time event of its own.
  mSeen.clear();
  movie->SetTime(1000);
  EXPECT_EQ(mControl->PositionBar()->Position(), 1000);
  EXPECT_EQ(Count(cQTTime, cQTCtim), 0);
}

TEST_F(TQTControlTest, TheEndRaisesMendThenTheStop) {
  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  movie->SetTime(cClipMs - 400);
  QTest::qWait(250);
  mSeen.clear();
  movie->Play(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Count(cQTStat, cQTRate) == 2; }, 3000));
  EXPECT_EQ(Count(cQTStat, cQTMend), 1);
  const auto mend = std::find_if(mSeen.begin(), mSeen.end(),
                                 [](const tSeenC &aSeen) { return aSeen.mID == cQTMend; });
  EXPECT_EQ(mSeen.back().mID, cQTRate) << "the stop follows the end";
  EXPECT_LT(mend - mSeen.begin(), int(mSeen.size()) - 1);
  EXPECT_EQ(mSeen.back().mRate, 0);
}

TEST_F(TQTControlTest, RemovingAllListenersSilencesEvents) {
  TQTMovie *movie = Load();
  ASSERT_NE(movie, nullptr);
  movie->RemoveAllEventListeners();
  movie->SetTime(cClipMs - 400);
  QTest::qWait(250);
  movie->Play(1);
  QTest::qWait(800);
  movie->Stop();
  EXPECT_TRUE(mSeen.empty()) << mSeen.size() << " events";
}

TEST_F(TQTControlTest, TerminateIsSafeTwice) {
  ASSERT_NE(Load(), nullptr);
  mControl->Terminate();
  EXPECT_EQ(mControl->Movie(), nullptr);
  mControl->Terminate();
  mControl->Initialize();
  EXPECT_NE(Load(), nullptr);
}

// A window holding a headless control, in its layout or placed by hand.
class TQTControlWindowTest : public ::testing::Test {
protected:
  void Build(bool aInLayout) {
    mWindow = std::make_unique<QWidget>();
    mWindow->resize(400, 300);
    tMovieOptionsC options;
    options.mHeadless = true;
    mControl = new TQTControl(mWindow.get(), options);
    if (aInLayout) {
      auto *layout = new QVBoxLayout(mWindow.get());
      layout->addWidget(new QLabel(QStringLiteral("above")));
      layout->addWidget(mControl, 1);
      layout->addWidget(new QLabel(QStringLiteral("below")));
    } else {
      mControl->setGeometry(20, 30, 240, 180);
    }
    mWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mWindow.get()));
  }

  QWidget *Picture() const { return mControl->layout()->itemAt(0)->widget(); }

  void Send(QWidget *aTo, QEvent::Type aType) {
    const QPointF at(10, 10);
    QMouseEvent event(aType, at, aTo->mapToGlobal(at),
                      aType == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      aType == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(aTo, &event);
  }

  void PressEscape() {
    QKeyEvent event(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(mControl, &event);
  }

  std::unique_ptr<QWidget> mWindow;
  TQTControl *mControl = nullptr;
};

TEST_F(TQTControlWindowTest, TheBarShowsTheEnginesSectionAndMovesIt) {
  Build(true);
  TMoviePositionBar *bar = mControl->PositionBar();
  tMovieEngineC &engine = mControl->Engine();
  ASSERT_TRUE(engine.SetSection(1000, 3000));
  EXPECT_EQ(bar->Section(), (tMovieSectionC{1000, 3000}));
  emit bar->SectionChangeRequested(1500, 3000);
  EXPECT_EQ(engine.Section(), (tMovieSectionC{1500, 3000}));
  EXPECT_EQ(bar->Section(), engine.Section());
  engine.ClearSection();
  EXPECT_EQ(bar->Section(), std::nullopt);
}

TEST_F(TQTControlWindowTest, FullScreenAndBackPutsTheControlWhereItWas) {
  for (bool inLayout : {true, false}) {
    SCOPED_TRACE(inLayout ? "in a layout" : "placed by hand");
    Build(inLayout);
    const QRect geometry = mControl->geometry();
    const int index = mWindow->layout() ? mWindow->layout()->indexOf(mControl) : -1;
    QSignalSpy changes(mControl, &TQTControl::FullScreenChanged);

    mControl->SetFullScreen(true);
    EXPECT_TRUE(mControl->FullScreen());
    EXPECT_TRUE(mControl->isWindow());
    EXPECT_EQ(mControl->parentWidget(), nullptr);
    EXPECT_EQ(mControl->geometry().size(), mWindow->screen()->geometry().size());
    mControl->SetFullScreen(true); // already on: nothing happens

    mControl->SetFullScreen(false);
    EXPECT_FALSE(mControl->FullScreen());
    EXPECT_EQ(mControl->parentWidget(), mWindow.get());
    EXPECT_FALSE(mControl->isWindow());
    EXPECT_TRUE(QTest::qWaitFor([&] { return mControl->geometry() == geometry; }, 2000))
        << "at " << mControl->geometry().x() << "," << mControl->geometry().y() << " "
        << mControl->width() << "x" << mControl->height();
    EXPECT_TRUE(mControl->isVisible());
    if (mWindow->layout()) {
      EXPECT_EQ(mWindow->layout()->indexOf(mControl), index);
    }
    ASSERT_EQ(changes.count(), 2);
    EXPECT_TRUE(changes.at(0).at(0).toBool());
    EXPECT_FALSE(changes.at(1).at(0).toBool());
  }
}

TEST_F(TQTControlWindowTest, AFullScreenControlGoesWithItsWindow) {
  Build(true);
  mControl->SetFullScreen(true);
  QPointer<TQTControl> control = mControl;
  mWindow.reset();
  EXPECT_TRUE(QTest::qWaitFor([&] { return control.isNull(); }, 2000)) << "no orphan window";

  Build(true);
  mControl->SetFullScreen(true);
  delete mControl;
  ASSERT_EQ(mWindow->layout()->count(), 2) << "nothing left in its place";
}

TEST_F(TQTControlWindowTest, FullScreenBarHidesWhenTheMouseRestsAndShowsWhenItMoves) {
  Build(true);
  TMoviePositionBar *bar = mControl->PositionBar();
  mControl->SetBarIdleTime(50);
  mControl->SetFullScreen(true);
  EXPECT_TRUE(bar->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !bar->isVisible(); }, 3000));
  EXPECT_TRUE(Picture()->isVisible()) << "the picture stays";
  Send(Picture(), QEvent::MouseMove);
  EXPECT_TRUE(bar->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !bar->isVisible(); }, 3000)) << "and hides again";

  mControl->SetFullScreen(false);
  EXPECT_TRUE(bar->isVisible());
  QTest::qWait(150);
  EXPECT_TRUE(bar->isVisible()) << "only fullscreen hides it";
}

TEST_F(TQTControlWindowTest, DoubleClickTogglesAndEscapeLeaves) {
  Build(true);
  PressEscape();
  QTest::qWait(20);
  EXPECT_FALSE(mControl->FullScreen()) << "Escape alone does nothing";

  Send(Picture(), QEvent::MouseButtonDblClick);
  ASSERT_TRUE(QTest::qWaitFor([&] { return mControl->FullScreen(); }, 2000));
  Send(Picture(), QEvent::MouseButtonDblClick);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !mControl->FullScreen(); }, 2000));

  mControl->SetFullScreen(true);
  PressEscape();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !mControl->FullScreen(); }, 2000));
  EXPECT_EQ(mControl->parentWidget(), mWindow.get());

  mControl->SetFullScreen(true);
  Send(mControl->PositionBar(), QEvent::MouseButtonDblClick);
  QTest::qWait(20);
  EXPECT_TRUE(mControl->FullScreen()) << "a double-click on the bar is not on the picture";
  mControl->SetFullScreen(false);
}

} // namespace
