#pragma once

#include <QString>

#include <vector>

struct tDemoMovieC {
  QString mFileName;
  // Drawn on the picture when ffmpeg can draw text.
  QString mTitle;
  QString mCaption;
  double mFrequency = 440;
};

// Encodes the movies with ffmpeg, at most aParallel at a time. Each appears
// under its name only once complete, so an interrupted run leaves no stub that
// a later run would keep. Raises std::runtime_error when ffmpeg is missing or
// a movie fails; the ones already made stay.
void MakeDemoMovies(const std::vector<tDemoMovieC> &aMovies, int aParallel);
