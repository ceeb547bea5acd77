#include "melEpisodeFiles.h"
#include "melPaths.h"
#include "ocLists.h"

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

// The path the catalog reader makes of a stored placement: the text trimmed,
// then resolved against the catalog file's folder.
QString ReaderPath(const QString &aBase, const QString &aStored) {
  return tRelativePathResolverC(aBase).Resolve(TrimControl(aStored));
}

TEST(EpisodeFilePathTest, NamesTheReaderWouldTakeOutsideTheFolderAreRefused) {
  // Each of these passes a look at its characters but, read back, is no file
  // inside its media folder: a colon makes the stored path an absolute one
  // that stays relative to the working folder, and the trimmed blanks leave
  // the folder itself or its parent.
  const char *const names[] = {"a:b.mov", "C:clip.mov", ".. ", ". ", "..   ", "x:"};
  for (const char *name : names) {
    for (const char *type : {"Movie", "PDF", "iPod", "Acid"}) {
      try {
        const QString path = EpisodeFilePath(QString::fromUtf8(name), QString::fromUtf8(type));
        ADD_FAILURE() << name << " " << type << " placed at " << path.toStdString();
      } catch (const UnsafeFileNameException &e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Refused store file name \"%1\": a file name may not be empty, "
                                 "\".\" or \"..\", nor hold a path separator or a control "
                                 "character")
                      .arg(QString::fromUtf8(name)));
      }
    }
  }
}

TEST(EpisodeFilePathTest, AcceptedNamesLieStrictlyInsideTheirFolderWhenRead) {
  const QString base = QStringLiteral("/home/user/Lessons/");
  struct tCase {
    const char *mName;
    const char *mType;
    const char *mFolder;
  };
  const tCase cases[] = {
      {" ..", "Movie", "video"},  {"...", "PDF", "pdf"},        {"clip.mov ", "Movie", "video"},
      {" .", "PDF", "pdf"},       {"..mov", "iPod", "iPod"},    {". mov", "iPod", "iPod"},
      {".. mov", "Acid", "ACID"}, {"a..b.mov", "MOV", "video"},
  };
  for (const tCase &c : cases) {
    const QString stored = EpisodeFilePath(QString::fromUtf8(c.mName), QString::fromUtf8(c.mType));
    const QString read = LocalPath(ReaderPath(base, stored));
    const QString folder = base + QString::fromUtf8(c.mFolder) + u'/';
    ASSERT_TRUE(read.startsWith(folder)) << c.mName << " " << read.toStdString();
    const QString file = read.mid(folder.size());
    EXPECT_FALSE(file.isEmpty() || file == QLatin1String(".") || file == QLatin1String("..") ||
                 file.contains(u'/'))
        << c.mName << " " << read.toStdString();
  }
}

TEST(StripExtensionTest, CutsAtTheLastDotAnywhere) {
  EXPECT_EQ(StripExtension(QStringLiteral("lessons.old\\clip")), QStringLiteral("lessons"));
  EXPECT_EQ(StripExtension(QStringLiteral("a.b.c")), QStringLiteral("a.b"));
  EXPECT_EQ(StripExtension(QStringLiteral("none")), QStringLiteral("none"));
  EXPECT_EQ(StripExtension(QStringLiteral(".mov")), QString());
}

} // namespace
