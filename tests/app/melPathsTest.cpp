#include "melPaths.h"
#include "melTestEnv.h"

namespace {

struct tPathCase {
  const char *mBase;
  const char *mPath;
  const char *mResult;
};

class ExpandRelativePathTest : public ::testing::TestWithParam<tPathCase> {};

TEST_P(ExpandRelativePathTest, Resolves) {
  const tPathCase &c = GetParam();
  EXPECT_EQ(ExpandRelativePath(QString::fromUtf8(c.mBase), QString::fromUtf8(c.mPath)),
            QString::fromUtf8(c.mResult))
      << c.mBase << " + " << c.mPath;
  // The resolver that catalogs use gives the same text.
  EXPECT_EQ(tRelativePathResolverC(QString::fromUtf8(c.mBase)).Resolve(QString::fromUtf8(c.mPath)),
            QString::fromUtf8(c.mResult))
      << c.mBase << " + " << c.mPath;
}

constexpr const char *cBase = R"(C:\Program Files\Lessons\)";

INSTANTIATE_TEST_SUITE_P(
    Cases, ExpandRelativePathTest,
    ::testing::Values(
        tPathCase{cBase, R"(Catalog.xml)", R"(C:\Program Files\Lessons\Catalog.xml)"},
        tPathCase{cBase, R"(.\Media\a.mov)", R"(C:\Program Files\Lessons\Media\a.mov)"},
        tPathCase{cBase, R"(Media/Guitar/a.mov)", R"(C:\Program Files\Lessons\Media\Guitar\a.mov)"},
        tPathCase{cBase, R"(..\Shared\b.pdf)", R"(C:\Program Files\Shared\b.pdf)"},
        tPathCase{cBase, R"(..\..\..\x.txt)", R"(C:\x.txt)"},
        tPathCase{cBase, R"(..\..\..\..\..\x.txt)", R"(C:\x.txt)"},
        tPathCase{cBase, R"(\Data\c.xml)", R"(C:\Data\c.xml)"},
        tPathCase{cBase, R"(/Data/c.xml)", R"(C:/Data/c.xml)"},
        tPathCase{cBase, R"(D:\Lessons\Catalog.xml)", R"(D:\Lessons\Catalog.xml)"},
        tPathCase{cBase, R"(\\server\share\x.xml)", R"(\\server\share\x.xml)"},
        tPathCase{cBase, R"(http://store.example/a.mov)", R"(http://store.example/a.mov)"},
        tPathCase{cBase, R"(a\..\b.txt)", R"(C:\Program Files\Lessons\a\..\b.txt)"},
        tPathCase{cBase, R"(..\.\b.txt)", R"(C:\Program Files\.\b.txt)"},
        tPathCase{R"(\\srv\share\app\)", R"(..\x)", R"(\\srv\share\x)"},
        tPathCase{R"(\\srv\share\app\)", R"(\top.xml)", R"(\\srv\share\top.xml)"},
        // The program folder of this system: slashes become backslashes.
        tPathCase{"/home/ann/.local/share/Melodra/", "Catalog.xml",
                  R"(\home\ann\.local\share\Melodra\Catalog.xml)"},
        tPathCase{"/home/ann/.local/share/Melodra/", R"(video\clip.mov)",
                  R"(\home\ann\.local\share\Melodra\video\clip.mov)"},
        tPathCase{"/home/ann/.local/share/Melodra/", "/srv/lessons/up.png", "/srv/lessons/up.png"},
        tPathCase{"/home/ann/", R"(..\..\..\x)", R"(\x)"}));

TEST(LocalPathTest, TurnsStoredSeparatorsIntoSlashes) {
  EXPECT_EQ(LocalPath(ExpandRelativePath(QStringLiteral("/srv/Melodra/"),
                                         QStringLiteral(R"(video\Guitar\a.mov)"))),
            QStringLiteral("/srv/Melodra/video/Guitar/a.mov"));
}

class ProgramFolderTest : public TTempHomeTest {};

TEST_F(ProgramFolderTest, IsMelodraHomeElseTheDataFolder) {
  EXPECT_EQ(ProgramFolder(), Home());
  qunsetenv("MELODRA_HOME");
  EXPECT_EQ(ProgramFolder(), Home() + QStringLiteral("xdg-data/Melodra/"));
}

} // namespace
