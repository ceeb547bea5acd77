// CPU while playing: the main window playing a 640x480 movie at its own size
// for 10 s, against the mpv command line showing the same file in a 640x480
// window, one after the other in one run, repeated. Counts user and system
// time of the player's process, and of the X server over the same time.
// Needs a display (Xvfb).
#include "melMain.h"
#include "melMovieView.h"
#include "melPlaybackBench.h"
#include "melQTControl.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <clocale>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

constexpr int cMeasureMs = 10000;
constexpr int cSettleMs = 2000;

// User and system clock ticks of a process so far; -1 when it is gone.
long long Ticks(qint64 aPid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(aPid));
  if (!stat.open(QIODevice::ReadOnly))
    return -1;
  const QByteArray line = stat.readAll();
  // The fields after the command name, which is in parentheses.
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
  return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
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
  long long mPlayer = -1;
  long long mServer = -1;
};

tSampleC Measure(qint64 aPlayer, qint64 aServer) {
  const long long player = Ticks(aPlayer), server = aServer ? Ticks(aServer) : 0;
  QTest::qWait(cMeasureMs);
  tSampleC sample;
  const long long playerAfter = Ticks(aPlayer);
  if (player >= 0 && playerAfter >= 0)
    sample.mPlayer = playerAfter - player;
  if (aServer)
    sample.mServer = Ticks(aServer) - server;
  return sample;
}

// Makes the movie panel hold a 640x480 picture above its 16-pixel bar.
bool FitFor640x480(TMain &aWindow) {
  auto *panel = aWindow.findChild<QWidget *>(QStringLiteral("fMoviePnl"));
  for (int i = 0; i < 10 && panel->size() != QSize(660, 496); ++i) {
    aWindow.resize(aWindow.width() + 660 - panel->width(),
                   aWindow.height() + 496 - panel->height());
    QTest::qWait(100);
  }
  return panel->size() == QSize(660, 496);
}

tSampleC Ours() {
  TMain window;
  if (!ShowWithEpisodeListed(window) || !FitFor640x480(window)) {
    std::fprintf(stderr, "the window cannot hold a 640x480 picture\n");
    return {};
  }
  DoubleClickEpisode(window);
  QTest::qWait(cSettleMs);
  TMovieView *view = window.MovieControl()->View();
  if (!view || view->size() != QSize(640, 480) || !window.MovieControl()->Movie() ||
      window.MovieControl()->Movie()->Rate() <= 0) {
    std::fprintf(stderr, "the window does not play the movie at 640x480\n");
    return {};
  }
  const int frames = view->FramesDrawn();
  const tSampleC sample = Measure(getpid(), XServerPid());
  if (view->FramesDrawn() - frames < cMeasureMs / 1000 * 20) {
    std::fprintf(stderr, "the window drew only %d frames\n", view->FramesDrawn() - frames);
    return {};
  }
  return sample;
}

tSampleC Mpv(const QString &aClip) {
  QProcess mpv;
  mpv.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  mpv.start(QStringLiteral("mpv"),
            {QStringLiteral("--no-config"), QStringLiteral("--really-quiet"),
             QStringLiteral("--gpu-context=x11egl"), QStringLiteral("--vo=gpu"),
             QStringLiteral("--hwdec=no"), QStringLiteral("--no-osc"),
             QStringLiteral("--geometry=640x480"), QStringLiteral("--autofit=640x480"),
             QStringLiteral("--keep-open=yes"), aClip});
  if (!mpv.waitForStarted())
    return {};
  QTest::qWait(cSettleMs);
  if (mpv.state() != QProcess::Running) {
    std::fprintf(stderr, "mpv ended early (exit %d)\n", mpv.exitCode());
    return {};
  }
  const tSampleC sample = Measure(mpv.processId(), XServerPid());
  const bool ranThrough = mpv.state() == QProcess::Running;
  mpv.terminate();
  mpv.waitForFinished(5000);
  if (!ranThrough) {
    std::fprintf(stderr, "mpv ended while measured (exit %d)\n", mpv.exitCode());
    return {};
  }
  return sample;
}

} // namespace

int main(int argc, char **argv) {
  return RunPlaybackBench(
      argc, argv, {QSize(640, 480), 25, 30, true, "veryfast"}, [](const tBenchHomeC &aHome) {
        constexpr int cRuns = 3;
        std::vector<double> ours, mpv, oursServer, mpvServer;
        for (int run = 0; run < cRuns; ++run) {
          const tSampleC our = Ours();
          const tSampleC their = Mpv(aHome.Clip());
          if (our.mPlayer < 0 || their.mPlayer < 0)
            return 1;
          std::printf(
              "run %d: Melodra %lld ticks (X server %lld), mpv %lld ticks (X server %lld)\n",
              run + 1, our.mPlayer, our.mServer, their.mPlayer, their.mServer);
          std::fflush(stdout);
          ours.push_back(double(our.mPlayer));
          mpv.push_back(double(their.mPlayer));
          oursServer.push_back(double(our.mServer));
          mpvServer.push_back(double(their.mServer));
        }
        std::printf(
            "CPU over %d s playing 640x480 at 640x480 (ticks of %ld per second), medians:\n"
            "  Melodra %.0f (X server %.0f), mpv %.0f (X server %.0f); ratio %.2f, with the "
            "X server %.2f\n",
            cMeasureMs / 1000, sysconf(_SC_CLK_TCK), Median(ours), Median(oursServer), Median(mpv),
            Median(mpvServer), Median(ours) / Median(mpv),
            (Median(ours) + Median(oursServer)) / (Median(mpv) + Median(mpvServer)));
        return 0;
      });
}
