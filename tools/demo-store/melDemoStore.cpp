// Seeds a program folder with a small lesson collection: the catalog, a short
// movie per movie episode and a sheet per PDF episode. Files already there are
// kept, so it can run on every start and only the first run takes time.
#include "melAtomicSave.h"
#include "melDemoLessons.h"
#include "melDemoMovies.h"
#include "melDemoSheets.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

constexpr int cParallelEncoders = 2;

void Say(FILE *aStream, const QString &aText) {
  std::fprintf(aStream, "melodra-demo-lessons: %s\n", aText.toLocal8Bit().constData());
}

QString Count(qsizetype aCount, const char *aNoun) {
  return QString::number(aCount) + u' ' + QLatin1String(aNoun) +
         (aCount == 1 ? QString() : QStringLiteral("s"));
}

void WriteCatalog(const QString &aFileName, const QByteArray &aContent) {
  if (const QString error = SaveFileAtomically(aFileName, aContent, QStringLiteral("catalog file"));
      !error.isEmpty())
    throw std::runtime_error(error.toStdString());
}

int Run(const QString &aFolder) {
  if (!QDir().mkpath(aFolder))
    throw std::runtime_error(
        QStringLiteral("Cannot make the folder %1").arg(aFolder).toStdString());

  const std::vector<tDemoLessonC> &lessons = DemoLessons();
  std::vector<tDemoMovieC> movies;
  int sheets = 0;
  for (const tDemoLessonC &lesson : lessons) {
    const QString fileName = lesson.LocalPath(aFolder);
    if (QFileInfo::exists(fileName))
      continue;
    if (lesson.Media() == tDemoMediaE::Sheet) {
      WriteDemoSheet(fileName, lesson);
      ++sheets;
      continue;
    }
    tDemoMovieC movie;
    movie.mFileName = fileName;
    movie.mTitle = lesson.mName;
    movie.mCaption = lesson.mArtist + QStringLiteral("  \u00b7  ") + lesson.mInstrument +
                     QStringLiteral(" / ") + lesson.mCategory + QStringLiteral(" / ") +
                     lesson.mLevel + QStringLiteral("  \u00b7  tone ") + lesson.mNote;
    movie.mFrequency = lesson.mFrequency;
    movies.push_back(std::move(movie));
  }

  if (!movies.empty())
    Say(stdout, QStringLiteral("encoding %1 with ffmpeg...").arg(Count(movies.size(), "movie")));
  MakeDemoMovies(movies, cParallelEncoders);

  // Last, so a failed run leaves no catalog and the next one tries again.
  const QString catalog = QDir(aFolder).filePath(QStringLiteral("Catalog.xml"));
  const bool newCatalog = !QFileInfo::exists(catalog);
  if (newCatalog)
    WriteCatalog(catalog, DemoCatalog(lessons));

  Say(stdout, QStringLiteral("%1: %2; made %3 and %4%5")
                  .arg(QDir::toNativeSeparators(QDir(aFolder).absolutePath()),
                       Count(qsizetype(lessons.size()), "lesson"),
                       Count(qsizetype(movies.size()), "movie"), Count(sheets, "sheet"))
                  .arg(newCatalog ? QStringLiteral(", wrote Catalog.xml")
                                  : QStringLiteral("; kept the existing Catalog.xml")));
  return 0;
}

} // namespace

int main(int argc, char *argv[]) {
  // Sheets need fonts and so a QGuiApplication, but never a window: a display
  // would only be one more thing that can be missing.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() != 2 || arguments[1].startsWith(u'-')) {
    std::fprintf(stderr, "usage: melodra-demo-lessons <program-folder>\n"
                         "Writes a sample lesson collection (Catalog.xml, video/, pdf/) into the "
                         "folder; files already there are kept.\n");
    return 2;
  }
  try {
    return Run(arguments[1]);
  } catch (const std::exception &e) {
    Say(stderr, QString::fromLocal8Bit(e.what()));
    return 1;
  }
}
