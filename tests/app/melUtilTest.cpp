#include "melUtil.h"
#include "melLogging.h"
#include "melRegistry.h"
#include "melTestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

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

} // namespace
