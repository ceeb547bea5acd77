#include "melMain.h"
#include "melAbout.h"
#include "melApplications.h"
#include "melCatalogFile.h"
#include "melLogging.h"
#include "melTestEnv.h"
#include "melUiTestSupport.h"

#include <QTest>

#include <cfenv>

namespace {

class MainWindowTest : public TStoreApplicationTest {
protected:
};

TEST_F(MainWindowTest, CreatesTheCatalogLogsStartAndCloseAndDefersTheStart) {
  auto window = std::make_unique<TMain>();
  EXPECT_EQ(
      ReadFile(HomeFile(QStringLiteral("Catalog.xml"))),
      QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\"/>\n"));
  // The store application reads the proxy of its requests; the tests run
  // without one.
  EXPECT_EQ(LogMessages(), (QStringList{QStringLiteral("Application started, version: 1.5.0.61"),
                                        QStringLiteral("Detect System Proxy settings - :0")}));
  EXPECT_FALSE(window->Proxy().mEnabled);
  // Fitted to the 640x480 logo on the offscreen 800x800 screen: the height
  // left by the frame is 473, so 631 x 489 of movie area.
  EXPECT_EQ(window->size(), QSize(671, 800));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Melodra"));

  window->show();
  EXPECT_FALSE(window->DeferredStartDone());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  ASSERT_TRUE(WaitFor([&window] { return window->DeferredStartDone(); }));

  window->close();
  window.reset();
  EXPECT_EQ(LogMessages().last(), QStringLiteral("Application closed, version: 1.5.0.61"));
}

TEST_F(MainWindowTest, OnlyTheStoreApplicationReadsTheProxy) {
  qputenv("http_proxy", "http://proxy1:8080");
  {
    TMain window;
    EXPECT_TRUE(window.Proxy().mEnabled);
    EXPECT_EQ(window.Proxy().mServer, QStringLiteral("proxy1"));
    EXPECT_EQ(window.Proxy().mPort, 8080);
  }
  mApplication->mName = QStringLiteral("Guitar Lessons");
  {
    TMain window;
    EXPECT_FALSE(window.Proxy().mEnabled);
  }
  qunsetenv("http_proxy");
  EXPECT_EQ(LogMessages().filter(QStringLiteral("Detect System Proxy")),
            QStringList{QStringLiteral("Detect System Proxy settings - proxy1:8080")});
}

TEST_F(MainWindowTest, AnExistingCatalogIsLeftUntouched) {
  WriteFile(HomeFile(QStringLiteral("Catalog.xml")), "<Catalog version=\"1.0\">mine</Catalog>");
  TMain window;
  EXPECT_EQ(ReadFile(HomeFile(QStringLiteral("Catalog.xml"))),
            QByteArray("<Catalog version=\"1.0\">mine</Catalog>"));
}

TEST_F(MainWindowTest, FloatingPointExceptionsAreMaskedWhileTheWindowExists) {
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_DIVBYZERO | FE_INVALID);
  {
    TMain window;
    EXPECT_EQ(fegetexcept(), 0);
    volatile double zero = 0.0;
    volatile double infinite = 1.0 / zero; // would trap when unmasked
    EXPECT_TRUE(std::isinf(infinite));
  }
  EXPECT_EQ(fegetexcept(), FE_DIVBYZERO | FE_INVALID);
  fedisableexcept(FE_ALL_EXCEPT);
  feclearexcept(FE_ALL_EXCEPT);
}

TEST_F(MainWindowTest, AFailureWhileCreatingIsShownAndTheWindowStillOpens) {
  WriteFile(HomeFile(QStringLiteral("plain")), "x");
  mApplication->mCatalog = QStringLiteral("plain\\Catalog.xml");
  std::unique_ptr<TMain> window;
  const auto seen = RunAnsweringBoxes([&window] { window = std::make_unique<TMain>(); });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].mCaption, QStringLiteral("Melodra"));
  EXPECT_EQ(seen[0].mIcon, QMessageBox::Critical);
  EXPECT_TRUE(seen[0].mText.startsWith(QStringLiteral("Cannot write the catalog file ")))
      << seen[0].mText.toStdString();
  EXPECT_TRUE(seen[0].mText.endsWith(u'.'));
  ASSERT_NE(window, nullptr);
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
}

TEST_F(MainWindowTest, TheAboutBoxShowsTheProgramVersion) {
  TMain window;
  TAbout about(&window);
  EXPECT_EQ(about.VersionText(), QStringLiteral("Version 1.5.0.61"));
  EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
  EXPECT_EQ(about.size(), QSize(342, 215));
}

} // namespace
