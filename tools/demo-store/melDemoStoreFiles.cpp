#include "melDemoStoreFiles.h"

#include "melDemoMovies.h"
#include "melDemoSheets.h"
#include "melDemoStoreOffer.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>
#include <vector>

namespace {

constexpr int cParallelEncoders = 2;

} // namespace

int EnsureDemoStoreFiles(const QString &aFolder) {
  QDir folder(aFolder);
  if (!QDir().mkpath(aFolder))
    throw std::runtime_error(
        QStringLiteral("Cannot make the folder %1").arg(aFolder).toStdString());
  // Temporary names of the movie and sheet makers.
  for (const QString &part : folder.entryList({QStringLiteral("*.part"), QStringLiteral("*.pdf.*")},
                                              QDir::Files | QDir::Hidden))
    folder.remove(part);

  std::vector<tDemoMovieC> movies;
  int made = 0;
  for (const tDemoStoreLessonC *lesson : DemoStoreLessons()) {
    const tDemoLessonC &l = lesson->mLesson;
    const QString fileName = folder.filePath(lesson->mServedName);
    if (QFileInfo::exists(fileName))
      continue;
    if (l.Media() == tDemoMediaE::Sheet) {
      WriteDemoSheet(fileName, l);
      ++made;
      continue;
    }
    tDemoMovieC movie;
    movie.mFileName = fileName;
    movie.mTitle = l.mName;
    movie.mCaption = l.mArtist + QStringLiteral("  \u00b7  ") + l.mInstrument +
                     QStringLiteral(" / ") + l.mCategory + QStringLiteral(" / ") + l.mLevel;
    movie.mFrequency = l.mFrequency;
    movies.push_back(std::move(movie));
  }
  MakeDemoMovies(movies, cParallelEncoders);
  return made + int(movies.size());
}
