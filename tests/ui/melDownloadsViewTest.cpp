// The download state in the episode list: pictures, tips, the menu's
// enabling and the pause, resume and delete actions.
#include "melCatalog.h"
#include "melCatalogListView.h"
#include "melDownloadsController.h"
#include "melUiTestSupport.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>

namespace {

class DownloadsViewTest : public TStoreApplicationTest {
protected:
  void SetUp() override {
    TStoreApplicationTest::SetUp();
    WriteFile(HomeFile(QStringLiteral("Catalog.xml")),
              BluesCatalogXml(EpisodeXml("done", "Downloaded") +
                              EpisodeXml("waiting", "Not downloaded") +
                              EpisodeXml("paused", "Paused")));
    WriteFile(HomeFile(QStringLiteral("video/done.mov")), "movie");
    // Episodes wait to be fetched: the start asks for the store's login.
    mStartBoxes = OpenWindowDecliningLogin();
    ASSERT_TRUE(mWindow && mWindow->DeferredStartDone());
    mList = mWindow->findChild<TCatalogListView *>(QStringLiteral("fContentLv"));
    ASSERT_EQ(mList->RowCount(), 3);
  }
  TDownloadsController &Downloads() { return mWindow->Downloads(); }
  tFileItemC *Episode(const char *aName) {
    return static_cast<tFileItemC *>(mWindow->Catalog()->FindItem(
        QStringLiteral("\\Guitar\\Blues\\Basics\\") + QLatin1String(aName)));
  }
  void Select(const char *aName) {
    for (int row = 0; row < mList->RowCount(); ++row)
      if (mList->RowData(row) == Episode(aName))
        mList->setCurrentItem(mList->topLevelItem(row));
  }
  // The list's first column as drawn, left of the row's own icon.
  QImage StatusPicture(const char *aName) {
    Select(aName);
    mList->clearSelection();
    const QImage shot = mList->viewport()->grab().toImage();
    for (int row = 0; row < mList->RowCount(); ++row)
      if (mList->RowData(row) == Episode(aName)) {
        const QRect rect = mList->visualItemRect(mList->topLevelItem(row));
        // With the gap before the row's icon, which shows the background.
        return shot.copy(rect.left(), rect.top(), 18, rect.height());
      }
    return {};
  }
  // Pixels of the picture's place that differ from the row's background.
  static int Drawn(const QImage &aImage) {
    int drawn = 0;
    for (int y = 0; y < aImage.height(); ++y)
      for (int x = 0; x < 16; ++x)
        drawn += aImage.pixel(x, y) != aImage.pixel(17, y);
    return drawn;
  }
  uint8_t StatusInFile(const char *aName) {
    tCatalogC file(HomeFile(QStringLiteral("Catalog.xml")));
    auto *episode = static_cast<tFileItemC *>(
        file.FindItem(QStringLiteral("\\Guitar\\Blues\\Basics\\") + QLatin1String(aName)));
    return episode ? episode->mStatus : 255;
  }
  TCatalogListView *mList = nullptr;
  std::vector<tSeenBoxC> mStartBoxes;
};

TEST_F(DownloadsViewTest, AStartWithEpisodesToFetchAsksForTheLoginOnceAndQueuesThem) {
  ASSERT_EQ(mStartBoxes.size(), 1u);
  EXPECT_EQ(mStartBoxes[0].mText, QStringLiteral("You must be logged in to download files. "
                                                 "Click OK to log in now."));
  EXPECT_EQ(Downloads().TransfersText(), QStringLiteral("0 downloading, 1 waiting"));
  EXPECT_EQ(Episode("waiting")->mStatus, esNotDownloaded);
}

TEST_F(DownloadsViewTest, EachStatusHasItsPictureTipAndMenu) {
  // The start repairs interrupted states in the file; the tree takes any.
  Episode("waiting")->mStatus = esNotDownloaded;
  const struct {
    const char *mName;
    uint8_t mStatus;
    bool mPicture;
    const char *mTip;
    bool mDelete, mPause, mResume;
  } cases[] = {
      {"done", esDownloaded, true, "Downloaded", true, false, false},
      {"waiting", esNotDownloaded, false, "Not downloaded", true, false, true},
      {"waiting", esDownloading, true, "Downloading", false, true, false},
      {"waiting", esError, true,
       "Error: There was a problem downloading this file due to a connection error.", true, false,
       true},
      {"paused", esPaused, false, "Paused", false, false, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.mName) + " " + std::to_string(c.mStatus));
    tFileItemC &episode = *Episode(c.mName);
    episode.mStatus = c.mStatus;
    episode.mProgress = 42;
    EXPECT_EQ(TDownloadsController::TipText(episode), QLatin1String(c.mTip));
    EXPECT_EQ(Drawn(StatusPicture(c.mName)) > 20, c.mPicture);
    Select(c.mName);
    Downloads().pmContextPopup();
    const QList<QAction *> items = Downloads().ContextMenu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), QStringLiteral("&Delete"));
    EXPECT_EQ(items[0]->isEnabled(), c.mDelete);
    EXPECT_EQ(items[1]->text(), QStringLiteral("&Pause"));
    EXPECT_EQ(items[1]->isEnabled(), c.mPause);
    EXPECT_EQ(items[2]->text(), QStringLiteral("&Resume"));
    EXPECT_EQ(items[2]->isEnabled(), c.mResume);
  }
}

TEST_F(DownloadsViewTest, ProgressPicturesGoByEighthsAndBlink) {
  const std::pair<int, int> bands[] = {{0, 0},   {12, 0},   {13, 2},  {25, 2},  {26, 4},
                                       {39, 6},  {52, 6},   {53, 8},  {66, 10}, {79, 12},
                                       {92, 14}, {100, 14}, {-1, 14}, {101, 14}};
  for (const auto &[percent, band] : bands)
    EXPECT_EQ(Downloads().ProgressImageIndex(percent), band) << percent;
  ASSERT_TRUE(WaitFor([&] { return Downloads().BlinkPhase() == 4; }, 2000));
  for (const auto &[percent, band] : bands)
    EXPECT_EQ(Downloads().ProgressImageIndex(percent), band + 1) << percent;
}

TEST_F(DownloadsViewTest, PauseResumeAndDeleteActOnTheSelectedEpisode) {
  // Pause writes the status at once.
  Episode("waiting")->mStatus = esDownloading;
  Select("waiting");
  Downloads().miPauseClick();
  EXPECT_EQ(Episode("waiting")->mStatus, esPaused);
  EXPECT_EQ(StatusInFile("waiting"), esPaused);

  // Resume logged out: the login offer, and the status stays.
  Select("waiting");
  std::vector<tSeenBoxC> boxes =
      RunAnsweringBoxes([&] { Downloads().miResumeClick(); }, QMessageBox::Cancel);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].mCaption, QStringLiteral("Information"));
  EXPECT_EQ(Episode("waiting")->mStatus, esPaused);

  // The Delete key: nothing for a downloading episode, the confirmation and
  // the removal for a downloaded one.
  Episode("paused")->mStatus = esDownloading;
  Select("paused");
  boxes = RunAnsweringBoxes([&] { QTest::keyClick(mList, Qt::Key_Delete); });
  EXPECT_TRUE(boxes.empty());
  Select("done");
  boxes = RunAnsweringBoxes([&] { QTest::keyClick(mList, Qt::Key_Delete); }, QMessageBox::No);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].mText,
            QStringLiteral("Are you sure you want to send the file to the Recycle Bin?"));
  EXPECT_NE(Episode("done"), nullptr) << "No keeps it";
  Select("done");
  boxes = RunAnsweringBoxes([&] { QTest::keyClick(mList, Qt::Key_Delete); }, QMessageBox::Yes);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(StatusInFile("done"), 255) << "gone from the file";
  EXPECT_FALSE(QFile::exists(HomeFile(QStringLiteral("video/done.mov"))));
}

TEST_F(DownloadsViewTest, ADoubleClickOnAWaitingEpisodeResumesIt) {
  Select("waiting");
  const std::vector<tSeenBoxC> boxes = RunAnsweringBoxes(
      [&] { emit mList->itemDoubleClicked(mList->currentItem(), 0); }, QMessageBox::Cancel);
  ASSERT_EQ(boxes.size(), 1u) << "resuming asks for the login first";
  EXPECT_EQ(boxes[0].mText, QStringLiteral("You must be logged in to download files. Click OK "
                                           "to log in now."));
}

} // namespace
