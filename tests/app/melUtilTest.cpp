#include "melUtil.h"
#include "melLogging.h"
#include "melRegistry.h"
#include "melTestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

class UtilTest : public TTempHomeTest {};

TEST_F(UtilTest, LastPathIsKeptPerApplication) {
  EXPECT_EQ(ReadLastPath(QStringLiteral("Guitar")), QString());
  WriteLastPath(QStringLiteral("Guitar"), QStringLiteral("\\Guitar\\Blues\\Lesson 1"));
  WriteLastPath(QStringLiteral("Download Store"), QStringLiteral("\\Piano\\Scales\\C major"));
  EXPECT_EQ(ReadLastPath(QStringLiteral("Guitar")), QStringLiteral("\\Guitar\\Blues\\Lesson 1"));
  EXPECT_EQ(ReadLastPath(QStringLiteral("Download Store")),
            QStringLiteral("\\Piano\\Scales\\C major"));
  WriteLastPath(QStringLiteral("Guitar"), QString());
  EXPECT_EQ(ReadLastPath(QStringLiteral("Guitar")), QString());
  EXPECT_EQ(ReadLastPath(QStringLiteral("Drums")), QString());
}

TEST_F(UtilTest, LastPathOfAnotherTypeRaises) {
  WriteRegistry(
      {QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Options\\Guitar]"),
       QStringLiteral("\"LastPath\"=dword:00000001")});
  EXPECT_THROW(ReadLastPath(QStringLiteral("Guitar")), ERegistryException);
}

TEST_F(UtilTest, WritingLastPathWhereNothingCanBeWrittenIsSkipped) {
  WriteFile(HomeFile(QStringLiteral("plain")), "x");
  qputenv("MELODRA_HOME", QFile::encodeName(HomeFile(QStringLiteral("plain"))));
  EXPECT_NO_THROW(WriteLastPath(QStringLiteral("Guitar"), QStringLiteral("\\a")));
  EXPECT_EQ(ReadLastPath(QStringLiteral("Guitar")), QString());
}

TEST_F(UtilTest, VersionTextComesFromTheProgramFile) {
  EXPECT_EQ(GetFileVersionString(QCoreApplication::applicationFilePath()),
            QStringLiteral("1.5.0.61"));
  EXPECT_EQ(GetProgramVersion(), QStringLiteral("1.5.0.61"));
  EXPECT_EQ(GetFileVersionString(QStringLiteral("/bin/sh")), QString());
}

TEST_F(UtilTest, MoveToRecycleBinTrashesTheFileAndLogsTheOperation) {
  OpenTestLog();
  const QString file = HomeFile(QStringLiteral("video/clip.mov"));
  WriteFile(file, "movie");
  // Catalog paths arrive in their stored form, backslashes and all.
  QString stored = file;
  stored.replace(u'/', u'\\');
  MoveToRecycleBin(stored, 77);
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_TRUE(QFile::exists(Home() + QStringLiteral("xdg-data/Trash/files/clip.mov")));
  EXPECT_EQ(LogMessages(), (QStringList{QStringLiteral("77"), QStringLiteral("3"), stored,
                                        QStringLiteral("84"), QString()}));
}

TEST_F(UtilTest, MoveToRecycleBinSendsNoFolderToTheTrash) {
  // A catalog may name a folder or a link by an earlier import or a hand
  // edit; only a file goes, and a link goes as the link, never its target.
  OpenTestLog();
  const QString trash = Home() + QStringLiteral("xdg-data/Trash/files/");
  const QString lessons = HomeFile(QStringLiteral("lessons/"));
  WriteFile(lessons + QStringLiteral("pdf/sheet.pdf"), "sheet");
  WriteFile(lessons + QStringLiteral("video/clip.mov"), "movie");
  ASSERT_TRUE(QFile::link(lessons + QStringLiteral("pdf"), lessons + QStringLiteral("to-folder")));
  ASSERT_TRUE(
      QFile::link(lessons + QStringLiteral("video/clip.mov"), lessons + QStringLiteral("to-file")));
  ASSERT_TRUE(QFile::link(lessons + QStringLiteral("gone"), lessons + QStringLiteral("dangling")));
  // In this order, so that a folder trashed by mistake cannot hide the
  // outcome for the links into it.
  struct tCase {
    const char *mName;
    bool mStays; // still in its place afterwards
  };
  const tCase cases[] = {
      {"to-file", false}, {"to-folder", true}, {"dangling", true}, {"missing", false},
      {"pdf/..", true},   {"video/", true},    {"pdf", true},
  };
  for (const tCase &c : cases) {
    const QString local = lessons + QString::fromUtf8(c.mName);
    QString stored = local;
    stored.replace(u'/', u'\\');
    MoveToRecycleBin(stored, 1);
    const QFileInfo info(local);
    EXPECT_EQ(info.exists() || info.isSymLink(), c.mStays) << c.mName;
  }
  EXPECT_EQ(QDir(trash).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
            QStringList{QStringLiteral("to-file")});
  EXPECT_EQ(ReadFile(lessons + QStringLiteral("pdf/sheet.pdf")), QByteArray("sheet"));
  EXPECT_EQ(ReadFile(lessons + QStringLiteral("video/clip.mov")), QByteArray("movie"));
  EXPECT_TRUE(QFileInfo(lessons + QStringLiteral("to-folder")).isSymLink());
}

} // namespace
