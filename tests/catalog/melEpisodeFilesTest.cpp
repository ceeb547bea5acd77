#include "melEpisodeFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(EpisodeFilePathTest, PlacesFilesByType) {
  struct tCase {
    const char *mName;
    const char *mType;
    const char *mPath;
  };
  const tCase cases[] = {
      {"clip.mov", "Movie", "video\\clip.mov"},
      {"clip.mov", "MOV", "video\\clip.mov"},
      {"sheet.pdf", "PDF", "pdf\\sheet.pdf"},
      {"sheet.pdf", "iPod", "iPod\\sheet.m4v"},
      {"sheet.pdf", "Acid", "ACID\\sheet.acd-zip"},
      {"lesson.part1.mov", "iPod", "iPod\\lesson.part1.m4v"},
      {"noext", "Acid", "ACID\\noext.acd-zip"},
      {".mov", "iPod", "iPod\\.m4v"},
      {"take.", "iPod", "iPod\\take.m4v"},
      {"Blues Lesson 1.MOV", "Movie", "video\\Blues Lesson 1.MOV"},
      {"a..b.mov", "Movie", "video\\a..b.mov"},
  };
  for (const tCase &c : cases)
    EXPECT_EQ(EpisodeFilePath(QString::fromUtf8(c.mName), QString::fromUtf8(c.mType)),
              QString::fromUtf8(c.mPath))
        << c.mName << " " << c.mType;
}

TEST(EpisodeFilePathTest, UnknownTypesAreRefusedByName) {
  for (const char *type : {"movie", "Pdf", "WMV", ""}) {
    try {
      EpisodeFilePath(QStringLiteral("clip.mov"), QString::fromUtf8(type));
      FAIL() << type;
    } catch (const UnknownFileTypeException &e) {
      EXPECT_EQ(e.Message(), QStringLiteral("Unknown file type:") + QString::fromUtf8(type));
    }
  }
}

TEST(EpisodeFilePathTest, NamesThatCouldLeaveTheMediaFoldersAreRefused) {
  const QString names[] = {
      QStringLiteral("../../.bashrc"),
      QStringLiteral("..\\..\\x.mov"),
      QStringLiteral("a/b.mov"),
      QStringLiteral(".."),
      QStringLiteral("."),
      QString(),
      QStringLiteral("clip\n.mov"),
      QString(QStringLiteral("clip.mov")) + QChar(0) + u'x',
      QStringLiteral("lessons.old\\clip"),
  };
  for (const QString &name : names) {
    for (const char *type : {"Movie", "iPod", "Acid"}) {
      try {
        EpisodeFilePath(name, QString::fromUtf8(type));
        FAIL() << name.toStdString() << " " << type;
      } catch (const UnsafeFileNameException &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Refused store file name \"")));
        EXPECT_FALSE(e.Message().contains(QChar(0)));
      }
    }
  }
}

TEST(StripExtensionTest, CutsAtTheLastDotAnywhere) {
  EXPECT_EQ(StripExtension(QStringLiteral("lessons.old\\clip")), QStringLiteral("lessons"));
  EXPECT_EQ(StripExtension(QStringLiteral("a.b.c")), QStringLiteral("a.b"));
  EXPECT_EQ(StripExtension(QStringLiteral("none")), QStringLiteral("none"));
  EXPECT_EQ(StripExtension(QStringLiteral(".mov")), QString());
}

} // namespace
