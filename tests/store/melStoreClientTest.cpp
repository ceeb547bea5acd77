#include "melStoreClient.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// A server on an ephemeral loopback port, answering as a store would.
class tLoopbackServerC {
public:
  explicit tLoopbackServerC(const std::function<void(httplib::Server &)> &aRoutes) {
    aRoutes(mServer);
    mPort = mServer.bind_to_any_port("127.0.0.1");
    mThread = std::thread([this] { mServer.listen_after_bind(); });
    while (!mServer.is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~tLoopbackServerC() {
    mServer.stop();
    mThread.join();
  }
  QString Base(const char *aHost = "127.0.0.1") const {
    return QStringLiteral("http://%1:%2").arg(QLatin1String(aHost)).arg(mPort);
  }
  int Port() const { return mPort; }

private:
  httplib::Server mServer;
  int mPort = 0;
  std::thread mThread;
};

class StoreClientTest : public ::testing::Test {
protected:
  void SetUp() override {
    mServer = std::make_unique<tLoopbackServerC>([](httplib::Server &aServer) {
      aServer.Get("/link/(.*)", [](const httplib::Request &aRequest, httplib::Response &aAnswer) {
        const std::string kind = aRequest.matches[1];
        if (kind == "one")
          aAnswer.set_header("Download", " item=1&user=ann ");
        else if (kind == "lower")
          aAnswer.set_header("download", "item=2");
        else if (kind == "two") {
          aAnswer.headers.emplace("Download", "item=3");
          aAnswer.headers.emplace("Download", "item=4");
        } else if (kind == "redirect") {
          aAnswer.set_header("Download", "from-the-redirect");
          aAnswer.set_redirect("/link/one");
        } else if (kind == "broken")
          aAnswer.status = 500;
        else if (kind == "slow")
          std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        aAnswer.set_content("<Catalog/>", "text/xml");
      });
    });
  }

  QString Link(const char *aKind) const {
    return mServer->Base() + QStringLiteral("/link/") + QLatin1String(aKind);
  }

  std::unique_ptr<tLoopbackServerC> mServer;
};

TEST_F(StoreClientTest, TheDownloadHeaderOfTheFinalAnswerMakesTheCatalogAddress) {
  const struct {
    const char *mKind;
    const char *mQuery;
  } cases[] = {
      {"one", "item=1&user=ann"},
      {"none", ""},
      {"lower", ""}, // the name test is exact
      {"two", "item=3"},
      {"redirect", "item=1&user=ann"}, // read from the final answer
      {"broken", ""},
  };
  tStoreRequestOptionsC options;
  for (const auto &test : cases) {
    SCOPED_TRACE(test.mKind);
    EXPECT_EQ(CatalogUrlFor(QStringLiteral("http://store"), Link(test.mKind), options),
              QStringLiteral("http://store/downloadStore/download.php?") +
                  QLatin1String(test.mQuery));
  }
  EXPECT_EQ(ResolveDownloadQuery(Link("broken"), options), std::nullopt) << "a 5xx is a failure";
  EXPECT_EQ(ResolveDownloadQuery(Link("none"), options), QString());
}

// Takes one request on a loopback port and keeps its bytes as they came.
class tRequestCaptureC {
public:
  tRequestCaptureC() {
    mListener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(mListener, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(mListener, reinterpret_cast<sockaddr *>(&address), &length);
    mPort = ntohs(address.sin_port);
    ::listen(mListener, 1);
    mThread = std::thread([this] {
      const int connection = ::accept(mListener, nullptr, nullptr);
      char buffer[4096];
      while (mRequest.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0)
          break;
        mRequest.append(buffer, size_t(got));
      }
      const char answer[] = "HTTP/1.1 200 OK\r\nDownload: item=1\r\nContent-Length: 0\r\n\r\n";
      ::send(connection, answer, sizeof answer - 1, 0);
      ::close(connection);
    });
  }
  ~tRequestCaptureC() {
    if (mThread.joinable())
      mThread.join();
    ::close(mListener);
  }
  QString Url(const char *aHost) const {
    return QStringLiteral("http://%1:%2/link").arg(QLatin1String(aHost)).arg(mPort);
  }
  // The request, once it was answered.
  const std::string &Request() {
    mThread.join();
    return mRequest;
  }

private:
  int mListener = -1;
  int mPort = 0;
  std::thread mThread;
  std::string mRequest;
};

TEST(StoreClientCookieTest, TheCookieLineGoesToTheStoreHostOnlyAndEmptyAsWell) {
  const struct {
    const char *mName;
    const char *mCookie;
    const char *mRequestHost;
    const char *mLine; // nullptr: no Cookie line at all
  } cases[] = {
      {"the store", "customerLogin=ann; a=1", "127.0.0.1", "\r\nCookie:customerLogin=ann; a=1\r\n"},
      {"an empty cookie", "", "127.0.0.1", "\r\nCookie:\r\n"},
      {"another host", "customerLogin=ann", "localhost", nullptr},
  };
  for (const auto &test : cases) {
    SCOPED_TRACE(test.mName);
    tRequestCaptureC capture;
    tStoreRequestOptionsC options;
    options.mStoreHost = QStringLiteral("127.0.0.1");
    options.mCookie = QString::fromLatin1(test.mCookie);
    EXPECT_EQ(ResolveDownloadQuery(capture.Url(test.mRequestHost), options),
              QStringLiteral("item=1"));
    const std::string &request = capture.Request();
    if (test.mLine)
      EXPECT_NE(request.find(test.mLine), std::string::npos) << request;
    else
      EXPECT_EQ(request.find("Cookie"), std::string::npos) << request;
  }
}

TEST_F(StoreClientTest, BodiesHeadersAndFailures) {
  tStoreRequestOptionsC options;
  EXPECT_EQ(FetchStoreCatalog(Link("one"), options), QByteArray("<Catalog/>"));
  EXPECT_EQ(FetchStoreCatalog(Link("broken"), options), std::nullopt);
  EXPECT_EQ(QueryResponseHeader(Link("one"), "Content-Length", options), QStringLiteral("10"));
  EXPECT_THROW(QueryResponseHeader(Link("broken"), "Content-Length", options), EStoreRequestError);
  // Nothing listens there any more.
  const QString gone = [] {
    tLoopbackServerC closed([](httplib::Server &) {});
    return closed.Base() + QStringLiteral("/x");
  }();
  EXPECT_EQ(FetchStoreCatalog(gone, options), std::nullopt);
  // A server that does not answer in time ends with the timeout.
  options.mTimeoutMs = 300;
  EXPECT_EQ(FetchStoreCatalog(Link("slow"), options), std::nullopt);
}

TEST_F(StoreClientTest, TheDetectedProxyCarriesTheRequestsUnlessNoProxyNamesTheHost) {
  std::string seenTarget;
  std::mutex seenLock;
  tLoopbackServerC proxy([&](httplib::Server &aServer) {
    aServer.Get(".*", [&](const httplib::Request &aRequest, httplib::Response &aAnswer) {
      std::lock_guard lock(seenLock);
      seenTarget = aRequest.target;
      aAnswer.set_header("Download", "via-the-proxy");
    });
  });
  tStoreRequestOptionsC options;
  options.mProxy = {true, QStringLiteral("127.0.0.1"), proxy.Port()};
  EXPECT_EQ(ResolveDownloadQuery(Link("one"), options), QStringLiteral("via-the-proxy"));
  {
    std::lock_guard lock(seenLock);
    EXPECT_EQ(QString::fromStdString(seenTarget), Link("one")) << "the whole address, to the proxy";
  }
  qputenv("no_proxy", "127.0.0.1");
  EXPECT_EQ(ResolveDownloadQuery(Link("one"), options), QStringLiteral("item=1&user=ann"));
  qunsetenv("no_proxy");
}

TEST(StoreResponseHeadTest, LinesBecomeHeadersOfTheFinalAnswer) {
  const struct {
    const char *mName;
    std::vector<const char *> mLines;
    const char *mHeaders; // name=value, joined by "|"
  } cases[] = {
      {"plain", {"HTTP/1.1 200 OK\r\n", "Download:  a=1 \r\n", "X: y\r\n"}, "Download=a=1|X=y"},
      {"a redirect before",
       {"HTTP/1.1 302 Found\r\n", "Download: old\r\n", "HTTP/1.1 200 OK\r\n", "Download: new\r\n"},
       "Download=new"},
      {"continued", {"A: one\r\n", " two\r\n", "\tthree\r\n"}, "A=one two three"},
      {"continued from empty, and by blanks", {"A:\r\n", "   \r\n", " two\r\n"}, "A=two"},
      {"no name, or not a token",
       {": x\r\n", "no colon\r\n", "Bad Name: x\r\n", "C\x01: x\r\n"},
       ""},
      {"a continuation with nothing before", {" lost\r\n", "B: b\r\n"}, "B=b"},
  };
  for (const auto &test : cases) {
    SCOPED_TRACE(test.mName);
    QList<std::pair<QByteArray, QByteArray>> headers;
    for (const char *line : test.mLines)
      AddResponseHeaderLine(headers, line);
    QByteArrayList parts;
    for (const auto &[name, value] : headers)
      parts << name + '=' + value;
    EXPECT_EQ(parts.join('|').toStdString(), test.mHeaders);
  }
}

} // namespace
