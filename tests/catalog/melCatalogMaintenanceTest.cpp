#include "melCatalogMaintenance.h"
#include "melCatalog.h"
#include "melCatalogDocument.h"
#include "melTestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <csignal>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray cHeader = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";

// Catalog pieces, written on one line so that any save shows in the bytes.
QByteArray Episode(const char *aName, const char *aURL, const char *aStatus) {
  QByteArray xml = QByteArray("<File name=\"") + aName + "\"><Filename>x.mov</Filename>";
  if (aURL)
    xml += QByteArray("<URL>") + aURL + "</URL>";
  if (aStatus)
    xml += QByteArray("<Status>") + aStatus + "</Status>";
  return xml + "</File>";
}

QByteArray Category(const char *aName, const QByteArray &aContent = {}) {
  return QByteArray("<Category name=\"") + aName + "\">" + aContent + "</Category>";
}

QByteArray CatalogBody(const QByteArray &aContent) {
  return cHeader + "<Catalog version=\"1.0\">" + aContent + "</Catalog>\n";
}

using tStatusMap = std::map<QString, uint8_t>;
using tTextMap = std::map<QString, QString>;

void CollectStatuses(const tCategoryItemC &aCategory, tStatusMap &aStatuses) {
  for (int i = 0; i < aCategory.mItems.Count(); ++i) {
    const tCatalogItemC *item = aCategory.mItems.ObjectAt(i);
    if (item->IsCategory())
      CollectStatuses(*static_cast<const tCategoryItemC *>(item), aStatuses);
    else
      aStatuses[item->GetPath()] = static_cast<const tFileItemC *>(item)->mStatus;
  }
}

void CollectPaths(const tCategoryItemC &aCategory, QStringList &aPaths) {
  for (int i = 0; i < aCategory.mItems.Count(); ++i) {
    const tCatalogItemC *item = aCategory.mItems.ObjectAt(i);
    aPaths << item->GetPath();
    if (item->IsCategory())
      CollectPaths(*static_cast<const tCategoryItemC *>(item), aPaths);
  }
}

class CatalogMaintenanceTest : public TTempHomeTest {
protected:
  QString Folder() const { return HomeFile(QStringLiteral("lessons")); }
  QString CatalogFile() const { return Folder() + QStringLiteral("/Catalog.xml"); }
  QString WriteCatalog(const QByteArray &aContent) const {
    WriteFile(CatalogFile(), CatalogBody(aContent));
    return CatalogFile();
  }
  // Episode path to status, as the program reads the file.
  static tStatusMap Statuses(const QString &aFile) {
    tCatalogC catalog(aFile);
    tStatusMap statuses;
    CollectStatuses(*catalog.Root(), statuses);
    return statuses;
  }
  // Every category and episode path, in file order.
  static QStringList Paths(const QString &aFile) {
    tCatalogC catalog(aFile);
    QStringList paths;
    CollectPaths(*catalog.Root(), paths);
    return paths;
  }
  // Episode name to the raw Status text; "-" for none.
  static tTextMap StatusTexts(const QString &aFile) {
    tCatalogDocumentC document(aFile);
    tTextMap texts;
    for (const pugi::xpath_node &file : document.Root().select_nodes("//File")) {
      const pugi::xml_node status = file.node().child("Status");
      texts[Utf8Text(file.node().attribute("name").value())] =
          status ? Utf8Text(status.child_value()) : QStringLiteral("-");
    }
    return texts;
  }
  // The file's bytes, printed readably when a comparison fails.
  static std::string Bytes(const QString &aFile) { return ReadFile(aFile).toStdString(); }
  QStringList FolderEntries() const {
    return QDir(Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }
};

// Two episodes in two sub-categories share a URL; one has blanks around its
// URL, one has no Status and one has no URL.
const QByteArray cSharedURLCatalog = Category(
    "Guitar",
    Category("Blues",
             Category("Beginner", Episode("Shuffle", "http://store/a.mov", "Not downloaded") +
                                      Episode("Turnaround", "http://store/b.mov", "Downloaded") +
                                      Episode("Padded", " http://store/c.mov ", "Error")) +
                 Category("Advanced", Episode("Shuffle II", "http://store/a.mov", "Error") +
                                          Episode("Bare", "http://store/d.mov", nullptr) +
                                          Episode("Offline", nullptr, "Paused"))));

TEST_F(CatalogMaintenanceTest, StatusUpdatesReachEveryEpisodeWithExactlyThatURL) {
  const QString shuffle = QStringLiteral("\\Guitar\\Blues\\Beginner\\Shuffle");
  const QString turnaround = QStringLiteral("\\Guitar\\Blues\\Beginner\\Turnaround");
  const QString padded = QStringLiteral("\\Guitar\\Blues\\Beginner\\Padded");
  const QString shuffle2 = QStringLiteral("\\Guitar\\Blues\\Advanced\\Shuffle II");
  const QString bare = QStringLiteral("\\Guitar\\Blues\\Advanced\\Bare");
  const QString offline = QStringLiteral("\\Guitar\\Blues\\Advanced\\Offline");
  const tStatusMap before = {{shuffle, esNotDownloaded}, {turnaround, esDownloaded},
                             {padded, esError},          {shuffle2, esError},
                             {bare, esDownloaded},       {offline, esPaused}};
  struct tCase {
    const char *mURL;
    QStringList mChanged; // to Downloading
  };
  const tCase cases[] = {
      {"http://store/a.mov", {shuffle, shuffle2}},
      {"http://store/b.mov", {turnaround}},
      {"http://store/c.mov", {}},
      {" http://store/c.mov ", {padded}},
      {" http://store/a.mov", {}},
      {"HTTP://store/a.mov", {}},
      {"http://store/d.mov", {bare}}, // gets a Status
      {"http://store/none.mov", {}},
      {"", {}},
  };
  for (const tCase &c : cases) {
    const QString file = WriteCatalog(cSharedURLCatalog);
    ASSERT_EQ(Statuses(file), before);
    const std::string original = Bytes(file);
    UpdateEpisodeStatusInFile(file, QString::fromUtf8(c.mURL), esDownloading);
    tStatusMap expected = before;
    for (const QString &path : c.mChanged)
      expected[path] = esDownloading;
    EXPECT_EQ(Statuses(file), expected) << '"' << c.mURL << '"';
    // Written back even when nothing matched.
    EXPECT_NE(Bytes(file), original) << '"' << c.mURL << '"';
  }
}

TEST_F(CatalogMaintenanceTest, StatusUpdatesReplaceTheWholeStatusText) {
  const QString file = WriteCatalog(Category(
      "C", Category("S", Category("T", "<File name=\"e\"><URL>u</URL><Status>Err<![CDATA[or]]>"
                                       "</Status></File>"))));
  UpdateEpisodeStatusInFile(file, QStringLiteral("u"), esPaused);
  EXPECT_EQ(StatusTexts(file), (tTextMap{{QStringLiteral("e"), QStringLiteral("Paused")}}));
  EXPECT_EQ(Statuses(file).at(QStringLiteral("\\C\\S\\T\\e")), esPaused);
}

TEST_F(CatalogMaintenanceTest, RemovingEpisodesPrunesTheCategoriesTheyEmpty) {
  const QString file = WriteCatalog(
      Category(
          "Guitar",
          Category("Blues", Category("Beginner", Episode("Rock &amp; Roll", "u1", "Downloaded")) +
                                Category("Advanced", Episode("Bends", "u2", "Downloaded")))) +
      Category("Piano", Category("Jazz", Category("Easy", Episode("Comping", "u3", "Paused"))) +
                            Category("Theory")));
  struct tStep {
    const char *mName;
    QStringList mPaths;
  };
  const tStep steps[] = {
      {"Rock & Roll",
       {"\\Guitar", "\\Guitar\\Blues", "\\Guitar\\Blues\\Advanced",
        "\\Guitar\\Blues\\Advanced\\Bends", "\\Piano", "\\Piano\\Jazz", "\\Piano\\Jazz\\Easy",
        "\\Piano\\Jazz\\Easy\\Comping", "\\Piano\\Theory"}},
      {"Bends",
       {"\\Piano", "\\Piano\\Jazz", "\\Piano\\Jazz\\Easy", "\\Piano\\Jazz\\Easy\\Comping",
        "\\Piano\\Theory"}},
      // A category that was empty before stays.
      {"Comping", {"\\Piano", "\\Piano\\Theory"}},
  };
  for (const tStep &step : steps) {
    EXPECT_TRUE(RemoveEpisodeFromFile(file, QString::fromUtf8(step.mName))) << step.mName;
    EXPECT_EQ(Paths(file), step.mPaths) << step.mName;
  }
}

TEST_F(CatalogMaintenanceTest, RemovingTheLastEpisodeKeepsAnEmptyCatalog) {
  const QString file = WriteCatalog(
      Category("Drums", Category("Groove", Category("Beginner", Episode("Paradiddle", "u", "")))));
  EXPECT_TRUE(RemoveEpisodeFromFile(file, QStringLiteral("Paradiddle")));
  tCatalogDocumentC document(file);
  EXPECT_STREQ(document.Root().name(), "Catalog");
  EXPECT_STREQ(document.Root().attribute("version").value(), "1.0");
  EXPECT_FALSE(document.Root().first_child());
  tCatalogC catalog(file);
  EXPECT_EQ(catalog.Root()->mItems.Count(), 0);
  EXPECT_FALSE(RemoveEpisodeFromFile(file, QStringLiteral("Paradiddle")));
}

TEST_F(CatalogMaintenanceTest, TheFirstOfTwoEpisodesWithOneNameGoes) {
  const QString file = WriteCatalog(Category(
      "Guitar", Category("Blues", Category("Beginner", Episode("Shuffle", "u1", "Error") +
                                                           Episode("Walk", "u2", "Error")) +
                                      Category("Advanced", Episode("Shuffle", "u3", "Paused")))));
  EXPECT_TRUE(RemoveEpisodeFromFile(file, QStringLiteral("Shuffle")));
  EXPECT_EQ(Paths(file),
            (QStringList{"\\Guitar", "\\Guitar\\Blues", "\\Guitar\\Blues\\Beginner",
                         "\\Guitar\\Blues\\Beginner\\Walk", "\\Guitar\\Blues\\Advanced",
                         "\\Guitar\\Blues\\Advanced\\Shuffle"}));
  EXPECT_TRUE(RemoveEpisodeFromFile(file, QStringLiteral("Shuffle")));
  EXPECT_EQ(Paths(file), (QStringList{"\\Guitar", "\\Guitar\\Blues", "\\Guitar\\Blues\\Beginner",
                                      "\\Guitar\\Blues\\Beginner\\Walk"}));
}

TEST_F(CatalogMaintenanceTest, AnEpisodeNotFoundLeavesTheFileAsItWas) {
  const QString file = WriteCatalog(cSharedURLCatalog);
  const std::string original = Bytes(file);
  // Names compare exactly, and categories are no episodes.
  for (const char *name : {"Nobody", "shuffle", " Shuffle", "Shuffle ", "Beginner", "Guitar", ""}) {
    EXPECT_FALSE(RemoveEpisodeFromFile(file, QString::fromUtf8(name))) << '"' << name << '"';
    EXPECT_EQ(Bytes(file), original) << '"' << name << '"';
  }
}

TEST_F(CatalogMaintenanceTest, RemoveEpisodeNodeTellsWhetherItsElementWasEmptied) {
  pugi::xml_document document = tCatalogDocumentC::ParseText(
      CatalogBody(Category("A", Category("B", Episode("x", "u", "") + Episode("y", "u", "")) +
                                    Category("C", Episode("z", "u", "")))),
      QStringLiteral("test"));
  const pugi::xml_node root = document.document_element();
  const pugi::xml_node b = root.child("Category").child("Category");
  struct tCase {
    pugi::xml_node mElement;
    const char *mName;
    bool mFound;
    bool mEmptied;
  };
  const tCase cases[] = {
      {b, "z", false, false},    // z is not below B
      {b, "x", true, false},     // y is left
      {root, "z", true, false},  // C goes, A keeps B
      {b, "y", true, true},      // B is left empty but stays: its caller prunes it
      {root, "y", false, false}, // gone already
  };
  for (const tCase &c : cases) {
    bool emptied = !c.mEmptied;
    EXPECT_EQ(RemoveEpisodeNode(c.mElement, QString::fromUtf8(c.mName), emptied), c.mFound)
        << c.mName;
    EXPECT_EQ(emptied, c.mEmptied) << c.mName;
  }
  EXPECT_EQ(root.first_child().first_child(), b);

  // The element the walk starts from is kept even when all below it goes.
  pugi::xml_document single = tCatalogDocumentC::ParseText(
      CatalogBody(Category("A", Category("B", Episode("x", "u", "")))), QStringLiteral("test"));
  bool emptied = false;
  EXPECT_TRUE(RemoveEpisodeNode(single.document_element(), QStringLiteral("x"), emptied));
  EXPECT_TRUE(emptied);
  EXPECT_STREQ(single.document_element().name(), "Catalog");
  EXPECT_FALSE(single.document_element().first_child());
}

TEST_F(CatalogMaintenanceTest, StartRepairEndsDownloadsThatCannotGoOn) {
  const std::pair<const char *, const char *> cases[] = {
      {"Error", "Not downloaded"},
      {"Downloading", "Paused"},
      {"Downloaded", "Downloaded"},
      {"Not downloaded", "Not downloaded"},
      {"Paused", "Paused"},
      {"error", "error"},
      {" Downloading ", " Downloading "}, // exact words only
      {"", ""},
  };
  QByteArray episodes;
  tTextMap expected;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const QByteArray name = "e" + QByteArray::number(qulonglong(i));
    episodes += Episode(name.constData(), "u", cases[i].first);
    expected[QString::fromUtf8(name)] = QString::fromUtf8(cases[i].second);
  }
  const QString file = WriteCatalog(Category("C", Category("S", Category("T", episodes))));
  ResetStatusesInFile(file);
  EXPECT_EQ(StatusTexts(file), expected);
  EXPECT_EQ(Statuses(file).at(QStringLiteral("\\C\\S\\T\\e0")), esNotDownloaded);
}

TEST_F(CatalogMaintenanceTest, AnEpisodeWithoutStatusEndsTheRepairOfItsCategoryOnly) {
  const QString file = WriteCatalog(
      Category("Guitar",
               Category("Blues", Category("Beginner", Episode("a", "u", "Error") +
                                                          Episode("b", "u", nullptr) +
                                                          Episode("c", "u", "Error") +
                                                          Episode("d", "u", "Downloading")) +
                                     Category("Advanced", Episode("e", "u", "Downloading"))) +
                   Category("Rock", Category("Easy", Episode("f", "u", "Error")))) +
      Category("Piano", Category("Jazz", Category("Easy", Episode("g", "u", "Downloading")))));
  ResetStatusesInFile(file);
  EXPECT_EQ(StatusTexts(file), (tTextMap{{"a", "Not downloaded"},
                                         {"b", "-"},
                                         {"c", "Error"},
                                         {"d", "Downloading"},
                                         {"e", "Paused"},
                                         {"f", "Not downloaded"},
                                         {"g", "Paused"}}));
}

TEST_F(CatalogMaintenanceTest, SavedFilesStayLatin1AndReadBack) {
  const QString file = WriteCatalog(Category(
      "Caf\xe9", Category("Bl\xfcs", Category("S", Episode("Ren\xe9"
                                                           "e",
                                                           "http://store/r\xe9.mov", "Error")))));
  UpdateEpisodeStatusInFile(file, QString::fromUtf8("http://store/ré.mov"), esDownloaded);
  const QByteArray saved = ReadFile(file);
  EXPECT_TRUE(saved.startsWith(cHeader)) << saved.constData();
  EXPECT_TRUE(saved.contains("\n\t\t\t\t<File name=\"Ren\xe9"
                             "e\">\n"))
      << saved.constData();
  EXPECT_TRUE(saved.contains("<URL>http://store/r\xe9.mov</URL>")) << saved.constData();
  EXPECT_FALSE(saved.contains("\xc3\xa9")) << saved.constData();
  EXPECT_EQ(Statuses(file),
            (tStatusMap{{QString::fromUtf8("\\Café\\Blüs\\S\\Renée"), esDownloaded}}));
}

TEST_F(CatalogMaintenanceTest, DeepNestingIsWalkedWithoutExhaustingTheStack) {
  pugi::xml_document document;
  pugi::xml_node node = document.append_child("Catalog");
  const pugi::xml_node root = node;
  for (int i = 0; i < 300000; ++i) {
    node = node.append_child("Category");
    node.append_attribute("name") = "c";
  }
  pugi::xml_node episode = node.append_child("File");
  episode.append_attribute("name") = "deep";
  episode.append_child("URL").text() = "u";
  episode.append_child("Status").text() = "Error";

  SetStatusByURL(root, QStringLiteral("u"), esDownloading);
  EXPECT_STREQ(episode.child("Status").text().get(), "Downloading");
  ResetStatusesIn(root);
  EXPECT_STREQ(episode.child("Status").text().get(), "Paused");
  bool emptied = false;
  EXPECT_TRUE(RemoveEpisodeNode(root, QStringLiteral("deep"), emptied));
  EXPECT_TRUE(emptied);
  EXPECT_FALSE(root.first_child());
}

using tOperation = std::function<void(const QString &)>;

// Operations that each change the shared-URL catalog.
const std::pair<const char *, tOperation> cWrites[] = {
    {"update",
     [](const QString &aFile) {
       UpdateEpisodeStatusInFile(aFile, QStringLiteral("http://store/a.mov"), esDownloading);
     }},
    {"remove",
     [](const QString &aFile) { RemoveEpisodeFromFile(aFile, QStringLiteral("Padded")); }},
    {"reset", [](const QString &aFile) { ResetStatusesInFile(aFile); }},
};

TEST_F(CatalogMaintenanceTest, MissingOrBrokenFilesRaiseAndStayAsTheyWere) {
  const QString file = CatalogFile();
  for (const auto &[name, write] : cWrites) {
    QFile::remove(file);
    EXPECT_THROW(write(file), ECatalogError) << name;
    EXPECT_FALSE(QFile::exists(file)) << name;

    const QByteArray broken = CatalogBody(cSharedURLCatalog).chopped(12);
    WriteFile(file, broken);
    EXPECT_THROW(write(file), ECatalogError) << name;
    EXPECT_EQ(Bytes(file), broken.toStdString()) << name;
    EXPECT_EQ(FolderEntries(), QStringList{"Catalog.xml"}) << name;
  }
}

// Runs aWrite in a child process whose files may not grow past a few bytes,
// so that the save fails as on a full disk, root or not. Returns 1 when the
// child saw EMelError from the save.
int RunWithFileSizeLimit(const std::function<void()> &aWrite) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
      _exit(5);
    try {
      aWrite();
    } catch (const ECatalogError &) {
      _exit(2); // the read failed, not the save
    } catch (const EMelError &) {
      _exit(1);
    } catch (...) {
      _exit(3);
    }
    _exit(0);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(CatalogMaintenanceTest, AFailedSaveLeavesTheCatalogAsItWas) {
  for (const auto &[name, write] : cWrites) {
    const QString file = WriteCatalog(cSharedURLCatalog);
    const std::string original = Bytes(file);
    EXPECT_EQ(RunWithFileSizeLimit([&write = write, &file] { write(file); }), 1) << name;
    EXPECT_EQ(Bytes(file), original) << name;
    EXPECT_EQ(FolderEntries(), QStringList{"Catalog.xml"}) << name;
    // Without the limit the same write goes through.
    EXPECT_NO_THROW(write(file)) << name;
    EXPECT_NE(Bytes(file), original) << name;
  }
}

TEST_F(CatalogMaintenanceTest, AReadOnlyFolderLeavesTheCatalogAsItWas) {
  if (geteuid() == 0)
    GTEST_SKIP() << "root writes into read-only folders";
  const QString file = WriteCatalog(cSharedURLCatalog);
  const std::string original = Bytes(file);
  const QByteArray folder = QFile::encodeName(Folder());
  ASSERT_EQ(chmod(folder.constData(), 0555), 0);
  for (const auto &[name, write] : cWrites) {
    EXPECT_THROW(write(file), EMelError) << name;
    EXPECT_EQ(Bytes(file), original) << name;
    EXPECT_EQ(FolderEntries(), QStringList{"Catalog.xml"}) << name;
  }
  chmod(folder.constData(), 0755);
}

TEST_F(CatalogMaintenanceTest, KilledWritersLeaveAReadableCatalog) {
  const QStringList urls = {"http://store/1.mov", "http://store/2.mov", "http://store/3.mov"};
  // About 150 episodes, so that a save takes long enough to be hit.
  QByteArray instruments;
  int count = 0;
  for (const char *instrument : {"Guitar", "Piano", "Drums"}) {
    QByteArray categories;
    for (const char *category : {"Blues", "Jazz"}) {
      QByteArray levels;
      for (const char *level : {"Beginner", "Intermediate", "Advanced", "Master Class"}) {
        QByteArray episodes;
        for (int i = 0; i < 6; ++i, ++count) {
          const QByteArray name = "Lesson " + QByteArray::number(count);
          episodes +=
              Episode(name.constData(), urls[count % 3].toUtf8().constData(), "Downloading");
        }
        levels += Category(level, episodes);
      }
      categories += Category(category, levels);
    }
    instruments += Category(instrument, categories);
  }
  const QString bystander = QStringLiteral("\\Bass\\Funk\\Slap\\Other");
  instruments +=
      Category("Bass", Category("Funk", Category("Slap", Episode("Other", "http://o", "Error"))));
  const QString file = WriteCatalog(instruments);
  ASSERT_EQ(Statuses(file).size(), size_t(count + 1));

  const unsigned seed = 20240611;
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay(0, 300);
  int kills = 0;
  int whileWriting = 0;
  int beforeWriting = 0;
  int finished = 0;
  for (int run = 0; run < 40; ++run) {
    QProcess child;
    child.start(QStringLiteral(CATALOG_WRITER_CHILD), QStringList{file} + urls);
    ASSERT_TRUE(child.waitForStarted()) << child.errorString().toStdString();
    if (child.waitForFinished(delay(random))) {
      ++finished;
      EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().constData();
    } else {
      child.kill();
      ASSERT_TRUE(child.waitForFinished());
      ++kills;
      if (child.readAllStandardOutput().contains("writing"))
        ++whileWriting;
      else
        ++beforeWriting;
    }
    tStatusMap statuses;
    ASSERT_NO_THROW(statuses = Statuses(file)) << "run " << run;
    ASSERT_EQ(statuses.size(), size_t(count + 1)) << "run " << run;
    for (const auto &[path, status] : statuses) {
      if (path == bystander)
        EXPECT_EQ(status, esError) << "run " << run;
      else
        EXPECT_TRUE(status == esDownloaded || status == esDownloading)
            << "run " << run << " " << path.toStdString() << " " << int(status);
    }
  }
  const qsizetype leftovers = FolderEntries().size() - 1;
  std::cout << "[ harness  ] seed " << seed << ": " << kills << " kills, " << whileWriting
            << " while writing, " << beforeWriting << " before the first write, " << finished
            << " runs finished first; " << leftovers << " temporary files left by kills\n";
  RecordProperty("kills", kills);
  RecordProperty("kills_while_writing", whileWriting);
  EXPECT_GT(whileWriting, 0);
}

} // namespace
