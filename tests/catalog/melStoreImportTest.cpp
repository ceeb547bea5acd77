#include "melStoreImport.h"

#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogDocument.h"
#include "melCatalogFile.h"
#include "melEpisodeFiles.h"
#include "melPaths.h"
#include "melTestEnv.h"

#include <QFileInfo>

#include <cstring>
#include <memory>
#include <vector>

namespace {

// A store item; a null field leaves its element out. Values are raw XML.
struct tItem {
  const char *mInstrument = "Guitar";
  const char *mCategory = "Rock";
  const char *mSubCategory = "Riffs";
  const char *mFilename = "riff1.mov";
  const char *mFileType = "Movie";
  const char *mArtist = "Ann";
  const char *mLevel = "Beginner";
  const char *mLink = "https://store.example/riff1.mov";
};
using tGroups = std::vector<std::vector<tItem>>;

QByteArray StoreXml(const tGroups &aGroups) {
  // Not in the order the merge reads them.
  const auto field = [](QByteArray &aOut, const char *aName, const char *aValue) {
    if (aValue)
      aOut += QByteArray("<") + aName + ">" + aValue + "</" + aName + ">";
  };
  QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Store>";
  for (const std::vector<tItem> &group : aGroups) {
    out += "<Group>";
    for (const tItem &item : group) {
      out += "<Item>";
      field(out, "Link", item.mLink);
      field(out, "Filename", item.mFilename);
      field(out, "Level", item.mLevel);
      field(out, "Artist", item.mArtist);
      field(out, "FileType", item.mFileType);
      field(out, "Sub-Category", item.mSubCategory);
      field(out, "Category", item.mCategory);
      field(out, "Instrument", item.mInstrument);
      out += "</Item>";
    }
    out += "</Group>";
  }
  return out + "</Store>\n";
}

// The catalog after importing the default item alone.
const QByteArray cFirstCatalog = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                 "<Catalog version=\"1.0\">\n"
                                 "\t<Category name=\"Guitar\">\n"
                                 "\t\t<Category name=\"Rock\">\n"
                                 "\t\t\t<Category name=\"Riffs\">\n"
                                 "\t\t\t\t<File name=\"riff1\">\n"
                                 "\t\t\t\t\t<Filename>video\\riff1.mov</Filename>\n"
                                 "\t\t\t\t\t<iPodFile>iPod\\riff1.m4v</iPodFile>\n"
                                 "\t\t\t\t\t<AcidFile>ACID\\riff1.acd-zip</AcidFile>\n"
                                 "\t\t\t\t\t<FileType>Movie</FileType>\n"
                                 "\t\t\t\t\t<Instrument>Guitar</Instrument>\n"
                                 "\t\t\t\t\t<Artist>Ann</Artist>\n"
                                 "\t\t\t\t\t<Level>Beginner</Level>\n"
                                 "\t\t\t\t\t<URL>https://store.example/riff1.mov</URL>\n"
                                 "\t\t\t\t\t<Status>Not downloaded</Status>\n"
                                 "\t\t\t\t</File>\n"
                                 "\t\t\t</Category>\n"
                                 "\t\t</Category>\n"
                                 "\t</Category>\n"
                                 "</Catalog>\n";

// One line an episode ("Guitar/Rock/Riffs/riff1 video\riff1.mov") or empty
// category ("Guitar/"), in file order; "-" stands for a missing name.
void AddOutline(const pugi::xml_node &aNode, const QString &aPath, QStringList &aLines) {
  for (const pugi::xml_node child : aNode.children()) {
    const pugi::xml_attribute name = child.attribute("name");
    const QString path = aPath + (name ? Utf8Text(name.value()) : QStringLiteral("-"));
    if (std::strcmp(child.name(), "File") == 0)
      aLines << path + u' ' + Utf8Text(child.child_value("Filename"));
    else if (!child.first_child())
      aLines << path + u'/';
    else
      AddOutline(child, path + u'/', aLines);
  }
}

QString Outline(const pugi::xml_node &aRoot) {
  QStringList lines;
  AddOutline(aRoot, {}, lines);
  return lines.join(u'\n');
}

QString Lines(const std::vector<const char *> &aLines) {
  QStringList lines;
  for (const char *line : aLines)
    lines << QString::fromUtf8(line);
  return lines.join(u'\n');
}

class StoreImportTest : public TDefaultApplicationTest {
protected:
  static QString CatalogFile() { return LocalPath(CatalogFilePath()); }
  static void Import(const QByteArray &aStore) {
    ImportStoreCatalog([&aStore] { return std::optional<QByteArray>(aStore); });
  }
  static QString FileOutline() {
    tCatalogDocumentC document(CatalogFile());
    return Outline(document.Root());
  }
};

TEST_F(StoreImportTest, TheFirstImportWritesTheWholeBranch) {
  WriteEmptyCatalog(CatalogFile());
  // Group and item names are not looked at; the first element of a name
  // counts, wherever it stands.
  Import("<Products><Section><Product>"
         "<Link>https://store.example/riff1.mov</Link><Price>9.99</Price>"
         "<Artist>Ann</Artist><Level>Beginner</Level><FileType>Movie</FileType>"
         "<Filename>riff1.mov</Filename><Sub-Category>Riffs</Sub-Category>"
         "<Category>Rock</Category><Instrument>Guitar</Instrument>"
         "<Artist>Someone else</Artist>"
         "</Product></Section></Products>");
  EXPECT_EQ(ReadFile(CatalogFile()), cFirstCatalog);
}

TEST_F(StoreImportTest, ASecondImportOfTheSameDocumentChangesNothing) {
  // An empty value must not turn into a different empty element on a later
  // save.
  const QByteArray store = StoreXml({{tItem{}, tItem{.mFilename = "riff2.mov", .mLevel = ""}}});
  Import(store);
  QByteArray catalog = ReadFile(CatalogFile());
  ASSERT_TRUE(catalog.contains("<File name=\"riff2\">")) << catalog.constData();
  Import(store);
  EXPECT_EQ(ReadFile(CatalogFile()), catalog);

  // A download meanwhile: the episode is still there, so it is left alone.
  catalog.replace("Not downloaded", "Downloaded");
  WriteFile(CatalogFile(), catalog);
  Import(store);
  EXPECT_EQ(ReadFile(CatalogFile()), catalog);
}

struct tMergeCase {
  const char *mName;
  tGroups mGroups;
  std::vector<const char *> mOutline;
  const char *mStart = nullptr; // the catalog before; cFirstCatalog when null
};

class StoreMergeTest : public StoreImportTest, public ::testing::WithParamInterface<tMergeCase> {};

TEST_P(StoreMergeTest, AddsOnlyWhatTheCatalogLacks) {
  const tMergeCase &c = GetParam();
  WriteFile(CatalogFile(), c.mStart ? QByteArray(c.mStart) : cFirstCatalog);
  Import(StoreXml(c.mGroups));
  EXPECT_EQ(FileOutline(), Lines(c.mOutline));
}

const char *const cRiff1 = "Guitar/Rock/Riffs/riff1 video\\riff1.mov";

INSTANTIATE_TEST_SUITE_P(
    Cases, StoreMergeTest,
    ::testing::Values(
        tMergeCase{"AnotherSubCategory",
                   {{{.mSubCategory = "Solos", .mFilename = "solo1.mov"}}},
                   {cRiff1, "Guitar/Rock/Solos/solo1 video\\solo1.mov"}},
        tMergeCase{"AnotherCategory",
                   {{{.mCategory = "Jazz"}}},
                   {cRiff1, "Guitar/Jazz/Riffs/riff1 video\\riff1.mov"}},
        tMergeCase{"AnotherEpisode",
                   {{{.mFilename = "riff2.pdf", .mFileType = "PDF"}}},
                   {cRiff1, "Guitar/Rock/Riffs/riff2 pdf\\riff2.pdf"}},
        tMergeCase{
            "SameNameOtherType", {{{.mFilename = "riff1.pdf", .mFileType = "PDF"}}}, {cRiff1}},
        // Nothing but the name is read for an episode that is there.
        tMergeCase{"PresentWithoutTypeOrLink",
                   {{{.mFileType = nullptr, .mArtist = nullptr, .mLink = nullptr}}},
                   {cRiff1}},
        tMergeCase{"InstrumentInOtherCase",
                   {{{.mInstrument = "guitar"}}},
                   {cRiff1, "guitar/Rock/Riffs/riff1 video\\riff1.mov"}},
        tMergeCase{"NamesCompareUntrimmed",
                   {{{.mCategory = "Rock "}}},
                   {cRiff1, "Guitar/Rock /Riffs/riff1 video\\riff1.mov"}},
        // Each item sees what the ones before it added, across groups too.
        tMergeCase{"LaterItemsSeeEarlierOnes",
                   {{{.mInstrument = "Bass"}},
                    {{.mInstrument = "Bass"}, {.mInstrument = "Bass", .mFilename = "riff2.mov"}}},
                   {cRiff1, "Bass/Rock/Riffs/riff1 video\\riff1.mov",
                    "Bass/Rock/Riffs/riff2 video\\riff2.mov"}},
        // Elements without a name match nothing, not even an empty name.
        tMergeCase{"UnnamedElementsAreNoMatch",
                   {{{.mInstrument = "", .mCategory = "", .mSubCategory = ""}}},
                   {"-/", "/-/", "///riff1 video\\riff1.mov"},
                   "<Catalog><Category/><Category name=\"\"><Category/></Category></Catalog>"},
        // The first of two same-named categories is merged into, though the
        // episode is under the second.
        tMergeCase{"FirstMatchWins",
                   {{{}}},
                   {cRiff1, "Guitar/Rock/Riffs/riff1 video\\old.mov"},
                   "<Catalog><Category name=\"Guitar\"/><Category name=\"Guitar\">"
                   "<Category name=\"Rock\"><Category name=\"Riffs\"><File name=\"riff1\">"
                   "<Filename>video\\old.mov</Filename></File>"
                   "</Category></Category></Category></Catalog>"}),
    [](const auto &aInfo) { return std::string(aInfo.param.mName); });

enum class tErrorKindE { Plain, UnknownType, UnsafeName };

struct tFailureCase {
  const char *mName;
  tGroups mGroups;
  tErrorKindE mKind;
  const char *mMessage; // the message starts with it
  std::vector<const char *> mOutline;
  const char *mStart = nullptr; // the catalog before; cFirstCatalog when null
};

class StoreFailureTest : public StoreImportTest,
                         public ::testing::WithParamInterface<tFailureCase> {};

TEST_P(StoreFailureTest, KeepsTheItemsBeforeAndNothingOfTheFailingOne) {
  const tFailureCase &c = GetParam();
  WriteFile(CatalogFile(), c.mStart ? QByteArray(c.mStart) : cFirstCatalog);
  const pugi::xml_document store =
      tCatalogDocumentC::ParseText(StoreXml(c.mGroups), QStringLiteral("store"));
  tCatalogDocumentC local(CatalogFile());
  try {
    MergeStoreCatalog(store, local);
    FAIL() << "merged without complaint";
  } catch (const EMelError &e) {
    EXPECT_TRUE(e.Message().startsWith(QString::fromUtf8(c.mMessage))) << e.what();
    EXPECT_EQ(dynamic_cast<const UnknownFileTypeException *>(&e) != nullptr,
              c.mKind == tErrorKindE::UnknownType);
    EXPECT_EQ(dynamic_cast<const UnsafeFileNameException *>(&e) != nullptr,
              c.mKind == tErrorKindE::UnsafeName);
  }
  EXPECT_EQ(FileOutline(), Lines(c.mOutline));
  // Nor is anything half-built left for a later save.
  EXPECT_EQ(Outline(local.Root()), Lines(c.mOutline));
}

const char *const cRiff2 = "Guitar/Rock/Riffs/riff2 video\\riff2.mov";

INSTANTIATE_TEST_SUITE_P(
    Cases, StoreFailureTest,
    ::testing::Values(tFailureCase{"MissingInstrumentAfterTwoGoodOnes",
                                   {{{}, {.mFilename = "riff2.mov"}}, {{.mInstrument = nullptr}}},
                                   tErrorKindE::Plain,
                                   "Node is not found",
                                   {cRiff1, cRiff2},
                                   cEmptyCatalog.constData()},
                      tFailureCase{"UnknownTypeOfANewEpisode",
                                   {{{.mFilename = "riff2.wmv", .mFileType = "WMV"}}},
                                   tErrorKindE::UnknownType,
                                   "Unknown file type:WMV",
                                   {cRiff1}},
                      tFailureCase{"UnknownTypeUnderANewInstrument",
                                   {{{.mInstrument = "Bass", .mFileType = "WMV"}}},
                                   tErrorKindE::UnknownType,
                                   "Unknown file type:WMV",
                                   {cRiff1}},
                      tFailureCase{"MoreThanATextInAnElement",
                                   {{{.mFilename = "riff2.mov", .mArtist = "a<b/>c"}}},
                                   tErrorKindE::Plain,
                                   "Element does not contain a single text node",
                                   {cRiff1}},
                      tFailureCase{"MissingLink",
                                   {{{.mFilename = "riff2.mov", .mLink = nullptr}}},
                                   tErrorKindE::Plain,
                                   "The store item has no \"Link\" element",
                                   {cRiff1}},
                      tFailureCase{"PathInTheFileName",
                                   {{{.mFilename = "../x.mov"}}},
                                   tErrorKindE::UnsafeName,
                                   "Refused store file name \"../x.mov\"",
                                   {},
                                   cEmptyCatalog.constData()},
                      tFailureCase{"MissingCategoryUnderAKnownInstrument",
                                   {{{.mCategory = nullptr}}},
                                   tErrorKindE::Plain,
                                   "Node is not found",
                                   {cRiff1}},
                      tFailureCase{"MissingCategoryOfANewInstrument",
                                   {{{.mInstrument = "Bass", .mCategory = nullptr}}},
                                   tErrorKindE::Plain,
                                   "The store item has no \"Category\" element",
                                   {cRiff1}},
                      tFailureCase{"MissingSubCategoryUnderAKnownCategory",
                                   {{{.mSubCategory = nullptr}}},
                                   tErrorKindE::Plain,
                                   "Node is not found",
                                   {cRiff1}},
                      tFailureCase{"MissingSubCategoryOfANewCategory",
                                   {{{.mCategory = "Jazz", .mSubCategory = nullptr}}},
                                   tErrorKindE::Plain,
                                   "The store item has no \"Sub-Category\" element",
                                   {cRiff1}},
                      tFailureCase{"MissingFilenameInAKnownSubCategory",
                                   {{{.mFilename = nullptr}}},
                                   tErrorKindE::Plain,
                                   "The store item has no \"Filename\" element",
                                   {cRiff1}}),
    [](const auto &aInfo) { return std::string(aInfo.param.mName); });

TEST_F(StoreImportTest, TheMergeReadsTheFileAsAnotherWriterLeftIt) {
  WriteEmptyCatalog(CatalogFile());
  tCatalogDocumentC local(CatalogFile());
  WriteFile(CatalogFile(), cFirstCatalog);
  MergeStoreCatalog(tCatalogDocumentC::ParseText(StoreXml({{{.mFilename = "riff2.mov"}}}),
                                                 QStringLiteral("store")),
                    local);
  EXPECT_EQ(FileOutline(), Lines({cRiff1, cRiff2}));
}

TEST_F(StoreImportTest, AMissingCatalogIsCreatedEmptyBeforeTheFetch) {
  ASSERT_FALSE(QFileInfo::exists(CatalogFile()));
  QByteArray atFetch;
  ImportStoreCatalog([&atFetch] {
    atFetch = ReadFile(CatalogFile());
    return std::optional<QByteArray>(StoreXml({{{}}}));
  });
  EXPECT_EQ(atFetch, cEmptyCatalog);
  EXPECT_EQ(ReadFile(CatalogFile()), cFirstCatalog);
}

TEST_F(StoreImportTest, AFailedFetchLeavesTheCatalogAsItWas) {
  const auto noText = [] { return std::optional<QByteArray>(); };
  ImportStoreCatalog(noText);
  EXPECT_EQ(ReadFile(CatalogFile()), cEmptyCatalog);

  const QByteArray handWritten = "<Catalog version='1.0'><Category name=\"Old\"/></Catalog>";
  WriteFile(CatalogFile(), handWritten);
  ImportStoreCatalog(noText);
  EXPECT_EQ(ReadFile(CatalogFile()), handWritten);
}

TEST_F(StoreImportTest, MalformedStoreXmlRaisesAndKeepsTheCatalog) {
  WriteFile(CatalogFile(), cFirstCatalog);
  try {
    Import("<Store><Group><Item><Instrument>Bass</Instrument></Item>");
    FAIL() << "imported without complaint";
  } catch (const ECatalogError &e) {
    EXPECT_TRUE(e.Message().startsWith(QStringLiteral("The store catalog is not valid XML")))
        << e.what();
  }
  EXPECT_EQ(ReadFile(CatalogFile()), cFirstCatalog);
}

TEST_F(StoreImportTest, UnicodeFromTheStoreIsStoredAsLatin1) {
  WriteEmptyCatalog(CatalogFile());
  Import(StoreXml({{{.mArtist = "Ren\xc3\xa9"
                                "e"}}}));
  EXPECT_TRUE(ReadFile(CatalogFile())
                  .contains("<Artist>Ren\xe9"
                            "e</Artist>"));
  tCatalogC catalog(CatalogFilePath());
  const auto *episode =
      static_cast<tFileItemC *>(catalog.FindItem(QStringLiteral("\\Guitar\\Rock\\Riffs\\riff1")));
  ASSERT_NE(episode, nullptr);
  EXPECT_EQ(episode->mArtist, QString::fromUtf8("Renée"));
}

} // namespace
