#include "melDownloadManager.h"
#include "melCatalog.h"
#include "melDemoStoreProcess.h"
#include "melDownloadFileThread.h"
#include "melDownloadTestSupport.h"
#include "melPaths.h"
#include "melTestEnv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray Episode(const QByteArray &aName, const QByteArray &aURL, const char *aStatus) {
  return "<File name=\"" + aName + "\"><FileType>video</FileType><Filename>video\\" + aName +
         ".mov</Filename><URL>" + aURL + "</URL><Status>" + aStatus + "</Status></File>";
}

class DownloadManagerTest : public TTempHomeTest {
protected:
  void SetUp() override {
    TTempHomeTest::SetUp();
    mHost.mCatalog = Home() + QStringLiteral("Catalog.xml");
  }

  void WriteCatalog(const QByteArray &aEpisodes) {
    WriteFile(LocalPath(mHost.mCatalog),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">"
              "<Category name=\"Bass\"><Category name=\"Funk\">" +
                  aEpisodes + "</Category></Category></Catalog>\n");
  }

  bool StartStore(const QStringList &aSwitches = {}) {
    mStore = std::make_unique<tDemoStoreProcessC>(aSwitches);
    const QString error = mStore->Start();
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    mHost.mOptions.mCookie = mStore->LoginCookie();
    mHost.mOptions.mStoreHost = QStringLiteral("127.0.0.1");
    return error.isEmpty();
  }

  QByteArray Url(const char *aFile) const {
    return (mStore->PlainBase() + QStringLiteral("/downloadStore/files/") + QLatin1String(aFile))
        .toUtf8();
  }
  QByteArray Source(const char *aFile) const {
    return FileBytes(mStore->DataFolder() + QStringLiteral("/files/") + QLatin1String(aFile));
  }

  // The episode record as the list holds it.
  std::unique_ptr<tCatalogC> mCatalog;
  tFileItemC *EpisodeFor(const QString &aURL) {
    mCatalog = std::make_unique<tCatalogC>(mHost.mCatalog);
    return Find(*mCatalog->Root(), aURL);
  }
  static tFileItemC *Find(const tCategoryItemC &aCategory, const QString &aURL) {
    for (int i = 0; i < aCategory.mItems.Count(); ++i) {
      tCatalogItemC *item = aCategory.mItems.ObjectAt(i);
      if (item->IsCategory()) {
        if (tFileItemC *found = Find(*static_cast<tCategoryItemC *>(item), aURL))
          return found;
      } else if (static_cast<tFileItemC *>(item)->mURL == aURL) {
        return static_cast<tFileItemC *>(item);
      }
    }
    return nullptr;
  }

  // Runs the event loop, as the window does, until aDone holds.
  static bool RunUntil(const std::function<bool()> &aDone) {
    const QDeadlineTimer deadline(60000);
    while (!aDone() && !deadline.hasExpired())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return aDone();
  }

  tFakeHostC mHost;
  std::unique_ptr<tDemoStoreProcessC> mStore;
};

const char *const cFiles[] = {"bass-funk-beginner-1.mov", "bass-funk-beginner-2.mov",
                              "bass-funk-intermediate-1.mov"};

} // namespace

TEST_F(DownloadManagerTest, TheScanQueuesPendingEpisodesOnceAndWaitsForTheLogin) {
  WriteCatalog(Episode("a", "http://store/a", "Not downloaded") +
               Episode("b", "http://store/b", "Downloading") +
               Episode("c", "http://store/c", "Downloaded") +
               Episode("d", "http://store/d", "Error") + Episode("e", "http://store/e", "Paused") +
               Episode("a2", "http://store/a", "Not downloaded") +
               "<File name=\"n\"><Filename>n.mov</Filename><Status>Not downloaded</Status></File>");
  mHost.mLoggedIn = false;
  TmelDownloadManager manager(mHost);
  manager.StartDownloads();
  ASSERT_EQ(manager.Threads().size(), 2);
  EXPECT_EQ(manager.Threads()[0]->FURL, QStringLiteral("http://store/a"));
  EXPECT_EQ(manager.Threads()[1]->FURL, QStringLiteral("http://store/b"));
  EXPECT_EQ(mHost.mLoginChecks, 1);
  EXPECT_FALSE(manager.Threads()[0]->Started());
  // Pause and resume find the worker by the path the episode record holds.
  const tFileItemC *a = EpisodeFor(QStringLiteral("http://store/a"));
  ASSERT_TRUE(a);
  EXPECT_EQ(manager.FindByLocalFile(a->mFilename), manager.Threads()[0]);
  EXPECT_TRUE(QFileInfo(LocalPath(a->mFilename)).dir().exists());
  // A second call does not scan again while the queue holds workers.
  manager.StartDownloads();
  EXPECT_EQ(manager.Threads().size(), 2);
  EXPECT_TRUE(mHost.mEvents.isEmpty());
}

TEST_F(DownloadManagerTest, QueuedEpisodesArriveOneAfterAnotherAndAResumedOneRunsBeside) {
  ASSERT_TRUE(StartStore());
  WriteCatalog(Episode("one", Url(cFiles[0]), "Not downloaded") +
               Episode("two", Url(cFiles[1]), "Not downloaded") +
               Episode("three", Url(cFiles[2]), "Paused"));
  const QString one = QString::fromUtf8(Url(cFiles[0]));
  const QString two = QString::fromUtf8(Url(cFiles[1]));
  const QString three = QString::fromUtf8(Url(cFiles[2]));
  TmelDownloadManager manager(mHost);
  bool resumed = false;
  mHost.mOnProgress = [&](const QString &aURL, const QString &, int aPercent) {
    if (aURL != one || aPercent < 30 || resumed)
      return;
    resumed = true;
    tFileItemC *episode = EpisodeFor(three);
    ASSERT_TRUE(episode);
    manager.ResumeDownload(*episode);
    // While the first waits in its report, the resumed one starts.
    manager.HandOver().WaitUntil([&] { return mHost.Statuses(three).contains(2); });
  };
  manager.StartDownloads();
  ASSERT_EQ(manager.Threads().size(), 2);
  ASSERT_TRUE(RunUntil([&] {
    return mHost.LastStatus(one) == 0 && mHost.LastStatus(two) == 0 &&
           mHost.LastStatus(three) == 0 && manager.Threads().isEmpty();
  }));
  // One automatic transfer at a time, in document order.
  QList<QString> order;
  for (const auto &event : mHost.mEvents)
    if (event.mKind == 's' && event.mURL != three)
      order.append(event.mURL + u' ' + QString::number(event.mValue));
  EXPECT_EQ(order, (QList<QString>{one + " 2", one + " 0", two + " 2", two + " 0"}));
  // The resumed one ran beside the first.
  qsizetype threeStarted = -1, oneDone = -1;
  for (qsizetype i = 0; i < mHost.mEvents.size(); ++i) {
    const auto &event = mHost.mEvents[i];
    if (event.mKind == 's' && event.mURL == three && event.mValue == 2 && threeStarted < 0)
      threeStarted = i;
    if (event.mKind == 's' && event.mURL == one && event.mValue == 0)
      oneDone = i;
  }
  EXPECT_LT(threeStarted, oneDone);
  for (const char *file : cFiles) {
    const tFileItemC *episode = EpisodeFor(QString::fromUtf8(Url(file)));
    ASSERT_TRUE(episode);
    EXPECT_EQ(episode->mStatus, esDownloaded);
    EXPECT_EQ(Sha256(FileBytes(LocalPath(episode->mFilename))), Sha256(Source(file))) << file;
  }
  // The queue ran empty, the rescan found nothing pending.
  EXPECT_TRUE(manager.Threads().isEmpty());
}

TEST_F(DownloadManagerTest, ShutdownMidTransferLeavesItPausedAndStartsNothingMore) {
  ASSERT_TRUE(StartStore());
  WriteCatalog(Episode("one", Url(cFiles[0]), "Not downloaded") +
               Episode("two", Url(cFiles[1]), "Not downloaded"));
  const QString one = QString::fromUtf8(Url(cFiles[0]));
  const QString two = QString::fromUtf8(Url(cFiles[1]));
  auto manager = std::make_unique<TmelDownloadManager>(mHost);
  bool asked = false;
  mHost.mOnProgress = [&](const QString &, const QString &, int aPercent) {
    if (aPercent >= 30 && !asked) {
      asked = true;
      // The window closes: after this report, from the event loop, before
      // the worker's next report.
      QMetaObject::invokeMethod(
          QCoreApplication::instance(), [&] { manager.reset(); }, Qt::QueuedConnection);
    }
  };
  manager->StartDownloads();
  ASSERT_TRUE(RunUntil([&] { return !manager; }));
  EXPECT_EQ(mHost.Statuses(one), (QList<int>{2, 4}));
  EXPECT_TRUE(mHost.Statuses(two).isEmpty());
  const tFileItemC *episode = EpisodeFor(one);
  ASSERT_TRUE(episode);
  EXPECT_EQ(episode->mStatus, esPaused);
  const QByteArray part = FileBytes(LocalPath(episode->mFilename));
  EXPECT_GT(part.size(), 0);
  EXPECT_TRUE(Source(cFiles[0]).startsWith(part));
  EXPECT_LT(part.size(), Source(cFiles[0]).size());
  EXPECT_EQ(EpisodeFor(two)->mStatus, esNotDownloaded);
}

TEST_F(DownloadManagerTest, AProgramKilledMidTransferLeavesAPartTheNextStartResumes) {
  // Slow enough that the kill lands in the middle of the body.
  ASSERT_TRUE(StartStore({QStringLiteral("--rate"), QStringLiteral("128")}));
  WriteCatalog(Episode("one", Url(cFiles[0]), "Not downloaded"));
  const QString one = QString::fromUtf8(Url(cFiles[0]));
  const QString part = LocalPath(EpisodeFor(one)->mFilename);
  const QByteArray source = Source(cFiles[0]);

  QProcess child;
  child.start(QStringLiteral(DOWNLOAD_CHILD), {mHost.mCatalog, mHost.mOptions.mCookie});
  ASSERT_TRUE(child.waitForStarted()) << child.errorString().toStdString();
  const QDeadlineTimer deadline(30000);
  while (QFileInfo(part).size() < 48 * 1024 && !deadline.hasExpired() &&
         child.state() == QProcess::Running)
    QThread::msleep(10);
  ASSERT_EQ(child.state(), QProcess::Running) << child.readAllStandardError().constData();
  child.kill();
  ASSERT_TRUE(child.waitForFinished());

  // What the kill left: the status it had, and a part that is the store's start.
  EXPECT_EQ(EpisodeFor(one)->mStatus, esDownloading);
  const QByteArray left = FileBytes(part);
  EXPECT_GE(left.size(), 48 * 1024);
  EXPECT_LT(left.size(), source.size());
  EXPECT_TRUE(source.startsWith(left));

  // The next start picks it up and continues where the part ends.
  TmelDownloadManager manager(mHost);
  manager.StartDownloads();
  ASSERT_EQ(manager.Threads().size(), 1);
  ASSERT_TRUE(RunUntil([&] { return manager.Threads().isEmpty(); }));
  EXPECT_EQ(mHost.Statuses(one), (QList<int>{2, 0}));
  EXPECT_EQ(EpisodeFor(one)->mStatus, esDownloaded);
  EXPECT_EQ(Sha256(FileBytes(part)), Sha256(source));
  static const QRegularExpression resumed(QStringLiteral("GET /downloadStore/files/\\S+ 206$"));
  const QDeadlineTimer logged(5000);
  while (!mStore->Output().filter(resumed).size() && !logged.hasExpired())
    QThread::msleep(10);
  EXPECT_EQ(mStore->Output().filter(resumed).size(), 1)
      << mStore->Output().join(u'\n').toStdString();
}
