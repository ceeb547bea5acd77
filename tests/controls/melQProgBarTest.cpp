#include "melQProgBar.h"

#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TBar = TQProgressBar;

std::string Text(QRgb aRgb) {
  return std::to_string(qRed(aRgb)) + "," + std::to_string(qGreen(aRgb)) + "," +
         std::to_string(qBlue(aRgb));
}

// Colours are compared as text so that a failure names the channels.
#define EXPECT_RGB(aActual, r, g, b) EXPECT_EQ(Text(aActual), Text(qRgb(r, g, b)))

const QRgb kLime = qRgb(0, 255, 0);
const QRgb kBack = qRgb(252, 251, 205);
const QRgb kShape = qRgb(0, 60, 116);
// Rows 3..8 of the metal shading over 9 of the two stripe colours, worked out
// from the lightness curve: BPColor1 (212,216,190) is H 46 L 191 S 60,
// BPColor2 (76,78,68) is H 48 L 69 S 16.
const std::vector<QRgb> kStripe1 = {qRgb(202, 206, 174), qRgb(186, 192, 150), qRgb(166, 173, 120),
                                    qRgb(153, 163, 101), qRgb(158, 167, 107), qRgb(175, 183, 134)};
const std::vector<QRgb> kStripe2 = {qRgb(63, 65, 56), qRgb(44, 45, 38), qRgb(18, 18, 16),
                                    qRgb(2, 2, 2),    qRgb(7, 7, 7),    qRgb(30, 31, 27)};

// The bar of the main window's "Accessing Store..." panel, as its form sets it.
void SetUpStoreBar(TBar &aBar) {
  aBar.setGeometry(56, 17, 201, 12);
  aBar.setOrientation(TBar::boHorizontal);
  aBar.setBarKind(TBar::bkFlat);
  aBar.setBarLook(TBar::blMetal);
  aBar.setRoundCorner(true);
  aBar.setBackgroundColor(QColor(252, 251, 205));
  aBar.setBarColor(QColor(0, 255, 0));
  aBar.setStartColor(QColor(0, 255, 0));
  aBar.setFinalColor(QColor(0, 255, 0));
  aBar.setBarberPole(true);
  aBar.setBPColor1(QColor(212, 216, 190));
  aBar.setBPColor2(QColor(76, 78, 68));
  aBar.setShowInactivePos(true);
  aBar.setInvertInactPos(false);
  aBar.setInactivePosColor(QColor(128, 128, 128));
  aBar.setShaped(true);
  aBar.setShapeColor(QColor(0, 60, 116));
  aBar.setBlockSize(0);
  aBar.setSpaceSize(0);
  aBar.setShowFullBlock(false);
  aBar.setMaximum(100);
  aBar.setPosition(0);
}

class QProgBarTest : public ::testing::Test {
protected:
  void Show(TBar &aBar) {
    aBar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&aBar));
  }
  static QImage Grab(TBar &aBar) {
    return aBar.grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
};

TEST_F(QProgBarTest, CreationDefaults) {
  TBar bar;
  EXPECT_EQ(bar.size(), QSize(64, 16));
  EXPECT_EQ(bar.sizeHint(), QSize(64, 16));
  EXPECT_EQ(bar.focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(bar.orientation(), TBar::boHorizontal);
  EXPECT_EQ(bar.barKind(), TBar::bkFlat);
  EXPECT_EQ(bar.barLook(), TBar::blMetal);
  EXPECT_TRUE(bar.roundCorner());
  EXPECT_EQ(bar.backgroundColor(), QColor(255, 255, 255));
  EXPECT_EQ(bar.barColor(), QColor(0, 255, 0));
  EXPECT_EQ(bar.finalColor(), QColor(0, 255, 0));
  EXPECT_FALSE(bar.barberPole());
  EXPECT_FALSE(bar.BarberPoleRunning());
  EXPECT_EQ(bar.bpColor1(), QColor(128, 128, 128));
  EXPECT_EQ(bar.bpColor2(), QColor(192, 192, 192));
  EXPECT_EQ(bar.inactivePosColor(), QColor(128, 128, 128));
  EXPECT_TRUE(bar.shaped());
  EXPECT_EQ(bar.shapeColor(), QColor(0, 60, 116));
  EXPECT_EQ(bar.maximum(), 100);
  EXPECT_EQ(bar.position(), 0);
  EXPECT_EQ(bar.captionAlign(), TBar::taLeftJustify);
  EXPECT_TRUE(bar.SameColours());
  EXPECT_EQ(bar.Border(), 2);
  EXPECT_FALSE(bar.Phase());
}

// A form sets every property by name, as uic's setProperty fallback does.
TEST_F(QProgBarTest, PropertiesSetByName) {
  TBar bar;
  EXPECT_TRUE(bar.setProperty("BarberPole", true));
  EXPECT_TRUE(bar.setProperty("BPColor1", QColor(1, 2, 3)));
  EXPECT_TRUE(bar.setProperty("orientation", QVariant::fromValue(TBar::boVertical)));
  EXPECT_TRUE(bar.setProperty("captionAlign", QVariant::fromValue(TBar::taCenter)));
  EXPECT_TRUE(bar.setProperty("ShowPosAsPct", true));
  EXPECT_TRUE(bar.BarberPoleRunning());
  EXPECT_EQ(bar.bpColor1(), QColor(1, 2, 3));
  EXPECT_EQ(bar.orientation(), TBar::boVertical);
  EXPECT_EQ(bar.captionAlign(), TBar::taCenter);
  EXPECT_TRUE(bar.showPosAsPct());
  for (const char *name :
       {"orientation", "barKind",         "barLook",        "roundCorner",      "backgroundColor",
        "barColor",    "BarberPole",      "BPColor1",       "BPColor2",         "startColor",
        "finalColor",  "showInactivePos", "invertInactPos", "inactivePosColor", "shaped",
        "shapeColor",  "blockSize",       "spaceSize",      "showFullBlock",    "maximum",
        "position",    "hideOnTerminate", "caption",        "captionAlign",     "font",
        "AutoCaption", "AutoHint",        "ShowPosAsPct"}) {
    const int index = bar.metaObject()->indexOfProperty(name);
    ASSERT_GE(index, 0) << name;
    EXPECT_TRUE(bar.metaObject()->property(index).isWritable()) << name;
  }
}

TEST_F(QProgBarTest, RgbHlsKnownValues) {
  struct tCaseC {
    QRgb mRgb;
    tHlsC mHls;
    QRgb mBack;
  };
  const tCaseC cases[] = {
      {qRgb(255, 0, 0), {0, 120, 240}, qRgb(255, 0, 0)},
      {qRgb(0, 255, 0), {80, 120, 240}, qRgb(0, 255, 0)},
      {qRgb(0, 0, 255), {160, 120, 240}, qRgb(0, 0, 255)},
      // Greys carry the undefined hue; 128 comes back one lower.
      {qRgb(128, 128, 128), {160, 120, 0}, qRgb(127, 127, 127)},
      {qRgb(252, 251, 205), {39, 215, 213}, qRgb(252, 251, 205)},
      {qRgb(212, 216, 190), {46, 191, 60}, qRgb(211, 216, 190)},
      {qRgb(0, 60, 116), {139, 55, 240}, qRgb(0, 62, 117)},
      // Green and blue maxima, whose hue terms round half up.
      {qRgb(100, 200, 50), {67, 118, 144}, qRgb(99, 201, 50)},
      {qRgb(30, 60, 200), {153, 108, 177}, qRgb(30, 60, 200)},
  };
  for (const tCaseC &c : cases) {
    const tHlsC hls = RgbToHls(c.mRgb);
    EXPECT_EQ(hls.mH, c.mHls.mH) << Text(c.mRgb);
    EXPECT_EQ(hls.mL, c.mHls.mL) << Text(c.mRgb);
    EXPECT_EQ(hls.mS, c.mHls.mS) << Text(c.mRgb);
    EXPECT_EQ(Text(HlsToRgb(hls)), Text(c.mBack));
  }
}

TEST_F(QProgBarTest, GradientColour) {
  struct tCaseC {
    QRgb mStart, mFinal;
    int mI, mLength;
    QRgb mExpected;
  };
  const tCaseC cases[] = {
      {qRgb(0, 0, 0), qRgb(255, 0, 0), 50, 100, qRgb(127, 0, 0)},
      {qRgb(0, 0, 0), qRgb(255, 0, 0), 0, 100, qRgb(0, 0, 0)},
      {qRgb(0, 0, 0), qRgb(255, 0, 0), -3, 100, qRgb(0, 0, 0)},
      {qRgb(0, 0, 0), qRgb(255, 0, 0), 100, 100, qRgb(255, 0, 0)},
      // Falling, rising and equal channels, each truncated towards zero.
      {qRgb(200, 100, 50), qRgb(0, 100, 255), 1, 3, qRgb(134, 100, 118)},
      {qRgb(9, 9, 9), qRgb(9, 9, 9), 5, 10, qRgb(9, 9, 9)},
  };
  for (const tCaseC &c : cases)
    EXPECT_EQ(Text(TBar::GradientColour(c.mStart, c.mFinal, c.mI, c.mLength)), Text(c.mExpected))
        << c.mI << " of " << c.mLength;
}

// Lightness from the curve at k / 9: metal adds L0 - 212 to its integer part,
// glass rounds it. Red is L0 120.
TEST_F(QProgBarTest, CylinderShading) {
  struct tCaseC {
    QRgb mColour;
    TBar::TQBarLook mLook;
    int mK;
    QRgb mExpected;
  };
  const tCaseC cases[] = {
      {qRgb(255, 0, 0), TBar::blMetal, 0, qRgb(153, 0, 0)},   // L 164 - 92 = 72
      {qRgb(255, 0, 0), TBar::blMetal, 2, qRgb(227, 0, 0)},   // L 199 - 92 = 107
      {qRgb(255, 0, 0), TBar::blMetal, 6, qRgb(113, 0, 0)},   // L 145 - 92 = 53
      {qRgb(255, 0, 0), TBar::blGlass, 0, qRgb(255, 96, 96)}, // L 165
      {qRgb(255, 0, 0), TBar::blGlass, 3, qRgb(255, 172, 172)},
      {qRgb(255, 0, 0), TBar::blGlass, 8, qRgb(255, 108, 108)},
      {qRgb(212, 216, 190), TBar::blMetal, 5, qRgb(166, 173, 120)},
      {qRgb(212, 216, 190), TBar::blGlass, 5, qRgb(184, 190, 148)},
  };
  for (const tCaseC &c : cases) {
    const std::vector<QRgb> shade = TBar::Shade(c.mColour, 9, c.mLook);
    ASSERT_EQ(shade.size(), 9u);
    EXPECT_EQ(Text(shade[c.mK]), Text(c.mExpected)) << Text(c.mColour) << " k " << c.mK;
  }
  EXPECT_TRUE(TBar::Shade(qRgb(1, 2, 3), 0, TBar::blMetal).empty());
}

TEST_F(QProgBarTest, DerivedSizes) {
  struct tCaseC {
    int mWidth, mHeight;
    TBar::TQBarOrientation mOrientation;
    int mBorder, mLength, mThickness, mMinPixel;
  };
  const tCaseC cases[] = {
      {201, 12, TBar::boHorizontal, 2, 197, 9, 5}, {100, 9, TBar::boHorizontal, 1, 98, 8, 3},
      {100, 10, TBar::boHorizontal, 2, 96, 7, 5},  {16, 64, TBar::boVertical, 2, 60, 13, 5},
      {8, 64, TBar::boVertical, 1, 62, 7, 3},
  };
  for (const tCaseC &c : cases) {
    TBar bar;
    bar.resize(c.mWidth, c.mHeight);
    bar.setOrientation(c.mOrientation);
    EXPECT_EQ(bar.size(), QSize(c.mWidth, c.mHeight));
    EXPECT_EQ(bar.Border(), c.mBorder) << c.mWidth << "x" << c.mHeight;
    EXPECT_EQ(bar.B2(), 2 * c.mBorder);
    EXPECT_EQ(bar.Length(), c.mLength) << c.mWidth << "x" << c.mHeight;
    EXPECT_EQ(bar.Thickness(), c.mThickness) << c.mWidth << "x" << c.mHeight;
    EXPECT_EQ(bar.MinPixel(), c.mMinPixel);
  }
}

TEST_F(QProgBarTest, OrientationSwapsSides) {
  TBar bar;
  bar.setOrientation(TBar::boVertical);
  EXPECT_EQ(bar.size(), QSize(16, 64));
  EXPECT_EQ(bar.sizeHint(), QSize(16, 64));
  EXPECT_EQ(bar.Length(), 60);
  bar.setOrientation(TBar::boVertical);
  EXPECT_EQ(bar.size(), QSize(16, 64));
  bar.setOrientation(TBar::boHorizontal);
  EXPECT_EQ(bar.size(), QSize(64, 16));
  // Start and final colour stay where they were at run time.
  bar.setStartColor(QColor(1, 1, 1));
  bar.setOrientation(TBar::boVertical);
  EXPECT_EQ(bar.startColor(), QColor(1, 1, 1));
  EXPECT_EQ(bar.finalColor(), QColor(0, 255, 0));
}

TEST_F(QProgBarTest, PositionToPixel) {
  struct tCaseC {
    int mMaximum, mPosition, mPixel;
    double mPercent;
  };
  // On the store bar: Length 197, MinPixel 5.
  const tCaseC cases[] = {
      {100, 1, 5, 1},                               // 1.97 is below MinPixel
      {100, 2, 5, 2},                               // 3.94
      {100, 3, 6, 3},                               // 5.91
      {100, 50, 98, 50},                            // 98.5, the half goes to the even 98
      {200, 3, 5, 1.5},                             // 2.955
      {100, 100, 197, 100},   {100, 150, 197, 100}, // clamped to the maximum
      {1000, 999, 197, 99.9},
  };
  for (const tCaseC &c : cases) {
    TBar bar;
    SetUpStoreBar(bar);
    bar.setMaximum(c.mMaximum);
    bar.setPosition(c.mPosition);
    EXPECT_EQ(bar.position(), c.mPosition);
    EXPECT_EQ(bar.Pixel(), c.mPixel) << c.mPosition << " of " << c.mMaximum;
    EXPECT_DOUBLE_EQ(bar.Percent(), c.mPercent) << c.mPosition << " of " << c.mMaximum;
  }
  // A position at or below 0 empties the bar and keeps the last percentage.
  TBar bar;
  SetUpStoreBar(bar);
  bar.setPosition(40);
  bar.setPosition(-5);
  EXPECT_EQ(bar.position(), -5);
  EXPECT_EQ(bar.Pixel(), 0);
  EXPECT_DOUBLE_EQ(bar.Percent(), 40);
  bar.setMaximum(-3);
  EXPECT_EQ(bar.maximum(), 0);
}

TEST_F(QProgBarTest, StoreBarStripes) {
  TBar bar;
  SetUpStoreBar(bar);
  Show(bar);
  EXPECT_EQ(bar.Border(), 2);
  EXPECT_EQ(bar.Length(), 197);
  EXPECT_EQ(bar.Thickness(), 9);
  EXPECT_TRUE(bar.BarberPoleRunning());

  // Per column the stripe of rows 3..8: '1' for BPColor1's shading, '2' for
  // BPColor2's, with Phase clear. The counter h runs 0..20 from column 3.
  struct tColumnC {
    int mX;
    const char *mRows;
  };
  const tColumnC columns[] = {
      {3, "111111"},   // h 0
      {4, "111112"},   // h 1: the lowest row turns
      {8, "122222"},   // h 5
      {9, "222222"},   // h 6
      {13, "222222"},  // h 10, the second half starts
      {14, "222221"},  // h 11
      {19, "111111"},  // h 16
      {23, "111111"},  // h 20
      {24, "111111"},  // h 0 again
      {25, "111112"},  // h 1
      {197, "122222"}, // h 194 mod 21 = 5
  };
  const auto check = [&](bool aSwapped) {
    const QImage img = Grab(bar);
    for (const tColumnC &c : columns) {
      for (int y = 3; y <= 8; ++y) {
        const bool first = (c.mRows[y - 3] == '1') != aSwapped;
        const QRgb expected = (first ? kStripe1 : kStripe2)[static_cast<size_t>(y - 3)];
        EXPECT_EQ(Text(img.pixel(c.mX, y)), Text(expected)) << "column " << c.mX << " row " << y;
      }
    }
    // Around the bar: the fill inside the outline and the outline itself.
    EXPECT_EQ(Text(img.pixel(198, 5)), Text(kBack));
    EXPECT_EQ(Text(img.pixel(2, 5)), Text(kBack));
    EXPECT_EQ(Text(img.pixel(100, 2)), Text(kBack));
    EXPECT_EQ(Text(img.pixel(100, 9)), Text(kBack));
    EXPECT_EQ(Text(img.pixel(0, 5)), Text(kShape));
    EXPECT_EQ(Text(img.pixel(200, 6)), Text(kShape));
    EXPECT_EQ(Text(img.pixel(100, 0)), Text(kShape));
    EXPECT_EQ(Text(img.pixel(100, 11)), Text(kShape));
  };
  ASSERT_FALSE(bar.Phase());
  check(false);
  // The pole's timer toggles the phase, which swaps the two colours.
  ASSERT_TRUE(QTest::qWaitFor([&] { return bar.Phase(); }, 5000));
  check(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !bar.Phase(); }, 5000));
  check(false);

  bar.setBarberPole(false);
  EXPECT_FALSE(bar.BarberPoleRunning());
  const QImage img = Grab(bar);
  EXPECT_EQ(Text(img.pixel(50, 5)), Text(qRgb(128, 128, 128)));
}

TEST_F(QProgBarTest, StoreBarSmallestStep) {
  TBar bar;
  SetUpStoreBar(bar);
  Show(bar);
  bar.setPosition(1);
  const QImage img = Grab(bar);
  for (int x = 3; x <= 5; ++x)
    for (int y = 3; y <= 8; ++y)
      EXPECT_EQ(Text(img.pixel(x, y)), Text(kLime)) << x << "," << y;
  // The stripes start again at the first inactive column.
  for (int y = 3; y <= 8; ++y) {
    EXPECT_EQ(Text(img.pixel(6, y)),
              Text((bar.Phase() ? kStripe2 : kStripe1)[static_cast<size_t>(y - 3)]));
    EXPECT_EQ(Text(img.pixel(2, y)), Text(kBack));
  }
}

TEST_F(QProgBarTest, AboveMaximumIsFull) {
  TBar bar;
  SetUpStoreBar(bar);
  Show(bar);
  bar.setPosition(250);
  EXPECT_EQ(bar.position(), 250);
  const QImage img = Grab(bar);
  for (int x : {3, 100, 197})
    for (int y : {3, 8})
      EXPECT_EQ(Text(img.pixel(x, y)), Text(kLime)) << x << "," << y;
  EXPECT_EQ(Text(img.pixel(198, 5)), Text(kBack));
}

TEST_F(QProgBarTest, MaximumZeroChangesNothing) {
  TBar bar;
  SetUpStoreBar(bar);
  bar.setBarberPole(false);
  Show(bar);
  bar.setPosition(30);
  const QImage before = Grab(bar);
  bar.setMaximum(0);
  bar.setPosition(90);
  EXPECT_EQ(bar.position(), 90);
  EXPECT_EQ(bar.Pixel(), 59); // 197 * 0.3 = 59.1
  EXPECT_EQ(Grab(bar), before);
}

TEST_F(QProgBarTest, GradientAcrossTheBar) {
  TBar bar;
  bar.resize(104, 16); // Length 100
  bar.setShaped(false);
  bar.setStartColor(QColor(0, 0, 0));
  bar.setFinalColor(QColor(255, 0, 0));
  EXPECT_FALSE(bar.SameColours());
  bar.setPosition(100);
  Show(bar);
  const QImage img = Grab(bar);
  EXPECT_RGB(img.pixel(50, 5), 127, 0, 0);
  EXPECT_RGB(img.pixel(3, 5), 7, 0, 0); // 255 * 0.03 = 7.65
  EXPECT_RGB(img.pixel(100, 12), 255, 0, 0);
  // barColor sets both ends.
  bar.setBarColor(QColor(0, 0, 255));
  EXPECT_TRUE(bar.SameColours());
  EXPECT_RGB(Grab(bar).pixel(50, 5), 0, 0, 255);
}

TEST_F(QProgBarTest, CylinderOnScreen) {
  struct tCaseC {
    TBar::TQBarLook mLook;
    bool mInvert;
    QRgb mActive;   // red at row 3 (k 3)
    QRgb mInactive; // grey at row 3
  };
  // Grey 128 is L 120; metal row 3 is L 200 - 92 = 108, 114 grey, which reads
  // back as L 107 and inverts to 133, 141 grey; glass row 3 is L 201, 213 grey.
  const tCaseC cases[] = {
      {TBar::blMetal, false, qRgb(230, 0, 0), qRgb(114, 114, 114)},
      {TBar::blMetal, true, qRgb(230, 0, 0), qRgb(141, 141, 141)},
      {TBar::blGlass, false, qRgb(255, 172, 172), qRgb(213, 213, 213)},
  };
  for (const tCaseC &c : cases) {
    TBar bar;
    bar.resize(104, 12); // Thickness 9
    bar.setBarColor(QColor(255, 0, 0));
    bar.setBarKind(TBar::bkCylinder);
    bar.setBarLook(c.mLook);
    bar.setShowInactivePos(true);
    bar.setInvertInactPos(c.mInvert);
    bar.setPosition(50);
    Show(bar);
    const QImage img = Grab(bar);
    EXPECT_EQ(Text(img.pixel(10, 3)), Text(c.mActive)) << c.mLook << c.mInvert;
    EXPECT_EQ(Text(img.pixel(80, 3)), Text(c.mInactive)) << c.mLook << c.mInvert;
  }
}

TEST_F(QProgBarTest, BlockAndSpaceSizes) {
  struct tCaseC {
    int mValue;
    int mExpected;
  };
  // Length 197: a larger value is ignored, a negative one taken as positive.
  const tCaseC cases[] = {{198, 0}, {197, 197}, {-5, 5}, {-198, 0}, {7, 7}};
  for (const tCaseC &c : cases) {
    TBar bar;
    SetUpStoreBar(bar);
    bar.setBlockSize(c.mValue);
    bar.setSpaceSize(c.mValue);
    EXPECT_EQ(bar.blockSize(), c.mExpected) << c.mValue;
    EXPECT_EQ(bar.spaceSize(), c.mExpected) << c.mValue;
  }
  TBar bar;
  SetUpStoreBar(bar);
  bar.setBlockSize(4);
  bar.setBlockSize(500);
  EXPECT_EQ(bar.blockSize(), 4);
  EXPECT_FALSE(bar.BlocksOn());
  bar.setSpaceSize(2);
  EXPECT_TRUE(bar.BlocksOn());
}

// Width 24, Length 20, blocks of 4 with gaps of 2: columns 3-6, 9-12, 15-18;
// a gap carries the end of the block after it, the tail past the last the end.
TEST_F(QProgBarTest, HorizontalBlocks) {
  TBar bar;
  bar.resize(24, 16);
  bar.setShaped(false);
  bar.setBlockSize(4);
  bar.setSpaceSize(2);
  const std::vector<std::pair<bool, int>> expected = {
      {false, 0},  {false, 6},  {false, 6}, {true, 6},  {true, 6},  {true, 6},   {true, 6},
      {false, 12}, {false, 12}, {true, 12}, {true, 12}, {true, 12}, {true, 12},  {false, 18},
      {false, 18}, {true, 18},  {true, 18}, {true, 18}, {true, 18}, {false, 20}, {false, 20}};
  ASSERT_EQ(bar.Layout().size(), expected.size());
  for (size_t x = 1; x < expected.size(); ++x) {
    EXPECT_EQ(bar.Layout()[x].mInBlock, expected[x].first) << "column " << x;
    EXPECT_EQ(bar.Layout()[x].mBlockEnd, expected[x].second) << "column " << x;
  }

  bar.setStartColor(QColor(255, 0, 0));
  bar.setFinalColor(QColor(255, 0, 0));
  bar.setInactivePosColor(QColor(0, 0, 255));
  bar.setShowInactivePos(true);
  Show(bar);
  // 'a' active, 'i' inactive, '.' untouched, for columns 3..20.
  struct tCaseC {
    int mPosition; // Pixel is a fifth of it
    bool mFullBlock;
    const char *mColumns;
  };
  const tCaseC cases[] = {{50, false, "aaaa..aaii..iiii.."},
                          {50, true, "aaaa..iiii..iiii.."},
                          {60, true, "aaaa..aaaa..iiii.."}};
  for (const tCaseC &c : cases) {
    bar.setPosition(c.mPosition);
    bar.setShowFullBlock(c.mFullBlock);
    const QImage img = Grab(bar);
    const QRgb untouched = img.pixel(1, 1);
    for (int x = 3; x <= 20; ++x) {
      const char kind = c.mColumns[x - 3];
      const QRgb want = kind == 'a' ? qRgb(255, 0, 0) : kind == 'i' ? qRgb(0, 0, 255) : untouched;
      EXPECT_EQ(Text(img.pixel(x, 6)), Text(want))
          << "column " << x << " position " << c.mPosition << " full " << c.mFullBlock;
    }
  }
}

// Height 24, Length 20, blocks laid from the bottom: rows 14-17, 8-11, 4-5
// (cut at B2); each row carries its block's upper row.
TEST_F(QProgBarTest, VerticalBlocks) {
  TBar bar;
  bar.setOrientation(TBar::boVertical);
  bar.resize(16, 24);
  bar.setBlockSize(4);
  bar.setSpaceSize(2);
  struct tRowC {
    int mY;
    bool mInBlock;
    int mBlockEnd;
  };
  const tRowC rows[] = {{20, false, 14}, {18, false, 14}, {17, true, 14}, {14, true, 14},
                        {13, false, 8},  {12, false, 8},  {11, true, 8},  {8, true, 8},
                        {7, false, 4},   {6, false, 4},   {5, true, 4},   {4, true, 4}};
  ASSERT_EQ(bar.Layout().size(), 21u);
  for (const tRowC &r : rows) {
    EXPECT_EQ(bar.Layout()[static_cast<size_t>(r.mY)].mInBlock, r.mInBlock) << "row " << r.mY;
    EXPECT_EQ(bar.Layout()[static_cast<size_t>(r.mY)].mBlockEnd, r.mBlockEnd) << "row " << r.mY;
  }
}

// 16 x 40 upright: Length 36, position 50 gives Pixel 18; active rows run from
// 35 up to 22 in the gradient of their row, inactive ones from 21 up to 4.
TEST_F(QProgBarTest, VerticalPixels) {
  TBar bar;
  bar.setOrientation(TBar::boVertical);
  bar.resize(16, 40);
  bar.setShaped(false);
  bar.setStartColor(QColor(0, 255, 0));
  bar.setFinalColor(QColor(255, 0, 0));
  bar.setShowInactivePos(true);
  bar.setPosition(50);
  Show(bar);
  EXPECT_EQ(bar.Pixel(), 18);
  const QImage img = Grab(bar);
  const QRgb untouched = img.pixel(0, 0);
  EXPECT_RGB(img.pixel(3, 35), 247, 8, 0);    // 255 * 35 / 36 = 247.9
  EXPECT_RGB(img.pixel(12, 22), 155, 100, 0); // 255 * 22 / 36 = 155.8
  EXPECT_RGB(img.pixel(5, 21), 128, 128, 128);
  EXPECT_RGB(img.pixel(5, 4), 128, 128, 128);
  EXPECT_EQ(img.pixel(5, 36), untouched);
  EXPECT_EQ(img.pixel(5, 3), untouched);
  EXPECT_EQ(img.pixel(13, 30), untouched);
}

TEST_F(QProgBarTest, HideOnTerminate) {
  TBar bar;
  SetUpStoreBar(bar);
  bar.setHideOnTerminate(true);
  Show(bar);
  bar.setPosition(99);
  QTest::qWait(300);
  EXPECT_TRUE(bar.isVisible());
  bar.setPosition(100);
  // The pause runs on the event loop: the call returns with the bar shown.
  EXPECT_TRUE(bar.isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !bar.isVisible(); }, 5000));
}

TEST_F(QProgBarTest, AutoCaptionAndHint) {
  struct tCaseC {
    bool mPct;
    int mPosition;
    const char *mCaption;
    const char *mHint;
  };
  const tCaseC cases[] = {
      {true, 1, "33.3333333333333%", "33.3333333333333 %"},
      {true, 3, "100%", "100 %"},
      {false, 5, "5", "5"}, // the stored value, not the clamped one
  };
  for (const tCaseC &c : cases) {
    TBar bar;
    bar.setMaximum(3);
    bar.setAutoCaption(true);
    bar.setAutoHint(true);
    bar.setShowPosAsPct(c.mPct);
    bar.setPosition(c.mPosition);
    EXPECT_EQ(bar.toolTip().toStdString(), c.mHint);
    bar.grab();
    EXPECT_EQ(bar.caption().toStdString(), c.mCaption);
  }
}

TEST_F(QProgBarTest, CaptionPlacement) {
  TBar bar;
  bar.resize(120, 20);
  const QFontMetrics metrics(bar.font());
  const int textWidth = metrics.horizontalAdvance(QStringLiteral("Busy"));
  const int y = (20 - metrics.height()) / 2;
  struct tCaseC {
    TBar::TAlignment mAlign;
    int mX;
  };
  const tCaseC cases[] = {{TBar::taLeftJustify, 0},
                          {TBar::taCenter, (120 - textWidth) / 2},
                          {TBar::taRightJustify, 120 - textWidth - 1}};
  for (const tCaseC &c : cases) {
    bar.setCaption(QStringLiteral("Busy"));
    bar.setCaptionAlign(c.mAlign);
    EXPECT_EQ(bar.CaptionPos(), QPoint(c.mX, y)) << c.mAlign;
  }
}

// Bars thinner than their borders draw nothing of the bar and do not fail.
TEST_F(QProgBarTest, TinyBars) {
  for (const QSize &size : {QSize(3, 3), QSize(6, 2), QSize(1, 30), QSize(5, 5)}) {
    for (TBar::TQBarOrientation o : {TBar::boHorizontal, TBar::boVertical}) {
      TBar bar;
      bar.setBarKind(TBar::bkCylinder);
      bar.setShowInactivePos(true);
      bar.setBarberPole(true);
      bar.setOrientation(o);
      bar.resize(size);
      bar.setPosition(1);
      bar.grab();
      bar.setPosition(100);
      bar.grab();
      EXPECT_GE(bar.Pixel(), 0);
    }
  }
}

} // namespace
