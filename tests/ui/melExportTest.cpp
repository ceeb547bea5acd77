#include "melExportController.h"

#include "melAbout.h"
#include "melApplications.h"
#include "melCatalog.h"
#include "melMediaLibrary.h"
#include "melUiTestSupport.h"
#include "melUtil.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {

QByteArray Lesson(const char *aName, const char *aIPodFile) {
  return QByteArray("<File name=\"") + aName + "\"><Filename>video\\" + aName +
         ".mov</Filename><iPodFile>" + aIPodFile + "</iPodFile><FileType>Movie</FileType><URL>u-" +
         aName + "</URL><Status>Downloaded</Status></File>";
}

// A catalog of lessons with and without their files, the music folder in the
// temporary home and the desktop's "open" requests recorded.
class ExportTest : public TStoreApplicationTest {
protected:
  void SetUp() override {
    TStoreApplicationTest::SetUp();
    WriteFile(HomeFile(QStringLiteral("xdg-config/user-dirs.dirs")),
              "XDG_MUSIC_DIR=\"" + QFile::encodeName(HomeFile(QStringLiteral("Music"))) + "\"\n");
    ASSERT_TRUE(PlaylistsFolder().startsWith(Home()));
    WriteFile(HomeFile(QStringLiteral("Catalog.xml")),
              BluesCatalogXml(Lesson("Both", "iPod\\Both.m4v") +
                              Lesson("Movie only", "iPod\\Movie only.m4v") +
                              Lesson("Nothing", "iPod\\Nothing.m4v")));
    for (const char *file : {"video/Both.mov", "iPod/Both.m4v", "video/Movie only.mov"})
      WriteFile(HomeFile(QString::fromUtf8(file)), "movie");
    mCatalog = std::make_unique<tCatalogC>(CatalogFilePath());
    mController = std::make_unique<TExportController>(mCatalog);
    mController->SetCurrentPath([this] { return mCurrentPath; });
    for (const char *scheme : {"file", "https", "http"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &mRecorder, "Open");
  }
  void TearDown() override {
    for (const char *scheme : {"file", "https", "http"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    mController.reset();
    mCatalog.reset();
    TStoreApplicationTest::TearDown();
  }

  QString Playlist() const { return HomeFile(QStringLiteral("Music/Playlists/Melodra.m3u8")); }
  static QString Basics(const char *aName) {
    return QStringLiteral("\\Guitar\\Blues\\Basics\\") + QString::fromUtf8(aName);
  }

  std::unique_ptr<tCatalogC> mCatalog;
  std::unique_ptr<TExportController> mController;
  QString mCurrentPath;
  TUrlRecorder mRecorder;
};

TEST_F(ExportTest, TheIPodFileGoesToThePlaylistWhenItExistsElseTheMovie) {
  const QString player = HomeFile(QStringLiteral("player"));
  ASSERT_TRUE(QDir().mkpath(player));
  WriteRegistry({QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Options]"),
                 QStringLiteral("\"PortablePlayerFolder\"=\"%1\"").arg(player)});
  for (const char *name : {"Both", "Movie only"}) {
    mCurrentPath = Basics(name);
    EXPECT_TRUE(RunAnsweringBoxes([this] { mController->Export1Click(); }).empty()) << name;
  }
  EXPECT_EQ(ReadPlaylist(Playlist()),
            (QList<tPlaylistEntryC>{
                {QStringLiteral("Both"), HomeFile(QStringLiteral("iPod/Both.m4v"))},
                {QStringLiteral("Movie only"), HomeFile(QStringLiteral("video/Movie only.mov"))}}));
  // Each export shows the playlist and updates the player.
  EXPECT_EQ(mRecorder.mUrls, QList<QUrl>(2, QUrl::fromLocalFile(Playlist())));
  EXPECT_EQ(ReadPlaylist(player + QStringLiteral("/Melodra.m3u8")).size(), 2);
  EXPECT_TRUE(QFileInfo::exists(player + QStringLiteral("/Melodra/Movie only.mov")));
}

TEST_F(ExportTest, ADesktopWithoutAPlayerForThePlaylistLeavesTheExportDone) {
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  OpenTestLog();
  mCurrentPath = Basics("Both");
  EXPECT_TRUE(RunAnsweringBoxes([this] { mController->Export1Click(); }).empty());
  EXPECT_EQ(ReadPlaylist(Playlist()).size(), 1);
  EXPECT_TRUE(
      LogMessages().contains(QStringLiteral("The desktop has no program that opens ") + Playlist()))
      << LogMessages().join(u'\n').toStdString();
}

TEST_F(ExportTest, ALessonThatCannotBeExportedSaysWhyAndWritesNothing) {
  const struct {
    QString mPath;
    QString mMessage;
  } cases[] = {
      {Basics("Removed"),
       QStringLiteral("The lesson \\Guitar\\Blues\\Basics\\Removed is no longer in the catalog; "
                      "nothing was exported.")},
      {QStringLiteral("\\Guitar\\Blues"),
       QStringLiteral("The lesson \\Guitar\\Blues is no longer in the catalog; nothing was "
                      "exported.")},
      {QString(), QStringLiteral("No lesson has been opened to export.")},
      {Basics("Nothing"), QStringLiteral("The file of the lesson Nothing is missing: ") +
                              HomeFile(QStringLiteral("video/Nothing.mov")) + u'.'},
  };
  for (const auto &[path, message] : cases) {
    SCOPED_TRACE(path.toStdString());
    mCurrentPath = path;
    const auto seen = RunAnsweringBoxes([this] { mController->Export1Click(); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].mCaption, QStringLiteral("Melodra"));
    EXPECT_EQ(seen[0].mIcon, QMessageBox::Critical);
    EXPECT_EQ(seen[0].mText, message);
  }
  EXPECT_FALSE(QFileInfo::exists(HomeFile(QStringLiteral("Music"))));
  EXPECT_TRUE(mRecorder.mUrls.isEmpty());
}

TEST_F(ExportTest, TheSupportAndUpdatePagesOpenOnTheStoreServer) {
  ASSERT_FALSE(GetProgramVersion().isEmpty());
  const struct {
    QStringList mSettings;
    QString mBase;
  } cases[] = {
      {{}, QStringLiteral("https://127.0.0.1:8443")},
      {{QStringLiteral("\"StoreHost\"=\"store.example\""),
        QStringLiteral("\"StoreHttpsPort\"=dword:000001bb")},
       QStringLiteral("https://store.example")},
  };
  for (const auto &[settings, base] : cases) {
    SCOPED_TRACE(base.toStdString());
    WriteRegistry(QStringList{QStringLiteral(
                      "[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Options]")} +
                  settings);
    mRecorder.mUrls.clear();
    mController->SupportPage1Click();
    mController->CheckVersion1Click();
    ASSERT_EQ(mRecorder.mUrls.size(), 2);
    EXPECT_EQ(mRecorder.mUrls[0].toString(), base + QStringLiteral("/support.php"));
    EXPECT_EQ(mRecorder.mUrls[1].toString(),
              base + QStringLiteral("/pc-updates.php?version=") + GetProgramVersion());
  }
}

TEST_F(ExportTest, AboutShowsTheBoxModallyAndExitClosesTheWindow) {
  QWidget window;
  window.show();
  TAbout about(&window);
  mController->SetMainWindow(&window);
  mController->SetAboutBox(&about);
  QWidget *shown = nullptr;
  QTimer::singleShot(0, [&shown] {
    shown = QApplication::activeModalWidget();
    if (shown)
      shown->close();
  });
  mController->About1Click();
  EXPECT_EQ(shown, &about);
  mController->Exit1Click();
  EXPECT_FALSE(window.isVisible());
}

} // namespace
