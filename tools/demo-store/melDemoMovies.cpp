#include "melDemoMovies.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>

namespace {

const QString cFfmpeg = QStringLiteral("ffmpeg");
const QString cFontFile = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
const QString cTitleFontFile =
    QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
constexpr int cSeconds = 4;

[[noreturn]] void Fail(const QString &aMessage) {
  throw std::runtime_error(aMessage.toStdString());
}

// A filter option value passes two parsers, the option list and then the
// graph, and each has its own special characters.
QString FilterValue(const QString &aText) {
  QString options;
  for (const QChar c : aText) {
    if (c == u'\\' || c == u'\'' || c == u':')
      options += u'\\';
    options += c;
  }
  QString graph;
  for (const QChar c : options) {
    if (c == u'\\' || c == u'\'' || c == u'[' || c == u']' || c == u',' || c == u';')
      graph += u'\\';
    graph += c;
  }
  return graph;
}

// Some ffmpeg builds lack drawtext (it needs libfreetype); then the movies
// go without titles rather than not at all.
bool CanDrawText() {
  QProcess probe;
  probe.start(cFfmpeg, {QStringLiteral("-hide_banner"), QStringLiteral("-filters")});
  if (!probe.waitForStarted())
    Fail(QStringLiteral("ffmpeg was not found; install it (apt-get install ffmpeg) and run "
                        "again"));
  probe.closeWriteChannel();
  if (!probe.waitForFinished() || probe.exitStatus() != QProcess::NormalExit ||
      probe.exitCode() != 0)
    Fail(QStringLiteral("ffmpeg does not run: %1")
             .arg(QString::fromLocal8Bit(probe.readAllStandardError()).trimmed()));
  const bool hasFilter = probe.readAllStandardOutput().contains(" drawtext ");
  return hasFilter && QFileInfo::exists(cFontFile) && QFileInfo::exists(cTitleFontFile);
}

void WriteText(const QString &aFileName, const QString &aText) {
  QFile file(aFileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(aText.toUtf8()) < 0 ||
      !file.flush())
    Fail(QStringLiteral("Cannot write %1: %2").arg(aFileName, file.errorString()));
}

QString TitleFilters(const tDemoMovieC &aMovie, const QString &aTextFolder, int aIndex) {
  const QString titleFile = QDir(aTextFolder).filePath(QStringLiteral("title-%1.txt").arg(aIndex));
  const QString captionFile =
      QDir(aTextFolder).filePath(QStringLiteral("caption-%1.txt").arg(aIndex));
  WriteText(titleFile, aMovie.mTitle);
  WriteText(captionFile, aMovie.mCaption);
  // DejaVu Sans Bold averages about 0.65 em a letter: keep long titles on
  // the picture.
  const int titleSize = std::clamp(int(900 / std::max<qsizetype>(aMovie.mTitle.size(), 1)), 18, 40);
  const int captionSize =
      std::clamp(int(1000 / std::max<qsizetype>(aMovie.mCaption.size(), 1)), 12, 20);
  return QStringLiteral(",drawbox=x=0:y=ih-140:w=iw:h=110:color=black@0.65:t=fill"
                        ",drawtext=fontfile=%1:textfile=%2:expansion=none:fontsize=%3"
                        ":fontcolor=white:x=(w-text_w)/2:y=h-128"
                        ",drawtext=fontfile=%4:textfile=%5:expansion=none:fontsize=%6"
                        ":fontcolor=0xE0E0E0:x=(w-text_w)/2:y=h-66")
      .arg(FilterValue(cTitleFontFile), FilterValue(titleFile), QString::number(titleSize),
           FilterValue(cFontFile), FilterValue(captionFile), QString::number(captionSize));
}

QStringList FfmpegArguments(const tDemoMovieC &aMovie, const QString &aVideoFilters,
                            const QString &aOutput) {
  const QString seconds = QString::number(cSeconds);
  return {QStringLiteral("-y"), QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
          QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
          QStringLiteral("-i"), QStringLiteral("testsrc2=size=640x480:rate=25"),
          QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
          QStringLiteral("sine=frequency=%1:sample_rate=44100").arg(aMovie.mFrequency, 0, 'f', 2),
          QStringLiteral("-t"), seconds, QStringLiteral("-vf"),
          QStringLiteral("format=yuv420p") + aVideoFilters,
          // Fades keep the tone from clicking at either end.
          QStringLiteral("-af"),
          QStringLiteral("afade=t=in:d=0.05,afade=t=out:st=%1:d=0.2").arg(cSeconds - 0.2),
          QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
          QStringLiteral("veryfast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
          QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-shortest"),
          QStringLiteral("-movflags"), QStringLiteral("+faststart"), QStringLiteral("-f"),
          QStringLiteral("mov"), aOutput};
}

struct tJobC {
  const tDemoMovieC *mMovie = nullptr;
  QString mPartName;
  std::unique_ptr<QProcess> mProcess;
  bool mDone = false;
};

} // namespace

void MakeDemoMovies(const std::vector<tDemoMovieC> &aMovies, int aParallel) {
  if (aMovies.empty())
    return;
  const bool titles = CanDrawText();
  QTemporaryDir textFolder;
  if (titles && !textFolder.isValid())
    Fail(QStringLiteral("Cannot make a temporary folder: %1").arg(textFolder.errorString()));

  // Finished processes stay until the end: deleting one from its own signal
  // is not allowed, and there are only a few dozen.
  std::vector<tJobC> jobs(aMovies.size());
  size_t next = 0;
  int active = 0;
  QString failure;
  QEventLoop loop;
  std::function<void()> startMore;

  auto finish = [&](tJobC &aJob, const QString &aError) {
    if (aJob.mDone)
      return;
    aJob.mDone = true;
    --active;
    if (aError.isEmpty()) {
      if (!QFile::rename(aJob.mPartName, aJob.mMovie->mFileName) && failure.isEmpty())
        failure =
            QStringLiteral("Cannot rename %1 to %2").arg(aJob.mPartName, aJob.mMovie->mFileName);
    } else {
      QFile::remove(aJob.mPartName);
      if (failure.isEmpty())
        failure = aError;
    }
    startMore();
  };

  // After a failure nothing new starts; the loop ends once the running ones
  // are done.
  startMore = [&] {
    while (failure.isEmpty() && next < jobs.size() && active < aParallel) {
      const size_t index = next++;
      tJobC &job = jobs[index];
      job.mMovie = &aMovies[index];
      job.mPartName = job.mMovie->mFileName + QStringLiteral(".part");
      if (!QDir().mkpath(QFileInfo(job.mMovie->mFileName).absolutePath())) {
        failure = QStringLiteral("Cannot make the folder of %1").arg(job.mMovie->mFileName);
        break;
      }
      QString filters;
      try {
        if (titles)
          filters = TitleFilters(*job.mMovie, textFolder.path(), int(index));
      } catch (const std::runtime_error &e) {
        failure = QString::fromStdString(e.what());
        break;
      }

      job.mProcess = std::make_unique<QProcess>();
      QProcess *process = job.mProcess.get();
      process->setStandardInputFile(QProcess::nullDevice());
      process->setStandardOutputFile(QProcess::nullDevice());
      QObject::connect(
          process, &QProcess::finished, process,
          [&, index](int aCode, QProcess::ExitStatus aStatus) {
            tJobC &done = jobs[index];
            QString error;
            if (aStatus != QProcess::NormalExit || aCode != 0) {
              const QString output =
                  QString::fromLocal8Bit(done.mProcess->readAllStandardError()).trimmed();
              error = QStringLiteral("ffmpeg failed on %1 (exit code %2)%3")
                          .arg(done.mMovie->mFileName)
                          .arg(aCode)
                          .arg(output.isEmpty() ? QString() : QStringLiteral(":\n") + output);
            }
            finish(done, error);
          });
      // A process that never started reports nothing else; Qt may say so from
      // within start().
      QObject::connect(
          process, &QProcess::errorOccurred, process, [&, index](QProcess::ProcessError aError) {
            tJobC &done = jobs[index];
            if (aError == QProcess::FailedToStart)
              finish(done, QStringLiteral("Cannot start ffmpeg for %1: %2")
                               .arg(done.mMovie->mFileName, done.mProcess->errorString()));
          });
      ++active;
      process->start(cFfmpeg, FfmpegArguments(*job.mMovie, filters, job.mPartName));
    }
    if (active == 0)
      loop.quit();
  };

  startMore();
  if (active > 0)
    loop.exec();
  if (!failure.isEmpty())
    Fail(failure);
}
