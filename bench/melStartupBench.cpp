// Start-up of the program against a reference build, side by side: the time
// from the process start to the end of the window's creation (its last log
// line), the resident memory once it has settled with its window shown, and
// whether any web engine process runs. Runs alternate between the two.
//
//   startup_bench [REFERENCE_BINARY]
//
// Without a reference only ours runs. MELODRA_BENCH_RUNS (default 7) sets the
// number of runs per side. Run it under a display (xvfb-run) to count the
// window's drawing too; it falls back to the offscreen platform.
#include "melCatalogGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

constexpr int cTimeoutMs = 20000;
constexpr int cSettleMs = 1500;

struct tRunC {
  double mMs = -1;
  long mRssKb = 0;
  int mWebEngines = 0;
};

long ResidentKb(qint64 aPid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(aPid));
  if (!status.open(QIODevice::ReadOnly))
    return 0;
  for (const QByteArray &line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:"))
      return line.mid(6).trimmed().split(' ').value(0).toLong();
  return 0;
}

// Processes whose parent is aPid and whose name says web engine.
int WebEngineChildren(qint64 aPid) {
  int count = 0;
  for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool number = false;
    entry.toLongLong(&number);
    if (!number)
      continue;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
    if (!stat.open(QIODevice::ReadOnly))
      continue;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    const QByteArray name = text.mid(text.indexOf('(') + 1, close - text.indexOf('(') - 1);
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    if (fields.size() > 1 && fields[1].toLongLong() == aPid && name.contains("WebEngine"))
      ++count;
  }
  return count;
}

tRunC RunOnce(const QString &aBinary, const QString &aHome) {
  QFile::remove(QDir(aHome).filePath(QStringLiteral("log.txt")));
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("MELODRA_HOME"), aHome);
  if (!environment.contains(QStringLiteral("DISPLAY")))
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QElapsedTimer timer;
  timer.start();
  process.start(aBinary, {});
  tRunC run;
  if (!process.waitForStarted(cTimeoutMs))
    return run;
  QFile log(QDir(aHome).filePath(QStringLiteral("log.txt")));
  while (timer.elapsed() < cTimeoutMs && process.state() == QProcess::Running) {
    if (log.open(QIODevice::ReadOnly)) {
      const bool created = log.readAll().contains("Detect System Proxy settings");
      log.close();
      if (created) {
        run.mMs = double(timer.nsecsElapsed()) / 1e6;
        break;
      }
    }
    QThread::usleep(500);
  }
  QThread::msleep(cSettleMs);
  run.mRssKb = ResidentKb(process.processId());
  run.mWebEngines = WebEngineChildren(process.processId());
  process.terminate();
  if (!process.waitForFinished(cTimeoutMs))
    process.kill();
  process.waitForFinished();
  return run;
}

double Median(std::vector<double> aValues) {
  if (aValues.empty())
    return -1;
  std::sort(aValues.begin(), aValues.end());
  return aValues[aValues.size() / 2];
}

void Report(const char *aSide, const std::vector<tRunC> &aRuns) {
  std::vector<double> times, rss;
  int webEngines = 0;
  std::printf("%s: runs", aSide);
  for (const tRunC &run : aRuns) {
    times.push_back(run.mMs);
    rss.push_back(double(run.mRssKb));
    webEngines = std::max(webEngines, run.mWebEngines);
    std::printf(" %.1f", run.mMs);
  }
  std::printf(" ms; median %.1f ms, resident %.1f MB, web engine processes %d\n", Median(times),
              Median(rss) / 1024, webEngines);
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const QString ours = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/melodra");
  const QString reference = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  const int runs = qEnvironmentVariableIntValue("MELODRA_BENCH_RUNS") > 0
                       ? qEnvironmentVariableIntValue("MELODRA_BENCH_RUNS")
                       : 7;

  // One catalog of a thousand episodes for both sides, so their start reads
  // the same file.
  QTemporaryDir home;
  tCatalogShapeC shape;
  shape.mEpisodes = 1000;
  if (!home.isValid()) {
    std::fprintf(stderr, "cannot make a program folder\n");
    return 1;
  }
  try {
    WriteCatalogFile(QDir(home.path()).filePath(QStringLiteral("Catalog.xml")), shape);
  } catch (const std::exception &e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }

  std::vector<tRunC> ourRuns, referenceRuns;
  for (int run = 0; run < runs; ++run) {
    ourRuns.push_back(RunOnce(ours, home.path()));
    if (!reference.isEmpty())
      referenceRuns.push_back(RunOnce(reference, home.path()));
  }
  Report("Melodra", ourRuns);
  if (!reference.isEmpty())
    Report("reference", referenceRuns);
  return 0;
}
