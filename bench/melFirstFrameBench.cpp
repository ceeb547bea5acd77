// Double-click to first drawn frame in the main window, against the mpv
// command line's own first frame on the same file. Needs a display (Xvfb).
#include "melApplications.h"
#include "melCatalogListView.h"
#include "melLogging.h"
#include "melMain.h"
#include "melQTControl.h"
#include "melMovieView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

namespace {

bool Run(const QString &aProgram, const QStringList &aArguments) {
  return QProcess::execute(aProgram, aArguments) == 0;
}

double Median(std::vector<double> aValues) {
  std::sort(aValues.begin(), aValues.end());
  return aValues[aValues.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  QTemporaryDir home;
  qputenv("MELODRA_HOME", QFile::encodeName(home.path()));
  const QString clip = home.filePath(QStringLiteral("clip720.mp4"));
  if (!Run(QStringLiteral("ffmpeg"), {"-y",
                                      "-loglevel",
                                      "error",
                                      "-f",
                                      "lavfi",
                                      "-i",
                                      "testsrc2=size=1280x720:rate=30",
                                      "-f",
                                      "lavfi",
                                      "-i",
                                      "sine=frequency=440",
                                      "-t",
                                      "10",
                                      "-c:v",
                                      "libx264",
                                      "-preset",
                                      "veryfast",
                                      "-pix_fmt",
                                      "yuv420p",
                                      "-c:a",
                                      "aac",
                                      "-shortest",
                                      clip})) {
    std::fprintf(stderr, "ffmpeg failed\n");
    return 1;
  }
  QFile catalog(home.filePath(QStringLiteral("Catalog.xml")));
  catalog.open(QIODevice::WriteOnly);
  catalog.write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">"
                "<Category name=\"A\"><Category name=\"B\"><Category name=\"C\">"
                "<File name=\"Clip\"><Filename>clip720.mp4</Filename><FileType>Movie</FileType>"
                "</File></Category></Category></Category></Catalog>");
  catalog.close();
  OpenLog();
  const auto application = DefaultApplication();
  SetCurrentApplication(application.get());

  constexpr int cRuns = 5;
  std::vector<double> ours;
  for (int run = 0; run < cRuns; ++run) {
    TMain window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
      return 1;
    QTest::qWait(300);
    auto *list = window.findChild<TCatalogListView *>(QStringLiteral("fContentLv"));
    window.CategoryColumn(0)->SelectRow(1); // the category, down to its episode
    list->SelectRow(-1);
    QTest::qWait(200);
    auto *video = window.MovieControl()->findChild<TMovieView *>();
    list->SelectRow(0);
    const int before = video ? video->FramesDrawn() : 0;
    QElapsedTimer timer;
    timer.start();
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
      TQTMovie *movie = window.MovieControl()->Movie();
      video = window.MovieControl()->findChild<TMovieView *>();
      if (movie && movie->Rate() > 0 && video && video->FramesDrawn() > before)
        break;
    }
    ours.push_back(double(timer.nsecsElapsed()) / 1e6);
  }

  std::vector<double> mpv;
  for (int run = 0; run < cRuns; ++run) {
    QElapsedTimer timer;
    timer.start();
    Run(QStringLiteral("mpv"), {"--no-config", "--really-quiet", "--vo=gpu", "--ao=null",
                                "--frames=1", "--hwdec=no", clip});
    mpv.push_back(double(timer.nsecsElapsed()) / 1e6);
  }
  std::printf("double-click to first drawn frame: median %.1f ms (runs:", Median(ours));
  for (double value : ours)
    std::printf(" %.1f", value);
  std::printf(")\nmpv command line to its first frame: median %.1f ms (runs:", Median(mpv));
  for (double value : mpv)
    std::printf(" %.1f", value);
  std::printf(")\nratio: %.2f\n", Median(ours) / Median(mpv));
  SetCurrentApplication(nullptr);
  CloseLog();
  return 0;
}
