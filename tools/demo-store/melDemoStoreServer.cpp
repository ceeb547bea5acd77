#include "melDemoStoreServer.h"

#include "melDemoStoreCertificate.h"
#include "melDemoStorePages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <httplib.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <stdexcept>
#include <thread>

#ifndef MELODRA_VERSION
#define MELODRA_VERSION "0.0.0.0"
#endif

namespace {

const std::string cCookieName = "customerLogin";
const std::string cDemoUser = "demo";
const std::string cDemoPassword = "lessons";

std::mutex gLogMutex;

std::string Trimmed(const std::string &aText) {
  const size_t first = aText.find_first_not_of(" \t");
  if (first == std::string::npos)
    return {};
  const size_t last = aText.find_last_not_of(" \t");
  return aText.substr(first, last - first + 1);
}

std::string HttpDate(time_t aTime) {
  char text[64];
  struct tm parts;
  gmtime_r(&aTime, &parts);
  strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return text;
}

// A file as served: its bytes and its time, read once.
struct tServedFileC {
  std::string mBytes;
  time_t mModified = 0;
};

struct tRangeC {
  int64_t mFirst = 0;
  int64_t mLast = 0;
};

// A single range of "bytes=first-last", "bytes=first-" or "bytes=-suffix";
// nullopt for anything else (several ranges among them), which is then
// answered with the whole file. mFirst beyond the end means unsatisfiable.
std::optional<tRangeC> ParseRange(const std::string &aHeader, int64_t aSize) {
  static const std::regex single(R"(^\s*bytes\s*=\s*(\d*)\s*-\s*(\d*)\s*$)");
  std::smatch match;
  if (!std::regex_match(aHeader, match, single))
    return std::nullopt;
  const std::string first = match[1];
  const std::string last = match[2];
  if (first.empty() && last.empty())
    return std::nullopt;
  if (first.size() > 18 || last.size() > 18)
    return std::nullopt;
  tRangeC range;
  if (first.empty()) {
    const int64_t suffix = std::stoll(last);
    if (suffix == 0)
      return tRangeC{aSize, aSize};
    range.mFirst = std::max<int64_t>(0, aSize - suffix);
    range.mLast = aSize - 1;
    return range;
  }
  range.mFirst = std::stoll(first);
  range.mLast = last.empty() ? aSize - 1 : std::min<int64_t>(std::stoll(last), aSize - 1);
  if (range.mLast < range.mFirst && range.mFirst < aSize)
    return std::nullopt;
  return range;
}

} // namespace

void WriteStoreLog(const std::string &aLine) {
  std::lock_guard<std::mutex> lock(gLogMutex);
  std::fprintf(stdout, "%s\n", aLine.c_str());
  std::fflush(stdout);
}

std::string EnsureLoginToken(const QString &aDataFolder) {
  const QString fileName = QDir(aDataFolder).filePath(QStringLiteral("login-token"));
  QFile file(fileName);
  if (file.open(QIODevice::ReadOnly)) {
    const QByteArray token = file.readAll().trimmed();
    if (token.size() >= 16)
      return token.toStdString();
    file.close();
  }
  unsigned char random[16];
  if (!ReadRandomBytes(random, sizeof random))
    throw std::runtime_error("cannot read /dev/urandom");
  const std::string token =
      QByteArray(reinterpret_cast<const char *>(random), sizeof random).toHex().toStdString();
  const std::string part = QFile::encodeName(fileName).toStdString() + ".part";
  unlink(part.c_str());
  const int handle = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  const std::string line = token + "\n";
  const bool written = handle >= 0 &&
                       write(handle, line.data(), line.size()) == ssize_t(line.size()) &&
                       fsync(handle) == 0;
  if (handle >= 0)
    close(handle);
  if (!written || rename(part.c_str(), QFile::encodeName(fileName).constData()) != 0) {
    unlink(part.c_str());
    throw std::runtime_error("cannot write " + fileName.toStdString());
  }
  return token;
}

struct tDemoStoreServerC::tImplC {
  tDemoStoreOptionsC mOptions;
  tDemoStoreDataC mData;
  httplib::Server mPlain;
  std::unique_ptr<httplib::SSLServer> mSecure;
  int mHttpPort = 0;
  int mHttpsPort = 0;
  std::thread mPlainThread;
  std::thread mSecureThread;

  std::mutex mFilesMutex;
  std::map<std::string, std::shared_ptr<const tServedFileC>> mFiles;
  std::map<std::string, int64_t> mGenerations;

  // ---- helpers ------------------------------------------------------------

  // The host the client used, when it is a plain host name or address;
  // otherwise the configured one. Links made from it go into pages.
  std::string RequestHost(const httplib::Request &aRequest) const {
    std::string host = aRequest.get_header_value("Host");
    static const std::regex name(R"(^([A-Za-z0-9.-]{1,253}|\[[0-9A-Fa-f:.]{2,45}\])(:\d{1,5})?$)");
    std::smatch match;
    if (std::regex_match(host, match, name))
      return match[1];
    const std::string &configured = mOptions.mHost;
    if (configured == "0.0.0.0" || configured == "::" || configured.empty())
      return "127.0.0.1";
    return configured.find(':') != std::string::npos ? "[" + configured + "]" : configured;
  }

  std::string PlainBase(const httplib::Request &aRequest) const {
    return "http://" + RequestHost(aRequest) + ":" + std::to_string(mHttpPort);
  }

  std::string OwnBase(const httplib::Request &aRequest, bool aSecure) const {
    return (aSecure ? "https://" : "http://") + RequestHost(aRequest) + ":" +
           std::to_string(aSecure ? mHttpsPort : mHttpPort);
  }

  bool LoggedIn(const httplib::Request &aRequest) const {
    const size_t count = aRequest.get_header_value_count("Cookie");
    for (size_t i = 0; i < count; ++i) {
      const std::string header = aRequest.get_header_value("Cookie", i);
      size_t start = 0;
      while (start <= header.size()) {
        size_t end = header.find(';', start);
        if (end == std::string::npos)
          end = header.size();
        const std::string pair = Trimmed(header.substr(start, end - start));
        if (pair == cCookieName + "=" + mData.mLoginToken)
          return true;
        start = end + 1;
      }
    }
    return false;
  }

  static void Html(httplib::Response &aAnswer, const std::string &aPage, int aStatus = 200) {
    aAnswer.status = aStatus;
    aAnswer.set_header("Cache-Control", "no-store");
    aAnswer.set_content(aPage, "text/html; charset=utf-8");
  }

  static void Message(httplib::Response &aAnswer, int aStatus, const std::string &aTitle,
                      const std::string &aText) {
    Html(aAnswer, MessagePage(aTitle, aText), aStatus);
  }

  std::shared_ptr<const tServedFileC> ReadServedFile(const std::string &aName) {
    std::lock_guard<std::mutex> lock(mFilesMutex);
    if (const auto found = mFiles.find(aName); found != mFiles.end())
      return found->second;
    const QString path = QDir(mData.mFilesFolder).filePath(QString::fromStdString(aName));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
      return nullptr;
    auto served = std::make_shared<tServedFileC>();
    served->mBytes = file.readAll().toStdString();
    served->mModified = QFileInfo(path).lastModified().toSecsSinceEpoch();
    mFiles.emplace(aName, served);
    return served;
  }

  // ---- routes -------------------------------------------------------------

  void DownloadLink(const httplib::Request &aRequest, httplib::Response &aAnswer, bool aSecure,
                    bool aMayRedirect) {
    const std::string id = aRequest.get_param_value("item");
    if (!FindDemoStoreItem(QString::fromStdString(id))) {
      Message(aAnswer, 404, "Not found", "There is no such item in the store.");
      return;
    }
    const std::string query =
        "item=" + QUrl::toPercentEncoding(QString::fromStdString(id)).toStdString() + "&format=xml";
    if (aMayRedirect && mOptions.mRedirectDownload) {
      // The header of a redirect is not the answer's: a client that reads it
      // asks for an item the store does not have.
      aAnswer.headers.emplace("Download", "item=redirected&format=xml");
      aAnswer.set_redirect(OwnBase(aRequest, aSecure) + "/downloadStore/downloadLink.php?" + query,
                           302);
      return;
    }
    aAnswer.headers.emplace(mOptions.mDownloadHeaderLower ? "download" : "Download", query);
    if (mOptions.mDownloadHeaderTwice)
      aAnswer.headers.emplace("Download", "item=second-line&format=xml");
    Html(aAnswer, MessagePage("Download", "Your lessons are on their way to Melodra."));
  }

  void Catalog(const httplib::Request &aRequest, httplib::Response &aAnswer) {
    if (mOptions.mFail5xx) {
      Message(aAnswer, 503, "Service unavailable", "The store is busy; try again later.");
      return;
    }
    const tDemoStoreItemC *item =
        FindDemoStoreItem(QString::fromStdString(aRequest.get_param_value("item")));
    if (!item) {
      Message(aAnswer, 404, "Not found", "There is no such item in the store.");
      return;
    }
    const QByteArray xml =
        DemoStoreCatalog(*item, QString::fromStdString(PlainBase(aRequest)), mOptions.mBadCatalog);
    aAnswer.set_header("Cache-Control", "no-store");
    aAnswer.set_content(xml.constData(), size_t(xml.size()), "text/xml; charset=ISO-8859-1");
    aAnswer.status = 200;
  }

  void File(const httplib::Request &aRequest, httplib::Response &aAnswer, bool aSecure) {
    // The range is this handler's to answer, If-Range and the switches
    // included; the library would otherwise cut the body again.
    const_cast<httplib::Request &>(aRequest).ranges.clear();
    const std::string name = aRequest.matches[1];
    // Only names the store sells, so no path reaches the file system.
    const tDemoStoreLessonC *lesson = FindServedLesson(QString::fromStdString(name));
    if (!lesson) {
      Message(aAnswer, 404, "Not found", "There is no such file in the store.");
      return;
    }
    if (mOptions.mFail5xx) {
      Message(aAnswer, 503, "Service unavailable", "The store is busy; try again later.");
      return;
    }
    if (!LoggedIn(aRequest)) {
      Message(aAnswer, 403, "Not logged in", "Log in to download your lessons.");
      return;
    }
    std::shared_ptr<const tServedFileC> served = ReadServedFile(name);
    if (!served) {
      Message(aAnswer, 500, "Missing file", "The store has lost this file.");
      return;
    }

    int64_t generation = 0;
    if (mOptions.mChangeEtag) {
      std::lock_guard<std::mutex> lock(mFilesMutex);
      generation = ++mGenerations[name];
    }
    // Shared with the cache, not copied: a copy per request of a large file
    // would cost the store more than the transfer costs its client.
    std::shared_ptr<const std::string> bytes(served, &served->mBytes);
    if (generation > 0 && !bytes->empty()) {
      // Same size, other content: the tail carries the generation.
      auto changed = std::make_shared<std::string>(served->mBytes);
      const std::string mark = "#" + std::to_string(generation);
      const size_t at = changed->size() > mark.size() ? changed->size() - mark.size() : 0;
      changed->replace(at, std::min(mark.size(), changed->size()), mark.substr(0, changed->size()));
      bytes = std::move(changed);
    }
    const int64_t size = int64_t(bytes->size());
    const time_t modified = served->mModified + time_t(generation);
    char tag[96];
    std::snprintf(tag, sizeof tag, "\"%llx-%llx-%llx\"", static_cast<unsigned long long>(size),
                  static_cast<unsigned long long>(served->mModified),
                  static_cast<unsigned long long>(generation));
    const std::string etag = tag;
    const std::string lastModified = HttpDate(modified);

    aAnswer.set_header("Accept-Ranges", "bytes");
    aAnswer.set_header("ETag", etag);
    aAnswer.set_header("Last-Modified", lastModified);

    std::optional<tRangeC> range;
    if (aRequest.has_header("Range") && !mOptions.mIgnoreRange) {
      range = ParseRange(aRequest.get_header_value("Range"), size);
      if (range && aRequest.has_header("If-Range")) {
        const std::string validator = Trimmed(aRequest.get_header_value("If-Range"));
        if (validator != etag && validator != lastModified)
          range.reset();
      }
    }
    if (range && range->mFirst >= size) {
      aAnswer.status = 416;
      aAnswer.set_header("Content-Range", "bytes */" + std::to_string(size));
      aAnswer.set_content("", "text/plain");
      return;
    }
    int64_t first = 0;
    int64_t length = size;
    if (range) {
      first = range->mFirst;
      length = range->mLast - range->mFirst + 1;
      aAnswer.status = 206;
      aAnswer.set_header("Content-Range", "bytes " + std::to_string(range->mFirst) + "-" +
                                              std::to_string(range->mLast) + "/" +
                                              std::to_string(size));
    } else {
      aAnswer.status = 200;
    }
    const std::string type =
        lesson->mLesson.Media() == tDemoMediaE::Sheet ? "application/pdf" : "video/quicktime";
    const int64_t dropAfter = mOptions.mDropAfter;
    const int64_t rate = int64_t(mOptions.mRateKiB) * 1024;
    const std::string where = (aSecure ? "https " : "http ") + aRequest.path;
    auto sent = std::make_shared<int64_t>(0);
    const auto began = std::chrono::steady_clock::now();
    aAnswer.set_content_provider(
        size_t(length), type,
        [bytes, first, dropAfter, rate, began, sent, where](size_t aOffset, size_t aLength,
                                                            httplib::DataSink &aSink) {
          size_t count = std::min<size_t>(aLength, 64 * 1024);
          if (rate > 0) {
            // Tenths of a second's worth, each sent on time.
            count = std::min<size_t>(count, size_t(std::max<int64_t>(1, rate / 10)));
            std::this_thread::sleep_until(began + std::chrono::milliseconds(*sent * 1000 / rate));
          }
          if (dropAfter >= 0) {
            const int64_t left = dropAfter - *sent;
            if (left <= 0) {
              WriteStoreLog(where + ": connection cut after " + std::to_string(*sent) + " bytes");
              return false;
            }
            count = std::min<size_t>(count, size_t(left));
          }
          if (!aSink.write(bytes->data() + first + aOffset, count))
            return false;
          *sent += int64_t(count);
          return true;
        });
  }

  void Routes(httplib::Server &aServer, bool aSecure) {
    aServer.set_socket_options([](socket_t aSocket) {
      // Not SO_REUSEPORT: a second store on the same port must fail.
      int yes = 1;
      setsockopt(aSocket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    const std::string scheme = aSecure ? "https" : "http";
    aServer.set_logger(
        [scheme](const httplib::Request &aRequest, const httplib::Response &aAnswer) {
          WriteStoreLog(scheme + " " + aRequest.method + " " +
                        (aRequest.target.empty() ? aRequest.path : aRequest.target) + " " +
                        std::to_string(aAnswer.status));
        });
    const int slow = mOptions.mSlowMs;
    aServer.set_pre_routing_handler([slow](const httplib::Request &, httplib::Response &) {
      if (slow > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(slow));
      return httplib::Server::HandlerResponse::Unhandled;
    });
    aServer.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request &,
           httplib::Response &aAnswer) -> httplib::Server::HandlerResponse {
          if (!aAnswer.body.empty() || aAnswer.content_length_ > 0 || aAnswer.status == 416)
            return httplib::Server::HandlerResponse::Unhandled;
          Message(aAnswer, aAnswer.status, "Not found", "This page is not part of the store.");
          return httplib::Server::HandlerResponse::Handled;
        }));
    aServer.set_exception_handler([](const httplib::Request &aRequest, httplib::Response &aAnswer,
                                     std::exception_ptr aError) {
      std::string what = "unknown error";
      try {
        std::rethrow_exception(aError);
      } catch (const std::exception &e) {
        what = e.what();
      } catch (...) {
      }
      WriteStoreLog("error answering " + aRequest.path + ": " + what);
      Message(aAnswer, 500, "Store error", "Something went wrong in the store.");
    });

    const auto index = [this](const httplib::Request &aRequest, httplib::Response &aAnswer) {
      Html(aAnswer, StoreIndexPage(PlainBase(aRequest), LoggedIn(aRequest) ? cDemoUser : ""));
    };
    aServer.Get("/", [](const httplib::Request &, httplib::Response &aAnswer) {
      aAnswer.set_redirect("/downloadStore/index.php", 302);
    });
    aServer.Get("/downloadStore/?", index);
    aServer.Get("/downloadStore/index\\.php", index);
    aServer.Get(
        "/downloadStore/login\\.php",
        [](const httplib::Request &, httplib::Response &aAnswer) { Html(aAnswer, LoginPage("")); });
    aServer.Post("/downloadStore/login\\.php", [this](const httplib::Request &aRequest,
                                                      httplib::Response &aAnswer) {
      httplib::Params form;
      httplib::detail::parse_query_text(aRequest.body, form);
      const auto value = [&](const char *aName) {
        const auto found = form.find(aName);
        return found == form.end() ? aRequest.get_param_value(aName) : found->second;
      };
      if (value("user") != cDemoUser || value("password") != cDemoPassword) {
        Html(aAnswer, LoginPage("The user name or the password is wrong."));
        return;
      }
      // Readable by the page's script: the program takes the
      // session from document.cookie.
      aAnswer.set_header("Set-Cookie", cCookieName + "=" + mData.mLoginToken + "; Path=/");
      Html(aAnswer, LoggedInPage(cDemoUser));
    });
    aServer.Get("/downloadStore/logout\\.php",
                [](const httplib::Request &, httplib::Response &aAnswer) {
                  aAnswer.set_header("Set-Cookie",
                                     cCookieName + "=; Path=/; Max-Age=0; Expires=Thu, 01 Jan 1970 "
                                                   "00:00:00 GMT");
                  Html(aAnswer, LoggedOutPage());
                });
    aServer.Get(
        "/downloadStore/frame\\.php",
        [](const httplib::Request &, httplib::Response &aAnswer) { Html(aAnswer, FramePage()); });
    aServer.Get("/downloadStore/downloadRedirect\\.php",
                [this, aSecure](const httplib::Request &aRequest, httplib::Response &aAnswer) {
                  DownloadLink(aRequest, aAnswer, aSecure, true);
                });
    aServer.Get("/downloadStore/downloadLink\\.php",
                [this, aSecure](const httplib::Request &aRequest, httplib::Response &aAnswer) {
                  DownloadLink(aRequest, aAnswer, aSecure, false);
                });
    aServer.Get("/downloadStore/download\\.php",
                [this](const httplib::Request &aRequest, httplib::Response &aAnswer) {
                  Catalog(aRequest, aAnswer);
                });
    aServer.Get("/downloadStore/files/(.+)",
                [this, aSecure](const httplib::Request &aRequest, httplib::Response &aAnswer) {
                  File(aRequest, aAnswer, aSecure);
                });
    aServer.Get("/support\\.php", [](const httplib::Request &, httplib::Response &aAnswer) {
      Html(aAnswer, SupportPage());
    });
    aServer.Get("/pc-updates\\.php",
                [](const httplib::Request &aRequest, httplib::Response &aAnswer) {
                  Html(aAnswer, UpdatesPage(aRequest.get_param_value("version"), MELODRA_VERSION));
                });
  }
};

tDemoStoreServerC::tDemoStoreServerC(tDemoStoreOptionsC aOptions, tDemoStoreDataC aData)
    : mImpl(std::make_unique<tImplC>()) {
  mImpl->mOptions = std::move(aOptions);
  mImpl->mData = std::move(aData);
  mImpl->mSecure = std::make_unique<httplib::SSLServer>(
      QFile::encodeName(mImpl->mData.mCertificateFile).constData(),
      QFile::encodeName(mImpl->mData.mKeyFile).constData());
  if (!mImpl->mSecure->is_valid())
    throw std::runtime_error("cannot use the certificate " +
                             mImpl->mData.mCertificateFile.toStdString() + " and its key");
  mImpl->Routes(mImpl->mPlain, false);
  mImpl->Routes(*mImpl->mSecure, true);
}

tDemoStoreServerC::~tDemoStoreServerC() {
  Stop();
}

void tDemoStoreServerC::Start() {
  const auto bind = [this](httplib::Server &aServer, int aPort, const char *aWhat) {
    const std::string &host = mImpl->mOptions.mHost;
    const int port = aPort == 0                          ? aServer.bind_to_any_port(host)
                     : aServer.bind_to_port(host, aPort) ? aPort
                                                         : -1;
    if (port <= 0)
      throw std::runtime_error(std::string("cannot listen for ") + aWhat + " on " + host +
                               " port " + std::to_string(aPort) +
                               ": the port is in use or not allowed");
    return port;
  };
  mImpl->mHttpPort = bind(mImpl->mPlain, mImpl->mOptions.mHttpPort, "HTTP");
  mImpl->mHttpsPort = bind(*mImpl->mSecure, mImpl->mOptions.mHttpsPort, "HTTPS");
  auto ended = std::make_shared<std::atomic<int>>(0);
  mImpl->mPlainThread = std::thread([this, ended] {
    mImpl->mPlain.listen_after_bind();
    ++*ended;
  });
  mImpl->mSecureThread = std::thread([this, ended] {
    mImpl->mSecure->listen_after_bind();
    ++*ended;
  });
  while (!Running()) {
    if (*ended > 0) {
      Stop();
      throw std::runtime_error("a server stopped as it started");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

int tDemoStoreServerC::HttpPort() const {
  return mImpl->mHttpPort;
}

int tDemoStoreServerC::HttpsPort() const {
  return mImpl->mHttpsPort;
}

bool tDemoStoreServerC::Running() const {
  return mImpl->mPlain.is_running() && mImpl->mSecure->is_running();
}

void tDemoStoreServerC::Stop() {
  mImpl->mPlain.stop();
  mImpl->mSecure->stop();
  if (mImpl->mPlainThread.joinable())
    mImpl->mPlainThread.join();
  if (mImpl->mSecureThread.joinable())
    mImpl->mSecureThread.join();
}
