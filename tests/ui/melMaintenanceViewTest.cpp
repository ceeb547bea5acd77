#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogListView.h"
#include "melLogging.h"
#include "melMain.h"
#include "melQTControl.h"
#include "melTestEnv.h"
#include "melUiTestSupport.h"

#include <QFile>

namespace {

class MaintenanceViewTest : public TStoreApplicationTest {
protected:
  std::vector<tSeenBoxC> mStartBoxes;
  void SetUp() override {
    TStoreApplicationTest::SetUp();
    WriteFile(HomeFile(QStringLiteral("Catalog.xml")),
              BluesCatalogXml(EpisodeXml("failed", "Error") + EpisodeXml("running", "Downloading") +
                                  EpisodeXml("done", "Downloaded") + EpisodeXml("paused", "Paused"),
                              "<Category name=\"Piano\"><Category name=\"Jazz\"><Category "
                              "name=\"Chords\">" +
                                  EpisodeXml("voicings", "Downloaded") +
                                  "</Category></Category></Category>"));
    for (const char *name : {"done", "paused", "voicings"})
      WriteFile(HomeFile(QStringLiteral("video/%1.mov").arg(QLatin1String(name))), "movie");
    // Episodes wait to be fetched: the start asks for the store's login.
    mStartBoxes = OpenWindowDecliningLogin();
    ASSERT_TRUE(mWindow && mWindow->DeferredStartDone());
  }
  tFileItemC *Find(const char *aPath) {
    return static_cast<tFileItemC *>(mWindow->Catalog()->FindItem(QString::fromUtf8(aPath)));
  }
};

TEST_F(MaintenanceViewTest, TheStartRepairsInterruptedStatusesInTheFileAndTheTree) {
  const std::pair<const char *, uint8_t> cases[] = {{"failed", esNotDownloaded},
                                                    {"running", esPaused},
                                                    {"done", esDownloaded},
                                                    {"paused", esPaused}};
  tCatalogC fromFile(HomeFile(QStringLiteral("Catalog.xml")));
  for (const auto &[name, status] : cases) {
    const QString path = QStringLiteral("\\Guitar\\Blues\\Basics\\") + QLatin1String(name);
    for (tCatalogC *catalog : {mWindow->Catalog(), &fromFile}) {
      auto *episode = static_cast<tFileItemC *>(catalog->FindItem(path));
      ASSERT_NE(episode, nullptr) << name;
      EXPECT_EQ(episode->mStatus, status) << name;
    }
  }
}

TEST_F(MaintenanceViewTest, RemovingADownloadedEpisodeTrashesItsFileAndResetsTheView) {
  mWindow->CategoryColumn(0)->SelectRow(1); // Guitar, down to its episodes
  ASSERT_EQ(mWindow->CategoryColumnCount(), 3);
  mWindow->RemoveEpisode(*Find("\\Piano\\Jazz\\Chords\\voicings"));
  EXPECT_FALSE(QFile::exists(HomeFile(QStringLiteral("video/voicings.mov"))));
  EXPECT_TRUE(QFile::exists(Home() + QStringLiteral("xdg-data/Trash/files/voicings.mov")));
  const QString stored = HomeFile(QStringLiteral("video\\voicings.mov")).replace(u'/', u'\\');
  EXPECT_TRUE(LogMessages().contains(QStringLiteral("Delete file: ") + stored))
      << LogMessages().join(u'\n').toStdString();
  // Its emptied categories went with it; the view starts over from the top.
  EXPECT_EQ(mWindow->Catalog()->FindItem(QStringLiteral("\\Piano")), nullptr);
  EXPECT_EQ(mWindow->CategoryColumnCount(), 2);
  EXPECT_EQ(mWindow->CategoryColumn(0)->RowCount(), 2); // "All" and Guitar
  EXPECT_EQ(mWindow->CategoryColumn(0)->SelectedRow(), 0);
  EXPECT_EQ(mWindow->MovieControl()->Movie(), nullptr);
}

TEST_F(MaintenanceViewTest, RemovingAPausedEpisodeLeavesItsPartialFile) {
  mWindow->RemoveEpisode(*Find("\\Guitar\\Blues\\Basics\\paused"));
  EXPECT_TRUE(QFile::exists(HomeFile(QStringLiteral("video/paused.mov"))));
  EXPECT_EQ(mWindow->Catalog()->FindItem(QStringLiteral("\\Guitar\\Blues\\Basics\\paused")),
            nullptr);
  EXPECT_TRUE(LogMessages().filter(QStringLiteral("Delete file: ")).isEmpty());
}

TEST_F(MaintenanceViewTest, RemovingAnEpisodeTheFileNoLongerHoldsFailsAndChangesNothing) {
  tFileItemC *episode = Find("\\Guitar\\Blues\\Basics\\done");
  ASSERT_NE(episode, nullptr);
  const QString clip = HomeFile(QStringLiteral("clip.mp4"));
  MakeClip(clip);
  mWindow->MovieControl()->SetURL(clip);
  ASSERT_TRUE(WaitFor([this] { return mWindow->MovieControl()->Movie() != nullptr; }));
  const QByteArray before = ReadFile(HomeFile(QStringLiteral("Catalog.xml")));
  episode->mName = QStringLiteral("renamed meanwhile");
  try {
    mWindow->RemoveEpisode(*episode);
    FAIL();
  } catch (const EMelError &e) {
    EXPECT_EQ(e.Message(), QStringLiteral("Cannot find episode for delete"));
  }
  EXPECT_EQ(ReadFile(HomeFile(QStringLiteral("Catalog.xml"))), before);
  EXPECT_TRUE(QFile::exists(HomeFile(QStringLiteral("video/done.mov"))));
  // The movie that was showing stays loaded.
  EXPECT_NE(mWindow->MovieControl()->Movie(), nullptr);
  EXPECT_EQ(mWindow->MovieControl()->URL(), clip);
}

TEST_F(MaintenanceViewTest, AStatusWriteReachesTheFileAndTheSetterWritesThrough) {
  mWindow->UpdateEpisodeStatus(QStringLiteral("u-done"), esPaused);
  tCatalogC fromFile(HomeFile(QStringLiteral("Catalog.xml")));
  EXPECT_EQ(
      static_cast<tFileItemC *>(fromFile.FindItem(QStringLiteral("\\Guitar\\Blues\\Basics\\done")))
          ->mStatus,
      esPaused);
  Find("\\Piano\\Jazz\\Chords\\voicings")->SetStatus(esDownloading);
  fromFile.Load();
  EXPECT_EQ(static_cast<tFileItemC *>(
                fromFile.FindItem(QStringLiteral("\\Piano\\Jazz\\Chords\\voicings")))
                ->mStatus,
            esDownloading);
}

TEST_F(MaintenanceViewTest, TheSetterReSortsTheEpisodeList) {
  auto &episodes = *mWindow->findChild<TCatalogListView *>(QStringLiteral("fContentLv"));
  auto captions = [&episodes] {
    QStringList list;
    for (int i = 0; i < episodes.RowCount(); ++i)
      list << episodes.RowCaption(i);
    return list;
  };
  ASSERT_EQ(captions(), QStringList({"failed", "paused", "running", "done", "voicings"}));
  // One change after the other: downloading rows lead, downloaded ones close.
  const struct {
    const char *mPath;
    uint8_t mStatus;
    QStringList mOrder;
  } steps[] = {
      {"\\Piano\\Jazz\\Chords\\voicings",
       esDownloading,
       {"voicings", "failed", "paused", "running", "done"}},
      {"\\Guitar\\Blues\\Basics\\failed",
       esDownloaded,
       {"voicings", "paused", "running", "done", "failed"}},
  };
  for (const auto &step : steps) {
    Find(step.mPath)->SetStatus(step.mStatus);
    EXPECT_EQ(captions(), step.mOrder) << step.mPath;
  }
}

} // namespace
