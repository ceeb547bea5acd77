// Bought lessons fetched through the window against a demo store that sends
// its files slowly: the queue, pause, resume and close as the list does them,
// each file ending identical to the store's.
#include "melCatalog.h"
#include "melCatalogListView.h"
#include "melDownloadsController.h"
#include "melPaths.h"
#include "melStoreWindowSupport.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace {

class StoreDownloadsTest : public StoreWindowTest {
protected:
  TCatalogListView *List() const { return Control<TCatalogListView>("fContentLv"); }
  TDownloadsController &Downloads() const { return mWindow->Downloads(); }

  void LogIn(const tStoreUnderTestC &aStore) {
    Store().OpenLoginPage();
    ASSERT_TRUE(
        WaitPage(aStore.mProcess.SecureBase() + QStringLiteral("/downloadStore/login.php")));
    RunScript(QStringLiteral("document.getElementById('user').value = 'demo';"
                             "document.getElementById('password').value = 'lessons';"
                             "document.querySelector('form').submit();"));
    ASSERT_TRUE(WaitFor([&] { return Store().Session().LoggedIn(); }, cPageMs));
  }
  // Follows the store's first download link; logged in, its lessons start
  // downloading at once.
  void BuyFirstItem(const tStoreUnderTestC &aStore) {
    Store().OpenStore();
    ASSERT_TRUE(
        WaitPage(aStore.mProcess.SecureBase() + QStringLiteral("/downloadStore/index.php")));
    RunScript(
        QStringLiteral("document.querySelector('a[href*=\"downloadRedirect.php\"]').click()"));
    ASSERT_TRUE(WaitFor([&] { return List()->RowCount() >= 3; }, cPageMs));
  }

  // Starts the store, opens the window on it, logs in and buys the first
  // item, whose three or more lessons then start downloading.
  void BuyLoggedIn(tStoreUnderTestC &aStore) {
    ASSERT_EQ(aStore.Start(), QString());
    OpenWindow(aStore);
    LogIn(aStore);
    BuyFirstItem(aStore);
    ASSERT_GE(List()->RowCount(), 3);
  }

  // The episodes as the list shows them now; a reload makes new records, so
  // they are looked up again each time.
  QStringList URLs() const {
    QStringList urls;
    for (int row = 0; row < List()->RowCount(); ++row)
      urls << static_cast<tFileItemC *>(List()->RowData(row))->mURL;
    return urls;
  }
  tFileItemC *Episode(const QString &aURL) const {
    for (int row = 0; row < List()->RowCount(); ++row)
      if (auto *episode = static_cast<tFileItemC *>(List()->RowData(row)); episode->mURL == aURL)
        return episode;
    return nullptr;
  }
  int Status(const QString &aURL) const {
    const tFileItemC *episode = Episode(aURL);
    return episode ? episode->mStatus : -1;
  }
  QString Part(const QString &aURL) const { return LocalPath(Episode(aURL)->mFilename); }
  void Select(const QString &aURL) {
    for (int row = 0; row < List()->RowCount(); ++row)
      if (static_cast<tFileItemC *>(List()->RowData(row))->mURL == aURL)
        List()->setCurrentItem(List()->topLevelItem(row));
  }
  static QByteArray Source(const tStoreUnderTestC &aStore, const QString &aURL) {
    return ReadFile(aStore.mProcess.DataFolder() + QStringLiteral("/files/") +
                    aURL.section(u'/', -1));
  }
  static QByteArray Sha256(const QByteArray &aData) {
    return QCryptographicHash::hash(aData, QCryptographicHash::Sha256).toHex();
  }
  int Running() const {
    int running = 0;
    for (const QString &url : URLs())
      running += Status(url) == esDownloading;
    return running;
  }
};

TEST_F(StoreDownloadsTest, BoughtLessonsArriveOneAfterAnotherIdenticalToTheStores) {
  tStoreUnderTestC store({QStringLiteral("--rate"), QStringLiteral("1024")});
  ASSERT_NO_FATAL_FAILURE(BuyLoggedIn(store));
  const QStringList urls = URLs();

  // One at a time, in the catalog's order, counted in the status bar.
  QStringList order;
  QStringList shown;
  int most = 0;
  ASSERT_TRUE(WaitFor(
      [&] {
        most = std::max(most, Running());
        for (const QString &url : urls)
          if (Status(url) == esDownloading && !order.contains(url))
            order << url;
        const QString text = Control<QLabel>("fDownloadsLbl")->text();
        if (!text.isEmpty() && !shown.contains(text))
          shown << text;
        return std::all_of(urls.begin(), urls.end(),
                           [&](const QString &aURL) { return Status(aURL) == esDownloaded; });
      },
      60000));
  EXPECT_EQ(most, 1);
  // The list sorts by name, the queue goes by the file: each started once.
  EXPECT_EQ(order.size(), urls.size());
  EXPECT_TRUE(shown.contains(QStringLiteral("1 downloading, %1 waiting").arg(urls.size() - 1)))
      << shown.join(u'|').toStdString();
  for (const QString &url : urls)
    EXPECT_EQ(Sha256(ReadFile(Part(url))), Sha256(Source(store, url))) << url.toStdString();
  EXPECT_TRUE(WaitFor([&] { return Control<QLabel>("fDownloadsLbl")->text().isEmpty(); }));
}

TEST_F(StoreDownloadsTest, PauseResumeAndCloseMidTransferKeepPartsThatEndIdentical) {
  // About four seconds a lesson.
  tStoreUnderTestC store({QStringLiteral("--rate"), QStringLiteral("64")});
  ASSERT_NO_FATAL_FAILURE(BuyLoggedIn(store));
  const QStringList urls = URLs();
  // The queue's first, well into its body, and a movie still waiting.
  QString first;
  ASSERT_TRUE(WaitFor(
      [&] {
        for (const QString &url : urls)
          if (Status(url) == esDownloading && QFileInfo(Part(url)).size() >= 32 * 1024)
            first = url;
        return !first.isEmpty();
      },
      20000));
  QString second;
  for (const QString &url : urls)
    if (url != first && url.endsWith(QLatin1String(".mov")) && Status(url) == esNotDownloaded)
      second = url;
  ASSERT_FALSE(second.isEmpty());

  // A double-click on a waiting one runs it beside the queue's.
  Select(second);
  emit List()->itemDoubleClicked(List()->currentItem(), 0);
  ASSERT_TRUE(WaitFor([&] { return Status(second) == esDownloading; }));
  EXPECT_EQ(Status(first), esDownloading);

  // Pause: the part stays as the store's start, and grows no more.
  Select(first);
  Downloads().miPauseClick();
  ASSERT_TRUE(WaitFor([&] { return Status(first) == esPaused; }));
  const qint64 paused = QFileInfo(Part(first)).size();
  QTest::qWait(500);
  EXPECT_EQ(QFileInfo(Part(first)).size(), paused);
  EXPECT_TRUE(Source(store, first).startsWith(ReadFile(Part(first))));

  // Closing the window while the second runs leaves it paused.
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(Part(second)).size() >= 16 * 1024; }, 20000));
  const QString secondPart = Part(second);
  mWindow.reset();
  const QByteArray left = ReadFile(secondPart);
  EXPECT_TRUE(Source(store, second).startsWith(left));
  EXPECT_LT(left.size(), Source(store, second).size());

  // The next start reads both as paused; logged in again, the list resumes them.
  RunAnsweringBoxes([&] { OpenWindow(store); }, QMessageBox::Cancel);
  EXPECT_EQ(Status(first), esPaused);
  EXPECT_EQ(Status(second), esPaused);
  LogIn(store);
  for (const QString &url : {first, second}) {
    Select(url);
    Downloads().miResumeClick();
  }
  ASSERT_TRUE(WaitFor(
      [&] { return Status(first) == esDownloaded && Status(second) == esDownloaded; }, 30000));
  for (const QString &url : {first, second})
    EXPECT_EQ(Sha256(ReadFile(Part(url))), Sha256(Source(store, url))) << url.toStdString();
  // Both continued where their parts ended.
  EXPECT_TRUE(store.SawSoon(QStringLiteral("http GET /downloadStore/files/") +
                            first.section(u'/', -1) + QStringLiteral(" 206")))
      << store.Requests().join(u'\n').toStdString();
}

} // namespace
