// Catalog text through every reader and writer: characters beyond Latin-1,
// comments and instructions, undeclared 8-bit files and split text nodes.
#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogDocument.h"
#include "melCatalogFile.h"
#include "melCatalogMaintenance.h"
#include "melPaths.h"
#include "melStoreImport.h"
#include "melTestEnv.h"

#include <QFileInfo>
#include <QXmlStreamReader>

#include <sys/inotify.h>
#include <unistd.h>

#include <map>

namespace {

const QByteArray cHeader = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";

// Names and URLs in several scripts, one outside the Basic Multilingual
// Plane (the G clef), one with every Latin-1 letter kind.
struct tScriptC {
  const char *mCategory;
  const char *mEpisode;
  const char *mURL;
};
const tScriptC cScripts[] = {
    {"日本の音楽", "三味線の基礎", "https://store.example/日本/三味線.mov"},
    {"Русская", "Балалайка", "https://store.example/балалайка.mov"},
    {"Ελληνικά", "Μπουζούκι", "https://store.example/μπουζούκι.mov"},
    {"العربية", "عود", "https://store.example/عود.mov"},
    {"Clef 𝄞", "Sol 𝄞 & <la>", "https://store.example/𝄞?a=1&b=\"2\""},
    {"Café", "Renée ÿ", "https://store.example/ré.mov"},
};

QString U(const char *aText) {
  return QString::fromUtf8(aText);
}

QByteArray Escaped(const char *aText) {
  return U(aText).toHtmlEscaped().toUtf8();
}

// The catalog in UTF-8 source text; the writer under test turns it into
// Latin-1.
QByteArray ScriptsCatalogUtf8() {
  QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Catalog version=\"1.0\">"
                   "<Category name=\"Guitar\"><Category name=\"Keep\"><Category name=\"Go\">"
                   "<File name=\"Other\"><Filename>video\\other.mov</Filename>"
                   "<URL>https://store.example/other.mov</URL><Status>Downloaded</Status></File>"
                   "</Category></Category></Category>";
  for (const tScriptC &script : cScripts) {
    xml += "<Category name=\"" + Escaped(script.mCategory) + "\"><Category name=\"" +
           Escaped(script.mCategory) + "\"><Category name=\"Sub\"><File name=\"" +
           Escaped(script.mEpisode) + "\"><Filename>video\\" + Escaped(script.mEpisode) +
           ".mov</Filename><Artist>" + Escaped(script.mEpisode) + "</Artist><URL>" +
           Escaped(script.mURL) + "</URL><Status>Downloading</Status></File>" +
           "</Category></Category></Category>";
  }
  return xml + "</Catalog>\n";
}

// Every episode of the file as the tree reader gives it: path to the texts
// that matter.
std::map<QString, QStringList> Episodes(const QString &aFile) {
  tCatalogC catalog(aFile);
  std::map<QString, QStringList> episodes;
  std::vector<const tCategoryItemC *> pending{catalog.Root()};
  while (!pending.empty()) {
    const tCategoryItemC *category = pending.back();
    pending.pop_back();
    for (int i = 0; i < category->mItems.Count(); ++i) {
      const tCatalogItemC *item = category->mItems.ObjectAt(i);
      if (item->IsCategory()) {
        pending.push_back(static_cast<const tCategoryItemC *>(item));
        continue;
      }
      const auto *episode = static_cast<const tFileItemC *>(item);
      episodes[episode->GetPath()] = {episode->mName, episode->mArtist, episode->mURL,
                                      QString::number(episode->mStatus)};
    }
  }
  return episodes;
}

int CountElements(const QString &aFile) {
  tCatalogDocumentC document(aFile);
  return int(document.Root().select_nodes("descendant-or-self::*").size());
}

class CatalogTextTest : public TDefaultApplicationTest {
protected:
  static QString CatalogFile() { return LocalPath(CatalogFilePath()); }
  // Written through the editing document, as every maintenance step saves.
  static void WriteThroughDocument(const QByteArray &aUtf8) {
    WriteFile(CatalogFile(), aUtf8);
    tCatalogDocumentC document(CatalogFile());
    document.Save();
  }
};

TEST_F(CatalogTextTest, TextBeyondLatin1SurvivesEverySave) {
  WriteThroughDocument(ScriptsCatalogUtf8());
  const QByteArray saved = ReadFile(CatalogFile());
  EXPECT_TRUE(saved.startsWith(cHeader)) << saved.constData();
  // Latin-1 letters stay bytes; the rest become references, one per code
  // point.
  EXPECT_TRUE(saved.contains("Caf\xe9")) << saved.constData();
  EXPECT_TRUE(saved.contains("&#x65E5;")) << saved.constData();
  EXPECT_TRUE(saved.contains("&#x1D11E;")) << saved.constData();
  EXPECT_FALSE(saved.contains('?' + QByteArray("?"))) << saved.constData();
  EXPECT_FALSE(saved.contains("\xc3")) << saved.constData();

  const auto episodes = Episodes(CatalogFile());
  for (const tScriptC &script : cScripts) {
    const QString path = u'\\' + U(script.mCategory) + u'\\' + U(script.mCategory) +
                         QStringLiteral("\\Sub\\") + U(script.mEpisode);
    const auto found = episodes.find(path);
    ASSERT_NE(found, episodes.end()) << path.toStdString();
    EXPECT_EQ(found->second, (QStringList{U(script.mEpisode), U(script.mEpisode), U(script.mURL),
                                          QString::number(esDownloading)}));
  }
  // Saved again and again, the bytes stay.
  for (int i = 0; i < 3; ++i) {
    tCatalogDocumentC document(CatalogFile());
    document.Save();
    EXPECT_EQ(ReadFile(CatalogFile()), saved);
  }
}

TEST_F(CatalogTextTest, ScriptsSurviveRepairStatusRemovalAndTwoImports) {
  WriteThroughDocument(ScriptsCatalogUtf8());
  const auto before = Episodes(CatalogFile());

  ResetStatusesInFile(CatalogFile());
  UpdateEpisodeStatusInFile(CatalogFile(), U(cScripts[0].mURL), esDownloaded);
  ASSERT_TRUE(RemoveEpisodeFromFile(CatalogFile(), QStringLiteral("Other")));
  QByteArray store = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Store><Group>";
  for (const tScriptC &script : cScripts) {
    store += "<Item><Instrument>" + Escaped(script.mCategory) + "</Instrument><Category>" +
             Escaped(script.mCategory) + "</Category><Sub-Category>Sub</Sub-Category>" +
             "<Filename>" + Escaped(script.mEpisode) +
             ".mov</Filename><FileType>Movie</FileType><Artist>A</Artist><Level>1</Level>"
             "<Link>" +
             Escaped(script.mURL) + "</Link></Item>";
    // And a new episode of that name in a new sub-category.
    store += "<Item><Instrument>" + Escaped(script.mCategory) + "</Instrument><Category>" +
             Escaped(script.mCategory) + "</Category><Sub-Category>" + Escaped(script.mCategory) +
             "</Sub-Category><Filename>" + Escaped(script.mEpisode) +
             ".mov</Filename><FileType>Movie</FileType><Artist>A</Artist><Level>1</Level>"
             "<Link>" +
             Escaped(script.mURL) + "</Link></Item>";
  }
  store += "</Group></Store>\n";
  const auto fetch = [&store] { return std::optional<QByteArray>(store); };
  ImportStoreCatalog(fetch);
  const int elements = CountElements(CatalogFile());
  const QByteArray afterFirst = ReadFile(CatalogFile());
  ImportStoreCatalog(fetch);
  EXPECT_EQ(CountElements(CatalogFile()), elements);
  EXPECT_EQ(ReadFile(CatalogFile()), afterFirst);

  const auto after = Episodes(CatalogFile());
  for (size_t i = 0; i < std::size(cScripts); ++i) {
    const tScriptC &script = cScripts[i];
    const QString path = u'\\' + U(script.mCategory) + u'\\' + U(script.mCategory) +
                         QStringLiteral("\\Sub\\") + U(script.mEpisode);
    QStringList expected = before.at(path);
    // The repair paused the downloads; the status update reached the first.
    expected[3] = QString::number(i == 0 ? esDownloaded : esPaused);
    EXPECT_EQ(after.at(path), expected) << path.toStdString();
    const QString added = u'\\' + U(script.mCategory) + u'\\' + U(script.mCategory) + u'\\' +
                          U(script.mCategory) + u'\\' + U(script.mEpisode);
    ASSERT_EQ(after.count(added), 1u) << added.toStdString();
    EXPECT_EQ(after.at(added)[2], U(script.mURL));
  }
  EXPECT_EQ(after.count(QStringLiteral("\\Guitar\\Keep\\Go\\Other")), 0u);
}

TEST_F(CatalogTextTest, ReferencesBeyondUnicodeReadTheSameAfterASave) {
  // Found by fuzzing: the parser keeps such a reference as bytes that are no
  // UTF-8, and the writer made another character of them.
  for (const char *url : {"http://store/&#x65E5fd;.", "http://store/&#x110000;x"}) {
    WriteFile(CatalogFile(), cHeader +
                                 "<Catalog><Category name=\"G\"><Category name=\"C\">"
                                 "<Category name=\"S\"><File name=\"E\"><URL>" +
                                 url + "</URL></File></Category></Category></Category></Catalog>");
    const auto before = Episodes(CatalogFile());
    tCatalogDocumentC(CatalogFile()).Save();
    EXPECT_EQ(Episodes(CatalogFile()), before) << url;
  }
}

TEST_F(CatalogTextTest, LineEndsAndSpacesWrittenAsReferencesSurviveSaves) {
  // A raw carriage return in text is read back as a line feed, and white
  // space alone between other nodes is dropped, so such text that came from
  // references must go back as references.
  struct tCase {
    const char *mName;
    QByteArray mEpisode; // the File element as the file holds it
    const char *mURL;    // as every reader gives it
    QByteArray mHeader = cHeader;
  };
  const tCase cases[] = {
      {"carriage return in text",
       "<File name=\"E\"><Artist>a&#13;b</Artist><URL>u&#xD;v</URL></File>", "u\rv"},
      {"both line ends in text and a name",
       "<File name=\"E&#13;&#10;F\"><Artist>a&#13;&#10;b</Artist><URL>u\nv&#13;w</URL></File>",
       "u\nv\rw"},
      {"beside text beyond Latin-1",
       "<File name=\"E\"><Artist>&#x65E5;&#13;b</Artist><URL>&#x1D11E;&#13;x</URL></File>",
       "\xf0\x9d\x84\x9e\rx"},
      {"white space alone between other nodes",
       "<File name=\"E\"><URL><![CDATA[u]]>&#9;<![CDATA[v]]><?p q?>&#10;&#32;<!-- c -->w</URL>"
       "</File>",
       "u\tv\n w"},
      {"in a file saved as UTF-8 for its comment",
       "<File name=\"E\"><!-- \xe6\x97\xa5 --><URL>u&#13;v<!-- c -->&#32;w</URL></File>", "u\rv w",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"},
  };
  for (const tCase &c : cases) {
    WriteFile(CatalogFile(), c.mHeader +
                                 "<Catalog><Category name=\"G\"><Category name=\"C\">"
                                 "<Category name=\"S\">" +
                                 c.mEpisode + "</Category></Category></Category></Catalog>\n");
    const auto before = Episodes(CatalogFile());
    ASSERT_EQ(before.size(), 1u) << c.mName;
    EXPECT_EQ(before.begin()->second[2], QString::fromUtf8(c.mURL)) << c.mName;
    for (int i = 0; i < 2; ++i) {
      tCatalogDocumentC(CatalogFile()).Save();
      EXPECT_EQ(Episodes(CatalogFile()), before) << c.mName << " save " << i + 1;
    }
    // The status writer still finds the episode by the URL the tree gave.
    UpdateEpisodeStatusInFile(CatalogFile(), QString::fromUtf8(c.mURL), esPaused);
    EXPECT_EQ(Episodes(CatalogFile()).begin()->second[3], QString::number(esPaused)) << c.mName;
  }
}

// Whether a strict XML 1.0 reader takes the file.
QString XmlError(const QByteArray &aData) {
  QXmlStreamReader reader(aData);
  while (!reader.atEnd())
    reader.readNext();
  return reader.hasError() ? reader.errorString() : QString();
}

TEST_F(CatalogTextTest, CharactersXmlCannotHoldAreLeftOutByReadersAndWriter) {
  struct tCase {
    const char *mName;
    QByteArray mEpisode; // the File element as the file holds it
    const char *mURL;    // as every reader gives it
  };
  const tCase cases[] = {
      {"reference to a control character",
       "<File name=\"E\"><URL>http://store/a&#x1;b</URL><Status>Error</Status></File>",
       "http://store/ab"},
      {"raw control characters in a name and a comment",
       "<File name=\"E\x07\"><!-- \x1b --><URL>u\x02</URL><Status>Error</Status></File>", "u"},
      {"noncharacters",
       "<File name=\"&#xFFFE;E\"><URL>&#xFFFF;u</URL><Status>Error</Status></File>", "u"},
      // Found by fuzzing: a noncharacter in a name stopped the save from
      // keeping text that is blank once its control character goes.
      {"a noncharacter in a name, text blank without its control character",
       "<File name=\"E\"><URL>u<x nam\xef\xbf\xbf"
       "e=\"1\">  \x1d  </x>v</URL>"
       "<Status>Error</Status></File>",
       "u    v"},
  };
  for (const tCase &c : cases) {
    WriteFile(CatalogFile(), cHeader +
                                 "<Catalog><Category name=\"G\"><Category name=\"C\">"
                                 "<Category name=\"S\">" +
                                 c.mEpisode + "</Category></Category></Category></Catalog>\n");
    auto before = Episodes(CatalogFile());
    ASSERT_EQ(before.count(QStringLiteral("\\G\\C\\S\\E")), 1u) << c.mName;
    EXPECT_EQ(before.begin()->second[2], QString::fromUtf8(c.mURL)) << c.mName;
    // The status writer finds the episode by the URL the tree gave, and the
    // file it saves is XML that reads as before.
    UpdateEpisodeStatusInFile(CatalogFile(), QString::fromUtf8(c.mURL), esPaused);
    const QByteArray saved = ReadFile(CatalogFile());
    EXPECT_EQ(XmlError(saved), QString()) << c.mName << "\n" << saved.constData();
    before.begin()->second[3] = QString::number(esPaused);
    EXPECT_EQ(Episodes(CatalogFile()), before) << c.mName;
  }

  // A store name holding one is imported once, however often it comes.
  WriteEmptyCatalog(CatalogFile());
  const QByteArray store =
      "<Store><Group><Item><Instrument>G&#x1;</Instrument><Category>C</Category>"
      "<Sub-Category>S</Sub-Category><Filename>E&#x1;.mov</Filename><FileType>Movie</FileType>"
      "<Artist>A</Artist><Level>1</Level><Link>http://store/e&#x1;.mov</Link></Item>"
      "</Group></Store>";
  for (int i = 0; i < 2; ++i)
    ImportStoreCatalog([&store] { return std::optional<QByteArray>(store); });
  EXPECT_EQ(XmlError(ReadFile(CatalogFile())), QString()) << ReadFile(CatalogFile()).constData();
  const auto episodes = Episodes(CatalogFile());
  ASSERT_EQ(episodes.size(), 1u);
  EXPECT_EQ(episodes.begin()->first, QStringLiteral("\\G\\C\\S\\E"));
  EXPECT_EQ(episodes.begin()->second[2], QStringLiteral("http://store/e.mov"));
}

TEST_F(CatalogTextTest, StoreNamesMatchTheCatalogsAsTheReadersSeeThem) {
  // The catalog's own names hold bytes that are no UTF-8 (a reference beyond
  // Unicode) or characters XML cannot hold; the store sends the same names.
  for (const char *name : {"&#x110000;", "&#x65E5fd;", "&#x1;"}) {
    const QByteArray n = name;
    WriteFile(CatalogFile(), cHeader + "<Catalog><Category name=\"G" + n + "\"><Category name=\"C" +
                                 n + "\"><Category name=\"S" + n + "\"><File name=\"E" + n +
                                 "\"><URL>u</URL></File></Category></Category></Category>"
                                 "</Catalog>\n");
    const QByteArray store = "<Store><Group><Item><Instrument>G" + n + "</Instrument><Category>C" +
                             n + "</Category><Sub-Category>S" + n + "</Sub-Category><Filename>E" +
                             n +
                             ".mov</Filename><FileType>Movie</FileType><Artist>A</Artist>"
                             "<Level>1</Level><Link>u</Link></Item></Group></Store>";
    const int elements = CountElements(CatalogFile());
    ImportStoreCatalog([&store] { return std::optional<QByteArray>(store); });
    EXPECT_EQ(CountElements(CatalogFile()), elements) << name << "\n"
                                                      << ReadFile(CatalogFile()).constData();
    EXPECT_EQ(Episodes(CatalogFile()).size(), 1u) << name;
  }
}

TEST_F(CatalogTextTest, CommentsInstructionsAndTheDocumentTypeAreKept) {
  WriteFile(CatalogFile(), cHeader + "<!DOCTYPE Catalog>\n<?editor keep?>\n"
                                     "<Catalog version=\"1.0\"><!-- bought in 2025 -->"
                                     "<Category name=\"G\"><Category name=\"C\"><Category "
                                     "name=\"S\"><File name=\"E\"><URL>u</URL>"
                                     "<?note check?><Status>Error</Status></File>"
                                     "</Category></Category></Category></Catalog>\n");
  UpdateEpisodeStatusInFile(CatalogFile(), QStringLiteral("u"), esPaused);
  const QByteArray saved = ReadFile(CatalogFile());
  for (const char *kept :
       {"<!DOCTYPE Catalog>", "<?editor keep?>", "<!-- bought in 2025 -->", "<?note check?>"})
    EXPECT_TRUE(saved.contains(kept)) << kept << "\n" << saved.constData();
  EXPECT_TRUE(saved.contains("<Status>Paused</Status>")) << saved.constData();
}

TEST_F(CatalogTextTest, UndeclaredFilesThatAreNotUtf8ReadAsLatin1) {
  struct tCase {
    const char *mName;
    QByteArray mPrologue;
    QByteArray mEpisodeName; // as the bytes stand in the file
    const char *mRead;       // UTF-8
  };
  const tCase cases[] = {
      {"no declaration, Latin-1 bytes", "",
       "Ren\xe9"
       "e \xff\xfe",
       "Renée ÿþ"},
      {"version only, Latin-1 bytes", "<?xml version=\"1.0\"?>\n", "Caf\xe9", "Café"},
      {"no declaration, UTF-8 bytes", "",
       "Ren\xc3\xa9"
       "e",
       "Renée"},
      {"declared Latin-1", cHeader, "Ren\xc3\xa9", "RenÃ©"},
      {"declared Latin-1 in another case", "<?xml version=\"1.0\" encoding=\"LaTiN1\"?>\n",
       "Ren\xc3\xa9", "RenÃ©"},
      // Byte runs shaped like UTF-8 that UTF-8 does not allow.
      {"an encoded surrogate", "", "a\xed\xa0\x80", "a\xc3\xad\xc2\xa0\xc2\x80"},
      {"an overlong slash", "", "a\xc0\xaf", "a\xc3\x80\xc2\xaf"},
      {"beyond U+10FFFF", "", "a\xf4\x90\x80\x80", "a\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"},
  };
  for (const tCase &c : cases) {
    WriteFile(CatalogFile(), c.mPrologue +
                                 "<Catalog><Category name=\"G\"><Category name=\"C\">"
                                 "<Category name=\"S\"><File name=\"" +
                                 c.mEpisodeName +
                                 "\"><URL>u</URL><Status>Error</Status></File></Category>"
                                 "</Category></Category></Catalog>\n");
    const QString path = QStringLiteral("\\G\\C\\S\\") + U(c.mRead);
    EXPECT_EQ(Episodes(CatalogFile()).count(path), 1u) << c.mName;
    // The editing parse reads it the same way and saves every character.
    UpdateEpisodeStatusInFile(CatalogFile(), QStringLiteral("u"), esPaused);
    const auto episodes = Episodes(CatalogFile());
    ASSERT_EQ(episodes.count(path), 1u) << c.mName;
    EXPECT_EQ(episodes.at(path)[3], QString::number(esPaused)) << c.mName;
  }
}

TEST_F(CatalogTextTest, SplitTextReadsAsOneEverywhere) {
  // Text and CDATA, or text around a comment: the tree reader takes the
  // whole text, and so do the repair and the status writer.
  WriteFile(CatalogFile(),
            cHeader + "<Catalog><Category name=\"G\"><Category name=\"C\"><Category name=\"S\">"
                      "<File name=\"A\"><URL>http://store/<!-- x -->a.mov</URL>"
                      "<Status>Down<![CDATA[loading]]></Status></File>"
                      "<File name=\"B\"><URL><![CDATA[http://store/]]>b.mov</URL>"
                      "<Status>Err<!-- y -->or</Status></File>"
                      "</Category></Category></Category></Catalog>\n");
  ResetStatusesInFile(CatalogFile());
  auto episodes = Episodes(CatalogFile());
  EXPECT_EQ(episodes.at(QStringLiteral("\\G\\C\\S\\A"))[3], QString::number(esPaused));
  EXPECT_EQ(episodes.at(QStringLiteral("\\G\\C\\S\\B"))[3], QString::number(esNotDownloaded));
  EXPECT_EQ(episodes.at(QStringLiteral("\\G\\C\\S\\B"))[2], QStringLiteral("http://store/b.mov"));
  UpdateEpisodeStatusInFile(CatalogFile(), QStringLiteral("http://store/a.mov"), esDownloaded);
  UpdateEpisodeStatusInFile(CatalogFile(), QStringLiteral("http://store/b.mov"), esError);
  episodes = Episodes(CatalogFile());
  EXPECT_EQ(episodes.at(QStringLiteral("\\G\\C\\S\\A"))[3], QString::number(esDownloaded));
  EXPECT_EQ(episodes.at(QStringLiteral("\\G\\C\\S\\B"))[3], QString::number(esError));
}

// Counts the files renamed into a folder (every atomic save ends so).
class tRenameCounterC {
public:
  explicit tRenameCounterC(const QString &aFolder) : mFd(inotify_init1(IN_NONBLOCK)) {
    // Creations are watched too: the queue would fold repeated equal events.
    inotify_add_watch(mFd, QFile::encodeName(aFolder).constData(), IN_MOVED_TO | IN_CREATE);
  }
  ~tRenameCounterC() { close(mFd); }
  int Count() const {
    int count = 0;
    alignas(inotify_event) char buffer[4096];
    ssize_t size;
    while ((size = read(mFd, buffer, sizeof buffer)) > 0) {
      for (char *at = buffer; at < buffer + size;) {
        const auto *event = reinterpret_cast<const inotify_event *>(at);
        count += (event->mask & IN_MOVED_TO) ? 1 : 0;
        at += sizeof(inotify_event) + event->len;
      }
    }
    return count;
  }

private:
  int mFd;
};

TEST_F(CatalogTextTest, AStoreImportOfManyItemsSavesTheCatalogOnce) {
  WriteEmptyCatalog(CatalogFile());
  QByteArray store = "<Store><Group>";
  for (int i = 0; i < 20; ++i)
    store += "<Item><Instrument>Guitar</Instrument><Category>Rock</Category>"
             "<Sub-Category>S" +
             QByteArray::number(i % 3) + "</Sub-Category><Filename>e" + QByteArray::number(i) +
             ".mov</Filename><FileType>Movie</FileType><Artist>A</Artist><Level>1</Level>"
             "<Link>http://store/e" +
             QByteArray::number(i) + ".mov</Link></Item>";
  store += "</Group></Store>";
  const tRenameCounterC renames(QFileInfo(CatalogFile()).absolutePath());
  ImportStoreCatalog([&store] { return std::optional<QByteArray>(store); });
  EXPECT_EQ(renames.Count(), 1);
  EXPECT_EQ(Episodes(CatalogFile()).size(), 20u);
}

} // namespace
