// The demo store: the store's pages, download links, catalog documents and
// lesson files over HTTP and HTTPS on loopback, for trying Melodra out and
// for the tests. The first start makes a certificate and the lesson files in
// the data folder; later starts reuse them.
#include "melAtomicSave.h"
#include "melDemoStoreCertificate.h"
#include "melDemoStoreFiles.h"
#include "melDemoStoreServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLockFile>

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int cSetupLockWaitMs = 15 * 60 * 1000;

const char *const cUsage =
    "usage: melodra-demo-store [switches]\n"
    "  --host ADDRESS            listen here (default 127.0.0.1; loopback only unless --any-host)\n"
    "  --any-host                allow a host that is not a loopback address\n"
    "  --http-port PORT          default 8080; 0 takes a free one\n"
    "  --https-port PORT         default 8443; 0 takes a free one\n"
    "  --data DIR                certificate, key and lesson files (default\n"
    "                            $XDG_DATA_HOME/Melodra/demo-store)\n"
    "  --ready-file FILE         written with \"http=PORT\\nhttps=PORT\\n\" once both listen\n"
    "test switches:\n"
    "  --drop-after N            cut a file download after N body bytes\n"
    "  --ignore-range            answer range requests with the whole file\n"
    "  --change-etag             every file request sees new content and validators\n"
    "  --fail-5xx                answer 503 to file and catalog requests\n"
    "  --slow MS                 wait before every answer\n"
    "  --rate KIB                send file bodies at KIB kibibytes a second\n"
    "  --download-header-case lower   send the download link's header as \"download\"\n"
    "  --download-header-twice   a second Download line after the real one\n"
    "  --redirect-download       the download link redirects to the real answer\n"
    "  --bad-catalog KIND        not-xml, item-missing-fields or dotdot-filename\n"
    "Files under /downloadStore/files/ need the login cookie (user demo, password lessons).\n";

int gSignalPipe[2] = {-1, -1};

void OnSignal(int aSignal) {
  const unsigned char number = static_cast<unsigned char>(aSignal);
  [[maybe_unused]] const ssize_t written = write(gSignalPipe[1], &number, 1);
}

void Say(FILE *aStream, const std::string &aText) {
  std::fprintf(aStream, "melodra-demo-store: %s\n", aText.c_str());
  std::fflush(aStream);
}

struct tArgumentsC {
  tDemoStoreOptionsC mOptions;
  bool mAnyHost = false;
  QString mData;
  QString mReadyFile;
};

class EUsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

long long Number(const std::string &aSwitch, const std::string &aValue, long long aLow,
                 long long aHigh) {
  char *end = nullptr;
  errno = 0;
  const long long value = std::strtoll(aValue.c_str(), &end, 10);
  if (aValue.empty() || *end != '\0' || errno != 0 || value < aLow || value > aHigh)
    throw EUsageError(aSwitch + " needs a number from " + std::to_string(aLow) + " to " +
                      std::to_string(aHigh) + ", not \"" + aValue + "\"");
  return value;
}

tArgumentsC ParseArguments(const QStringList &aArguments) {
  tArgumentsC result;
  tDemoStoreOptionsC &o = result.mOptions;
  const std::map<std::string, bool *> flags = {
      {"--any-host", &result.mAnyHost},
      {"--ignore-range", &o.mIgnoreRange},
      {"--change-etag", &o.mChangeEtag},
      {"--fail-5xx", &o.mFail5xx},
      {"--download-header-twice", &o.mDownloadHeaderTwice},
      {"--redirect-download", &o.mRedirectDownload},
  };
  const std::vector<std::string> valued = {
      "--host",       "--http-port", "--https-port",           "--data",        "--ready-file",
      "--drop-after", "--slow",      "--download-header-case", "--bad-catalog", "--rate"};
  for (qsizetype i = 1; i < aArguments.size(); ++i) {
    std::string name = aArguments[i].toStdString();
    std::string value;
    bool hasValue = false;
    if (const size_t equals = name.find('=');
        name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      hasValue = true;
    }
    if (const auto flag = flags.find(name); flag != flags.end()) {
      if (hasValue)
        throw EUsageError(name + " takes no value");
      *flag->second = true;
      continue;
    }
    if (std::find(valued.begin(), valued.end(), name) == valued.end())
      throw EUsageError("unknown switch \"" + name + "\"");
    if (!hasValue) {
      if (++i >= aArguments.size())
        throw EUsageError(name + " needs a value");
      value = aArguments[i].toStdString();
    }
    if (name == "--host") {
      o.mHost = value;
    } else if (name == "--http-port") {
      o.mHttpPort = int(Number(name, value, 0, 65535));
    } else if (name == "--https-port") {
      o.mHttpsPort = int(Number(name, value, 0, 65535));
    } else if (name == "--data") {
      result.mData = QString::fromStdString(value);
    } else if (name == "--ready-file") {
      result.mReadyFile = QString::fromStdString(value);
    } else if (name == "--drop-after") {
      o.mDropAfter = Number(name, value, 0, 1LL << 40);
    } else if (name == "--slow") {
      o.mSlowMs = int(Number(name, value, 0, 600000));
    } else if (name == "--rate") {
      o.mRateKiB = int(Number(name, value, 1, 1 << 20));
    } else if (name == "--download-header-case") {
      if (value != "lower")
        throw EUsageError("--download-header-case takes \"lower\", not \"" + value + "\"");
      o.mDownloadHeaderLower = true;
    } else if (name == "--bad-catalog") {
      if (value == "not-xml")
        o.mBadCatalog = tBadCatalogE::NotXml;
      else if (value == "item-missing-fields")
        o.mBadCatalog = tBadCatalogE::ItemMissingFields;
      else if (value == "dotdot-filename")
        o.mBadCatalog = tBadCatalogE::DotDotFilename;
      else
        throw EUsageError("--bad-catalog takes not-xml, item-missing-fields or dotdot-filename, "
                          "not \"" +
                          value + "\"");
    }
  }
  if (o.mHost.empty())
    throw EUsageError("--host needs an address");
  if (o.mHttpPort != 0 && o.mHttpPort == o.mHttpsPort)
    throw EUsageError("--http-port and --https-port must differ");
  return result;
}

bool IsLoopback(const std::string &aHost) {
  if (aHost == "localhost")
    return true;
  in_addr v4;
  if (inet_pton(AF_INET, aHost.c_str(), &v4) == 1)
    return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6;
  if (inet_pton(AF_INET6, aHost.c_str(), &v6) == 1)
    return IN6_IS_ADDR_LOOPBACK(&v6);
  return false;
}

QString DefaultDataFolder() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base))
    base = QDir::homePath() + QStringLiteral("/.local/share");
  return base + QStringLiteral("/Melodra/demo-store");
}

// Everything the store needs on disk, made once. Another store starting on
// the same folder waits here until this one is done.
tDemoStoreDataC PrepareData(const QString &aFolder) {
  if (!QDir().mkpath(aFolder))
    throw std::runtime_error("cannot make the data folder " + aFolder.toStdString());
  QDir folder(aFolder);
  QLockFile lock(folder.filePath(QStringLiteral(".setup.lock")));
  lock.setStaleLockTime(0);
  if (!lock.tryLock(cSetupLockWaitMs))
    throw std::runtime_error("another demo store is still preparing " + aFolder.toStdString());

  tDemoStoreDataC data;
  EnsureDemoStoreCertificate(aFolder);
  data.mCertificateFile = folder.absoluteFilePath(QStringLiteral("cert.pem"));
  data.mKeyFile = folder.absoluteFilePath(QStringLiteral("key.pem"));
  data.mLoginToken = EnsureLoginToken(aFolder);
  data.mFilesFolder = folder.absoluteFilePath(QStringLiteral("files"));
  if (!QDir(data.mFilesFolder).exists())
    Say(stdout, "making the store's lesson files in " + data.mFilesFolder.toStdString() +
                    " (movies with ffmpeg; once only)...");
  const int made = EnsureDemoStoreFiles(data.mFilesFolder);
  if (made > 0)
    Say(stdout, "made " + std::to_string(made) + " lesson files");
  return data;
}

int Serve(const tArgumentsC &aArguments) {
  const QString dataFolder =
      aArguments.mData.isEmpty() ? DefaultDataFolder() : QDir(aArguments.mData).absolutePath();
  const tDemoStoreDataC data = PrepareData(dataFolder);

  if (pipe2(gSignalPipe, O_CLOEXEC) != 0)
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  tDemoStoreServerC server(aArguments.mOptions, data);
  server.Start();
  const std::string host = aArguments.mOptions.mHost.find(':') != std::string::npos
                               ? "[" + aArguments.mOptions.mHost + "]"
                               : aArguments.mOptions.mHost;
  if (!aArguments.mReadyFile.isEmpty()) {
    const QByteArray ready = "http=" + QByteArray::number(server.HttpPort()) +
                             "\nhttps=" + QByteArray::number(server.HttpsPort()) + "\n";
    if (const QString error =
            SaveFileAtomically(aArguments.mReadyFile, ready, QStringLiteral("ready file"));
        !error.isEmpty())
      throw std::runtime_error(error.toStdString());
  }
  Say(stdout, "listening on http://" + host + ":" + std::to_string(server.HttpPort()) +
                  " and https://" + host + ":" + std::to_string(server.HttpsPort()) +
                  " (store: /downloadStore/index.php; data: " + dataFolder.toStdString() +
                  "; login demo / lessons)");

  for (;;) {
    pollfd wait = {gSignalPipe[0], POLLIN, 0};
    const int ready = poll(&wait, 1, 250);
    if (ready > 0) {
      unsigned char number = 0;
      [[maybe_unused]] const ssize_t got = read(gSignalPipe[0], &number, 1);
      Say(stdout, std::string("stopping (") + strsignal(number) + ")");
      break;
    }
    if (!server.Running()) {
      server.Stop();
      throw std::runtime_error("a server stopped unexpectedly");
    }
  }
  server.Stop();
  if (!aArguments.mReadyFile.isEmpty())
    QFile::remove(aArguments.mReadyFile);
  return 0;
}

} // namespace

int main(int argc, char *argv[]) {
  // The sheets need fonts and so a QGuiApplication, never a window.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
    std::fputs(cUsage, stdout);
    return 0;
  }
  tArgumentsC parsed;
  try {
    parsed = ParseArguments(arguments);
  } catch (const EUsageError &e) {
    Say(stderr, e.what());
    std::fputs(cUsage, stderr);
    return 2;
  }
  if (!parsed.mAnyHost && !IsLoopback(parsed.mOptions.mHost)) {
    Say(stderr, "refusing to listen on " + parsed.mOptions.mHost +
                    ", which is not a loopback address (--any-host allows it)");
    return 2;
  }
  try {
    return Serve(parsed);
  } catch (const std::exception &e) {
    Say(stderr, e.what());
    return 1;
  }
}
