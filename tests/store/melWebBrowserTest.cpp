#include "melWebEngineBrowser.h"

#include "melErrors.h"
#include "melTestEnv.h"
#include "melWebPage.h"

#include <httplib.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Tests run as root in CI, where Chromium's sandbox will not start; as the
// program does, it is turned off before the application object exists.
[[maybe_unused]] const bool cSandboxOffForRoot = [] {
  if (geteuid() == 0)
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  return true;
}();

const QString cStoreHeaders =
    QStringLiteral("Content-Type: application/x-www-form-urlencoded\n\r"
                   "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)"
                   "Melodra/2.0.0\n\r");

// Runs the event loop until aDone holds; the limit only keeps a broken engine
// from hanging the suite.
bool WaitUntil(const std::function<bool()> &aDone) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (aDone() || clock.elapsed() > 60000)
      loop.quit();
  });
  poll.start(10);
  if (!aDone())
    loop.exec();
  return aDone();
}

struct tSeenRequestC {
  std::string mPath;
  httplib::Headers mHeaders;
};

// The store pages of these tests; every request is written down.
void AddPages(httplib::Server &aServer, std::mutex &aLock, std::vector<tSeenRequestC> &aSeen) {
  aServer.Get(".*", [&aLock, &aSeen](const httplib::Request &aRequest, httplib::Response &aAnswer) {
    {
      std::lock_guard lock(aLock);
      aSeen.push_back({aRequest.path, aRequest.headers});
    }
    const std::string &path = aRequest.path;
    std::string body;
    if (path == "/cookie") {
      aAnswer.headers.emplace("Set-Cookie", "secret=1; Path=/; HttpOnly");
      aAnswer.headers.emplace("Set-Cookie", "plain=2; Path=/");
      body = "<script>document.cookie = 'customerLogin=x; path=/';</script>";
    } else if (path == "/frames")
      body = "<iframe src='/page/inner'></iframe>";
    else if (path == "/blockedframe")
      body = "<iframe src='/page/blocked'></iframe>";
    else if (path == "/open")
      body = "<script>window.open('/page/opened');</script>";
    else if (path == "/blank")
      body = "<a id='l' target='_blank' href='/page/linked'>go</a>"
             "<script>document.getElementById('l').click();</script>";
    else if (path == "/headers")
      body = "<img src='/pixel'>";
    body = "<!DOCTYPE html><html><head><title>" + path + "</title></head><body>" + body +
           "</body></html>";
    aAnswer.set_content(body, "text/html");
  });
}

// A store on an ephemeral loopback port, plain or over TLS.
template <typename tServer> class tStoreServerC {
public:
  template <typename... tArgs>
  explicit tStoreServerC(const char *aScheme, tArgs... aArgs)
      : mServer(aArgs...), mScheme(aScheme) {
    AddPages(mServer, mLock, mSeen);
    mPort = mServer.bind_to_any_port("127.0.0.1");
    mThread = std::thread([this] { mServer.listen_after_bind(); });
    while (!mServer.is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~tStoreServerC() {
    mServer.stop();
    mThread.join();
  }
  bool Valid() const { return mServer.is_valid() && mPort > 0; }
  QString Url(const char *aPath) const {
    return QStringLiteral("%1://127.0.0.1:%2%3")
        .arg(QLatin1String(mScheme))
        .arg(mPort)
        .arg(QLatin1String(aPath));
  }
  bool Saw(const std::string &aPath) {
    std::lock_guard lock(mLock);
    for (const tSeenRequestC &request : mSeen)
      if (request.mPath == aPath)
        return true;
    return false;
  }
  // The headers of the first request for aPath.
  httplib::Headers HeadersOf(const std::string &aPath) {
    std::lock_guard lock(mLock);
    for (const tSeenRequestC &request : mSeen)
      if (request.mPath == aPath)
        return request.mHeaders;
    return {};
  }

private:
  tServer mServer;
  const char *mScheme;
  int mPort = 0;
  std::thread mThread;
  std::mutex mLock;
  std::vector<tSeenRequestC> mSeen;
};

std::string HeaderOf(const httplib::Headers &aHeaders, const char *aName) {
  const auto found = aHeaders.find(aName);
  return found == aHeaders.end() ? std::string("(none)") : found->second;
}

// What one browser raised, with a cancel rule for BeforeNavigate2.
class tBrowserEventsC : public QObject {
public:
  struct tNavigationC {
    QString mUrl;
    bool mMainFrame;
    std::optional<QString> mCookie;
  };

  explicit tBrowserEventsC(TWebEngineBrowser *aBrowser) : mBrowser(aBrowser) {
    connect(aBrowser, &TWebBrowser::BeforeNavigate2, this,
            [this](TWebBrowser *aSender, const tBrowserObjectC &aObject, const QString &aUrl,
                   bool *aCancel) {
              EXPECT_EQ(aSender, mBrowser);
              mBefore.push_back({aUrl, aObject.mMainFrame, aObject.mDocumentCookie});
              if (mCancel)
                mCancel(aUrl, aCancel);
            });
    connect(aBrowser, &TWebBrowser::NavigateComplete2, this,
            [this](TWebBrowser *aSender, const tBrowserObjectC &aObject, const QString &aUrl) {
              EXPECT_EQ(aSender, mBrowser);
              mComplete.push_back({aUrl, aObject.mMainFrame, aObject.mDocumentCookie});
            });
    connect(aBrowser, &TWebBrowser::CommandStateChange, this,
            [this](TWebBrowser *, int aCommand, bool aEnable) {
              mCommands.push_back({aCommand, aEnable});
            });
    connect(aBrowser, &TWebBrowser::NavigateError, this,
            [this](TWebBrowser *, const QString &aUrl) { mErrors.push_back(aUrl); });
    connect(aBrowser->View()->page(), &QWebEnginePage::loadFinished, this,
            [this](bool aOk) { mLoads.push_back(aOk); });
  }

  static const tNavigationC *Find(const std::vector<tNavigationC> &aList, const QString &aUrl) {
    for (const tNavigationC &navigation : aList)
      if (navigation.mUrl == aUrl)
        return &navigation;
    return nullptr;
  }
  const tNavigationC *Before(const QString &aUrl) const { return Find(mBefore, aUrl); }
  const tNavigationC *Complete(const QString &aUrl) const { return Find(mComplete, aUrl); }
  bool WaitComplete(const QString &aUrl) {
    return WaitUntil([&] { return Complete(aUrl) != nullptr; });
  }
  bool WaitFailedLoad() {
    return WaitUntil(
        [&] { return std::find(mLoads.begin(), mLoads.end(), false) != mLoads.end(); });
  }
  bool WaitCommand(int aCommand, bool aEnable) {
    return WaitUntil([&] {
      return std::find(mCommands.begin(), mCommands.end(), std::pair{aCommand, aEnable}) !=
             mCommands.end();
    });
  }

  std::function<void(const QString &, bool *)> mCancel;
  std::vector<tNavigationC> mBefore, mComplete;
  std::vector<std::pair<int, bool>> mCommands;
  std::vector<bool> mLoads;
  std::vector<QString> mErrors;

private:
  TWebBrowser *mBrowser;
};

// The direct children of this process that are web engine processes.
int WebEngineChildren() {
  int count = 0;
  const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
  for (const QString &entry : entries) {
    bool isPid = false;
    entry.toInt(&isPid);
    if (!isPid)
      continue;
    std::ifstream stat("/proc/" + entry.toStdString() + "/stat");
    std::string line;
    std::getline(stat, line);
    // The fields after the command name, which may hold blanks: state, ppid.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
      continue;
    char state = 0;
    long parent = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) != 2 ||
        parent != getpid())
      continue;
    std::ifstream commandLine("/proc/" + entry.toStdString() + "/cmdline");
    std::string program;
    std::getline(commandLine, program, '\0');
    if (program.find("QtWebEngineProcess") != std::string::npos)
      ++count;
  }
  return count;
}

// Must run before any other test of this program makes a browser; gtest keeps
// the order of the file unless shuffled.
TEST(WebEngineStart, TheEngineStartsWithTheFirstBrowserNotBefore) {
  tStoreServerC<httplib::Server> server("http");
  EXPECT_EQ(WebEngineChildren(), 0);
  QWidget host;
  auto browser = std::make_unique<TWebEngineBrowser>(&host);
  tBrowserEventsC events(browser.get());
  browser->Navigate(server.Url("/page/first"));
  ASSERT_TRUE(events.WaitComplete(server.Url("/page/first")));
  EXPECT_GT(WebEngineChildren(), 0);
}

TEST(WebRequestHeaders, LinesEndedEitherWayBecomeHeadersAndJunkIsLeftOut) {
  using tHeaders = tRequestHeadersC;
  const struct {
    QString mText;
    tHeaders mExpected;
  } cases[] = {
      {cStoreHeaders,
       {{"Content-Type", "application/x-www-form-urlencoded"},
        {"User-Agent", "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)Melodra/2.0.0"}}},
      {QStringLiteral("A: 1\r\nB:2\r\n"), {{"A", "1"}, {"B", "2"}}},
      {QStringLiteral("A: 1\nB: x:y"), {{"A", "1"}, {"B", "x:y"}}},
      {QStringLiteral("\n\rno colon\n\r: empty name\n\rBad Name: 1\n\rC: a\rb\n\rD: \n\r"),
       {{"D", ""}}},
      {QString(), {}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ParseRequestHeaders(c.mText), c.mExpected) << c.mText.toStdString();
}

TEST(WebRequestHeaders, RequestAddressesCompareInTheEnginesForm) {
  EXPECT_TRUE(SameRequestUrl(QUrl(QStringLiteral("http://h:8080")),
                             QUrl(QStringLiteral("http://h:8080/"))));
  EXPECT_TRUE(SameRequestUrl(QUrl(QStringLiteral("https://H:443/a#top")),
                             QUrl(QStringLiteral("https://h/a"))));
  EXPECT_FALSE(SameRequestUrl(QUrl(QStringLiteral("http://h/a?x=1")),
                              QUrl(QStringLiteral("http://h/a?x=2"))));
}

TEST(WebDocumentReport, OnlyALineWithTheTagIsAReport) {
  const QString tag = QStringLiteral("melodra-1234:");
  const auto report = ParseDocumentReport(
      tag, tag + QStringLiteral(R"({"main":false,"url":"http://h/f","cookie":"a=1"})"));
  ASSERT_TRUE(report);
  EXPECT_FALSE(report->mMainFrame);
  EXPECT_EQ(report->mUrl, QStringLiteral("http://h/f"));
  EXPECT_EQ(report->mCookie, QStringLiteral("a=1"));
  const auto noCookie = ParseDocumentReport(
      tag, tag + QStringLiteral(R"({"main":true,"url":"data:,","cookie":null})"));
  ASSERT_TRUE(noCookie);
  EXPECT_FALSE(noCookie->mCookie);
  for (const QString &line :
       {QStringLiteral(R"({"main":true,"url":"http://h/","cookie":""})"),
        QStringLiteral("melodra-9999:") + QStringLiteral(R"({"main":true,"url":"x"})"),
        tag + QStringLiteral("{broken"), tag + QStringLiteral(R"({"url":"x"})")})
    EXPECT_FALSE(ParseDocumentReport(tag, line)) << line.toStdString();
}

// One browser in one shown window for the tests below, as the store window
// keeps one.
class WebBrowserTest : public TTempHomeTest {
protected:
  static void SetUpTestSuite() {
    mServer = new tStoreServerC<httplib::Server>("http");
    mHost = new QWidget;
    mHost->resize(640, 480);
    mHost->show();
    mBrowser = new TWebEngineBrowser(mHost);
  }
  static void TearDownTestSuite() {
    delete mBrowser;
    delete mHost;
    delete mServer;
  }
  void SetUp() override {
    TTempHomeTest::SetUp();
    mBrowser->SetOffline(false);
    mEvents = std::make_unique<tBrowserEventsC>(mBrowser);
  }
  void TearDown() override {
    mEvents.reset();
    TTempHomeTest::TearDown();
  }
  static QString Url(const char *aPath) { return mServer->Url(aPath); }
  // Loads aPath to its end, for a known state after what a test started.
  void LoadAndWait(const char *aPath) {
    mBrowser->Navigate(Url(aPath));
    ASSERT_TRUE(mEvents->WaitComplete(Url(aPath))) << aPath;
  }

  static inline tStoreServerC<httplib::Server> *mServer = nullptr;
  static inline QWidget *mHost = nullptr;
  static inline TWebEngineBrowser *mBrowser = nullptr;
  std::unique_ptr<tBrowserEventsC> mEvents;
};

TEST_F(WebBrowserTest, TheStoreHeadersGoWithThatRequestOnly) {
  mBrowser->Navigate2(Url("/headers"), cStoreHeaders);
  ASSERT_TRUE(mEvents->WaitComplete(Url("/headers")));
  ASSERT_TRUE(WaitUntil([] { return mServer->Saw("/pixel"); }));
  LoadAndWait("/page/plain");

  const std::string storeAgent =
      "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)Melodra/2.0.0";
  const httplib::Headers page = mServer->HeadersOf("/headers");
  EXPECT_EQ(HeaderOf(page, "User-Agent"), storeAgent);
  EXPECT_EQ(HeaderOf(page, "Content-Type"), "application/x-www-form-urlencoded");
  for (const char *path : {"/pixel", "/page/plain"}) {
    const httplib::Headers other = mServer->HeadersOf(path);
    EXPECT_NE(HeaderOf(other, "User-Agent"), storeAgent) << path;
    EXPECT_EQ(HeaderOf(other, "Content-Type"), "(none)") << path;
  }
  EXPECT_EQ(mBrowser->LocationURL(), Url("/page/plain"));
}

TEST_F(WebBrowserTest, AnAddressThatIsNoneRaises) {
  for (const char *address : {"", "not an address", "http://", "://nothing", "http://[bad"}) {
    EXPECT_THROW(mBrowser->Navigate(QLatin1String(address)), EMelError) << address;
    EXPECT_THROW(mBrowser->Navigate2(QLatin1String(address), cStoreHeaders), EMelError) << address;
  }
}

TEST_F(WebBrowserTest, ACancelledNavigationSendsNoRequest) {
  mEvents->mCancel = [](const QString &aUrl, bool *aCancel) {
    if (aUrl.contains(u"/page/blocked"))
      *aCancel = true;
  };
  // The page itself, then a frame of another page.
  mBrowser->Navigate2(Url("/page/blocked"), cStoreHeaders);
  ASSERT_TRUE(WaitUntil([this] { return mEvents->Before(Url("/page/blocked")); }));
  EXPECT_TRUE(mEvents->Before(Url("/page/blocked"))->mMainFrame);
  LoadAndWait("/blockedframe");
  ASSERT_TRUE(WaitUntil([this] {
    return std::count_if(
               mEvents->mBefore.begin(), mEvents->mBefore.end(), [this](const auto &aNavigation) {
                 return aNavigation.mUrl == Url("/page/blocked") && !aNavigation.mMainFrame;
               }) == 1;
  }));
  LoadAndWait("/page/after");
  EXPECT_FALSE(mServer->Saw("/page/blocked"));
  EXPECT_FALSE(mEvents->Complete(Url("/page/blocked")));
}

TEST_F(WebBrowserTest, TheHeadersOfACancelledNavigationAreNotLeftForALaterOne) {
  bool gated = true;
  mEvents->mCancel = [&gated](const QString &aUrl, bool *aCancel) {
    if (aUrl.contains(u"/page/gated"))
      *aCancel = std::exchange(gated, false);
  };
  LoadAndWait("/page/before-gated");
  mBrowser->Navigate2(Url("/page/gated"), cStoreHeaders);
  ASSERT_TRUE(WaitUntil([&gated] { return !gated; }));
  // The page's own script goes there next.
  mBrowser->View()->page()->runJavaScript(QStringLiteral("location.href = '/page/gated';"));
  ASSERT_TRUE(mEvents->WaitComplete(Url("/page/gated")));
  EXPECT_EQ(HeaderOf(mServer->HeadersOf("/page/gated"), "Content-Type"), "(none)");
}

TEST_F(WebBrowserTest, AFailingHandlerIsLoggedAndItsCancelKept) {
  OpenTestLog();
  mEvents->mCancel = [](const QString &aUrl, bool *aCancel) {
    if (aUrl.contains(u"/page/throws")) {
      *aCancel = true;
      throw EMelError(QStringLiteral("the handler failed"));
    }
  };
  mBrowser->Navigate(Url("/page/throws"));
  ASSERT_TRUE(WaitUntil([this] { return mEvents->Before(Url("/page/throws")); }));
  LoadAndWait("/page/after-throw");
  EXPECT_FALSE(mServer->Saw("/page/throws"));
  const QStringList log = LogMessages();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString &aLine) {
    return aLine.contains(u"the handler failed");
  })) << log.join(u'\n').toStdString();
}

TEST_F(WebBrowserTest, FramesRaiseBothEventsAsFrames) {
  LoadAndWait("/frames");
  ASSERT_TRUE(mEvents->WaitComplete(Url("/page/inner")));
  EXPECT_TRUE(mEvents->Before(Url("/frames"))->mMainFrame);
  EXPECT_TRUE(mEvents->Complete(Url("/frames"))->mMainFrame);
  ASSERT_TRUE(mEvents->Before(Url("/page/inner")));
  EXPECT_FALSE(mEvents->Before(Url("/page/inner"))->mMainFrame);
  EXPECT_FALSE(mEvents->Complete(Url("/page/inner"))->mMainFrame);
  EXPECT_EQ(mBrowser->LocationURL(), Url("/frames"));
}

TEST_F(WebBrowserTest, TheCompletedDocumentCarriesTheCookiesItsScriptSees) {
  LoadAndWait("/cookie");
  const auto *complete = mEvents->Complete(Url("/cookie"));
  ASSERT_TRUE(complete->mCookie);
  const QString cookie = *complete->mCookie;
  EXPECT_TRUE(cookie.contains(QStringLiteral("plain=2"))) << cookie.toStdString();
  EXPECT_TRUE(cookie.contains(QStringLiteral("customerLogin=x"))) << cookie.toStdString();
  EXPECT_FALSE(cookie.contains(QStringLiteral("secret"))) << cookie.toStdString();
  // BeforeNavigate2 is before any document.
  EXPECT_FALSE(mEvents->Before(Url("/cookie"))->mCookie);
}

TEST_F(WebBrowserTest, NewWindowsLoadInThisViewAsNavigations) {
  const struct {
    const char *mPage;
    const char *mOpened;
  } cases[] = {{"/open", "/page/opened"}, {"/blank", "/page/linked"}};
  for (const auto &c : cases) {
    mEvents->mCancel = nullptr;
    // The opener may move on before its own document is reported; only the
    // page it opens is waited for.
    mBrowser->Navigate(Url(c.mPage));
    ASSERT_TRUE(mEvents->WaitComplete(Url(c.mOpened))) << c.mPage;
    ASSERT_TRUE(mEvents->Before(Url(c.mOpened))) << c.mPage;
    EXPECT_TRUE(mEvents->Before(Url(c.mOpened))->mMainFrame) << c.mPage;
    EXPECT_TRUE(mEvents->Complete(Url(c.mOpened))->mMainFrame) << c.mPage;
    EXPECT_EQ(mBrowser->LocationURL(), Url(c.mOpened));
  }
}

TEST_F(WebBrowserTest, OfflineNothingLeavesTheBrowser) {
  mBrowser->SetOffline(true);
  EXPECT_TRUE(mBrowser->Offline());
  mBrowser->Navigate(Url("/page/offline"));
  ASSERT_TRUE(mEvents->WaitFailedLoad());
  EXPECT_FALSE(mServer->Saw("/page/offline"));
  // A page that did not load raises no completion, but its error.
  EXPECT_TRUE(mEvents->mComplete.empty());
  EXPECT_EQ(mEvents->mErrors, std::vector<QString>{Url("/page/offline")});

  mBrowser->SetOffline(false);
  EXPECT_FALSE(mBrowser->Offline());
  LoadAndWait("/page/online");
  EXPECT_TRUE(mServer->Saw("/page/online"));
}

TEST_F(WebBrowserTest, TheBrowserFillsItsParent) {
  for (const QSize size : {QSize(640, 480), QSize(800, 500)}) {
    mHost->resize(size);
    ASSERT_TRUE(WaitUntil([] { return mBrowser->geometry() == mHost->rect(); }))
        << size.width() << "x" << size.height();
  }
}

TEST_F(WebBrowserTest, HistoryStepsAndTheirCommandStates) {
  // A browser of its own, so that its history starts empty.
  QWidget host;
  TWebEngineBrowser browser(&host);
  tBrowserEventsC events(&browser);
  EXPECT_FALSE(browser.CanGoBack());
  EXPECT_FALSE(browser.CanGoForward());
  EXPECT_THROW(browser.GoBack(), EMelError);
  EXPECT_THROW(browser.GoForward(), EMelError);

  browser.Navigate(Url("/page/one"));
  ASSERT_TRUE(events.WaitComplete(Url("/page/one")));
  browser.Navigate(Url("/page/two"));
  ASSERT_TRUE(events.WaitComplete(Url("/page/two")));
  ASSERT_TRUE(events.WaitCommand(cCSCNavigateBack, true));
  EXPECT_TRUE(browser.CanGoBack());

  events.mComplete.clear();
  browser.GoBack();
  ASSERT_TRUE(events.WaitComplete(Url("/page/one")));
  EXPECT_EQ(browser.LocationURL(), Url("/page/one"));
  ASSERT_TRUE(events.WaitCommand(cCSCNavigateForward, true));
  ASSERT_TRUE(events.WaitCommand(cCSCNavigateBack, false));
  EXPECT_TRUE(browser.CanGoForward());

  events.mComplete.clear();
  browser.GoForward();
  ASSERT_TRUE(events.WaitComplete(Url("/page/two")));
  ASSERT_TRUE(events.WaitCommand(cCSCNavigateForward, false));
  EXPECT_EQ(browser.LocationURL(), Url("/page/two"));
  // Every change was told once, in order for each command.
  const std::vector<std::pair<int, bool>> expected = {{cCSCNavigateBack, true},
                                                      {cCSCNavigateForward, true},
                                                      {cCSCNavigateBack, false},
                                                      {cCSCNavigateForward, false},
                                                      {cCSCNavigateBack, true}};
  EXPECT_EQ(events.mCommands, expected);
}

// A self-signed certificate for 127.0.0.1 and its key, as PEM files.
bool MakeCertificate(const std::string &aCertFile, const std::string &aKeyFile, long aSerial) {
  EVP_PKEY *key = EVP_EC_gen("P-256");
  X509 *certificate = X509_new();
  bool done = key && certificate;
  if (done) {
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), aSerial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 7 * 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME *name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char *>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION *names =
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1");
    done = names && X509_add_ext(certificate, names, -1) == 1 &&
           X509_sign(certificate, key, EVP_sha256()) > 0;
    X509_EXTENSION_free(names);
  }
  if (done) {
    FILE *certOut = std::fopen(aCertFile.c_str(), "w");
    FILE *keyOut = std::fopen(aKeyFile.c_str(), "w");
    done = certOut && keyOut && PEM_write_X509(certOut, certificate) == 1 &&
           PEM_write_PrivateKey(keyOut, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    if (certOut)
      std::fclose(certOut);
    if (keyOut)
      std::fclose(keyOut);
  }
  X509_free(certificate);
  EVP_PKEY_free(key);
  return done;
}

TEST(WebBrowserCertificates, AnErrorPassesOnlyForTheStoreHostWithTheStoreCertificate) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const std::string base = folder.path().toStdString();
  ASSERT_TRUE(MakeCertificate(base + "/store.pem", base + "/store.key", 1));
  ASSERT_TRUE(MakeCertificate(base + "/other.pem", base + "/other.key", 2));
  tStoreServerC<httplib::SSLServer> store("https", (base + "/store.pem").c_str(),
                                          (base + "/store.key").c_str());
  ASSERT_TRUE(store.Valid());

  const struct {
    const char *mTrustedHost;
    const char *mCertificate;
    const char *mPath;
    bool mLoads;
  } cases[] = {
      {"127.0.0.1", "/store.pem", "/page/trusted", true},
      {"localhost", "/store.pem", "/page/other-host", false},
      {"127.0.0.1", "/other.pem", "/page/other-certificate", false},
      {"", "", "/page/nothing-trusted", false},
  };
  for (const auto &c : cases) {
    QWidget host;
    tWebBrowserOptionsC options;
    options.mTrustedHost = QLatin1String(c.mTrustedHost);
    if (*c.mCertificate)
      options.mCertificateFile = folder.path() + QLatin1String(c.mCertificate);
    TWebEngineBrowser browser(&host, options);
    tBrowserEventsC events(&browser);
    browser.Navigate(store.Url(c.mPath));
    ASSERT_TRUE(WaitUntil([&] { return !events.mLoads.empty(); })) << c.mPath;
    EXPECT_EQ(events.mLoads.front(), c.mLoads) << c.mPath;
    EXPECT_EQ(store.Saw(c.mPath), c.mLoads) << c.mPath;
    if (c.mLoads)
      EXPECT_TRUE(events.WaitComplete(store.Url(c.mPath))) << c.mPath;
    else
      EXPECT_FALSE(events.Complete(store.Url(c.mPath))) << c.mPath;
    EXPECT_EQ(events.mErrors.size(), c.mLoads ? 0u : 1u) << c.mPath;
  }
}

} // namespace
