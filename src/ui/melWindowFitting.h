#pragma once

#include <QRect>
#include <QSize>

// The arithmetic that fits a movie (or the logo) into the movie panel and
// the window around it into the screen's work area. Pure, so it is tested
// without a window.

// The controller bar under the picture.
inline constexpr int cMovieStrip = 16;

// round(x / y * z): divided, then multiplied, in extended precision,
// rounded to the nearest integer with halves to even.
int RoundDivMul(long double aX, long double aY, long double aZ);

// The picture's rectangle inside an area of aArea, with the strip added
// below it: contained (inside the area) or covering it. An empty picture or
// area gives an empty rectangle.
QRect ContainFit(QSize aPicture, QSize aArea);
QRect CoverFit(QSize aPicture, QSize aArea);

// What a fit reads of the window.
struct tWindowFrameC {
  QRect mWindow;      // the window's bounds
  QSize mMoviePanel;  // the movie panel's size
  int mTopHeight = 0; // title panel
  int mBottomHeight = 0;
  int mLeftWidth = 0;
  int mRightWidth = 0;
  QRect mWorkArea;     // of the monitor holding the window
  QSize mMinimumMovie; // the movie panel's designed size
};

// The window's bounds for a movie area of aMovieArea (strip included), kept
// inside the work area.
QRect PlaceWindowFor(QSize aMovieArea, const tWindowFrameC &aFrame);

// The window's bounds that show a picture of aPicture at its natural size
// as far as the work area allows. Below the minimum movie area: the minimum
// area covered by it, or, without aMinimum, the window's own bounds. An
// empty picture leaves the window's bounds too.
QRect FitWindowToPicture(QSize aPicture, const tWindowFrameC &aFrame, bool aMinimum = true);
// The minimum movie area covered by the picture.
QRect FitWindowToMinimum(QSize aPicture, const tWindowFrameC &aFrame);
