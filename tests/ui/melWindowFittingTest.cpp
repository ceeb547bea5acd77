// The fitting arithmetic against values worked out by hand from the rules:
// round(x / y * z) with halves to even, halves of differences toward zero.
#include "melWindowFitting.h"

#include <gtest/gtest.h>

namespace {

// The window as designed: 580x587 around a 540x276 movie panel, title 52,
// lower half 259, sides 20.
tWindowFrameC Designed(QRect aWindow, QRect aWork) {
  tWindowFrameC frame;
  frame.mWindow = aWindow;
  frame.mMoviePanel = QSize(aWindow.width() - 40, aWindow.height() - 311);
  frame.mTopHeight = 52;
  frame.mBottomHeight = 259;
  frame.mLeftWidth = 20;
  frame.mRightWidth = 20;
  frame.mWorkArea = aWork;
  frame.mMinimumMovie = QSize(540, 276);
  return frame;
}

TEST(WindowFitting, RoundsHalvesToEven) {
  EXPECT_EQ(RoundDivMul(5, 2, 1), 2);
  EXPECT_EQ(RoundDivMul(7, 2, 1), 4);
  EXPECT_EQ(RoundDivMul(260, 480, 640), 347); // 346.67
  EXPECT_EQ(RoundDivMul(540, 320, 240), 405);
}

TEST(WindowFitting, PicturesFitTheirAreas) {
  const struct {
    const char *mName;
    bool mCover;
    QSize mPicture, mArea;
    QRect mResult; // the strip included
  } cases[] = {
      {"the designed panel and a 640x480 movie", false, {640, 480}, {540, 260}, {96, 0, 347, 276}},
      {"a wide movie in a tall area", false, {1920, 1080}, {540, 500}, {0, 98, 540, 320}},
      {"a small movie covers the minimum", true, {320, 240}, {540, 260}, {0, -72, 540, 421}},
      {"cover of a tall picture", true, {100, 400}, {540, 260}, {0, -950, 540, 2176}},
      {"no picture", false, {0, 480}, {540, 260}, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mName);
    EXPECT_EQ(c.mCover ? CoverFit(c.mPicture, c.mArea) : ContainFit(c.mPicture, c.mArea),
              c.mResult);
  }
}

TEST(WindowFitting, TheWindowShowsTheMovieAsTheWorkAreaAllows) {
  const struct {
    const char *mName;
    QSize mMovie;
    QRect mWindow, mWork;
    QRect mResult;
  } cases[] = {
      // 640x496 of movie area.
      {"640x480 on 1280x1024",
       {640, 480},
       {100, 100, 580, 587},
       {0, 0, 1280, 1024},
       {100, 100, 680, 807}},
      // Below the minimum: cover fit into 540x260 gives 540x421.
      {"320x240 gets the minimum",
       {320, 240},
       {100, 100, 580, 587},
       {0, 0, 1280, 1024},
       {100, 100, 580, 732}},
      // Height left 1024 - 259 - 16 - 52 = 697; width 1880; contain gives
      // 1239 x 697, the window 1279 x 1024, pushed up to the top.
      {"1920x1080 on a 1024-high work area",
       {1920, 1080},
       {100, 100, 580, 587},
       {0, 0, 1920, 1024},
       {100, 0, 1279, 1024}},
      {"pushed left off the right edge",
       {640, 480},
       {900, 100, 580, 587},
       {0, 0, 1280, 1024},
       {600, 100, 680, 807}},
      {"a window left of the work area comes in",
       {640, 480},
       {-50, -20, 580, 587},
       {0, 30, 1280, 994},
       {0, 30, 680, 807}},
      // A work area smaller than the frame: pinned to its edges at its size.
      {"a tiny work area", {640, 480}, {10, 10, 580, 587}, {0, 0, 500, 400}, {0, 0, 500, 400}},
      {"no picture keeps the window",
       {0, 0},
       {100, 100, 580, 587},
       {0, 0, 1280, 1024},
       {100, 100, 580, 587}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mName);
    EXPECT_EQ(FitWindowToPicture(c.mMovie, Designed(c.mWindow, c.mWork)), c.mResult);
  }
}

} // namespace
