#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogListView.h"
#include "melFrameController.h"
#include "melImageButton.h"
#include "melImageSlider32.h"
#include "melMain.h"
#include "melMovieEngine.h"
#include "melPracticeController.h"
#include "melPracticeState.h"
#include "melQTControl.h"
#include "melTestClip.h"
#include "melTestEnv.h"
#include "melUiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <cstdlib>
#include <optional>

namespace {

// A clip long enough for the 5 s steps and for a kept position to count
// (more than 5 s from either end); made once per test program.
QString gClipError;
const QString &LongClip() {
  static QTemporaryDir folder;
  static const QString path = [] {
    const QString file = folder.filePath(QStringLiteral("long.mp4"));
    gClipError = MakeTestClip(file, {.mSize = QSize(64, 48), .mFrameRate = 10, .mSeconds = 20});
    return gClipError.isEmpty() ? file : QString();
  }();
  return path;
}

const QString cLong = QStringLiteral("\\Guitar\\Blues\\Basics\\Long");
const QString cOther = QStringLiteral("\\Guitar\\Blues\\Basics\\Other");

// What the keys change, as the window shows it.
struct tSnapshotC {
  int64_t mTime = 0;
  int mSpeed = 0;
  bool mPlaying = false;
  bool mLoop = false;
  bool mMuted = false;
  int mVolume = 0;
  bool mMirrored = false;
  std::optional<tMovieSectionC> mSection;
  std::optional<int64_t> mPendingStart;
  int mRow = 0;
  bool mSearchFocused = false;
};

class PracticeTest : public TStoreApplicationTest {
protected:
  void SetUp() override {
    TStoreApplicationTest::SetUp();
    ASSERT_FALSE(LongClip().isEmpty()) << gClipError.toStdString();
    // Copies in the home: removing an episode sends its file to the trash.
    ASSERT_TRUE(QFile::copy(LongClip(), HomeFile(QStringLiteral("long.mp4"))));
    ASSERT_TRUE(QFile::copy(LongClip(), HomeFile(QStringLiteral("other.mp4"))));
    WriteFile(HomeFile(QStringLiteral("Catalog.xml")),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">"
              "<Category name=\"Guitar\"><Category name=\"Blues\"><Category name=\"Basics\">"
              "<File name=\"Long\"><Filename>long.mp4</Filename><FileType>Movie</FileType></File>"
              "<File name=\"Other\"><Filename>other.mp4</Filename><FileType>Movie</FileType>"
              "</File></Category></Category></Category></Catalog>");
    OpenWindow();
  }
  void OpenWindow() {
    mWindow = std::make_unique<TMain>();
    mWindow->show();
    ASSERT_TRUE(WaitFor([this] { return mWindow->DeferredStartDone(); }));
    mWindow->activateWindow();
    Rows().SelectRow(-1);
    TCatalogListView &genres = *mWindow->CategoryColumn(0);
    for (int i = 0; i < genres.RowCount(); ++i)
      if (genres.RowCaption(i) == QStringLiteral("Guitar"))
        genres.SelectRow(i);
  }
  TCatalogListView &Rows() {
    return *mWindow->findChild<TCatalogListView *>(QStringLiteral("fContentLv"));
  }
  QLineEdit &Search() { return *mWindow->findChild<QLineEdit *>(QStringLiteral("fSearchEdt")); }
  TImageSlider32 &Slider() {
    return *mWindow->findChild<TImageSlider32 *>(QStringLiteral("fRateSlider"));
  }
  tMovieEngineC &Engine() { return mWindow->MovieControl()->Engine(); }
  // Opens the lesson as a selection does, paused.
  void Open(const QString &aPath) {
    for (int i = 0; i < Rows().RowCount(); ++i)
      if (static_cast<tFileItemC *>(Rows().RowData(i))->GetPath() == aPath)
        Rows().SelectRow(i);
    ASSERT_TRUE(WaitFor([&] {
      return mWindow->CurrentPath() == aPath && mWindow->MovieControl()->Movie() &&
             mWindow->Playback().CommandQueue().Empty();
    }));
  }
  void SeekTo(int64_t aTime) {
    Engine().SetTime(aTime);
    ASSERT_TRUE(WaitFor([&] { return Engine().Time() == aTime; }));
  }
  void Press(QWidget &aFocus, int aKey, Qt::KeyboardModifiers aModifiers = Qt::NoModifier) {
    aFocus.setFocus();
    QWidget *focus = QApplication::focusWidget();
    ASSERT_TRUE(!focus || focus == &aFocus);
    QTest::keyClick(&aFocus, Qt::Key(aKey), aModifiers);
  }
  tSnapshotC Snapshot() {
    tSnapshotC s;
    s.mTime = Engine().Time();
    s.mSpeed = Slider().Position();
    s.mPlaying = mWindow->PlayState() == TMain::psPlaying;
    s.mLoop = mWindow->Looping();
    s.mMuted = Engine().Muted();
    s.mVolume = Engine().Volume();
    s.mMirrored = Engine().Mirrored();
    s.mSection = Engine().Section();
    s.mPendingStart = mWindow->Practice().PendingSectionStart();
    s.mRow = Rows().SelectedRow();
    s.mSearchFocused = Search().hasFocus() || QApplication::focusWidget() == &Search();
    return s;
  }
};

void ExpectSame(const tSnapshotC &aActual, const tSnapshotC &aExpected, const char *aKey) {
  // Times within one frame: the engine lands on frames.
  EXPECT_LE(std::abs(aActual.mTime - aExpected.mTime), 100) << aKey;
  EXPECT_EQ(aActual.mSpeed, aExpected.mSpeed) << aKey;
  EXPECT_EQ(aActual.mPlaying, aExpected.mPlaying) << aKey;
  EXPECT_EQ(aActual.mLoop, aExpected.mLoop) << aKey;
  EXPECT_EQ(aActual.mMuted, aExpected.mMuted) << aKey;
  EXPECT_EQ(aActual.mVolume, aExpected.mVolume) << aKey;
  EXPECT_EQ(aActual.mMirrored, aExpected.mMirrored) << aKey;
  EXPECT_EQ(aActual.mSection, aExpected.mSection) << aKey;
  EXPECT_EQ(aActual.mPendingStart, aExpected.mPendingStart) << aKey;
  EXPECT_EQ(aActual.mRow, aExpected.mRow) << aKey;
  EXPECT_EQ(aActual.mSearchFocused, aExpected.mSearchFocused) << aKey;
}

struct tKeyCaseC {
  const char *mName;
  int mKey;
  Qt::KeyboardModifiers mModifiers;
  void (*mChange)(tSnapshotC &);
};

const tKeyCaseC cKeyCases[] = {
    {"Right", Qt::Key_Right, Qt::NoModifier, [](tSnapshotC &s) { s.mTime = 15000; }},
    {"Left", Qt::Key_Left, Qt::NoModifier, [](tSnapshotC &s) { s.mTime = 5000; }},
    {"Shift+Right", Qt::Key_Right, Qt::ShiftModifier, [](tSnapshotC &s) { s.mTime = 11000; }},
    {"Shift+Left", Qt::Key_Left, Qt::ShiftModifier, [](tSnapshotC &s) { s.mTime = 9000; }},
    {"Home", Qt::Key_Home, Qt::NoModifier, [](tSnapshotC &s) { s.mTime = 0; }},
    {"[", Qt::Key_BracketLeft, Qt::NoModifier, [](tSnapshotC &s) { s.mSpeed = 1; }},
    {"]", Qt::Key_BracketRight, Qt::NoModifier, [](tSnapshotC &s) { s.mSpeed = 3; }},
    {"L", Qt::Key_L, Qt::NoModifier, [](tSnapshotC &s) { s.mLoop = true; }},
    {"M", Qt::Key_M, Qt::NoModifier, [](tSnapshotC &s) { s.mMuted = true; }},
    {"Ctrl+Up", Qt::Key_Up, Qt::ControlModifier, [](tSnapshotC &s) { s.mVolume = 55; }},
    {"Ctrl+Down", Qt::Key_Down, Qt::ControlModifier, [](tSnapshotC &s) { s.mVolume = 45; }},
    {"I", Qt::Key_I, Qt::NoModifier, [](tSnapshotC &s) { s.mMirrored = true; }},
    // No end yet: the start waits for one.
    {"A", Qt::Key_A, Qt::NoModifier, [](tSnapshotC &s) { s.mPendingStart = 10000; }},
    // No start yet: from the movie's start.
    {"B", Qt::Key_B, Qt::NoModifier,
     [](tSnapshotC &s) {
       s.mSection = tMovieSectionC{0, 10000};
     }},
    {"Esc", Qt::Key_Escape, Qt::NoModifier, [](tSnapshotC &s) { s.mSection.reset(); }},
    {"Space", Qt::Key_Space, Qt::NoModifier, [](tSnapshotC &s) { s.mPlaying = true; }},
    {"Ctrl+F", Qt::Key_F, Qt::ControlModifier, [](tSnapshotC &s) { s.mSearchFocused = true; }},
    // The list's own keys stay the list's: the next lesson, from its start.
    {"Down", Qt::Key_Down, Qt::NoModifier,
     [](tSnapshotC &s) {
       s.mRow = 1;
       s.mTime = 0;
     }},
};

TEST_F(PracticeTest, KeysActWithTheFocusInTheListAndNotInTheSearchBox) {
  for (const bool inSearch : {false, true}) {
    for (const tKeyCaseC &c : cKeyCases) {
      SCOPED_TRACE(inSearch ? "search box" : "list");
      Open(cLong);
      // Each key from the same start: the first lesson paused at 10 s, normal
      // speed, half volume, no loop, no section but for Escape to clear.
      if (mWindow->PlayState() == TMain::psPlaying)
        mWindow->findChild<TImageButton *>(QStringLiteral("fPauseBtn"))->click();
      if (mWindow->Looping())
        mWindow->findChild<TImageButton *>(QStringLiteral("fLoopOffBtn"))->click();
      Slider().SetPosition(2);
      emit Slider().OnChange(&Slider(), 2);
      Search().clear();
      Engine().SetVolume(50);
      Engine().SetMuted(false);
      Engine().SetMirrored(false);
      Press(Rows(), Qt::Key_Escape);
      if (c.mKey == Qt::Key_Escape)
        Engine().SetSection(2000, 4000);
      SeekTo(10000);
      tSnapshotC expected = Snapshot();
      QWidget &focus = inSearch ? static_cast<QWidget &>(Search()) : Rows();
      if (inSearch)
        expected.mSearchFocused = true;
      else
        c.mChange(expected);
      Press(focus, c.mKey, c.mModifiers);
      if (c.mKey == Qt::Key_Space && !inSearch) {
        ASSERT_TRUE(WaitFor([this] { return mWindow->PlayState() == TMain::psPlaying; }, 8000));
      }
      QTest::qWait(50);
      tSnapshotC actual = Snapshot();
      if (expected.mPlaying) {
        actual.mTime = expected.mTime; // playing on
        mWindow->findChild<TImageButton *>(QStringLiteral("fPauseBtn"))->click();
      }
      if (inSearch) // typing in the search box may filter the list
        actual.mRow = expected.mRow;
      else
        ASSERT_TRUE(WaitFor([&] { return std::abs(Engine().Time() - expected.mTime) <= 100; }))
            << c.mName << " at " << Engine().Time();
      ExpectSame(actual, expected, c.mName);
      // The list's Down opened the next lesson's preview: back to the first.
      Rows().SelectRow(-1);
    }
  }
}

TEST_F(PracticeTest, SectionMarksInEitherOrder) {
  struct tStepC {
    int64_t mAt;
    int mKey;
  };
  const struct {
    const char *mName;
    std::vector<tStepC> mSteps;
    std::optional<tMovieSectionC> mSection;
    std::optional<int64_t> mPending;
  } cases[] = {
      {"A then B", {{4000, Qt::Key_A}, {8000, Qt::Key_B}}, tMovieSectionC{4000, 8000}, {}},
      {"B before A's mark", {{8000, Qt::Key_A}, {4000, Qt::Key_B}}, tMovieSectionC{0, 4000}, {}},
      {"A moves the start",
       {{4000, Qt::Key_A}, {8000, Qt::Key_B}, {6000, Qt::Key_A}},
       tMovieSectionC{6000, 8000},
       {}},
      {"A after B waits for a new end",
       {{4000, Qt::Key_A}, {8000, Qt::Key_B}, {12000, Qt::Key_A}},
       std::nullopt,
       12000},
      {"B moves the end",
       {{4000, Qt::Key_A}, {8000, Qt::Key_B}, {14000, Qt::Key_B}},
       tMovieSectionC{4000, 14000},
       {}},
  };
  Open(cLong);
  for (const auto &c : cases) {
    Press(Rows(), Qt::Key_Escape);
    for (const tStepC &step : c.mSteps) {
      SeekTo(step.mAt);
      Press(Rows(), step.mKey);
    }
    EXPECT_EQ(Engine().Section(), c.mSection) << c.mName;
    EXPECT_EQ(mWindow->Practice().PendingSectionStart(), c.mPending) << c.mName;
  }
}

TEST_F(PracticeTest, ALessonsPracticeIsBackWhenReopenedAfterARestartAndGoneWithTheEpisode) {
  Open(cLong);
  tSpeedTrainerSettingsC trainer;
  trainer.mStart = 0.8;
  trainer.mTarget = 1.1;
  Engine().SetSpeedTrainer(trainer);
  Press(Rows(), Qt::Key_BracketRight);
  SeekTo(6000);
  Press(Rows(), Qt::Key_A);
  SeekTo(14000);
  Press(Rows(), Qt::Key_B);
  Press(Rows(), Qt::Key_I);
  SeekTo(12000);

  const auto expectRestored = [this](const char *aWhen) {
    EXPECT_EQ(Slider().Position(), 3) << aWhen;
    EXPECT_DOUBLE_EQ(mWindow->ChosenRate(), 1.1) << aWhen;
    EXPECT_EQ(Engine().Section(), (tMovieSectionC{6000, 14000})) << aWhen;
    ASSERT_TRUE(Engine().SpeedTrainer().has_value()) << aWhen;
    EXPECT_DOUBLE_EQ(Engine().SpeedTrainer()->Settings().mStart, 0.8) << aWhen;
    EXPECT_DOUBLE_EQ(Engine().SpeedTrainer()->Settings().mTarget, 1.1) << aWhen;
    EXPECT_TRUE(Engine().Mirrored()) << aWhen;
    EXPECT_TRUE(WaitFor([this] { return std::abs(Engine().Time() - 12000) <= 100; }))
        << aWhen << " at " << Engine().Time() << " of " << Engine().Duration();
  };

  Open(cOther);
  EXPECT_EQ(Slider().Position(), 2);
  EXPECT_EQ(Engine().Section(), std::nullopt);
  EXPECT_FALSE(Engine().SpeedTrainer().has_value());
  EXPECT_FALSE(Engine().Mirrored());
  EXPECT_EQ(Engine().Time(), 0);
  Open(cLong);
  expectRestored("reopened");

  mWindow.reset();
  OpenWindow();
  Open(cLong);
  expectRestored("after a restart");

  mWindow->RemoveEpisode(*static_cast<tFileItemC *>(mWindow->Catalog()->FindItem(cLong)));
  mWindow.reset();
  EXPECT_EQ(ReadPracticeState(CurrentApplication().mName, cLong), tPracticeStateC{});
}

TEST_F(PracticeTest, VolumeAndMuteAreKeptForTheNextWindow) {
  Press(Rows(), Qt::Key_Down, Qt::ControlModifier);
  Press(Rows(), Qt::Key_Down, Qt::ControlModifier);
  Press(Rows(), Qt::Key_M);
  mWindow.reset();
  OpenWindow();
  EXPECT_EQ(Engine().Volume(), 90);
  EXPECT_TRUE(Engine().Muted());
  // Bounded at both ends.
  for (int i = 0; i < 25; ++i)
    Press(Rows(), Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(Engine().Volume(), 100);
}

TEST_F(PracticeTest, AHeldKeyRepeatsStepsButNotToggles) {
  Engine().SetVolume(50);
  Engine().SetMuted(false);
  Rows().setFocus();
  const auto hold = [this](int aKey, Qt::KeyboardModifiers aModifiers) {
    for (const bool repeat : {false, true, true}) {
      QKeyEvent press(QEvent::KeyPress, aKey, aModifiers, QString(), repeat);
      QApplication::sendEvent(&Rows(), &press);
    }
  };
  hold(Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(Engine().Volume(), 65);
  hold(Qt::Key_M, Qt::NoModifier);
  EXPECT_TRUE(Engine().Muted());
}

TEST_F(PracticeTest, TheHelpMenuShowsTheKeysBeforeAbout) {
  const QList<QAction *> actions = mWindow->Frame().HelpPm()->actions();
  const qsizetype keyboard = actions.indexOf(mWindow->Practice().Keyboard1());
  ASSERT_GE(keyboard, 0);
  EXPECT_EQ(actions[keyboard]->text(), QStringLiteral("Keyboard"));
  EXPECT_TRUE(actions[keyboard + 1]->isSeparator());
  EXPECT_EQ(actions[keyboard + 2], mWindow->Frame().About1());
  const auto boxes = RunAnsweringBoxes([&] { actions[keyboard]->trigger(); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].mCaption, QStringLiteral("Information"));
  for (const auto &key : TPracticeController::Keys())
    EXPECT_TRUE(
        boxes[0].mText.contains(QLatin1String(key.mName) + u'\t' + QLatin1String(key.mAction)))
        << key.mName;
}

} // namespace

TEST_F(PracticeTest, FramesStepWhilePausedAndFullScreenLeavesWithEscape) {
  Open(cLong);
  if (mWindow->PlayState() == TMain::psPlaying)
    mWindow->findChild<TImageButton *>(QStringLiteral("fPauseBtn"))->click();
  SeekTo(10000);
  // One frame of the test clip, whatever its rate.
  const int64_t frame = Engine().FrameTime();
  ASSERT_GT(frame, 0);
  ASSERT_LT(frame, 1000);
  for (const auto &[key, expected] : {std::pair{Qt::Key_Period, 10000 + frame},
                                      {Qt::Key_Period, 10000 + 2 * frame},
                                      {Qt::Key_Comma, 10000 + frame}}) {
    Press(Rows(), key);
    EXPECT_TRUE(WaitFor([&, expected = expected] {
      return std::abs(Engine().Time() - expected) <= 5;
    })) << expected
        << " " << Engine().Time();
  }
  EXPECT_EQ(mWindow->PlayState(), TMain::psStopped);

  // Full screen, and the keys still act there; Escape leaves it, keeping the
  // section.
  Engine().SetSection(2000, 4000);
  Press(Rows(), Qt::Key_F);
  TQTControl &control = *mWindow->MovieControl();
  ASSERT_TRUE(control.FullScreen());
  // The full-screen window is the active one, as the window system makes it.
  QApplication::setActiveWindow(&control);
  control.setFocus();
  QTest::keyClick(&control, Qt::Key_I);
  EXPECT_TRUE(Engine().Mirrored());
  QTest::keyClick(&control, Qt::Key_Escape);
  EXPECT_FALSE(control.FullScreen());
  EXPECT_TRUE(Engine().Section().has_value());
}
