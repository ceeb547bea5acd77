#include "melWindowRegion.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const QRgb cKey = cFrameKeyColor;
const QRgb cInk = qRgb(40, 30, 90);

QImage Picture(int aWidth, int aHeight, const std::function<QRgb(int, int)> &aPixel) {
  QImage image(aWidth, aHeight, QImage::Format_RGB32);
  for (int y = 0; y < aHeight; ++y)
    for (int x = 0; x < aWidth; ++x)
      image.setPixel(x, y, aPixel(x, y));
  return image;
}

// The same region as the union of one rectangle per kept pixel.
QRegion PixelByPixel(const QImage &aPicture, QRgb aKey, QPoint aOffset) {
  QRegion region;
  for (int y = 0; y < aPicture.height(); ++y)
    for (int x = 0; x < aPicture.width(); ++x)
      if ((aPicture.pixel(x, y) & RGB_MASK) != (aKey & RGB_MASK))
        region += QRect(aOffset.x() + x, aOffset.y() + y, 1, 1);
  return region;
}

bool SameArea(const QRegion &aLeft, const QRegion &aRight) {
  return aLeft.xored(aRight).isEmpty();
}

struct tRegionCaseC {
  const char *mName;
  QImage mPicture;
  QRgb mKey;
  QPoint mOffset;
  int mTolerance;
  QSize mTarget;
  QRegion mExpected;
};

TEST(BitmapToRegion, CutsTheKeyColourOut) {
  const QImage oneHole =
      Picture(11, 3, [](int x, int y) { return x == 5 && y == 1 ? cKey : cInk; });
  const QRegion oneHoleRegion = QRegion(QRect(3, 4, 11, 3)) - QRegion(QRect(8, 5, 1, 1));
  const QImage nearKey = Picture(4, 2, [](int x, int) { return x < 2 ? qRgb(254, 0, 255) : cKey; });
  // Left column key colour, right column ink: stretched, each column is half.
  const QImage halves = Picture(2, 2, [](int x, int) { return x == 0 ? cKey : cInk; });
  const tRegionCaseC cases[] = {
      {"all key colour", Picture(10, 4, [](int, int) { return cKey; }), cKey, {}, 0, {-1, -1}, {}},
      {"no key colour",
       Picture(6, 2, [](int, int) { return cInk; }),
       cKey,
       {7, 9},
       0,
       {-1, -1},
       QRegion(7, 9, 6, 2)},
      {"one key pixel in a row", oneHole, cKey, {3, 4}, 0, {-1, -1}, oneHoleRegion},
      {"tolerance 0 keeps a near colour", nearKey, cKey, {}, 0, {-1, -1}, QRegion(0, 0, 2, 2)},
      {"a tolerance takes the near colour too", nearKey, qRgb(254, 0, 254), {}, 1, {-1, -1}, {}},
      {"stretched to a target size", halves, cKey, {10, 0}, 0, {8, 5}, QRegion(14, 0, 4, 5)},
      {"shrunk to a target size",
       Picture(8, 4, [](int x, int) { return x < 4 ? cKey : cInk; }),
       cKey,
       {},
       0,
       {2, 3},
       QRegion(1, 0, 1, 3)},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mName);
    const std::optional<QRegion> region =
        BitmapToRegion(c.mPicture, c.mKey, c.mOffset.x(), c.mOffset.y(), c.mTolerance,
                       c.mTarget.width(), c.mTarget.height());
    ASSERT_TRUE(region.has_value());
    EXPECT_TRUE(SameArea(*region, c.mExpected));
  }
}

TEST(BitmapToRegion, NoPictureGivesNoRegionNotAnEmptyOne) {
  EXPECT_FALSE(BitmapToRegion(QImage(), cKey, 0, 0, 0).has_value());
  const std::optional<QRegion> empty =
      BitmapToRegion(Picture(3, 3, [](int, int) { return cKey; }), cKey, 0, 0, 0);
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->isEmpty());
}

TEST(BitmapToRegion, ARowSplitByOneKeyPixelGivesTwoRectangles) {
  const QImage picture = Picture(11, 1, [](int x, int) { return x == 5 ? cKey : cInk; });
  const QRegion region = *BitmapToRegion(picture, cKey, 0, 0, 0);
  const QList<QRect> expected{QRect(0, 0, 5, 1), QRect(6, 0, 5, 1)};
  EXPECT_EQ(QList<QRect>(region.begin(), region.end()), expected);
}

TEST(BitmapToRegion, ManyRunsAreUnitedAcrossBatches) {
  // Every other pixel is the key colour, shifted by one on alternate rows so
  // that no two rows merge: 1500 rectangles a row, 6000 in all, batches of
  // 2000 that end in the middle of rows.
  const QImage picture =
      Picture(3000, 4, [](int x, int y) { return (x + y) % 2 == 0 ? cKey : cInk; });
  const QRegion region = *BitmapToRegion(picture, cKey, 5, -2, 0);
  EXPECT_EQ(region.rectCount(), 6000);
  EXPECT_TRUE(SameArea(region, PixelByPixel(picture, cKey, QPoint(5, -2))));
  for (int row = 0; row < 4; ++row)
    EXPECT_EQ(region.intersected(QRect(0, row - 2, 4000, 1)).rectCount(), 1500) << row;
}

TEST(WithTransparentColor, ClearsOnlyThatColour) {
  const QImage picture = Picture(3, 1, [](int x, int) {
    return x == 0 ? cFrameTransparentColor : x == 1 ? qRgb(0, 255, 254) : cKey;
  });
  const QImage drawn = WithTransparentColor(picture, cFrameTransparentColor);
  EXPECT_EQ(qAlpha(drawn.pixel(0, 0)), 0);
  EXPECT_EQ(drawn.pixel(1, 0), qRgb(0, 255, 254));
  EXPECT_EQ(drawn.pixel(2, 0), cKey);
}

} // namespace
