// CPU while playing: the same 640x480 movie shown at 640x480 for 10 s by the
// main window, by a bare libmpv player in this process (the render path
// alone) and by the mpv command line, one after the other in one run,
// repeated. Counts user and system time of the player's process, by thread,
// and of the X server over the same time. Needs a display (Xvfb).
//
// Environment, for finding where the time goes:
//   MELODRA_BENCH_SIDES=melodra,libmpv,mpv  the sides to run (all by default)
//   MELODRA_BENCH_RUNS=5                    rounds of the sides
//   MELODRA_BENCH_HEADLESS=1   no picture and no sound on any side (vo=null,
//                              ao=null): decoding and the window's own work
//   MELODRA_BENCH_WINDOW=no-events  the window's controller gets no movie
//                              events (time, rate, end); =no-time: the
//                              engine's time reaches neither the position
//                              bar nor the controller
#include "melMain.h"
#include "melMovieView.h"
#include "melPlaybackBench.h"
#include "melQTControl.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <mpv/client.h>

#include <cstdio>
#include <map>
#include <unistd.h>
#include <vector>

namespace {

constexpr int cMeasureMs = 10000;
constexpr int cSettleMs = 2000;
constexpr int cMinFrames = cMeasureMs / 1000 * 20; // of 25 a second
const QSize cPicture(640, 480);

bool Headless() {
  return !qEnvironmentVariableIsEmpty("MELODRA_BENCH_HEADLESS");
}

// User and system clock ticks of each thread of a process so far, by thread
// name (numbers dropped: llvmpipe-0 and llvmpipe-1 are one line); the
// process's first thread is "main".
std::map<QString, long long> ThreadTicks(qint64 aPid) {
  std::map<QString, long long> ticks;
  const QString tasks = QStringLiteral("/proc/%1/task").arg(aPid);
  for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile stat(tasks + u'/' + task + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
      continue;
    const QByteArray line = stat.readAll();
    const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
    // The fields after the name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (open < 0 || close < open || fields.size() <= 12)
      continue;
    QString name = task == QString::number(aPid)
                       ? QStringLiteral("main")
                       : QString::fromUtf8(line.mid(open + 1, close - open - 1));
    name.remove(QRegularExpression(QStringLiteral("[-$]?[0-9]+$")));
    ticks[name.trimmed()] += fields[11].toLongLong() + fields[12].toLongLong();
  }
  return ticks;
}

long long Sum(const std::map<QString, long long> &aTicks) {
  long long sum = 0;
  for (const auto &[name, ticks] : aTicks)
    sum += ticks;
  return sum;
}

// The X server of this display, to count what drawing costs there.
qint64 XServerPid() {
  const QByteArray display = qgetenv("DISPLAY");
  for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
    if (!cmdline.open(QIODevice::ReadOnly))
      continue;
    const QList<QByteArray> args = cmdline.readAll().split('\0');
    if (args.size() > 1 && args[0].endsWith("Xvfb") && args.contains(display))
      return entry.toLongLong();
  }
  return 0;
}

struct tSampleC {
  bool mValid = false;
  std::map<QString, long long> mThreads; // of the player's process
  long long mServer = -1;
  QString mAudio;   // the audio output, "none" without one
  QString mDetails; // frames drawn and the like
  long long Player() const { return Sum(mThreads); }
};

// Plays on, with the event loop running as the program's does, for the
// measured time; counts aPid and the X server over it.
tSampleC Measure(qint64 aPid) {
  const qint64 server = XServerPid();
  const auto before = ThreadTicks(aPid);
  const auto serverBefore = server ? ThreadTicks(server) : std::map<QString, long long>{};
  RunFor(cMeasureMs);
  tSampleC sample;
  sample.mThreads = ThreadTicks(aPid);
  if (sample.mThreads.empty())
    return sample;
  for (auto &[name, ticks] : sample.mThreads)
    if (auto it = before.find(name); it != before.end())
      ticks -= it->second;
  if (server)
    sample.mServer = Sum(ThreadTicks(server)) - Sum(serverBefore);
  sample.mValid = true;
  return sample;
}

QString AudioOutput(mpv_handle *aMpv) {
  char *ao = aMpv ? mpv_get_property_string(aMpv, "current-ao") : nullptr;
  const QString name = ao && *ao ? QString::fromUtf8(ao) : QStringLiteral("none");
  mpv_free(ao);
  return name;
}

tSampleC Fail(const char *aWhy) {
  std::fprintf(stderr, "%s\n", aWhy);
  return {};
}

// Makes the movie panel hold a 640x480 picture above its 16-pixel bar.
bool FitFor640x480(TMain &aWindow) {
  auto *panel = aWindow.findChild<QWidget *>(QStringLiteral("fMoviePnl"));
  const QSize wanted = cPicture + QSize(20, 16);
  for (int i = 0; i < 10 && panel->size() != wanted; ++i) {
    aWindow.resize(aWindow.width() + wanted.width() - panel->width(),
                   aWindow.height() + wanted.height() - panel->height());
    RunFor(100);
  }
  return panel->size() == wanted;
}

tSampleC Melodra() {
  TMain window;
  if (!ShowWithEpisodeListed(window) || !FitFor640x480(window))
    return Fail("the window cannot hold a 640x480 picture");
  TQTControl *control = window.MovieControl();
  DoubleClickEpisode(window);
  RunFor(cSettleMs);
  TMovieView *view = control->View();
  TQTMovie *movie = control->Movie();
  const QSize picture = view ? view->size() : control->size() - QSize(0, 16);
  if (picture != cPicture || !movie || movie->Rate() <= 0)
    return Fail("the window does not play the movie at 640x480");
  const QByteArray experiment = qgetenv("MELODRA_BENCH_WINDOW");
  if (experiment == "no-events")
    QObject::disconnect(control, &TQTControl::OnQTEvent, nullptr, nullptr);
  else if (experiment == "no-time")
    QObject::disconnect(&control->Engine(), &tMovieEngineC::TimeChanged, nullptr, nullptr);
  else if (!experiment.isEmpty())
    return Fail("MELODRA_BENCH_WINDOW is no-events or no-time");
  const int frames = view ? view->FramesDrawn() : 0;
  const int64_t time = movie->Time();
  tSampleC sample = Measure(getpid());
  const int drawn = view ? view->FramesDrawn() - frames : 0;
  if (movie != control->Movie() || movie->Time() - time < cMeasureMs * 9 / 10)
    return Fail("the window stopped playing while measured");
  if (view && drawn < cMinFrames)
    return Fail("the window drew too few frames");
  sample.mAudio = AudioOutput(control->Engine().Handle());
  sample.mDetails = QStringLiteral("%1 renders").arg(drawn);
  return sample;
}

tSampleC Libmpv(const QString &aClip) {
  tBarePlayerC player;
  if (!player.Start(Headless()))
    return Fail("libmpv cannot start");
  player.resize(cPicture);
  player.show();
  if (!Headless() && !RunUntil([&] { return player.Ready(); }, 10000))
    return Fail("the bare libmpv player has no render context");
  player.Load(aClip);
  RunFor(cSettleMs);
  if (player.size() != cPicture)
    return Fail("the bare libmpv player is not 640x480");
  const int frames = player.FramesDrawn(), renders = player.Renders();
  const double time = player.Time();
  tSampleC sample = Measure(getpid());
  if (player.Time() - time < cMeasureMs / 1000.0 * 0.9)
    return Fail("the bare libmpv player stopped playing while measured");
  if (!Headless() && player.FramesDrawn() - frames < cMinFrames)
    return Fail("the bare libmpv player drew too few frames");
  sample.mAudio = AudioOutput(player.Handle());
  sample.mDetails = QStringLiteral("%1 frames in %2 renders")
                        .arg(player.FramesDrawn() - frames)
                        .arg(player.Renders() - renders);
  return sample;
}

tSampleC Mpv(const QString &aClip) {
  QStringList args = {QStringLiteral("--no-config"),
                      // What it chose for picture and sound, on stdout.
                      QStringLiteral("--msg-level=all=no,cplayer=info"),
                      QStringLiteral("--hwdec=no"), QStringLiteral("--no-osc"),
                      QStringLiteral("--keep-open=yes")};
  if (Headless())
    args << QStringLiteral("--vo=null") << QStringLiteral("--ao=null");
  else
    args << QStringLiteral("--gpu-context=x11egl") << QStringLiteral("--vo=gpu")
         << QStringLiteral("--geometry=640x480") << QStringLiteral("--autofit=640x480");
  QProcess mpv;
  mpv.setProcessChannelMode(QProcess::SeparateChannels);
  mpv.setStandardErrorFile(QProcess::nullDevice());
  mpv.start(QStringLiteral("mpv"), args << aClip);
  if (!mpv.waitForStarted())
    return Fail("mpv does not start");
  RunFor(cSettleMs);
  if (mpv.state() != QProcess::Running) {
    std::fprintf(stderr, "mpv ended early (exit %d)\n", mpv.exitCode());
    return {};
  }
  tSampleC sample = Measure(mpv.processId());
  const bool ranThrough = mpv.state() == QProcess::Running;
  const QString said = QString::fromLocal8Bit(mpv.readAllStandardOutput());
  mpv.terminate();
  mpv.waitForFinished(5000);
  if (!ranThrough || !sample.mValid) {
    std::fprintf(stderr, "mpv ended while measured (exit %d)\n", mpv.exitCode());
    return {};
  }
  if (!Headless() && !said.contains(QStringLiteral("VO: [gpu] 640x480")))
    return Fail("mpv does not show the movie at 640x480");
  const QRegularExpressionMatch ao =
      QRegularExpression(QStringLiteral("AO: \\[(\\w+)\\]")).match(said);
  sample.mAudio = ao.hasMatch() ? ao.captured(1) : QStringLiteral("none");
  return sample;
}

struct tSideC {
  const char *mName;
  std::function<tSampleC(const QString &)> mRun;
  std::vector<tSampleC> mSamples;
  double MedianOf(const std::function<double(const tSampleC &)> &aValue) const {
    std::vector<double> values;
    for (const tSampleC &sample : mSamples)
      values.push_back(aValue(sample));
    return Median(values);
  }
  double Player() const {
    return MedianOf([](const tSampleC &aSample) { return double(aSample.Player()); });
  }
  double Server() const {
    return MedianOf([](const tSampleC &aSample) { return double(aSample.mServer); });
  }
};

} // namespace

int main(int argc, char **argv) {
  UseOneSoundOutput();
  if (Headless())
    qputenv("MELODRA_NO_VIDEO_OUTPUT", "1");
  return RunPlaybackBench(
      argc, argv, {cPicture, 25, 30, true, "veryfast"}, [](const tBenchHomeC &aHome) {
        std::vector<tSideC> sides = {{"Melodra", [](const QString &) { return Melodra(); }, {}},
                                     {"libmpv", &Libmpv, {}},
                                     {"mpv", &Mpv, {}}};
        if (const QByteArray chosen = qgetenv("MELODRA_BENCH_SIDES"); !chosen.isEmpty()) {
          const QList<QByteArray> names = chosen.toLower().split(',');
          std::erase_if(sides, [&](const tSideC &aSide) {
            return !names.contains(QByteArray(aSide.mName).toLower());
          });
        }
        const int runs = qEnvironmentVariableIsSet("MELODRA_BENCH_RUNS")
                             ? qEnvironmentVariableIntValue("MELODRA_BENCH_RUNS")
                             : 5;
        if (sides.empty() || runs < 1) {
          std::fprintf(stderr, "no side to run (MELODRA_BENCH_SIDES, MELODRA_BENCH_RUNS)\n");
          return 1;
        }
        for (int run = 1; run <= runs; ++run) {
          QString line = QStringLiteral("run %1:").arg(run);
          for (tSideC &side : sides) {
            tSampleC sample = side.mRun(aHome.Clip());
            if (!sample.mValid)
              return 1;
            const tSideC &first = sides.front();
            if (sample.mAudio !=
                (first.mSamples.empty() ? sample.mAudio : first.mSamples.front().mAudio)) {
              std::fprintf(stderr, "\n%s plays sound to %s, unlike the others\n", side.mName,
                           qPrintable(sample.mAudio));
              return 1;
            }
            line += QStringLiteral(" %1 %2 ticks (X server %3%4%5)")
                        .arg(QLatin1String(side.mName))
                        .arg(sample.Player())
                        .arg(sample.mServer)
                        .arg(sample.mDetails.isEmpty() ? QString() : QStringLiteral(", "),
                             sample.mDetails);
            side.mSamples.push_back(std::move(sample));
          }
          std::printf("%s\n", qPrintable(line));
          std::fflush(stdout);
        }
        std::printf("CPU over %d s playing 640x480 at %s (ticks of %ld per second, sound to %s), "
                    "medians:\n",
                    cMeasureMs / 1000, Headless() ? "no picture" : "640x480", sysconf(_SC_CLK_TCK),
                    qPrintable(sides.front().mSamples.front().mAudio));
        for (const tSideC &side : sides) {
          std::printf("  %-8s %4.0f (X server %.0f):", side.mName, side.Player(), side.Server());
          std::map<QString, bool> names;
          for (const tSampleC &sample : side.mSamples)
            for (const auto &[name, ticks] : sample.mThreads)
              names[name] = true;
          for (const auto &[name, seen] : names) {
            const double ticks = side.MedianOf([&name](const tSampleC &aSample) {
              auto it = aSample.mThreads.find(name);
              return it == aSample.mThreads.end() ? 0.0 : double(it->second);
            });
            if (ticks > 0)
              std::printf(" %s %.0f,", qPrintable(name), ticks);
          }
          std::printf("\n");
        }
        const tSideC &ours = sides.front();
        for (const tSideC &other : sides)
          if (&other != &ours && qstrcmp(ours.mName, "Melodra") == 0)
            std::printf("Melodra against %s: ratio %.2f, with the X server %.2f\n", other.mName,
                        ours.Player() / other.Player(),
                        (ours.Player() + ours.Server()) / (other.Player() + other.Server()));
        return 0;
      });
}
