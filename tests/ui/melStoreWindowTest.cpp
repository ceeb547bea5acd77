// The window's store against the demo store on ephemeral loopback ports, with
// the real web engine: pages, the download links it takes over, the login
// cookie and what a purchase leaves in the catalog file and the view.
#include "melCatalogListView.h"
#include "melMovieView.h"
#include "melQProgBar.h"
#include "melQTControl.h"
#include "melStoreWindowSupport.h"
#include "melTestClip.h"

#include <QDir>

#include <cstdlib>

#include <unistd.h>

namespace {

// Before the application object: Chromium's sandbox cannot start as root.
const bool cSandboxSet = [] {
  if (geteuid() == 0)
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  return true;
}();

TEST_F(StoreWindowTest, APurchaseEndsAsNotDownloadedEpisodesInTheFileAndTheView) {
  OpenWindow();
  EXPECT_EQ(Store().WebBrowser(), nullptr) << "no web engine before the store is opened";
  Click("fStoreBtn");
  const QString start = gStore->mProcess.SecureBase() + QStringLiteral("/downloadStore/index.php");
  ASSERT_TRUE(WaitPage(start));
  EXPECT_TRUE(Store().StoreShown());
  EXPECT_TRUE(Browser()->isVisible());
  EXPECT_FALSE(Control<QLabel>("fLogoImg")->isVisible());
  EXPECT_FALSE(Control<QLabel>("fTitleLbl")->isVisible());
  EXPECT_TRUE(Control<QWidget>("ProgBarPnl")->isVisible());
  EXPECT_TRUE(Control<QLabel>("ProgBarIcon")->isVisible());

  const QStringList links = DownloadLinks();
  ASSERT_FALSE(links.isEmpty());
  const QString item = links.first().section(u'=', 1);
  // Then the downloads start, which asks for the login first.
  const std::vector<tSeenBoxC> boxes = RunAnsweringBoxes(
      [&] {
        RunScript(
            QStringLiteral("document.querySelector('a[href*=\"downloadRedirect.php\"]').click()"));
        ASSERT_TRUE(
            WaitFor([&] { return NotDownloaded() > 0 && !Store().StoreProgressShown(); }, cPageMs));
        QTest::qWait(200);
      },
      QMessageBox::Cancel);
  EXPECT_EQ(LoginOffers(boxes), 1);
  EXPECT_TRUE(Errors(boxes).empty());
  // The link was the window's to follow, not the browser's.
  EXPECT_EQ(Browser()->LocationURL(), start);
  EXPECT_TRUE(gStore->SawSoon(
      QStringLiteral("http HEAD /downloadStore/downloadRedirect.php?item=") + item));
  EXPECT_TRUE(gStore->SawSoon(QStringLiteral("http GET /downloadStore/download.php?item=") + item));
  EXPECT_FALSE(gStore->Saw(QStringLiteral("http GET /downloadStore/downloadRedirect.php")));

  // The view was reloaded from the file: "All" lists every new episode.
  EXPECT_EQ(
      mWindow->findChild<TCatalogListView *>(QStringLiteral("fContentLv"))->topLevelItemCount(),
      NotDownloaded());
  EXPECT_GT(NotDownloaded(), 0);
}

TEST_F(StoreWindowTest, OnlyPlainDownloadLinksAreTakenOverWhereverTheyStand) {
  OpenWindow();
  Store().OpenStore();
  const QString start = gStore->mProcess.SecureBase() + QStringLiteral("/downloadStore/index.php");
  ASSERT_TRUE(WaitPage(start));
  const QStringList links = DownloadLinks();
  ASSERT_GE(links.size(), 2);
  const QString secure =
      QString(links[0]).replace(gStore->mProcess.PlainBase(), gStore->mProcess.SecureBase());
  const QString carried = start + QStringLiteral("?next=") + links[1];

  const QByteArray before = CatalogText();
  Browser()->Navigate(secure);
  ASSERT_TRUE(WaitPage(secure)) << "the secure link is an ordinary page";
  EXPECT_EQ(CatalogText(), before);

  // Taken over: the window asks the page it names for the Download header,
  // finds none, and the store has no lessons for an empty query.
  std::vector<tSeenBoxC> boxes = RunAnsweringBoxes([&] {
    Browser()->Navigate(carried);
    WaitFor([&] { return gStore->Saw(QStringLiteral("http GET /downloadStore/download.php?")); },
            cPageMs);
    QTest::qWait(200);
  });
  EXPECT_TRUE(gStore->SawSoon(QStringLiteral("https HEAD /downloadStore/index.php?next=")));
  EXPECT_FALSE(gStore->Saw(QStringLiteral("https GET /downloadStore/index.php?next=")));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].mText.startsWith(
      QStringLiteral("The store did not send the lessons of this purchase: ")))
      << boxes[0].mText.toStdString();
  EXPECT_EQ(CatalogText(), before);
  EXPECT_EQ(Browser()->LocationURL(), secure);
  EXPECT_FALSE(Store().StoreProgressShown());
}

TEST_F(StoreWindowTest, PopupPagesShowNoProgressAndTheStopButtonEndsIt) {
  OpenWindow();
  Store().OpenStore();
  const QString secure = gStore->mProcess.SecureBase();
  ASSERT_TRUE(WaitPage(secure + QStringLiteral("/downloadStore/index.php")));
  std::vector<bool> progress;
  // After the window's own handler.
  QObject::connect(Browser(), &TWebBrowser::BeforeNavigate2, Browser(),
                   [&](TWebBrowser *, const tBrowserObjectC &aObject, const QString &, bool *) {
                     if (aObject.mMainFrame)
                       progress.push_back(Store().StoreProgressShown());
                   });
  for (const auto &[page, shown] : {std::pair{"/downloadStore/support.php?popupWindow=1", false},
                                    {"/downloadStore/frame.php", true}}) {
    Browser()->Navigate(secure + QLatin1String(page));
    ASSERT_TRUE(WaitPage(secure + QLatin1String(page))) << page;
    ASSERT_FALSE(progress.empty()) << page;
    EXPECT_EQ(progress.back(), shown) << page;
  }
  // The busy bar: empty, its stripes running.
  Store().ShowStoreProgress();
  auto *bar = Control<TQProgressBar>("ProgBar");
  EXPECT_TRUE(bar->isVisible());
  EXPECT_TRUE(bar->BarberPoleRunning());
  EXPECT_EQ(bar->Pixel(), 0);
  EXPECT_EQ(bar->size(), QSize(201, 12));
  Click("ProgBarBtn");
  EXPECT_FALSE(Store().StoreProgressShown());
  EXPECT_TRUE(Control<QLabel>("ProgBarIcon")->isVisibleTo(mWindow.get()));
}

TEST_F(StoreWindowTest, HomeOpensTheStartPageWhenHiddenAndThePlainHomeWhenShown) {
  OpenWindow();
  Click("btnHome");
  const QString start = gStore->mProcess.SecureBase() + QStringLiteral("/downloadStore/index.php");
  ASSERT_TRUE(WaitPage(start));
  Click("btnHome");
  ASSERT_TRUE(WaitPage(gStore->mProcess.PlainBase() + QStringLiteral("/downloadStore/")));
  EXPECT_TRUE(gStore->SawSoon(QStringLiteral("http GET /downloadStore/ 200")));
  // History now allows going back, and back again forward.
  ASSERT_TRUE(WaitFor([&] { return Control<TImageButton>("btnBack")->isEnabled(); }));
  EXPECT_FALSE(Control<TImageButton>("btnForward")->isEnabled());
  Click("btnBack");
  ASSERT_TRUE(WaitPage(start));
  ASSERT_TRUE(WaitFor([&] { return Control<TImageButton>("btnForward")->isEnabled(); }));
}

TEST_F(StoreWindowTest, TheLoginCookieComesFromSecureStorePagesOnly) {
  OpenWindow();
  const QString secure = gStore->mProcess.SecureBase();
  Store().OpenLoginPage();
  ASSERT_TRUE(WaitPage(secure + QStringLiteral("/downloadStore/login.php")));
  EXPECT_FALSE(Store().Session().LoggedIn());
  RunScript(QStringLiteral("document.getElementById('user').value = 'demo';"
                           "document.getElementById('password').value = 'lessons';"
                           "document.querySelector('form').submit();"));
  ASSERT_TRUE(WaitFor([&] { return Store().Session().LoggedIn(); }, cPageMs));
  EXPECT_TRUE(Store().GetStoreCookie().contains(QLatin1String("customerLogin=")));
  EXPECT_TRUE(RunAnsweringBoxes([&] { EXPECT_TRUE(Store().CheckStoreLogin()); }).empty());

  // The plain home page leaves the session as it is; a secure page without
  // the cookie ends it.
  Click("btnHome");
  ASSERT_TRUE(WaitPage(gStore->mProcess.PlainBase() + QStringLiteral("/downloadStore/")));
  EXPECT_TRUE(Store().Session().LoggedIn());
  Browser()->Navigate(secure + QStringLiteral("/downloadStore/logout.php"));
  ASSERT_TRUE(WaitFor([&] { return !Store().Session().LoggedIn(); }, cPageMs));
}

TEST_F(StoreWindowTest, PlayingALessonTakesTheMoviePanelBackFromTheStore) {
  ASSERT_NO_FATAL_FAILURE(WriteOneClipCatalog());
  OpenWindow();
  Store().OpenStore();
  ASSERT_TRUE(WaitPage(gStore->mProcess.SecureBase() + QStringLiteral("/downloadStore/index.php")));
  auto *episodes = Control<TCatalogListView>("fContentLv");
  ASSERT_EQ(episodes->topLevelItemCount(), 1);
  // A selection loads its preview under the page: the video surface would
  // draw over the store.
  TQTControl *movie = mWindow->MovieControl();
  episodes->setCurrentItem(episodes->topLevelItem(0));
  ASSERT_TRUE(WaitFor([&] { return movie->Movie() != nullptr; }));
  EXPECT_FALSE(movie->isVisible());
  EXPECT_TRUE(Browser()->isVisible());

  emit episodes->itemDoubleClicked(episodes->topLevelItem(0), 0);
  EXPECT_FALSE(Store().StoreShown());
  EXPECT_FALSE(Browser()->isVisible());
  EXPECT_TRUE(movie->isVisible());
  EXPECT_FALSE(Control<QWidget>("ProgBarPnl")->isVisible());
  EXPECT_FALSE(Control<QLabel>("fLogoImg")->isVisible());
  EXPECT_TRUE(Control<QLabel>("fTitleLbl")->isVisible());

  // The store opened over a movie covers it.
  Click("fStoreBtn");
  EXPECT_TRUE(Browser()->isVisible());
  EXPECT_FALSE(movie->isVisible());
}

TEST_F(StoreWindowTest, TheStoreOpensOverAPlayingLesson) {
  // With the movie's own native window, which the suite otherwise leaves out.
  const QByteArray noVideo = qgetenv("MELODRA_NO_VIDEO_OUTPUT");
  qunsetenv("MELODRA_NO_VIDEO_OUTPUT");
  struct tRestoreC {
    QByteArray mValue;
    ~tRestoreC() {
      if (!mValue.isNull())
        qputenv("MELODRA_NO_VIDEO_OUTPUT", mValue);
    }
  } restore{noVideo};
  ASSERT_NO_FATAL_FAILURE(WriteOneClipCatalog());
  // Long enough to watch it go on under the store.
  ASSERT_EQ(
      MakeTestClip(HomeFile(QStringLiteral("video/clip.mp4")), {QSize(160, 120), 25, 4, false}),
      QString());
  OpenWindow();
  auto *episodes = Control<TCatalogListView>("fContentLv");
  episodes->setCurrentItem(episodes->topLevelItem(0));
  emit episodes->itemDoubleClicked(episodes->topLevelItem(0), 0);
  ASSERT_TRUE(WaitFor([&] { return mWindow->PlayState() == TMain::psPlaying; }));
  QTest::qWait(300);
  // The web engine is made now, beside the movie's own native window.
  Click("fStoreBtn");
  ASSERT_TRUE(WaitPage(gStore->mProcess.SecureBase() + QStringLiteral("/downloadStore/index.php")));
  EXPECT_TRUE(Browser()->isVisible());
  EXPECT_FALSE(mWindow->MovieControl()->isVisible());
  // The lesson plays on under the page.
  const auto time = [&] {
    TQTMovie *movie = mWindow->MovieControl()->Movie();
    return movie ? movie->Time() : -1;
  };
  const int64_t before = time();
  EXPECT_GE(before, 0);
  EXPECT_TRUE(WaitFor([&] { return time() > before + 500; }, 3000)) << before << " " << time();

  // Back to the lesson: its picture is drawn again.
  emit episodes->itemDoubleClicked(episodes->topLevelItem(0), 0);
  ASSERT_FALSE(Store().StoreShown());
  TMovieView *view = mWindow->MovieControl()->View();
  ASSERT_NE(view, nullptr);
  const int drawn = view->FramesDrawn();
  EXPECT_TRUE(WaitFor([&] { return view->FramesDrawn() > drawn + 5; }, 10000));
}

// Another collection than the store's own.
class OtherApplicationStoreTest : public StoreWindowTest {
protected:
  void SetUp() override {
    StoreWindowTest::SetUp();
    mApplication->mName = QStringLiteral("Guitar Lessons");
  }
};

TEST_F(OtherApplicationStoreTest, ShopAndHomeSayTheStoreIsTheStoreApplicationsAlone) {
  OpenWindow();
  for (const char *button : {"fStoreBtn", "btnHome"}) {
    const std::vector<tSeenBoxC> boxes = RunAnsweringBoxes([&] { Click(button); });
    ASSERT_EQ(boxes.size(), 1u) << button;
    EXPECT_EQ(boxes[0].mCaption, QStringLiteral("Confirm"));
    EXPECT_EQ(boxes[0].mIcon, QMessageBox::Question);
    EXPECT_EQ(boxes[0].mButtons, QMessageBox::Ok);
    EXPECT_EQ(boxes[0].mText,
              QStringLiteral("In order to open Download Store you need to close the "
                             "application, \n\rrun it again and click Download Store button on "
                             "the initial pop up window."));
  }
  EXPECT_FALSE(Store().StoreShown());
  EXPECT_EQ(Store().WebBrowser(), nullptr);
}

TEST_F(OtherApplicationStoreTest, TheLoginCheckOffersTheLoginPageAllTheSame) {
  OpenWindow();
  for (const auto answer : {QMessageBox::Cancel, QMessageBox::Ok}) {
    bool result = true;
    const std::vector<tSeenBoxC> boxes =
        RunAnsweringBoxes([&] { result = Store().CheckStoreLogin(); }, answer);
    EXPECT_FALSE(result);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].mCaption, QStringLiteral("Information"));
    EXPECT_EQ(boxes[0].mIcon, QMessageBox::Information);
    EXPECT_EQ(boxes[0].mButtons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(boxes[0].mText, QStringLiteral("You must be logged in to download files. Click OK "
                                             "to log in now."));
    EXPECT_EQ(Store().StoreShown(), answer == QMessageBox::Ok);
  }
  EXPECT_TRUE(WaitPage(gStore->mProcess.SecureBase() + QStringLiteral("/downloadStore/login.php")));
}

} // namespace
