// Purchases against demo stores that answer in every way the window must
// cope with: the Download header's variants, store documents it must refuse,
// and a store that does not answer in time.
#include "melStoreWindowSupport.h"

#include <QDirIterator>
#include <QRegularExpression>

namespace {

class StorePurchaseTest : public StoreWindowTest {
protected:
  // Every file below the program folder but the log, which grows.
  QStringList HomeFiles() const {
    QStringList files;
    QDirIterator it(Home(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString file = it.next();
      if (!file.endsWith(QLatin1String("log.txt")))
        files << file;
    }
    files.sort();
    return files;
  }
  // Opens the store of aStore and follows its first download link; the
  // boxes the purchase shows.
  std::vector<tSeenBoxC> Buy(tStoreUnderTestC &aStore, QString *aItem) {
    std::vector<tSeenBoxC> boxes;
    // Each purchase into a catalog of its own.
    QFile::remove(HomeFile(QStringLiteral("Catalog.xml")));
    OpenWindow(aStore);
    if (::testing::Test::HasFatalFailure())
      return boxes;
    Store().OpenStore();
    const QString start = aStore.mProcess.SecureBase() + QStringLiteral("/downloadStore/index.php");
    if (!WaitPage(start)) {
      ADD_FAILURE() << "the start page did not load";
      return boxes;
    }
    const QStringList links = DownloadLinks();
    if (links.isEmpty()) {
      ADD_FAILURE() << "no download links";
      return boxes;
    }
    *aItem = links.first().section(u'=', 1);
    mCatalogBefore = CatalogText();
    mFilesBefore = HomeFiles();
    boxes = RunAnsweringBoxes(
        [&] {
          Browser()->Navigate(links.first());
          EXPECT_TRUE(WaitFor(
              [&] {
                return aStore.Saw(QStringLiteral("http GET /downloadStore/download.php")) &&
                       !Store().StoreProgressShown() && !QApplication::activeModalWidget();
              },
              cPageMs));
          // A box that follows the last request.
          QTest::qWait(300);
        },
        QMessageBox::Cancel);
    return boxes;
  }
  QByteArray mCatalogBefore;
  QStringList mFilesBefore;
};

TEST_F(StorePurchaseTest, TheDownloadHeaderIsReadAsTheStoreSendsIt) {
  const struct {
    const char *mName;
    QStringList mSwitches;
    bool mBought;
  } cases[] = {
      {"two Download lines: the first", {"--download-header-twice"}, true},
      {"a redirecting link: the final answer's", {"--redirect-download"}, true},
      {"a lower-case name is no Download header", {"--download-header-case", "lower"}, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mName);
    tStoreUnderTestC store(c.mSwitches);
    ASSERT_EQ(store.Start(), QString());
    QString item;
    const std::vector<tSeenBoxC> boxes = Buy(store, &item);
    const QString asked = QStringLiteral("http GET /downloadStore/download.php?item=%1&format=xml")
                              .arg(item.section(u'&', 0, 0));
    EXPECT_EQ(c.mBought ? store.SawSoon(asked) : store.Saw(asked), c.mBought);
    EXPECT_EQ(CatalogText() != mCatalogBefore, c.mBought);
    // Without the header the catalog request has nothing after "?", and the
    // store has no lessons for it: said, nothing kept.
    EXPECT_EQ(Errors(boxes).size(), c.mBought ? 0u : 1u);
    // What was bought is fetched next, after the login.
    EXPECT_EQ(LoginOffers(boxes), c.mBought ? 1 : 0);
    if (!c.mBought) {
      EXPECT_EQ(CatalogText(), mCatalogBefore);
    }
    mWindow.reset();
  }
}

TEST_F(StorePurchaseTest, ABadStoreAnswerIsSaidAndChangesNothing) {
  const struct {
    const char *mName;
    QStringList mSwitches;
    const char *mSaid;
  } cases[] = {
      {"not XML", {"--bad-catalog", "not-xml"}, "The store catalog"},
      {"an item without its file type and link", {"--bad-catalog", "item-missing-fields"}, ""},
      {"a file name that climbs out", {"--bad-catalog", "dotdot-filename"}, ""},
      {"a store that does not answer in time", {"--slow", "2500"}, "The store did not send"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mName);
    tStoreUnderTestC store(c.mSwitches);
    ASSERT_EQ(store.Start(), QString());
    QString item;
    const bool slow = c.mSwitches.first() == QLatin1String("--slow");
    if (slow) {
      // Pages wait as long; only the window's own requests time out.
      OpenWindow(store);
      Store().SetRequestTimeouts(500, 1000);
    }
    std::vector<tSeenBoxC> boxes;
    if (slow) {
      Store().OpenStore();
      ASSERT_TRUE(
          WaitPage(store.mProcess.SecureBase() + QStringLiteral("/downloadStore/index.php")));
      item = QStringLiteral("1");
      mCatalogBefore = CatalogText();
      mFilesBefore = HomeFiles();
      boxes = RunAnsweringBoxes([&] {
        Browser()->Navigate(store.mProcess.PlainBase() +
                            QStringLiteral("/downloadStore/downloadRedirect.php?item=1"));
        EXPECT_TRUE(WaitFor(
            [&] {
              return LogMessages().filter(QStringLiteral("Store request failed")).size() >= 2;
            },
            cPageMs));
        QTest::qWait(300);
      });
      EXPECT_EQ(LogMessages()
                    .filter(QRegularExpression(
                        QStringLiteral("^Store request failed: .*(Timeout|timed out)")))
                    .size(),
                2)
          << LogMessages().join(u'\n').toStdString();
    } else {
      boxes = Buy(store, &item);
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].mCaption, QStringLiteral("Melodra"));
    EXPECT_TRUE(boxes[0].mText.startsWith(QLatin1String(c.mSaid))) << boxes[0].mText.toStdString();
    EXPECT_EQ(CatalogText(), mCatalogBefore);
    EXPECT_EQ(HomeFiles(), mFilesBefore);
    EXPECT_FALSE(Store().StoreProgressShown());
    // The window goes on: the store's home page opens.
    Click("btnHome");
    EXPECT_TRUE(WaitPage(store.mProcess.PlainBase() + QStringLiteral("/downloadStore/")));
    mWindow.reset();
  }
}

} // namespace
