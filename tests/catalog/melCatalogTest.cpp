#include "melCatalog.h"
#include "melCatalogGenerator.h"
#include "melTestEnv.h"
#include "melTestRowSink.h"

#include <QElapsedTimer>

namespace {

const QByteArray cHeader = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";

class CatalogTest : public TTempHomeTest {
protected:
  // Writes the bytes as they stand (ISO-8859-1 for non-ASCII) and returns the
  // stored path form of the file.
  QString WriteCatalog(const QByteArray &aBody, bool aHeader = true) {
    const QString file = HomeFile(QStringLiteral("lessons/Catalog.xml"));
    WriteFile(file, aHeader ? cHeader + aBody : aBody);
    return QString(file).replace(u'/', u'\\');
  }
  static tFileItemC *Episode(tCatalogC &aCatalog, const char *aPath) {
    tCatalogItemC *item = aCatalog.FindItem(QString::fromUtf8(aPath));
    EXPECT_NE(item, nullptr) << aPath;
    EXPECT_FALSE(item && item->IsCategory()) << aPath;
    return static_cast<tFileItemC *>(item);
  }
};

TEST_F(CatalogTest, TheEmptyCatalogIsARootWithoutChildren) {
  tCatalogC catalog(WriteCatalog("<Catalog version=\"1.0\"/>\n"));
  ASSERT_NE(catalog.Root(), nullptr);
  EXPECT_EQ(catalog.Root()->mItems.Count(), 0);
  EXPECT_FALSE(catalog.Root()->HasFiles());
  EXPECT_EQ(catalog.Root()->GetPath(), QString());
  EXPECT_EQ(catalog.FindItem(QStringLiteral("\\")), catalog.Root());
  EXPECT_EQ(catalog.FindItem(QString()), nullptr);
}

TEST_F(CatalogTest, ReadsEpisodesWithTheirFields) {
  const QString file = WriteCatalog("<Catalog version=\"1.0\">\n"
                                    "\t<Category name=\"Caf\xe9 G\xfctar \xa9\">\n"
                                    "\t\t<Category name=\"Blues\">\n"
                                    "\t\t\t<!-- comments between episodes are ignored -->\n"
                                    "\t\t\t<File name=\"Rock &amp;amp; Roll\">\n"
                                    "\t\t\t\t<Status>Error</Status>\n"
                                    "\t\t\t\t<Filename>\n\t video\\clip.mov \r\n</Filename>\n"
                                    "\t\t\t\t<iPodFile>iPod\\clip.m4v</iPodFile>\n"
                                    "\t\t\t\t<AcidFile>/srv/acid/clip.acd-zip</AcidFile>\n"
                                    "\t\t\t\t<FileType>Movie</FileType>\n"
                                    "\t\t\t\t<Instrument>Guitar</Instrument>\n"
                                    "\t\t\t\t<Artist> Ann &amp; Bo </Artist>\n"
                                    "\t\t\t\t<Level>Beginner</Level>\n"
                                    "\t\t\t\t<URL>https://store.example/a.mov</URL>\n"
                                    "\t\t\t\t<Status>Paused</Status>\n"
                                    "\t\t\t\t<Unknown>skipped</Unknown>\n"
                                    "\t\t\t</File>\n"
                                    "\t\t\t<File name=\"Second\"/>\n"
                                    "\t\t</Category>\n"
                                    "\t</Category>\n"
                                    "</Catalog>\n");
  tCatalogC catalog(file);
  const QString category = QString::fromUtf8("\\Café Gütar ©");
  tFileItemC *episode = static_cast<tFileItemC *>(
      catalog.FindItem(category + QStringLiteral("\\Blues\\Rock & Roll")));
  ASSERT_NE(episode, nullptr) << catalog.Root()->mItems.KeyAt(0).toStdString();
  EXPECT_EQ(catalog.Root()->mItems.ObjectAt(0)->GetName(), QString::fromUtf8("Café Gütar ©"));
  EXPECT_EQ(episode->mName, QStringLiteral("Rock & Roll"));
  EXPECT_EQ(episode->mPath, QString::fromUtf8("\\Café Gütar ©\\Blues\\Rock & Roll"));
  EXPECT_EQ(episode->mCatalogFile, file);
  const QString folder = HomeFile(QStringLiteral("lessons/")).replace(u'/', u'\\');
  EXPECT_EQ(episode->mFilename, folder + QStringLiteral("video\\clip.mov"));
  EXPECT_EQ(episode->mIPodFile, folder + QStringLiteral("iPod\\clip.m4v"));
  EXPECT_EQ(episode->mAcidFile, QStringLiteral("/srv/acid/clip.acd-zip"));
  EXPECT_EQ(episode->mFileType, QStringLiteral("Movie"));
  EXPECT_EQ(episode->mInstrument, QStringLiteral("Guitar"));
  // Element texts are trimmed but not treated for "&amp;".
  EXPECT_EQ(episode->mArtist, QStringLiteral("Ann & Bo"));
  EXPECT_EQ(episode->mLevel, QStringLiteral("Beginner"));
  EXPECT_EQ(episode->mURL, QStringLiteral("https://store.example/a.mov"));
  EXPECT_EQ(episode->mStatus, esPaused); // the later "Status" wins
  EXPECT_EQ(episode->mProgress, 0);
  EXPECT_EQ(episode->mParent->GetName(), QStringLiteral("Blues"));
  EXPECT_TRUE(episode->mParent->HasFiles());
  EXPECT_FALSE(catalog.Root()->HasFiles());
}

TEST_F(CatalogTest, StatusWordsCompareExactlyAfterTrimming) {
  const std::pair<const char *, uint8_t> cases[] = {
      {"<Status>Downloaded</Status>", esDownloaded},
      {"<Status>Not downloaded</Status>", esNotDownloaded},
      {"<Status>Downloading</Status>", esDownloading},
      {"<Status>Error</Status>", esError},
      {"<Status> Paused </Status>", esPaused},
      {"<Status>downloaded</Status>", esDownloaded},
      {"<Status>not downloaded</Status>", esDownloaded},
      {"<Status>PAUSED</Status>", esDownloaded},
      {"", esDownloaded},
  };
  QByteArray body = "<Catalog><Category name=\"C\">";
  for (size_t i = 0; i < std::size(cases); ++i)
    body +=
        "<File name=\"e" + QByteArray::number(qulonglong(i)) + "\">" + cases[i].first + "</File>";
  body += "</Category></Catalog>";
  tCatalogC catalog(WriteCatalog(body));
  for (size_t i = 0; i < std::size(cases); ++i) {
    tFileItemC *episode = Episode(catalog, ("\\C\\e" + std::to_string(i)).c_str());
    ASSERT_NE(episode, nullptr);
    EXPECT_EQ(episode->mStatus, cases[i].second) << cases[i].first;
  }
  for (int status = esDownloaded; status <= esPaused; ++status)
    EXPECT_EQ(TextToStatus(StatusToText(status)), status);
}

struct tBadCatalogCase {
  const char *mName;
  QByteArray mBytes;
  const char *mMessage; // the message starts with it
};

class BadCatalogTest : public CatalogTest, public ::testing::WithParamInterface<tBadCatalogCase> {};

TEST_P(BadCatalogTest, IsRefusedWithAClearMessage) {
  const tBadCatalogCase &c = GetParam();
  const QString file = WriteCatalog(c.mBytes, false);
  try {
    tCatalogC catalog(file);
    FAIL() << "read without complaint";
  } catch (const ECatalogError &e) {
    EXPECT_TRUE(e.Message().startsWith(QString::fromUtf8(c.mMessage))) << e.what();
  }
}

const QByteArray cFileThenCategory =
    cHeader +
    "<Catalog><Category name=\"G\"><File name=\"a\"/><Category name=\"b\"/></Category></Catalog>";
const QByteArray cCategoryThenFile =
    cHeader +
    "<Catalog><Category name=\"G\"><Category name=\"b\"/><File name=\"a\"/></Category></Catalog>";

INSTANTIATE_TEST_SUITE_P(
    Cases, BadCatalogTest,
    ::testing::Values(
        tBadCatalogCase{"CommentBeforeRoot", cHeader + "<!-- hi -->\n<Catalog/>",
                        "expected 'Catalog' node, not found"},
        tBadCatalogCase{"InstructionBeforeRoot", cHeader + "<?style x?><Catalog/>",
                        "expected 'Catalog' node, not found"},
        tBadCatalogCase{"DoctypeBeforeRoot", cHeader + "<!DOCTYPE Catalog><Catalog/>",
                        "expected 'Catalog' node, not found"},
        tBadCatalogCase{"OtherRoot", cHeader + "<catalog/>", "expected 'Catalog' node, not found"},
        tBadCatalogCase{"FileAfterCategory", cCategoryThenFile,
                        "File found in a node with categories"},
        tBadCatalogCase{"CategoryAfterFile", cFileThenCategory,
                        "Category found in a node with files"},
        tBadCatalogCase{"FileWithoutName",
                        cHeader + "<Catalog><Category name=\"G\"><File/></Category></Catalog>",
                        "'name' attribute expected on a File node, not found"},
        tBadCatalogCase{"CategoryWithoutName", cHeader + "<Catalog><Category/></Catalog>",
                        "'name' attribute expected on a Category node, not found"},
        tBadCatalogCase{"Truncated",
                        cHeader + "<Catalog>\n<Category name=\"G\">\n<File name=\"a\">\n<Fil",
                        "The catalog file "},
        tBadCatalogCase{"NotXml", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
                        "The catalog file "},
        tBadCatalogCase{"Empty", QByteArray(), "The catalog file "}),
    [](const auto &aInfo) { return std::string(aInfo.param.mName); });

TEST_F(CatalogTest, ParseErrorsNameTheFileAndLine) {
  const QString file = WriteCatalog("<Catalog>\n<Category name=\"G\">\n<File name=\"x\"></Fil>\n");
  try {
    tCatalogC catalog(file);
    FAIL();
  } catch (const ECatalogError &e) {
    EXPECT_EQ(e.Message(), QStringLiteral("The catalog file %1 is not valid XML: Start-end tags "
                                          "mismatch at line 4")
                               .arg(HomeFile(QStringLiteral("lessons/Catalog.xml"))));
  }
}

TEST_F(CatalogTest, AMissingFileGivesTheOpenError) {
  try {
    tCatalogC catalog(HomeFile(QStringLiteral("none.xml")));
    FAIL();
  } catch (const ECatalogError &e) {
    EXPECT_EQ(e.Message(),
              QStringLiteral("Cannot open the catalog file %1: No such file or directory")
                  .arg(HomeFile(QStringLiteral("none.xml"))));
  }
}

TEST_F(CatalogTest, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  QByteArray body = "<Catalog>";
  for (int i = 0; i < 10000; ++i)
    body += "<Category name=\"c\">";
  for (int i = 0; i < 10000; ++i)
    body += "</Category>";
  body += "</Catalog>";
  try {
    tCatalogC catalog(WriteCatalog(body));
    FAIL();
  } catch (const ECatalogError &e) {
    EXPECT_TRUE(
        e.Message().startsWith(QStringLiteral("Categories are nested deeper than 100 levels")))
        << e.what();
  }
  // As deep as allowed still reads.
  body = "<Catalog>";
  for (int i = 0; i < cMaxCategoryDepth; ++i)
    body += "<Category name=\"c\">";
  body += "<File name=\"deep\"/>";
  for (int i = 0; i < cMaxCategoryDepth; ++i)
    body += "</Category>";
  body += "</Catalog>";
  tCatalogC catalog(WriteCatalog(body));
  QString path;
  for (int i = 0; i < cMaxCategoryDepth; ++i)
    path += QStringLiteral("\\c");
  EXPECT_NE(catalog.FindItem(path + QStringLiteral("\\deep")), nullptr);
}

TEST_F(CatalogTest, FindItemFollowsTheListLookupRules) {
  tCatalogC catalog(WriteCatalog("<Catalog>"
                                 "<Category name=\"Blues\"><Category name=\"x\"/></Category>"
                                 "<Category name=\"BLUES\"><Category name=\"y\">"
                                 "<File name=\"Lesson 1\"/></Category></Category>"
                                 "<Category name=\" Jazz \"/>"
                                 "<Category name=\"a\\b\"/>"
                                 "</Catalog>"));
  tCategoryItemC *root = catalog.Root();
  tCatalogItemC *second = root->mItems.ObjectAt(1);
  struct tCase {
    const char *mPath;
    tCatalogItemC *mExpected;
  };
  const tCase cases[] = {
      {"\\BLUES", second},
      {"\\Blues", second},
      {"blues", second},
      {"\\blues\\x", nullptr},
      {"\\Jazz", root->mItems.ObjectAt(2)},
      {"\\ Jazz ", nullptr},
      {"\\a\\b", nullptr},
      {"\\", root},
      {"", nullptr},
      {"\\Rock", nullptr},
      {"\\Blues\\y\\lesson 1\\more", nullptr},
  };
  for (const tCase &c : cases)
    EXPECT_EQ(catalog.FindItem(QString::fromUtf8(c.mPath)), c.mExpected) << c.mPath;
  tCatalogItemC *episode = catalog.FindItem(QStringLiteral("\\Blues\\y\\lesson 1"));
  ASSERT_NE(episode, nullptr);
  EXPECT_EQ(episode->GetPath(), QStringLiteral("\\BLUES\\y\\Lesson 1"));
  // The blanks stay in the name and the path, only the key is trimmed.
  EXPECT_EQ(root->mItems.ObjectAt(2)->GetPath(), QStringLiteral("\\ Jazz "));
}

TEST_F(CatalogTest, ProgressAndStatusSettersKeepThePercentInRange) {
  tCatalogC catalog(
      WriteCatalog("<Catalog><Category name=\"C\"><File name=\"e\"/></Category></Catalog>"));
  tFileItemC *episode = Episode(catalog, "\\C\\e");
  ASSERT_NE(episode, nullptr);
  struct tCase {
    uint8_t mStatus;
    int mPercent;
    int mExpected;
  };
  const tCase cases[] = {{esDownloading, 150, 100}, {esDownloading, -5, 0},
                         {esDownloading, 42, 42},   {esPaused, 7, 7},
                         {esNotDownloaded, 80, 0},  {esDownloaded, 3, 100}};
  for (const tCase &c : cases) {
    episode->mStatus = c.mStatus;
    episode->SetProgress(c.mPercent);
    EXPECT_EQ(episode->mProgress, c.mExpected) << int(c.mStatus) << " " << c.mPercent;
  }
  episode->mProgress = 50;
  episode->SetStatus(esDownloaded);
  EXPECT_EQ(episode->mProgress, 100);
  episode->SetStatus(esPaused);
  EXPECT_EQ(episode->mProgress, 100);
  episode->SetStatus(esNotDownloaded);
  EXPECT_EQ(episode->mProgress, 0);
  EXPECT_EQ(episode->mStatus, esNotDownloaded);
}

TEST_F(CatalogTest, AReplacedTreeLivesWhileAListShowsItAndGoesAfter) {
  const QString file = WriteCatalog("<Catalog><Category name=\"Old\"/></Catalog>");
  tCatalogC catalog(file);
  tTestRowSinkC column;
  catalog.FillCategoryView(column, QStringLiteral("\\"));
  std::weak_ptr<const void> oldTree = catalog.Tree();

  WriteCatalog("<Catalog><Category name=\"New\"/></Catalog>");
  catalog.Load();
  EXPECT_EQ(catalog.Root()->mItems.ObjectAt(0)->GetName(), QStringLiteral("New"));
  ASSERT_FALSE(oldTree.expired());
  // The row still points at a live item of the old tree.
  EXPECT_EQ(column.mRows.at(1).mData->GetName(), QStringLiteral("Old"));

  catalog.FillCategoryView(column, QStringLiteral("\\"));
  EXPECT_TRUE(oldTree.expired());

  // A failed reload keeps the tree in use.
  WriteCatalog("<Catalog><File name=\"a\"/><Category name=\"b\"/></Catalog>");
  EXPECT_THROW(catalog.Load(), ECatalogError);
  EXPECT_EQ(catalog.Root()->mItems.ObjectAt(0)->GetName(), QStringLiteral("New"));
}

TEST_F(CatalogTest, ALargeCatalogReadsInLinearTime) {
  // About 50 MB of catalog.
  const QString file = HomeFile(QStringLiteral("large.xml"));
  tCatalogShapeC shape;
  shape.mEpisodes = 110000;
  WriteCatalogFile(file, shape);
  const qint64 size = QFileInfo(file).size();
  ASSERT_GT(size, 50'000'000) << size;
  QElapsedTimer timer;
  timer.start();
  tCatalogC catalog(file);
  const qint64 elapsed = timer.elapsed();
  int episodes = 0;
  catalog.ForEachMatching(QStringLiteral("*"),
                          [&episodes](tCategoryItemC &, tFileItemC &) { ++episodes; });
  EXPECT_EQ(episodes, shape.mEpisodes);
  // Generous for a loaded machine; the benchmarks hold the real figures.
  EXPECT_LT(elapsed, 5000);
}

} // namespace
