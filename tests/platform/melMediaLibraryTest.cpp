#include "melMediaLibrary.h"
#include "melErrors.h"
#include "melTestClip.h"
#include "melTestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

// The desktop's music folder points into the temporary home.
class MediaLibraryTest : public TTempHomeTest {
protected:
  void SetUp() override {
    TTempHomeTest::SetUp();
    WriteFile(HomeFile(QStringLiteral("xdg-config/user-dirs.dirs")),
              "XDG_MUSIC_DIR=\"" + QFile::encodeName(HomeFile(QStringLiteral("Music"))) + "\"\n");
    ASSERT_EQ(PlaylistsFolder(), HomeFile(QStringLiteral("Music/Playlists")));
  }

  // A file of aSize bytes.
  QString Lesson(const QString &aRelative, int aSize = 10) const {
    const QString path = HomeFile(aRelative);
    WriteFile(path, QByteArray(aSize, 'm'));
    return path;
  }
  static QString Text(const QString &aFile) { return QString::fromUtf8(ReadFile(aFile)); }
};

TEST_F(MediaLibraryTest, ExportingTwiceMakesThePlaylistOnceAndAppendsBothEntries) {
  const QString first = Lesson(QStringLiteral("video/Lesson 1.mov"));
  const QString second = Lesson(QStringLiteral("iPod/Leçon à deux ♪.m4v"));

  const QString playlist = FindOrCreatePlaylist(QStringLiteral("Melodra"));
  EXPECT_EQ(playlist, HomeFile(QStringLiteral("Music/Playlists/Melodra.m3u8")));
  AddToPlaylist(playlist, first, QStringLiteral("Lesson 1"));
  ASSERT_EQ(FindOrCreatePlaylist(QStringLiteral("Melodra")), playlist);
  // A title cannot break the entry's two lines apart.
  AddToPlaylist(playlist, second, QStringLiteral("Leçon à deux\n♪"));

  EXPECT_EQ(QDir(PlaylistsFolder()).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("Melodra.m3u8")});
  EXPECT_EQ(Text(playlist), QStringLiteral("#EXTM3U\n"
                                           "#EXTINF:-1,Lesson 1\n") +
                                first +
                                QStringLiteral("\n"
                                               "#EXTINF:-1,Leçon à deux ♪\n") +
                                second + u'\n');
  EXPECT_EQ(ReadPlaylist(playlist),
            (QList<tPlaylistEntryC>{{QStringLiteral("Lesson 1"), first},
                                    {QStringLiteral("Leçon à deux ♪"), second}}));
}

TEST_F(MediaLibraryTest, AddingKeepsWhatAPlaylistAlreadyHolds) {
  const QString lesson = Lesson(QStringLiteral("video/New.mov"));
  const QByteArray added = "#EXTINF:-1,New\n" + QFile::encodeName(lesson) + '\n';
  const struct {
    QByteArray mBefore;
    QByteArray mAfter;
  } cases[] = {
      {"", "#EXTM3U\n" + added},
      {"#EXTM3U\n/music/old.mp3", "#EXTM3U\n/music/old.mp3\n" + added},
      // A plain list gets the header its new titles need.
      {"/music/old.mp3\n", "#EXTM3U\n/music/old.mp3\n" + added},
      {"\xEF\xBB\xBF#EXTM3U\r\n/music/old.mp3\r\n",
       "\xEF\xBB\xBF#EXTM3U\r\n/music/old.mp3\r\n" + added},
  };
  const QString playlist = PlaylistFile(QStringLiteral("Melodra"));
  for (const auto &[before, after] : cases) {
    SCOPED_TRACE(before.toStdString());
    WriteFile(playlist, before);
    ASSERT_EQ(FindOrCreatePlaylist(QStringLiteral("Melodra")), playlist);
    AddToPlaylist(playlist, lesson, QStringLiteral("New"));
    EXPECT_EQ(ReadFile(playlist), after);
  }
}

TEST_F(MediaLibraryTest, AFileWhoseNameBreaksTheLineIsRefusedAndThePlaylistStays) {
  const QString playlist = FindOrCreatePlaylist(QStringLiteral("Melodra"));
  const QString odd = Lesson(QStringLiteral("video/two\nlines.mov"));
  EXPECT_THROW(AddToPlaylist(playlist, odd, QStringLiteral("Odd")), EMelError);
  EXPECT_EQ(ReadFile(playlist), "#EXTM3U\n");
}

TEST_F(MediaLibraryTest, ThePortablePlayerGetsThePlaylistAndItsFilesWhenItsFolderExists) {
  const QString playlist = FindOrCreatePlaylist(QStringLiteral("Melodra"));
  const QString first = Lesson(QStringLiteral("video/Lesson.mov"), 10);
  const QString sameName = Lesson(QStringLiteral("other/lesson.mov"), 20);
  AddToPlaylist(playlist, first, QStringLiteral("One"));
  AddToPlaylist(playlist, sameName, QStringLiteral("Two"));
  AddToPlaylist(playlist, first, QStringLiteral("One again"));
  AddToPlaylist(playlist, HomeFile(QStringLiteral("video/gone.mov")), QStringLiteral("Gone"));

  const QString player = HomeFile(QStringLiteral("player"));
  EXPECT_FALSE(UpdatePortablePlayer(playlist, player));
  EXPECT_FALSE(QFileInfo::exists(player));

  ASSERT_TRUE(QDir().mkpath(player));
  ASSERT_TRUE(UpdatePortablePlayer(playlist, player));
  // Names relative to the playlist; a second file of one name (FAT ignores
  // case) is numbered, one file listed twice is copied once, a missing one
  // is left out.
  EXPECT_EQ(Text(player + QStringLiteral("/Melodra.m3u8")),
            QStringLiteral("#EXTM3U\n"
                           "#EXTINF:-1,One\nMelodra/Lesson.mov\n"
                           "#EXTINF:-1,Two\nMelodra/lesson (2).mov\n"
                           "#EXTINF:-1,One again\nMelodra/Lesson.mov\n"));
  QStringList names =
      QDir(player + QStringLiteral("/Melodra")).entryList(QDir::Files | QDir::Hidden);
  names.sort();
  EXPECT_EQ(names, (QStringList{QStringLiteral("Lesson.mov"), QStringLiteral("lesson (2).mov")}));
  EXPECT_EQ(ReadFile(player + QStringLiteral("/Melodra/lesson (2).mov")), ReadFile(sameName));
  const auto copied = ReadPlaylist(player + QStringLiteral("/Melodra.m3u8"));
  ASSERT_EQ(copied.size(), 3);
  EXPECT_EQ(copied[1], (tPlaylistEntryC{QStringLiteral("Two"),
                                        player + QStringLiteral("/Melodra/lesson (2).mov")}));

  // A file changed since is copied again; one that is current is not.
  WriteFile(first, QByteArray(15, 'n'));
  WriteFile(player + QStringLiteral("/Melodra/lesson (2).mov"), QByteArray(20, 'k'));
  QFile kept(player + QStringLiteral("/Melodra/lesson (2).mov"));
  ASSERT_TRUE(kept.open(QIODevice::Append));
  ASSERT_TRUE(
      kept.setFileTime(QFileInfo(sameName).lastModified(), QFileDevice::FileModificationTime));
  kept.close();
  ASSERT_TRUE(UpdatePortablePlayer(playlist, player));
  EXPECT_EQ(ReadFile(player + QStringLiteral("/Melodra/Lesson.mov")), QByteArray(15, 'n'));
  EXPECT_EQ(ReadFile(player + QStringLiteral("/Melodra/lesson (2).mov")), QByteArray(20, 'k'));
}

// The playlist is one that a common player reads: mpv plays every entry, from
// the music folder and from the portable player's copy.
TEST_F(MediaLibraryTest, MpvPlaysEveryEntryOfThePlaylistAndOfItsPortableCopy) {
  const QString mpv = QStandardPaths::findExecutable(QStringLiteral("mpv"));
  ASSERT_FALSE(mpv.isEmpty()) << "mpv is missing; scripts/install-deps installs it";
  const QString first = HomeFile(QStringLiteral("video/First.mp4"));
  const QString second = HomeFile(QStringLiteral("iPod/Zweite Übung ♪.mp4"));
  QDir().mkpath(QFileInfo(first).path());
  QDir().mkpath(QFileInfo(second).path());
  for (const QString &clip : {first, second}) {
    const QString error = MakeTestClip(clip, {QSize(64, 48), 10, 0.4, false});
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  }
  const QString playlist = FindOrCreatePlaylist(QStringLiteral("Melodra"));
  AddToPlaylist(playlist, first, QStringLiteral("First"));
  AddToPlaylist(playlist, second, QStringLiteral("Zweite Übung"));
  const QString player = HomeFile(QStringLiteral("player"));
  ASSERT_TRUE(QDir().mkpath(player));
  ASSERT_TRUE(UpdatePortablePlayer(playlist, player));

  const struct {
    QString mPlaylist;
    QStringList mPlayed;
  } cases[] = {
      {playlist, {first, second}},
      {player + QStringLiteral("/Melodra.m3u8"),
       {player + QStringLiteral("/Melodra/First.mp4"),
        player + QStringLiteral("/Melodra/Zweite Übung ♪.mp4")}},
  };
  for (const auto &[list, played] : cases) {
    SCOPED_TRACE(list.toStdString());
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), Home());
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(mpv, {QStringLiteral("--no-config"), QStringLiteral("--vo=null"),
                        QStringLiteral("--ao=null"), QStringLiteral("--playlist=") + list,
                        QStringLiteral("--term-playing-msg=PLAYING ${path}")});
    ASSERT_TRUE(process.waitForFinished(60000)) << process.errorString().toStdString();
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
    QStringList seen;
    for (const QString &line : output.split(u'\n'))
      if (line.startsWith(QLatin1String("PLAYING ")))
        seen << QFileInfo(line.mid(8).trimmed()).absoluteFilePath();
    EXPECT_EQ(seen, played) << output.toStdString();
  }
}

} // namespace
