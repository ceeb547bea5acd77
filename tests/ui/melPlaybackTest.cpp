#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogListView.h"
#include "melCommandQueue.h"
#include "melDownloadsController.h"
#include "melFrameController.h"
#include "melImageButton.h"
#include "melImageSlider32.h"
#include "melLogging.h"
#include "melMain.h"
#include "melQTControl.h"
#include "melTestClip.h"
#include "melTestEnv.h"
#include "melUiTestSupport.h"
#include "melWindowFitting.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QTest>
#include <QUrl>

namespace {

// Short clips, made once per test program; the empty text when they could
// not be made, with the reason in ClipError.
QString gClipError;
const QString &ClipFolder() {
  static QTemporaryDir folder;
  static const QString path = [] {
    for (const char *name : {"first", "second"}) {
      gClipError = MakeTestClip(folder.filePath(QStringLiteral("%1.mp4").arg(QLatin1String(name))),
                                {QSize(160, 120), 25, 1.2});
      if (!gClipError.isEmpty())
        return QString();
    }
    return folder.path() + u'/';
  }();
  return path;
}

class PlaybackTest : public TStoreApplicationTest {
protected:
  void SetUp() override {
    TStoreApplicationTest::SetUp();
    const QByteArray clips = ClipFolder().toUtf8();
    ASSERT_TRUE(gClipError.isEmpty()) << gClipError.toStdString();
    WriteFile(HomeFile(QStringLiteral("sheet.pdf")), "%PDF-1.4\n");
    WriteFile(HomeFile(QStringLiteral("broken.mp4")), "This is not a movie.\n");
    WriteFile(
        HomeFile(QStringLiteral("Catalog.xml")),
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">"
        "<Category name=\"Guitar\"><Category name=\"Blues\"><Category name=\"Basics\">"
        "<File name=\"Zz broken\"><Filename>broken.mp4</Filename><FileType>Movie</FileType></File>"
        "<File name=\"First\"><Filename>" +
            clips +
            "first.mp4</Filename>"
            "<FileType>Movie</FileType></File>"
            "<File name=\"Second\"><Filename>" +
            clips +
            "second.mp4</Filename><iPodFile>second.m4v</iPodFile>"
            "<FileType>Movie</FileType></File>"
            "<File name=\"Sheet\"><Filename>sheet.pdf</Filename><FileType>PDF</FileType></File>"
            "<File name=\"Missing\"><Filename>gone.mp4</Filename><FileType>Movie</FileType></File>"
            "</Category></Category></Category></Catalog>");
    mWindow = std::make_unique<TMain>();
    mWindow->show();
    ASSERT_TRUE(WaitFor([this] { return mWindow->DeferredStartDone(); }));
    Rows().SelectRow(-1);
    Select(QStringLiteral("Guitar"), 0);
  }
  TCatalogListView &Rows() {
    return *mWindow->findChild<TCatalogListView *>(QStringLiteral("fContentLv"));
  }
  void Select(const QString &aCaption, int aColumn) {
    TCatalogListView &list = *mWindow->CategoryColumn(aColumn);
    for (int i = 0; i < list.RowCount(); ++i) {
      if (list.RowCaption(i) == aCaption)
        list.SelectRow(i);
    }
  }
  int RowOf(const QString &aCaption) {
    for (int i = 0; i < Rows().RowCount(); ++i) {
      if (Rows().RowCaption(i) == aCaption)
        return i;
    }
    return -1;
  }
  void DoubleClick(const QString &aCaption) {
    Rows().SelectRow(RowOf(aCaption));
    emit Rows().itemDoubleClicked(Rows().topLevelItem(RowOf(aCaption)), 0);
  }
  void Click(const char *aButton) {
    auto *button = mWindow->findChild<TImageButton *>(QString::fromLatin1(aButton));
    ASSERT_TRUE(button->isVisible()) << aButton;
    button->click();
  }
  bool Shown(const char *aButton) {
    return mWindow->findChild<TImageButton *>(QString::fromLatin1(aButton))->isVisible();
  }
  TQTMovie *Movie() { return mWindow->MovieControl()->Movie(); }
  tFileItemC *Episode(const char *aPath) {
    return static_cast<tFileItemC *>(mWindow->Catalog()->FindItem(QString::fromUtf8(aPath)));
  }
  bool WaitForState(uint8_t aState) {
    return WaitFor([this, aState] { return mWindow->PlayState() == aState; }, 8000);
  }
  bool WaitForPath(const char *aPath) {
    return WaitFor([this, aPath] { return mWindow->CurrentPath() == QString::fromUtf8(aPath); });
  }
};

TEST_F(PlaybackTest, SelectingAMovieLoadsItPausedAndPlayAndPauseFollowTheRate) {
  Rows().SelectRow(RowOf(QStringLiteral("First")));
  ASSERT_TRUE(WaitFor([this] { return Movie() != nullptr; }));
  EXPECT_EQ(mWindow->PlayState(), TMain::psStopped);
  EXPECT_EQ(mWindow->CurrentPath(), QStringLiteral("\\Guitar\\Blues\\Basics\\First"));
  EXPECT_TRUE(Shown("fPlayBtn"));
  Click("fPlayBtn");
  EXPECT_EQ(mWindow->PlayState(), TMain::psPlaying); // set by the rate event inside Play
  EXPECT_TRUE(Shown("fPauseBtn"));
  EXPECT_FALSE(Shown("fPlayBtn"));
  Click("fPauseBtn");
  EXPECT_EQ(mWindow->PlayState(), TMain::psStopped);
  EXPECT_TRUE(Shown("fPlayBtn"));
  // A download's reload selects the row again: the paused movie is the same.
  ASSERT_TRUE(WaitFor([this] { return mWindow->Playback().CommandQueue().Empty(); }));
  mWindow->Downloads().ReloadCatalog();
  EXPECT_EQ(Rows().SelectedRow(), RowOf(QStringLiteral("First")));
  EXPECT_TRUE(mWindow->Playback().CommandQueue().Empty()) << "no new load of the same movie";
  // Another selection while stopped previews that one instead.
  Rows().SelectRow(RowOf(QStringLiteral("Second")));
  EXPECT_TRUE(WaitForPath("\\Guitar\\Blues\\Basics\\Second"));
}

TEST_F(PlaybackTest, ARateOfOneWhileSlowIsTurnedIntoTheChosenSpeed) {
  DoubleClick(QStringLiteral("First"));
  ASSERT_TRUE(WaitForState(TMain::psPlaying));
  auto *slider = mWindow->findChild<TImageSlider32 *>(QStringLiteral("fRateSlider"));
  emit slider->OnChange(slider, 1);
  EXPECT_DOUBLE_EQ(mWindow->ChosenRate(), 0.8);
  EXPECT_FLOAT_EQ(Movie()->Rate(), 0.8f);
  Movie()->SetRate(1.0f);
  ASSERT_EQ(mWindow->CommandQueue().Count(), 1);
  EXPECT_EQ(mWindow->CommandQueue().Head().mKind, qkSetRate);
  EXPECT_TRUE(WaitFor([this] { return Movie()->Rate() == 0.8f; }));
  EXPECT_EQ(mWindow->PlayState(), TMain::psPlaying);
}

TEST_F(PlaybackTest, FastForwardAndReverseKeepTheirStates) {
  DoubleClick(QStringLiteral("First"));
  ASSERT_TRUE(WaitForState(TMain::psPlaying));
  Click("fFastFwdOnBtn");
  EXPECT_EQ(mWindow->PlayState(), TMain::psFastForward);
  EXPECT_TRUE(Shown("fFastFwdOffBtn"));
  Click("fFastFwdOffBtn");
  EXPECT_EQ(mWindow->PlayState(), TMain::psPlaying);
  Click("fRewindOnBtn");
  EXPECT_EQ(mWindow->PlayState(), TMain::psReverse);
  EXPECT_TRUE(Shown("fRewindOffBtn"));
  EXPECT_FALSE(Shown("fRewindOnBtn"));
  Click("fRewindOffBtn");
  EXPECT_EQ(mWindow->PlayState(), TMain::psPlaying);
}

TEST_F(PlaybackTest, AtTheEndTheNextEpisodePlaysAndTheLastStops) {
  DoubleClick(QStringLiteral("First"));
  ASSERT_TRUE(WaitForState(TMain::psPlaying));
  ASSERT_TRUE(WaitForPath("\\Guitar\\Blues\\Basics\\Second"));
  EXPECT_EQ(Rows().RowCaption(Rows().SelectedRow()), QStringLiteral("Second"));
  EXPECT_TRUE(WaitFor([this] { return Movie() && Movie()->Rate() > 0; }));
  // "Second" is followed by the PDF sheet, which is no movie to play; after
  // the last movie the player stops.
  ASSERT_TRUE(WaitForState(TMain::psStopped));
  EXPECT_TRUE(Shown("fPlayBtn"));
  EXPECT_EQ(mWindow->CommandQueue().Count(), 0);
}

TEST_F(PlaybackTest, ReverseToTheStartStopsThereOnTheSameEpisode) {
  DoubleClick(QStringLiteral("First"));
  ASSERT_TRUE(WaitForState(TMain::psPlaying));
  QTest::qWait(300);
  Click("fRewindOnBtn");
  ASSERT_TRUE(WaitForState(TMain::psStopped));
  QTest::qWait(300);
  EXPECT_EQ(mWindow->CurrentPath(), QStringLiteral("\\Guitar\\Blues\\Basics\\First"));
  EXPECT_EQ(mWindow->CommandQueue().Count(), 0);
  EXPECT_TRUE(Shown("fPlayBtn"));
  EXPECT_TRUE(Shown("fRewindOnBtn"));
  ASSERT_NE(Movie(), nullptr);
  EXPECT_LE(Movie()->Time(), 100);
  // Play goes forward from the start.
  Click("fPlayBtn");
  EXPECT_EQ(mWindow->PlayState(), TMain::psPlaying);
  EXPECT_GT(Movie()->Rate(), 0);
}

TEST_F(PlaybackTest, LoopPlaysTheSameEpisodeAgain) {
  Click("fLoopOnBtn");
  EXPECT_TRUE(mWindow->Looping());
  EXPECT_TRUE(Shown("fLoopOffBtn"));
  DoubleClick(QStringLiteral("First"));
  ASSERT_TRUE(WaitForState(TMain::psPlaying));
  // Past the end of the 1.2 s clip it is still First, playing from the start.
  QTest::qWait(1800);
  EXPECT_EQ(mWindow->CurrentPath(), QStringLiteral("\\Guitar\\Blues\\Basics\\First"));
  EXPECT_EQ(mWindow->PlayState(), TMain::psPlaying);
  EXPECT_LT(Movie()->Time(), 1200);
}

TEST_F(PlaybackTest, DoubleClickingASheetOpensItAndLeavesTheMovieAlone) {
  DoubleClick(QStringLiteral("First"));
  ASSERT_TRUE(WaitForState(TMain::psPlaying));
  TUrlRecorder recorder;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "Open");
  DoubleClick(QStringLiteral("Sheet"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  ASSERT_EQ(recorder.mUrls.size(), 1);
  EXPECT_EQ(recorder.mUrls[0].toLocalFile(), HomeFile(QStringLiteral("sheet.pdf")));
  EXPECT_EQ(mWindow->CommandQueue().Count(), 0);
  EXPECT_EQ(mWindow->PlayState(), TMain::psPlaying);
  EXPECT_EQ(mWindow->CurrentPath(), QStringLiteral("\\Guitar\\Blues\\Basics\\First"));
}

TEST_F(PlaybackTest, ALessonWhoseFileIsMissingSaysSoAndPlayPlaysNoOtherLesson) {
  const QString gone = HomeFile(QStringLiteral("gone.mp4"));
  Rows().SelectRow(RowOf(QStringLiteral("First")));
  ASSERT_TRUE(WaitFor([this] { return Movie() != nullptr; }));
  EXPECT_EQ(mWindow->MovieNotice(), QString());
  enum tWayE { Selection, DoubleClickWhilePlaying, SelectionRightAfterAnother };
  for (const tWayE way : {Selection, DoubleClickWhilePlaying, SelectionRightAfterAnother}) {
    SCOPED_TRACE(way);
    if (way == DoubleClickWhilePlaying) {
      DoubleClick(QStringLiteral("First"));
      ASSERT_TRUE(WaitForState(TMain::psPlaying));
      DoubleClick(QStringLiteral("Missing"));
    } else {
      if (way == SelectionRightAfterAnother) {
        // Within one tick of the queue: the other lesson's open is still
        // pending.
        Rows().SelectRow(RowOf(QStringLiteral("First")));
      }
      Rows().SelectRow(RowOf(QStringLiteral("Missing")));
    }
    EXPECT_EQ(mWindow->MovieNotice(), QStringLiteral("The lesson's file is missing:\n") + gone);
    ASSERT_TRUE(WaitFor([this] { return mWindow->CommandQueue().Count() == 0; }));
    EXPECT_EQ(mWindow->MovieNotice(), QStringLiteral("The lesson's file is missing:\n") + gone);
    EXPECT_EQ(mWindow->findChild<QLabel *>(QStringLiteral("fTitleLbl"))->text(),
              CurrentApplication().mName + QStringLiteral(" (Missing)"));
    ASSERT_TRUE(WaitFor([this] { return Movie() == nullptr; }));
    EXPECT_EQ(mWindow->PlayState(), TMain::psStopped);
    Click("fPlayBtn");
    QTest::qWait(200);
    EXPECT_EQ(Movie(), nullptr) << "no other lesson plays in its place";
    EXPECT_EQ(mWindow->PlayState(), TMain::psStopped);
    EXPECT_TRUE(LogMessages().contains(QStringLiteral("Lesson file missing: ") + gone));
    EXPECT_EQ(mWindow->findChild<QLabel *>(QStringLiteral("fTotalLbl"))->text(),
              QStringLiteral("00:00"));
  }
  // Another lesson takes the notice away.
  Rows().SelectRow(RowOf(QStringLiteral("Second")));
  ASSERT_TRUE(WaitFor([this] { return Movie() != nullptr; }));
  EXPECT_EQ(mWindow->MovieNotice(), QString());
}

TEST_F(PlaybackTest, OpeningNeverWaitsForTheEngine) {
  // The commands run by hand: the open returns with the load under way and
  // stays at the head, holding back what follows, until the movie arrives
  // through the event loop.
  mWindow->EnqueueCommand(qkClose, nullptr);
  mWindow->EnqueueCommand(qkOpen, Episode("\\Guitar\\Blues\\Basics\\Second"));
  mWindow->EnqueueCommand(qkPlay, nullptr);
  // The start-up selection may have queued closes of its own.
  while (mWindow->CommandQueue().Head().mKind == qkClose)
    ASSERT_TRUE(mWindow->ProcessNextCommand());
  EXPECT_FALSE(mWindow->ProcessNextCommand());
  EXPECT_TRUE(mWindow->MovieControl()->Loading());
  EXPECT_EQ(Movie(), nullptr);
  ASSERT_EQ(mWindow->CommandQueue().Count(), 2);
  EXPECT_EQ(mWindow->CommandQueue().Head().mKind, qkOpen);
  EXPECT_EQ(mWindow->PlayState(), TMain::psStopped);
  ASSERT_TRUE(WaitFor([this] { return Movie() != nullptr; }));
  EXPECT_EQ(mWindow->CurrentPath(), QStringLiteral("\\Guitar\\Blues\\Basics\\Second"));
  ASSERT_TRUE(WaitForState(TMain::psPlaying));
  EXPECT_GT(Movie()->Rate(), 0);
}

TEST_F(PlaybackTest, AMovieThatCannotBeLoadedIsSaidAndItsPlayDropped) {
  DoubleClick(QStringLiteral("Zz broken"));
  const QString broken = HomeFile(QStringLiteral("broken.mp4"));
  ASSERT_TRUE(WaitFor([this] { return !mWindow->MovieNotice().isEmpty(); }));
  EXPECT_TRUE(mWindow->MovieNotice().startsWith(
      QStringLiteral("The movie \"%1\" cannot be loaded: ").arg(broken)));
  EXPECT_TRUE(LogMessages().contains(mWindow->MovieNotice()));
  ASSERT_TRUE(WaitFor([this] { return mWindow->CommandQueue().Count() == 0; }));
  EXPECT_EQ(mWindow->PlayState(), TMain::psStopped);
  EXPECT_TRUE(Shown("fPlayBtn"));
  EXPECT_EQ(Movie(), nullptr);
}

TEST_F(PlaybackTest, ASheetTheDesktopCannotOpenIsReported) {
  // The offscreen platform opens nothing, as a desktop without a PDF viewer.
  const std::vector<tSeenBoxC> boxes =
      RunAnsweringBoxes([this] { DoubleClick(QStringLiteral("Sheet")); });
  const QString message = QStringLiteral("The desktop has no program that opens ") +
                          HomeFile(QStringLiteral("sheet.pdf"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].mCaption, QStringLiteral("Melodra"));
  EXPECT_EQ(boxes[0].mIcon, QMessageBox::Critical);
  EXPECT_EQ(boxes[0].mText, message + u'.');
  EXPECT_TRUE(LogMessages().contains(message));
}

TEST(PlayTimeTextTest, ShowsMinutesAndSeconds) {
  const std::pair<qint64, const char *> cases[] = {
      {0, "00:00"}, {125, "02:05"}, {3599, "59:59"}, {3600, "1:00:00"}, {7384, "2:03:04"}};
  for (const auto &[seconds, text] : cases)
    EXPECT_EQ(PlayTimeText(seconds), QString::fromLatin1(text)) << seconds;
}

} // namespace

TEST_F(PlaybackTest, AnOpenedLessonFitsTheWindowUntilTheUserSizesIt) {
  // 160x120 is below the minimum: cover fit into 540x260 gives 540x421 of
  // movie area, in a window 40 wider and 311 taller.
  Rows().SelectRow(RowOf(QStringLiteral("First")));
  ASSERT_TRUE(WaitFor([this] { return Movie() != nullptr; }));
  EXPECT_TRUE(WaitFor([this] { return mWindow->size() == QSize(580, 732); }))
      << mWindow->size().width() << "x" << mWindow->size().height();
  EXPECT_TRUE(mWindow->Playback().MovieFitted());
  // No iPod version: nothing to export.
  EXPECT_FALSE(mWindow->findChild<QWidget *>(QStringLiteral("fiPodBtn"))->isEnabled());
  EXPECT_FALSE(mWindow->Frame().Export1()->isEnabled());

  // Sized by the user: the next lesson keeps the size, and the movie is
  // placed in the panel as it is.
  mWindow->Frame().SetUserSized(true);
  mWindow->resize(700, 760);
  ASSERT_TRUE(WaitFor([this] { return mWindow->size() == QSize(700, 760); }));
  Rows().SelectRow(RowOf(QStringLiteral("Second")));
  ASSERT_TRUE(WaitForPath("\\Guitar\\Blues\\Basics\\Second"));
  ASSERT_TRUE(WaitFor([this] { return Movie() != nullptr && mWindow->CommandQueue().Empty(); }));
  QTest::qWait(100);
  EXPECT_EQ(mWindow->size(), QSize(700, 760));
  const QSize panel = mWindow->findChild<QWidget *>(QStringLiteral("fMoviePnl"))->size();
  EXPECT_EQ(mWindow->MovieControl()->geometry(),
            ContainFit(QSize(160, 120), QSize(panel.width(), panel.height() - 16)));
  EXPECT_TRUE(mWindow->findChild<QWidget *>(QStringLiteral("fiPodBtn"))->isEnabled());
  EXPECT_TRUE(mWindow->Frame().Export1()->isEnabled());

  // Fit Window refits, and the window is no longer taken as maximized.
  mWindow->Frame().SetMaximized(true);
  mWindow->Frame().Fit1()->trigger();
  EXPECT_TRUE(WaitFor([this] { return mWindow->size() == QSize(580, 732); }));
  EXPECT_FALSE(mWindow->Frame().UserSized());
  EXPECT_FALSE(mWindow->Frame().Maximized());

  // Another row selected: export waits for the next opened lesson.
  Rows().SelectRow(RowOf(QStringLiteral("First")));
  EXPECT_FALSE(mWindow->Frame().Export1()->isEnabled());
}
