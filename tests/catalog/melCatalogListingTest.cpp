#include "melCatalog.h"
#include "melTestEnv.h"
#include "melTestRowSink.h"

namespace {

TEST(MatchesWordTest, MatchesWholeWordsIgnoringAsciiCase) {
  struct tCase {
    const char *mWord;
    const char *mText;
    bool mMatches;
  };
  const tCase cases[] = {
      {"rock", "Rock Band", true},
      {"rock", "Classic Rock", true},
      {"rock", "Rock'n'Roll", true},
      {"rock", "Rock2", true},
      {"rock", "Rockabilly", false},
      {"rock", "Hardrock", false},
      {"rock", "Hard Rockabilly Rock", true}, // a later position still matches
      {"caf", "café", true},                  // é is no ASCII letter
      {"CAFÉ", "café", false},                // and is not folded
      {"blues rock", "Blues Rock Jam", true},
      {"blues rock", "Rock Blues", false},
      {"rock", "", false},
      {"rock", "roc", false},
      {"a", "A", true},
      {"lesson 1", "Lesson 10", true}, // digits end no word
      {"ésson", "Léssons", false},
  };
  for (const tCase &c : cases)
    EXPECT_EQ(MatchesWord(QString::fromUtf8(c.mWord), QString::fromUtf8(c.mText)), c.mMatches)
        << c.mWord << " / " << c.mText;
}

class ListingTest : public TTempHomeTest {
protected:
  void SetUp() override {
    TTempHomeTest::SetUp();
    WriteFile(HomeFile(QStringLiteral("Catalog.xml")),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
              "<Catalog version=\"1.0\">"
              "<Category name=\"Guitar\">"
              " <Category name=\"Blues\">"
              "  <Category name=\"Basics\">"
              "   <File name=\"Shuffle\"><FileType>Movie</FileType><Artist>Ann</Artist>"
              "    <Instrument>Guitar</Instrument><Level>Beginner</Level></File>"
              "   <File name=\"Sheet\"><FileType>PDF</FileType><Artist>Rock Lee</Artist></File>"
              "   <File name=\"Old clip\"><FileType>MOV</FileType><Level>Rockabilly</Level></File>"
              "  </Category>"
              "  <Category name=\"Empty\"/>"
              " </Category>"
              "</Category>"
              "<Category name=\"Piano\">"
              " <Category name=\"Jazz\">"
              "  <Category name=\"Chords\">"
              "   <File name=\"Rock ballad\"><FileType>Movie</FileType><URL>rock</URL></File>"
              "  </Category>"
              " </Category>"
              "</Category>"
              "</Catalog>");
    mCatalog = std::make_unique<tCatalogC>(HomeFile(QStringLiteral("Catalog.xml")));
  }
  QStringList Matching(const QString &aWord) {
    QStringList paths;
    mCatalog->ForEachMatching(aWord, [&paths](tCategoryItemC &aCategory, tFileItemC &aEpisode) {
      EXPECT_EQ(aEpisode.mParent, &aCategory);
      paths << aEpisode.mPath;
    });
    return paths;
  }
  std::unique_ptr<tCatalogC> mCatalog;
};

TEST_F(ListingTest, TheRootColumnStartsWithAllAndSelectsIt) {
  tTestRowSinkC column;
  column.mRows.push_back({QStringLiteral("stale"), {}, nullptr, -1});
  mCatalog->FillCategoryView(column, QStringLiteral("\\"));
  EXPECT_EQ(column.Captions(), (QStringList{QStringLiteral("All"), QStringLiteral("Guitar"),
                                            QStringLiteral("Piano")}));
  EXPECT_EQ(column.mSelected, 0);
  EXPECT_EQ(column.mDepth, 0);
  EXPECT_EQ(column.mBatches, 1);
  const tCatalogItemC *all = column.mRows[0].mData;
  EXPECT_TRUE(all->IsCategory());
  EXPECT_FALSE(all->HasFiles());
  EXPECT_EQ(all->GetPath(), QString());
  EXPECT_EQ(column.mRows[2].mData, mCatalog->FindItem(QStringLiteral("\\Piano")));
}

TEST_F(ListingTest, CategoryColumnsListChildrenAndSelectOnlyWhenThereAreAny) {
  tTestRowSinkC column;
  mCatalog->FillCategoryView(column, QStringLiteral("\\Guitar\\Blues"));
  EXPECT_EQ(column.Captions(), (QStringList{QStringLiteral("Basics"), QStringLiteral("Empty")}));
  EXPECT_EQ(column.mSelected, 0);
  for (const char *path :
       {"\\Guitar\\Blues\\Empty", "\\Nowhere", "\\Guitar\\Blues\\Basics\\Shuffle"}) {
    mCatalog->FillCategoryView(column, QString::fromUtf8(path));
    EXPECT_TRUE(column.mRows.empty()) << path;
    EXPECT_EQ(column.mSelected, -1) << path;
  }
}

TEST_F(ListingTest, AnEmptyRootShowsOnlyAllUnselected) {
  WriteFile(HomeFile(QStringLiteral("Catalog.xml")), "<Catalog version=\"1.0\"/>");
  mCatalog->Load();
  tTestRowSinkC column;
  mCatalog->FillCategoryView(column, QStringLiteral("\\"));
  EXPECT_EQ(column.Captions(), QStringList{QStringLiteral("All")});
  EXPECT_EQ(column.mSelected, -1);
}

TEST_F(ListingTest, EpisodeRowsCarryTheirFieldsAndPictures) {
  tTestRowSinkC list;
  mCatalog->FillEpisodeList(list, QStringLiteral("\\Guitar\\Blues\\Basics"));
  ASSERT_EQ(list.mRows.size(), 3u);
  EXPECT_EQ(list.mRows[0].mCaption, QStringLiteral("Shuffle"));
  EXPECT_EQ(list.mRows[0].mSubItems, (QStringList{QStringLiteral("Ann"), QStringLiteral("Guitar"),
                                                  QStringLiteral("Beginner")}));
  EXPECT_EQ(list.mRows[0].mData,
            mCatalog->FindItem(QStringLiteral("\\Guitar\\Blues\\Basics\\Shuffle")));
  EXPECT_EQ(list.mRows[0].mImageIndex, cMovieImage);
  EXPECT_EQ(list.mRows[1].mImageIndex, cPdfImage);
  EXPECT_EQ(list.mRows[2].mImageIndex, -1); // "MOV" has no picture
  EXPECT_EQ(list.mSelected, 0);
  mCatalog->FillEpisodeList(list, QStringLiteral("\\Guitar\\Blues"));
  EXPECT_TRUE(list.mRows.empty());
  EXPECT_EQ(list.mSelected, -1);
}

TEST_F(ListingTest, MatchingWalksTheTreeInOrder) {
  const QStringList everything = {
      QStringLiteral("\\Guitar\\Blues\\Basics\\Shuffle"),
      QStringLiteral("\\Guitar\\Blues\\Basics\\Sheet"),
      QStringLiteral("\\Guitar\\Blues\\Basics\\Old clip"),
      QStringLiteral("\\Piano\\Jazz\\Chords\\Rock ballad"),
  };
  EXPECT_EQ(Matching(QStringLiteral("*")), everything);
  // Name, artist, instrument and level are searched; URL and type are not.
  EXPECT_EQ(Matching(QStringLiteral("rock")), (QStringList{everything[1], everything[3]}));
  EXPECT_EQ(Matching(QStringLiteral("guitar")), QStringList{everything[0]});
  EXPECT_EQ(Matching(QStringLiteral("movie")), QStringList());
  mCatalog->ForEachMatching(QStringLiteral("*"), nullptr); // no handler: nothing to call
}

TEST_F(ListingTest, FindNextFileStaysInsideTheCategory) {
  struct tCase {
    const char *mPath;
    const char *mNext; // nullptr: none
  };
  const tCase cases[] = {
      {"\\Guitar\\Blues\\Basics\\Shuffle", "Sheet"},
      {"\\Guitar\\Blues\\Basics\\sheet", "Old clip"},
      {"\\Guitar\\Blues\\Basics\\Old clip", nullptr},
      {"\\Piano\\Jazz\\Chords\\Rock ballad", nullptr},
      {"\\Guitar\\Blues\\Basics\\Missing", nullptr},
      {"\\Guitar\\Blues\\Basics", "Empty"},
      {"Shuffle", nullptr},
      {"", nullptr},
  };
  for (const tCase &c : cases) {
    const tCatalogItemC *next = mCatalog->FindNextFile(QString::fromUtf8(c.mPath));
    EXPECT_EQ(next ? next->GetName() : QString(), QString::fromUtf8(c.mNext ? c.mNext : ""))
        << c.mPath;
  }
}

} // namespace
