#include "melWindowFitting.h"

#include <algorithm>
#include <cmath>

int RoundDivMul(long double aX, long double aY, long double aZ) {
  // The current rounding mode is the default, to nearest with ties to even.
  return int(std::nearbyintl(aX / aY * aZ));
}

namespace {

// The shared half of both fits: aCover picks which way the comparison goes.
QRect Fit(QSize aPicture, QSize aArea, bool aCover) {
  if (aPicture.width() <= 0 || aPicture.height() <= 0 || aArea.width() <= 0 || aArea.height() <= 0)
    return {};
  const int aw = aArea.width();
  const int ah = aArea.height();
  const int s = RoundDivMul(ah, aPicture.height(), aPicture.width());
  QRect result;
  if (aCover ? aw <= s : aw >= s) {
    result = QRect((aw - s) / 2, 0, s, ah);
  } else {
    const int t = RoundDivMul(aw, aPicture.width(), aPicture.height());
    result = QRect(0, (ah - t) / 2, aw, t);
  }
  result.setBottom(result.bottom() + cMovieStrip);
  return result;
}

} // namespace

QRect ContainFit(QSize aPicture, QSize aArea) {
  return Fit(aPicture, aArea, false);
}

QRect CoverFit(QSize aPicture, QSize aArea) {
  return Fit(aPicture, aArea, true);
}

QRect PlaceWindowFor(QSize aMovieArea, const tWindowFrameC &aFrame) {
  const QRect &work = aFrame.mWorkArea;
  // Exclusive right and bottom, as the work area is measured.
  const int workRight = work.left() + work.width();
  const int workBottom = work.top() + work.height();
  int width = aMovieArea.width() + (aFrame.mWindow.width() - aFrame.mMoviePanel.width());
  int height = aMovieArea.height() + (aFrame.mWindow.height() - aFrame.mMoviePanel.height());
  int left = std::max(aFrame.mWindow.left(), work.left());
  int top = std::max(aFrame.mWindow.top(), work.top());
  if (top + height > workBottom) {
    top = workBottom - height;
    if (top < work.top()) {
      top = work.top();
      height = workBottom - work.top();
    }
  }
  if (left + width > workRight) {
    left = workRight - width;
    if (left < work.left()) {
      left = work.left();
      width = workRight - work.left();
    }
  }
  return QRect(left, top, width, height);
}

QRect FitWindowToMinimum(QSize aPicture, const tWindowFrameC &aFrame) {
  const QRect area = CoverFit(
      aPicture, QSize(aFrame.mMinimumMovie.width(), aFrame.mMinimumMovie.height() - cMovieStrip));
  return area.isEmpty() ? aFrame.mWindow : PlaceWindowFor(area.size(), aFrame);
}

QRect FitWindowToPicture(QSize aPicture, const tWindowFrameC &aFrame, bool aMinimum) {
  if (aPicture.width() <= 0 || aPicture.height() <= 0)
    return aFrame.mWindow;
  const int workWidth = aFrame.mWorkArea.width();
  const int workHeight = aFrame.mWorkArea.height();
  int aw = aPicture.width();
  int ah = aPicture.height();
  if (workHeight < ah + aFrame.mTopHeight + aFrame.mBottomHeight + cMovieStrip)
    ah = workHeight - aFrame.mBottomHeight - cMovieStrip - aFrame.mTopHeight;
  if (workWidth < aw + aFrame.mLeftWidth + aFrame.mRightWidth)
    aw = workWidth - aFrame.mLeftWidth - aFrame.mRightWidth;
  if (aw < aFrame.mMinimumMovie.width() || ah < aFrame.mMinimumMovie.height())
    return aMinimum ? FitWindowToMinimum(aPicture, aFrame) : aFrame.mWindow;
  return PlaceWindowFor(ContainFit(aPicture, QSize(aw, ah)).size(), aFrame);
}
