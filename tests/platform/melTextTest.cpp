#include "melText.h"
#include "melTestEnv.h"

namespace {

TEST(AsciiCaseTest, FoldsTheAsciiLettersOnly) {
  struct tCase {
    const char *mLeft; // UTF-8
    const char *mRight;
    int mOrder; // the sign of the comparison
  };
  const tCase cases[] = {
      {"Blues", "bLUES", 0},
      {"a", "B", -1},
      {"ab", "AB c", -1},
      // Letters fold up, so the marks between Z and a sort after them.
      {"_", "a", 1},
      {"[", "z", 1},
      // Nothing beyond ASCII folds, not even what Unicode takes as a letter
      // of another case (the Kelvin sign as k).
      {"é", "É", 1},
      {"K", "\u212A", -1},
  };
  for (const tCase &c : cases) {
    const QString left = QString::fromUtf8(c.mLeft);
    const QString right = QString::fromUtf8(c.mRight);
    const int order = CompareTextAsciiCase(left, right);
    EXPECT_EQ((order > 0) - (order < 0), c.mOrder) << c.mLeft << " / " << c.mRight;
    EXPECT_EQ(-CompareTextAsciiCase(right, left), order) << c.mLeft << " / " << c.mRight;
    EXPECT_EQ(SameTextAsciiCase(left, right), c.mOrder == 0) << c.mLeft << " / " << c.mRight;
  }
  EXPECT_TRUE(ContainsAsciiCase("<?xml encoding=\"Iso-8859-1\"", "iso-8859-1"));
  EXPECT_FALSE(ContainsAsciiCase("<?xml encoding=\"Iso-8859\"", "iso-8859-1"));
  // Latin-1 bytes of another case are other bytes.
  EXPECT_FALSE(ContainsAsciiCase("caf\xC9", "caf\xE9"));
}

} // namespace
