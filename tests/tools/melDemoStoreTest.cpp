#include "melCatalogDocument.h"
#include "melDemoLessons.h"
#include "melDemoStoreOffer.h"
#include "melDemoStoreProcess.h"
#include "melEpisodeFiles.h"
#include "melStoreImport.h"
#include "melTestEnv.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <curl/curl.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

using tHeadersC = QList<std::pair<QByteArray, QByteArray>>;

struct tAnswerC {
  CURLcode mCode = CURLE_OK;
  long mStatus = 0;
  // Every head received, redirects first; each starts with its status line.
  std::vector<tHeadersC> mHeads;
  QByteArray mBody;

  const tHeadersC &Final() const { return mHeads.back(); }
  QByteArray Header(const QByteArray &aName) const {
    for (const auto &[name, value] : Final()) {
      if (name.compare(aName, Qt::CaseInsensitive) == 0)
        return value;
    }
    return {};
  }
};

struct tRequestC {
  tRequestC(QByteArray aMethod = "GET", QStringList aHeaders = {}, QByteArray aPost = {})
      : mMethod(std::move(aMethod)), mHeaders(std::move(aHeaders)), mPost(std::move(aPost)) {}
  QByteArray mMethod;
  QStringList mHeaders;
  QByteArray mPost;
  bool mFollow = false;
};

size_t OnBody(char *aData, size_t aSize, size_t aCount, void *aAnswer) {
  static_cast<tAnswerC *>(aAnswer)->mBody.append(aData, qsizetype(aSize * aCount));
  return aSize * aCount;
}

size_t OnHeader(char *aData, size_t aSize, size_t aCount, void *aAnswer) {
  auto &answer = *static_cast<tAnswerC *>(aAnswer);
  const QByteArray line = QByteArray(aData, qsizetype(aSize * aCount)).trimmed();
  if (line.startsWith("HTTP/"))
    answer.mHeads.emplace_back();
  else if (const qsizetype colon = line.indexOf(':'); colon > 0 && !answer.mHeads.empty())
    answer.mHeads.back().append({line.left(colon), line.mid(colon + 1).trimmed()});
  return aSize * aCount;
}

class DemoStoreTest : public TTempHomeTest {
protected:
  static void SetUpTestSuite() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    sStore = std::make_unique<tDemoStoreProcessC>();
    sStartError = sStore->Start();
  }
  static void TearDownTestSuite() { sStore.reset(); }

  void SetUp() override {
    TTempHomeTest::SetUp();
    ASSERT_EQ(sStartError, QString());
  }

  static tDemoStoreProcessC &Store() { return *sStore; }

  // Verifies the store's certificate; localhost is pinned to 127.0.0.1.
  static tAnswerC Fetch(const QString &aUrl, const tRequestC &aRequest = {}) {
    tAnswerC answer;
    CURL *curl = curl_easy_init();
    const QByteArray url = aUrl.toUtf8();
    const QByteArray certificate = QFile::encodeName(Store().CertificateFile());
    curl_slist *headers = nullptr;
    for (const QString &header : aRequest.mHeaders)
      headers = curl_slist_append(headers, header.toUtf8().constData());
    curl_slist *resolve = nullptr;
    for (const int port : {Store().HttpPort(), Store().HttpsPort()})
      resolve = curl_slist_append(
          resolve, QByteArray("localhost:" + QByteArray::number(port) + ":127.0.0.1").constData());
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_CAINFO, certificate.constData());
    curl_easy_setopt(curl, CURLOPT_RESOLVE, resolve);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, aRequest.mFollow ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &answer);
    if (aRequest.mMethod == "HEAD")
      curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    else if (aRequest.mMethod == "POST")
      curl_easy_setopt(curl, CURLOPT_POSTFIELDS, aRequest.mPost.constData());
    answer.mCode = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.mStatus);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    curl_slist_free_all(resolve);
    if (answer.mHeads.empty())
      answer.mHeads.emplace_back();
    return answer;
  }

  static QString Cookie() { return QStringLiteral("Cookie: ") + Store().LoginCookie(); }

  static QStringList DownloadLinks(const QByteArray &aPage) {
    static const QRegularExpression link(QStringLiteral("href=\"([^\"]*downloadRedirect[^\"]*)\""));
    QStringList links;
    for (const QRegularExpressionMatch &m : link.globalMatch(QString::fromUtf8(aPage)))
      links << m.captured(1).replace(QLatin1String("&amp;"), QLatin1String("&"));
    return links;
  }

  static QByteArray ServedFile(const QString &aName) {
    return ReadFile(QDir(Store().DataFolder()).filePath(QStringLiteral("files/") + aName));
  }

  static QString FileUrl(const QString &aName) {
    return Store().PlainBase() + QStringLiteral("/downloadStore/files/") + aName;
  }

  static inline std::unique_ptr<tDemoStoreProcessC> sStore;
  static inline QString sStartError;
};

// The store logs a request once its answer is out, so the line may come a
// moment after the client has the answer.
bool LogHas(const tDemoStoreProcessC &aStore, const QString &aText) {
  const QDeadlineTimer deadline(10000);
  while (!aStore.Output().filter(aText).size()) {
    if (deadline.hasExpired())
      return false;
    QThread::msleep(10);
  }
  return true;
}

const QString cMovie = QStringLiteral("guitar-blues-beginner-1.mov");

TEST_F(DemoStoreTest, ServesItsPagesOverBothSchemesWithACertificateForBothHostNames) {
  const QString plainLink =
      Store().PlainBase() + QStringLiteral("/downloadStore/downloadRedirect.php");
  for (const QString &base :
       {Store().SecureBase(), QStringLiteral("https://localhost:%1").arg(Store().HttpsPort()),
        Store().PlainBase()}) {
    SCOPED_TRACE(base.toStdString());
    const tAnswerC index = Fetch(base + QStringLiteral("/downloadStore/index.php"));
    ASSERT_EQ(index.mCode, CURLE_OK) << curl_easy_strerror(index.mCode);
    EXPECT_EQ(index.mStatus, 200);
    const QStringList links = DownloadLinks(index.mBody);
    ASSERT_EQ(links.size(), qsizetype(DemoStoreItems().size()));
    // The program only intercepts links under the plain base, whatever
    // scheme the page came by.
    if (!base.contains(QLatin1String("localhost"))) {
      for (const QString &link : links)
        EXPECT_TRUE(link.startsWith(plainLink + QStringLiteral("?item="))) << link.toStdString();
    }
    EXPECT_EQ(Fetch(base + QStringLiteral("/downloadStore/")).mStatus, 200);
  }

  const tAnswerC frame = Fetch(Store().SecureBase() + QStringLiteral("/downloadStore/frame.php"));
  EXPECT_TRUE(frame.mBody.contains("<iframe src=\"/downloadStore/"));
  EXPECT_EQ(Fetch(Store().SecureBase() + QStringLiteral("/support.php")).mStatus, 200);
  const tAnswerC old =
      Fetch(Store().PlainBase() + QStringLiteral("/pc-updates.php?version=1.0.0.1"));
  EXPECT_TRUE(old.mBody.contains("Version 1.5.0.61 is available; you have 1.0.0.1"));
  const tAnswerC hostile =
      Fetch(Store().PlainBase() + QStringLiteral("/pc-updates.php?version=%3Cscript%3E"));
  EXPECT_FALSE(hostile.mBody.contains("<script>"));

  struct stat key;
  ASSERT_EQ(stat(QFile::encodeName(Store().DataFolder() + QStringLiteral("/key.pem")), &key), 0);
  EXPECT_EQ(key.st_mode & 0777, 0600u);
}

TEST_F(DemoStoreTest, LoginSetsACookieThePageCanReadAndFilesNeedIt) {
  const QString login = Store().SecureBase() + QStringLiteral("/downloadStore/login.php");
  EXPECT_TRUE(Fetch(login).mBody.contains("<form method=\"post\""));

  tRequestC wrong{"POST", {}, "user=demo&password=guess"};
  const tAnswerC refused = Fetch(login, wrong);
  EXPECT_EQ(refused.Header("Set-Cookie"), QByteArray());
  EXPECT_TRUE(refused.mBody.contains("wrong"));

  const tAnswerC accepted = Fetch(login, {"POST", {}, "user=demo&password=lessons"});
  const QByteArray cookie = accepted.Header("Set-Cookie");
  EXPECT_TRUE(cookie.startsWith(Store().LoginCookie().toUtf8() + ";")) << cookie.constData();
  EXPECT_TRUE(cookie.contains("Path=/"));
  EXPECT_FALSE(cookie.toLower().contains("httponly"));
  EXPECT_TRUE(Store().LoginCookie().contains(QLatin1String("Login")));

  const tAnswerC index =
      Fetch(Store().SecureBase() + QStringLiteral("/downloadStore/index.php"), {"GET", {Cookie()}});
  EXPECT_TRUE(index.mBody.contains("Logged in as demo"));

  const tAnswerC logout = Fetch(Store().SecureBase() + QStringLiteral("/downloadStore/logout.php"));
  EXPECT_TRUE(logout.Header("Set-Cookie").startsWith("customerLogin=;"));
  EXPECT_TRUE(logout.Header("Set-Cookie").contains("Max-Age=0"));

  EXPECT_EQ(Fetch(FileUrl(cMovie), {"HEAD"}).mStatus, 403);
  EXPECT_EQ(
      Fetch(FileUrl(cMovie), {"HEAD", {QStringLiteral("Cookie: customerLogin=stale")}}).mStatus,
      403);
  EXPECT_EQ(
      Fetch(FileUrl(cMovie), {"HEAD", {QStringLiteral("Cookie:other=1; ") + Store().LoginCookie()}})
          .mStatus,
      200);
}

TEST_F(DemoStoreTest, TheDownloadLinkAnswersWithTheCatalogQueryInItsSpellings) {
  const QString link =
      Store().PlainBase() +
      QStringLiteral("/downloadStore/downloadRedirect.php?item=piano-jazz-beginner");
  const QByteArray query = "item=piano-jazz-beginner&format=xml";
  const tAnswerC plain = Fetch(link, {"HEAD"});
  EXPECT_EQ(plain.mStatus, 200);
  EXPECT_EQ(plain.Final().count({"Download", query}), 1);
  EXPECT_TRUE(LogHas(
      Store(), QStringLiteral(
                   "http HEAD /downloadStore/downloadRedirect.php?item=piano-jazz-beginner 200")));
  EXPECT_EQ(Fetch(link.left(link.indexOf(u'=') + 1) + QStringLiteral("nothing"), {"HEAD"}).mStatus,
            404);

  const struct {
    QStringList mSwitches;
    // Name and value of every Download line of the final answer, in order.
    tHeadersC mLines;
    size_t mHeads;
  } cases[] = {
      {{QStringLiteral("--download-header-case"), QStringLiteral("lower")},
       {{"download", query}},
       1},
      {{QStringLiteral("--download-header-twice")},
       {{"Download", query}, {"Download", "item=second-line&format=xml"}},
       1},
      {{QStringLiteral("--redirect-download")}, {{"Download", query}}, 2},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mSwitches.join(u' ').toStdString());
    tDemoStoreProcessC store(c.mSwitches, Store().DataFolder());
    ASSERT_EQ(store.Start(), QString());
    for (const QByteArray &method : {QByteArray("HEAD"), QByteArray("GET")}) {
      tRequestC request{method};
      request.mFollow = true;
      const QString storeLink = store.PlainBase() + link.mid(Store().PlainBase().size());
      const tAnswerC answer = Fetch(storeLink, request);
      EXPECT_EQ(answer.mStatus, 200);
      ASSERT_EQ(answer.mHeads.size(), c.mHeads);
      tHeadersC lines;
      for (const auto &line : answer.Final()) {
        if (line.first.compare("Download", Qt::CaseInsensitive) == 0)
          lines.append(line);
      }
      EXPECT_EQ(lines, c.mLines);
      // The redirect's own header must not be taken for the answer's.
      if (c.mHeads == 2) {
        EXPECT_FALSE(
            answer.mHeads[0].contains(std::pair<QByteArray, QByteArray>("Download", query)));
      }
    }
  }
}

// Buys every item as the program does: the link's Download header is the
// query of the catalog request, and the document goes through the importer.
TEST_F(DemoStoreTest, EveryItemMergesIntoAFreshAndIntoASeededCatalog) {
  const QString fresh = HomeFile(QStringLiteral("fresh.xml"));
  const QString seeded = HomeFile(QStringLiteral("seeded.xml"));
  WriteEmptyCatalog(fresh);
  WriteFile(seeded, DemoCatalog(DemoLessons()));

  const tAnswerC index = Fetch(Store().SecureBase() + QStringLiteral("/downloadStore/index.php"));
  std::set<QString> links;
  for (const QString &link : DownloadLinks(index.mBody)) {
    const QByteArray query = Fetch(link, {"HEAD"}).Header("Download");
    ASSERT_FALSE(query.isEmpty()) << link.toStdString();
    const tAnswerC catalog =
        Fetch(Store().PlainBase() + QStringLiteral("/downloadStore/download.php?") +
              QString::fromLatin1(query));
    ASSERT_EQ(catalog.mStatus, 200);
    EXPECT_TRUE(catalog.mBody.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"));
    const pugi::xml_document store = tCatalogDocumentC::ParseText(catalog.mBody, link);
    for (const QString &file : {fresh, seeded}) {
      tCatalogDocumentC local(file);
      MergeStoreCatalog(store, local);
    }
    for (const pugi::xpath_node &node : store.select_nodes("//Link"))
      links.insert(Utf8Text(node.node().child_value()));
  }

  const auto episodes = [](const QString &aFile) {
    std::set<QString> names;
    tCatalogDocumentC document(aFile);
    for (const pugi::xpath_node &node : document.Root().select_nodes("//File"))
      names.insert(Utf8Text(node.node().attribute("name").value()));
    return names;
  };
  std::set<QString> sold;
  std::set<QString> storeOnly;
  for (const tDemoStoreLessonC *lesson : DemoStoreLessons()) {
    sold.insert(StripExtension(lesson->mStoreFileName));
    if (lesson->mStoreOnly)
      storeOnly.insert(lesson->mLesson.mName);
  }
  EXPECT_EQ(episodes(fresh), sold);
  // The seeded collection is recognised by title; what the store alone has
  // is new.
  std::set<QString> added;
  std::set<QString> before;
  for (const tDemoLessonC &lesson : DemoLessons())
    before.insert(lesson.mName);
  for (const QString &name : episodes(seeded)) {
    if (!before.count(name))
      added.insert(name);
  }
  EXPECT_EQ(added, storeOnly);

  // Every link names a file the store has, for a logged-in customer.
  ASSERT_EQ(links.size(), DemoStoreLessons().size());
  for (const QString &link : links) {
    ASSERT_TRUE(link.startsWith(Store().PlainBase() + QStringLiteral("/downloadStore/files/")));
    const tAnswerC head = Fetch(link, {"HEAD", {Cookie()}});
    EXPECT_EQ(head.mStatus, 200) << link.toStdString();
    EXPECT_EQ(head.Header("Content-Length").toLongLong(),
              QFileInfo(Store().DataFolder() + QStringLiteral("/files/") + link.section(u'/', -1))
                  .size());
  }
}

TEST_F(DemoStoreTest, BrokenCatalogsAreRefusedByTheImporterWithoutSavingTheItem) {
  const struct {
    const char *mKind;
    bool mParses;
  } cases[] = {{"not-xml", false}, {"item-missing-fields", true}, {"dotdot-filename", true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mKind);
    tDemoStoreProcessC store({QStringLiteral("--bad-catalog"), QLatin1String(c.mKind)},
                             Store().DataFolder());
    ASSERT_EQ(store.Start(), QString());
    const tAnswerC answer =
        Fetch(store.PlainBase() +
              QStringLiteral("/downloadStore/download.php?item=drums-groove-beginner"));
    ASSERT_EQ(answer.mStatus, 200);
    const QString catalog = HomeFile(QStringLiteral("catalog.xml"));
    WriteEmptyCatalog(catalog);
    const QByteArray empty = ReadFile(catalog);
    if (!c.mParses) {
      EXPECT_ANY_THROW(tCatalogDocumentC::ParseText(answer.mBody, QStringLiteral("store")));
      continue;
    }
    const pugi::xml_document document =
        tCatalogDocumentC::ParseText(answer.mBody, QStringLiteral("store"));
    tCatalogDocumentC local(catalog);
    EXPECT_ANY_THROW(MergeStoreCatalog(document, local));
    EXPECT_EQ(ReadFile(catalog), empty);
  }
}

TEST_F(DemoStoreTest, FilesAnswerRangesAndHonourIfRange) {
  const QByteArray whole = ServedFile(cMovie);
  ASSERT_GT(whole.size(), 1000);
  const QString size = QString::number(whole.size());
  const tAnswerC head = Fetch(FileUrl(cMovie), {"HEAD", {Cookie()}});
  EXPECT_EQ(head.mStatus, 200);
  EXPECT_EQ(head.Header("Content-Length"), size.toLatin1());
  EXPECT_EQ(head.Header("Accept-Ranges"), "bytes");
  const QByteArray etag = head.Header("ETag");
  const QByteArray modified = head.Header("Last-Modified");
  EXPECT_TRUE(etag.startsWith('"') && etag.endsWith('"')) << etag.constData();
  EXPECT_FALSE(modified.isEmpty());

  const struct {
    QStringList mHeaders;
    long mStatus;
    QByteArray mBody;
    QByteArray mContentRange;
  } cases[] = {
      {{QStringLiteral("Range: bytes=10-19")},
       206,
       whole.mid(10, 10),
       "bytes 10-19/" + size.toLatin1()},
      {{QStringLiteral("Range: bytes=-5")},
       206,
       whole.right(5),
       "bytes " + QByteArray::number(whole.size() - 5) + "-" +
           QByteArray::number(whole.size() - 1) + "/" + size.toLatin1()},
      {{QStringLiteral("Range: bytes=1000-"), QStringLiteral("If-Range: ") + etag},
       206,
       whole.mid(1000),
       "bytes 1000-" + QByteArray::number(whole.size() - 1) + "/" + size.toLatin1()},
      {{QStringLiteral("Range: bytes=1000-"), QStringLiteral("If-Range: ") + modified},
       206,
       whole.mid(1000),
       "bytes 1000-" + QByteArray::number(whole.size() - 1) + "/" + size.toLatin1()},
      {{QStringLiteral("Range: bytes=1000-"), QStringLiteral("If-Range: \"another\"")},
       200,
       whole,
       {}},
      {{QStringLiteral("Range: bytes=1000-"), QStringLiteral("If-Range: W/") + etag},
       200,
       whole,
       {}},
      {{QStringLiteral("Range: bytes=") + size + u'-'}, 416, {}, "bytes */" + size.toLatin1()},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mHeaders.join(QStringLiteral(", ")).toStdString());
    const tAnswerC answer = Fetch(FileUrl(cMovie), {"GET", c.mHeaders + QStringList{Cookie()}});
    EXPECT_EQ(answer.mStatus, c.mStatus);
    EXPECT_TRUE(answer.mBody == c.mBody) << answer.mBody.size() << " bytes";
    EXPECT_EQ(answer.Header("Content-Range"), c.mContentRange);
  }
}

TEST_F(DemoStoreTest, PathsOutsideTheStoresFilesAreRefused) {
  for (const char *path :
       {"/downloadStore/files/../../etc/passwd", "/downloadStore/files/%2e%2e/%2e%2e/etc/passwd",
        "/downloadStore/files/%2e%2e%2f%2e%2e%2fetc%2fpasswd", "/downloadStore/files/../key.pem",
        "/downloadStore/files/..%2fkey.pem", "/downloadStore/files/%2fetc%2fpasswd",
        "/downloadStore/../../../etc/passwd"}) {
    SCOPED_TRACE(path);
    const tAnswerC answer = Fetch(Store().PlainBase() + QLatin1String(path), {"GET", {Cookie()}});
    EXPECT_EQ(answer.mStatus, 404);
    EXPECT_FALSE(answer.mBody.contains("root:"));
    EXPECT_FALSE(answer.mBody.contains("PRIVATE KEY"));
  }
}

TEST_F(DemoStoreTest, TestSwitchesBreakFileAnswersAsTheyName) {
  const QByteArray whole = ServedFile(cMovie);
  {
    // A download cut again and again still completes by resuming.
    tDemoStoreProcessC store({QStringLiteral("--drop-after"), QStringLiteral("100000")},
                             Store().DataFolder());
    ASSERT_EQ(store.Start(), QString());
    const QString url = store.PlainBase() + QStringLiteral("/downloadStore/files/") + cMovie;
    QByteArray received;
    QByteArray etag;
    for (int attempt = 0; attempt < 20 && received.size() < whole.size(); ++attempt) {
      QStringList headers{Cookie()};
      if (!received.isEmpty())
        headers << QStringLiteral("Range: bytes=%1-").arg(received.size())
                << QStringLiteral("If-Range: ") + etag;
      const tAnswerC answer = Fetch(url, {"GET", headers});
      EXPECT_EQ(answer.mStatus, received.isEmpty() ? 200 : 206);
      EXPECT_LE(answer.mBody.size(), 100000);
      if (answer.mBody.size() + received.size() < whole.size()) {
        EXPECT_EQ(answer.mCode, CURLE_PARTIAL_FILE);
      }
      etag = answer.Header("ETag");
      received += answer.mBody;
    }
    EXPECT_TRUE(received == whole);
    EXPECT_TRUE(LogHas(store, QStringLiteral("connection cut after 100000 bytes")));
    EXPECT_EQ(store.Stop(), 0);
  }
  {
    tDemoStoreProcessC store({QStringLiteral("--ignore-range")}, Store().DataFolder());
    ASSERT_EQ(store.Start(), QString());
    const tAnswerC answer =
        Fetch(store.PlainBase() + QStringLiteral("/downloadStore/files/") + cMovie,
              {"GET", {Cookie(), QStringLiteral("Range: bytes=100-")}});
    EXPECT_EQ(answer.mStatus, 200);
    EXPECT_TRUE(answer.mBody == whole);
  }
  {
    tDemoStoreProcessC store({QStringLiteral("--change-etag")}, Store().DataFolder());
    ASSERT_EQ(store.Start(), QString());
    const QString url = store.PlainBase() + QStringLiteral("/downloadStore/files/") + cMovie;
    const tAnswerC first = Fetch(url, {"GET", {Cookie()}});
    const tAnswerC resumed = Fetch(url, {"GET",
                                         {Cookie(), QStringLiteral("Range: bytes=100-"),
                                          QStringLiteral("If-Range: ") + first.Header("ETag")}});
    EXPECT_NE(first.Header("ETag"), resumed.Header("ETag"));
    EXPECT_NE(first.Header("Last-Modified"), resumed.Header("Last-Modified"));
    EXPECT_EQ(resumed.mStatus, 200);
    EXPECT_EQ(first.mBody.size(), resumed.mBody.size());
    EXPECT_FALSE(first.mBody == resumed.mBody);
  }
  {
    tDemoStoreProcessC store({QStringLiteral("--fail-5xx")}, Store().DataFolder());
    ASSERT_EQ(store.Start(), QString());
    EXPECT_EQ(Fetch(store.PlainBase() + QStringLiteral("/downloadStore/files/") + cMovie,
                    {"HEAD", {Cookie()}})
                  .mStatus,
              503);
    EXPECT_EQ(Fetch(store.PlainBase() +
                    QStringLiteral("/downloadStore/download.php?item=guitar-rock-beginner"))
                  .mStatus,
              503);
    EXPECT_EQ(Fetch(store.PlainBase() + QStringLiteral("/downloadStore/index.php")).mStatus, 200);
  }
}

TEST_F(DemoStoreTest, BadStartsEndWithAMessageAndAFailingStatus) {
  const struct {
    QStringList mArguments;
    const char *mMessage;
  } cases[] = {
      {{QStringLiteral("--no-such-switch")}, "unknown switch"},
      {{QStringLiteral("--http-port"), QStringLiteral("http")}, "--http-port needs a number"},
      {{QStringLiteral("--https-port"), QStringLiteral("70000")}, "--https-port needs a number"},
      {{QStringLiteral("--host"), QStringLiteral("192.0.2.1")}, "not a loopback address"},
      {{QStringLiteral("--bad-catalog"), QStringLiteral("odd")}, "--bad-catalog takes"},
      {{QStringLiteral("--slow")}, "--slow needs a value"},
      {{QStringLiteral("--rate"), QStringLiteral("0")}, "--rate needs a number"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mArguments.join(u' ').toStdString());
    QProcess process;
    process.start(tDemoStoreProcessC::Program(),
                  QStringList{QStringLiteral("--data"), Store().DataFolder()} + c.mArguments);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_NE(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardError().contains(c.mMessage));
  }

  tDemoStoreProcessC second({QStringLiteral("--http-port"), QString::number(Store().HttpPort())},
                            Store().DataFolder());
  const QString error = second.Start();
  EXPECT_TRUE(error.contains(QLatin1String("in use"))) << error.toStdString();
}

} // namespace
