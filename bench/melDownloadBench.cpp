// One large episode file from the demo store (over plain HTTP, loopback):
// the download worker against the curl command line, taking turns, with
// throughput and the CPU each side spends (the store's own not counted).
// The worker's statuses go into a catalog file and its progress reports run
// on the main thread, as in the window.
//   download_bench [megabytes, default 200] [runs per side, default 3]
#include "melCatalogMaintenance.h"
#include "melDemoStoreProcess.h"
#include "melDownloadFileThread.h"
#include "melDownloadHost.h"
#include "melHandOver.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString cName = QStringLiteral("bass-funk-beginner-1.mov");

class tBenchHostC : public tDownloadHostC {
public:
  void UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus) override {
    mStatus = aStatus;
    UpdateEpisodeStatusInFile(mCatalog, aURL, aStatus);
  }
  void ReportProgress(const QString &, const QString &, int aPercent) override {
    ++mReports;
    mLastPercent = aPercent;
  }
  void ReloadCatalog() override {}
  bool CheckStoreLogin() override { return true; }
  tStoreRequestOptionsC StoreRequestOptions() override { return mOptions; }
  QString CatalogFilePath() override { return mCatalog; }
  tStoreRequestOptionsC mOptions;
  QString mCatalog;
  int mLastPercent = -1;
  int mStatus = -1;
  int mReports = 0;
};

double CpuSeconds(int aWho) {
  rusage usage{};
  getrusage(aWho, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QByteArray FileHash(const QString &aPath) {
  QFile file(aPath);
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (file.open(QIODevice::ReadOnly))
    hash.addData(&file);
  return hash.result().toHex();
}

struct tRunC {
  double mSeconds;
  double mCpu;
};

double Median(std::vector<double> aValues) {
  std::sort(aValues.begin(), aValues.end());
  return aValues[aValues.size() / 2];
}

bool CopyFolder(const QString &aFrom, const QString &aTo) {
  QDir().mkpath(aTo);
  for (const QFileInfo &entry :
       QDir(aFrom).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
    const QString target = QDir(aTo).filePath(entry.fileName());
    if (entry.isDir() ? !CopyFolder(entry.filePath(), target)
                      : !QFile::copy(entry.filePath(), target))
      return false;
  }
  return true;
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const int megabytes = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
  const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
  for (const char *name :
       {"http_proxy", "https_proxy", "ftp_proxy", "HTTP_PROXY", "HTTPS_PROXY", "FTP_PROXY"})
    qunsetenv(name);
  if (qEnvironmentVariableIsEmpty("MELODRA_TEST_BIN"))
    qputenv("MELODRA_TEST_BIN",
            QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")));

  // A store of its own whose first lesson is the large file.
  QTemporaryDir work;
  const QString data = work.filePath(QStringLiteral("store"));
  {
    tDemoStoreProcessC shared;
    const QString error = shared.Start(); // makes the shared lesson files once
    if (!error.isEmpty()) {
      std::fprintf(stderr, "demo store: %s\n", qPrintable(error));
      return 1;
    }
  }
  if (!CopyFolder(tDemoStoreProcessC::SharedDataFolder(), data)) {
    std::fprintf(stderr, "cannot copy the store's data folder\n");
    return 1;
  }
  const QString source = data + QStringLiteral("/files/") + cName;
  {
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
      return 1;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < megabytes; ++i) {
      QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(block.data()),
                                            block.size() / 4);
      file.write(block);
    }
  }
  const QByteArray expected = FileHash(source);
  tDemoStoreProcessC store({}, data);
  if (const QString error = store.Start(); !error.isEmpty()) {
    std::fprintf(stderr, "demo store: %s\n", qPrintable(error));
    return 1;
  }
  const QString url = store.PlainBase() + QStringLiteral("/downloadStore/files/") + cName;
  const QString target = work.filePath(QStringLiteral("lesson.mov"));
  const QString catalog = work.filePath(QStringLiteral("Catalog.xml"));
  {
    QFile file(catalog);
    if (!file.open(QIODevice::WriteOnly))
      return 1;
    file.write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">"
               "<Category name=\"Bass\"><File name=\"Lesson\"><FileType>video</FileType>"
               "<Filename>lesson.mov</Filename><URL>" +
               url.toUtf8() +
               "</URL><Status>Not downloaded</Status></File></Category></Catalog>\n");
  }

  std::vector<double> oursSeconds, oursCpu, curlSeconds, curlCpu;
  bool identical = true;
  int reports = 0;
  for (int run = 0; run < runs; ++run) {
    {
      QFile::remove(target);
      QFile::remove(target + QStringLiteral(".resume"));
      tBenchHostC host;
      host.mOptions.mCookie = store.LoginCookie();
      host.mOptions.mStoreHost = QStringLiteral("127.0.0.1");
      host.mCatalog = catalog;
      tHandOverC handOver;
      const double cpu = CpuSeconds(RUSAGE_SELF);
      QElapsedTimer timer;
      timer.start();
      {
        TmelDownloadFileThread worker(url, target, host, handOver);
        worker.Start();
        worker.WaitFor();
      }
      oursSeconds.push_back(double(timer.nsecsElapsed()) / 1e9);
      oursCpu.push_back(CpuSeconds(RUSAGE_SELF) - cpu);
      identical = identical && host.mStatus == 0 && host.mLastPercent == 100 &&
                  FileHash(target) == expected;
      reports = host.mReports;
    }
    {
      QFile::remove(target);
      QProcess curl;
      const double cpu = CpuSeconds(RUSAGE_CHILDREN);
      QElapsedTimer timer;
      timer.start();
      curl.start(QStringLiteral("curl"),
                 {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-o"), target,
                  QStringLiteral("-H"), QStringLiteral("Accept: */*"), QStringLiteral("-H"),
                  QStringLiteral("Cookie:") + store.LoginCookie(), url});
      curl.waitForFinished(-1);
      curlSeconds.push_back(double(timer.nsecsElapsed()) / 1e9);
      curlCpu.push_back(CpuSeconds(RUSAGE_CHILDREN) - cpu);
      identical = identical && curl.exitCode() == 0 && FileHash(target) == expected;
    }
  }
  const double size = double(megabytes);
  std::printf("download_bench: %d MB, %d runs per side (medians)\n", megabytes, runs);
  std::printf("  worker: %7.1f MB/s  %.2f s  CPU %.2f s  (%d progress reports)\n",
              size / Median(oursSeconds), Median(oursSeconds), Median(oursCpu), reports);
  std::printf("  curl:   %7.1f MB/s  %.2f s  CPU %.2f s\n", size / Median(curlSeconds),
              Median(curlSeconds), Median(curlCpu));
  std::printf("  worker/curl: throughput %.2fx, CPU %.2fx\n",
              Median(curlSeconds) / Median(oursSeconds), Median(oursCpu) / Median(curlCpu));
  std::printf("  files identical to the store's: %s\n", identical ? "yes" : "NO");
  return identical ? 0 : 1;
}
